// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalBlocker>
#include <functional>

#include "tests/window/dispatcher_test_support.h"
#include "tests/window/manual_timers.h"

namespace {

TEST(DispatcherSignal, GaugeAndTooltipFollowTheLevel) {
    const struct {
        const char* line;
        int gauge;
        const char* tooltip;
    } cases[] = {
        {"+CSQ: 7,99", 7, "Pegel: 28%"},         // comma at position 8: one digit
        {"+CSQ: 20,99", 20, "Pegel: 67%"},       // comma at position 9: two digits
        {"+CSQ: 31,0", 31, "Pegel: 100%"},       // strongest level
        {"+CSQ: 99,99", 0, "Pegel: unbekannt"},  // not detectable
        {"+CSQ: 0,99", 0, "Pegel: 7%"},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        fx.f.Level->setValue(12);
        fx.feed(c.line);
        EXPECT_EQ(fx.f.Level->value(), c.gauge) << c.line;
        EXPECT_EQ(fx.text(fx.f.Level->toolTip()), c.tooltip) << c.line;
    }
}

TEST(DispatcherBattery, ChargeStatusAndTheFoundPort) {
    const struct {
        const char* line;
        int gauge;  // 42 was shown before
        const char* tooltip;
        bool dischargingShown;
    } cases[] = {
        {"+CBC: 1,100", 100, "Batterie: 100%", false},
        {"+CBC: 0,80", 80, "Batterie: 80%", true},
        {"+CBC: 0,255", 42, "Batterie", true},  // unknown charge: gauge kept
        {"+CBC: 2,5", 5, "Batterie: 5%", false},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        f.BattA->setValue(42);
        f.phone.portNumber = 3;
        f.Comm1->setSettings(QStringLiteral("57600,n,8,1"));
        ASSERT_FALSE(f.cGSM->isEnabled());  // "STOP" chosen at start
        fx.feed(c.line);
        EXPECT_EQ(f.BattA->value(), c.gauge) << c.line;
        EXPECT_EQ(fx.text(f.BattA->toolTip()), c.tooltip) << c.line;
        EXPECT_EQ(fx.shown(f.BattE), c.dischargingShown) << c.line;
        EXPECT_EQ(fx.shown(f.BattL), !c.dischargingShown) << c.line;
        // The phone is found on COM 3 at 57600 baud; the port choice's own
        // handler did not run (it would enable cGSM and unlink the phone).
        EXPECT_EQ(f.GSM->currentText(), QStringLiteral("COM 3")) << c.line;
        EXPECT_TRUE(f.Baud[1]->isChecked()) << c.line;
        EXPECT_EQ(f.phone.phoneLinked, 1) << c.line;
        EXPECT_EQ(f.GSM->toolTip(), QStringLiteral("Handy-Port")) << c.line;
        EXPECT_FALSE(f.cGSM->isEnabled()) << c.line;
    }
}

TEST(DispatcherActivity, SendingImageShownUnlessThePhoneIsReady) {
    DispatcherFixture fx;
    fx.feed("+CPAS: 3");
    EXPECT_TRUE(fx.shown(fx.f.Image1));
    fx.feed("+CPAS: 0");
    EXPECT_FALSE(fx.shown(fx.f.Image1));
    fx.feed("+CPAS: 4");
    EXPECT_TRUE(fx.shown(fx.f.Image1));
}

TEST(DispatcherIdentity, ThreePlainLinesGiveMakerModelAndRevision) {
    DispatcherFixture fx;
    fx.f.phone.manufacturerStep = 1;
    fx.feed({"A", "B", "C"});
    EXPECT_EQ(fx.f.Info->text(), QStringLiteral("A\nB"));
    EXPECT_EQ(fx.f.Info->toolTip(), QStringLiteral("SW:C"));
    EXPECT_EQ(fx.f.phone.manufacturer, "A");
    EXPECT_EQ(fx.f.phone.model, "B");
    EXPECT_EQ(fx.f.phone.manufacturerStep, 4);
}

TEST(DispatcherIdentity, TheWholeIdentityDialogue) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    f.phone.manufacturerStep = 1;
    // Echoes contain "+" and are never taken; the final OK ends its line.
    fx.feed({"AT+CGMI;+CGMM;+CGMR", "SIEMENS", "S45i", "21", "OK"});
    f.phone.identityStep = 1;
    fx.feed({"AT+CGSN;+CIMI;^SCID", "350123456789012", "262071234567890",
             "^SCID: 89492071234567890123", "OK"});
    EXPECT_EQ(f.Info->text(), QStringLiteral("SIEMENS\nS45i"));
    EXPECT_EQ(
        f.Info->toolTip(),
        QStringLiteral("SW:21 IMEI:350123456789012 IMSI:262071234567890 SIM:89492071234567890123"));
    EXPECT_EQ(f.phone.homeNetwork, "26207");
    EXPECT_EQ(f.phone.identityStep, 3);
    // Later plain lines change nothing.
    fx.feed("Hallo");
    EXPECT_EQ(f.Info->text(), QStringLiteral("SIEMENS\nS45i"));
}

TEST(DispatcherStarCode, OnlyStarCodeAnswersWhileOneRuns) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    f.phone.ussdPending = UssdPending{1};
    f.Level->setValue(9);
    f.Text1->show();
    f.Text2->setText(QString());
    fx.feed({"ATD*100#;", "+CSQ: 20,99", "Guthaben: 5,00 EUR", "Danke"});
    EXPECT_EQ(f.Level->value(), 9);  // the signal answer is not read
    EXPECT_EQ(f.Text2->text(), QStringLiteral("Guthaben: 5,00 EUR Danke "));
    EXPECT_TRUE(fx.shown(f.Text2));
    EXPECT_FALSE(fx.shown(f.Text1));
    fx.feed("OK");
    EXPECT_EQ(f.phone.ussdPending, UssdPending{0});
    fx.feed("+CSQ: 20,99");  // normal handling again
    EXPECT_EQ(f.Level->value(), 20);
}

TEST(DispatcherStarCode, NetworkAnswerToTheBalanceRequest) {
    DispatcherFixture fx;
    fx.f.phone.ussdPending = UssdPending{2};
    fx.feed("+CSQ: 20,99");  // not quoted: still awaited
    EXPECT_EQ(fx.f.phone.ussdPending, UssdPending{2});
    fx.feed("\"Ihr Guthaben: 12,34 EUR\",15");
    EXPECT_TRUE(fx.shown(fx.f.Text3));
    EXPECT_EQ(fx.f.Text3->text(), QStringLiteral("Ihr Guthaben: 12,34 EUR"));
    EXPECT_EQ(fx.f.phone.ussdPending, UssdPending{0});
}

TEST(DispatcherFinalCodes, SmsSendStatus) {
    const struct {
        const char* line;
        const char* text;
        int beeps;
    } cases[] = {{"OK", "SMS: OK", 0},
                 {"ERROR", "SMS:ERROR", 1},
                 {"+CMS ERROR: 331", "SMS:+CMS ERROR: 331", 1}};
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        f.sms.smsSendPending = 1;
        {
            // A position went out earlier; the box waits for its status.
            QSignalBlocker block(f.SendPos);
            f.SendPos->setChecked(true);
        }
        fx.feed(c.line);
        EXPECT_EQ(f.sms.smsSendPending, 0) << c.line;
        EXPECT_EQ(f.Text1->text(), QString::fromLatin1(c.text)) << c.line;
        EXPECT_TRUE(fx.shown(f.Text1)) << c.line;
        EXPECT_FALSE(f.SendPos->isChecked()) << c.line;
        EXPECT_EQ(f.Text1->toolTip(), QStringLiteral("SMS-Sendestatus")) << c.line;
        EXPECT_EQ(fx.platform->beeps, c.beeps) << c.line;
    }
}

// Timer1 running with `intervalMs`; its ticks go nowhere.
void runCycle(Form1& f, int intervalMs) {
    QObject::disconnect(f.Timer1, &TimerElement::Timer, &f, nullptr);
    f.Timer1->setInterval(intervalMs);
    f.Timer1->setEnabled(true);
}

TEST(DispatcherFinalCodes, PacingOfTheCommandCycle) {
    const struct {
        const char* line;
        int pollStep;
        int interval;  // 5000 before
    } cases[] = {
        {"OK", 5, 5000},                           // nothing at all changes
        {"OK", 8, 5000},         {"OK", 9, 1},     // phone books: next read at once
        {"OK", 15, 1},           {"ERROR", 5, 1},  // a failed command costs no time
        {"+CSQ: 7,99", 5, 5000},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        runCycle(f, 5000);
        f.phone.pollStep = PollStep{c.pollStep};
        const QJsonObject before = fx.state();
        fx.feed(c.line);
        EXPECT_EQ(f.Timer1->Interval(), c.interval) << c.line << " step " << c.pollStep;
        EXPECT_TRUE(f.Timer1->Enabled()) << c.line;
        if (c.line == std::string("OK") && c.pollStep <= 8) {
            EXPECT_EQ(fx.state(), before) << "step " << c.pollStep;
        }
    }
}

// Times of Timer1's ticks, Timer1 running with 400 ms and a line fed 250 ms
// into its period; time moves by hand up to 1000 ms.
QList<qint64> ticksAroundFeed(DispatcherFixture& fx, const std::function<void()>& feed) {
    ManualTimers timers;
    Form1& f = fx.f;
    QObject::disconnect(f.Timer1, &TimerElement::Timer, &f, nullptr);
    QList<qint64> ticks;
    QObject::connect(f.Timer1, &TimerElement::Timer, &f, [&] { ticks << timers.now(); });
    f.Timer1->setInterval(400);
    f.Timer1->setEnabled(true);
    timers.advance(250);
    feed();
    timers.advance(750);
    QObject::disconnect(f.Timer1, &TimerElement::Timer, &f, nullptr);
    return ticks;
}

TEST(DispatcherFinalCodes, AnswerLinesMakeTheCycleWaitForQuietAgain) {
    const struct {
        std::vector<const char*> lines;
        QList<qint64> ticks;
    } cases[] = {
        {{"+CSQ: 17,99"}, {650}},  // a full interval from the line on
        // What the phone sends on its own does not push the tick back.
        {{"+CBM: 88", "C00000DD0011B4DA8D16"}, {400, 800}},
        {{"+CMTI: \"SM\",4"}, {400, 800}},
        {{"RING", "+CLIP: \"0171\",129"}, {400, 800}},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        fx.f.phone.pollStep = PollStep{5};
        const auto feed = [&] {
            for (const char* line : c.lines) fx.feed(line);
        };
        EXPECT_EQ(ticksAroundFeed(fx, feed), c.ticks) << c.lines.front();
    }
}

TEST(DispatcherFinalCodes, OkOutsideThePhoneBooksKeepsTheRunningInterval) {
    DispatcherFixture fx;
    fx.f.phone.pollStep = PollStep{5};
    // The tick due 150 ms after the line is not pushed back.
    EXPECT_EQ(ticksAroundFeed(fx, [&] { fx.feed("OK"); }), (QList<qint64>{400, 800}));
}

TEST(DispatcherFinalCodes, TheOperatorScanEndsItsLongWaitWhateverItsAnswer) {
    const struct {
        std::vector<const char*> lines;
        int pending;   // the scan's answer awaited
        int interval;  // 60000 before
    } cases[] = {
        {{"+COPS: (2,\"o2 - de\",,\"26207\"),,(0-4),(0,2)", "OK"}, 1, 2000},
        {{"+COPS: ,(0-4),(0,2)", "OK"}, 1, 2000},  // no network: an empty list
        {{"+CME ERROR: 30"}, 1, 2000},
        {{"ERROR"}, 1, 1},
        {{"+CSQ: 7,99"}, 1, 60000},  // not the scan's end
        {{"OK"}, 0, 60000},          // no scan sent: nothing changes
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        runCycle(f, 60000);
        f.phone.pollStep = PollStep{3};
        f.phone.operatorScanPending = c.pending;
        for (const char* line : c.lines) fx.feed(line);
        EXPECT_EQ(f.Timer1->Interval(), c.interval) << c.lines.front();
        EXPECT_EQ(f.phone.operatorScanPending, c.interval == 60000 ? c.pending : 0)
            << c.lines.front();
    }
}

TEST(DispatcherFinalCodes, LinesHoldTheCycleOffNoLongerThanItsLongestWait) {
    // A line every 10 s, Timer1 at the scan's 60 s: without a limit each line
    // would push the tick back for good.
    DispatcherFixture fx;
    Form1& f = fx.f;
    ManualTimers timers;
    QObject::disconnect(f.Timer1, &TimerElement::Timer, &f, nullptr);
    QList<qint64> ticks;
    QObject::connect(f.Timer1, &TimerElement::Timer, &f, [&] { ticks << timers.now(); });
    f.phone.pollStep = PollStep{3};
    f.Timer1->setInterval(60000);
    f.Timer1->setEnabled(true);
    for (int i = 0; i < 25; ++i) {
        timers.advance(10000);
        fx.platform->now = fx.platform->now.addSecs(10);
        fx.feed("+CSQ: 17,99");
    }
    QObject::disconnect(f.Timer1, &TimerElement::Timer, &f, nullptr);
    // The lines at 10 s and 20 s push the tick to 80 s, those after it are
    // too late; each later tick is held the same way.
    EXPECT_EQ(ticks, (QList<qint64>{80000, 150000, 220000}));
}

TEST(DispatcherFinalCodes, AStoppedCycleStaysStopped) {
    DispatcherFixture fx;
    ASSERT_FALSE(fx.f.Timer1->Enabled());
    fx.feed({"+CSQ: 7,99", "ERROR", "+COPS: (2,\"o2 - de\",,\"26207\")"});
    EXPECT_FALSE(fx.f.Timer1->Enabled());
}

TEST(DispatcherCalls, RingAndCallerIdentification) {
    const struct {
        const char* legend;
        const char* line;
        const char* caption;
    } cases[] = {
        {"known caller", "+CLIP: \"+4917612345678\",145", "09:20  +4917612345678\nJürgen Müller"},
        {"national form", "+CLIP: \"03012345678\",129", "09:20  03012345678\nBüro"},
        {"unknown caller", "+CLIP: \"+4930111111\",145", "09:20  +4930111111"},
        {"withheld", "+CLIP: \"\",128", "09:20  "},
        {"unquoted", "+CLIP: 03012345678,129", "09:20  03012345678\nBüro"},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        fx.feed({"+CPBR: 1,\"+4917612345678\",145,\"J~rgen M~ller\"",
                 "+CPBR: 2,\"03012345678\",129,\"B~ro\""});
        f.calls.callerName = "Alt";  // a previous lookup must not show
        fx.feed("RING");
        EXPECT_TRUE(fx.shown(f.RingL)) << c.legend;
        EXPECT_EQ(f.RingL->text(), QStringLiteral("09:20  Anruf !")) << c.legend;
        fx.feed(c.line);
        EXPECT_EQ(f.RingL->text(), QString::fromUtf8(c.caption)) << c.legend;
        EXPECT_TRUE(f.Timer3->Enabled()) << c.legend;
        EXPECT_EQ(f.Timer3->Interval(), 3000) << c.legend;
    }
}

TEST(DispatcherCalls, CallerLookupSearchesOnlyTheEntriesRead) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    f.calls.phoneBook[2] = "\"+4917600000000\",145,\"Geist\"";  // beyond the count
    fx.feed("+CPBR: 1,\"+4917612345678\",145,\"Anna\"");
    f.FindCallerName("+4917612345678");
    EXPECT_EQ(f.calls.callerName, "Anna");
    f.FindCallerName("+4917600000000");
    EXPECT_EQ(f.calls.callerName, "");
    f.FindCallerName("");
    EXPECT_EQ(f.calls.callerName, "");
}

}  // namespace

// A device without a battery answers the connection step's "AT+CBC" with a
// final code only: it is found all the same, the gauge stays as it was. A
// final code that comes while no battery answer is awaited links nothing.
TEST(DispatcherBattery, FinalAnswerWithoutBatteryFindsTheDevice) {
    const struct {
        std::vector<const char*> lines;
        bool probe;  // the connection step awaits the answer to "AT+CBC"
        int linked;
    } cases[] = {
        {{"ERROR"}, true, 1},  {{"+CME ERROR: 100"}, true, 1}, {{"OK"}, true, 1},
        {{"ERROR"}, false, 0}, {{"+CSQ: 20,99"}, true, 0},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        f.BattA->setValue(42);
        f.phone.portNumber = 2;
        f.Comm1->setSettings(QStringLiteral("115200,n,8,1"));
        f.phone.linkProbePending = c.probe ? 1 : 0;
        for (const char* line : c.lines) fx.feed(line);
        SCOPED_TRACE(c.lines.front());
        EXPECT_EQ(f.phone.phoneLinked, c.linked);
        EXPECT_EQ(f.BattA->value(), 42);
        if (c.linked) {
            EXPECT_EQ(f.GSM->currentText(), QStringLiteral("COM 2"));
            EXPECT_TRUE(f.Baud[2]->isChecked());
            EXPECT_EQ(f.GSM->toolTip(), QStringLiteral("Handy-Port"));
        }
    }
}

// Other makers' devices give the SIM card number after "AT+CCID" or
// "AT+ICCID", with a prefix or as the number alone.
TEST(DispatcherIdentity, SimCardNumberOfOtherMakers) {
    const struct {
        const char* line;
        int iccidStep;
        const char* tooltip;
    } cases[] = {
        {"+ICCID: 89490200001234567890", 2, "SW:1 SIM:89490200001234567890"},
        {"+CCID: \"8949020000123456789F\"", 1, "SW:1 SIM:8949020000123456789F"},
        {"89492071234567890123", 1, "SW:1 SIM:89492071234567890123"},
        {"89492071234567890123", 3, "SW:1"},  // asked for nothing: not taken
        {"123456", 1, "SW:1"},                // no card number
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        f.Info->setToolTip(QStringLiteral("SW:1"));
        f.phone.manufacturerStep = 4;
        f.phone.identityStep = 3;
        f.phone.iccidStep = IccidStep{c.iccidStep};
        fx.feed(c.line);
        EXPECT_EQ(fx.text(f.Info->toolTip()), c.tooltip) << c.line;
    }
}
