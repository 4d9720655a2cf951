// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/phone/command_cycle.h"

#include <QSignalBlocker>
#include <QTime>
#include <algorithm>
#include <cmath>

#include "app/phone/phone_line.h"
#include "app/phone/timed_pause.h"
#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/fields.h"
#include "core/operators.h"

namespace fields = funkor::fields;
using funkor::kO2Germany;

namespace {

// How often a running WaitSeconds looks at the clock.
constexpr int kClockPollMs = 25;
constexpr double kSecondsPerDay = 86400;

// Clears the busy flag however the tick ends, also when its frame is dropped
// while paused.
struct BusyGuard {
    bool& flag;
    explicit BusyGuard(bool& f) : flag(f) { flag = true; }
    ~BusyGuard() { flag = false; }
};

// "2" is a digit; "i" at the end of a Siemens model name ("S45i") is not.
int modelNumber(std::string model) {
    if (!model.empty() && model.back() == 'i') model.pop_back();
    return fields::valInt(fields::right(model, 2));
}

}  // namespace

CommandCycle::WaitSecondsClock::WaitSecondsClock(Form1& form, double seconds)
    : f(form), start_(form.platform().Now()), ms_(std::llround(seconds * 1000)) {
    elapsed_.start();
}

bool CommandCycle::WaitSecondsClock::over() const {
    // The window's clock decides, so that a fixed clock in a test can end the
    // wait at once; real time bounds it should that clock jump backwards or
    // stand still.
    if (elapsed_.elapsed() >= ms_) return true;
    const qint64 passed = start_.msecsTo(f.platform().Now());
    return passed >= ms_;
}

CommandCycle::CommandCycle(Form1& form) : f(form) {}
CommandCycle::~CommandCycle() = default;

void CommandCycle::Timer1_Timer() {
    // A tick still paused in one of its waits keeps the cycle: this one is
    // skipped rather than interleaved with it.
    if (busy_) return;
    runTick();
}

double CommandCycle::timeOfDay() {
    return f.platform().Now().time().msecsSinceStartOfDay() / 1000.0;
}

void CommandCycle::registrationQueries() {
    // Location reports on and the serving cell asked, one domain a tick:
    // circuit-switched, packet, LTE. A query the device refused is not
    // asked again in this run. The step goes on until all are asked.
    PhoneLinkState& phone = f.phone;
    const auto next = [&phone](int from) {
        if (from <= 1 && phone.cgregRefused == 0) return 1;
        if (from <= 2 && phone.ceregRefused == 0) return 2;
        return 0;
    };
    const int query = phone.registrationStep;
    if (query == 1) {
        phone.registrationQuery = 'G';
        f.SendCommand("AT+CGREG=2;+CGREG?");
    } else if (query == 2) {
        phone.registrationQuery = 'E';
        f.SendCommand("AT+CEREG=2;+CEREG?");
    } else {
        f.SendCommand("AT+CREG=2;+CREG?");
    }
    phone.registrationStep = next(query + 1);
    if (phone.registrationStep != 0) phone.pollStep -= 1;
}

void CommandCycle::choosePortAndSettings() {
    PhoneLinkState& phone = f.phone;
    if (!phone.commandLine.empty()) {
        // "3" or "3,57600" from the program's command line.
        const long comma = fields::instr(phone.commandLine, ",");
        if (comma > 0) {
            phone.portNumber = fields::valInt(fields::left(phone.commandLine, comma - 1));
            f.Comm1->setSettings(fromCp1252(fields::mid(phone.commandLine, comma + 1) + ",n,8,1"));
        } else {
            phone.portNumber = fields::valInt(phone.commandLine);
        }
    } else if (f.GSM->currentText() == QLatin1String("Auto")) {
        // Each port is tried at 115200 baud, then at 19200 baud.
        phone.autoSearchToggle ^= 1;
        if (phone.autoSearchToggle == 1) {
            phone.portNumber += 1;
            if (phone.portNumber > 4) phone.portNumber = 1;
            f.Comm1->setSettings(QStringLiteral("115200,n,8,1"));
            f.GSM->setToolTip(QStringLiteral("COM %1").arg(phone.portNumber));
        } else {
            f.Comm1->setSettings(QStringLiteral("19200,n,8,1"));
        }
    } else {
        const QString choice = f.GSM->currentText();
        if (choice.startsWith(QLatin1String("COM")))
            phone.portNumber = fields::valInt(fields::mid(toCp1252(choice), 5));
        if (f.Baud[0]->isChecked())
            f.Comm1->setSettings(QStringLiteral("19200,n,8,1"));
        else if (f.Baud[1]->isChecked())
            f.Comm1->setSettings(QStringLiteral("57600,n,8,1"));
        else if (f.Baud[2]->isChecked())
            f.Comm1->setSettings(QStringLiteral("115200,n,8,1"));
    }
}

void CommandCycle::phoneLost() {
    PhoneLinkState& phone = f.phone;
    SmsState& sms = f.sms;
    CallState& calls = f.calls;
    phone.phoneLinked = 0;
    // Whatever answers were on their way are gone, and the phone found
    // again may be another one: the schedule starts over with its identity,
    // the SIM's zones, the phone books and the SMS list. Otherwise a book
    // read cut short would stay short and an SMS that came meanwhile (its
    // notice lost) would never be listed.
    phone.pollStep = 0;
    phone.homeZoneReadDone = 0;
    if (phone.ussdPending == 2) phone.ussdPending = 0;
    phone.ussdDone = 0;
    phone.operatorScanPending = 0;
    phone.iccidStep = 0;
    phone.registrationStep = 0;
    phone.registrationQuery = 0;
    phone.cgregRefused = 0;
    phone.ceregRefused = 0;
    f.network.registrationKnown = {};
    f.position.cbPending = 0;

    // The phone books are read anew; the list keeps its entries and its
    // choice until the read is through.
    calls.phoneBookRenew = 1;
    for (std::string& item : calls.phoneBookRenewed) item.clear();
    calls.phoneBookCount = 0;
    calls.phoneBookIndex = 0;
    calls.phoneBookSum = 0;
    calls.phoneBookUsed = 0;
    calls.phoneBookTotal = 0;
    calls.phoneBookReceived = 0;
    calls.pbMissCount = 0;
    calls.ownNumberPending = 0;
    // No call outlives its phone: its pause of the cycle ends, instead of
    // waiting for a hang-up nobody can give.
    if (calls.callActive) {
        calls.callActive = 0;
        f.Check1->setToolTip(QStringLiteral("Telefonbuch"));
    }

    for (std::string& entry : sms.smsCache) entry.clear();
    sms.smsListPending = 0;
    // A read whose answer was cut off is asked again.
    if (sms.smsReadState == 2 || sms.smsReadState == 3) sms.smsReadState = 1;
    // A sent PDU whose answer never came: the phone may or may not have sent
    // it. The next "OK" of another command must not report it as sent.
    if (sms.smsSendPending == 1) {
        sms.smsSendPending = 0;
        f.Text1->setText(
            QStringLiteral("SMS: Sendestatus unbekannt, Verbindung zum Handy unterbrochen"));
        f.Text1->show();
        f.SendPos->setChecked(false);
        f.Text1->setToolTip(QStringLiteral("SMS-Sendestatus"));
    }
}

void CommandCycle::renewPhoneBookList() {
    CallState& calls = f.calls;
    calls.phoneBookRenew = 0;
    QStringList items;
    for (int i = 1; i <= calls.phoneBookCount; ++i) {
        std::string& item = calls.phoneBookRenewed[static_cast<std::size_t>(i)];
        items << fromCp1252(item);
        item.clear();
    }
    QStringList listed;
    for (int i = 0; i < f.Combo1->count(); ++i) listed << f.Combo1->itemText(i);
    // The same phone again: the list and its choice stay as they are.
    if (items == listed) return;
    // Only the user chooses an entry (in the list, or before with
    // --recipient); the new list keeps that choice when it holds the entry,
    // and has none otherwise.
    const bool hadChoice = f.Combo1->currentIndex() >= 0;
    const QString chosen = hadChoice ? f.Combo1->currentText() : f.options().recipient;
    const int at = chosen.isEmpty() ? -1 : static_cast<int>(items.indexOf(chosen));
    {
        QSignalBlocker block(f.Combo1);
        f.Combo1->clear();
        f.Combo1->addItems(items);
        f.Combo1->setCurrentIndex(at);
    }
    // The entry named at start, found only now, is chosen as a pick would be.
    if (at >= 0 && !hadChoice) f.Combo1_Click();
}

bool CommandCycle::readNextPhoneBookEntry(int repeatStep) {
    CallState& calls = f.calls;
    if (calls.phoneBookReceived < calls.phoneBookUsed &&
        calls.phoneBookIndex < calls.phoneBookTotal) {
        calls.phoneBookIndex += 1;
        calls.phoneBookSum += calls.phoneBookIndex;
        f.SendCommand("AT+CPBR=" + std::to_string(calls.phoneBookIndex));
        f.phone.pollStep = repeatStep;
        return true;
    }
    return false;
}

bool CommandCycle::takeSmsRequest() {
    SmsState& sms = f.sms;
    if (sms.smsReadState == 1) {
        sms.smsReadState = 2;
        f.SendCommand("AT+CPMS=" + sms.smsStorage + ";+CMGR=" + sms.smsIndex);
        f.Timer1->setEnabled(true);
        return true;
    }
    if (sms.smsReadState == 4) {
        sms.smsReadState = 0;
        f.ShowReceivedSms();
        f.Timer1->setEnabled(true);
        return true;
    }
    if (sms.smsDeletePending == 1) {
        sms.smsDeletePending = 0;
        f.SendCommand("AT+CMGD=" + fields::trim(sms.smsIndex));
        // Only an index the cache has is emptied; the phone may hold more.
        const std::int32_t index = fields::valInt(sms.smsIndex);
        if (index >= 0 && index <= 50) sms.smsCache[static_cast<std::size_t>(index)].clear();
        return true;
    }
    return false;
}

Async CommandCycle::runTick() {
    BusyGuard guard(busy_);
    PhoneLinkState& phone = f.phone;

    // A port that closed under a linked phone (unplugged, or the far end of
    // the line went away) sends the cycle back to searching, so that it picks
    // the phone up again once it is back; a call under way ends with it.
    if (phone.phoneLinked && !f.Comm1->PortOpen()) phoneLost();

    if (f.calls.callActive) co_return;

    if (phone.phoneLinked == 0) {
        choosePortAndSettings();
        if (f.Comm1->PortOpen()) f.Comm1->setPortOpen(false);
        f.Comm1->setCommPort(phone.portNumber);
        // A port that is missing or busy stays closed; the next tick tries
        // again.
        f.Comm1->setPortOpen(true);
        for (WaitSecondsClock w(f, 2); !w.over();) co_await waitMs(&waitOwner_, kClockPollMs);
        // The battery answer marks the phone as found (phoneLinked); a
        // device without a battery is found by its final answer.
        phone.linkProbePending = 1;
        f.SendCommand("AT+CBC");
        for (WaitSecondsClock w(f, 1); !w.over();) co_await waitMs(&waitOwner_, kClockPollMs);
        // The next attempt or step counts its interval from now. A cycle that
        // was switched off during the waits (the port list taken up, Active
        // unticked, the trace's stop button) stays off.
        if (f.Timer1->Enabled()) {
            f.Timer1->setEnabled(false);
            f.Timer1->setEnabled(true);
        }
        co_return;
    }

    if (takeSmsRequest()) co_return;

    if (f.phoneLine->traceVisible())
        f.phoneLine->addTrace(QStringLiteral("#%1").arg(phone.pollStep), false);

    SmsState& sms = f.sms;
    CallState& calls = f.calls;
    const bool onO2 = f.network.operatorCode == kO2Germany;
    // Another maker's device knows only the standard commands: a line with
    // one it does not know ("^SCID") is refused whole.
    const bool otherMaker = !phone.manufacturer.empty() && phone.manufacturer != "SIEMENS";
    double factor = 1;
    switch (phone.pollStep) {
        case 0:
            factor = 0.8;
            phone.manufacturerStep = 1;
            f.SendCommand("AT+CGMI;+CGMM;+CGMR");
            break;
        case 1:
            factor = 0.5;
            phone.identityStep = 1;
            f.SendCommand(otherMaker ? "AT+CGSN;+CIMI" : "AT+CGSN;+CIMI;^SCID");
            break;
        case 2:
            if (otherMaker && phone.iccidStep < 2) {
                // The SIM card number, through whichever command the device
                // answers; the step goes on at the next tick.
                factor = 0.5;
                phone.identityStep = 3;
                phone.iccidStep += 1;
                f.SendCommand(phone.iccidStep == 1 ? "AT+CCID" : "AT+ICCID");
                phone.pollStep -= 1;
                break;
            }
            if (otherMaker) phone.iccidStep = 3;
            factor = 0.2;
            phone.identityStep = 3;
            f.SendCommand("AT+CLIP=1;+CNMI=1,1,2");
            break;
        case 3:
            // The operator in numeric form, then back to the long name.
            factor = 2.5;
            f.SendCommand("AT+COPS=3,2;+COPS?;+COPS=3,0");
            break;
        case 4: {
            factor = 0.8;
            if (onO2 && phone.homeZoneReadDone == 0) {
                phone.homeZoneReadDone = 1;
                // 123 bytes of the SIM's zone file 6F60.
                f.SendCommand("AT+CRSM=176,28512,0,0,123");
            }
            if (!sms.pduPending.empty()) {
                // Announce the length in octets without the service-centre
                // octet, give the phone time for its prompt, then the PDU
                // ended by Ctrl-Z.
                const std::string pdu = sms.pduPending;
                const std::size_t octets = pdu.size() / 2;
                const std::size_t announced = octets > 0 ? octets - 1 : 0;
                if (!f.Comm1->Output(bytesOf("at+cmgs=" + std::to_string(announced) + '\r'))) break;
                for (TimedPause p(200); !p.over();) co_await waitMs(&waitOwner_, p.left());
                // A PDU the port did not take (closed meanwhile) stays queued
                // for the next pass; marking it as sent would let the next
                // "OK" of any command report it as delivered.
                if (!f.Comm1->Output(bytesOf(pdu + '\x1A'))) break;
                factor = 5;
                // A PDU queued during the pause waits for the next pass.
                if (sms.pduPending == pdu) sms.pduPending.clear();
                sms.smsSendPending = 1;
            }
            break;
        }
        case 5:
            factor = 5;
            f.SendCommand("AT+COPS?;+CSQ;+CBC");
            // The operator answer arrives during the pause.
            for (TimedPause p(1000); !p.over();) co_await waitMs(&waitOwner_, p.left());
            if (f.network.operatorCode == kO2Germany && phone.ussdDone == 0) {
                f.SendCommand("ATD*122#;");
                phone.ussdPending = 2;
                phone.ussdDone = 1;
            }
            break;
        case 6:
            factor = 0.8;
            if (phone.manufacturer == "SIEMENS" && modelNumber(phone.model) > 35) {
                f.SendCommand("AT+CREG=2;+CREG?;+CPAS");
                for (TimedPause p(200); !p.over();) co_await waitMs(&waitOwner_, p.left());
                f.Comm1->Output(QByteArrayLiteral("at^sstk=11,0\r"));
                for (TimedPause p(200); !p.over();) co_await waitMs(&waitOwner_, p.left());
                // SIM toolkit: provide local information, qualifier 05 (the
                // timing advance), ended by Ctrl-Z and Esc.
                f.Comm1->Output(QByteArrayLiteral("D009810301260582028182\x1A\x1B"));
            } else if (otherMaker) {
                registrationQueries();
            } else {
                f.SendCommand("AT+CREG?");
            }
            break;
        case 7:
            factor = 1;
            if (onO2) f.SendCommand("AT+CSCB=1,\"\",\"\"");
            break;
        case 8: {
            factor = 2;
            // Once any phone-book entry was asked for, the books are not
            // read again: the schedule goes on at step 3.
            if (calls.phoneBookSum != 0) phone.pollStep = 2;
            const double now = timeOfDay();
            double since = now - phone.lastOperatorScanTime;
            // The time of day starts again at midnight.
            if (since < 0) since += kSecondsPerDay;
            // The first scan is due at once, whatever the time of day: a
            // start shortly after midnight must not wait five minutes.
            if (phone.lastOperatorScanTime < 0 || since > kOperatorScanPeriod) {
                phone.lastOperatorScanTime = now;
                phone.operatorScanPending = 1;
                f.SendCommand("AT+COPS=?");
                factor = 60;
            }
            if (f.Text1->text().startsWith(QLatin1String("SMS:"))) {
                f.Text1->setText(QString());
                f.Text1->hide();
                f.Text2->hide();
            }
            break;
        }
        case 9:
            factor = 1;
            f.SendCommand("AT+CPBS=\"SM\";+CPBS?");
            break;
        case 10:
            factor = 0.2;
            readNextPhoneBookEntry(9);
            break;
        case 11:
            factor = 1;
            calls.phoneBookIndex = 0;
            calls.phoneBookReceived = 0;
            // The empty positions at the end of the last book count nothing
            // against this one.
            calls.pbMissCount = 0;
            f.SendCommand("AT+CPBS=\"FD\";+CPBS?");
            break;
        case 12:
            factor = 0.1;
            readNextPhoneBookEntry(11);
            break;
        case 13:
            factor = 1;
            calls.phoneBookIndex = 0;
            calls.phoneBookReceived = 0;
            calls.pbMissCount = 0;
            calls.ownNumberPending = 1;
            f.SendCommand("AT+CPBS=\"ON\";+CPBS?");
            break;
        case 14:
            factor = 0.1;
            if (!readNextPhoneBookEntry(13)) {
                factor = 1;
                if (calls.phoneBookRenew == 1) renewPhoneBookList();
                if (calls.phoneBookSum > 0) f.Check1->show();
            }
            break;
        case 15:
            factor = 2;
            phone.pollStep = 2;
            f.SendCommand("AT+CMGL=0;+CMGL=1");
            break;
        default:
            // Not a step of the schedule: go on with the regular pass.
            phone.pollStep = 2;
            break;
    }
    phone.pollStep += 1;
    int intervalMs = static_cast<int>(std::lround(1000 * factor));
    // A port that broke during the step: the search follows soon.
    if (!f.Comm1->PortOpen()) intervalMs = std::min(intervalMs, kSearchAfterLossMs);
    f.Timer1->setInterval(intervalMs);
}

void CommandCycle::portBroken() {
    if (f.Timer1->Enabled() && f.Timer1->Interval() > kSearchAfterLossMs)
        f.Timer1->setInterval(kSearchAfterLossMs);
}
