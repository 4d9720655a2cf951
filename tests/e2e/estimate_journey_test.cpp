// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One drive per maker's device through the simulated radio network, with
// the network's cell database: the program reads the cells heard with the
// device's own query, shows the estimate, and gpsd reading its LAN output
// reports a fix that is no GPS fix, with the error the estimate's HDOP gives.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QThread>
#include <cmath>

#include "core/cell_database.h"
#include "core/ini_file.h"
#include "tests/e2e/e2e_support.h"

using namespace e2e;

namespace {

struct FamilyDrive {
    const char* family;  // the test's name
    const char* device;  // the simulator's device
    const char* radio;
    const char* query;  // in every read of the cells
};

// The test's name in CTest's list: the family, not the row's bytes.
void PrintTo(const FamilyDrive& d, std::ostream* os) {
    *os << d.family;
}

const FamilyDrive kFamilyDrives[] = {
    {"Siemens", "s45i", "GSM", "^SMONC"},
    {"Quectel", "lte-modem", "LTE", "+QENG=\"neighbourcell\""},
    {"SIMCom", "gsm-module", "GSM", "+CENG?"},
    {"Ublox", "ublox-module", "GSM", "+UCELLINFO?"},
};

// The LTE modem's scenario (phone books, SIM, Telekom among the networks)
// with the device and a slow drive through a city in place of its cells.
QJsonObject driveScenario(const FamilyDrive& d) {
    QFile file(source(QStringLiteral("tools/phonesim/scenarios/lte-modem.json")));
    file.open(QIODevice::ReadOnly);
    QJsonObject s = QJsonDocument::fromJson(file.readAll()).object();
    s[QStringLiteral("phone")] =
        QJsonObject{{QStringLiteral("device"), QString::fromLatin1(d.device)}};
    s.remove(QStringLiteral("cells"));
    s.remove(QStringLiteral("startCell"));
    s.remove(QStringLiteral("timeline"));
    s[QStringLiteral("operatorScanSeconds")] = 1;
    s[QStringLiteral("radio")] =
        QJsonObject{{QStringLiteral("density"), QStringLiteral("city")},
                    {QStringLiteral("radio"), QString::fromLatin1(d.radio)},
                    {QStringLiteral("seed"), 11},
                    {QStringLiteral("speed"), 5}};
    return s;
}

quint16 unusedTcpPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Whether a socket of this machine listens on the loopback port `port`
// (from the kernel's table, without connecting).
bool listensOn(quint16 port) {
    const QByteArray local =
        QByteArray("0100007F:") + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray& line : readText(QStringLiteral("/proc/net/tcp")).split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 3 && f[1] == local && f[3] == "0A") return true;  // LISTEN
    }
    return false;
}

// gpsd reading the LAN output as its GPS receiver; what gpspipe prints of
// the first `lines` lines, the sentences gpsd read and its JSON reports in
// the order they came.
QList<QByteArray> gpsdLines(quint16 lanPort, int lines) {
    const quint16 gpsdPort = unusedTcpPort();
    QProcess gpsd;
    gpsd.start(QStringLiteral("gpsd"),
               {QStringLiteral("-N"), QStringLiteral("-n"), QStringLiteral("-S"),
                QString::number(gpsdPort), QStringLiteral("tcp://127.0.0.1:%1").arg(lanPort)});
    QDeadlineTimer up(10000);
    while (gpsd.waitForStarted(1000) && !listensOn(gpsdPort) && !up.hasExpired())
        QThread::msleep(100);
    QProcess pipe;
    pipe.start(QStringLiteral("gpspipe"),
               {QStringLiteral("-w"), QStringLiteral("-r"), QStringLiteral("-n"),
                QString::number(lines), QStringLiteral("127.0.0.1:%1").arg(gpsdPort)});
    if (!pipe.waitForFinished(15000)) pipe.kill();
    pipe.waitForFinished(1000);
    gpsd.terminate();
    gpsd.waitForFinished(5000);
    return pipe.readAllStandardOutput().split('\n');
}

// Field `n` (0: the sentence's name) of an NMEA sentence.
QByteArray nmeaField(const QByteArray& sentence, int n) {
    const QList<QByteArray> fields = sentence.left(sentence.indexOf('*')).split(',');
    return n < fields.size() ? fields[n] : QByteArray();
}

class EstimateJourney : public ::testing::TestWithParam<FamilyDrive> {};

}  // namespace

TEST_P(EstimateJourney, TheEstimateIsShownAndGpsdReportsItAsNoGpsFix) {
    const FamilyDrive& d = GetParam();
    DataFolder folder;
    ASSERT_TRUE(folder.dir.isValid());
    const QString scenario = folder.path(QStringLiteral("scenario.json"));
    ASSERT_TRUE(writeJson(scenario, driveScenario(d)));
    const QString csv = folder.path(QStringLiteral("cells.csv"));
    const QString link = folder.path(QStringLiteral("phone"));
    const QString log = folder.path(QStringLiteral("phone.log"));
    Simulator sim;
    ASSERT_TRUE(
        sim.start(scenario, link, log,
                  {QStringLiteral("--baud"), QStringLiteral("off"), QStringLiteral("--delay"),
                   QStringLiteral("10"), QStringLiteral("--cells-csv"), csv}));
    const funkor::CellImportResult db = funkor::importCellCsv(
        QFile::encodeName(csv).toStdString(),
        QFile::encodeName(folder.path(QStringLiteral("Funkor-cells.db"))).toStdString());
    ASSERT_TRUE(db.ok) << db.error;

    folder.setUp(link);
    const quint16 lanPort = unusedTcpPort();
    const std::string ini =
        QFile::encodeName(folder.path(QStringLiteral("Funkor.ini"))).toStdString();
    funkor::ini::writeString(ini, "Ports", "NMEA", "20");  // the LAN
    funkor::ini::writeString(ini, "LAN", "Port", std::to_string(lanPort));
    funkor::ini::writeString(ini, "LAN", "Address", "127.0.0.1");
    funkor::ini::writeString(ini, "Sources", "GSM", "1");
    const QString snapFile = folder.path(QStringLiteral("snapshot.json"));
    Program funkor;
    funkor.start({QStringLiteral("--data-dir"), folder.dir.path(), QStringLiteral("--snapshot"),
                  snapFile, QStringLiteral("--quit-after"), QStringLiteral("60")});

    // The second read of the cells turns the first into the estimate.
    const QString query = QString::fromLatin1(d.query);
    QDeadlineTimer deadline(30000);
    while (countLogLines(log, query) < 2 && !deadline.hasExpired()) QThread::msleep(100);
    ASSERT_GE(countLogLines(log, query), 2) << funkor.errors().toStdString();
    // The output listens from its first tick with a position. (A client
    // that comes and goes would make it close until a later tick.)
    QDeadlineTimer listening(10000);
    while (!listensOn(lanPort) && !listening.hasExpired()) QThread::msleep(100);
    ASSERT_TRUE(listensOn(lanPort));
    // Twelve lines: gpsd's greeting and a tick and a half of the output,
    // read before the program asks for the registration (an LTE modem's
    // "not registered for calls" closes the output for a tick).
    const QList<QByteArray> lines = gpsdLines(lanPort, 12);
    // Ended right after a read, the window shows the estimate, also where
    // the serving cell's row was shown since (after the registration).
    const int reads = countLogLines(log, query);
    QDeadlineTimer nextRead(10000);
    while (countLogLines(log, query) == reads && !nextRead.hasExpired()) QThread::msleep(50);
    const bool stopped = funkor.stop();

    // gpsd's error of a fix is 19 m a unit of HDOP (its error model), of
    // the GGA it has read last or the one before: it takes the HDOP into the
    // next fix it reports.
    double hdop = 0, hdopBefore = 0;
    int fixes = 0, withError = 0;
    for (const QByteArray& line : lines) {
        if (line.startsWith("$GPGGA")) {
            EXPECT_EQ(nmeaField(line, 6), "6") << line.constData();  // estimated
            if (nmeaField(line, 8).toDouble() != hdop) hdopBefore = hdop;
            hdop = nmeaField(line, 8).toDouble();
            continue;
        }
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.value(QStringLiteral("class")).toString() != QLatin1String("TPV") ||
            !o.contains(QStringLiteral("lat")))
            continue;
        ++fixes;
        SCOPED_TRACE(line.toStdString());
        // gpsd's dead reckoning: a fix, but none of a satellite receiver.
        EXPECT_EQ(o.value(QStringLiteral("status")).toInt(), 5);
        EXPECT_GE(o.value(QStringLiteral("mode")).toInt(), 2);
        // The simulated city lies around 52.52 N, 13.405 E.
        EXPECT_NEAR(o.value(QStringLiteral("lat")).toDouble(), 52.52, 0.1);
        EXPECT_NEAR(o.value(QStringLiteral("lon")).toDouble(), 13.405, 0.15);
        if (!o.contains(QStringLiteral("eph")) || hdop <= 0) continue;
        ++withError;
        const double eph = o.value(QStringLiteral("eph")).toDouble();
        EXPECT_TRUE(std::fabs(eph - hdop * 19) < 0.1 || std::fabs(eph - hdopBefore * 19) < 0.1)
            << hdop << " " << hdopBefore;
    }
    EXPECT_GT(fixes, 0);
    EXPECT_GT(withError, 0);

    ASSERT_TRUE(stopped);
    const QJsonObject snap = readSnapshot(snapFile);
    const QString tip =
        element(snap, QStringLiteral("PosL")).value(QStringLiteral("tooltip")).toString();
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("^Zellen-Datenbank, (\\d+) Zellen, ± ")).match(tip);
    ASSERT_TRUE(m.hasMatch()) << tip.toStdString();
    // The serving cell and at least one neighbour found in the database.
    EXPECT_GE(m.captured(1).toInt(), 2) << tip.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Families, EstimateJourney, ::testing::ValuesIn(kFamilyDrives),
                         [](const ::testing::TestParamInfo<FamilyDrive>& row) {
                             return std::string(row.param.family);
                         });
