// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Several readers of the LAN output at once, the local socket for the
// desktop's location service, and the announcement without an Avahi
// daemon: real TCP and Unix sockets on this machine.
#include <gtest/gtest.h>

#include <QFile>
#include <QLocalSocket>
#include <QTcpSocket>
#include <memory>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "app/output/avahi_announcer.h"
#include "app/output/lan_output.h"
#include "app/output/local_nmea_server.h"
#include "app/output/winsock_control.h"
#include "core/position_accuracy.h"
#include "tests/window/output_test_support.h"
#include "tests/window/pty_phone.h"

namespace {

const QColor kGreen(0, 255, 0);

// A window sending the Berlin GSM pair to the LAN, ticks driven by the test.
struct ReadersWindow : OutputWindow {
    Form1& start(const QByteArray& lanSettings, const QByteArray& address = "127.0.0.1") {
        Form1& f =
            makeOutput("[LAN]\r\nPort=0\r\nAddress=" + address + "\r\n" + lanSettings + "\r\n");
        chooseOutput(QStringLiteral("LAN"));
        const auto pair = berlinPair();
        f.position.gsmRmc = pair.rmc;
        f.position.gsmGga = pair.gga;
        f.cGSM->setChecked(true);
        f.Timer2_Timer();  // listening from the first tick
        return f;
    }
    std::string tickBytes() const { return form->position.gsmRmc + form->position.gsmGga; }
};

// `n` clients more than the `already` connected.
std::vector<std::unique_ptr<QTcpSocket>> connectClients(Form1& f, int n, int already = 0) {
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < n; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        clients.back()->connectToHost(QHostAddress::LocalHost, f.Winsock->ListeningPort());
        EXPECT_TRUE(runUntil([&] { return f.Winsock->ClientCount() == already + i + 1; })) << i;
    }
    return clients;
}

bool traceHas(Form1& f, const QString& part, int* count = nullptr) {
    int n = 0;
    for (int i = 0; i < f.List2->count(); ++i)
        if (f.List2->item(i)->text().contains(part)) ++n;
    if (count) *count = n;
    return n > 0;
}

}  // namespace

TEST(LanReaders, ThreeClientsGetTheSameStreamInOrder) {
    ReadersWindow w;
    Form1& f = w.start("Clients=3");
    auto clients = connectClients(f, 3);
    EXPECT_EQ(f.Winsock->State(), funkor::kLanConnected);

    // Each tick a new time, so that the order shows in the stream.
    std::string expected;
    for (int tick = 0; tick < 5; ++tick) {
        const auto pair =
            berlinPair(QDateTime(QDate(2026, 12, 8), QTime(13, 5, 0), Qt::UTC).addSecs(2 * tick));
        f.position.gsmRmc = pair.rmc;
        f.position.gsmGga = pair.gga;
        f.Timer2_Timer();
        expected += pair.rmc + pair.gga;
    }
    EXPECT_EQ(f.TCPstat->fillColor(), kGreen);
    for (auto& c : clients) {
        ASSERT_TRUE(
            runUntil([&] { return c->bytesAvailable() >= static_cast<qint64>(expected.size()); }));
        EXPECT_EQ(c->readAll().toStdString(), expected);
    }
    // One leaves; the others go on, and the state stays connected.
    clients[0]->disconnectFromHost();
    ASSERT_TRUE(runUntil([&] { return f.Winsock->ClientCount() == 2; }));
    f.Timer2_Timer();
    EXPECT_EQ(f.Winsock->State(), funkor::kLanConnected);
    for (std::size_t i = 1; i < clients.size(); ++i) {
        ASSERT_TRUE(runUntil([&] {
            return clients[i]->bytesAvailable() >= static_cast<qint64>(w.tickBytes().size());
        }));
        EXPECT_EQ(clients[i]->readAll().toStdString(), w.tickBytes());
    }
    EXPECT_TRUE(w.platform->messages.isEmpty()) << w.platform->messages.join('\n').toStdString();
}

TEST(LanReaders, AClientThatNeverReadsHoldsUpNobody) {
    ReadersWindow w;
    Form1& f = w.start("Clients=3");
    f.List2->show();
    // Long sentences, so that what the system buffers for the idle client
    // (some MB on loopback) is soon exceeded.
    f.position.gsmRmc = "$GPRMC," + std::string(32000, '0') + "*00\r\n";
    const std::string tick = w.tickBytes();

    const int hog = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int small = 4096;
    ::setsockopt(hog, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(f.Winsock->ListeningPort());
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(hog, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_TRUE(runUntil([&] { return f.Winsock->ClientCount() == 1; }));
    auto readers = connectClients(f, 2, 1);
    ASSERT_EQ(f.Winsock->ClientCount(), 3);

    // Every tick reaches the readers before the next one is made: the idle
    // client never puts them one tick behind.
    const QString note = QStringLiteral("ein Client liest nicht");
    bool noted = false;
    std::vector<std::string> got(readers.size());
    constexpr int kTicks = 200;
    for (int n = 1; n <= kTicks; ++n) {
        f.Timer2_Timer();
        // The trace is read and emptied as it goes: laying out hundreds of
        // long entries is not what is looked at here.
        noted = noted || traceHas(f, note);
        f.List2->clear();
        for (std::size_t i = 0; i < readers.size(); ++i) {
            ASSERT_TRUE(runUntil([&] {
                got[i] += readers[i]->readAll().toStdString();
                return got[i].size() >= n * tick.size();
            })) << "reader "
                << i << " behind at tick " << n;
        }
    }
    for (const std::string& g : got) EXPECT_EQ(g.size(), kTicks * tick.size());
    EXPECT_EQ(got[0], got[1]);
    EXPECT_GT(f.lanOutput->droppedSentences(), 0);
    EXPECT_LE(f.Winsock->BytesToSend(), NmeaReaders::kBacklogLimit);
    EXPECT_TRUE(noted);
    ::close(hog);
    EXPECT_TRUE(runUntil([&] { return f.Winsock->ClientCount() == 2; }));
    EXPECT_TRUE(w.platform->messages.isEmpty()) << w.platform->messages.join('\n').toStdString();
}

TEST(LanReaders, TheNinthOfEightIsRefusedUntilOneLeaves) {
    ReadersWindow w;
    Form1& f = w.start("Clients=8");
    const quint16 port = f.Winsock->ListeningPort();
    auto clients = connectClients(f, 8);
    EXPECT_FALSE(connectOnce(port));
    EXPECT_EQ(f.Winsock->ClientCount(), 8);

    clients[3]->disconnectFromHost();
    ASSERT_TRUE(runUntil([&] { return f.Winsock->ClientCount() == 7; }));
    QTcpSocket ninth;
    ninth.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(runUntil([&] { return f.Winsock->ClientCount() == 8; }));
    f.Timer2_Timer();
    ASSERT_TRUE(runUntil(
        [&] { return ninth.bytesAvailable() >= static_cast<qint64>(w.tickBytes().size()); }));
    EXPECT_EQ(ninth.readAll().toStdString(), w.tickBytes());
}

TEST(LanReaders, ClientsSettingIsKeptWithinOneToEight) {
    const std::vector<std::pair<QByteArray, int>> cases = {
        {"Clients=0", 1}, {"Clients=2", 2}, {"Clients=99", 8}, {"Clients=x", 1}};
    for (const auto& [setting, clients] : cases) {
        ReadersWindow w;
        Form1& f = w.start(setting);
        EXPECT_EQ(f.Winsock->MaxClients(), clients) << setting.toStdString();
    }
}

TEST(LanReaders, LocalSocketServesSeveralReadersWithTheHdopOfTheSource) {
    ReadersWindow w;
    const QString path = w.path(QStringLiteral("nmea.sock"));
    // A socket left behind by a program that ended is replaced.
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        const QByteArray native = QFile::encodeName(path);
        std::memcpy(a.sun_path, native.constData(), static_cast<std::size_t>(native.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
        ::close(fd);
    }
    ASSERT_TRUE(QFile::exists(path));
    Form1& f = w.start("Socket=" + QFile::encodeName(path));
    ASSERT_TRUE(f.lanOutput->localSocket().serving());
    EXPECT_EQ(QFile::permissions(path) & QFileDevice::WriteOther, QFileDevice::WriteOther);

    QLocalSocket a, b;
    a.connectToServer(path);
    b.connectToServer(path);
    ASSERT_TRUE(runUntil([&] { return f.lanOutput->localSocket().readerCount() == 2; }));
    QTcpSocket tcp;
    tcp.connectToHost(QHostAddress::LocalHost, f.Winsock->ListeningPort());
    ASSERT_TRUE(runUntil([&] { return f.Winsock->State() == funkor::kLanConnected; }));

    // A broadcast position with timing advance 2 (1365 m): 1638 m, HDOP 86.2.
    f.network.taDistance = 2 * 546 + 273;
    f.Timer2_Timer();
    const std::string expected = f.position.gsmRmc + funkor::withHdop(f.position.gsmGga, "86.2");
    for (QIODevice* d : std::initializer_list<QIODevice*>{&a, &b, &tcp}) {
        ASSERT_TRUE(
            runUntil([&] { return d->bytesAvailable() >= static_cast<qint64>(expected.size()); }));
        const std::string stream = d->readAll().toStdString();
        EXPECT_EQ(stream, expected);
        EXPECT_TRUE(allChecksumsValid(stream));
    }

    // Another output chosen: the socket goes, its file with it.
    w.chooseOutput(QStringLiteral("LPT1"));
    EXPECT_FALSE(f.lanOutput->localSocket().serving());
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_TRUE(runUntil([&] { return a.state() == QLocalSocket::UnconnectedState; }));
}

TEST(LanReaders, LocalSocketNeverRemovesAFileThatIsNoSocket) {
    ReadersWindow w;
    const QString path = w.path(QStringLiteral("notes.txt"));
    w.writeFile(QStringLiteral("notes.txt"), "mine\r\n");
    Form1& f = w.start("Socket=" + QFile::encodeName(path));
    f.Timer2_Timer();
    EXPECT_FALSE(f.lanOutput->localSocket().serving());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("mine\r\n"));
    int lines = 0;
    EXPECT_TRUE(traceHas(f, QStringLiteral("andere Datei"), &lines));
    EXPECT_EQ(lines, 1);
}

TEST(LanReaders, WithoutAvahiOneTraceLineAndTheSentencesAsBuilt) {
    // A system bus nobody serves: no Avahi to talk to.
    qputenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/funkor-test-bus");
    ReadersWindow w;
    Form1& f = w.start("Announce=1", "0.0.0.0");
    EXPECT_FALSE(f.lanOutput->announcer().active());
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, f.Winsock->ListeningPort());
    ASSERT_TRUE(runUntil([&] { return f.Winsock->State() == funkor::kLanConnected; }));
    f.Timer2_Timer();
    ASSERT_TRUE(runUntil(
        [&] { return client.bytesAvailable() >= static_cast<qint64>(w.tickBytes().size()); }));
    EXPECT_EQ(client.readAll().toStdString(), w.tickBytes());

    // The client leaves and the output listens anew: no second line.
    client.disconnectFromHost();
    ASSERT_TRUE(runUntil([&] { return f.Winsock->State() == funkor::kLanClosing; }));
    for (int i = 0; i < 3; ++i) f.Timer2_Timer();
    ASSERT_EQ(f.Winsock->State(), funkor::kLanListening);
    int lines = 0;
    EXPECT_TRUE(traceHas(f, QStringLiteral("Avahi-Dienst antwortet nicht"), &lines));
    EXPECT_EQ(lines, 1);
    EXPECT_TRUE(w.platform->messages.isEmpty()) << w.platform->messages.join('\n').toStdString();
    qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}
