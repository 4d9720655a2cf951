// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/window/form1.h"

#include "app/output/gps_input.h"
#include "app/output/lan_output.h"
#include "app/output/map_link.h"
#include "app/output/map_server.h"
#include "app/output/nmea_output.h"
#include "app/output/source_selection.h"
#include "app/output/winsock_control.h"
#include "app/phone/command_cycle.h"
#include "app/phone/modem_manager_link.h"
#include "app/phone/phone_line.h"
#include "app/phone/response_dispatcher.h"
#include "app/position/cell_db_position.h"
#include "app/position/cell_estimate.h"
#include "app/position/cell_site_files.h"
#include "app/position/display_switches.h"
#include "app/position/measurement_recorder.h"
#include "app/position/position_engine.h"
#include "app/position/position_feed.h"
#include "app/position/position_log.h"
#include "app/position/position_panel.h"
#include "app/sms/phone_calls.h"
#include "app/sms/sms_reception.h"
#include "app/sms/sms_sending.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QEvent>
#include <QFile>
#include <QMouseEvent>

#include "app/window/form2.h"
#include "app/window/port_problems.h"
#include "app/window/speech_control.h"
#include "core/ini_file.h"
#include "core/version.h"

Form1::Form1(const StartOptions& options, std::unique_ptr<Platform> platform, QWidget* parent)
    : Form1(options, findProgramFolder(options.dataDir), std::move(platform), parent) {}

Form1::Form1(const StartOptions& options, const ProgramFolder& folder,
             std::unique_ptr<Platform> platform, QWidget* parent)
    : QMainWindow(parent), options_(options), folder_(folder), platform_(std::move(platform)) {
    setObjectName(QStringLiteral("Form1"));
    if (!platform_) platform_ = makeQtPlatform(this);
    createElements();
    layoutElements();
    setInitialStates();
    connectHandlers();
    createTopics();
}

Form1::~Form1() {
    // The recorder learns the drive's cells when it stops, with the
    // platform's clock: before the members go, the platform among them.
    if (measurementRecorder) measurementRecorder->stop();
}

// Every topic, each given what it uses and made after the topics it calls.
// A topic that calls one made after it is given a callback here, which calls
// one named method. The position's labels and the cell's name come first:
// the phone's answers are shown in them.
void Form1::createTopics() {
    positionPanel = std::make_unique<PositionPanel>(PositionPanel::Elements{
        PosL,
        Zone,
        Netz2,
        Entf,
        {PosL, MBlast, SendPos, CallPos, ReqPosEn, Cell},
        {Zone, TAV, Entf, ShHome, ShCell, Shape2, Line1[0], Line1[1], Line1[2], Line1[3], Line1[4]},
        {GsmL},
        {Line1[0], Line1[1], Line1[2]}});
    cellSiteFiles = std::make_unique<CellSiteFiles>(CellSiteFiles::Elements{Cell}, network,
                                                    position, *platform_, folder_, writeProblems);
    phoneLine = std::make_unique<PhoneLine>(
        PhoneLine::Elements{this, Comm1, List2, SMSc, BattA, BattE, BattL, TAV, Netze[1]}, phone,
        *platform_,
        [this](const std::string& line) { responseDispatcher->InterpretResponse(line); },
        [this] { commandCycle->stop(); });
    smsSending = std::make_unique<SmsSending>(
        SmsSending::Elements{Combo1, SendPos, CallPos, ReqPosEn, SMSb, GsmL}, sms, position, output,
        *platform_, options_, *phoneLine,
        SmsSending::Calls{[this](const QString& status) { smsReception->showSendStatus(status); },
                          [this] { phoneCalls->enableCalling(); },
                          [this] { sourceSelection->showAutoSendControls(); }});
    phoneCalls = std::make_unique<PhoneCalls>(
        PhoneCalls::Elements{Check1, CALLb, RingL, Timer3, Timer4, Sprelo, SpreloI}, calls, phone,
        *platform_, *phoneLine, *smsSending, [this](int ms) { commandCycle->restartIfRunning(ms); },
        [this] { smsReception->clearText(); });
    smsReception = std::make_unique<SmsReception>(
        SmsReception::Elements{Text1, Text2, SMSrd}, sms, calls, position, *platform_, *phoneLine,
        *smsSending, *phoneCalls,
        [this](const std::string& mapAddress) { positionFeed->publishSms(mapAddress); });
    commandCycle = std::make_unique<CommandCycle>(
        CommandCycle::Elements{Timer1, GSM, Baud},
        CommandCycle::State{phone, network, position, sms, calls}, *platform_,
        CommandCycle::Topics{*phoneLine, *smsSending, *smsReception, *phoneCalls},
        [this] { return cellEstimate->nextRead(); });
    responseDispatcher = std::make_unique<ResponseDispatcher>(
        ResponseDispatcher::Elements{Info, Level, Text3, Image1, List1, Sta, Netze, Land, Netz, GSM,
                                     Baud},
        ResponseDispatcher::State{phone, network, position, sms, calls}, *platform_, folder_,
        ResponseDispatcher::Topics{*phoneLine, *commandCycle, *smsSending, *smsReception,
                                   *phoneCalls, *positionPanel, *cellSiteFiles},
        ResponseDispatcher::PositionHooks{
            [this] { positionEngine->ComputeCellPosition(); },
            [this] { cellDbPosition->ServingCellChanged(); },
            [this](const std::string& line) { cellEstimate->report(line); },
            [this](const std::string& line) { cellEstimate->queryEnded(line); }});
    new PortProblemDisplay(PortProblemDisplay::Elements{GSM, Comm1, GPS, Comm3, NMEA, Comm2},
                           *phoneLine, this);
    // A phone port "mm" is read through ModemManager instead of the cycle.
    auto* modemManager = new ModemManagerLink(
        ModemManagerLink::Elements{GSM}, PhoneSideState{phone, network, position, sms, calls},
        settingsPath(),
        ModemManagerLink::Topics{*phoneLine, *responseDispatcher, *smsReception, *smsSending},
        options_.recipient, this);
    commandCycle->setOtherLink([modemManager] { return modemManager->takeTick(); });
    // The position and output topics.
    sourceSelection = std::make_unique<SourceSelection>(
        SourceSelection::Elements{cGSM, cGPS, cSMS, cMULTI, AsendS, AsendL, Timer6}, output,
        settingsPath(), [this] { smsSending->sendPositionUnattended(); });
    gpsInput = std::make_unique<GpsInput>(GpsInput::Elements{GPS, Comm3, GPSstat, GSM}, output,
                                          *sourceSelection);
    const TraceList trace{
        [this] { return phoneLine->traceVisible(); },
        [this](const QString& entry, bool follow) { phoneLine->addTrace(entry, follow); },
        [this] { phoneLine->showLastTraceEntries(); }};
    lanOutput =
        std::make_unique<LanOutput>(LanOutput::Elements{Winsock, TCPstat}, network, position,
                                    output, *platform_, settingsPath(), *sourceSelection, trace);
    mapLink = std::make_unique<MapLink>(MapLink::Elements{MBlast, Timer5}, position, sms,
                                        *platform_, *sourceSelection,
                                        [this](const std::string& rmc, const std::string& gga) {
                                            nmeaOutput->replayLogged(rmc, gga);
                                        });
    positionLog =
        std::make_unique<PositionLog>(PositionLog::Elements{Trace, TrNew, NewL}, network, position,
                                      *platform_, folder_, writeProblems, *cellSiteFiles, *mapLink);
    nmeaOutput = std::make_unique<NmeaOutput>(
        NmeaOutput::Elements{NMEA, Timer2, Comm2, TCPstat, GSM}, network, position, output, sms,
        settingsPath(), NmeaOutput::Topics{*sourceSelection, *lanOutput, *mapLink}, trace,
        [this] { return cellDbPosition->hasDatabase(); }, [this] { positionFeed->leaveNetwork(); });
    positionFeed = std::make_unique<PositionFeed>(
        network, position,
        PositionFeed::Topics{*positionPanel, *nmeaOutput, *gpsInput, *mapLink, *positionLog,
                             *lanOutput, *sourceSelection});
    cellDbPosition = std::make_unique<CellDbPosition>(
        network, position, *platform_, *positionFeed,
        [this](const QString& line) { phoneLine->addTrace(line, true); },
        [this](const QString& problem) { queueCellDbProblem(problem); });
    measurementRecorder = std::make_unique<MeasurementRecorder>(
        MeasurementRecorder::Elements{MessN}, network, output, *platform_,
        [this](const QString& line) { phoneLine->addTrace(line, true); },
        [this] { return cellEstimate->recentObservation(5000); });
    cellEstimate = std::make_unique<CellEstimate>(
        phone, network, position, *platform_, *positionFeed,
        [this] { return cellDbPosition->database(); },
        [this](const funkor::CellDbKey& key) { return measurementRecorder->learnedCell(key); });
    displaySwitches = std::make_unique<DisplaySwitches>(
        DisplaySwitches::Elements{ShCell, ShHome, Netz}, network, position, *positionPanel,
        *cellSiteFiles,
        DisplaySwitches::Calls{[this] { positionEngine->ComputeCellPosition(); },
                               [this](bool on) { commandCycle->setRunning(on); },
                               [this] { phoneLine->takeFocus(); }});
    positionEngine = std::make_unique<PositionEngine>(
        network, position, *platform_, folder_,
        PositionEngine::Topics{*displaySwitches, *cellSiteFiles, *positionFeed});
    mapServer = std::make_unique<MapServer>();
}

std::string Form1::settingsPath() const {
    return QFile::encodeName(folder_.file(QStringLiteral("Funkor.ini"))).toStdString();
}

QObject* Form1::element(const QString& name) const {
    for (const auto& e : inventory_)
        if (e.name == name) return e.object;
    return nullptr;
}

void Form1::addElement(QObject* object, const QString& name, const QString& kind, bool decoration) {
    object->setObjectName(name);
    inventory_.push_back({name, kind, object, decoration});
}

void Form1::createElements() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("Form1Area"));
    setCentralWidget(central);
    QWidget* w = central;

    auto label = [&](const QString& name, const QString& caption = QString()) {
        auto* l = new LabelElement(w);
        l->setText(caption);
        addElement(l, name, QStringLiteral("label"));
        return l;
    };
    auto check = [&](const QString& name, const QString& caption = QString()) {
        auto* c = new QCheckBox(caption, w);
        addElement(c, name, QStringLiteral("checkbox"));
        return c;
    };
    auto button = [&](const QString& name, const QString& caption = QString()) {
        auto* b = new QPushButton(caption, w);
        b->setAutoDefault(false);
        addElement(b, name, QStringLiteral("button"));
        return b;
    };
    auto combo = [&](const QString& name) {
        auto* c = new QComboBox(w);
        addElement(c, name, QStringLiteral("combobox"));
        return c;
    };
    auto list = [&](const QString& name) {
        auto* l = new QListWidget(w);
        addElement(l, name, QStringLiteral("listbox"));
        return l;
    };
    auto text = [&](const QString& name) {
        auto* t = new TextBoxElement(w);
        addElement(t, name, QStringLiteral("textbox"));
        return t;
    };
    auto gauge = [&](const QString& name, int max) {
        auto* g = new GaugeElement(w);
        g->setRange(0, max);
        addElement(g, name, QStringLiteral("gauge"));
        return g;
    };
    auto image = [&](const QString& name, ImageElement::Picture picture) {
        auto* i = new ImageElement(picture, w);
        addElement(i, name, QStringLiteral("image"));
        return i;
    };
    auto shape = [&](const QString& name, ShapeElement::Form form, bool decoration) {
        auto* s = new ShapeElement(form, w);
        addElement(s, name, QStringLiteral("shape"), decoration);
        return s;
    };
    auto line = [&](const QString& name, Qt::Orientation o) {
        auto* l = new LineElement(o, w);
        addElement(l, name, QStringLiteral("line"), true);
        return l;
    };
    auto timer = [&](const QString& name) {
        auto* t = new TimerElement(this);
        addElement(t, name, QStringLiteral("timer"));
        return t;
    };
    auto serial = [&](const QString& name) {
        auto* s = new SerialPortComponent(this);
        addElement(s, name, QStringLiteral("serialport"));
        return s;
    };
    auto indexed = [](const char* name, int i) {
        return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
    };

    // Frames first, so that they lie behind what they frame.
    Shape1 = shape(QStringLiteral("Shape1"), ShapeElement::Form::Frame, true);
    Shape3 = shape(QStringLiteral("Shape3"), ShapeElement::Form::Frame, true);
    Shape2 = shape(QStringLiteral("Shape2"), ShapeElement::Form::Frame, true);

    // Phone port, status and identity
    Comm1 = serial(QStringLiteral("Comm1"));
    GSM = combo(QStringLiteral("GSM"));
    // The inventory lists the captions in display order, highest rate first;
    // the index is the one the settings file uses.
    Baud[2] = new QRadioButton(QStringLiteral("115200"), w);
    Baud[1] = new QRadioButton(QStringLiteral("57600"), w);
    Baud[0] = new QRadioButton(QStringLiteral("19200"), w);
    baudGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        addElement(Baud[i], indexed("Baud", i), QStringLiteral("option"));
        baudGroup_->addButton(Baud[i], i);
    }
    Active = check(QStringLiteral("Active"));
    Label2 = label(QStringLiteral("Label2"), QStringLiteral("GSM IN"));
    List2 = list(QStringLiteral("List2"));
    Info = label(QStringLiteral("Info"));
    Text3 = text(QStringLiteral("Text3"));
    Level = gauge(QStringLiteral("Level"), 31);
    BattA = gauge(QStringLiteral("BattA"), 100);
    BattE = image(QStringLiteral("BattE"), ImageElement::Picture::BatteryDischarging);
    BattL = image(QStringLiteral("BattL"), ImageElement::Picture::BatteryCharging);
    Timer1 = timer(QStringLiteral("Timer1"));

    // Network and cell
    Netz = label(QStringLiteral("Netz"));
    List1 = list(QStringLiteral("List1"));
    for (int i = 0; i < 8; ++i) {
        Sta[i] = shape(indexed("Sta", i), ShapeElement::Form::Circle, false);
        Netze[i] = label(indexed("Netze", i));
        Land[i] = label(indexed("Land", i));
    }
    Netz2 = label(QStringLiteral("Netz2"));
    Cell = label(QStringLiteral("Cell"));
    Zone = label(QStringLiteral("Zone"), QStringLiteral("City-Zone"));
    Entf = label(QStringLiteral("Entf"), QStringLiteral("Home"));
    TAV = label(QStringLiteral("TAV"));
    PosL = label(QStringLiteral("PosL"), QStringLiteral("Position"));
    for (int i = 0; i < 5; ++i)
        Line1[i] = line(indexed("Line1", i), i < 3 ? Qt::Horizontal : Qt::Vertical);
    Line2 = line(QStringLiteral("Line2"), Qt::Horizontal);
    Line4 = line(QStringLiteral("Line4"), Qt::Horizontal);
    Line5 = line(QStringLiteral("Line5"), Qt::Vertical);
    Line6 = line(QStringLiteral("Line6"), Qt::Vertical);
    ShCell = check(QStringLiteral("ShCell"));
    ShHome = check(QStringLiteral("ShHome"));
    Trace = check(QStringLiteral("Trace"), QStringLiteral("Logging"));
    TrNew = check(QStringLiteral("TrNew"), QStringLiteral("nur neue"));
    NewL = button(QStringLiteral("NewL"));
    MessN = label(QStringLiteral("MessN"));

    // SMS, calls and phone book
    Text1 = text(QStringLiteral("Text1"));
    Text2 = text(QStringLiteral("Text2"));
    SMSrd = button(QStringLiteral("SMSrd"), QStringLiteral("SMS"));
    SMSb = button(QStringLiteral("SMSb"), QStringLiteral("SMS"));
    SMSc = button(QStringLiteral("SMSc"), QStringLiteral("Test"));
    Label5 = label(QStringLiteral("Label5"), QStringLiteral("SMS"));
    Check1 = check(QStringLiteral("Check1"), QStringLiteral("Telefon-Buch"));
    Combo1 = combo(QStringLiteral("Combo1"));
    CALLb = button(QStringLiteral("CALLb"), QStringLiteral("Anruf"));
    RingL = label(QStringLiteral("RingL"), QStringLiteral("Anruf"));
    Timer3 = timer(QStringLiteral("Timer3"));
    Timer4 = timer(QStringLiteral("Timer4"));
    Sprelo = new SpreloControlElement(w);
    addElement(Sprelo, QStringLiteral("Sprelo"), QStringLiteral("speech"));
    SpreloI = image(QStringLiteral("SpreloI"), ImageElement::Picture::Speaking);

    // GPS, positions and output
    Comm3 = serial(QStringLiteral("Comm3"));
    GPS = combo(QStringLiteral("GPS"));
    Label3 = label(QStringLiteral("Label3"), QStringLiteral("GPS IN"));
    GPSstat = shape(QStringLiteral("GPSstat"), ShapeElement::Form::Circle, false);
    Comm2 = serial(QStringLiteral("Comm2"));
    NMEA = combo(QStringLiteral("NMEA"));
    Label4 = label(QStringLiteral("Label4"), QStringLiteral("NMEA Out"));
    Winsock = new WinsockControl(this);
    addElement(Winsock, QStringLiteral("Winsock"), QStringLiteral("socket"));
    TCPstat = shape(QStringLiteral("TCPstat"), ShapeElement::Form::Circle, false);
    cGSM = check(QStringLiteral("cGSM"));
    cGPS = check(QStringLiteral("cGPS"));
    cSMS = check(QStringLiteral("cSMS"));
    cMULTI = check(QStringLiteral("cMULTI"));
    Label6 = label(QStringLiteral("Label6"), QStringLiteral("Multi"));
    Label7 = label(QStringLiteral("Label7"), QStringLiteral("active"));
    GsmL = label(QStringLiteral("GsmL"), QStringLiteral("SMS-Pos. GSM/GPS"));
    SendPos = check(QStringLiteral("SendPos"), QStringLiteral("Pos. >>"));
    CallPos = check(QStringLiteral("CallPos"), QStringLiteral("Pos. <<"));
    ReqPosEn = check(QStringLiteral("ReqPosEn"));
    AsendS = new QScrollBar(Qt::Vertical, w);
    addElement(AsendS, QStringLiteral("AsendS"), QStringLiteral("scrollbar"));
    AsendL = label(QStringLiteral("AsendL"), QStringLiteral("-"));
    Timer2 = timer(QStringLiteral("Timer2"));
    Timer5 = timer(QStringLiteral("Timer5"));
    Timer6 = timer(QStringLiteral("Timer6"));
    MBlast = check(QStringLiteral("MBlast"), QStringLiteral(">> WWW"));
    Image1 = image(QStringLiteral("Image1"), ImageElement::Picture::Sending);
    SAVE = button(QStringLiteral("SAVE"));
    Label1 = label(QStringLiteral("Label1"), QStringLiteral("save"));

    form2 = new Form2(this);
}

void Form1::connectHandlers() {
    // Start-up and settings
    connect(GSM, &QComboBox::currentIndexChanged, this, [this] { GSM_Click(); });
    GSM->installEventFilter(this);
    connect(Active, &QCheckBox::toggled, this, [this] { Active_Click(); });
    connect(SAVE, &QPushButton::clicked, this, [this] { SAVE_Click(); });

    // Phone line and command cycle
    connect(Comm1, &SerialPortComponent::OnComm, this, [this] { Comm1_OnComm(); });
    connect(Comm1, &SerialPortComponent::Broken, this, [this] {
        phoneLine->portBroken();
        commandCycle->portBroken();
    });
    List2->viewport()->installEventFilter(this);
    connect(BattA, &GaugeElement::clicked, this, [this] { BattA_Click(); });
    connect(BattA, &GaugeElement::mouseDown, this, [this](int b) { BattA_MouseDown(b); });
    connect(TAV, &LabelElement::clicked, this, [this] { TAV_Click(); });
    connect(Timer1, &TimerElement::Timer, this, [this] { Timer1_Timer(); });

    // Cell-site files, display switches, position log
    connect(Cell, &LabelElement::mouseDown, this, [this](int b) { Cell_MouseDown(b); });
    connect(ShCell, &QCheckBox::toggled, this, [this] { ShCell_Click(); });
    connect(ShHome, &QCheckBox::toggled, this, [this] { ShHome_Click(); });
    connect(Trace, &QCheckBox::toggled, this, [this] { Trace_Click(); });
    connect(NewL, &QPushButton::clicked, this, [this] { NewL_Click(); });

    // GPS input, NMEA output, map link, source selection
    connect(GPS, &QComboBox::currentIndexChanged, this, [this] { GPS_Click(); });
    connect(Comm3, &SerialPortComponent::OnComm, this, [this] { Comm3_OnComm(); });
    connect(NMEA, &QComboBox::currentIndexChanged, this, [this] { NMEA_Click(); });
    connect(Timer2, &TimerElement::Timer, this, [this] { Timer2_Timer(); });
    connect(Timer5, &TimerElement::Timer, this, [this] { Timer5_Timer(); });
    connect(MBlast, &QCheckBox::toggled, this, [this] { MBlast_Click(); });
    connect(cGSM, &QCheckBox::toggled, this, [this] { cGSM_Click(); });
    connect(cGPS, &QCheckBox::toggled, this, [this] { cGPS_Click(); });
    connect(cSMS, &QCheckBox::toggled, this, [this] { cSMS_Click(); });
    connect(cMULTI, &QCheckBox::toggled, this, [this] { cMULTI_Click(); });
    connect(AsendS, &QScrollBar::valueChanged, this, [this] { AsendS_Change(); });
    connect(Timer6, &TimerElement::Timer, this, [this] { Timer6_Timer(); });
    connect(Comm3, &SerialPortComponent::Broken, this, [this] { gpsInput->receiveError(); });
    connect(Winsock, &WinsockControl::ConnectionRequest, this,
            [this] { lanOutput->ConnectionRequest(); });
    connect(Winsock, &WinsockControl::DataArrival, this,
            [this](qint64 n) { lanOutput->DataArrival(n); });
    connect(Winsock, &WinsockControl::Error, this,
            [this](int n, const QString& d) { lanOutput->Error(n, d); });

    // SMS, calls, phone book, announcements
    connect(SMSrd, &QPushButton::clicked, this, [this] { SMSrd_Click(); });
    connect(SMSc, &QPushButton::clicked, this, [this] { SMSc_Click(); });
    connect(Text1, &TextBoxElement::clicked, this, [this] { Text1_Click(); });
    connect(Text2, &TextBoxElement::mouseDown, this, [this](int b) { Text2_MouseDown(b); });
    connect(SMSb, &QPushButton::clicked, this, [this] { SMSb_Click(); });
    connect(SendPos, &QCheckBox::toggled, this, [this] { SendPos_Click(); });
    connect(CallPos, &QCheckBox::toggled, this, [this] { CallPos_Click(); });
    // The phone book fills this list from code with no entry chosen; only
    // the user's choice of an entry counts as a click (filling and renewing
    // the list block its signals).
    connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { Combo1_Click(); });
    connect(Check1, &QCheckBox::toggled, this, [this] { Check1_Click(); });
    connect(CALLb, &QPushButton::clicked, this, [this] { CALLb_Click(); });
    connect(RingL, &LabelElement::clicked, this, [this] { RingL_Click(); });
    connect(Timer3, &TimerElement::Timer, this, [this] { Timer3_Timer(); });
    connect(Timer4, &TimerElement::Timer, this, [this] { Timer4_Timer(); });
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (watched == GSM && event->type() == QEvent::FocusIn) {
        // Only the user entering the list counts: not the window becoming
        // active again, nor the focus coming back from the list's own popup
        // after a choice (which would stop the cycle the choice just
        // started).
        auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) GSM_GotFocus();
    } else if (watched == List2->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        List2_MouseDown(mouseButtonCode(me->button()));
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event) {
    rememberPlacement();
    Form_QueryUnload();
    QMainWindow::closeEvent(event);
}

void Form1::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

int Form1::readSetting(const char* section, const char* key, int def, int min, int max) const {
    int v = funkor::ini::getInt(settingsPath(), section, key, def);
    return v < min || v > max ? def : v;
}
