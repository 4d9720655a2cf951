// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/base/serial_port_component.h"
#include "tests/window/pty_phone.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

void ensureApp() {
    static int argc = 1;
    static char arg0[] = "serial_port_component_test";
    static char* argv[] = {arg0, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// A pseudo-terminal pair: the component opens the slave by its path, the test
// plays the phone on the master side.
class Pty {
  public:
    Pty() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        if (const char* name = ::ptsname(master_)) slave_ = QString::fromLocal8Bit(name);
    }
    ~Pty() { closeMaster(); }
    bool ok() const { return master_ >= 0 && !slave_.isEmpty(); }
    const QString& slave() const { return slave_; }
    int master() const { return master_; }

    void send(const QByteArray& bytes) {
        ASSERT_EQ(::write(master_, bytes.constData(), static_cast<size_t>(bytes.size())),
                  bytes.size());
    }
    // Reads from the master until `n` bytes came or the time is up; the event
    // loop runs meanwhile, as the component writes from it.
    QByteArray receive(qsizetype n, int ms = 30000) {
        QByteArray got;
        runUntil(
            [&] {
                char buf[256];
                ssize_t r;
                while ((r = ::read(master_, buf, sizeof buf)) > 0) got.append(buf, r);
                return got.size() >= n;
            },
            ms);
        return got;
    }
    void closeMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

  private:
    int master_ = -1;
    QString slave_;
};

class SerialPort : public ::testing::Test {
  protected:
    void SetUp() override {
        ensureApp();
        ASSERT_TRUE(pty_.ok());
        const QString device = pty_.slave();
        comm_.setDeviceResolver([device](int) { return device; });
        comm_.setCommPort(3);
        comm_.setSettings(QStringLiteral("19200,n,8,1"));
    }

    Pty pty_;
    SerialPortComponent comm_;
};

}  // namespace

TEST_F(SerialPort, ReceivedBytesArriveInOrderOnePerInput) {
    int raised = 0;
    QObject::connect(&comm_, &SerialPortComponent::OnComm, [&] { ++raised; });
    ASSERT_TRUE(comm_.setPortOpen(true)) << comm_.lastError().toStdString();
    EXPECT_TRUE(comm_.PortOpen());
    EXPECT_EQ(comm_.CommEvent(), 0);
    EXPECT_EQ(comm_.InBufferCount(), 0);
    EXPECT_TRUE(comm_.Input().isEmpty());

    // A CR-ended answer with 8-bit characters and control bytes.
    const QByteArray answer("+CSQ: 17,99\r\n\xFC\x1A\x00OK\r", 18);
    pty_.send(answer);
    ASSERT_TRUE(runUntil([&] { return comm_.InBufferCount() == answer.size(); }));
    EXPECT_GE(raised, 1);
    EXPECT_EQ(comm_.CommEvent(), 2);

    QByteArray taken;
    for (qsizetype left = answer.size(); left > 0; --left) {
        EXPECT_EQ(comm_.InBufferCount(), left);
        const QByteArray one = comm_.Input();
        ASSERT_EQ(one.size(), 1);
        taken += one;
    }
    EXPECT_EQ(taken, answer);
    EXPECT_EQ(comm_.InBufferCount(), 0);
    EXPECT_TRUE(comm_.Input().isEmpty());
}

TEST_F(SerialPort, OnCommHandlerReadsEachBurstAsItComes) {
    ASSERT_TRUE(comm_.setPortOpen(true));
    QByteArray seen;
    QObject::connect(&comm_, &SerialPortComponent::OnComm, [&] {
        if (comm_.CommEvent() != 2) return;
        while (comm_.InBufferCount() > 0) seen += comm_.Input();
    });
    const QByteArray bursts[] = {"AT+CREG?\r", "\r\n+CREG: 0,1\r\n", "\r\nOK\r\n"};
    QByteArray all;
    for (const auto& b : bursts) {
        pty_.send(b);
        all += b;
        ASSERT_TRUE(runUntil([&] { return seen.size() == all.size(); }));
    }
    EXPECT_EQ(seen, all);
}

TEST_F(SerialPort, OutputSendsEveryByteInOrder) {
    ASSERT_TRUE(comm_.setPortOpen(true));
    const QByteArray cases[] = {
        QByteArray("AT+CGMI\r"),
        QByteArray("0011000B914971\x1A"),           // PDU ended by Ctrl-Z
        QByteArray("D0\x1A\x1B", 4),                // SIM-toolkit block end
        QByteArray("\xC4\xD6\xDC\xDF\x00\xFF", 6),  // every 8-bit value passes
    };
    for (const auto& bytes : cases) {
        EXPECT_TRUE(comm_.Output(bytes));
        EXPECT_EQ(pty_.receive(bytes.size()), bytes);
    }
}

TEST_F(SerialPort, OutputOnAClosedPortFails) {
    EXPECT_FALSE(comm_.PortOpen());
    EXPECT_FALSE(comm_.Output("AT\r"));
    ASSERT_TRUE(comm_.setPortOpen(true));
    EXPECT_TRUE(comm_.setPortOpen(false));
    EXPECT_FALSE(comm_.PortOpen());
    EXPECT_FALSE(comm_.Output("AT\r"));
    EXPECT_TRUE(comm_.setPortOpen(false));  // closing a closed port is harmless
}

TEST_F(SerialPort, SettingsTextReadsBackAsWrittenAndSetsTheLine) {
    const struct {
        const char* text;
        speed_t speed;
        tcflag_t size;
        bool parity;
        bool twoStop;
    } cases[] = {
        {"19200,n,8,1", B19200, CS8, false, false},   {"57600,n,8,1", B57600, CS8, false, false},
        {"115200,n,8,1", B115200, CS8, false, false}, {"4800,n,8,2", B4800, CS8, false, true},
        {"9600,N,8,1", B9600, CS8, false, false},
    };
    for (const auto& c : cases) {
        comm_.setSettings(QString::fromLatin1(c.text));
        EXPECT_EQ(comm_.Settings(), QString::fromLatin1(c.text));
        ASSERT_TRUE(comm_.setPortOpen(true)) << c.text << comm_.lastError().toStdString();
        // Both ends of a pseudo-terminal share one set of line settings.
        termios t{};
        ASSERT_EQ(::tcgetattr(pty_.master(), &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), c.speed) << c.text;
        EXPECT_EQ(t.c_cflag & CSIZE, c.size) << c.text;
        EXPECT_EQ((t.c_cflag & PARENB) != 0, c.parity) << c.text;
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, c.twoStop) << c.text;
        comm_.setPortOpen(false);
    }
}

TEST_F(SerialPort, FramingAPseudoTerminalCannotCarryStillOpens) {
    // A pseudo-terminal carries 8 bits without parity whatever is asked.
    comm_.setSettings(QStringLiteral("4800,e,7,1"));
    ASSERT_TRUE(comm_.setPortOpen(true)) << comm_.lastError().toStdString();
    termios t{};
    ASSERT_EQ(::tcgetattr(pty_.master(), &t), 0);
    EXPECT_EQ(::cfgetospeed(&t), speed_t(B4800));
    pty_.send("OK\r");
    EXPECT_TRUE(runUntil([&] { return comm_.InBufferCount() == 3; }));
}

TEST_F(SerialPort, InvalidSettingsKeepTheTextButRefuseToOpen) {
    const char* cases[] = {"abc,n,8,1", "19200", "19200,x,8,1", "19200,n,9,1", "0,n,8,1", ""};
    for (const char* text : cases) {
        comm_.setSettings(QString::fromLatin1(text));
        EXPECT_EQ(comm_.Settings(), QString::fromLatin1(text));
        EXPECT_FALSE(comm_.setPortOpen(true)) << text;
        EXPECT_FALSE(comm_.PortOpen()) << text;
        EXPECT_TRUE(comm_.lastError().contains(pty_.slave())) << text;
    }
}

TEST_F(SerialPort, OpenFailureNamesTheDeviceAndTheReason) {
    const QString missing = QStringLiteral("/dev/funkor-no-such-port");
    comm_.setDeviceResolver([missing](int) { return missing; });
    EXPECT_FALSE(comm_.setPortOpen(true));
    EXPECT_FALSE(comm_.PortOpen());
    EXPECT_TRUE(comm_.lastError().contains(missing)) << comm_.lastError().toStdString();
    EXPECT_TRUE(comm_.lastError().contains(QStringLiteral("gibt es nicht")))
        << comm_.lastError().toStdString();
    EXPECT_FALSE(comm_.Output("AT\r"));

    // A plain file is no serial port.
    const auto file =
        std::filesystem::temp_directory_path() / ("funkor_not_a_tty_" + std::to_string(::getpid()));
    std::ofstream(file) << "x";
    const QString path = QString::fromStdString(file.string());
    comm_.setDeviceResolver([path](int) { return path; });
    EXPECT_FALSE(comm_.setPortOpen(true));
    EXPECT_FALSE(comm_.PortOpen());
    EXPECT_TRUE(comm_.lastError().contains(path)) << comm_.lastError().toStdString();
    std::filesystem::remove(file);
}

TEST_F(SerialPort, FarEndClosingClosesThePortAndKeepsWhatArrived) {
    ASSERT_TRUE(comm_.setPortOpen(true));
    pty_.send("RING\r");
    ASSERT_TRUE(runUntil([&] { return comm_.InBufferCount() == 5; }));
    pty_.closeMaster();
    // Without closing, the vanished pseudo-terminal keeps reporting errors and
    // the loop spins; the port must end up closed.
    ASSERT_TRUE(runUntil([&] { return !comm_.PortOpen(); }));
    EXPECT_FALSE(comm_.lastError().isEmpty());
    EXPECT_EQ(comm_.InBufferCount(), 5);
    QByteArray rest;
    while (comm_.InBufferCount() > 0) rest += comm_.Input();
    EXPECT_EQ(rest, QByteArray("RING\r"));
    EXPECT_FALSE(comm_.Output("AT\r"));
}

TEST(SerialPortDevices, PortNumbersMapToDevicesFromTheSettingsFile) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("funkor_devices_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string ini = (dir / "Funkor.ini").string();
    std::ofstream(ini) << "[Ports]\nGSM=1\n[Devices]\nCOM1=/dev/ttyUSB0\r\n"
                          "com2 = /dev/serial/by-id/usb-Prolific-if00-port0\nCOM4=\n";
    const struct {
        int n;
        const char* device;
    } cases[] = {
        {1, "/dev/ttyUSB0"}, {2, "/dev/serial/by-id/usb-Prolific-if00-port0"},
        {3, "/dev/ttyS2"},  // no entry
        {4, "/dev/ttyS3"},  // empty entry
        {16, "/dev/ttyS15"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SerialPortComponent::deviceFromSettingsFile(ini, c.n),
                  QString::fromLatin1(c.device))
            << c.n;
    EXPECT_EQ(SerialPortComponent::deviceFromSettingsFile((dir / "none.ini").string(), 1),
              QStringLiteral("/dev/ttyS0"));
    std::filesystem::remove_all(dir);

    ensureApp();
    SerialPortComponent comm;
    comm.setCommPort(5);
    EXPECT_EQ(comm.CommPort(), 5);
    EXPECT_EQ(comm.devicePath(), QStringLiteral("/dev/ttyS4"));
    comm.setDeviceResolver([](int n) { return QStringLiteral("/dev/ttyUSB%1").arg(n); });
    EXPECT_EQ(comm.devicePath(), QStringLiteral("/dev/ttyUSB5"));
}
