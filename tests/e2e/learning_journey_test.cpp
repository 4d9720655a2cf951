// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A drive of the LTE modem through two cells its cell database does not
// hold, twice. First with a GPS receiver on COM 2 that follows the drive's
// track and the recording on: the program records the cells with the fixes
// and, when it ends, learns where they are. Then the same drive without the
// receiver: the learned cells give the positions the database cannot.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>
#include <atomic>
#include <cmath>
#include <string>
#include <thread>

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

// A GPS receiver on a pseudo-terminal that drives the track: RMC and GGA
// once a second with the time of day, the position `kSpeed` m/s north of the
// start for every second since it was made.
class TrackReceiver {
  public:
    TrackReceiver() : started_(QDateTime::currentMSecsSinceEpoch()) {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        device_ = QString::fromLocal8Bit(::ptsname(master_));
        termios t{};
        if (::tcgetattr(master_, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(master_, TCSANOW, &t);
        }
        writer_ = std::thread([this] {
            while (!stop_) {
                const QDateTime now = QDateTime::currentDateTimeUtc();
                const double lat =
                    latitudeAt(static_cast<double>(now.toMSecsSinceEpoch() - started_) / 1000);
                const std::string time = now.toString(QStringLiteral("hhmmss")).toStdString();
                const std::string date = now.toString(QStringLiteral("ddMMyy")).toStdString();
                const std::string pos =
                    funkor::nmeaLatitude(lat) + ",N," + funkor::nmeaLongitude(kStartLon) + ",E";
                const std::string burst = funkor::nmeaSentence("GPRMC," + time + ".00,A," + pos +
                                                               ",58.3,0.0," + date + ",,,A") +
                                          funkor::nmeaSentence("GPGGA," + time + ".00," + pos +
                                                               ",1,09,0.9,40.0,M,44.0,M,,");
                const ssize_t written = ::write(master_, burst.data(), burst.size());
                (void)written;
                for (int i = 0; i < 10 && !stop_; ++i) ::usleep(100000);
            }
        });
    }
    ~TrackReceiver() {
        stop_ = true;
        if (writer_.joinable()) writer_.join();
        if (master_ >= 0) ::close(master_);
    }
    const QString& device() const { return device_; }
    static double latitudeAt(double seconds) {
        return kStartLat + kSpeed * seconds / kMetresPerDegree;
    }

  private:
    qint64 started_;
    int master_ = -1;
    QString device_;
    std::atomic<bool> stop_{false};
    std::thread writer_;
};

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
        TrackReceiver gps;
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
