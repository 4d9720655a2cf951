// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// `funkor --demo` as a user starts it on a machine without a display.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include "app/support/demo.h"
#include "core/ini_file.h"
#include "tests/e2e/e2e_support.h"

using namespace e2e;

namespace {

// A headless demo with a home and data folder of its own: no display, no
// platform chosen, so the program must pick the offscreen one itself.
struct HeadlessDemo {
    QTemporaryDir home;
    Program funkor;

    HeadlessDemo() {
        auto& env = funkor.environment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("FUNKOR_HOME"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    }
    QString demoFolder() const { return home.path() + QStringLiteral("/data/funkor/demo"); }
};

}  // namespace

// Within a short while the terminal shows the phone with its cell and
// timing advance; the demo folder holds its settings and sample names; the
// simulated phone is gone when the program ends.
TEST(Demo, HeadlessShowsThePhoneAndCleansUp) {
    HeadlessDemo demo;
    ASSERT_TRUE(demo.home.isValid());
    const QString snapFile = demo.home.path() + QStringLiteral("/snapshot.json");
    demo.funkor.start({QStringLiteral("--demo"), QStringLiteral("--snapshot"), snapFile,
                       QStringLiteral("--quit-after"), QStringLiteral("40")});
    const bool live = demo.funkor.waitForOutput(QStringLiteral("| TA ~"), 35000);
    ASSERT_TRUE(demo.funkor.stop()) << demo.funkor.errors().toStdString();
    const QString out = demo.funkor.output();
    EXPECT_TRUE(live) << out.toStdString();

    const QString link = demo.demoFolder() + QStringLiteral("/phone");
    EXPECT_TRUE(out.startsWith(QStringLiteral("Funkor-Demo: simuliertes Handy an /dev/pts/")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(link)) << out.toStdString();
    // The status line names every part the window shows about the phone.
    const QRegularExpression status(QStringLiteral(
        R"(\] SIEMENS S45i \| Akku 80% \| Signal \d+ \(Pegel: \d+%\) \| Netz o2 - de \| )"
        R"(Zelle ([0-9A-F]{8}26207)( "[^"]+")? \| TA ~\d+[.,]\d km)"));
    const auto m = status.match(out);
    ASSERT_TRUE(m.hasMatch()) << out.toStdString();

    // The cell shown is one of the drive's, named from the sample file
    // when the sample names it.
    const QJsonObject snap = readSnapshot(snapFile);
    const QString key = variable(snap, QStringLiteral("cellKey")).toString();
    const QString cellCaption =
        element(snap, QStringLiteral("Cell")).value(QStringLiteral("caption")).toString();
    const QString clf = QString::fromLatin1(readText(demo.demoFolder() + "/Funkor.clf"));
    for (const QString& line : clf.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
        if (line.left(13) == key) {
            EXPECT_EQ(cellCaption, QLatin1Char(' ') + line.mid(14));
        }
    }
    EXPECT_TRUE(QStringList({"04B3533926207", "52C3533526207", "A0B6533526207", "0435526D26207",
                             "5217526D26207", "0407526E26207", "A06A526E26207"})
                    .contains(key))
        << key.toStdString();
    EXPECT_EQ(element(snap, QStringLiteral("Comm1")).value(QStringLiteral("device")).toString(),
              link);

    // The demo folder: COM1 is the link, sample and shipped files copied.
    const std::string ini =
        QFile::encodeName(demo.demoFolder() + QStringLiteral("/Funkor.ini")).toStdString();
    EXPECT_EQ(funkor::ini::getString(ini, "Devices", "COM1").value_or(""),
              QFile::encodeName(link).toStdString());
    EXPECT_EQ(funkor::ini::getInt(ini, "Ports", "GSM", -1), 1);
    EXPECT_EQ(readText(demo.demoFolder() + QStringLiteral("/Funkor.clf")),
              readText(source(QStringLiteral("data/demo/Funkor.clf"))));
    EXPECT_EQ(readText(demo.demoFolder() + QStringLiteral("/Funkor.txt")),
              readText(source(QStringLiteral("data/demo/Funkor.txt"))));
    EXPECT_EQ(readText(demo.demoFolder() + QStringLiteral("/GSMcodes.txt")),
              readText(source(QStringLiteral("data/GSMcodes.txt"))));
    EXPECT_EQ(readText(demo.demoFolder() + QStringLiteral("/Funkor-cells.db")),
              readText(built(QStringLiteral("app/demo/Funkor-cells.db"))));
    // Nothing went to the user's own program folder.
    EXPECT_EQ(QDir(demo.home.path() + QStringLiteral("/data/funkor"))
                  .entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{QStringLiteral("demo")});

    // The simulated phone ended with the program and took its link along.
    EXPECT_FALSE(QFileInfo(link).isSymLink());
}

// A second demo while the first runs gets a folder and phone of its own;
// names the user gave in the first demo's folder survive a restart.
TEST(Demo, SecondDemoUsesItsOwnFolderAndNamesAreKept) {
    HeadlessDemo demo;
    ASSERT_TRUE(demo.home.isValid());
    ASSERT_TRUE(QDir().mkpath(demo.demoFolder()));
    const QByteArray ownNames = "0435526D26207 Tiergarten, von mir benannt\r\n";
    ASSERT_TRUE(writeText(demo.demoFolder() + QStringLiteral("/Funkor.clf"), ownNames));

    demo.funkor.start(
        {QStringLiteral("--demo"), QStringLiteral("--quit-after"), QStringLiteral("30")});
    ASSERT_TRUE(demo.funkor.waitForOutput(QStringLiteral("Ordner "), 10000))
        << demo.funkor.errors().toStdString();

    Program second;
    second.environment() = demo.funkor.environment();
    second.start({QStringLiteral("--demo"), QStringLiteral("--quit-after"), QStringLiteral("30")});
    ASSERT_TRUE(second.waitForOutput(QStringLiteral("Ordner "), 10000));
    EXPECT_TRUE(demo.funkor.stop());
    EXPECT_TRUE(second.stop());

    const QRegularExpression folderOf(QStringLiteral("Ordner (\\S+)"));
    const QString firstFolder = folderOf.match(demo.funkor.output()).captured(1);
    const QString secondFolder = folderOf.match(second.output()).captured(1);
    EXPECT_EQ(firstFolder, QDir::cleanPath(demo.demoFolder()));
    EXPECT_NE(secondFolder, firstFolder);
    EXPECT_FALSE(secondFolder.isEmpty());
    // The temporary folder goes with the second demo.
    EXPECT_FALSE(QFileInfo::exists(secondFolder));
    EXPECT_EQ(readText(demo.demoFolder() + QStringLiteral("/Funkor.clf")), ownNames);
}

// The status line leaves out what the window does not show yet.
TEST(Demo, StatusLineShowsWhatIsKnown) {
    DemoStatus searching;
    searching.device = QStringLiteral("/tmp/x/phone");

    DemoStatus identified;
    identified.linked = true;
    identified.makerModel = QStringLiteral("SIEMENS S45i");
    identified.battery = 80;
    identified.cellKey = QStringLiteral("*");
    identified.timingAdvance = QStringLiteral("*");

    DemoStatus full = identified;
    full.signal = 20;
    full.signalTip = QStringLiteral("Pegel: 67%");
    full.network = QStringLiteral("o2 - de");
    full.cellKey = QStringLiteral("5217526D26207");
    full.cellName = QStringLiteral("Alexanderplatz");
    full.timingAdvance = QStringLiteral("~1.4 km S/O");

    DemoStatus located = full;
    located.position = QStringLiteral("09:20  52\u00B0 30' 13\" N  13\u00B0 27' 8\" O");
    located.region = QStringLiteral("Region: O-BLN / Berlin");

    DemoStatus fromDatabase = full;
    fromDatabase.network = QStringLiteral("T-Mobile D");
    fromDatabase.cellKey = QStringLiteral("2E419D6D26201");
    fromDatabase.cellName.clear();
    fromDatabase.position = QStringLiteral("09:25  52\u00B0 36' 0\" N  12\u00B0 52' 59\" O");
    fromDatabase.positionOrigin = QStringLiteral("Zellen-Datenbank, Reichweite 2,6 km");

    DemoStatus unnamed = full;
    unnamed.cellName.clear();
    unnamed.battery = -1;

    const struct {
        const char* label;
        DemoStatus status;
        double seconds;
        const char* line;
    } rows[] = {
        {"searching", searching, 1.7, "[   1 s] suche Handy an /tmp/x/phone"},
        {"identity only", identified, 5, "[   5 s] SIEMENS S45i | Akku 80%"},
        {"everything", full, 123.4,
         "[ 123 s] SIEMENS S45i | Akku 80% | Signal 20 (Pegel: 67%) | Netz o2 - de | "
         "Zelle 5217526D26207 \"Alexanderplatz\" | TA ~1.4 km S/O"},
        {"with a position", located, 60,
         "[  60 s] SIEMENS S45i | Akku 80% | Signal 20 (Pegel: 67%) | Netz o2 - de | "
         "Zelle 5217526D26207 \"Alexanderplatz\" | TA ~1.4 km S/O | "
         "PosL 09:20  52\u00B0 30' 13\" N  13\u00B0 27' 8\" O | Region: O-BLN / Berlin"},
        {"a position from the cell database", fromDatabase, 310,
         "[ 310 s] SIEMENS S45i | Akku 80% | Signal 20 (Pegel: 67%) | Netz T-Mobile D | "
         "Zelle 2E419D6D26201 | TA ~1.4 km S/O | PosL 09:25  52\u00B0 36' 0\" N  "
         "12\u00B0 52' 59\" O (Zellen-Datenbank, Reichweite 2,6 km)"},
        {"unnamed cell, battery unknown", unnamed, 9,
         "[   9 s] SIEMENS S45i | Signal 20 (Pegel: 67%) | Netz o2 - de | "
         "Zelle 5217526D26207 | TA ~1.4 km S/O"},
    };
    for (const auto& r : rows) {
        EXPECT_EQ(demoStatusLine(r.status, r.seconds).toStdString(), r.line) << r.label;
    }
}

// Along the drive the status line shows the site's position and region, and
// within a minute a second one.
TEST(Demo, PositionsChangeAlongTheDrive) {
    HeadlessDemo demo;
    ASSERT_TRUE(demo.home.isValid());
    demo.funkor.start(
        {QStringLiteral("--demo"), QStringLiteral("--quit-after"), QStringLiteral("75")});
    const QRegularExpression position(QStringLiteral(R"(\| PosL \d\d:\d\d  (52° \d+' \d+" N  )"
                                                     R"(13° \d+' \d+" O) \| Region: [^\n]+/ )"));
    QSet<QString> seen;
    // Reads on until two positions came or the program ended by itself.
    for (int i = 0; i < 45 && seen.size() < 2; ++i) {
        demo.funkor.waitForOutput(QStringLiteral("\x01"), 2000);
        auto it = position.globalMatch(demo.funkor.output());
        while (it.hasNext()) seen.insert(it.next().captured(1));
    }
    EXPECT_TRUE(demo.funkor.stop());
    EXPECT_GE(seen.size(), 2) << demo.funkor.output().toStdString();
}
