// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/phone/command_cycle.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalBlocker>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/phone/phone_line.h"
#include "core/incoming_sms.h"
#include "tests/window/pty_phone.h"
#include "tests/window/window_test_support.h"

namespace {

const QDateTime kNoon(QDate(2024, 5, 10), QTime(12, 0, 0));

// A window whose ports 1 to 4 are pseudo-terminals (the phone on none of
// them answers), with the window's clock fixed at noon. Timer1 stays off:
// the tests run its ticks themselves.
class CommandCycleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (auto& p : ptys) ASSERT_TRUE(p.ok());
        Form1& f = w.make();
        w.platform->now = kNoon;
        std::array<QString, 4> devices;
        for (int i = 0; i < 4; ++i) devices[i] = ptys[i].slave();
        f.Comm1->setDeviceResolver([devices](int n) {
            return n >= 1 && n <= 4 ? devices[n - 1] : QStringLiteral("/nonexistent/tty%1").arg(n);
        });
        f.Timer1->setEnabled(false);
    }

    Form1& form() { return *w.form; }
    PtyPhone& port(int n) { return ptys[static_cast<std::size_t>(n - 1)]; }

    // The phone found on port 1: the cycle walks its schedule.
    void linkOnPort1() {
        Form1& f = form();
        f.Comm1->setCommPort(1);
        ASSERT_TRUE(f.Comm1->setPortOpen(true)) << f.Comm1->lastError().toStdString();
        f.phone.phoneLinked = 1;
    }

    // One tick, run until it is done. With `clockRuns` the window's clock
    // moves on quickly, so that waits by the clock end soon.
    void tick(bool clockRuns = false) {
        Form1& f = form();
        f.Timer1_Timer();
        QElapsedTimer t;
        t.start();
        while (f.commandCycle->busy() && t.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (clockRuns) w.platform->now = w.platform->now.addMSecs(250);
        }
        ASSERT_FALSE(f.commandCycle->busy());
        // The connection step restarts Timer1; the tests keep it in hand.
        f.Timer1->setEnabled(false);
    }

    std::array<PtyPhone, 4> ptys;
    WindowFixture w;
};

struct StepCase {
    int step;
    std::string sent;  // bytes that reached the phone
    int interval;      // Timer1's interval afterwards, ms
    int nextStep;
};

TEST_F(CommandCycleTest, FirstPassWalksTheWholeScheduleWithEmptyPhoneBooks) {
    linkOnPort1();
    const std::vector<StepCase> steps = {
        {0, "AT+CGMI;+CGMM;+CGMR\r", 800, 1},
        {1, "AT+CGSN;+CIMI;^SCID\r", 500, 2},
        {2, "AT+CLIP=1;+CNMI=1,1,2\r", 200, 3},
        {3, "AT+COPS=3,2;+COPS?;+COPS=3,0\r", 2500, 4},
        {4, "", 800, 5},
        {5, "AT+COPS?;+CSQ;+CBC\r", 5000, 6},
        {6, "AT+CREG?\r", 800, 7},
        {7, "", 1000, 8},
        {8, "AT+COPS=?\r", 60000, 9},
        {9, "AT+CPBS=\"SM\";+CPBS?\r", 1000, 10},
        {10, "", 200, 11},
        {11, "AT+CPBS=\"FD\";+CPBS?\r", 1000, 12},
        {12, "", 100, 13},
        {13, "AT+CPBS=\"ON\";+CPBS?\r", 1000, 14},
        {14, "", 1000, 15},
        {15, "AT+CMGL=0;+CMGL=1\r", 2000, 3},
        {3, "AT+COPS=3,2;+COPS?;+COPS=3,0\r", 2500, 4},
    };
    Form1& f = form();
    for (const StepCase& s : steps) {
        SCOPED_TRACE(s.step);
        ASSERT_EQ(f.phone.pollStep, PollStep{s.step});
        tick();
        EXPECT_EQ(port(1).settle(), s.sent);
        EXPECT_EQ(f.Timer1->Interval(), s.interval);
        EXPECT_EQ(f.phone.pollStep, PollStep{s.nextStep});
        if (s.step == 0) {
            EXPECT_EQ(f.phone.manufacturerStep, 1);
            for (const char* line : {"SIEMENS", "S35i", "21"}) f.InterpretResponse(line);
        }
        if (s.step == 1) {
            EXPECT_EQ(f.phone.identityStep, 1);
        }
        if (s.step == 2) {
            EXPECT_EQ(f.phone.identityStep, 3);
        }
        if (s.step == 13) {
            EXPECT_EQ(f.calls.ownNumberPending, 1);
        }
    }
    // No phone-book entry was asked for: the check box stays hidden.
    EXPECT_FALSE(f.Check1->isVisibleTo(&f));
}

TEST_F(CommandCycleTest, PhoneBookEntriesAreReadOneByOneThenTheBooksAreDone) {
    linkOnPort1();
    Form1& f = form();
    f.List2->show();
    f.List2->clear();
    // The SIM book holds two entries of 250 places.
    f.phone.pollStep = PollStep{10};
    f.calls.phoneBookUsed = 2;
    f.calls.phoneBookTotal = 250;
    const std::vector<StepCase> steps = {
        {10, "AT+CPBR=1\r", 200, 10},
        {10, "AT+CPBR=2\r", 200, 10},
        {10, "", 200, 11},  // both received below
        {11, "AT+CPBS=\"FD\";+CPBS?\r", 1000, 12},
        {12, "", 100, 13},
        {13, "AT+CPBS=\"ON\";+CPBS?\r", 1000, 14},
        {14, "", 1000, 15},
        {15, "AT+CMGL=0;+CMGL=1\r", 2000, 3},
    };
    for (const StepCase& s : steps) {
        SCOPED_TRACE(s.step);
        if (s.step == 10 && s.sent.empty()) f.calls.phoneBookReceived = 2;
        // The fixed-dialling and own-number books are empty.
        if (s.step == 11) f.calls.phoneBookUsed = 0;
        tick();
        EXPECT_EQ(port(1).settle(), s.sent);
        EXPECT_EQ(f.Timer1->Interval(), s.interval);
        EXPECT_EQ(f.phone.pollStep, PollStep{s.nextStep});
    }
    EXPECT_EQ(f.calls.phoneBookSum, 3);
    EXPECT_EQ(f.calls.phoneBookIndex, 0);
    EXPECT_TRUE(f.Check1->isVisibleTo(&f));
    // Each step is traced by its number before its command.
    EXPECT_EQ(f.List2->item(0)->text(), QStringLiteral("#10"));
    EXPECT_EQ(f.List2->item(1)->text(), QChar(0xBB) + QStringLiteral("AT+CPBR=1") + QChar(0xBB));

    // Once an entry was asked for, step 8 leads back to step 3.
    f.phone.pollStep = PollStep{8};
    tick();
    EXPECT_EQ(f.phone.pollStep, PollStep{3});
}

// The phone answers the book commands from its books; each book's reads
// end after its used entries, or after twenty empty positions in a row,
// counted in that book alone.
TEST_F(CommandCycleTest, EachPhoneBookCountsItsOwnEmptyPositions) {
    struct Book {
        int total;
        std::map<int, std::string> entries;  // position -> "number",type,"name"
        int used;                            // as the phone reports it
        std::vector<int> read;               // positions asked for
    };
    std::map<std::string, Book> books = {
        // A sparse SIM book: its second entry lies beyond twenty empty places.
        {"SM",
         {250, {{1, "\"+4917612345678\",145,\"Anna\""}, {40, "\"0301\",129,\"Zoe\""}}, 2, {}}},
        {"FD", {10, {{1, "\"112\",129,\"Notruf\""}, {2, "\"0304445566\",129,\"Zuhause\""}}, 2, {}}},
        {"ON", {4, {{1, "\"+4917600112233\",145,\"Eigene Nummer\""}}, 1, {}}},
    };
    linkOnPort1();
    Form1& f = form();
    f.phone.pollStep = PollStep{9};
    std::string book;
    for (int ticks = 0; ticks < 100 && f.phone.pollStep != PollStep{15}; ++ticks) {
        tick();
        const std::string sent = port(1).settle();
        if (sent.starts_with("AT+CPBS=\"")) {
            book = sent.substr(9, 2);
            Book& b = books.at(book);
            f.InterpretResponse("+CPBS: \"" + book + "\"," + std::to_string(b.used) + "," +
                                std::to_string(b.total));
        } else if (sent.starts_with("AT+CPBR=")) {
            const int at = std::stoi(sent.substr(8));
            Book& b = books.at(book);
            b.read.push_back(at);
            f.InterpretResponse(sent.substr(0, sent.size() - 1));  // the echo
            if (b.entries.count(at))
                f.InterpretResponse("+CPBR: " + std::to_string(at) + "," + b.entries.at(at));
        }
    }
    ASSERT_EQ(f.phone.pollStep, PollStep{15});
    std::vector<int> first21(21);
    for (int i = 0; i < 21; ++i) first21[static_cast<std::size_t>(i)] = i + 1;
    EXPECT_EQ(books["SM"].read, first21);
    EXPECT_EQ(books["FD"].read, (std::vector<int>{1, 2}));
    EXPECT_EQ(books["ON"].read, (std::vector<int>{1}));
    QStringList listed;
    for (int i = 0; i < f.Combo1->count(); ++i) listed << f.Combo1->itemText(i);
    EXPECT_EQ(listed,
              (QStringList{QStringLiteral("Anna : +4917612345678"), QStringLiteral("Notruf : 112"),
                           QStringLiteral("Zuhause : 0304445566"),
                           QStringLiteral("Eigene Nummer : +4917600112233")}));
}

// Only the user chooses an entry of the phone-book list: a list read anew
// (the phone plugged in again) keeps that choice when it holds the entry,
// and otherwise has none, whichever place the entry had.
TEST_F(CommandCycleTest, RenewedPhoneBookListKeepsOnlyTheUsersChoice) {
    const struct {
        const char* legend;
        QStringList before;
        int chosen;  // by the user, -1: none
        QStringList after;
        int chosenAfter;
    } cases[] = {
        {"nothing chosen", {"Anna : 01", "Bernd : 02"}, -1, {"Clara : 03", "Bernd : 02"}, -1},
        {"the first entry chosen", {"Anna : 01", "Bernd : 02"}, 0, {"Clara : 03", "Anna : 01"}, 1},
        {"a later entry chosen", {"Anna : 01", "Bernd : 02"}, 1, {"Bernd : 02", "Clara : 03"}, 0},
        {"the chosen entry gone", {"Anna : 01", "Bernd : 02"}, 1, {"Anna : 01", "Clara : 03"}, -1},
        {"the first read into an empty list", {}, -1, {"Anna : 01", "Bernd : 02"}, -1},
    };
    linkOnPort1();
    Form1& f = form();
    auto read = [&f](const QStringList& entries) {
        for (int i = 0; i < entries.size(); ++i) {
            const QStringList parts = entries[i].split(QStringLiteral(" : "));
            f.InterpretResponse("+CPBR: " + std::to_string(i + 1) + ",\"" + parts[1].toStdString() +
                                "\",129,\"" + parts[0].toStdString() + "\"");
        }
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        {
            QSignalBlocker block(f.Combo1);
            f.Combo1->clear();
        }
        f.calls.phoneBookRenew = 0;
        f.calls.phoneBookCount = 0;
        read(c.before);
        if (c.chosen >= 0) f.Combo1->setCurrentIndex(c.chosen);
        const QString choice = f.Combo1->currentText();
        // Plugged in again: the books are read into the renewal.
        f.calls.phoneBookRenew = 1;
        f.calls.phoneBookCount = 0;
        read(c.after);
        f.calls.phoneBookUsed = f.calls.phoneBookReceived = 0;
        f.phone.pollStep = PollStep{14};
        tick();
        QStringList listed;
        for (int i = 0; i < f.Combo1->count(); ++i) listed << f.Combo1->itemText(i);
        EXPECT_EQ(listed, c.after);
        EXPECT_EQ(f.Combo1->currentIndex(), c.chosenAfter);
        EXPECT_EQ(f.Combo1->currentText(), c.chosenAfter >= 0 ? choice : QString());
    }
}

TEST_F(CommandCycleTest, O2NetworkZoneFileOnceBalanceOncePerCellBroadcastOn) {
    linkOnPort1();
    Form1& f = form();
    f.network.operatorCode = "26207";
    f.phone.manufacturer = "SIEMENS";
    f.phone.model = "S45i";
    f.calls.phoneBookSum = 1;  // books done: steps 3 to 8 repeat
    f.phone.lastOperatorScanTime = kNoon.time().msecsSinceStartOfDay() / 1000.0;
    f.phone.pollStep = PollStep{3};

    const std::string ops = "AT+COPS=3,2;+COPS?;+COPS=3,0\r";
    const std::string poll = "AT+COPS?;+CSQ;+CBC\r";
    const std::string zones = "AT+CRSM=176,28512,0,0,123\r";
    const std::string ta = "AT+CREG=2;+CREG?;+CPAS\rat^sstk=11,0\rD009810301260582028182\x1A\x1B";
    const std::string cb = "AT+CSCB=1,\"\",\"\"\r";
    struct Pass {
        bool cellChanged;  // the dispatcher saw a new cell before this pass
        std::vector<std::string> sent;
    };
    const std::vector<Pass> passes = {
        {false, {ops, zones, poll + "ATD*122#;\r", ta, cb, ""}},
        {false, {ops, "", poll, ta, cb, ""}},
        {true, {ops, "", poll + "ATD*122#;\r", ta, cb, ""}},
    };
    for (std::size_t p = 0; p < passes.size(); ++p) {
        SCOPED_TRACE(p);
        if (passes[p].cellChanged) f.phone.ussdDone = 0;
        for (std::size_t i = 0; i < passes[p].sent.size(); ++i) {
            SCOPED_TRACE(i + 3);
            f.phone.ussdPending = UssdPending{0};
            tick();
            EXPECT_EQ(port(1).settle(), passes[p].sent[i]);
            if (i == 2 && !passes[p].sent[i].ends_with(poll)) {
                EXPECT_EQ(f.phone.ussdPending, UssdPending{2});
            }
        }
        EXPECT_EQ(f.phone.pollStep, PollStep{3});
    }
    EXPECT_EQ(f.phone.homeZoneReadDone, 1);
    EXPECT_EQ(f.phone.ussdDone, 1);
}

TEST_F(CommandCycleTest, TimingAdvanceRequestDependsOnMakerAndModel) {
    linkOnPort1();
    Form1& f = form();
    const std::string ta = "AT+CREG=2;+CREG?;+CPAS\rat^sstk=11,0\rD009810301260582028182\x1A\x1B";
    struct Case {
        std::string maker, model, sent;
    };
    const std::vector<Case> cases = {
        {"SIEMENS", "S45i", ta},
        {"SIEMENS", "S35i", "AT+CREG?\r"},
        {"SIEMENS", "ME45", ta},
        {"SIEMENS", "C35i", "AT+CREG?\r"},
        // Other makers switch the location reports on in the same line.
        {"NOKIA", "S45i", "AT+CREG=2;+CREG?\r"},
        {"SIEMENS", "", "AT+CREG?\r"},
        {"siemens", "S45i", "AT+CREG=2;+CREG?\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.maker + " " + c.model);
        f.phone.manufacturer = c.maker;
        f.phone.model = c.model;
        f.phone.pollStep = PollStep{6};
        f.phone.registrationStep = 0;
        tick();
        EXPECT_EQ(port(1).settle(), c.sent);
        EXPECT_EQ(f.Timer1->Interval(), 800);
    }
}

// Another maker's device: the standard identity line, the SIM card number
// through whichever command it answers, and the registration of every
// domain it knows, one query a tick; a refused query is not asked again.
TEST_F(CommandCycleTest, OtherMakersGetStandardCommandsOnly) {
    linkOnPort1();
    Form1& f = form();
    f.phone.manufacturer = "Quectel";
    f.phone.model = "EC25";
    f.phone.manufacturerStep = 4;
    struct Tick {
        int step;
        std::string sent;
        const char* answer;  // the device's final answer, "" for none
        int nextStep;
    };
    const std::vector<Tick> ticks = {
        {1, "AT+CGSN;+CIMI\r", "", 2},
        {2, "AT+CCID\r", "ERROR", 2},
        {2, "AT+ICCID\r", "+ICCID: 89490200001234567890", 2},
        {2, "AT+CLIP=1;+CNMI=1,1,2\r", "", 3},
        {6, "AT+CREG=2;+CREG?\r", "OK", 6},
        {6, "AT+CGREG=2;+CGREG?\r", "ERROR", 6},
        {6, "AT+CEREG=2;+CEREG?\r", "OK", 6},
        {6, "AT+C5GREG=2;+C5GREG?\r", "ERROR", 7},
        {6, "AT+CREG=2;+CREG?\r", "OK", 6},
        {6, "AT+CEREG=2;+CEREG?\r", "OK", 7},
    };
    for (const Tick& t : ticks) {
        SCOPED_TRACE(t.sent);
        f.phone.pollStep = PollStep{t.step};
        tick();
        EXPECT_EQ(port(1).settle(), t.sent);
        EXPECT_EQ(f.phone.pollStep, PollStep{t.nextStep});
        if (*t.answer) f.InterpretResponse(t.answer);
        if (*t.answer == '+') f.InterpretResponse("OK");
    }
    EXPECT_EQ(f.phone.cgregRefused, 1);
    EXPECT_EQ(f.phone.ceregRefused, 0);
    EXPECT_EQ(f.phone.c5gregRefused, 1);
    EXPECT_EQ(f.phone.iccidStep, IccidStep{3});

    // The status line leaves out "+CBC" once the connection probe was
    // refused; a Siemens phone keeps it whatever its probe said.
    const struct {
        const char* maker;
        const char* probeAnswer;
        std::string sent;
    } statusLines[] = {
        {"Quectel", "OK", "AT+COPS?;+CSQ;+CBC\r"},
        {"Quectel", "ERROR", "AT+COPS?;+CSQ\r"},
        {"Quectel", "+CME ERROR: 100", "AT+COPS?;+CSQ\r"},
        {"SIEMENS", "ERROR", "AT+COPS?;+CSQ;+CBC\r"},
    };
    for (const auto& row : statusLines) {
        SCOPED_TRACE(std::string(row.maker) + " " + row.probeAnswer);
        f.phone.manufacturer = row.maker;
        f.phone.linkProbePending = true;
        f.InterpretResponse(row.probeAnswer);
        f.phone.pollStep = PollStep{5};
        tick();
        EXPECT_EQ(port(1).settle(), row.sent);
    }
    EXPECT_NE(f.Info->toolTip().indexOf(QStringLiteral(" SIM:89490200001234567890")), -1);
}

TEST_F(CommandCycleTest, OperatorScanAtMostEveryFiveMinutes) {
    linkOnPort1();
    Form1& f = form();
    f.calls.phoneBookSum = 1;
    const QDate day = kNoon.date();
    struct Case {
        const char* legend;
        QDateTime now;
        bool scans;
    };
    const std::vector<Case> cases = {
        {"first scan, two minutes after midnight", QDateTime(day, QTime(0, 2, 0)), true},
        {"100 s later", QDateTime(day, QTime(0, 3, 40)), false},
        {"noon", QDateTime(day, QTime(12, 0, 0)), true},
        {"200 s later", QDateTime(day, QTime(12, 3, 20)), false},
        {"300 s later", QDateTime(day, QTime(12, 5, 0)), false},
        {"301 s later", QDateTime(day, QTime(12, 5, 1)), true},
        {"late evening", QDateTime(day, QTime(23, 58, 0)), true},
        {"past midnight, 120 s later", QDateTime(day.addDays(1), QTime(0, 0, 0)), false},
        {"past midnight, 360 s later", QDateTime(day.addDays(1), QTime(0, 4, 0)), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        w.platform->now = c.now;
        f.phone.pollStep = PollStep{8};
        tick();
        EXPECT_EQ(port(1).settle(), c.scans ? "AT+COPS=?\r" : "");
        EXPECT_EQ(f.Timer1->Interval(), c.scans ? 60000 : 2000);
    }
}

TEST_F(CommandCycleTest, PduIsAnnouncedThenSentAfterThePrompt) {
    linkOnPort1();
    Form1& f = form();
    f.List2->show();
    f.List2->clear();
    const std::string pdu(46, 'A');
    f.sms.pduPending = pdu;
    f.phone.pollStep = PollStep{4};

    f.Timer1_Timer();
    // The announcement is out while the tick still waits for the prompt.
    EXPECT_EQ(port(1).takeUntil("\r"), "at+cmgs=22\r");
    EXPECT_TRUE(f.commandCycle->busy());
    EXPECT_EQ(port(1).take(), "");
    tick();
    EXPECT_EQ(port(1).settle(), pdu + "\x1A");
    EXPECT_EQ(f.sms.pduPending, "");
    EXPECT_EQ(f.sms.smsSendPending, 1);
    EXPECT_EQ(f.Timer1->Interval(), 5000);
    // Written past the trace: only the step number shows.
    ASSERT_EQ(f.List2->count(), 1);
    EXPECT_EQ(f.List2->item(0)->text(), QStringLiteral("#4"));
}

TEST_F(CommandCycleTest, SmsRequestsComeBeforeTheNextStep) {
    linkOnPort1();
    Form1& f = form();
    struct Case {
        const char* legend;
        int readState;
        std::string index;
        int deletePending;
        std::string sent;
        int readStateAfter;
        int emptiedEntry;  // -1: the cache is unchanged
    };
    const std::vector<Case> cases = {
        {"read requested", 1, "3", 0, "AT+CPMS=\"SM\";+CMGR=3\r", 2, -1},
        {"read arrived", 4, "3", 0, "", 0, -1},
        {"delete 7", 0, "7", 1, "AT+CMGD=7\r", 0, 7},
        {"delete with blanks", 0, " 12 ", 1, "AT+CMGD=12\r", 0, 12},
        {"delete beyond the cache", 0, "60", 1, "AT+CMGD=60\r", 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        for (std::size_t i = 0; i < f.sms.smsCache.size(); ++i)
            f.sms.smsCache[i] = "20:0791" + std::to_string(i);
        f.sms.smsReadState = SmsRead{c.readState};
        f.sms.smsStorage = "\"SM\"";
        f.sms.smsIndex = c.index;
        f.sms.smsDeletePending = c.deletePending;
        f.phone.pollStep = PollStep{5};
        tick();
        EXPECT_EQ(port(1).settle(), c.sent);
        EXPECT_EQ(f.sms.smsReadState, SmsRead{c.readStateAfter});
        EXPECT_EQ(f.sms.smsDeletePending, 0);
        EXPECT_EQ(f.phone.pollStep, PollStep{5});  // the schedule waits
        for (std::size_t i = 0; i < f.sms.smsCache.size(); ++i) {
            const bool emptied = static_cast<int>(i) == c.emptiedEntry;
            EXPECT_EQ(f.sms.smsCache[i].empty(), emptied) << i;
        }
    }
}

// A notice that comes while a read message waits to be shown is read after
// that message is shown and its delete has gone out; each notice once.
TEST_F(CommandCycleTest, NoticeDuringAReadWaitsForTheMessageShown) {
    linkOnPort1();
    Form1& f = form();
    f.phone.pollStep = PollStep{5};
    f.sms.smsReadState = SmsRead{4};
    f.sms.smsStorage = "\"SM\"";
    f.sms.smsIndex = "3";
    f.sms.smsLength = funkor::kTestSmsTpduLength;
    f.sms.smsPdu = funkor::kTestSmsPdu;
    f.InterpretResponse("+CMTI: \"ME\",4");
    f.InterpretResponse("+CMTI: \"ME\",4");
    EXPECT_EQ(f.sms.smsIndex, "3");
    f.sms.smsDeletePending = true;
    const std::vector<std::string> sent = {"", "AT+CMGD=3\r", "AT+CPMS=\"ME\";+CMGR=4\r"};
    for (const std::string& s : sent) {
        tick();
        EXPECT_EQ(port(1).settle(), s);
    }
    EXPECT_EQ(f.Text2->text(), QStringLiteral("Dies ist ein Funktest!"));
    EXPECT_EQ(f.sms.smsReadState, SmsRead{2});
    EXPECT_TRUE(f.sms.smsNoticesWaiting.empty());
}

// Without a usable SIM the network is not polled: only the SIM's state is
// asked until it is ready, then the step goes on.
TEST_F(CommandCycleTest, WithoutASimOnlyItsStateIsAsked) {
    linkOnPort1();
    Form1& f = form();
    f.phone.pollStep = PollStep{3};
    f.InterpretResponse("+CME ERROR: 10");
    EXPECT_EQ(f.Netz->text(), QStringLiteral("keine SIM-Karte"));
    tick();
    EXPECT_EQ(port(1).settle(), "AT+CPIN?\r");
    EXPECT_EQ(f.phone.pollStep, PollStep{3});
    f.InterpretResponse("+CPIN: READY");
    tick();
    EXPECT_EQ(port(1).settle(), "AT+COPS=3,2;+COPS?;+COPS=3,0\r");
}

// A slow device's maker lines are waited for, three ticks at most, before
// the identity line that depends on the maker goes out.
TEST_F(CommandCycleTest, IdentityWaitsForTheMakersLines) {
    linkOnPort1();
    Form1& f = form();
    f.phone.pollStep = PollStep{1};
    f.phone.manufacturerStep = 1;
    for (int i = 0; i < 2; ++i) {
        tick();
        EXPECT_EQ(port(1).settle(), "");
    }
    for (const char* line : {"Quectel", "EC25", "EC25EFAR06A03M4G"}) f.InterpretResponse(line);
    tick();
    EXPECT_EQ(port(1).settle(), "AT+CGSN;+CIMI\r");
    // A device that never names its maker is asked the Siemens way.
    f.phone = PhoneLinkState{};
    f.phone.phoneLinked = true;
    f.phone.pollStep = PollStep{1};
    f.phone.manufacturerStep = 1;
    for (const char* sent : {"", "", "", "AT+CGSN;+CIMI;^SCID\r"}) {
        tick();
        EXPECT_EQ(port(1).settle(), sent);
    }
}

TEST_F(CommandCycleTest, CallInProgressPausesTheCycle) {
    linkOnPort1();
    Form1& f = form();
    f.calls.callActive = 1;
    f.sms.smsDeletePending = 1;
    f.sms.smsIndex = "7";
    f.phone.pollStep = PollStep{3};
    tick();
    EXPECT_EQ(port(1).settle(), "");
    EXPECT_EQ(f.phone.pollStep, PollStep{3});
    EXPECT_EQ(f.sms.smsDeletePending, 1);
}

TEST_F(CommandCycleTest, TickDuringAPausedTickIsSkipped) {
    linkOnPort1();
    Form1& f = form();
    f.phone.pollStep = PollStep{5};
    f.Timer1_Timer();
    EXPECT_EQ(port(1).takeUntil("\r"), "AT+COPS?;+CSQ;+CBC\r");
    ASSERT_TRUE(f.commandCycle->busy());
    f.Timer1_Timer();  // arrives while step 5 waits
    EXPECT_EQ(port(1).settle(100), "");
    EXPECT_EQ(f.phone.pollStep, PollStep{5});
    tick();
    EXPECT_EQ(f.phone.pollStep, PollStep{6});
    tick();
    EXPECT_EQ(port(1).settle(), "AT+CREG?\r");
    EXPECT_EQ(f.phone.pollStep, PollStep{7});
}

struct Attempt {
    int port;
    QString settings;
};

TEST_F(CommandCycleTest, AutoSearchTriesFourPortsAtTwoRates) {
    Form1& f = form();
    {
        QSignalBlocker block(f.GSM);
        f.GSM->setCurrentIndex(0);  // "Auto"
    }
    const QString fast = QStringLiteral("115200,n,8,1");
    const QString slow = QStringLiteral("19200,n,8,1");
    struct Start {
        int portNumber;
        std::vector<Attempt> attempts;
    };
    const std::vector<Start> starts = {
        {0,
         {{1, fast},
          {1, slow},
          {2, fast},
          {2, slow},
          {3, fast},
          {3, slow},
          {4, fast},
          {4, slow},
          {1, fast}}},
        {3, {{4, fast}, {4, slow}, {1, fast}}},
    };
    for (const Start& s : starts) {
        SCOPED_TRACE(s.portNumber);
        f.phone.portNumber = s.portNumber;
        f.phone.autoSearchToggle = 0;
        for (const Attempt& a : s.attempts) {
            SCOPED_TRACE(a.port);
            tick(true);
            EXPECT_EQ(f.Comm1->CommPort(), a.port);
            EXPECT_EQ(f.Comm1->Settings(), a.settings);
            EXPECT_EQ(f.GSM->toolTip(), QStringLiteral("COM %1").arg(a.port));
            // The battery question went to that port's phone.
            EXPECT_EQ(port(a.port).settle(), "AT+CBC\r");
            EXPECT_EQ(f.phone.phoneLinked, 0);
        }
    }
}

TEST_F(CommandCycleTest, PortAndRateFromCommandLineOrWindow) {
    struct Case {
        const char* legend;
        QString commandLine;
        int gsmIndex;  // 1..16: "COM n"
        int baudOption;
        int port;
        QString settings;
    };
    const std::vector<Case> cases = {
        {"command line with rate", QStringLiteral("3,57600"), 1, 0, 3,
         QStringLiteral("57600,n,8,1")},
        {"command line port only", QStringLiteral("2"), 1, 2, 2, QStringLiteral("9600,n,7,2")},
        {"window choice, 19200", QString(), 4, 0, 4, QStringLiteral("19200,n,8,1")},
        {"window choice, 57600", QString(), 2, 1, 2, QStringLiteral("57600,n,8,1")},
        {"window choice, 115200", QString(), 1, 2, 1, QStringLiteral("115200,n,8,1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        WindowFixture win;
        Form1& f = win.make(c.commandLine);
        win.platform->now = kNoon;
        std::array<QString, 4> devices;
        for (int i = 0; i < 4; ++i) devices[i] = ptys[i].slave();
        f.Comm1->setDeviceResolver([devices](int n) {
            return n >= 1 && n <= 4 ? devices[n - 1] : QStringLiteral("/nonexistent");
        });
        {
            QSignalBlocker block(f.GSM);
            f.GSM->setCurrentIndex(c.gsmIndex);
        }
        f.Baud[c.baudOption]->setChecked(true);
        f.Comm1->setSettings(QStringLiteral("9600,n,7,2"));
        // Running, but far from its next tick.
        f.Timer1->setInterval(600000);
        f.Timer1->setEnabled(true);

        f.Timer1_Timer();
        QElapsedTimer t;
        t.start();
        while (f.commandCycle->busy() && t.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            win.platform->now = win.platform->now.addMSecs(250);
        }
        EXPECT_EQ(f.Comm1->CommPort(), c.port);
        EXPECT_EQ(f.Comm1->Settings(), c.settings);
        EXPECT_EQ(port(c.port).settle(), "AT+CBC\r");
        // The connection step restarts the cycle's timer.
        EXPECT_TRUE(f.Timer1->Enabled());
        f.Timer1->setEnabled(false);
    }
}

TEST_F(CommandCycleTest, CycleSwitchedOffDuringTheConnectionWaitsStaysOff) {
    struct Case {
        const char* legend;
        std::function<void(Form1&)> meanwhile;
        bool runsAfter;
    };
    const std::vector<Case> cases = {
        {"nothing happens", [](Form1&) {}, true},
        {"Active unticked", [](Form1& f) { f.Active->setChecked(false); }, false},
        {"port list taken up", [](Form1& f) { f.GSM_GotFocus(); }, false},
        {"trace's stop button", [](Form1& f) { f.List2_MouseDown(2); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        Form1& f = form();
        {
            QSignalBlocker blockList(f.GSM);
            QSignalBlocker blockActive(f.Active);
            f.GSM->setCurrentIndex(2);  // "COM 2"
            f.Active->setChecked(true);
        }
        f.phone.phoneLinked = 0;
        f.Timer1->setInterval(600000);
        f.Timer1->setEnabled(true);

        f.Timer1_Timer();
        ASSERT_TRUE(f.commandCycle->busy());
        c.meanwhile(f);
        QElapsedTimer t;
        t.start();
        while (f.commandCycle->busy() && t.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            w.platform->now = w.platform->now.addMSecs(250);
        }
        ASSERT_FALSE(f.commandCycle->busy());
        EXPECT_EQ(f.Timer1->Enabled(), c.runsAfter);
        EXPECT_EQ(f.Comm1->PortOpen(), c.runsAfter);
        port(2).settle();
        f.Timer1->setEnabled(false);
    }
}

TEST_F(CommandCycleTest, PduThePortDidNotTakeStaysQueued) {
    linkOnPort1();
    Form1& f = form();
    const std::string pdu = "0011000B919471" + std::string(32, '0');
    f.sms.pduPending = pdu;
    f.phone.pollStep = PollStep{4};

    f.Timer1_Timer();
    EXPECT_EQ(port(1).takeUntil("\r"), "at+cmgs=22\r");
    // The link is stopped while the tick waits for the prompt.
    f.List2_MouseDown(2);
    tick();
    EXPECT_EQ(port(1).settle(), "");
    EXPECT_EQ(f.sms.pduPending, pdu);
    EXPECT_EQ(f.sms.smsSendPending, 0);
    EXPECT_EQ(f.Timer1->Interval(), 800);

    // Back on line: the next pass sends it.
    ASSERT_TRUE(f.Comm1->setPortOpen(true));
    f.phone.pollStep = PollStep{4};
    tick();
    EXPECT_EQ(port(1).settle(), "at+cmgs=22\r" + pdu + "\x1A");
    EXPECT_EQ(f.sms.pduPending, "");
    EXPECT_EQ(f.sms.smsSendPending, 1);
    EXPECT_EQ(f.Timer1->Interval(), 5000);
}

TEST_F(CommandCycleTest, PhoneUnpluggedWhilePollingIsFoundAgainWhenBack) {
    Form1& f = form();
    // The port's device is a link that follows the phone, as a udev name
    // does when the phone is plugged in again.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("phone"));
    ASSERT_TRUE(QFile::link(port(1).slave(), link));
    f.Comm1->setDeviceResolver([link](int) { return link; });
    {
        QSignalBlocker block(f.GSM);
        f.GSM->setCurrentIndex(1);  // "COM 1"
    }
    f.Comm1->setCommPort(1);
    ASSERT_TRUE(f.Comm1->setPortOpen(true));
    f.phone.phoneLinked = 1;
    f.phone.pollStep = PollStep{3};
    // Read before: two phone-book entries (the second one chosen), a cached
    // SMS, a PDU handed to the phone whose answer is still to come, a read
    // under way and the start of an answer line.
    f.InterpretResponse("+CPBS: \"SM\",2,100");
    f.InterpretResponse("+CPBR: 1,\"+4917612345678\",145,\"Anna\"");
    f.InterpretResponse("+CPBR: 2,\"03012345678\",129,\"Bernd\"");
    f.Combo1->setCurrentIndex(1);
    f.calls.phoneBookSum = 3;
    f.sms.smsCache[2] = "22:07919471060040F9040B919421436587F90000401121410500800361F118";
    f.sms.smsSendPending = 1;
    f.sms.smsReadState = SmsRead{2};
    tick();
    EXPECT_EQ(port(1).settle(), "AT+COPS=3,2;+COPS?;+COPS=3,0\r");
    port(1).send("+CPBR: 3,\"0304");
    ASSERT_TRUE(runUntil([&] { return !f.phone.lineBuffer.empty(); }));

    // Unplugged: the far end goes away while the port is open.
    port(1).close();
    ASSERT_TRUE(runUntil([&] { return !f.Comm1->PortOpen(); }));
    // The answer line cut off is dropped with the line.
    EXPECT_EQ(f.phone.lineBuffer, "");
    tick(true);
    EXPECT_EQ(f.phone.phoneLinked, 0);
    EXPECT_FALSE(f.Comm1->PortOpen());
    // What the answers lost would have told is read anew: the schedule
    // starts over, the books are read again (the list keeps its choice
    // meanwhile), the SMS list is emptied for its new reading, the read is
    // asked again, and the send's outcome is unknown, not "OK".
    EXPECT_EQ(f.phone.pollStep, PollStep{0});
    EXPECT_EQ(f.calls.phoneBookRenew, 1);
    EXPECT_EQ(f.calls.phoneBookCount, 0);
    EXPECT_EQ(f.calls.phoneBookSum, 0);
    EXPECT_EQ(f.Combo1->count(), 2);
    EXPECT_EQ(f.Combo1->currentText(), QStringLiteral("Bernd : 03012345678"));
    EXPECT_EQ(f.sms.smsCache[2], "");
    EXPECT_EQ(f.sms.smsReadState, SmsRead{1});
    EXPECT_EQ(f.sms.smsSendPending, 0);
    EXPECT_EQ(f.Text1->text(),
              QStringLiteral("SMS: Sendestatus unbekannt, Verbindung zum Handy unterbrochen"));

    // Back, on a new line under the same name.
    PtyPhone back;
    ASSERT_TRUE(back.ok());
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(back.slave(), link));
    tick(true);
    EXPECT_TRUE(f.Comm1->PortOpen());
    EXPECT_EQ(back.settle(), "AT+CBC\r");
    EXPECT_EQ(f.phone.pollStep, PollStep{0});

    // Another book this time. Its entries replace the list once the last
    // book is through, and the entry chosen stays chosen.
    f.phone.phoneLinked = 1;
    f.InterpretResponse("+CPBS: \"SM\",2,100");
    f.InterpretResponse("+CPBR: 1,\"0401234\",129,\"Clara\"");
    f.InterpretResponse("+CPBR: 2,\"03012345678\",129,\"Bernd\"");
    EXPECT_EQ(f.Combo1->count(), 2);
    EXPECT_EQ(f.Combo1->currentIndex(), 1);
    // The read cut off is asked again first.
    f.sms.smsStorage = "\"SM\"";
    f.sms.smsIndex = "4";
    tick();
    EXPECT_EQ(back.settle(), "AT+CPMS=\"SM\";+CMGR=4\r");
    f.phone.pollStep = PollStep{14};
    tick();
    EXPECT_EQ(f.calls.phoneBookRenew, 0);
    ASSERT_EQ(f.Combo1->count(), 2);
    EXPECT_EQ(f.Combo1->itemText(0), QStringLiteral("Clara : 0401234"));
    EXPECT_EQ(f.Combo1->currentText(), QStringLiteral("Bernd : 03012345678"));
    EXPECT_EQ(f.calls.phoneBookCount, 2);
}

TEST_F(CommandCycleTest, CallPausesTheCycleUntilItsPhoneIsUnplugged) {
    linkOnPort1();
    Form1& f = form();
    f.calls.callActive = 1;
    f.Check1->setToolTip(QStringLiteral("auflegen"));
    f.phone.pollStep = PollStep{4};
    tick();
    EXPECT_EQ(port(1).settle(), "");
    EXPECT_EQ(f.calls.callActive, 1);

    port(1).close();
    ASSERT_TRUE(runUntil([&] { return !f.Comm1->PortOpen(); }));
    tick(true);
    EXPECT_EQ(f.calls.callActive, 0);
    EXPECT_EQ(f.phone.phoneLinked, 0);
    EXPECT_EQ(f.phone.pollStep, PollStep{0});
    EXPECT_EQ(f.Check1->toolTip(), QStringLiteral("Telefonbuch"));
}

TEST(WaitSeconds, EndsByTheClockAlsoAcrossMidnight) {
    WindowFixture w;
    Form1& f = w.make();
    const QDate day(2024, 12, 31);
    struct Case {
        const char* legend;
        QDateTime start, later;
        double seconds;
        bool over;
    };
    const std::vector<Case> cases = {
        {"before the time", QDateTime(day, QTime(12, 0, 0)), QDateTime(day, QTime(12, 0, 1, 900)),
         2, false},
        {"at the time", QDateTime(day, QTime(12, 0, 0)), QDateTime(day, QTime(12, 0, 2)), 2, true},
        {"over midnight, not yet", QDateTime(day, QTime(23, 59, 59)),
         QDateTime(day.addDays(1), QTime(0, 0, 0)), 2, false},
        {"over midnight, done", QDateTime(day, QTime(23, 59, 59)),
         QDateTime(day.addDays(1), QTime(0, 0, 1)), 2, true},
        {"clock set back", QDateTime(day, QTime(12, 0, 0)), QDateTime(day, QTime(11, 0, 0)), 2,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.legend);
        w.platform->now = c.start;
        CommandCycle::WaitSecondsClock wait(f.platform(), c.seconds);
        w.platform->now = c.later;
        EXPECT_EQ(wait.over(), c.over);
    }

    // A clock set back does not stretch the wait beyond its real length.
    w.platform->now = QDateTime(day, QTime(12, 0, 0));
    CommandCycle::WaitSecondsClock wait(f.platform(), 0.2);
    w.platform->now = QDateTime(day, QTime(11, 0, 0));
    // Measured by the clock alone it would last an hour; the deadline is
    // generous for a slow machine and far below that.
    EXPECT_TRUE(runUntil([&] { return wait.over(); }, 60000));
}

}  // namespace
