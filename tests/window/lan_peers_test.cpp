// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The LAN output against real peers: gpsd reading it as a GPS receiver, and
// clients that misbehave.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTimer>
#include <cmath>
#include <thread>

#include <poll.h>

#include <sys/socket.h>

#include "app/output/lan_output.h"
#include "app/output/winsock_control.h"
#include "app/phone/phone_line.h"
#include "tests/window/gpsd_support.h"
#include "tests/window/output_test_support.h"
#include "tests/window/pty_phone.h"

namespace {

// The GSM pair's position as the NMEA fields carry it (four decimals of
// the minute): 5230.2277 N, 01327.1337 E.
constexpr double kGsmLat = 52 + 30.2277 / 60;
constexpr double kGsmLon = 13 + 27.1337 / 60;
// The GPS pair used in rotation: Munich.
constexpr double kGpsLat = 48 + 7.4040 / 60;
constexpr double kGpsLon = 11 + 34.5 / 60;

#if defined(__SANITIZE_ADDRESS__)
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

// Memory this process holds, in bytes: resident memory, or in the sanitizer
// build the heap in use, since there freed blocks stay resident in the
// sanitizer's quarantine.
long residentBytes() {
#if defined(__SANITIZE_ADDRESS__)
    return static_cast<long>(__sanitizer_get_current_allocated_bytes());
#endif
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toLong() * 4096 : 0;
}

// A window sending the GSM position to the LAN every `periodMs`.
struct LanWindow : OutputWindow {
    Form1& start(int periodMs) {
        Form1& f = makeOutput("[LAN]\r\nPort=0\r\nAddress=127.0.0.1\r\n");
        chooseOutput(QStringLiteral("LAN"));
        const auto pair = berlinPair(QDateTime::currentDateTimeUtc());
        f.position.gsmRmc = pair.rmc;
        f.position.gsmGga = pair.gga;
        f.cGSM->setChecked(true);
        f.Timer2_Timer();  // listening from the first tick
        f.Timer2->setInterval(periodMs);
        f.Timer2->setEnabled(true);
        return f;
    }
    quint16 port() const { return form->Winsock->ListeningPort(); }
};

// The positions of the fixes gpsd reports through gpspipe.
std::vector<std::pair<double, double>> gpsdFixes(LanWindow& w, int reports) {
    const QList<QByteArray> lines = gpsdReports(w.port(), reports);
    std::vector<std::pair<double, double>> fixes;
    for (const QByteArray& line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.value(QStringLiteral("class")).toString() == QLatin1String("TPV") &&
            o.contains(QStringLiteral("lat")))
            fixes.emplace_back(o.value(QStringLiteral("lat")).toDouble(),
                               o.value(QStringLiteral("lon")).toDouble());
    }
    return fixes;
}

bool near(const std::pair<double, double>& fix, double lat, double lon) {
    return std::fabs(fix.first - lat) < 1e-6 && std::fabs(fix.second - lon) < 1e-6;
}

TEST(LanPeers, GpsdReportsTheFixFunkorSends) {
    LanWindow w;
    Form1& f = w.start(250);
    const auto fixes = gpsdFixes(w, 20);
    ASSERT_FALSE(fixes.empty());
    for (const auto& fix : fixes)
        EXPECT_TRUE(near(fix, kGsmLat, kGsmLon)) << fix.first << "," << fix.second;
    EXPECT_TRUE(w.platform->messages.isEmpty());
    (void)f;
}

TEST(LanPeers, GpsdReadsBothSourcesInRotation) {
    LanWindow w;
    Form1& f = w.start(250);
    const auto gps = funkor::buildPositionSentences(
        kGpsLat, kGpsLon,
        [] {
            const QDateTime t = QDateTime::currentDateTimeUtc();
            return funkor::CivilTime{t.date().year(), t.date().month(),  t.date().day(),
                                     t.time().hour(), t.time().minute(), t.time().second()};
        }(),
        0);
    f.output.gpsRmc = gps.rmc;
    f.output.gpsGga = gps.gga;
    f.cMULTI->setChecked(true);
    f.cGSM->setChecked(true);
    f.cGPS->setEnabled(true);
    f.cGPS->setChecked(true);
    const auto fixes = gpsdFixes(w, 30);
    bool sawGsm = false, sawGps = false;
    for (const auto& fix : fixes) {
        sawGsm = sawGsm || near(fix, kGsmLat, kGsmLon);
        sawGps = sawGps || near(fix, kGpsLat, kGpsLon);
        EXPECT_TRUE(near(fix, kGsmLat, kGsmLon) || near(fix, kGpsLat, kGpsLon))
            << fix.first << "," << fix.second;
    }
    EXPECT_TRUE(sawGsm);
    EXPECT_TRUE(sawGps);
}

// A reader that takes each read as one fix (as geoclue's network source
// does) gets every tick's RMC and GGA in the same read, even though window
// events run between the sends: the pair alone, and in rotation with the
// identification sentence before it.
TEST(LanPeers, EachReadHoldsWholeTicks) {
    LanWindow w;
    Form1& f = w.start(1000000);  // ticks driven below
    const int client = connectLoopback(w.port());
    ASSERT_GE(client, 0);
    ASSERT_TRUE(runUntil([&] { return f.Winsock->State() == funkor::kLanConnected; }));

    auto count = [](const std::string& text, const char* what) {
        int n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
            ++n;
        return n;
    };
    constexpr int kTicks = 6;
    // Each read as it came, taken at once by a thread of its own, until
    // every tick has arrived.
    std::vector<std::string> reads;
    std::thread reader([&] {
        char buffer[4096];
        for (int rmcs = 0; rmcs < kTicks;) {
            pollfd p{client, POLLIN, 0};
            if (::poll(&p, 1, 10000) <= 0) return;
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) return;
            reads.emplace_back(buffer, static_cast<size_t>(n));
            rmcs += count(reads.back(), "RMC,");
        }
    });
    for (int tick = 0; tick < kTicks; ++tick) {
        if (tick == kTicks / 2) f.cMULTI->setChecked(true);
        f.Timer2_Timer();
        runUntil([] { return false; }, 50);
    }
    reader.join();
    ::close(client);

    int rmcs = 0;
    for (const std::string& r : reads) {
        EXPECT_EQ(count(r, "RMC,"), count(r, "GGA,")) << r;
        EXPECT_TRUE(r.size() >= 2 && r.compare(r.size() - 2, 2, "\r\n") == 0) << r;
        rmcs += count(r, "RMC,");
    }
    EXPECT_EQ(rmcs, kTicks);
}

// ---- Hostile clients ------------------------------------------------------------

TEST(LanHostile, FloodStallAndConnectionStormLeaveTheNextClientWholeSentences) {
    LanWindow w;
    Form1& f = w.start(1000000);  // ticks driven below
    f.List2->show();
    const quint16 port = w.port();
    const long before = residentBytes();

    // A client that floods its input and never reads, with a small window
    // so that the system's buffers fill soon.
    const int hog = connectLoopback(port, 4096);
    ASSERT_GE(hog, 0);
    ASSERT_TRUE(runUntil([&] { return f.Winsock->State() == funkor::kLanConnected; }));
    ::fcntl(hog, F_SETFL, O_NONBLOCK);
    const std::string flood(64 * 1024, 'x');
    // Long sentences, so that what the system buffers is soon exceeded.
    const funkor::SentencePair normal{f.position.gsmRmc, f.position.gsmGga};
    f.position.gsmRmc = "$GPRMC," + std::string(8000, '0') + "*00\r\n";

    // Half an hour of ticks while it floods and does not read; in between, a
    // thousand others try to connect and are refused.
    const QString note = QStringLiteral("# LAN: der Client liest nicht, Sätze werden verworfen");
    int refused = 0;
    bool noted = false;
    for (int tick = 0; tick < 900; ++tick) {
        // The socket fills up: a short or refused write is the point here.
        [[maybe_unused]] const ssize_t sent = ::write(hog, flood.data(), flood.size());
        f.Timer2_Timer();
        if (tick % 2 == 0 && !connectOnce(port)) ++refused;
        // The trace is read and emptied as it goes: laying out thousands of
        // long entries is not what is measured here.
        for (int i = 0; i < f.List2->count(); ++i)
            noted = noted || f.List2->item(i)->text() == note;
        f.List2->clear();
    }
    for (int i = refused; i < 1000; ++i)
        if (!connectOnce(port)) ++refused;
    EXPECT_EQ(refused, 1000);
    EXPECT_LE(f.Winsock->BytesToSend(), WinsockControl::kSendBacklogLimit);
    EXPECT_GT(f.lanOutput->droppedSentences(), 0);
    EXPECT_TRUE(noted);
    EXPECT_LT(residentBytes() - before, 5L * 1024 * 1024);

    // It goes away; no message, and the next client gets whole sentences.
    f.position.gsmRmc = normal.rmc;
    ::close(hog);
    ASSERT_TRUE(runUntil([&] { return f.Winsock->State() == funkor::kLanClosing; }));
    f.Timer2_Timer();
    f.Timer2_Timer();
    ASSERT_EQ(f.Winsock->State(), funkor::kLanListening);
    QTcpSocket next;
    next.connectToHost(QHostAddress::LocalHost, f.Winsock->ListeningPort());
    ASSERT_TRUE(runUntil([&] { return f.Winsock->State() == funkor::kLanConnected; }));
    for (int i = 0; i < 3; ++i) f.Timer2_Timer();
    const std::string expected = (f.position.gsmRmc + f.position.gsmGga);
    ASSERT_TRUE(runUntil(
        [&] { return next.bytesAvailable() >= static_cast<qint64>(3 * expected.size()); }));
    EXPECT_EQ(next.readAll().toStdString(), expected + expected + expected);
    EXPECT_TRUE(w.platform->messages.isEmpty()) << w.platform->messages.join('\n').toStdString();
}

}  // namespace
