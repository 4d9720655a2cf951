// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/phone/phone_line.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <string>
#include <vector>

#include "tests/window/manual_timers.h"
#include "tests/window/pty_phone.h"
#include "tests/window/window_test_support.h"

namespace {

const QChar kMark(0x00BB);

// A window whose phone port is the slave of a pseudo-terminal, opened, with
// the trace list shown.
class PhoneLineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        Form1& f = w.make();
        const QString device = pty.slave();
        f.Comm1->setDeviceResolver([device](int) { return device; });
        f.Comm1->setCommPort(1);
        ASSERT_TRUE(f.Comm1->setPortOpen(true)) << f.Comm1->lastError().toStdString();
        f.List2->show();
        f.List2->clear();
    }

    Form1& form() { return *w.form; }

    // Sends one piece of an answer and waits until the line has read it and
    // handed on what it completes.
    void deliver(const std::string& bytes) {
        PhoneLine& line = *form().phoneLine;
        const qint64 before = line.bytesTaken();
        pty.send(bytes);
        ASSERT_TRUE(runUntil([&] {
            return line.bytesTaken() >= before + static_cast<qint64>(bytes.size()) &&
                   !line.receivePending();
        }));
    }

    QStringList traceEntries() {
        QStringList out;
        for (int i = 0; i < form().List2->count(); ++i) out << form().List2->item(i)->text();
        return out;
    }

    // The lines handed on to the dispatcher, as the trace shows them.
    QStringList receivedLines() {
        QStringList out;
        for (const QString& e : traceEntries())
            if (!e.startsWith(kMark) && !e.startsWith(QLatin1Char('#'))) out << e;
        return out;
    }

    PtyPhone pty;
    WindowFixture w;
};

struct FramingCase {
    const char* legend;
    std::vector<std::string> pieces;  // each arrives in its own receive event
    QStringList lines;
    std::string pending;  // what waits for the next line end
};

TEST_F(PhoneLineTest, FramesLinesAtCarriageReturns) {
    const std::vector<FramingCase> cases = {
        {"line ended by CR LF", {"OK\r\n"}, {"OK"}, ""},
        {"a lone LF afterwards is dropped", {"OK\r\n", "\n"}, {"OK"}, ""},
        {"one character before CR joins the next line", {"1\r", "2\r"}, {"12"}, ""},
        {"line split over two events", {"+CS", "Q: 17,99\r\n"}, {"+CSQ: 17,99"}, ""},
        {"prompt without CR prefixes the next line", {"> ", "+CMGS: 5\r\n"}, {"> +CMGS: 5"}, ""},
        {"empty lines give nothing", {"\r\n\r\n\r\n"}, {}, ""},
        {"echo, answer and result in one event",
         {"AT+CBC\r\r\n+CBC: 0,80\r\n\r\nOK\r\n"},
         {"AT+CBC", "+CBC: 0,80", "OK"},
         ""},
        {"text without CR waits", {"+CR", "EG: 2"}, {}, "+CREG: 2"},
        {"8-bit characters are Windows-1252", {"M\xFCller \x80\r"}, {"Müller €"}, ""},
    };
    for (const FramingCase& c : cases) {
        SCOPED_TRACE(c.legend);
        // A fresh line: end whatever an earlier case left pending.
        deliver("\r\r");
        form().List2->clear();
        for (const std::string& piece : c.pieces) deliver(piece);
        EXPECT_EQ(receivedLines(), c.lines);
        EXPECT_EQ(form().phone.lineBuffer, c.pending);
    }
}

TEST_F(PhoneLineTest, CompleteAnswerIsHandedOnAtOnceOtherLinesAfterAShortWait) {
    struct Case {
        const char* legend;
        std::string bytes;
        QString last;  // the last line handed on
        bool atOnce;
    };
    const std::vector<Case> cases = {
        {"answer ended by OK", "AT+CPBR=1\r\r\n+CPBR: 1,\"112\",129,\"Notruf\"\r\n\r\nOK\r\n",
         QStringLiteral("OK"), true},
        {"answer ended by ERROR", "AT+CXXX\r\r\nERROR\r\n", QStringLiteral("ERROR"), true},
        {"answer ended by a CMS error", "+CMS ERROR: 321\r\n", QStringLiteral("+CMS ERROR: 321"),
         true},
        {"ring sent by the phone", "\r\nRING\r\n", QStringLiteral("RING"), false},
        {"echo before its answer", "AT+CSQ\r", QStringLiteral("AT+CSQ"), false},
        {"a text starting with OK", "OKAY\r\n", QStringLiteral("OKAY"), false},
    };
    // The short wait runs on a hand-driven clock: it ends only when the test
    // moves time on, however long the machine takes to read the bytes.
    ManualTimers timers;
    PhoneLine& line = *form().phoneLine;
    auto handedOn = [&](const QString& last) {
        const QStringList lines = receivedLines();
        return !lines.isEmpty() && lines.back() == last;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        form().List2->clear();
        const qint64 before = line.bytesTaken();
        pty.send(c.bytes);
        ASSERT_TRUE(runUntil(
            [&] { return line.bytesTaken() >= before + static_cast<qint64>(c.bytes.size()); }));
        if (c.atOnce) {
            EXPECT_TRUE(handedOn(c.last));
        } else {
            EXPECT_FALSE(handedOn(c.last));
            EXPECT_TRUE(line.receivePending());
            timers.advance(PhoneLine::kReceiveWaitMs - 1);
            EXPECT_FALSE(handedOn(c.last));
            timers.advance(1);
            EXPECT_TRUE(handedOn(c.last));
        }
        EXPECT_FALSE(line.receivePending());
    }
}

TEST_F(PhoneLineTest, EndlessLineIsCappedAndTheNextLineComesThrough) {
    // 100 KB without a line end, then a proper answer.
    deliver(std::string(100 * 1024, 'A'));
    EXPECT_LE(form().phone.lineBuffer.size(), funkor::LineFramer::kMaxLine);
    deliver("\rOK\r");
    const QStringList lines = receivedLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], QString(static_cast<int>(funkor::LineFramer::kMaxLine), QLatin1Char('A')));
    EXPECT_EQ(lines[1], QStringLiteral("OK"));
    EXPECT_EQ(form().phone.lineBuffer, "");
}

TEST_F(PhoneLineTest, SendCommandWritesTheLineAndTracesItOnlyWhileTheTraceIsShown) {
    Form1& f = form();
    f.SendCommand("AT+CSQ");
    EXPECT_EQ(pty.takeUntil("\r"), "AT+CSQ\r");
    EXPECT_EQ(traceEntries(), QStringList{kMark + QStringLiteral("AT+CSQ") + kMark});

    f.List2->hide();
    f.SendCommand("AT+CBC");
    EXPECT_EQ(pty.takeUntil("\r"), "AT+CBC\r");
    deliver("+CBC: 0,80\r\n");
    EXPECT_EQ(traceEntries().size(), 1);

    // A closed port takes nothing and the program goes on.
    f.Comm1->setPortOpen(false);
    f.SendCommand("AT+CGMI");
    EXPECT_EQ(pty.settle(), "");
}

TEST_F(PhoneLineTest, TraceFollowsTheLastEntries) {
    Form1& f = form();
    for (int i = 0; i < 10; ++i) f.phoneLine->addTrace(QStringLiteral("e%1").arg(i), false);
    // Room for a few entries only, so that scrolling shows.
    f.List2->resize(f.List2->width(), 5 * f.List2->sizeHintForRow(0) + 2 * f.List2->frameWidth());
    deliver("+CSQ: 17,99\r\n");
    ASSERT_EQ(f.List2->count(), 11);
    runEventsFor(20);
    EXPECT_EQ(f.List2->indexAt(QPoint(2, 2)).row(), 6);

    // A sent command does not move the list.
    f.List2->scrollToTop();
    f.SendCommand("AT");
    runEventsFor(20);
    EXPECT_EQ(f.List2->indexAt(QPoint(2, 2)).row(), 0);
}

TEST_F(PhoneLineTest, TraceKeepsTheNewestEntriesUpToItsLimit) {
    Form1& f = form();
    const int total = PhoneLine::kTraceLimit + 7;
    for (int i = 0; i < total; ++i) f.phoneLine->addTrace(QString::number(i), false);
    ASSERT_EQ(f.List2->count(), PhoneLine::kTraceLimit);
    EXPECT_EQ(f.List2->item(0)->text(), QStringLiteral("7"));
    EXPECT_EQ(f.List2->item(f.List2->count() - 1)->text(), QString::number(total - 1));
}

TEST_F(PhoneLineTest, TraceMouseButtons) {
    Form1& f = form();
    f.phoneLine->addTrace(QStringLiteral("x"), false);
    f.Timer1->setEnabled(true);

    f.List2_MouseDown(1);  // left: empties the trace, the link goes on
    EXPECT_EQ(f.List2->count(), 0);
    EXPECT_TRUE(f.Timer1->Enabled());
    EXPECT_TRUE(f.Comm1->PortOpen());

    f.List2_MouseDown(2);  // right: the phone link stops
    EXPECT_FALSE(f.Timer1->Enabled());
    EXPECT_FALSE(f.Comm1->PortOpen());
}

TEST_F(PhoneLineTest, BatteryGaugeClickTogglesTraceAndTestButton) {
    Form1& f = form();
    f.List2->hide();
    f.SMSc->hide();
    f.BattA_Click();
    EXPECT_TRUE(f.List2->isVisibleTo(&f));
    EXPECT_TRUE(f.SMSc->isVisibleTo(&f));
    EXPECT_EQ(f.List2->y(), f.Netze[1]->y());
    EXPECT_EQ(f.List2->height(), twipsToPixels(3960));

    f.BattA_Click();
    EXPECT_FALSE(f.List2->isVisibleTo(&f));
    EXPECT_FALSE(f.SMSc->isVisibleTo(&f));
}

TEST_F(PhoneLineTest, SwitchOffQuestion) {
    struct Case {
        const char* legend;
        int button;
        std::deque<bool> answers;
        int questions;
        std::string sent;
        bool cycleRuns;
        int quits;
    };
    const std::vector<Case> cases = {
        {"left button asks nothing", 1, {true}, 0, "", true, 0},
        {"refused: the cycle goes on", 2, {false}, 1, "", true, 0},
        {"accepted: switch-off command, then the end", 2, {true}, 1, "AT^SMSO\r", false, 1},
        {"middle button asks too", 4, {true}, 1, "AT^SMSO\r", false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        Form1& f = form();
        int quits = 0;
        bool portHadIt = false;
        // The command must have left before the program ends.
        f.phoneLine->setQuitHandler([&] {
            ++quits;
            portHadIt = pty.take().find("AT^SMSO\r") != std::string::npos;
        });
        f.Timer1->setEnabled(true);
        w.platform->questions.clear();
        w.platform->yesNoAnswers = c.answers;
        pty.take();

        f.BattA_MouseDown(c.button);
        EXPECT_EQ(w.platform->questions.size(), c.questions);
        if (c.questions) {
            EXPECT_EQ(w.platform->questions[0], QStringLiteral("Handy Ausschalten ?"));
        }
        EXPECT_EQ(f.Timer1->Enabled(), c.cycleRuns);
        EXPECT_EQ(quits, c.quits);
        if (c.quits) {
            EXPECT_TRUE(portHadIt);
        } else {
            EXPECT_EQ(pty.settle(), c.sent);
        }
    }
}

TEST_F(PhoneLineTest, TimingAdvanceProbeCallsAndHangsUpWithoutHoldingTheWindow) {
    Form1& f = form();
    f.TAV->setText(QStringLiteral("TA 3 (1650m)"));
    QElapsedTimer t;
    t.start();
    f.TAV_Click();
    // The click returns while the call is still up.
    EXPECT_TRUE(f.phoneLine->probeRunning());
    EXPECT_EQ(f.TAV->text(), QString());
    EXPECT_EQ(pty.takeUntil("\r"), "ATD0\r");

    // A second click while the call is up changes nothing.
    f.TAV_Click();
    EXPECT_EQ(pty.settle(100), "");
    EXPECT_EQ(w.platform->beeps, 0);

    EXPECT_EQ(pty.takeUntil("ATH0\r", 60000), "ATH0\r");
    EXPECT_GE(t.elapsed(), PhoneLine::kProbeCallMs - 50);
    EXPECT_EQ(w.platform->beeps, 1);
    EXPECT_FALSE(f.phoneLine->probeRunning());
    // The probe writes past the trace.
    EXPECT_EQ(traceEntries(), QStringList());
}

}  // namespace
