// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/phone/response_dispatcher.h"

#include <QSignalBlocker>

#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/at_device.h"
#include "core/at_dispatch.h"

using funkor::AnswerStep;

ResponseDispatcher::ResponseDispatcher(Form1& form) : f(form) {}
ResponseDispatcher::~ResponseDispatcher() = default;

void ResponseDispatcher::InterpretResponse(const std::string& line) {
    funkor::DispatchFlags flags;
    flags.ussdPending = f.phone.ussdPending;
    flags.smsSendPending = f.sms.smsSendPending == 1;
    flags.smsListPending = f.sms.smsListPending == 1;
    flags.cbPending = f.position.cbPending == 1;
    flags.smsReadState = f.sms.smsReadState;

    // The steps are chosen from the state before the line: a header sets the
    // flag that only the next line's earlier step reads, so choosing them all
    // first gives the same order as testing them one after the other.
    for (AnswerStep step : funkor::answerSteps(line, flags)) {
        switch (step) {
            case AnswerStep::StarCode:
                starCodeAnswer(line);
                break;
            case AnswerStep::UssdText:
                ussdText(line);
                break;
            case AnswerStep::FinalOk:
                finalOk(line);
                break;
            case AnswerStep::FinalError:
                finalError(line);
                break;
            case AnswerStep::RestartTimer:
                restartCycle();
                break;
            case AnswerStep::Ring:
                ring();
                break;
            case AnswerStep::SimZoneFile:
                simZoneFile(line);
                break;
            case AnswerStep::CallerId:
                callerId(line);
                break;
            case AnswerStep::Battery:
                battery(line);
                break;
            case AnswerStep::SimCardNumber:
                simCardNumber(line);
                break;
            case AnswerStep::IdentityLine:
                identityLine(line);
                break;
            case AnswerStep::Signal:
                signal(line);
                break;
            case AnswerStep::SmsListData:
                smsListData(line);
                break;
            case AnswerStep::SmsListHeader:
                smsListHeader(line);
                break;
            case AnswerStep::Activity:
                activity(line);
                break;
            case AnswerStep::TimingAdvance:
                timingAdvance(line);
                break;
            case AnswerStep::Registration:
                registration(line);
                break;
            case AnswerStep::BroadcastData:
                broadcastData(line);
                break;
            case AnswerStep::BroadcastHeader:
                broadcastHeader();
                break;
            case AnswerStep::SmsReadData:
                smsReadData(line);
                break;
            case AnswerStep::SmsReadHeader:
                smsReadHeader(line);
                break;
            case AnswerStep::NewMessage:
                newMessage(line);
                break;
            case AnswerStep::OperatorNumeric:
                operatorNumeric(line);
                break;
            case AnswerStep::OperatorName:
                operatorName(line);
                break;
            case AnswerStep::OperatorList:
                operatorList(line);
                break;
            case AnswerStep::PhoneBookStatus:
                phoneBookStatus(line);
                break;
            case AnswerStep::PhoneBookReadEcho:
                phoneBookReadEcho();
                break;
            case AnswerStep::PhoneBookEntry:
                phoneBookEntry(line);
                break;
        }
    }
    if (f.phone.operatorScanPending == 1 && funkor::isFinalResult(line)) operatorScanEnded(line);
    if (f.phone.linkProbePending == 1 && funkor::isFinalResult(line)) linkProbeAnswered();
    if (f.phone.registrationQuery != 0 && funkor::isFinalResult(line)) registrationQueryEnded(line);
}

void ResponseDispatcher::linkProbeAnswered() {
    f.phone.linkProbePending = 0;
    // A phone with a battery was found on its "+CBC:" line already; the
    // gauge stays as it is.
    if (f.phone.phoneLinked == 0) phoneFound();
}

void ResponseDispatcher::registrationQueryEnded(const std::string& line) {
    if (line != "OK") {
        if (f.phone.registrationQuery == 'G') f.phone.cgregRefused = 1;
        if (f.phone.registrationQuery == 'E') f.phone.ceregRefused = 1;
    }
    f.phone.registrationQuery = 0;
}

void ResponseDispatcher::operatorScanEnded(const std::string& line) {
    // Without network a phone answers the scan with an empty list or an
    // error. The scan's 60 s interval must end with that answer as it ends
    // with a list: kept, every broadcast page or notice would push the next
    // step back by another 60 s, and the schedule would never run again.
    f.phone.operatorScanPending = 0;
    if (line != "ERROR") restartCycle(2000);
}

// ---- Helpers ----

void ResponseDispatcher::restartCycle(int intervalMs) {
    // Only a running cycle is restarted: the cycle is off while the port is
    // closed or the user has stopped it, and a late line must not switch it
    // back on.
    if (intervalMs > 0) f.Timer1->setInterval(intervalMs);
    if (!f.Timer1->Enabled()) return;
    if (intervalMs == 0 && heldTooLong()) return;
    f.Timer1->setEnabled(false);
    f.Timer1->setEnabled(true);
}

bool ResponseDispatcher::heldTooLong() {
    // Every received line lets the cycle wait for quiet again. A phone that
    // keeps talking (pages, notices, rings) must not hold the schedule off
    // for good: lines postpone the next tick for at most twice the longest
    // step of the regular pass in all; after that they no longer do until
    // it has come.
    const QDateTime now = f.platform().Now();
    if (f.Timer1->tickCount() != heldSinceTick_ || !heldSince_.isValid()) {
        heldSinceTick_ = f.Timer1->tickCount();
        heldSince_ = now;
        return false;
    }
    return heldSince_.msecsTo(now) > kLongestHoldMs;
}

std::string ResponseDispatcher::timeOfDay() const {
    return f.platform().Now().toString(QStringLiteral("hh:mm:ss")).toStdString();
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
    if (f.sms.smsSendPending != 1) {
        // While the phone books and the SMS list are read, the next read
        // follows as soon as the phone has answered.
        if (f.phone.pollStep > 8) restartCycle(1);
        return;
    }
    f.sms.smsSendPending = 0;
    f.Text1->setText(fromCp1252("SMS: " + line));
    f.Text1->show();
    f.SendPos->setChecked(false);
    f.Text1->setToolTip(QStringLiteral("SMS-Sendestatus"));
}

void ResponseDispatcher::finalError(const std::string& line) {
    if (f.sms.smsSendPending != 1) {
        // A failed command costs no waiting time.
        restartCycle(1);
        return;
    }
    f.sms.smsSendPending = 0;
    f.Text1->setText(fromCp1252("SMS:" + line));
    f.Text1->show();
    f.SendPos->setChecked(false);
    f.platform().Beep();
    f.Text1->setToolTip(QStringLiteral("SMS-Sendestatus"));
}

// ---- Star codes ----

void ResponseDispatcher::starCodeAnswer(const std::string& line) {
    const funkor::StarCodeAnswer answer = funkor::starCodeAnswer(line);
    switch (answer.kind) {
        case funkor::StarCodeAnswer::Ignored:
            break;
        case funkor::StarCodeAnswer::Done:
            f.phone.ussdPending = 0;
            break;
        case funkor::StarCodeAnswer::Text: {
            f.Text1->hide();
            f.Text2->show();
            // A network answer that never ends with "OK" cannot make the box
            // grow without bound: lines that no longer fit are dropped.
            const QString more = fromCp1252(answer.append);
            if (f.Text2->text().size() + more.size() <= funkor::kStarCodeTextLimit)
                f.Text2->setText(f.Text2->text() + more);
            break;
        }
    }
}

void ResponseDispatcher::ussdText(const std::string& line) {
    const auto text = funkor::ussdQuotedText(line);
    if (!text) return;
    f.Text3->show();
    f.Text3->setText(fromCp1252(*text));
    f.phone.ussdPending = 0;
}

// ---- Calls ----

void ResponseDispatcher::ring() {
    f.RingL->show();
    f.RingL->setText(shown(funkor::ringCaption(timeOfDay())));
}

void ResponseDispatcher::callerId(const std::string& line) {
    const auto clip = funkor::parseClip(line);
    if (!clip) return;
    // A withheld number is shown as the time alone and looked up nowhere;
    // the announcement runs either way.
    std::string name;
    if (!clip->number.empty()) {
        f.FindCallerName(clip->number);
        name = f.calls.callerName;
    }
    f.RingL->setText(shown(funkor::callerCaption(timeOfDay(), clip->number, name)));
    f.Timer3->setInterval(3000);
    f.Timer3->setEnabled(true);
}

// ---- Battery, link, signal, activity ----

void ResponseDispatcher::battery(const std::string& line) {
    const auto reading = funkor::parseCbc(line);
    if (!reading) return;
    phoneFound();
    if (reading->charge) {
        f.BattA->setValue(*reading->charge);
        f.BattA->setToolTip(fromCp1252(reading->tooltip));
    }
    f.BattE->setVisible(reading->onBattery);
    f.BattL->setVisible(!reading->onBattery);
}

void ResponseDispatcher::phoneFound() {
    // The found port is shown in the port list. This is no choice of the
    // user: the port-choice handler would close the port the cycle has just
    // found the phone on.
    if (f.phone.portNumber >= 0 && f.phone.portNumber <= 16 &&
        f.phone.portNumber < f.GSM->count()) {
        QSignalBlocker block(f.GSM);
        f.GSM->setCurrentIndex(f.phone.portNumber);
    }
    if (const auto option = funkor::baudOptionFromSettings(toCp1252(f.Comm1->Settings())))
        f.Baud[static_cast<std::size_t>(*option)]->setChecked(true);
    f.phone.phoneLinked = 1;
    f.GSM->setToolTip(QStringLiteral("Handy-Port"));
}

void ResponseDispatcher::signal(const std::string& line) {
    const auto reading = funkor::parseCsq(line);
    if (!reading) return;
    f.Level->setValue(reading->gaugeValue);
    f.Level->setToolTip(fromCp1252(reading->tooltip));
}

void ResponseDispatcher::activity(const std::string& line) {
    const auto ready = funkor::parseCpasReady(line);
    if (!ready) return;
    f.Image1->setVisible(!*ready);
}

// ---- Identity ----

void ResponseDispatcher::identityLine(const std::string& line) {
    funkor::DeviceIdentity id;
    id.manufacturerStep = f.phone.manufacturerStep;
    id.identityStep = f.phone.identityStep;
    id.manufacturer = f.phone.manufacturer;
    id.model = f.phone.model;
    id.homeNetwork = f.phone.homeNetwork;
    id.infoCaption = held(f.Info->text());
    id.infoTooltip = held(f.Info->toolTip());
    if (!funkor::takeIdentityLine(id, line)) {
        // The SIM card number alone, as SIM800 answers "AT+CCID".
        if (f.phone.iccidStep == 1 || f.phone.iccidStep == 2) simCardNumber(line);
        return;
    }
    f.phone.manufacturerStep = id.manufacturerStep;
    f.phone.identityStep = id.identityStep;
    f.phone.manufacturer = id.manufacturer;
    f.phone.model = id.model;
    f.phone.homeNetwork = id.homeNetwork;
    f.Info->setText(shown(id.infoCaption));
    f.Info->setToolTip(shown(id.infoTooltip));
}

void ResponseDispatcher::simCardNumber(const std::string& line) {
    funkor::DeviceIdentity id;
    id.infoTooltip = held(f.Info->toolTip());
    // Other makers' devices answer "AT+CCID" or "AT+ICCID"; the number is
    // appended as the Siemens "^SCID:" answer's is.
    if (const auto iccid = funkor::parseIccid(line)) {
        if (f.phone.iccidStep != 1 && f.phone.iccidStep != 2) return;
        f.phone.iccidStep = 3;
        if (!funkor::takeScid(id, "^SCID: " + *iccid)) return;
    } else if (!funkor::takeScid(id, line)) {
        return;
    }
    f.Info->setToolTip(shown(id.infoTooltip));
}
