// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Funkor as the desktop's location: real geoclue reads the program's
// sentences, found through real Avahi or through the local socket, and its
// where-am-i demo shows the program's position with an accuracy. All on a
// network namespace of the test's own (tests/e2e/geoclue/rig.sh).
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <cmath>

#include <stdlib.h>

#include "core/ini_file.h"
#include "core/nmea.h"
#include "tests/e2e/e2e_support.h"

using namespace e2e;

namespace {

struct Reported {
    double latitude = NAN;
    double longitude = NAN;
    double accuracy = NAN;
    QString txt;  // the TXT record avahi saw
};

// Degrees of an RMC position field pair: "5230.2277,N,01327.1337,E".
double nmeaDegrees(const QString& field, int degreeDigits) {
    return field.left(degreeDigits).toDouble() + field.mid(degreeDigits).toDouble() / 60;
}

double number(const QString& text, const QString& label) {
    const QRegularExpression re(QStringLiteral("^%1:\\s*(-?[0-9.]+)").arg(label),
                                QRegularExpression::MultilineOption);
    const auto m = re.match(text);
    return m.hasMatch() ? m.captured(1).toDouble() : NAN;
}

// What a u-blox 5 receiver standing still sends each second: RMC and GGA
// (HDOP 1.09) with the time of day.
std::string fixedFixBurst(const QDateTime& nowUtc) {
    const std::string time = nowUtc.toString(QStringLiteral("hhmmss")).toStdString() + ".00";
    return funkor::nmeaSentence("GPRMC," + time +
                                ",A,5152.09014,N,00551.68911,E,0.113,,091226,,,A") +
           funkor::nmeaSentence("GPGGA," + time +
                                ",5152.09014,N,00551.68911,E,1,08,1.09,28.2,M,46.9,M,,");
}

// The program on the simulated phone in a Berlin cell that broadcasts its
// site, its LAN output on the rig's link, and what where-am-i reported.
struct Journey {
    DataFolder folder;
    Simulator sim;
    QString rigOutput, rigErrors;
    int rigExit = -1;
    QString gsmRmc;

    // `gps`: the position comes from this receiver on COM 2 instead of the
    // GSM cell.
    Reported run(const QByteArray& lanSettings, const QString& mode,
                 const PtyGpsReceiver* gps = nullptr) {
        Reported r;
        QJsonObject s = berlinScenario();
        s[QStringLiteral("broadcastEvery")] = 3;
        s.remove(QStringLiteral("repeatEvery"));
        s[QStringLiteral("timeline")] = QJsonArray{};
        const QString scenario = folder.path(QStringLiteral("scenario.json"));
        EXPECT_TRUE(writeJson(scenario, s));
        const QString link = folder.path(QStringLiteral("phone"));
        EXPECT_TRUE(sim.start(scenario, link, folder.path(QStringLiteral("phone.log"))));
        folder.setUp(link);
        const std::string ini =
            QFile::encodeName(folder.path(QStringLiteral("Funkor.ini"))).toStdString();
        funkor::ini::writeString(ini, "Ports", "NMEA", "20");  // LAN
        funkor::ini::writeString(ini, "Sources", "GSM", gps ? "0" : "1");
        if (gps) {
            funkor::ini::writeString(ini, "Devices", "COM2",
                                     QFile::encodeName(gps->device()).toStdString());
            funkor::ini::writeString(ini, "Ports", "GPS", "2");
            funkor::ini::writeString(ini, "Sources", "GPS", "1");
        }
        funkor::ini::writeString(ini, "LAN", "Port", "10110");
        funkor::ini::writeString(ini, "LAN", "Address", "10.203.0.1");
        for (const QByteArray& line : lanSettings.split('\n')) {
            const auto kv = line.split('=');
            if (kv.size() == 2)
                funkor::ini::writeString(ini, "LAN", kv[0].toStdString(), kv[1].toStdString());
        }

        QProcess rig;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        rig.setProcessEnvironment(env);
        const QString snapshot = folder.path(QStringLiteral("snapshot.json"));
        rig.start(QStringLiteral("bash"),
                  {source(QStringLiteral("tests/e2e/geoclue/rig.sh")), folder.dir.path(), mode,
                   QStringLiteral("--"), built(QStringLiteral("app/funkor")),
                   QStringLiteral("--data-dir"), folder.dir.path(), QStringLiteral("--snapshot"),
                   snapshot, QStringLiteral("--quit-after"), QStringLiteral("110")});
        rig.waitForFinished(115000);
        rigExit = rig.exitCode();
        rigOutput = QString::fromLocal8Bit(rig.readAllStandardOutput());
        rigErrors = QString::fromLocal8Bit(rig.readAllStandardError());
        gsmRmc = variable(readSnapshot(snapshot), QStringLiteral("gsmRmc")).toString();
        r.latitude = number(rigOutput, QStringLiteral("Latitude"));
        r.longitude = number(rigOutput, QStringLiteral("Longitude"));
        r.accuracy = number(rigOutput, QStringLiteral("Accuracy"));
        for (const QString& line : rigOutput.split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("avahi: ")))
                r.txt = line.section(QLatin1Char(';'), 9);
        return r;
    }

    // The program's own position, from its RMC sentence.
    std::pair<double, double> programPosition() const {
        const QStringList f = gsmRmc.split(QLatin1Char(','));
        if (f.size() < 7) return {NAN, NAN};
        return {nmeaDegrees(f[3], 2), nmeaDegrees(f[5], 3)};
    }
};

void expectProgramsPosition(Journey& j, const Reported& r) {
    ASSERT_EQ(j.rigExit, 0) << j.rigErrors.toStdString() << j.rigOutput.toStdString();
    const auto [lat, lon] = j.programPosition();
    ASSERT_FALSE(std::isnan(lat)) << "no GSM position in the program: " << j.gsmRmc.toStdString();
    // where-am-i prints six decimals.
    EXPECT_NEAR(r.latitude, lat, 2e-6) << j.rigOutput.toStdString();
    EXPECT_NEAR(r.longitude, lon, 2e-6) << j.rigOutput.toStdString();
    EXPECT_GT(r.accuracy, 0) << j.rigOutput.toStdString();
    std::printf("geoclue reported %.6f, %.6f, accuracy %.0f m%s\n", r.latitude, r.longitude,
                r.accuracy, r.txt.isEmpty() ? "" : qPrintable(QStringLiteral(", TXT ") + r.txt));
}

}  // namespace

TEST(DesktopLocation, GeoclueFindsTheAnnouncedServiceAndReportsAnAccuracy) {
    Journey j;
    ASSERT_TRUE(j.folder.dir.isValid());
    const Reported r = j.run("Announce=1", QStringLiteral("avahi"));
    expectProgramsPosition(j, r);
    // The Spandau cell broadcasts its site, and the phone is at timing
    // advance 11 (6 km): more than a street's accuracy.
    EXPECT_EQ(r.txt, QLatin1String("\"accuracy=neighborhood\"")) << j.rigOutput.toStdString();
    // avahi-browse writes a blank of the name as \032.
    EXPECT_TRUE(j.rigOutput.contains(QLatin1String("Funkor\\032on\\032funkor-rig")))
        << j.rigOutput.toStdString();
}

TEST(DesktopLocation, GeoclueReadsTheLocalSocket) {
    Journey j;
    ASSERT_TRUE(j.folder.dir.isValid());
    const Reported r = j.run("Socket=/run/funkor/nmea.sock", QStringLiteral("socket"));
    expectProgramsPosition(j, r);
}

TEST(DesktopLocation, AGpsReceiversFixGoesOnAsReceivedAndIsAnnouncedExact) {
    PtyGpsReceiver gps(fixedFixBurst);
    ASSERT_FALSE(gps.device().isEmpty());
    Reported r;
    int rigExit = -1;
    std::string output;
    // geoclue keeps the first location it reads and takes the same position
    // again for no news. A first read with an RMC but not its GGA gives a
    // location with no accuracy (-1) for as long as the receiver stands
    // still. A tick's sentences leave in one segment, but a machine that
    // stalls for longer than the kernel holds them back can still split
    // them, and the daemons of the rig may be slow to start; a run that
    // fails is tried again, twice at most. Every failed run's output is
    // kept, with the end of geoclue's log, so that a failure says why.
    const double lat = 51 + 52.09014 / 60, lon = 5 + 51.68911 / 60;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        Journey j;
        ASSERT_TRUE(j.folder.dir.isValid());
        r = j.run("Announce=1", QStringLiteral("avahi"), &gps);
        rigExit = j.rigExit;
        if (rigExit == 0 && std::fabs(r.latitude - lat) <= 2e-6 &&
            std::fabs(r.longitude - lon) <= 2e-6 && r.accuracy == 1 &&
            r.txt == QLatin1String("\"accuracy=exact\""))
            break;
        QFile log(j.folder.path(QStringLiteral("geoclue.log")));
        const QByteArray geoclue = log.open(QIODevice::ReadOnly) ? log.readAll().right(4000) : "";
        output += "--- run " + std::to_string(attempt) + ", rig exit " + std::to_string(rigExit) +
                  "\n" + j.rigErrors.toStdString() + j.rigOutput.toStdString() +
                  "--- end of geoclue.log\n" + geoclue.toStdString();
    }
    ASSERT_EQ(rigExit, 0) << output;
    EXPECT_NEAR(r.latitude, lat, 2e-6) << output;
    EXPECT_NEAR(r.longitude, lon, 2e-6) << output;
    // geoclue makes 1 m of the receiver's HDOP 1.09.
    EXPECT_EQ(r.accuracy, 1) << output;
    EXPECT_EQ(r.txt, QLatin1String("\"accuracy=exact\"")) << output;
    std::printf("geoclue reported %.6f, %.6f, accuracy %.0f m, TXT %s\n", r.latitude, r.longitude,
                r.accuracy, qPrintable(r.txt));
}
