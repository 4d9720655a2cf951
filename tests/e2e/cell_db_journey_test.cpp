// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A drive on a network without broadcast positions: the simulated phone on
// Orange France in a cell of the OpenCellID sample, then in a cell no
// database knows. The program finds the first in its cell database, shows
// and logs it, and sends nothing once the phone is in the second.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>
#include <map>
#include <string>
#include <utility>

#include "core/cell_database.h"
#include "core/ini_file.h"
#include "core/position_log.h"
#include "tests/e2e/e2e_support.h"

using namespace e2e;

namespace {

QJsonObject franceScenario() {
    QJsonObject s = berlinScenario();
    s[QStringLiteral("imsi")] = QStringLiteral("208011234567890");
    s[QStringLiteral("networks")] = QJsonArray{
        QJsonObject{{QStringLiteral("code"), QStringLiteral("20801")},
                    {QStringLiteral("name"), QStringLiteral("Orange F")}},
    };
    // GSM,208,1,1795,33036 of the sample (LAC 0x0703, CI 0x810C), and its
    // neighbour id that the sample does not hold.
    s[QStringLiteral("cells")] = QJsonArray{
        QJsonObject{{QStringLiteral("name"), QStringLiteral("Lyon")},
                    {QStringLiteral("lac"), QStringLiteral("0703")},
                    {QStringLiteral("ci"), QStringLiteral("810C")},
                    {QStringLiteral("operator"), QStringLiteral("20801")},
                    {QStringLiteral("ta"), 2}},
        QJsonObject{{QStringLiteral("name"), QStringLiteral("Unbekannt")},
                    {QStringLiteral("lac"), QStringLiteral("0703")},
                    {QStringLiteral("ci"), QStringLiteral("810D")},
                    {QStringLiteral("operator"), QStringLiteral("20801")},
                    {QStringLiteral("ta"), 2}},
    };
    s[QStringLiteral("startCell")] = QStringLiteral("Lyon");
    s[QStringLiteral("operatorScanSeconds")] = 1;
    s.remove(QStringLiteral("repeatEvery"));
    s[QStringLiteral("timeline")] =
        QJsonArray{QJsonObject{{QStringLiteral("t"), 40}, {QStringLiteral("cell"), 1}}};
    return s;
}

// The program on the simulator with the OpenCellID sample as its cell
// database and the trace shown; it ends itself after 65 s, 25 s after the
// scenarios' move to their second cell.
struct DbJourney {
    DataFolder folder;
    Simulator sim;
    Program funkor;
    QString snapFile;
    QString logFile;

    // `database`: a cell database to copy; without one the OpenCellID sample
    // is imported.
    void start(const QJsonObject& scenarioJson, const QString& linkName,
               const QString& database = QString()) {
        ASSERT_TRUE(folder.dir.isValid());
        const QString scenario = folder.path(QStringLiteral("scenario.json"));
        ASSERT_TRUE(writeJson(scenario, scenarioJson));
        const QString link = folder.path(linkName);
        ASSERT_TRUE(sim.start(scenario, link, folder.path(linkName + QStringLiteral(".log"))));
        folder.setUp(link);
        if (database.isEmpty()) {
            const funkor::CellImportResult db = funkor::importCellCsv(
                source(QStringLiteral("tests/data/opencellid/cells-sample.csv")).toStdString(),
                QFile::encodeName(folder.path(QStringLiteral("Funkor-cells.db"))).toStdString());
            ASSERT_TRUE(db.ok) << db.error;
        } else {
            ASSERT_TRUE(QFile::copy(database, folder.path(QStringLiteral("Funkor-cells.db"))));
        }
        const std::string ini =
            QFile::encodeName(folder.path(QStringLiteral("Funkor.ini"))).toStdString();
        funkor::ini::writeString(ini, "Trace", "on", "1");
        funkor::ini::writeString(ini, "Trace", "new", "0");
        snapFile = folder.path(QStringLiteral("snapshot.json"));
        logFile = folder.path(QStringLiteral("Funkor.log"));
        funkor.start({QStringLiteral("--data-dir"), folder.dir.path(), QStringLiteral("--snapshot"),
                      snapFile, QStringLiteral("--quit-after"), QStringLiteral("65")});
    }
};

}  // namespace

TEST(CellDbJourney, KnownCellIsShownAndLoggedAnUnknownOneEndsTheSentences) {
    DbJourney j;
    ASSERT_NO_FATAL_FAILURE(j.start(franceScenario(), QStringLiteral("phone")));
    const QString& snapFile = j.snapFile;
    const QString& logFile = j.logFile;
    Program& funkor = j.funkor;
    QDeadlineTimer deadline(60000);
    while (!readText(logFile).contains("810C070320801") && !deadline.hasExpired())
        QThread::msleep(500);
    const auto entries = funkor::readPositionLog(readText(logFile).toStdString());
    ASSERT_FALSE(entries.empty()) << funkor.errors().toStdString();
    // 45.699417 N, 4.835367 E, estimated, HDOP 2901 m / 19.
    EXPECT_EQ(entries[0].rmc.substr(16, 24), "4541.9650,N,00450.1220,E");
    EXPECT_NE(entries[0].gga.find(",6,03,152.7,"), std::string::npos) << entries[0].gga;
    // After the move to the unknown cell (t = 40 s), until the program ends.
    ASSERT_TRUE(funkor.waitForExit(60000));

    const QJsonObject snap = readSnapshot(snapFile);
    EXPECT_TRUE(variable(snap, QStringLiteral("gsmRmc")).toString().isEmpty());
    EXPECT_EQ(variable(snap, QStringLiteral("cellKey")).toString(),
              QStringLiteral("810D070320801"));
    EXPECT_TRUE(element(snap, QStringLiteral("PosL"))
                    .value(QStringLiteral("caption"))
                    .toString()
                    .isEmpty());
    EXPECT_EQ(funkor::readPositionLog(readText(logFile).toStdString()).size(), 1u);
}

namespace {

// The LTE USB modem in an Australian cell of the sample
// (LTE,505,1,12403,135919105: TAC 0x3073, ECI 0x819F601, south of the
// equator, range 20467 m), then in a neighbour the sample does not hold.
QJsonObject australianModemScenario() {
    QFile file(source(QStringLiteral("tools/phonesim/scenarios/lte-modem.json")));
    file.open(QIODevice::ReadOnly);
    QJsonObject s = QJsonDocument::fromJson(file.readAll()).object();
    QJsonObject sim = s.value(QStringLiteral("sim")).toObject();
    sim[QStringLiteral("imsi")] = QStringLiteral("505011234567890");
    s[QStringLiteral("sim")] = sim;
    s[QStringLiteral("networks")] = QJsonArray{
        QJsonObject{{QStringLiteral("code"), QStringLiteral("50501")},
                    {QStringLiteral("name"), QStringLiteral("Telstra")}},
    };
    s[QStringLiteral("cells")] = QJsonArray{
        QJsonObject{{QStringLiteral("name"), QStringLiteral("Victoria")},
                    {QStringLiteral("lac"), QStringLiteral("3073")},
                    {QStringLiteral("ci"), QStringLiteral("819F601")},
                    {QStringLiteral("operator"), QStringLiteral("50501")}},
        QJsonObject{{QStringLiteral("name"), QStringLiteral("Unbekannt")},
                    {QStringLiteral("lac"), QStringLiteral("3073")},
                    {QStringLiteral("ci"), QStringLiteral("819F602")},
                    {QStringLiteral("operator"), QStringLiteral("50501")}},
    };
    s[QStringLiteral("startCell")] = QStringLiteral("Victoria");
    s[QStringLiteral("operatorScanSeconds")] = 1;
    s[QStringLiteral("timeline")] =
        QJsonArray{QJsonObject{{QStringLiteral("t"), 40}, {QStringLiteral("cell"), 1}}};
    return s;
}

}  // namespace

TEST(CellDbJourney, LteModemInTheSouthIsShownAndAnUnknownCellEndsTheSentences) {
    DbJourney j;
    ASSERT_NO_FATAL_FAILURE(j.start(australianModemScenario(), QStringLiteral("modem")));
    const QString& snapFile = j.snapFile;
    const QString& logFile = j.logFile;
    Program& funkor = j.funkor;
    QDeadlineTimer deadline(60000);
    while (!readText(logFile).contains("$GPRMC") && !deadline.hasExpired()) QThread::msleep(500);
    const auto entries = funkor::readPositionLog(readText(logFile).toStdString());
    ASSERT_FALSE(entries.empty()) << funkor.errors().toStdString();
    // 37.148576 S, 146.449074 E, estimated, HDOP 20467 m / 19.
    EXPECT_NE(entries[0].rmc.find(",3708.9146,S,14626.9444,E,"), std::string::npos)
        << entries[0].rmc;
    EXPECT_NE(entries[0].gga.find(",6,03,1077.2,"), std::string::npos) << entries[0].gga;
    ASSERT_TRUE(funkor.waitForExit(60000));

    const QJsonObject snap = readSnapshot(snapFile);
    EXPECT_EQ(variable(snap, QStringLiteral("cellRadio")).toString(), QStringLiteral("LTE"));
    EXPECT_TRUE(variable(snap, QStringLiteral("gsmRmc")).toString().isEmpty());
    EXPECT_TRUE(element(snap, QStringLiteral("PosL"))
                    .value(QStringLiteral("caption"))
                    .toString()
                    .isEmpty());
}

// The demo's own database, built from its scenario: the drive's leg out west
// on Telekom, which broadcasts no positions, has a position in every cell.
TEST(CellDbJourney, DemoDriveWithoutBroadcastFindsItsCellsInTheDemoDatabase) {
    QJsonObject s = berlinScenario();
    s[QStringLiteral("operatorScanSeconds")] = 1;
    s.remove(QStringLiteral("repeatEvery"));
    s[QStringLiteral("timeline")] =
        QJsonArray{QJsonObject{{QStringLiteral("t"), 5}, {QStringLiteral("cell"), "Nauen"}},
                   QJsonObject{{QStringLiteral("t"), 40}, {QStringLiteral("cell"), "Ketzin"}}};
    DbJourney j;
    ASSERT_NO_FATAL_FAILURE(
        j.start(s, QStringLiteral("phone"), built(QStringLiteral("app/demo/Funkor-cells.db"))));
    QDeadlineTimer deadline(60000);
    while (!readText(j.logFile).contains("2E839D6E26201") && !deadline.hasExpired())
        QThread::msleep(500);
    ASSERT_TRUE(j.funkor.waitForExit(60000));
    // Nauen 52.6 N 12.88306 E (range 2600 m), Ketzin 52.46972 N 12.845 E
    // (1900 m), as the scenario's sites give them.
    std::map<std::string, std::pair<std::string, std::string>> logged;
    for (const auto& e : funkor::readPositionLog(readText(j.logFile).toStdString())) {
        const auto quality = e.gga.find(",6,03,");
        logged[e.cellKey] = {e.rmc.substr(std::min<std::size_t>(16, e.rmc.size()), 24),
                             quality == std::string::npos ? e.gga : e.gga.substr(quality, 12)};
    }
    using Row = std::pair<std::string, std::string>;
    EXPECT_EQ(logged["2E419D6D26201"], Row("5236.0000,N,01252.9836,E", ",6,03,136.8,"));
    EXPECT_EQ(logged["2E839D6E26201"], Row("5228.1832,N,01250.7000,E", ",6,03,100.0,"));
    const QJsonObject snap = readSnapshot(j.snapFile);
    // The decimal separator is the locale's.
    const QString tip =
        element(snap, QStringLiteral("PosL")).value(QStringLiteral("tooltip")).toString();
    EXPECT_TRUE(tip.contains(QRegularExpression(
        QStringLiteral(R"(^Zellen-Datenbank, Reichweite 1[.,]9 km  52[.,]46972° 12[.,]845°$)"))))
        << tip.toStdString();
}
