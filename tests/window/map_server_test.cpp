// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/map_server.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>
#include <vector>

#include "app/output/map_link.h"
#include "core/map_page.h"
#include "core/position_texts.h"
#include "tests/window/output_test_support.h"
#include "tests/window/pty_phone.h"

namespace {

// One request over a fresh connection; the whole answer.
QByteArray ask(quint16 port, const QByteArray& request) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    QByteArray got;
    bool closed = false;
    QObject::connect(&s, &QAbstractSocket::disconnected, [&] { closed = true; });
    runUntil([&] { return s.state() == QAbstractSocket::ConnectedState; });
    s.write(request);
    runUntil(
        [&] {
            got += s.readAll();
            return closed;
        },
        5000);
    return got + s.readAll();
}

TEST(MapServer, AnswersThePageAndLeafletAndRefusesEverythingElse) {
    MapServer server;
    ASSERT_TRUE(server.start(0));
    const quint16 port = server.port();
    struct Case {
        const char* legend;
        QByteArray request;
        const char* statusLine;
        const char* contains;
    };
    const std::vector<Case> cases = {
        {"the page",
         "GET /map.aspx?L=EUR&C=48.1234,11.575&A=2&P=%7C48.1234,11.575%7C1%7CLog%7CL1%7C "
         "HTTP/1.1\r\nHost: x\r\n\r\n",
         "HTTP/1.1 200 OK", "\"label\":\"Log\""},
        {"the page with the cells of an estimate",
         "GET /map.aspx?L=EUR&C=48.1234,11.575&A=2&R=300&Z=S48.12,11.57;48.13,11.58&P=%7C48.1234,"
         "11.575%7C1%7CDB%7CL1%7C HTTP/1.1\r\n\r\n",
         "HTTP/1.1 200 OK",
         "\"cells\":[{\"latitude\":48.12,\"longitude\":11.57,\"serving\":true},{\"latitude\":48."
         "13,"},
        {"Leaflet's script", "GET /leaflet/leaflet.js HTTP/1.1\r\n\r\n", "HTTP/1.1 200 OK",
         "Leaflet"},
        {"the marker picture", "GET /leaflet/images/marker-icon.png HTTP/1.1\r\n\r\n",
         "HTTP/1.1 200 OK", "PNG"},
        {"a file beside Leaflet's", "GET /leaflet/../../../../etc/passwd HTTP/1.1\r\n\r\n",
         "HTTP/1.1 404 Not Found", ""},
        {"the same, URL-encoded", "GET /leaflet/%2e%2e/%2e%2e/%2e%2e/etc/passwd HTTP/1.1\r\n\r\n",
         "HTTP/1.1 404 Not Found", ""},
        {"Leaflet's file with a NUL and another extension",
         "GET /leaflet/leaflet.js%00.png HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found", ""},
        {"a request head beyond 4 KB",
         "GET /map.js HTTP/1.1\r\nX: " + QByteArray(8000, 'a') + "\r\n\r\n",
         "HTTP/1.1 431 Request Header Fields Too Large", ""},
        {"not HTTP", QByteArray(100, '\x16') + "\r\n\r\n", "HTTP/1.1 400 Bad Request", ""},
    };
    for (const auto& c : cases) {
        const QByteArray answer = ask(port, c.request);
        EXPECT_TRUE(answer.startsWith(c.statusLine))
            << c.legend << ": " << answer.left(80).toStdString();
        EXPECT_TRUE(answer.contains(c.contains)) << c.legend;
    }
    EXPECT_EQ(server.answered(431), 1);
}

TEST(MapServer, IdleConnectionsMakeRoomAndClosingWithThemOpenIsClean) {
    auto server = std::make_unique<MapServer>();
    ASSERT_TRUE(server->start(0));
    const quint16 port = server->port();
    // More trickling connections than places, each with half a request.
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < MapServer::kMaxConnections + 4; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QHostAddress::LocalHost, port);
        idle.back()->write("GET /map.js HTTP/1.1\r\n");
    }
    ASSERT_TRUE(runUntil([&] { return server->evicted() == 4; }));
    // The page is still served, at the cost of the oldest idle one.
    EXPECT_TRUE(ask(port, "GET /map.js HTTP/1.1\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
    EXPECT_EQ(server->evicted(), 5);
    EXPECT_LE(server->openConnections(), MapServer::kMaxConnections);
    // Ending the program with connections open must not touch the server's
    // books after they are gone (the sanitizer build sees it).
    server.reset();
    QCoreApplication::processEvents();
}

TEST(MapServer, ListensOnTheLoopbackOnly) {
    MapServer server;
    ASSERT_TRUE(server.start(0));
    QTcpSocket s;
    // Any address of this machine other than 127.0.0.1 is refused.
    s.connectToHost(QHostAddress(QStringLiteral("127.0.0.2")), server.port());
    EXPECT_TRUE(runUntil([&] { return s.state() == QAbstractSocket::UnconnectedState; }));
}

TEST(MapLink, MBlastOpensTheChosenSourcesAddressAndTheReplayTheLoggedPosition) {
    OutputWindow w;
    PtyPhone reader;
    ASSERT_TRUE(reader.ok());
    const int holder = ::open(reader.slave().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    Form1& f = w.makeOutput("[Devices]\r\nCOM4=" + reader.slave().toLocal8Bit() +
                            "\r\n[Map]\r\nBase=http://m\r\n");
    f.position.mapAddress = "http://m/map.aspx?L=EUR&C=1,2&A=2&P=|1,2|1|o2-52C35335 14:05|L1|";
    f.sms.smsMapLink = "http://m/map.aspx?L=EUR&C=3,4&A=2&P=|3,4|1|+49171 14:06|L1|";
    f.MBlast->setChecked(true);
    f.MBlast->setChecked(false);  // unticking opens nothing
    f.cSMS->setChecked(true);
    f.MBlast->setChecked(true);
    ASSERT_EQ(w.platform->urls.size(), 2);
    EXPECT_EQ(w.platform->urls[0].toStdString(), f.position.mapAddress);
    EXPECT_EQ(w.platform->urls[1].toStdString(), f.sms.smsMapLink);

    // The replay: to the serial output and to the map, every tick.
    w.chooseOutput(QStringLiteral("COM 4"));
    f.position.reviewRmc = "$GPRMC,120000,A,4807.4040,N,01134.5000,E,,,081226,0,E*6B";
    f.position.reviewGga = "$GPGGA,120000,4807.4040,N,01134.5000,E,1,12,,,M,,M,,,*4B";
    f.Timer5_Timer();
    EXPECT_EQ(reader.settle(100), f.position.reviewRmc + "\r\n" + f.position.reviewGga + "\r\n");
    ASSERT_EQ(w.platform->urls.size(), 3);
    EXPECT_EQ(
        w.platform->urls[2],
        QStringLiteral("http://m/map.aspx?L=EUR&C=48.1234,11.575&A=2&P=|48.1234,11.575|1|Log|L1|"));
    // Output off: the map still opens, nothing goes out.
    w.chooseOutput(QStringLiteral("AUS"));
    f.Timer5_Timer();
    EXPECT_EQ(w.platform->urls.size(), 4);
    EXPECT_EQ(reader.settle(50), "");
    // A logged sentence without a readable position opens no map.
    f.position.reviewRmc = "$GPRMC,120000,A";
    f.Timer5_Timer();
    EXPECT_EQ(w.platform->urls.size(), 4);
    ::close(holder);
}

// The map page in a real browser: headless Chromium, no network (the tiles
// fail), and still the marker stands at the position with its label, the
// cells of an estimate beside it.
TEST(MapServer, ChromiumShowsTheMarkerWithItsLabel) {
    MapServer server;
    ASSERT_TRUE(server.start(0));
    // With the two cells of an estimate beside it, drawn as circles.
    std::string address =
        funkor::mapAddress(funkor::mappage::defaultBase(server.port()), 52.5037951085233,
                           13.4522282368411, "o2-52C35335 14:05");
    address.insert(address.find("&P="), "&Z=S52.502,13.45;52.505,13.455");
    QTemporaryDir profile;
    QProcess chromium;
    chromium.start(
        QStringLiteral("chromium"),
        {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
         QStringLiteral("--disable-gpu"), QStringLiteral("--disable-quic"),
         QStringLiteral("--no-first-run"), QStringLiteral("--disable-background-networking"),
         QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
         QStringLiteral("--user-data-dir=") + profile.path(),
         QStringLiteral("--window-size=800,600"), QStringLiteral("--virtual-time-budget=5000"),
         QStringLiteral("--dump-dom"),
         QUrl(QString::fromStdString(address)).toString(QUrl::FullyEncoded)});
    // The server runs on this thread: the events must go on meanwhile.
    ASSERT_TRUE(runUntil([&] { return chromium.state() == QProcess::NotRunning; }, 90000))
        << "chromium did not finish";
    const QString dom = QString::fromUtf8(chromium.readAllStandardOutput());
    ASSERT_FALSE(dom.isEmpty()) << chromium.readAllStandardError().toStdString();
    EXPECT_TRUE(dom.contains(QStringLiteral("data-marker=\"52.5037951085233,13.4522282368411\"")))
        << dom.left(2000).toStdString();
    EXPECT_TRUE(dom.contains(QStringLiteral("leaflet-marker-icon")));
    EXPECT_TRUE(dom.contains(QStringLiteral("data-cells=\"2\"")));
    EXPECT_EQ(dom.count(QStringLiteral("funkor-cell")), 2);
    EXPECT_TRUE(
        dom.contains(QStringLiteral("<span class=\"funkor-label\">o2-52C35335 14:05</span>")));
    // The view is centred on the marker: it stands in the middle of the map.
    const auto point =
        QRegularExpression(QStringLiteral("data-marker-point=\"(\\d+),(\\d+)\"")).match(dom);
    const auto size =
        QRegularExpression(QStringLiteral("data-map-size=\"(\\d+),(\\d+)\"")).match(dom);
    ASSERT_TRUE(point.hasMatch() && size.hasMatch());
    EXPECT_GT(size.captured(1).toInt(), 0);
    EXPECT_NEAR(point.captured(1).toInt(), size.captured(1).toInt() / 2, 1);
    EXPECT_NEAR(point.captured(2).toInt(), size.captured(2).toInt() / 2, 1);
    EXPECT_GE(server.answered(200), 4);  // page, Leaflet, its style, the script
}

}  // namespace
