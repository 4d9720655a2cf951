// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/phone/response_dispatcher.h"

#include <QComboBox>
#include <QRadioButton>
#include <QSignalBlocker>
#include <algorithm>

#include "app/base/elements.h"
#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/phone/command_cycle.h"
#include "app/phone/phone_line.h"
#include "app/sms/phone_calls.h"
#include "app/sms/sms_reception.h"
#include "app/sms/sms_sending.h"
#include "core/at_device.h"

ResponseDispatcher::ResponseDispatcher(const Elements& elements, const State& state,
                                       Platform& platform, const ProgramFolder& folder,
                                       const Topics& topics, PositionHooks positionHooks)
    : e_(elements),
      phone_(state.phone),
      network_(state.network),
      position_(state.position),
      sms_(state.sms),
      calls_(state.calls),
      platform_(platform),
      folder_(folder),
      phoneLine_(topics.phoneLine),
      commandCycle_(topics.commandCycle),
      smsSending_(topics.smsSending),
      smsReception_(topics.smsReception),
      phoneCalls_(topics.phoneCalls),
      panel_(topics.panel),
      cellNames_(topics.cellNames),
      positionHooks_(std::move(positionHooks)) {}
ResponseDispatcher::~ResponseDispatcher() = default;

void ResponseDispatcher::InterpretResponse(const std::string& line) {
    funkor::DispatchFlags flags;
    flags.ussdPending = phone_.ussdPending;
    flags.smsSendPending = sms_.smsSendPending;
    flags.smsListPending = sms_.smsListPending;
    flags.cbPending = position_.cbPending;
    flags.smsReadState = sms_.smsReadState;

    funkor::dispatchAnswer(line, flags, *this);
    if (phone_.operatorScanPending && funkor::endsQuery(line)) operatorScanEnded(line);
    if (phone_.linkProbePending && funkor::endsQuery(line)) linkProbeAnswered(line);
    if (positionHooks_.queryEnded && funkor::endsQuery(line)) positionHooks_.queryEnded(line);
    if (phone_.registrationQuery != RegistrationQuery::None && funkor::endsQuery(line))
        registrationQueryEnded(line);
    if (const auto sim = funkor::simStateOf(line)) simStateChanged(*sim);
}

void ResponseDispatcher::takeSimState(const std::string& problem) {
    simStateChanged(problem);
}

void ResponseDispatcher::linkFound() {
    phoneFound();
}

void ResponseDispatcher::simStateChanged(const std::string& problem) {
    if (problem == phone_.simProblem) return;
    phone_.simProblem = problem;
    if (problem.empty()) return;
    // Without a usable SIM there is no network to show: the operator
    // display says why, and the trace keeps it.
    e_.Netz->setText(fromCp1252(problem));
    e_.Netz->setToolTip(fromCp1252("SIM: " + problem));
    phoneLine_.addTrace(fromCp1252("SIM: " + problem), true);
}

void ResponseDispatcher::linkProbeAnswered(const std::string& line) {
    phone_.linkProbePending = false;
    phone_.cbcRefused = funkor::isErrorResult(line);
    // A phone with a battery was found on its "+CBC:" line already; the
    // gauge stays as it is.
    if (!phone_.phoneLinked) phoneFound();
}

void ResponseDispatcher::registrationQueryEnded(const std::string& line) {
    if (line != "OK") {
        if (phone_.registrationQuery == RegistrationQuery::Gprs) phone_.cgregRefused = true;
        if (phone_.registrationQuery == RegistrationQuery::Eps) phone_.ceregRefused = true;
        if (phone_.registrationQuery == RegistrationQuery::Fivegs) phone_.c5gregRefused = true;
    }
    phone_.registrationQuery = RegistrationQuery::None;
    // The round's last domain refused: a "not registered" held back for it
    // is judged now.
    const auto& known = network_.registrationKnown;
    if (!network_.registrationJudged && phone_.registrationStep == 0 &&
        std::find(known.begin(), known.end(), 1) != known.end())
        servingCellFromRegistrations();
}

void ResponseDispatcher::operatorScanEnded(const std::string& line) {
    // Without network a phone answers the scan with an empty list or an
    // error. The scan's 60 s interval must end with that answer as it ends
    // with a list: kept, every broadcast page or notice would push the next
    // step back by another 60 s, and the schedule would never run again.
    phone_.operatorScanPending = false;
    if (line != "ERROR") commandCycle_.restartIfRunning(2000);
}

// ---- Helpers ----

void ResponseDispatcher::answerCame(const std::string&) {
    commandCycle_.waitForQuiet();
}

std::string ResponseDispatcher::timeOfDay() const {
    return platform_.Now().toString(QStringLiteral("hh:mm:ss")).toStdString();
}

QString ResponseDispatcher::shown(const std::string& text) {
    QString s = fromCp1252(text);
    s.replace(QLatin1Char(funkor::kCaptionBreak), QLatin1Char('\n'));
    return s;
}

std::string ResponseDispatcher::held(const QString& text) {
    std::string s = toCp1252(text);
    for (char& c : s)
        if (c == '\n') c = funkor::kCaptionBreak;
    return s;
}

// ---- Final result codes ----

void ResponseDispatcher::finalOk(const std::string& line) {
    if (!sms_.smsSendPending) {
        // While the phone books and the SMS list are read, the next read
        // follows as soon as the phone has answered.
        if (funkor::readsBooksOrList(phone_.pollStep)) commandCycle_.restartIfRunning(1);
        return;
    }
    sms_.smsSendPending = false;
    smsSending_.sendStatusArrived(fromCp1252("SMS: " + line), false);
}

void ResponseDispatcher::finalError(const std::string& line) {
    if (!sms_.smsSendPending) {
        // A failed command costs no waiting time.
        commandCycle_.restartIfRunning(1);
        return;
    }
    sms_.smsSendPending = false;
    smsSending_.sendStatusArrived(fromCp1252("SMS:" + line), true);
}

// ---- Star codes ----

void ResponseDispatcher::starCodeAnswer(const std::string& line) {
    const funkor::StarCodeAnswer answer = funkor::starCodeAnswer(line);
    switch (answer.kind) {
        case funkor::StarCodeAnswer::Ignored:
            break;
        case funkor::StarCodeAnswer::Done:
            phone_.ussdPending = UssdPending::None;
            break;
        case funkor::StarCodeAnswer::Text:
            smsReception_.appendStarCodeText(fromCp1252(answer.append));
            break;
    }
}

void ResponseDispatcher::ussdText(const std::string& line) {
    const auto text = funkor::ussdQuotedText(line);
    if (!text) return;
    e_.Text3->show();
    e_.Text3->setText(fromCp1252(*text));
    phone_.ussdPending = UssdPending::None;
}

// ---- Calls ----

void ResponseDispatcher::ring(const std::string&) {
    takeRing();
}

void ResponseDispatcher::takeRing() {
    phoneCalls_.showRinging(shown(funkor::ringCaption(timeOfDay())));
}

void ResponseDispatcher::callerId(const std::string& line) {
    if (const auto clip = funkor::parseClip(line)) takeCaller(clip->number);
}

void ResponseDispatcher::takeCaller(const std::string& number) {
    // A withheld number is shown as the time alone and looked up nowhere;
    // the announcement runs either way.
    std::string name;
    if (!number.empty()) name = phoneCalls_.FindCallerName(number);
    phoneCalls_.announceCaller(shown(funkor::callerCaption(timeOfDay(), number, name)));
}

// ---- Battery, link, signal, activity ----

void ResponseDispatcher::battery(const std::string& line) {
    const auto reading = funkor::parseCbc(line);
    if (!reading) return;
    phoneFound();
    if (reading->charge) phone_.batteryCharge = *reading->charge;
    phoneLine_.showBattery(reading->charge, fromCp1252(reading->tooltip), reading->onBattery);
}

void ResponseDispatcher::phoneFound() {
    // The found port is shown in the port list. This is no choice of the
    // user: the port-choice handler would close the port the cycle has just
    // found the phone on.
    if (phone_.portNumber >= 0 && phone_.portNumber <= 16 && phone_.portNumber < e_.GSM->count()) {
        QSignalBlocker block(e_.GSM);
        e_.GSM->setCurrentIndex(phone_.portNumber);
    }
    if (const auto option = funkor::baudOptionFromSettings(toCp1252(phoneLine_.lineSettings())))
        e_.Baud[static_cast<std::size_t>(*option)]->setChecked(true);
    phone_.phoneLinked = true;
    e_.GSM->setToolTip(QStringLiteral("Handy-Port"));
}

void ResponseDispatcher::signal(const std::string& line) {
    if (const auto reading = funkor::parseCsq(line)) takeSignal(*reading);
}

void ResponseDispatcher::takeSignal(const funkor::SignalReading& reading) {
    phone_.signalLevel = reading.gaugeValue;
    e_.Level->setValue(reading.gaugeValue);
    e_.Level->setToolTip(fromCp1252(reading.tooltip));
}

void ResponseDispatcher::activity(const std::string& line) {
    const auto ready = funkor::parseCpasReady(line);
    if (!ready) return;
    e_.Image1->setVisible(!*ready);
}

// ---- Identity ----

void ResponseDispatcher::identityLine(const std::string& line) {
    funkor::DeviceIdentity id;
    id.manufacturerStep = phone_.manufacturerStep;
    id.identityStep = phone_.identityStep;
    id.manufacturer = phone_.manufacturer;
    id.model = phone_.model;
    id.homeNetwork = phone_.homeNetwork;
    id.infoCaption = held(e_.Info->text());
    id.infoTooltip = held(e_.Info->toolTip());
    if (!funkor::takeIdentityLine(id, line)) {
        // The SIM card number alone, as SIM800 answers "AT+CCID".
        if (phone_.iccidStep == IccidStep::AskedCcid || phone_.iccidStep == IccidStep::AskedIccid)
            simCardNumber(line);
        return;
    }
    takeIdentity(id);
}

void ResponseDispatcher::takeIdentity(const funkor::DeviceIdentity& id) {
    phone_.manufacturerStep = id.manufacturerStep;
    phone_.identityStep = id.identityStep;
    phone_.manufacturer = id.manufacturer;
    phone_.model = id.model;
    phone_.homeNetwork = id.homeNetwork;
    e_.Info->setText(shown(id.infoCaption));
    e_.Info->setToolTip(shown(id.infoTooltip));
}

void ResponseDispatcher::simCardNumber(const std::string& line) {
    funkor::DeviceIdentity id;
    id.infoTooltip = held(e_.Info->toolTip());
    // Other makers' devices answer "AT+CCID" or "AT+ICCID"; the number is
    // appended as the Siemens "^SCID:" answer's is.
    if (const auto iccid = funkor::parseIccid(line)) {
        if (phone_.iccidStep != IccidStep::AskedCcid && phone_.iccidStep != IccidStep::AskedIccid)
            return;
        phone_.iccidStep = IccidStep::Done;
        if (!funkor::takeScid(id, "^SCID: " + *iccid)) return;
    } else if (!funkor::takeScid(id, line)) {
        return;
    }
    e_.Info->setToolTip(shown(id.infoTooltip));
}
