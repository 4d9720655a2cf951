// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A drive through three O2 cells with logging on: the program against the
// simulated phone over a pseudo-terminal, the position log it writes, and
// the log exported to GPX and read back by gpsbabel.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QProcess>
#include <QThread>

#include "core/at_network.h"
#include "core/grid.h"
#include "core/ini_file.h"
#include "core/nmea.h"
#include "core/position_log.h"
#include "core/position_texts.h"
#include "tests/e2e/e2e_support.h"

using namespace e2e;

namespace {

struct Stop {
    const char* cell;     // scenario name
    const char* cellKey;  // CI, LAC, network
    const char* positionKey;
    const char* name;  // in the log header
};

// Spandau is named by its cell, the unnamed cell by its site, Berlin-Mitte
// not at all.
const Stop kDrive[] = {
    {"Spandau Altstadt", "52C3533526207", "458180582328", "Spandau"},
    {"", "A0B6533526207", "458805582165", "Ruhleben"},
    {"Berlin-Mitte", "5217526D26207", "459547582169", ""},
};

QJsonObject driveScenario() {
    QJsonObject s = berlinScenario();
    s[QStringLiteral("startCell")] = QStringLiteral("Spandau Altstadt");
    s[QStringLiteral("broadcastEvery")] = 3;
    s[QStringLiteral("operatorScanSeconds")] = 1;
    s.remove(QStringLiteral("repeatEvery"));
    s[QStringLiteral("timeline")] = QJsonArray{
        QJsonObject{{QStringLiteral("t"), 30}, {QStringLiteral("cell"), 2}},
        QJsonObject{{QStringLiteral("t"), 45},
                    {QStringLiteral("cell"), QStringLiteral("Berlin-Mitte")}},
    };
    return s;
}

// The RMC position fields the site's grid position gives after the offset
// of its sector.
std::string rmcFields(const Stop& stop) {
    const funkor::GridPoint p = funkor::applySectorOffset(
        funkor::positionKeyToGrid(stop.positionKey), funkor::sectorOf(stop.cellKey).letter);
    const funkor::GeoPosition g = funkor::gridToWgs84(p.easting, p.northing);
    return funkor::nmeaLatitude(g.latitude) + ",N," + funkor::nmeaLongitude(g.longitude);
}

}  // namespace

TEST(PositionJourney, DriveIsShownLoggedAndExported) {
    DataFolder folder;
    ASSERT_TRUE(folder.dir.isValid());
    const QString scenario = folder.path(QStringLiteral("scenario.json"));
    ASSERT_TRUE(writeJson(scenario, driveScenario()));
    const QString link = folder.path(QStringLiteral("phone"));
    Simulator sim;
    ASSERT_TRUE(sim.start(scenario, link, folder.path(QStringLiteral("phone.log"))));
    folder.setUp(link);
    const std::string ini =
        QFile::encodeName(folder.path(QStringLiteral("Funkor.ini"))).toStdString();
    funkor::ini::writeString(ini, "Trace", "on", "1");
    funkor::ini::writeString(ini, "Trace", "new", "0");
    ASSERT_TRUE(writeText(folder.path(QStringLiteral("Funkor.clf")), "52C3533526207 Spandau\r\n"));
    ASSERT_TRUE(writeText(folder.path(QStringLiteral("Funkor.txt")), "458805 582165 Ruhleben\r\n"));
    ASSERT_TRUE(QFile::copy(source(QStringLiteral("data/O2.txt")), folder.path("O2.txt")));

    const QString snapFile = folder.path(QStringLiteral("snapshot.json"));
    const QString logFile = folder.path(QStringLiteral("Funkor.log"));
    Program funkor;
    funkor.start({QStringLiteral("--data-dir"), folder.dir.path(), QStringLiteral("--snapshot"),
                  snapFile, QStringLiteral("--quit-after"), QStringLiteral("120")});
    // Until the last cell of the drive is in the log, or the program ends.
    QDeadlineTimer deadline(110000);
    while (!readText(logFile).contains(kDrive[2].cellKey) && !deadline.hasExpired())
        QThread::msleep(500);
    ASSERT_TRUE(funkor.stop()) << funkor.errors().toStdString();

    // One entry per cell passed, in order, each with the site's sentences.
    const auto entries = funkor::readPositionLog(readText(logFile).toStdString());
    ASSERT_EQ(entries.size(), std::size(kDrive)) << readText(logFile).toStdString();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Stop& s = kDrive[i];
        SCOPED_TRACE(s.cellKey);
        EXPECT_EQ(entries[i].header,
                  std::string("$GPTXT,") + s.cellKey + "," + s.positionKey + "," + s.name);
        EXPECT_EQ(entries[i].rmc.substr(16, 22), rmcFields(s));
        EXPECT_EQ(entries[i].gga.substr(0, 7), "$GPGGA,");
    }

    const QJsonObject snap = readSnapshot(snapFile);
    EXPECT_EQ(variable(snap, QStringLiteral("positionKey")).toString(),
              QLatin1String(kDrive[2].positionKey));
    EXPECT_EQ(variable(snap, QStringLiteral("gsmRmc")).toString().toStdString().substr(16, 22),
              rmcFields(kDrive[2]));
    EXPECT_TRUE(element(snap, QStringLiteral("PosL"))
                    .value(QStringLiteral("caption"))
                    .toString()
                    .contains(QStringLiteral("N  13")));
    EXPECT_TRUE(element(snap, QStringLiteral("NewL")).value(QStringLiteral("visible")).toBool());

    // The exported drive in a reader that knows nothing of this program.
    const QString gpx = folder.path(QStringLiteral("drive.gpx"));
    QProcess tool;
    tool.start(built(QStringLiteral("tools/funkor-tool/funkor-tool")),
               {QStringLiteral("log-export"), logFile, QStringLiteral("--gpx"), gpx});
    ASSERT_TRUE(tool.waitForFinished(30000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    QProcess babel;
    babel.start(QStringLiteral("gpsbabel"),
                {QStringLiteral("-i"), QStringLiteral("gpx"), QStringLiteral("-f"), gpx,
                 QStringLiteral("-o"), QStringLiteral("unicsv"), QStringLiteral("-F"),
                 QStringLiteral("-")});
    ASSERT_TRUE(babel.waitForFinished(30000));
    const QStringList rows = QString::fromUtf8(babel.readAllStandardOutput())
                                 .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(rows.size(), 1 + static_cast<qsizetype>(std::size(kDrive)))
        << rows.join('\n').toStdString();
    for (std::size_t i = 0; i < std::size(kDrive); ++i) {
        const QString name = *kDrive[i].name ? QString::fromLatin1(kDrive[i].name)
                                             : QString::fromLatin1(kDrive[i].cellKey);
        EXPECT_TRUE(rows[static_cast<qsizetype>(i) + 1].contains(QLatin1Char('"') + name + '"'))
            << rows[static_cast<qsizetype>(i) + 1].toStdString();
    }
}
