// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The program on the phone port "mm": the simulator's LTE modem, managed by
// the real ModemManager on a bus of the test's own, gives the window its
// identity, operator, cell and a position from the cell database on the LAN
// output; a cell change comes through ModemManager's signals at once; the
// modem gone with its daemon and back is picked up again. Without the
// daemon the trace says so.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <tuple>
#include <vector>

#include "core/cell_database.h"
#include "core/ini_file.h"
#include "core/position_log.h"
#include "tests/e2e/e2e_support.h"
#include "tests/modemmanager/mm_sandbox.h"

using namespace e2e;

namespace {

// The shipped LTE modem's two Berlin cells (TAC 0x1F00, ECI 0x79D9031 and
// 0x79D9102), the move to the second at `moveAt` seconds after ModemManager
// first opened the port.
QJsonObject lteScenario(int moveAt) {
    QFile file(source(QStringLiteral("tools/phonesim/scenarios/lte-modem.json")));
    file.open(QIODevice::ReadOnly);
    QJsonObject s = QJsonDocument::fromJson(file.readAll()).object();
    s[QStringLiteral("timeline")] = QJsonArray{
        QJsonObject{{QStringLiteral("t"), moveAt},
                    {QStringLiteral("cell"), QStringLiteral("Berlin Hackescher Markt")}}};
    return s;
}

constexpr char kFirstCell[] = "079D90311F0026201";
constexpr char kSecondCell[] = "079D91021F0026201";
constexpr char kFirstRmc[] = "5231.3140,N,01324.7920,E";   // 52.5219 N 13.4132 E
constexpr char kSecondRmc[] = "5231.3500,N,01324.1380,E";  // 52.5225 N 13.4023 E

int freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A sentence on the LAN output that contains `needle`; empty after `timeoutMs`.
QByteArray lanSentence(int port, const QByteArray& needle, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    QTcpSocket socket;
    QByteArray seen;
    while (!deadline.hasExpired()) {
        if (socket.state() != QAbstractSocket::ConnectedState) {
            socket.abort();
            socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
            if (!socket.waitForConnected(1000)) {
                QThread::msleep(500);
                continue;
            }
        }
        socket.waitForReadyRead(1000);
        seen += socket.readAll();
        for (const QByteArray& line : seen.split('\n'))
            if (line.contains(needle)) return line.trimmed();
        seen = seen.right(2000);
    }
    return {};
}

// UTC of a logged RMC sentence ("$GPRMC,hhmmss,A,...,ddmmyy,...").
QDateTime rmcTime(const std::string& rmc) {
    const QStringList f = QString::fromStdString(rmc).split(QLatin1Char(','));
    if (f.size() < 10) return {};
    // "yy" reads as 19yy.
    QDateTime t = QDateTime::fromString(f[9] + f[1].left(6), QStringLiteral("ddMMyyHHmmss"));
    t.setTimeSpec(Qt::UTC);
    return t.addYears(100);
}

// When the simulator's time line began: its record's first line.
QDateTime timelineStart(const QString& log) {
    const QByteArray first = readText(log).split('\n').value(0);
    return QDateTime::fromString(QString::fromLatin1(first.left(23)),
                                 QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))
        .toUTC();
}

struct Journey {
    mmtest::Sandbox sandbox;
    DataFolder folder;
    Program funkor;
    QString snapFile, logFile;
    int lanPort = 0;
    QStringList extraArguments;
    std::vector<std::tuple<const char*, const char*, std::string>> settings;

    void start(const QJsonObject& scenario, int quitAfter) {
        if (const QString why = mmtest::Sandbox::unavailable(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        ASSERT_TRUE(folder.dir.isValid());
        const QString scenarioFile = folder.path(QStringLiteral("scenario.json"));
        ASSERT_TRUE(writeJson(scenarioFile, scenario));
        ASSERT_TRUE(sandbox.start(scenarioFile)) << sandbox.error().toStdString();
        folder.setUp(QStringLiteral("mm"));
        const QString csv = folder.path(QStringLiteral("cells.csv"));
        ASSERT_TRUE(writeText(csv,
                              "radio,mcc,net,area,cell,unit,lon,lat,range,samples,changeable,"
                              "created,updated,averageSignal\n"
                              "LTE,262,1,7936,127766577,0,13.4132,52.5219,800,20,1,0,0,0\n"
                              "LTE,262,1,7936,127766786,0,13.4023,52.5225,600,20,1,0,0,0\n"));
        const funkor::CellImportResult db = funkor::importCellCsv(
            QFile::encodeName(csv).toStdString(),
            QFile::encodeName(folder.path(QStringLiteral("Funkor-cells.db"))).toStdString());
        ASSERT_TRUE(db.ok) << db.error;
        const std::string ini =
            QFile::encodeName(folder.path(QStringLiteral("Funkor.ini"))).toStdString();
        lanPort = freePort();
        for (const auto& [section, key, value] : {std::tuple{"Trace", "on", std::string("1")},
                                                  {"Trace", "new", std::string("0")},
                                                  {"Ports", "NMEA", std::string("20")},
                                                  {"Sources", "GSM", std::string("1")},
                                                  {"LAN", "Port", std::to_string(lanPort)},
                                                  {"LAN", "Address", std::string("127.0.0.1")}})
            funkor::ini::writeString(ini, section, key, value);
        for (const auto& [section, key, value] : settings)
            funkor::ini::writeString(ini, section, key, value);
        snapFile = folder.path(QStringLiteral("snapshot.json"));
        logFile = folder.path(QStringLiteral("Funkor.log"));
        funkor.environment().insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"),
                                    sandbox.busAddress());
        funkor.start(QStringList{QStringLiteral("--data-dir"), folder.dir.path(),
                                 QStringLiteral("--snapshot"), snapFile,
                                 QStringLiteral("--quit-after"), QString::number(quitAfter)} +
                     extraArguments);
    }

    // What the program and the daemon said, for a failure's message.
    std::string why() {
        return (funkor.errors() + QStringLiteral("\nModemManager: ") +
                QString::fromLocal8Bit(readText(sandbox.daemonLog()).right(3000)))
            .toStdString();
    }

    std::vector<funkor::LoggedPosition> logged() const {
        return funkor::readPositionLog(readText(logFile).toStdString());
    }
    QStringList trace() const {
        QStringList lines;
        for (const QJsonValue& v : element(readSnapshot(snapFile), QStringLiteral("List2"))
                                       .value(QStringLiteral("items"))
                                       .toArray())
            lines << v.toString();
        return lines;
    }
};

}  // namespace

TEST(ModemManagerJourney, LteModemGivesIdentityOperatorCellPositionAndItsMoveAtOnce) {
    constexpr int kMoveAt = 30;
    Journey j;
    ASSERT_NO_FATAL_FAILURE(j.start(lteScenario(kMoveAt), kMoveAt + 12));
    if (testing::Test::IsSkipped()) return;

    // The first cell's position from the database, on the LAN output.
    const QByteArray first = lanSentence(j.lanPort, kFirstRmc, 40000);
    EXPECT_TRUE(first.startsWith("$GPRMC")) << j.why();
    ASSERT_TRUE(j.funkor.waitForExit(60000));

    const QJsonObject snap = readSnapshot(j.snapFile);
    const QJsonObject info = element(snap, QStringLiteral("Info"));
    EXPECT_EQ(info.value(QStringLiteral("caption")).toString(), QStringLiteral("Quectel\nEC25"));
    EXPECT_EQ(info.value(QStringLiteral("tooltip")).toString(),
              QStringLiteral("SW:EC25EFAR06A03M4G IMEI:866758041234567 IMSI:262011234567890 "
                             "SIM:89490200001234567890"));
    EXPECT_EQ(variable(snap, QStringLiteral("homeNetwork")).toString(), QStringLiteral("26201"));
    EXPECT_EQ(variable(snap, QStringLiteral("operatorCode")).toString(), QStringLiteral("26201"));
    EXPECT_EQ(element(snap, QStringLiteral("Netz")).value(QStringLiteral("caption")).toString(),
              QStringLiteral("Telekom.de"));
    EXPECT_EQ(variable(snap, QStringLiteral("cellKey")).toString(), QLatin1String(kSecondCell));
    EXPECT_EQ(variable(snap, QStringLiteral("cellRadio")).toString(), QStringLiteral("LTE"));
    EXPECT_EQ(variable(snap, QStringLiteral("cellLac")).toInt(), 0x1F00);
    EXPECT_EQ(variable(snap, QStringLiteral("cellCi")).toInt(), 0x79D9102);
    // The simulator's level 24 as ModemManager's LTE signal (RSRP from +CESQ).
    EXPECT_TRUE(element(snap, QStringLiteral("Level"))
                    .value(QStringLiteral("tooltip"))
                    .toString()
                    .contains(QStringLiteral("RSRP")));

    // Both cells were logged; the second came with ModemManager's signal,
    // not with a poll (a pass of the cycle takes about 12 s): it is shown in
    // the same second or the next on an idle machine, and the bound leaves
    // room for a loaded or sanitized run (the log's time has whole seconds).
    const auto entries = j.logged();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].cellKey, kFirstCell);
    EXPECT_NE(entries[0].rmc.find(kFirstRmc), std::string::npos) << entries[0].rmc;
    EXPECT_EQ(entries[1].cellKey, kSecondCell);
    EXPECT_NE(entries[1].rmc.find(kSecondRmc), std::string::npos) << entries[1].rmc;
    const QDateTime moved = timelineStart(j.sandbox.simulatorLog()).addSecs(kMoveAt);
    const QDateTime shown = rmcTime(entries[1].rmc);
    ASSERT_TRUE(moved.isValid() && shown.isValid());
    testing::Test::RecordProperty("moveShownAfterMs", static_cast<int>(moved.msecsTo(shown)));
    EXPECT_LE(moved.msecsTo(shown), 6000)
        << moved.toString(Qt::ISODateWithMs).toStdString() << " " << entries[1].rmc;
    // No AT command of the program reached the modem: ModemManager owns it.
    EXPECT_EQ(countLogLines(j.sandbox.simulatorLog(), QStringLiteral("AT+CBC")), 0);
}

TEST(ModemManagerJourney, ModemSwitchedOffOrGoneWithItsDaemonAndBackIsPickedUpAgain) {
    Journey j;
    ASSERT_NO_FATAL_FAILURE(j.start(lteScenario(600), 60));
    if (testing::Test::IsSkipped()) return;
    ASSERT_FALSE(lanSentence(j.lanPort, kFirstRmc, 40000).isEmpty()) << j.why();
    // Someone switches the modem off and on again ...
    const QStringList modem{QStringLiteral("-m"), QStringLiteral("any")};
    j.sandbox.mmcli(modem + QStringList{QStringLiteral("--disable")});
    QThread::msleep(3000);
    j.sandbox.mmcli(modem + QStringList{QStringLiteral("--enable")});
    QThread::msleep(3000);
    // ... then ModemManager is stopped and started.
    j.sandbox.stopDaemon();
    QThread::msleep(2000);
    ASSERT_TRUE(j.sandbox.startDaemon()) << j.sandbox.error().toStdString();
    ASSERT_TRUE(j.funkor.waitForExit(70000));

    const QJsonObject snap = readSnapshot(j.snapFile);
    const QStringList trace = j.trace();
    const auto off = trace.indexOf(
        QRegularExpression(QStringLiteral(".*Das Modem ist in ModemManager ausgeschaltet.*")));
    const auto gone =
        trace.indexOf(QRegularExpression(QStringLiteral(".*ModemManager läuft nicht mehr.*")));
    EXPECT_GE(off, 0) << trace.join(QLatin1Char('\n')).toStdString();
    EXPECT_GT(gone, off) << trace.join(QLatin1Char('\n')).toStdString();
    // Back: linked again, with the cell it had.
    EXPECT_EQ(variable(snap, QStringLiteral("phoneLinked")).toInt(), 1);
    EXPECT_EQ(element(snap, QStringLiteral("GSM")).value(QStringLiteral("tooltip")).toString(),
              QStringLiteral("Handy-Port"));
    EXPECT_EQ(variable(snap, QStringLiteral("cellKey")).toString(), QLatin1String(kFirstCell));
    EXPECT_EQ(element(snap, QStringLiteral("Netz")).value(QStringLiteral("caption")).toString(),
              QStringLiteral("Telekom.de"));
}

// SMS through Messaging: a position request from another Funkor (packed as
// ASCII) is taken as one, a text is shown, and the automatic position SMS
// goes out through Create and Send to the entry named with --recipient
// (ModemManager reads no phone book). A call through Voice: its caller is
// announced.
TEST(ModemManagerJourney, MessagesAndCallsComeThroughModemManager) {
    QJsonObject scenario = lteScenario(600);
    const QString friendNumber = QStringLiteral("+4917612345678");
    auto sms = [&](int t, const QString& text, bool ascii) {
        QJsonObject m{{QStringLiteral("sender"), friendNumber},
                      {QStringLiteral("time"), QStringLiteral("2026-12-09T21:30:05+01:00")},
                      {QStringLiteral("text"), text}};
        if (ascii) m[QStringLiteral("alphabet")] = QStringLiteral("ascii");
        return QJsonObject{{QStringLiteral("t"), t}, {QStringLiteral("sms"), m}};
    };
    scenario[QStringLiteral("timeline")] = QJsonArray{
        sms(20, QStringLiteral("$SendPosition!"), true),
        sms(30, QStringLiteral("Grüße vom Alex"), false),
        QJsonObject{{QStringLiteral("t"), 40},
                    {QStringLiteral("ring"), friendNumber},
                    {QStringLiteral("rings"), 3}},
    };
    Journey j;
    j.extraArguments = {QStringLiteral("--recipient"), QStringLiteral("Mutti : ") + friendNumber};
    j.settings = {{"Sources", "AutoSend", "1"}};
    ASSERT_NO_FATAL_FAILURE(j.start(scenario, 80));
    if (testing::Test::IsSkipped()) return;
    ASSERT_TRUE(j.funkor.waitForExit(100000));

    const QJsonObject snap = readSnapshot(j.snapFile);
    EXPECT_EQ(element(snap, QStringLiteral("Text2")).value(QStringLiteral("text")).toString(),
              QStringLiteral("Grüße vom Alex"));
    // The line above it has the send status since: Send's answer.
    EXPECT_EQ(element(snap, QStringLiteral("Text1")).value(QStringLiteral("text")).toString(),
              QStringLiteral("SMS: OK"));
    // The request was taken as one; answering it is not allowed here (the
    // box is not ticked at start).
    EXPECT_TRUE(j.trace().contains(
        QStringLiteral("Positionsanfrage von %1: nicht erlaubt").arg(friendNumber)))
        << j.trace().join(QLatin1Char('\n')).toStdString();
    // The caller, announced with the time of the call.
    const QString ringCaption =
        element(snap, QStringLiteral("RingL")).value(QStringLiteral("caption")).toString();
    EXPECT_TRUE(ringCaption.contains(
        QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d  \\") + friendNumber)))
        << ringCaption.toStdString();
    // The list holds the named entry alone, chosen.
    EXPECT_EQ(element(snap, QStringLiteral("Combo1")).value(QStringLiteral("items")).toArray(),
              QJsonArray{QStringLiteral("Mutti : ") + friendNumber});
    // The minute's position SMS (the first cell's, 52.5219 N 13.4132 E) reached
    // the modem through ModemManager.
    EXPECT_GE(
        countLogLines(j.sandbox.simulatorLog(),
                      QStringLiteral("(SMS sent to %1: $5231314,01324792)").arg(friendNumber)),
        1)
        << readText(j.sandbox.simulatorLog()).right(3000).toStdString();
}

TEST(ModemManagerJourney, WithoutTheDaemonTheTraceSaysSoInOneSentence) {
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        GTEST_SKIP() << "dbus-daemon is missing";
    mmtest::Sandbox sandbox;
    ASSERT_TRUE(sandbox.startBus()) << sandbox.error().toStdString();
    DataFolder folder;
    ASSERT_TRUE(folder.dir.isValid());
    folder.setUp(QStringLiteral("mm"));
    const std::string ini =
        QFile::encodeName(folder.path(QStringLiteral("Funkor.ini"))).toStdString();
    funkor::ini::writeString(ini, "Trace", "on", "1");
    const QString snapFile = folder.path(QStringLiteral("snapshot.json"));
    Program funkor;
    funkor.environment().insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), sandbox.busAddress());
    funkor.start({QStringLiteral("--data-dir"), folder.dir.path(), QStringLiteral("--snapshot"),
                  snapFile, QStringLiteral("--quit-after"), QStringLiteral("6")});
    ASSERT_TRUE(funkor.waitForExit(30000));
    EXPECT_EQ(funkor.exitCode(), 0);
    const QJsonObject snap = readSnapshot(snapFile);
    const QString said =
        QStringLiteral("ModemManager läuft nicht; die seriellen Ports gehen weiter.");
    EXPECT_EQ(element(snap, QStringLiteral("GSM")).value(QStringLiteral("tooltip")).toString(),
              said);
    int told = 0;
    for (const QJsonValue& v :
         element(snap, QStringLiteral("List2")).value(QStringLiteral("items")).toArray())
        told += v.toString().contains(said) ? 1 : 0;
    EXPECT_EQ(told, 1);
    EXPECT_EQ(variable(snap, QStringLiteral("phoneLinked")).toInt(), 0);
}
