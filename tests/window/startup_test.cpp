// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFocusEvent>
#include <QTimeZone>
#include <cstdlib>
#include <ctime>

#include "core/ini_file.h"
#include "tests/window/window_test_support.h"

namespace {

int checkedBaud(const Form1& f) {
    for (int i = 0; i < 3; ++i)
        if (f.Baud[i]->isChecked()) return i;
    return -1;
}

QStringList itemsOf(const QComboBox* c) {
    QStringList l;
    for (int i = 0; i < c->count(); ++i) l << c->itemText(i);
    return l;
}

TEST(Startup, WithoutSettingsFileThePhoneLinkIsOffAndDefaultsApply) {
    WindowFixture fx;
    Form1& f = fx.make();
    EXPECT_EQ(f.GSM->currentText(), QStringLiteral("STOP"));
    EXPECT_EQ(f.GPS->currentText(), QStringLiteral("AUS"));
    EXPECT_EQ(f.NMEA->currentText(), QStringLiteral("AUS"));
    EXPECT_EQ(checkedBaud(f), 0);
    EXPECT_FALSE(f.Trace->isChecked());
    EXPECT_TRUE(f.TrNew->isChecked());
    EXPECT_FALSE(f.TrNew->isEnabled());
    EXPECT_FALSE(f.Timer1->Enabled());
    EXPECT_FALSE(f.cGSM->isEnabled());
    EXPECT_EQ(f.network.cellKey, "*");
    EXPECT_FALSE(f.NewL->isVisibleTo(&f));
    EXPECT_EQ(f.position.o2Lines.count, 0);
    EXPECT_TRUE(f.network.countryTable[262].empty());
    EXPECT_TRUE(fx.platform->messages.isEmpty());
}

TEST(Startup, PortListsHoldTheirFixedEntries) {
    WindowFixture fx;
    Form1& f = fx.make();
    QStringList ports;
    for (int n = 1; n <= 16; ++n) ports << QStringLiteral("COM %1").arg(n);
    EXPECT_EQ(itemsOf(f.GSM), QStringList{"Auto"} + ports + QStringList{"STOP"});
    EXPECT_EQ(itemsOf(f.GPS), QStringList{"AUS"} + ports);
    const QStringList targets = {"Port1", "Port2", "LPT1", "LAN"};
    EXPECT_EQ(itemsOf(f.NMEA), QStringList{"AUS"} + ports + targets);
}

struct SettingsCase {
    const char* label;
    const char* ini;
    int gsm, gps, nmea, baud;  // baud: checked option, -1 none
    bool trace, trNew, timer1;
};

const SettingsCase kSettings[] = {
    {"explicit port and rate", "[Ports]\nGSM=3\nBaud=1\n", 3, 0, 0, 1, false, true, true},
    {"auto search leaves the rate as built", "[Ports]\nGSM=0\nBaud=2\n", 0, 0, 0, -1, false, true,
     true},
    {"STOP selects the saved rate", "[Ports]\nGSM=17\nBaud=2\n", 17, 0, 0, 2, false, true, false},
    {"all keys, CRLF, logging on",
     "[Ports]\r\nGSM=5\r\nGPS=2\r\nNMEA=20\r\nBaud=2\r\n[Trace]\r\non=1\r\nnew=0\r\n", 5, 2, 20, 2,
     true, false, true},
    {"out of range and not numbers give defaults",
     "[Ports]\nGSM=99\nGPS=17\nNMEA=21\nBaud=7\n[Trace]\non=abc\nnew=5\n", 17, 0, 0, 0, false, true,
     false},
    {"negative values give defaults", "[Ports]\nGSM=-1\nGPS=-3\nBaud=-1\n[Trace]\non=-1\n", 17, 0,
     0, 0, false, true, false},
    {"names in any case", "[ports]\ngsm=16\nnmea=19\n[TRACE]\nON=1\n", 16, 0, 19, 0, true, true,
     true},
};

TEST(Startup, SettingsFileChoosesPortsRateAndLogging) {
    for (const auto& c : kSettings) {
        SCOPED_TRACE(c.label);
        WindowFixture fx;
        fx.writeFile(QStringLiteral("Funkor.ini"), c.ini);
        Form1& f = fx.make();
        EXPECT_EQ(f.GSM->currentIndex(), c.gsm);
        EXPECT_EQ(f.GPS->currentIndex(), c.gps);
        EXPECT_EQ(f.NMEA->currentIndex(), c.nmea);
        EXPECT_EQ(checkedBaud(f), c.baud);
        EXPECT_EQ(f.Trace->isChecked(), c.trace);
        EXPECT_EQ(f.TrNew->isChecked(), c.trNew);
        EXPECT_EQ(f.TrNew->isEnabled(), c.trace);
        EXPECT_EQ(f.Timer1->Enabled(), c.timer1);
        EXPECT_EQ(f.cGSM->isEnabled(), c.gsm != 17);
    }
}

TEST(Startup, ExplicitPortSetsThePortNumberAndAutoKeepsIt) {
    WindowFixture fx;
    fx.writeFile(QStringLiteral("Funkor.ini"), "[Ports]\nGSM=12\n");
    Form1& f = fx.make();
    EXPECT_EQ(f.phone.portNumber, 12);
    f.phone.phoneLinked = 1;
    f.GSM->setCurrentIndex(0);  // "Auto"
    EXPECT_EQ(f.phone.portNumber, 12);
    EXPECT_EQ(f.phone.phoneLinked, 0);
    f.cGSM->setChecked(true);
    f.GSM->setCurrentIndex(17);  // "STOP"
    EXPECT_FALSE(f.cGSM->isChecked());
    EXPECT_FALSE(f.cGSM->isEnabled());
}

TEST(Startup, SaveWritesTheChoicesAndKeepsEverythingElse) {
    WindowFixture fx;
    fx.writeFile(QStringLiteral("Funkor.ini"),
                 "; own notes\r\n[Devices]\r\nCOM3=/dev/ttyUSB0\r\n[Ports]\r\nGSM=3\r\n"
                 "Baud=1\r\nExtra=9\r\n");
    Form1& f = fx.make();
    EXPECT_EQ(f.GSM->currentText(), QStringLiteral("COM 3"));
    EXPECT_TRUE(f.Baud[1]->isChecked());
    f.NMEA->setCurrentIndex(20);
    f.Trace->setChecked(true);
    f.SAVE_Click();
    EXPECT_EQ(fx.platform->beeps, 1);
    EXPECT_TRUE(fx.platform->messages.isEmpty());
    const std::string ini = f.settingsPath();
    EXPECT_EQ(funkor::ini::getInt(ini, "Ports", "GSM", -1), 3);
    EXPECT_EQ(funkor::ini::getInt(ini, "Ports", "GPS", -1), 0);
    EXPECT_EQ(funkor::ini::getInt(ini, "Ports", "NMEA", -1), 20);
    EXPECT_EQ(funkor::ini::getInt(ini, "Ports", "Baud", -1), 1);
    EXPECT_EQ(funkor::ini::getInt(ini, "Trace", "on", -1), 1);
    EXPECT_EQ(funkor::ini::getInt(ini, "Trace", "new", -1), 1);
    EXPECT_EQ(funkor::ini::getInt(ini, "Ports", "Extra", -1), 9);
    EXPECT_EQ(funkor::ini::getString(ini, "Devices", "COM3").value_or(""), "/dev/ttyUSB0");
    EXPECT_TRUE(fx.readFile(QStringLiteral("Funkor.ini")).startsWith("; own notes"));

    // What was saved comes back on the next start.
    WindowFixture again;
    again.writeFile(QStringLiteral("Funkor.ini"), fx.readFile(QStringLiteral("Funkor.ini")));
    Form1& g = again.make();
    EXPECT_EQ(g.NMEA->currentText(), QStringLiteral("LAN"));
    EXPECT_TRUE(g.Trace->isChecked());
    EXPECT_TRUE(g.TrNew->isEnabled());
}

TEST(Startup, SaveWithoutChosenRateLeavesTheRateKeyOut) {
    WindowFixture fx;
    fx.writeFile(QStringLiteral("Funkor.ini"), "[Ports]\nGSM=0\n");
    Form1& f = fx.make();
    ASSERT_EQ(checkedBaud(f), -1);
    f.SAVE_Click();
    EXPECT_EQ(funkor::ini::getInt(f.settingsPath(), "Ports", "GSM", -1), 0);
    EXPECT_EQ(funkor::ini::getInt(f.settingsPath(), "Ports", "Baud", -1), -1);
}

TEST(Startup, SaveThatCannotWriteSaysSoInsteadOfBeeping) {
    QTemporaryDir base;
    StartOptions options;
    auto fake = std::make_unique<FakePlatform>();
    FakePlatform* platform = fake.get();
    Form1 f(options, ProgramFolder{base.path() + "/missing/folder", QString()}, std::move(fake));
    f.Form_Load();
    f.SAVE_Click();
    EXPECT_EQ(platform->beeps, 0);
    ASSERT_EQ(platform->messages.size(), 1);
    EXPECT_TRUE(platform->messages[0].contains(QStringLiteral("Funkor.ini")));
}

struct CommandLineCase {
    const char* given;
    const char* stored;
    bool testMode;
};

const CommandLineCase kCommandLines[] = {
    {"", "", false},
    {"T", "", true},
    {"3", "3", false},
    {"3,57600", "3,57600", false},
    {"t", "", false},
    {"abc", "", false},
    {"0", "", false},
    {"3,fast", "", false},
    // Blanks around the parts (also two arguments "3," "57600") are dropped.
    {" 3 , 57600", "3,57600", false},
    {"3, 57600", "3,57600", false},
    {"03", "3", false},
};

TEST(Startup, CommandLineGivesTestModeOrThePhonePort) {
    for (const auto& c : kCommandLines) {
        SCOPED_TRACE(c.given);
        WindowFixture fx;
        Form1& f = fx.make(QString::fromLatin1(c.given));
        EXPECT_EQ(f.phone.commandLine, c.stored);
        EXPECT_EQ(f.List2->isVisibleTo(&f), c.testMode);
        EXPECT_EQ(f.SMSc->isVisibleTo(&f), c.testMode);
        if (c.testMode) {
            EXPECT_EQ(f.List2->y(), f.Netze[1]->y());
            EXPECT_EQ(f.List2->height(), 264);  // 3960 twips
        }
    }
}

TEST(Startup, CountryCodesAreReadAndTheLaterLineWins) {
    WindowFixture fx;
    fx.writeFile(QStringLiteral("GSMcodes.txt"),
                 "262 D   Deutschland alt\r\n232 A   \xD6sterreich\r\n262 D   Deutschland\r\n"
                 "9\r\n901 XX  out of range\r\n");
    Form1& f = fx.make();
    EXPECT_EQ(f.network.countryTable[262], "262 D   Deutschland");
    EXPECT_EQ(f.network.countryTable[232], "232 A   \xD6sterreich");
    EXPECT_TRUE(f.network.countryTable[9].empty());
    EXPECT_TRUE(f.network.countryTable[0].empty());
}

TEST(Startup, RegionFileKeepsAtMostThreeHundredLines) {
    WindowFixture fx;
    QByteArray o2;
    for (int i = 1; i <= 305; ++i) o2 += QByteArray::number(i) + " line\n";
    fx.writeFile(QStringLiteral("O2.txt"), o2);
    Form1& f = fx.make();
    EXPECT_EQ(f.position.o2Lines.count, 300);
    EXPECT_EQ(f.position.o2Lines.lines[1], "1 line");
    EXPECT_EQ(f.position.o2Lines.lines[300], "300 line");
}

TEST(Startup, ShippedDataFilesAreUsedUntilTheFolderHasItsOwn) {
    QTemporaryDir home, shipped;
    auto write = [](const QString& path, const QByteArray& text) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
    };
    write(shipped.path() + "/GSMcodes.txt", "262 D   Deutschland\n");
    write(shipped.path() + "/O2.txt", "4594   5821   33.1 Berlin\n");
    write(home.path() + "/O2.txt", "own\n");
    Form1 f(StartOptions{}, ProgramFolder{home.path(), shipped.path()},
            std::make_unique<FakePlatform>());
    f.Form_Load();
    EXPECT_EQ(f.network.countryTable[262], "262 D   Deutschland");
    EXPECT_EQ(f.position.o2Lines.count, 1);
    EXPECT_EQ(f.position.o2Lines.lines[1], "own");
}

TEST(Startup, TakeOverButtonShowsOnlyWithAPositionLog) {
    WindowFixture fx;
    fx.writeFile(QStringLiteral("Funkor.log"), "$GPTXT,...\r\n");
    Form1& f = fx.make();
    EXPECT_TRUE(f.NewL->isVisibleTo(&f));
}

// The offset follows the system's rules for the real switch dates: the last
// Sundays of March and October (01:00 UTC).
struct OffsetCase {
    const char* label;
    int y, m, d, hourUtc;
    int offset;
};

const OffsetCase kOffsets[] = {
    {"20 March, a Friday, a week before the switch", 2026, 3, 20, 12, 1},
    {"Saturday before the March switch", 2026, 3, 28, 12, 1},
    {"just after the March switch", 2026, 3, 29, 1, 2},
    {"just before the March switch", 2026, 3, 29, 0, 1},
    {"summer", 2026, 7, 15, 12, 2},
    {"17 October, a week before the switch", 2026, 10, 17, 12, 2},
    {"just before the October switch", 2026, 10, 25, 0, 2},
    {"just after the October switch", 2026, 10, 25, 1, 1},
    {"31 October on a Sunday", 2027, 10, 31, 12, 1},
    {"winter", 2027, 1, 10, 12, 1},
};

TEST(Startup, UtcOffsetFollowsTheRealSummerTimeDates) {
    const char* oldTz = std::getenv("TZ");
    std::string saved = oldTz ? oldTz : "";
    // Central European rules written out, so no zone database is needed.
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
    for (const auto& c : kOffsets) {
        SCOPED_TRACE(c.label);
        WindowFixture fx;
        Form1& f = fx.make(QString(), false);
        fx.platform->now = QDateTime(QDate(c.y, c.m, c.d), QTime(c.hourUtc, 30), Qt::UTC);
        f.Form_Load();
        EXPECT_EQ(f.position.utcOffsetHours, c.offset);
    }
    if (oldTz)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(Startup, ActiveOnAMissingPortSaysWhyAndLeavesItClosed) {
    WindowFixture fx;
    fx.writeFile(QStringLiteral("Funkor.ini"),
                 "[Devices]\nCOM2=/dev/funkor-no-such-port\n[Ports]\nGSM=2\n");
    Form1& f = fx.make();
    f.Comm1->setCommPort(2);
    f.Active->setChecked(false);
    EXPECT_FALSE(f.Timer1->Enabled());
    f.phone.phoneLinked = 1;
    f.Active->setChecked(true);
    EXPECT_EQ(f.phone.phoneLinked, 0);
    EXPECT_FALSE(f.Comm1->PortOpen());
    ASSERT_EQ(fx.platform->messages.size(), 1);
    EXPECT_TRUE(fx.platform->messages[0].contains(QStringLiteral("/dev/funkor-no-such-port")));
    // Writing to the closed port fails quietly.
    EXPECT_FALSE(f.Comm1->Output("AT\r"));
}

TEST(Startup, EnteringThePhonePortListStopsTheCycle) {
    WindowFixture fx;
    fx.writeFile(QStringLiteral("Funkor.ini"), "[Ports]\nGSM=4\n");
    Form1& f = fx.make();
    ASSERT_TRUE(f.Timer1->Enabled());
    f.GPS->setEnabled(false);
    f.NMEA->setEnabled(false);
    f.GSM_GotFocus();
    EXPECT_FALSE(f.Timer1->Enabled());
    EXPECT_TRUE(f.GPS->isEnabled());
    EXPECT_TRUE(f.NMEA->isEnabled());
}

TEST(Startup, OnlyTheUserEnteringThePhonePortListStopsTheCycle) {
    struct Case {
        Qt::FocusReason reason;
        bool stops;
    };
    const Case cases[] = {{Qt::MouseFocusReason, true},
                          {Qt::TabFocusReason, true},
                          {Qt::ActiveWindowFocusReason, false},
                          {Qt::PopupFocusReason, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.reason));
        WindowFixture fx;
        fx.writeFile(QStringLiteral("Funkor.ini"), "[Ports]\nGSM=4\n");
        Form1& f = fx.make();
        ASSERT_TRUE(f.Timer1->Enabled());
        QFocusEvent in(QEvent::FocusIn, c.reason);
        QCoreApplication::sendEvent(f.GSM, &in);
        EXPECT_EQ(f.Timer1->Enabled(), !c.stops);
    }
}

TEST(Startup, ClosingTheWindowUnloadsTheSecondWindow) {
    WindowFixture fx;
    Form1& f = fx.make();
    f.form2->List1->addItem(QStringLiteral("report"));
    f.form2->show();
    f.close();
    EXPECT_FALSE(f.form2->isVisible());
    EXPECT_EQ(f.form2->List1->count(), 0);
}

}  // namespace
