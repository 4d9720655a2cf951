// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/phone/modem_manager_link.h"

#include <QComboBox>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QTimer>

#include "app/base/serial_port_component.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/phone/phone_line.h"
#include "app/phone/response_dispatcher.h"
#include "app/sms/sms_reception.h"
#include "app/sms/sms_sending.h"
#include "core/modem_manager_values.h"

using InterfaceMap = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, InterfaceMap>;
using CellInfoList = QList<QVariantMap>;
Q_DECLARE_METATYPE(InterfaceMap)
Q_DECLARE_METATYPE(ManagedObjects)
Q_DECLARE_METATYPE(CellInfoList)

namespace {

const QString kService = QStringLiteral("org.freedesktop.ModemManager1");
const QString kRoot = QStringLiteral("/org/freedesktop/ModemManager1");
const QString kModem = QStringLiteral("org.freedesktop.ModemManager1.Modem");
const QString kGpp = QStringLiteral("org.freedesktop.ModemManager1.Modem.Modem3gpp");
const QString kLocation = QStringLiteral("org.freedesktop.ModemManager1.Modem.Location");
const QString kSignal = QStringLiteral("org.freedesktop.ModemManager1.Modem.Signal");
const QString kSim = QStringLiteral("org.freedesktop.ModemManager1.Sim");
const QString kMessaging = QStringLiteral("org.freedesktop.ModemManager1.Modem.Messaging");
const QString kSms = QStringLiteral("org.freedesktop.ModemManager1.Sms");
const QString kVoice = QStringLiteral("org.freedesktop.ModemManager1.Modem.Voice");
const QString kCall = QStringLiteral("org.freedesktop.ModemManager1.Call");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");

// MMModemState, MMModemLock, MMModemStateFailedReason, MMModemLocationSource.
constexpr int kStateFailed = -1;
constexpr int kStateLocked = 2;
constexpr int kStateDisabled = 3;
constexpr int kStateEnabled = 6;
constexpr uint kLockSimPin = 2;
constexpr uint kLockSimPuk = 4;
constexpr uint kFailedSimMissing = 2;
constexpr uint kFailedSimError = 3;
constexpr uint kLocation3gpp = 1;
constexpr uint kSmsReceived = 3;
constexpr uint kCallIncoming = 1;   // MMCallDirection
constexpr uint kCallRingingIn = 3;  // MMCallState
// A message in parts is shown once all have come; asked again each second.
constexpr int kSmsReadAttempts = 30;
// Seconds between two readings of the Signal interface: no faster than the
// command cycle's pass.
constexpr uint kSignalRate = 30;

void registerTypes() {
    static const bool done = [] {
        qDBusRegisterMetaType<InterfaceMap>();
        qDBusRegisterMetaType<ManagedObjects>();
        qDBusRegisterMetaType<CellInfoList>();
        return true;
    }();
    (void)done;
}

// The 3GPP entry of a Location property (a{uv}): "MCC,MNC,LAC,CI,TAC".
QString location3gpp(const QDBusArgument& arg) {
    QString text;
    if (arg.currentType() != QDBusArgument::MapType) return text;
    arg.beginMap();
    while (!arg.atEnd()) {
        uint key = 0;
        QDBusVariant value;
        arg.beginMapEntry();
        arg >> key >> value;
        arg.endMapEntry();
        if (key == kLocation3gpp) text = value.variant().toString();
    }
    arg.endMap();
    return text;
}

// SignalQuality (ub): the percent.
uint signalPercent(const QDBusArgument& arg) {
    uint percent = 0;
    bool recent = false;
    if (arg.currentType() != QDBusArgument::StructureType) return 0;
    arg.beginStructure();
    arg >> percent >> recent;
    arg.endStructure();
    return percent;
}

// Properties of a complex type arrive as QDBusArgument, which can be read
// once: those the link uses are read into plain values as they come, the
// others are left out.
void merge(QVariantMap& into, const QVariantMap& changed) {
    for (auto it = changed.begin(); it != changed.end(); ++it) {
        const QVariant& v = it.value();
        if (!v.canConvert<QDBusArgument>()) {
            into.insert(it.key(), v);
            continue;
        }
        const QDBusArgument arg = v.value<QDBusArgument>();
        const QString& key = it.key();
        if (key == QLatin1String("Location")) {
            into.insert(key, location3gpp(arg));
        } else if (key == QLatin1String("SignalQuality")) {
            into.insert(key, signalPercent(arg));
        } else if (key == QLatin1String("Gsm") || key == QLatin1String("Umts") ||
                   key == QLatin1String("Lte") || key == QLatin1String("Nr5g")) {
            if (arg.currentType() == QDBusArgument::MapType)
                into.insert(key, qdbus_cast<QVariantMap>(arg));
        }
    }
}

funkor::MmDict mmDict(const QVariantMap& map) {
    funkor::MmDict d;
    for (auto it = map.begin(); it != map.end(); ++it) {
        const QVariant& v = it.value();
        const std::string key = it.key().toStdString();
        switch (v.metaType().id()) {
            case QMetaType::Bool:
                d[key] = v.toBool();
                break;
            case QMetaType::Double:
                d[key] = v.toDouble();
                break;
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::ULongLong:
            case QMetaType::Short:
            case QMetaType::UShort:
            case QMetaType::UChar:
                d[key] = static_cast<std::int64_t>(v.toLongLong());
                break;
            case QMetaType::QString:
                d[key] = v.toString().toStdString();
                break;
            default:
                break;
        }
    }
    return d;
}

QString objectPath(const QVariant& v) {
    const QString path = v.value<QDBusObjectPath>().path();
    return path == QLatin1String("/") ? QString() : path;
}

}  // namespace

ModemManagerLink::ModemManagerLink(const Elements& elements, const PhoneSideState& state,
                                   std::string settingsPath, const Topics& topics,
                                   QString recipient, QObject* parent)
    : QObject(parent),
      e_(elements),
      phone_(state.phone),
      network_(state.network),
      settingsPath_(std::move(settingsPath)),
      sms_(state.sms),
      phoneLine_(topics.phoneLine),
      dispatcher_(topics.dispatcher),
      smsReception_(topics.smsReception),
      smsSending_(topics.smsSending),
      recipient_(std::move(recipient)),
      // Not connected until a port "mm" is chosen: the serial ports need no bus.
      bus_(QString()) {
    registerTypes();
}

ModemManagerLink::~ModemManagerLink() = default;

bool ModemManagerLink::namesModemManager(const QString& device, QString* equipmentId) {
    const QString d = device.trimmed();
    if (d == QLatin1String("mm")) {
        if (equipmentId) equipmentId->clear();
        return true;
    }
    if (!d.startsWith(QLatin1String("mm:")) || d.size() == 3) return false;
    if (equipmentId) *equipmentId = d.mid(3);
    return true;
}

namespace {

// The port the command cycle would open: the command line's, else the one
// chosen in the list ("COM n"); 0 for the automatic search and STOP.
int chosenPortNumber(const PhoneLinkState& phone, const QComboBox* list) {
    if (!phone.commandLine.empty()) {
        const QString text = QString::fromStdString(phone.commandLine);
        return text.section(QLatin1Char(','), 0, 0).toInt();
    }
    const QString choice = list->currentText();
    if (!choice.startsWith(QLatin1String("COM"))) return 0;
    return choice.mid(3).trimmed().toInt();
}

}  // namespace

bool ModemManagerLink::servesChosenPort() const {
    const int n = chosenPortNumber(phone_, e_.GSM);
    if (n < 1 || n > 16) return false;
    return namesModemManager(SerialPortComponent::deviceFromSettingsFile(settingsPath_, n));
}

bool ModemManagerLink::takeTick() {
    const int n = chosenPortNumber(phone_, e_.GSM);
    QString id;
    if (n < 1 || n > 16 ||
        !namesModemManager(SerialPortComponent::deviceFromSettingsFile(settingsPath_, n), &id)) {
        if (started_) stop();
        return false;
    }
    if (!started_ || n != port_ || id != wantedId_) {
        stop();
        start(n, id);
    } else if (!modem_.isEmpty() && !phone_.phoneLinked) {
        // The port was chosen again in the list, which unlinks the phone.
        apply();
    }
    if (phone_.phoneLinked && !sms_.pduPending.empty() && !sms_.smsSendPending) sendQueuedMessage();
    return true;
}

void ModemManagerLink::start(int port, const QString& equipmentId) {
    started_ = true;
    port_ = port;
    wantedId_ = equipmentId;
    told_.clear();
    if (!bus_.isConnected()) bus_ = QDBusConnection::systemBus();
    if (!bus_.isConnected()) {
        tell(QStringLiteral("ModemManager ist nicht erreichbar (kein Systembus: %1); die seriellen "
                            "Ports gehen weiter.")
                 .arg(bus_.lastError().message()));
        return;
    }
    serviceWatcher_ = new QDBusServiceWatcher(
        kService, bus_,
        QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration,
        this);
    connect(serviceWatcher_, &QDBusServiceWatcher::serviceRegistered, this,
            [this] { serviceAppeared(); });
    connect(serviceWatcher_, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { serviceGone(); });
    bus_.connect(kService, kRoot, kObjectManager, QStringLiteral("InterfacesAdded"), this,
                 SLOT(interfacesAdded(QDBusMessage)));
    bus_.connect(kService, kRoot, kObjectManager, QStringLiteral("InterfacesRemoved"), this,
                 SLOT(interfacesRemoved(QDBusMessage)));
    listModems();
}

void ModemManagerLink::stop() {
    if (!started_) return;
    started_ = false;
    // Answers still on their way are dropped with their watchers.
    qDeleteAll(callOwner_.children());
    delete serviceWatcher_;
    serviceWatcher_ = nullptr;
    if (bus_.isConnected()) {
        bus_.disconnect(kService, kRoot, kObjectManager, QStringLiteral("InterfacesAdded"), this,
                        SLOT(interfacesAdded(QDBusMessage)));
        bus_.disconnect(kService, kRoot, kObjectManager, QStringLiteral("InterfacesRemoved"), this,
                        SLOT(interfacesRemoved(QDBusMessage)));
    }
    forgetModem();
    phone_.phoneLinked = false;
    told_.clear();
}

QDBusPendingCallWatcher* ModemManagerLink::watch(const QDBusPendingCall& call) {
    auto* w = new QDBusPendingCallWatcher(call, &callOwner_);
    connect(w, &QDBusPendingCallWatcher::finished, w, &QObject::deleteLater);
    return w;
}

void ModemManagerLink::listModems() {
    const QDBusMessage m = QDBusMessage::createMethodCall(kService, kRoot, kObjectManager,
                                                          QStringLiteral("GetManagedObjects"));
    QDBusPendingCallWatcher* w = watch(bus_.asyncCall(m));
    connect(w, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<ManagedObjects> reply = *call;
        if (reply.isError()) {
            const QDBusError::ErrorType type = reply.error().type();
            if (type == QDBusError::ServiceUnknown)
                tell(QStringLiteral("ModemManager läuft nicht; die seriellen Ports gehen weiter."));
            else
                tell(QStringLiteral("ModemManager verweigert die Modemliste (%1); die seriellen "
                                    "Ports gehen weiter.")
                         .arg(reply.error().message()));
            return;
        }
        if (!modem_.isEmpty()) return;
        const ManagedObjects objects = reply.value();
        for (auto it = objects.begin(); it != objects.end(); ++it) {
            if (!it.value().contains(kModem)) continue;
            const QString id =
                it.value().value(kModem).value(QStringLiteral("EquipmentIdentifier")).toString();
            if (!wantedId_.isEmpty() && id != wantedId_) continue;
            takeModem(it.key().path(), it.value());
            return;
        }
        tell(wantedId_.isEmpty()
                 ? QStringLiteral("ModemManager kennt noch kein Modem.")
                 : QStringLiteral("ModemManager kennt kein Modem %1.").arg(wantedId_));
    });
}

void ModemManagerLink::serviceAppeared() {
    if (started_ && modem_.isEmpty()) listModems();
}

void ModemManagerLink::serviceGone() {
    const bool had = forgetModem();
    if (had && started_)
        lost(QStringLiteral("ModemManager läuft nicht mehr; das Modem ist getrennt."));
}

bool ModemManagerLink::forgetModem() {
    if (modem_.isEmpty()) return false;
    forgetCall();
    if (bus_.isConnected()) {
        bus_.disconnect(kService, modem_, kProperties, QStringLiteral("PropertiesChanged"), this,
                        SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
        bus_.disconnect(kService, modem_, kMessaging, QStringLiteral("Added"), this,
                        SLOT(messageAdded(QDBusObjectPath, bool)));
        bus_.disconnect(kService, modem_, kVoice, QStringLiteral("CallAdded"), this,
                        SLOT(callAdded(QDBusObjectPath)));
        if (!sim_.isEmpty())
            bus_.disconnect(
                kService, sim_, kProperties, QStringLiteral("PropertiesChanged"), this,
                SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    }
    modem_.clear();
    sim_.clear();
    modemProps_.clear();
    gppProps_.clear();
    locationProps_.clear();
    signalProps_.clear();
    simProps_.clear();
    return true;
}

void ModemManagerLink::takeModem(const QString& path, const InterfaceMap& interfaces) {
    modem_ = path;
    merge(modemProps_, interfaces.value(kModem));
    merge(gppProps_, interfaces.value(kGpp));
    merge(locationProps_, interfaces.value(kLocation));
    merge(signalProps_, interfaces.value(kSignal));
    enableAsked_ = locationAsked_ = signalAsked_ = cellInfoRefused_ = wasEnabled_ = false;
    cellInfoKey_.clear();
    bus_.connect(kService, modem_, kProperties, QStringLiteral("PropertiesChanged"), this,
                 SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    bus_.connect(kService, modem_, kMessaging, QStringLiteral("Added"), this,
                 SLOT(messageAdded(QDBusObjectPath, bool)));
    bus_.connect(kService, modem_, kVoice, QStringLiteral("CallAdded"), this,
                 SLOT(callAdded(QDBusObjectPath)));
    // ModemManager reads no phone book: the list holds the entry named at
    // start, or says that there is none.
    smsSending_.replaceEntries({recipient_.isEmpty()
                                    ? QStringLiteral("(kein Telefonbuch über ModemManager)")
                                    : recipient_});
    // The port list's item says which modem serves the port.
    const QString name = modemProps_.value(QStringLiteral("Manufacturer")).toString() +
                         QLatin1Char(' ') + modemProps_.value(QStringLiteral("Model")).toString();
    e_.GSM->setItemData(
        port_,
        QStringLiteral("ModemManager: %1 (%2)")
            .arg(name.trimmed(),
                 modemProps_.value(QStringLiteral("EquipmentIdentifier")).toString()),
        Qt::ToolTipRole);
    readSim();
    apply();
}

void ModemManagerLink::readSim() {
    const QString sim = objectPath(modemProps_.value(QStringLiteral("Sim")));
    if (sim == sim_) return;
    if (!sim_.isEmpty())
        bus_.disconnect(kService, sim_, kProperties, QStringLiteral("PropertiesChanged"), this,
                        SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    sim_ = sim;
    simProps_.clear();
    if (sim_.isEmpty()) return;
    bus_.connect(kService, sim_, kProperties, QStringLiteral("PropertiesChanged"), this,
                 SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    QDBusMessage m =
        QDBusMessage::createMethodCall(kService, sim_, kProperties, QStringLiteral("GetAll"));
    m.setArguments({kSim});
    QDBusPendingCallWatcher* w = watch(bus_.asyncCall(m));
    const QString asked = sim_;
    connect(w, &QDBusPendingCallWatcher::finished, this,
            [this, asked](QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<QVariantMap> reply = *call;
                if (reply.isError() || asked != sim_) return;
                merge(simProps_, reply.value());
                apply();
            });
}

void ModemManagerLink::call(const QString& interface, const QString& method,
                            const QVariantList& args, const QString& failure) {
    QDBusMessage m = QDBusMessage::createMethodCall(kService, modem_, interface, method);
    m.setArguments(args);
    QDBusPendingCallWatcher* w = watch(bus_.asyncCall(m));
    connect(w, &QDBusPendingCallWatcher::finished, this,
            [this, failure](QDBusPendingCallWatcher* c) {
                if (c->isError() && !failure.isEmpty())
                    tell(QStringLiteral("%1 (%2).").arg(failure, c->error().message()));
            });
}

void ModemManagerLink::setUpModem() {
    const int state = modemProps_.value(QStringLiteral("State")).toInt();
    // A modem nobody has switched on (no NetworkManager) is switched on once.
    // One that is switched off later stays off: that was someone's choice.
    if (state == kStateDisabled && !enableAsked_) {
        enableAsked_ = true;
        call(kModem, QStringLiteral("Enable"), {true},
             QStringLiteral("ModemManager schaltet das Modem nicht ein"));
    }
    if (state < kStateEnabled) {
        // Switched on again, the modem may have lost its reports' set-up.
        locationAsked_ = signalAsked_ = false;
        return;
    }
    wasEnabled_ = true;
    if (!locationAsked_ && !locationProps_.isEmpty()) {
        const uint caps = locationProps_.value(QStringLiteral("Capabilities")).toUInt();
        const uint enabled = locationProps_.value(QStringLiteral("Enabled")).toUInt();
        const bool signalled = locationProps_.value(QStringLiteral("SignalsLocation")).toBool();
        if ((caps & kLocation3gpp) && (!(enabled & kLocation3gpp) || !signalled)) {
            locationAsked_ = true;
            call(kLocation, QStringLiteral("Setup"),
                 {QVariant::fromValue(enabled | kLocation3gpp), true},
                 QStringLiteral("ModemManager gibt die Funkzelle nicht heraus"));
        }
    }
    if (!signalAsked_ && !signalProps_.isEmpty() &&
        signalProps_.value(QStringLiteral("Rate")).toUInt() == 0) {
        signalAsked_ = true;
        // Optional: without it the signal quality of the Modem interface is shown.
        call(kSignal, QStringLiteral("Setup"), {QVariant::fromValue(kSignalRate)}, QString());
    }
}

std::string ModemManagerLink::simProblem() const {
    const int state = modemProps_.value(QStringLiteral("State")).toInt();
    const uint lock = modemProps_.value(QStringLiteral("UnlockRequired")).toUInt();
    if (state == kStateLocked && lock == kLockSimPin) return "SIM-PIN erforderlich";
    if (state == kStateLocked && lock == kLockSimPuk) return "SIM-PUK erforderlich";
    if (state == kStateFailed) {
        const uint reason = modemProps_.value(QStringLiteral("StateFailedReason")).toUInt();
        if (reason == kFailedSimMissing) return "keine SIM-Karte";
        if (reason == kFailedSimError) return "SIM-Karte defekt";
    }
    return {};
}

void ModemManagerLink::apply() {
    if (modem_.isEmpty()) return;
    setUpModem();
    const int state = modemProps_.value(QStringLiteral("State")).toInt();
    const std::string sim = simProblem();
    if (state < kStateEnabled && sim.empty()) {
        lost(state == kStateDisabled && wasEnabled_
                 ? QStringLiteral("Das Modem ist in ModemManager ausgeschaltet.")
                 : QStringLiteral("ModemManager bereitet das Modem vor."));
        return;
    }
    if (!phone_.phoneLinked) {
        phone_.portNumber = port_;
        dispatcher_.linkFound();
        told_.clear();
    }
    applyIdentity();
    dispatcher_.takeSimState(sim);
    if (!sim.empty()) return;
    applySignal();
    applyRegistration();
}

void ModemManagerLink::applyIdentity() {
    funkor::MmIdentityInput in;
    in.manufacturer = toCp1252(modemProps_.value(QStringLiteral("Manufacturer")).toString());
    in.model = toCp1252(modemProps_.value(QStringLiteral("Model")).toString());
    in.revision = toCp1252(modemProps_.value(QStringLiteral("Revision")).toString());
    in.imei = toCp1252(modemProps_.value(QStringLiteral("EquipmentIdentifier")).toString());
    in.imsi = toCp1252(simProps_.value(QStringLiteral("Imsi")).toString());
    in.iccid = toCp1252(simProps_.value(QStringLiteral("SimIdentifier")).toString());
    dispatcher_.takeIdentity(funkor::mmIdentity(in));
}

void ModemManagerLink::applySignal() {
    funkor::MmSignalDicts dicts;
    dicts.gsm = mmDict(signalProps_.value(QStringLiteral("Gsm")).toMap());
    dicts.umts = mmDict(signalProps_.value(QStringLiteral("Umts")).toMap());
    dicts.lte = mmDict(signalProps_.value(QStringLiteral("Lte")).toMap());
    dicts.nr = mmDict(signalProps_.value(QStringLiteral("Nr5g")).toMap());
    const uint tech = modemProps_.value(QStringLiteral("AccessTechnologies")).toUInt();
    const funkor::Radio radio =
        funkor::radioOfAccessTechnologies(tech).value_or(funkor::Radio::Lte);
    if (const auto reading = funkor::mmSignal(dicts, radio)) {
        dispatcher_.takeSignal(*reading);
    } else if (modemProps_.contains(QStringLiteral("SignalQuality"))) {
        dispatcher_.takeSignal(
            funkor::mmSignalQuality(modemProps_.value(QStringLiteral("SignalQuality")).toUInt()));
    }
}

void ModemManagerLink::applyRegistration() {
    const uint state = gppProps_.value(QStringLiteral("RegistrationState")).toUInt();
    const uint tech = modemProps_.value(QStringLiteral("AccessTechnologies")).toUInt();
    const auto location = funkor::parseMmLocation(
        locationProps_.value(QStringLiteral("Location")).toString().toStdString());
    // The operator first: the serving cell's key carries its code.
    std::string code = gppProps_.value(QStringLiteral("OperatorCode")).toString().toStdString();
    if (code.empty() && location) code = location->operatorCode;
    if (funkor::mmRegistered(state) && !code.empty() && code != network_.operatorCode)
        dispatcher_.takeOperatorCode(code);
    const std::string name = toCp1252(gppProps_.value(QStringLiteral("OperatorName")).toString());
    if (funkor::mmRegistered(state) && !name.empty() && name != network_.networkText)
        dispatcher_.takeOperatorName(name);

    funkor::Registration r;
    if (location && funkor::mmRegistered(state)) {
        r = funkor::mmServingCell(*location, state, tech);
    } else {
        r.status = static_cast<int>(state);
        r.state = state <= 9 ? static_cast<char>('0' + state) : 'X';
        r.registered = funkor::mmRegistered(state);
    }
    // ModemManager names one serving cell for all domains: the others'
    // answers of an earlier AT dialogue must not outvote it.
    network_.registrationKnown = {};
    dispatcher_.takeRegistration(r);
    if (network_.onNetwork && !network_.cellKey.empty() && network_.cellKey != cellInfoKey_)
        askCellInfo();
}

void ModemManagerLink::askCellInfo() {
    // Modems on QMI and MBIM name the serving cell's timing advance; AT
    // modems refuse the call, and are not asked again.
    cellInfoKey_ = network_.cellKey;
    if (cellInfoRefused_) return;
    const QDBusMessage m =
        QDBusMessage::createMethodCall(kService, modem_, kModem, QStringLiteral("GetCellInfo"));
    QDBusPendingCallWatcher* w = watch(bus_.asyncCall(m));
    const std::string asked = cellInfoKey_;
    connect(w, &QDBusPendingCallWatcher::finished, this,
            [this, asked](QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<CellInfoList> reply = *call;
                if (reply.isError()) {
                    cellInfoRefused_ = true;
                    return;
                }
                if (asked != network_.cellKey) return;
                std::vector<funkor::MmDict> entries;
                for (const QVariantMap& entry : reply.value()) entries.push_back(mmDict(entry));
                const std::vector<funkor::MmCellInfo> cells = funkor::mmCellInfo(entries);
                if (cells.empty() || !cells.front().serving || !cells.front().distanceMetres)
                    return;
                network_.taDistance = *cells.front().distanceMetres;
                phoneLine_.setTimingAdvanceCaption(fromCp1252(
                    funkor::timingAdvanceCaption(network_.taDistance, network_.operatorCode,
                                                 network_.sectorLetter, localDecimalSeparator())));
            });
}

void ModemManagerLink::lost(const QString& reason) {
    if (phone_.phoneLinked) {
        // As when the serial line of a phone breaks: the registrations are
        // forgotten, the serving cell and its position stay until the
        // modem tells of another.
        phone_.phoneLinked = false;
        network_.registrationKnown = {};
        network_.cellDomain = -1;
        network_.onNetwork = false;
    }
    tell(reason);
}

void ModemManagerLink::tell(const QString& reason) {
    if (reason == told_) return;
    told_ = reason;
    phoneLine_.addTrace(reason, true);
    e_.GSM->setToolTip(reason);
}

void ModemManagerLink::propertiesChanged(const QString& interface, const QVariantMap& changed,
                                         const QStringList&, const QDBusMessage& message) {
    if (!started_) return;
    const QString path = message.path();
    if (path == modem_ && !modem_.isEmpty()) {
        if (interface == kModem) merge(modemProps_, changed);
        if (interface == kGpp) merge(gppProps_, changed);
        if (interface == kLocation) merge(locationProps_, changed);
        if (interface == kSignal) merge(signalProps_, changed);
        if (interface == kModem && changed.contains(QStringLiteral("Sim"))) readSim();
    } else if (path == sim_ && !sim_.isEmpty() && interface == kSim) {
        merge(simProps_, changed);
    } else if (path == ringingCall_ && !ringingCall_.isEmpty() && interface == kCall) {
        // The caller's number comes with the line after the ring.
        const QString number = changed.value(QStringLiteral("Number")).toString();
        if (!number.isEmpty()) {
            forgetCall();
            dispatcher_.takeCaller(toCp1252(number));
        }
        return;
    } else {
        return;
    }
    apply();
}

void ModemManagerLink::interfacesAdded(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (!started_ || args.size() < 2) return;
    const QString path = args[0].value<QDBusObjectPath>().path();
    const InterfaceMap interfaces = qdbus_cast<InterfaceMap>(args[1].value<QDBusArgument>());
    if (path == modem_ && !modem_.isEmpty()) {
        // Interfaces a modem gets as it is switched on (Location, Signal).
        merge(modemProps_, interfaces.value(kModem));
        merge(gppProps_, interfaces.value(kGpp));
        merge(locationProps_, interfaces.value(kLocation));
        merge(signalProps_, interfaces.value(kSignal));
        apply();
        return;
    }
    if (!modem_.isEmpty() || !interfaces.contains(kModem)) return;
    const QString id =
        interfaces.value(kModem).value(QStringLiteral("EquipmentIdentifier")).toString();
    if (!wantedId_.isEmpty() && id != wantedId_) return;
    takeModem(path, interfaces);
}

void ModemManagerLink::interfacesRemoved(const QDBusMessage& message) {
    const QList<QVariant> args = message.arguments();
    if (!started_ || args.size() < 2 || modem_.isEmpty()) return;
    const QString path = args[0].value<QDBusObjectPath>().path();
    const QStringList interfaces = args[1].toStringList();
    if (path != modem_) return;
    if (interfaces.contains(kModem)) {
        forgetModem();
        lost(QStringLiteral("Das Modem ist aus ModemManager verschwunden (abgesteckt?)."));
        // Another modem, or this one when it is back.
        listModems();
        return;
    }
    if (interfaces.contains(kLocation)) locationProps_.clear();
    if (interfaces.contains(kSignal)) signalProps_.clear();
    if (interfaces.contains(kGpp)) gppProps_.clear();
    if (interfaces.contains(kLocation)) locationAsked_ = false;
    if (interfaces.contains(kSignal)) signalAsked_ = false;
    apply();
}

void ModemManagerLink::messageAdded(const QDBusObjectPath& path, bool received) {
    if (!started_ || !received) return;
    readMessage(path.path(), kSmsReadAttempts);
}

void ModemManagerLink::readMessage(const QString& path, int attempts) {
    if (!started_) return;
    QDBusMessage m =
        QDBusMessage::createMethodCall(kService, path, kProperties, QStringLiteral("GetAll"));
    m.setArguments({kSms});
    QDBusPendingCallWatcher* w = watch(bus_.asyncCall(m));
    connect(w, &QDBusPendingCallWatcher::finished, this,
            [this, path, attempts](QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<QVariantMap> reply = *call;
                if (reply.isError()) return;  // deleted meanwhile
                const QVariantMap p = reply.value();
                if (p.value(QStringLiteral("State")).toUInt() != kSmsReceived) {
                    if (attempts > 1)
                        QTimer::singleShot(1000, &callOwner_, [this, path, attempts] {
                            readMessage(path, attempts - 1);
                        });
                    return;
                }
                // The window's storage index: the object's number.
                sms_.smsIndex = path.section(QLatin1Char('/'), -1).toStdString();
                smsReception_.showDecodedSms(
                    toCp1252(p.value(QStringLiteral("Number")).toString()),
                    funkor::mmSmsTimeStamp(
                        p.value(QStringLiteral("Timestamp")).toString().toStdString()),
                    funkor::mmSmsText(toCp1252(p.value(QStringLiteral("Text")).toString())));
            });
}

void ModemManagerLink::sendQueuedMessage() {
    const std::string pdu = sms_.pduPending;
    sms_.pduPending.clear();
    const auto message = funkor::mmOutgoingSms(pdu);
    if (!message) {
        smsSending_.sendStatusArrived(QStringLiteral("SMS: nicht über ModemManager zu senden"),
                                      true);
        return;
    }
    sms_.smsSendPending = true;
    QVariantMap properties;
    properties.insert(QStringLiteral("number"), fromCp1252(message->number));
    properties.insert(QStringLiteral("text"), fromCp1252(message->text));
    QDBusMessage m =
        QDBusMessage::createMethodCall(kService, modem_, kMessaging, QStringLiteral("Create"));
    m.setArguments({properties});
    QDBusPendingCallWatcher* w = watch(bus_.asyncCall(m));
    auto failed = [this](const QString& error) {
        sms_.smsSendPending = false;
        smsSending_.sendStatusArrived(QStringLiteral("SMS: ") + error, true);
    };
    connect(w, &QDBusPendingCallWatcher::finished, this,
            [this, failed](QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<QDBusObjectPath> created = *call;
                if (created.isError()) {
                    failed(created.error().message());
                    return;
                }
                const QString path = created.value().path();
                const QDBusMessage send =
                    QDBusMessage::createMethodCall(kService, path, kSms, QStringLiteral("Send"));
                QDBusPendingCallWatcher* sent = watch(bus_.asyncCall(send));
                connect(sent, &QDBusPendingCallWatcher::finished, this,
                        [this, failed, path](QDBusPendingCallWatcher* c) {
                            if (c->isError()) {
                                failed(c->error().message());
                                return;
                            }
                            sms_.smsSendPending = false;
                            smsSending_.sendStatusArrived(QStringLiteral("SMS: OK"), false);
                            // Sent, the message need not stay in ModemManager's list.
                            QDBusMessage del = QDBusMessage::createMethodCall(
                                kService, modem_, kMessaging, QStringLiteral("Delete"));
                            del.setArguments({QVariant::fromValue(QDBusObjectPath(path))});
                            watch(bus_.asyncCall(del));
                        });
            });
}

void ModemManagerLink::callAdded(const QDBusObjectPath& path) {
    if (!started_) return;
    QDBusMessage m = QDBusMessage::createMethodCall(kService, path.path(), kProperties,
                                                    QStringLiteral("GetAll"));
    m.setArguments({kCall});
    QDBusPendingCallWatcher* w = watch(bus_.asyncCall(m));
    const QString call = path.path();
    connect(w, &QDBusPendingCallWatcher::finished, this, [this, call](QDBusPendingCallWatcher* c) {
        const QDBusPendingReply<QVariantMap> reply = *c;
        if (reply.isError()) return;
        const QVariantMap p = reply.value();
        if (p.value(QStringLiteral("Direction")).toUInt() != kCallIncoming ||
            p.value(QStringLiteral("State")).toUInt() != kCallRingingIn)
            return;
        dispatcher_.takeRing();
        const QString number = p.value(QStringLiteral("Number")).toString();
        if (!number.isEmpty()) {
            dispatcher_.takeCaller(toCp1252(number));
            return;
        }
        // Not known yet: it comes as a change of the call's properties.
        forgetCall();
        ringingCall_ = call;
        bus_.connect(kService, ringingCall_, kProperties, QStringLiteral("PropertiesChanged"), this,
                     SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    });
}

void ModemManagerLink::forgetCall() {
    if (ringingCall_.isEmpty()) return;
    bus_.disconnect(kService, ringingCall_, kProperties, QStringLiteral("PropertiesChanged"), this,
                    SLOT(propertiesChanged(QString, QVariantMap, QStringList, QDBusMessage)));
    ringingCall_.clear();
}
