// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/phone/command_cycle.h"

#include <QComboBox>
#include <QRadioButton>
#include <QTime>
#include <algorithm>
#include <cmath>

#include "app/base/elements.h"
#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/phone/phone_line.h"
#include "app/phone/timed_pause.h"
#include "app/sms/phone_calls.h"
#include "app/sms/sms_reception.h"
#include "app/sms/sms_sending.h"
#include "core/at_sms.h"
#include "core/fields.h"
#include "core/operators.h"

namespace fields = funkor::fields;
using funkor::kO2Germany;

namespace {

// A tick ends with the step after its own: a step that sends the schedule
// back to the regular pass leaves this one before its first step.
constexpr PollStep kBeforeRegularPass = funkor::previousStep(PollStep::Operator);

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

CommandCycle::WaitSecondsClock::WaitSecondsClock(Platform& platform, double seconds)
    : platform_(platform), start_(platform.Now()), ms_(std::llround(seconds * 1000)) {
    elapsed_.start();
}

bool CommandCycle::WaitSecondsClock::over() const {
    // The window's clock decides, so that a fixed clock in a test can end the
    // wait at once; real time bounds it should that clock jump backwards or
    // stand still.
    if (elapsed_.elapsed() >= ms_) return true;
    const qint64 passed = start_.msecsTo(platform_.Now());
    return passed >= ms_;
}

CommandCycle::CommandCycle(const Elements& e, const State& state, Platform& platform,
                           const Topics& topics, std::function<std::string()> cellRead)
    : Timer1_(e.Timer1),
      GSM_(e.GSM),
      Baud_(e.Baud),
      phone_(state.phone),
      network_(state.network),
      position_(state.position),
      sms_(state.sms),
      calls_(state.calls),
      platform_(platform),
      phoneLine_(topics.phoneLine),
      smsSending_(topics.smsSending),
      smsReception_(topics.smsReception),
      phoneCalls_(topics.phoneCalls),
      cellRead_(std::move(cellRead)) {}
CommandCycle::~CommandCycle() = default;

bool CommandCycle::running() const {
    return Timer1_->Enabled();
}

void CommandCycle::start() {
    Timer1_->setEnabled(true);
}

void CommandCycle::stop() {
    Timer1_->setEnabled(false);
}

void CommandCycle::setRunning(bool on) {
    if (on)
        start();
    else
        stop();
}

void CommandCycle::restartIfRunning(int intervalMs) {
    // Only a running cycle is restarted: the cycle is off while the port is
    // closed or the user has stopped it, and a late line or a wait that
    // ends must not switch it back on.
    if (intervalMs > 0) Timer1_->setInterval(intervalMs);
    if (!Timer1_->Enabled()) return;
    Timer1_->setEnabled(false);
    Timer1_->setEnabled(true);
}

void CommandCycle::waitForQuiet() {
    if (!Timer1_->Enabled()) return;
    // Every received line lets the cycle wait for quiet again. A phone that
    // keeps talking (pages, notices, rings) must not hold the schedule off
    // for good: lines postpone the next tick for at most twice the longest
    // step of the regular pass in all; after that they no longer do until
    // it has come.
    const QDateTime now = platform_.Now();
    if (Timer1_->tickCount() != heldSinceTick_ || !heldSince_.isValid()) {
        heldSinceTick_ = Timer1_->tickCount();
        heldSince_ = now;
    } else if (heldSince_.msecsTo(now) > kLongestHoldMs) {
        return;
    }
    restartIfRunning();
}

void CommandCycle::Timer1_Timer() {
    // A tick still paused in one of its waits keeps the cycle: this one is
    // skipped rather than interleaved with it.
    if (busy_) return;
    runTick();
}

double CommandCycle::timeOfDay() {
    return platform_.Now().time().msecsSinceStartOfDay() / 1000.0;
}

void CommandCycle::registrationQueries() {
    // Location reports on and the serving cell asked, one domain a tick:
    // circuit-switched, packet, LTE, 5G. A query the device refused is not
    // asked again in this run. The step goes on until all are asked.
    PhoneLinkState& phone = phone_;
    const auto next = [&phone](int from) {
        if (from <= 1 && !phone.cgregRefused) return 1;
        if (from <= 2 && !phone.ceregRefused) return 2;
        if (from <= 3 && !phone.c5gregRefused) return 3;
        return 0;
    };
    const int query = phone.registrationStep;
    if (query == 1) {
        phone.registrationQuery = RegistrationQuery::Gprs;
        phoneLine_.SendCommand("AT+CGREG=2;+CGREG?");
    } else if (query == 2) {
        phone.registrationQuery = RegistrationQuery::Eps;
        phoneLine_.SendCommand("AT+CEREG=2;+CEREG?");
    } else if (query == 3) {
        phone.registrationQuery = RegistrationQuery::Fivegs;
        phoneLine_.SendCommand("AT+C5GREG=2;+C5GREG?");
    } else {
        phoneLine_.SendCommand("AT+CREG=2;+CREG?");
    }
    phone.registrationStep = next(query + 1);
    if (phone.registrationStep != 0) phone.pollStep = funkor::previousStep(phone.pollStep);
}

void CommandCycle::choosePortAndSettings() {
    PhoneLinkState& phone = phone_;
    if (!phone.commandLine.empty()) {
        // "3" or "3,57600" from the program's command line.
        const long comma = fields::instr(phone.commandLine, ",");
        if (comma > 0) {
            phone.portNumber = fields::valInt(fields::left(phone.commandLine, comma - 1));
            phoneLine_.setLineSettings(
                fromCp1252(fields::mid(phone.commandLine, comma + 1) + ",n,8,1"));
        } else {
            phone.portNumber = fields::valInt(phone.commandLine);
        }
    } else if (GSM_->currentText() == QLatin1String("Auto")) {
        // Each port is tried at 115200 baud, then at 19200 baud.
        phone.autoSearchToggle = !phone.autoSearchToggle;
        if (phone.autoSearchToggle) {
            phone.portNumber += 1;
            if (phone.portNumber > 4) phone.portNumber = 1;
            phoneLine_.setLineSettings(QStringLiteral("115200,n,8,1"));
            GSM_->setToolTip(QStringLiteral("COM %1").arg(phone.portNumber));
        } else {
            phoneLine_.setLineSettings(QStringLiteral("19200,n,8,1"));
        }
    } else {
        const QString choice = GSM_->currentText();
        if (choice.startsWith(QLatin1String("COM")))
            phone.portNumber = fields::valInt(fields::mid(toCp1252(choice), 5));
        if (Baud_[0]->isChecked())
            phoneLine_.setLineSettings(QStringLiteral("19200,n,8,1"));
        else if (Baud_[1]->isChecked())
            phoneLine_.setLineSettings(QStringLiteral("57600,n,8,1"));
        else if (Baud_[2]->isChecked())
            phoneLine_.setLineSettings(QStringLiteral("115200,n,8,1"));
    }
}

void CommandCycle::phoneLost() {
    PhoneLinkState& phone = phone_;
    SmsState& sms = sms_;
    CallState& calls = calls_;
    phone.phoneLinked = false;
    // Whatever answers were on their way are gone, and the phone found
    // again may be another one: the schedule starts over with its identity,
    // the SIM's zones, the phone books and the SMS list. Otherwise a book
    // read cut short would stay short and an SMS that came meanwhile (its
    // notice lost) would never be listed.
    phone.pollStep = PollStep::Manufacturer;
    phone.identityWaits = 0;
    phone.simProblem.clear();
    phone.homeZoneReadDone = false;
    if (phone.ussdPending == UssdPending::BalanceRequest) phone.ussdPending = UssdPending::None;
    phone.ussdDone = false;
    phone.operatorScanPending = false;
    phone.iccidStep = IccidStep::NotAsked;
    phone.registrationStep = 0;
    phone.registrationQuery = RegistrationQuery::None;
    phone.cgregRefused = false;
    phone.ceregRefused = false;
    phone.c5gregRefused = false;
    phone.cbcRefused = false;
    network_.registrationKnown = {};
    network_.cellDomain = -1;
    network_.onNetwork = false;
    network_.registrationJudged = false;
    position_.cbPending = false;

    // The phone books are read anew; the list keeps its entries and its
    // choice until the read is through.
    calls.phoneBookRenew = true;
    for (std::string& item : calls.phoneBookRenewed) item.clear();
    calls.phoneBookCount = 0;
    calls.phoneBookIndex = 0;
    calls.phoneBookSum = 0;
    calls.phoneBookUsed = 0;
    calls.phoneBookTotal = 0;
    calls.phoneBookReceived = 0;
    calls.pbMissCount = 0;
    calls.ownNumberPending = false;
    phoneCalls_.phoneGone();

    for (std::string& entry : sms.smsCache) entry.clear();
    sms.smsListPending = false;
    // A read whose answer was cut off is asked again.
    if (sms.smsReadState == SmsRead::Sent || sms.smsReadState == SmsRead::Header)
        sms.smsReadState = SmsRead::Requested;
    // A sent PDU whose answer never came: the phone may or may not have sent
    // it. The next "OK" of another command must not report it as sent.
    if (sms.smsSendPending) {
        sms.smsSendPending = false;
        smsSending_.sendStatusArrived(
            QStringLiteral("SMS: Sendestatus unbekannt, Verbindung zum Handy unterbrochen"), false);
    }
}

void CommandCycle::renewPhoneBookList() {
    calls_.phoneBookRenew = false;
    QStringList items;
    for (int i = 1; i <= calls_.phoneBookCount; ++i) {
        std::string& item = calls_.phoneBookRenewed[static_cast<std::size_t>(i)];
        items << fromCp1252(item);
        item.clear();
    }
    smsSending_.replaceEntries(items);
}

void CommandCycle::choosePhoneBook(const char* command) {
    calls_.phoneBookIndex = 0;
    calls_.phoneBookReceived = 0;
    // The empty positions at the end of the last book count nothing
    // against this one.
    calls_.pbMissCount = 0;
    phoneLine_.SendCommand(command);
}

bool CommandCycle::readNextPhoneBookEntry() {
    CallState& calls = calls_;
    if (calls.phoneBookReceived < calls.phoneBookUsed &&
        calls.phoneBookIndex < calls.phoneBookTotal) {
        calls.phoneBookIndex += 1;
        calls.phoneBookSum += calls.phoneBookIndex;
        phoneLine_.SendCommand("AT+CPBR=" + std::to_string(calls.phoneBookIndex));
        phone_.pollStep = funkor::previousStep(phone_.pollStep);
        return true;
    }
    return false;
}

bool CommandCycle::takeSmsRequest() {
    SmsState& sms = sms_;
    // A notice that came while the last message was read is taken once that
    // message is shown and a delete of it has gone out.
    if (sms.smsReadState == SmsRead::Idle && !sms.smsDeletePending &&
        !sms.smsNoticesWaiting.empty()) {
        const std::string line = sms.smsNoticesWaiting.front();
        sms.smsNoticesWaiting.erase(sms.smsNoticesWaiting.begin());
        if (const auto notice = funkor::parseCmti(line)) {
            sms.smsReadState = SmsRead::Requested;
            sms.smsIndex = notice->index;
            sms.smsStorage = notice->storage;
        }
    }
    if (sms.smsReadState == SmsRead::Requested) {
        sms.smsReadState = SmsRead::Sent;
        phoneLine_.SendCommand("AT+CPMS=" + sms.smsStorage + ";+CMGR=" + sms.smsIndex);
        Timer1_->setEnabled(true);
        return true;
    }
    if (sms.smsReadState == SmsRead::PduIn) {
        sms.smsReadState = SmsRead::Idle;
        smsReception_.ShowReceivedSms();
        Timer1_->setEnabled(true);
        return true;
    }
    if (sms.smsDeletePending) {
        sms.smsDeletePending = false;
        phoneLine_.SendCommand("AT+CMGD=" + fields::trim(sms.smsIndex));
        // Only an index the cache has is emptied; the phone may hold more.
        const std::int32_t index = fields::valInt(sms.smsIndex);
        if (index >= 0 && index <= 50) sms.smsCache[static_cast<std::size_t>(index)].clear();
        return true;
    }
    return false;
}

double CommandCycle::noticesStep(bool otherMaker) {
    PhoneLinkState& phone = phone_;
    phone.identityStep = 3;
    if (otherMaker && phone.iccidStep < IccidStep::AskedIccid) {
        // The SIM card number, through whichever command the device
        // answers; the step goes on at the next tick.
        phone.iccidStep =
            phone.iccidStep == IccidStep::NotAsked ? IccidStep::AskedCcid : IccidStep::AskedIccid;
        phoneLine_.SendCommand(phone.iccidStep == IccidStep::AskedCcid ? "AT+CCID" : "AT+ICCID");
        phone.pollStep = funkor::previousStep(phone.pollStep);
        return 0.5;
    }
    if (otherMaker) phone.iccidStep = IccidStep::Done;
    phoneLine_.SendCommand("AT+CLIP=1;+CNMI=1,1,2");
    return 0.2;
}

double CommandCycle::operatorScanStep() {
    PhoneLinkState& phone = phone_;
    double factor = 2;
    // Once any phone-book entry was asked for, the books are not read
    // again: the schedule goes on at step 3.
    if (calls_.phoneBookSum != 0) phone.pollStep = kBeforeRegularPass;
    const double now = timeOfDay();
    double since = now - phone.lastOperatorScanTime;
    // The time of day starts again at midnight.
    if (since < 0) since += kSecondsPerDay;
    // The first scan is due at once, whatever the time of day: a start
    // shortly after midnight must not wait five minutes.
    if (phone.lastOperatorScanTime < 0 || since > kOperatorScanPeriod) {
        phone.lastOperatorScanTime = now;
        phone.operatorScanPending = true;
        phoneLine_.SendCommand("AT+COPS=?");
        factor = 60;
    }
    smsReception_.clearSendStatus();
    return factor;
}

// The phone books, one entry a tick: the SIM's, the fixed-dialling numbers,
// the own numbers.
double CommandCycle::phoneBookStep(PollStep step) {
    CallState& calls = calls_;
    switch (step) {
        case PollStep::SimBook:
            phoneLine_.SendCommand("AT+CPBS=\"SM\";+CPBS?");
            return 1;
        case PollStep::SimBookEntry:
            readNextPhoneBookEntry();
            return 0.2;
        case PollStep::FixedBook:
            choosePhoneBook("AT+CPBS=\"FD\";+CPBS?");
            return 1;
        case PollStep::FixedBookEntry:
            readNextPhoneBookEntry();
            return 0.1;
        case PollStep::OwnNumbers:
            calls.ownNumberPending = true;
            choosePhoneBook("AT+CPBS=\"ON\";+CPBS?");
            return 1;
        default:  // PollStep::OwnNumberEntry
            if (readNextPhoneBookEntry()) return 0.1;
            if (calls.phoneBookRenew) renewPhoneBookList();
            if (calls.phoneBookSum > 0) phoneCalls_.showPhoneBookSwitch();
            return 1;
    }
}

Async CommandCycle::runTick() {
    BusyGuard guard(busy_);
    PhoneLinkState& phone = phone_;
    if (otherLink_ && otherLink_()) co_return;

    // A port that closed under a linked phone (unplugged, or the far end of
    // the line went away) sends the cycle back to searching, so that it picks
    // the phone up again once it is back; a call under way ends with it.
    if (phone.phoneLinked && !phoneLine_.portOpen()) phoneLost();

    if (calls_.callActive) co_return;

    if (!phone.phoneLinked) {
        choosePortAndSettings();
        // A port that is missing or busy stays closed; the next tick tries
        // again.
        phoneLine_.reopenPort(phone.portNumber);
        for (WaitSecondsClock w(platform_, 2); !w.over();)
            co_await waitMs(&waitOwner_, kClockPollMs);
        // The battery answer marks the phone as found (phoneLinked); a
        // device without a battery is found by its final answer.
        phone.linkProbePending = true;
        phoneLine_.SendCommand("AT+CBC");
        for (WaitSecondsClock w(platform_, 1); !w.over();)
            co_await waitMs(&waitOwner_, kClockPollMs);
        // The next attempt or step counts its interval from now. A cycle that
        // was switched off during the waits (the port list taken up, Active
        // unticked, the trace's stop button) stays off.
        restartIfRunning();
        co_return;
    }

    if (takeSmsRequest()) co_return;

    // Without a usable SIM (none, or its PIN not entered) there is no
    // network to poll: the cycle asks only whether the SIM is ready, and
    // goes on with its step once it is.
    if (!phone.simProblem.empty() && phone.pollStep >= PollStep::Operator) {
        phoneLine_.SendCommand("AT+CPIN?");
        Timer1_->setInterval(5000);
        co_return;
    }

    // With a cell database, the cells heard are read between the steps of
    // the regular pass, every few seconds; the step waits for the next tick.
    if (cellRead_ && phone.pollStep >= PollStep::Operator &&
        !funkor::readsBooksOrList(phone.pollStep)) {
        if (const std::string line = cellRead_(); !line.empty()) {
            phoneLine_.SendCommand(line);
            Timer1_->setInterval(800);
            co_return;
        }
    }

    if (phoneLine_.traceVisible())
        phoneLine_.addTrace(QStringLiteral("#%1").arg(static_cast<int>(phone.pollStep)), false);

    SmsState& sms = sms_;
    const bool onO2 = network_.operatorCode == kO2Germany;
    // Another maker's device knows only the standard commands: a line with
    // one it does not know ("^SCID") is refused whole.
    const bool otherMaker = !phone.manufacturer.empty() && phone.manufacturer != "SIEMENS";
    double factor = 1;
    switch (phone.pollStep) {
        case PollStep::Manufacturer:
            factor = 0.8;
            phone.manufacturerStep = 1;
            phoneLine_.SendCommand("AT+CGMI;+CGMM;+CGMR");
            break;
        case PollStep::Identity:
            factor = 0.5;
            // Which identity line the device knows depends on its maker: a
            // slow device's maker lines are waited for, three ticks at most.
            if (phone.manufacturerStep < 4 && phone.identityWaits < 3) {
                phone.identityWaits += 1;
                phone.pollStep = funkor::previousStep(phone.pollStep);
                break;
            }
            phone.identityStep = 1;
            phoneLine_.SendCommand(otherMaker ? "AT+CGSN;+CIMI" : "AT+CGSN;+CIMI;^SCID");
            break;
        case PollStep::Notices:
            factor = noticesStep(otherMaker);
            break;
        case PollStep::Operator:
            // The operator in numeric form, then back to the long name.
            factor = 2.5;
            phoneLine_.SendCommand("AT+COPS=3,2;+COPS?;+COPS=3,0");
            break;
        case PollStep::ZonesAndSending: {
            factor = 0.8;
            if (onO2 && !phone.homeZoneReadDone) {
                phone.homeZoneReadDone = true;
                // 123 bytes of the SIM's zone file 6F60.
                phoneLine_.SendCommand("AT+CRSM=176,28512,0,0,123");
            }
            if (!sms.pduPending.empty()) {
                // Announce the length in octets without the service-centre
                // octet, give the phone time for its prompt, then the PDU
                // ended by Ctrl-Z.
                const std::string pdu = sms.pduPending;
                const std::size_t octets = pdu.size() / 2;
                const std::size_t announced = octets > 0 ? octets - 1 : 0;
                if (!phoneLine_.writeRaw(bytesOf("at+cmgs=" + std::to_string(announced) + '\r')))
                    break;
                for (TimedPause p(200); !p.over();) co_await waitMs(&waitOwner_, p.left());
                // A PDU the port did not take (closed meanwhile) stays queued
                // for the next pass; marking it as sent would let the next
                // "OK" of any command report it as delivered.
                if (!phoneLine_.writeRaw(bytesOf(pdu + '\x1A'))) break;
                factor = 5;
                // A PDU queued during the pause waits for the next pass.
                if (sms.pduPending == pdu) sms.pduPending.clear();
                sms.smsSendPending = true;
            }
            break;
        }
        case PollStep::Status:
            factor = 5;
            // A device without a battery refuses the whole line for "+CBC".
            phoneLine_.SendCommand(otherMaker && phone.cbcRefused ? "AT+COPS?;+CSQ"
                                                                  : "AT+COPS?;+CSQ;+CBC");
            // The operator answer arrives during the pause.
            for (TimedPause p(1000); !p.over();) co_await waitMs(&waitOwner_, p.left());
            if (network_.operatorCode == kO2Germany && !phone.ussdDone) {
                phoneLine_.SendCommand("ATD*122#;");
                phone.ussdPending = UssdPending::BalanceRequest;
                phone.ussdDone = true;
            }
            break;
        case PollStep::Registration:
            factor = 0.8;
            if (phone.manufacturer == "SIEMENS" && modelNumber(phone.model) > 35) {
                phoneLine_.SendCommand("AT+CREG=2;+CREG?;+CPAS");
                for (TimedPause p(200); !p.over();) co_await waitMs(&waitOwner_, p.left());
                phoneLine_.writeRaw(QByteArrayLiteral("at^sstk=11,0\r"));
                for (TimedPause p(200); !p.over();) co_await waitMs(&waitOwner_, p.left());
                // SIM toolkit: provide local information, qualifier 05 (the
                // timing advance), ended by Ctrl-Z and Esc.
                phoneLine_.writeRaw(QByteArrayLiteral("D009810301260582028182\x1A\x1B"));
            } else if (otherMaker) {
                registrationQueries();
            } else {
                phoneLine_.SendCommand("AT+CREG?");
            }
            break;
        case PollStep::Broadcast:
            factor = 1;
            if (onO2) phoneLine_.SendCommand("AT+CSCB=1,\"\",\"\"");
            break;
        case PollStep::OperatorScan:
            factor = operatorScanStep();
            break;
        case PollStep::SimBook:
        case PollStep::SimBookEntry:
        case PollStep::FixedBook:
        case PollStep::FixedBookEntry:
        case PollStep::OwnNumbers:
        case PollStep::OwnNumberEntry:
            factor = phoneBookStep(phone.pollStep);
            break;
        case PollStep::SmsList:
            factor = 2;
            phone.pollStep = kBeforeRegularPass;
            phoneLine_.SendCommand("AT+CMGL=0;+CMGL=1");
            break;
        default:
            // Not a step of the schedule: go on with the regular pass.
            phone.pollStep = kBeforeRegularPass;
            break;
    }
    phone.pollStep = funkor::nextStep(phone.pollStep);
    int intervalMs = static_cast<int>(std::lround(1000 * factor));
    // A port that broke during the step: the search follows soon.
    if (!phoneLine_.portOpen()) intervalMs = std::min(intervalMs, kSearchAfterLossMs);
    Timer1_->setInterval(intervalMs);
}

void CommandCycle::portBroken() {
    if (Timer1_->Enabled() && Timer1_->Interval() > kSearchAfterLossMs)
        Timer1_->setInterval(kSearchAfterLossMs);
}
