// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A drive of the LTE modem through two cells its cell database does not
// hold, twice. First with a GPS receiver on COM 2 that follows the drive's
// track and the recording on: the program records the cells with the fixes
// and, when it ends, learns where they are. Then the same drive without the
// receiver: the learned cells give the positions the database cannot.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>
#include <cmath>
#include <string>

#include "core/cell_database.h"
#include "core/cell_learning.h"
#include "core/ini_file.h"
#include "core/measurements.h"
#include "core/nmea.h"
#include "core/position_log.h"
#include "tests/e2e/e2e_support.h"

using namespace e2e;

namespace {

// The drive: due north from 52.5 N, 13.4 E at 60 m/s (216 km/h), in the
// first cell until the scenario's move at kMoveSeconds, then in the second.
// The program has the modem's cell and operator some 23 s after the start
// (its first pass); from then on each cell is recorded for 7 s or more,
// over 400 m.
constexpr double kStartLat = 52.5;
constexpr double kStartLon = 13.4;
constexpr double kSpeed = 60;
constexpr int kMoveSeconds = 30;
constexpr double kMetresPerDegree = 111195;

const funkor::CellDbKey kFirstCell{"LTE", 262, 1, 0x2A10, 0x1A2B301};
const funkor::CellDbKey kSecondCell{"LTE", 262, 1, 0x2A10, 0x1A2B402};

QJsonObject driveScenario() {
    QFile file(source(QStringLiteral("tools/phonesim/scenarios/lte-modem.json")));
    file.open(QIODevice::ReadOnly);
    QJsonObject s = QJsonDocument::fromJson(file.readAll()).object();
    s[QStringLiteral("cells")] = QJsonArray{
        QJsonObject{{QStringLiteral("name"), QStringLiteral("Strecke Süd")},
                    {QStringLiteral("lac"), QStringLiteral("2A10")},
                    {QStringLiteral("ci"), QStringLiteral("1A2B301")},
                    {QStringLiteral("operator"), QStringLiteral("26201")}},
        QJsonObject{{QStringLiteral("name"), QStringLiteral("Strecke Nord")},
                    {QStringLiteral("lac"), QStringLiteral("2A10")},
                    {QStringLiteral("ci"), QStringLiteral("1A2B402")},
                    {QStringLiteral("operator"), QStringLiteral("26201")}},
    };
    s[QStringLiteral("networks")] = QJsonArray{
        QJsonObject{{QStringLiteral("code"), QStringLiteral("26201")},
                    {QStringLiteral("name"), QStringLiteral("Telekom.de")}},
    };
    s[QStringLiteral("startCell")] = QStringLiteral("Strecke Süd");
    s[QStringLiteral("operatorScanSeconds")] = 1;
    s[QStringLiteral("timeline")] =
        QJsonArray{QJsonObject{{QStringLiteral("t"), kMoveSeconds}, {QStringLiteral("cell"), 1}}};
    return s;
}

// The track: `kSpeed` m/s north of the start for every second since it
// began.
double latitudeAt(double seconds) {
    return kStartLat + kSpeed * seconds / kMetresPerDegree;
}

// The receiver's RMC and GGA at the track's position of `nowUtc`, the track
// having started at `startedMs`.
std::string trackBurst(const QDateTime& nowUtc, qint64 startedMs) {
    const double lat =
        latitudeAt(static_cast<double>(nowUtc.toMSecsSinceEpoch() - startedMs) / 1000);
    const std::string time = nowUtc.toString(QStringLiteral("hhmmss")).toStdString();
    const std::string date = nowUtc.toString(QStringLiteral("ddMMyy")).toStdString();
    const std::string pos =
        funkor::nmeaLatitude(lat) + ",N," + funkor::nmeaLongitude(kStartLon) + ",E";
    return funkor::nmeaSentence("GPRMC," + time + ".00,A," + pos + ",58.3,0.0," + date + ",,,A") +
           funkor::nmeaSentence("GPGGA," + time + ".00," + pos + ",1,09,0.9,40.0,M,44.0,M,,");
}

// Metres north of the start.
double northOfStart(double lat) {
    return (lat - kStartLat) * kMetresPerDegree;
}

double nmeaDegreesOf(const QString& field, int degreeDigits) {
    return field.left(degreeDigits).toDouble() + field.mid(degreeDigits).toDouble() / 60;
}

}  // namespace

TEST(LearningJourney, CellsLearnedOnADriveWithGpsPlaceTheSameDriveWithout) {
    DataFolder folder;
    ASSERT_TRUE(folder.dir.isValid());
    const QString scenario = folder.path(QStringLiteral("scenario.json"));
    ASSERT_TRUE(writeJson(scenario, driveScenario()));
    // The imported database: the OpenCellID sample, which lacks both cells.
    const std::string cellDb =
        QFile::encodeName(folder.path(QStringLiteral("Funkor-cells.db"))).toStdString();
    const funkor::CellImportResult imported = funkor::importCellCsv(
        source(QStringLiteral("tests/data/opencellid/cells-sample.csv")).toStdString(), cellDb);
    ASSERT_TRUE(imported.ok) << imported.error;
    {
        std::string error;
        const auto db = funkor::CellDatabase::open(cellDb, error);
        ASSERT_TRUE(db) << error;
        EXPECT_FALSE(db->lookup(kFirstCell));
        EXPECT_FALSE(db->lookup(kSecondCell));
    }
    const std::string ini =
        QFile::encodeName(folder.path(QStringLiteral("Funkor.ini"))).toStdString();
    const std::string measurements =
        QFile::encodeName(folder.path(QStringLiteral("Funkor-measurements.db"))).toStdString();
    const QString snapFile = folder.path(QStringLiteral("snapshot.json"));

    // First drive: with the receiver, recording.
    {
        // A receiver on a pseudo-terminal drives the track from now on.
        const qint64 started = QDateTime::currentMSecsSinceEpoch();
        PtyGpsReceiver gps([started](const QDateTime& now) { return trackBurst(now, started); });
        ASSERT_FALSE(gps.device().isEmpty());
        Simulator sim;
        const QString link = folder.path(QStringLiteral("modem"));
        ASSERT_TRUE(sim.start(scenario, link, folder.path(QStringLiteral("modem.log"))));
        folder.setUp(link);
        funkor::ini::writeString(ini, "Devices", "COM2",
                                 QFile::encodeName(gps.device()).toStdString());
        funkor::ini::writeString(ini, "Ports", "GPS", "2");
        funkor::ini::writeString(ini, "Measurements", "Record", "1");
        Program funkor;
        funkor.start({QStringLiteral("--data-dir"), folder.dir.path(), QStringLiteral("--snapshot"),
                      snapFile, QStringLiteral("--quit-after"), QStringLiteral("38")});
        ASSERT_TRUE(funkor.waitForExit(45000)) << funkor.errors().toStdString();
        const QString counter = element(readSnapshot(snapFile), QStringLiteral("MessN"))
                                    .value(QStringLiteral("caption"))
                                    .toString();
        EXPECT_TRUE(counter.endsWith(QStringLiteral("(2 Zellen)"))) << counter.toStdString();
    }
    std::string error;
    double firstNorth = 0, secondNorth = 0;
    {
        auto store = funkor::MeasurementStore::openReadOnly(measurements, error);
        ASSERT_TRUE(store) << error;
        const auto first = funkor::findLearned(*store, kFirstCell);
        const auto second = funkor::findLearned(*store, kSecondCell);
        ASSERT_TRUE(first) << store->rowCount() << " rows";
        ASSERT_TRUE(second) << store->rowCount() << " rows";
        firstNorth = northOfStart(first->latitude);
        secondNorth = northOfStart(second->latitude);
        // The first cell served before the move, the second after it.
        EXPECT_LT(firstNorth, kSpeed * kMoveSeconds);
        EXPECT_GT(secondNorth, kSpeed * kMoveSeconds);
        EXPECT_NEAR(first->longitude, kStartLon, 1e-4);
    }

    // Second drive: no receiver, no recording, the positions logged.
    Simulator sim;
    const QString link = folder.path(QStringLiteral("modem2"));
    ASSERT_TRUE(sim.start(scenario, link, folder.path(QStringLiteral("modem2.log"))));
    folder.setUp(link);
    funkor::ini::writeString(ini, "Ports", "GPS", "0");
    funkor::ini::writeString(ini, "Measurements", "Record", "0");
    funkor::ini::writeString(ini, "Trace", "on", "1");
    funkor::ini::writeString(ini, "Trace", "new", "0");
    const QString logFile = folder.path(QStringLiteral("Funkor.log"));
    Program funkor;
    funkor.start({QStringLiteral("--data-dir"), folder.dir.path(), QStringLiteral("--quit-after"),
                  QStringLiteral("60")});
    QDeadlineTimer deadline(60000);
    while (!readText(logFile).contains("$GPRMC") && !deadline.hasExpired()) QThread::msleep(250);
    EXPECT_TRUE(funkor.stop());
    const auto entries = funkor::readPositionLog(readText(logFile).toStdString());
    ASSERT_FALSE(entries.empty()) << "no position in the second drive";
    const funkor::LoggedPosition& e = entries.front();
    const QStringList rmc = QString::fromStdString(e.rmc).split(QLatin1Char(','));
    ASSERT_GE(rmc.size(), 7) << e.rmc;
    const double lat = nmeaDegreesOf(rmc[3], 2), lon = nmeaDegreesOf(rmc[5], 3);
    // The learned row of the cell the modem is in places it (the first
    // one, unless the program was slow to start), within the estimate's
    // margin.
    ASSERT_TRUE(e.cellKey == "01A2B3012A1026201" || e.cellKey == "01A2B4022A1026201") << e.cellKey;
    EXPECT_NEAR(northOfStart(lat), e.cellKey == "01A2B3012A1026201" ? firstNorth : secondNorth, 100)
        << e.rmc;
    EXPECT_NEAR(lon, kStartLon, 0.002) << e.rmc;
}
