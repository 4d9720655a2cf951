// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Position output figures of the window, driven in-process on its real
// timers, ports and sockets; printed as JSON.
//
//   ticks        the LAN output's period as a client on another thread sees
//                it: intervals between the RMC sentences (target 2000 ms
//                +-20 ms)
//   hardwarePort the worst lateness of a 10 ms timer on the window's thread
//                while the output paces bytes to a file standing in for
//                /dev/port (target <= 16 ms)
//   lanFlood     the same while a LAN client floods the program with data
//                and does not read (target <= 16 ms)
//
// Usage: funkor-output-bench [--ticks N] [--stall-seconds S]
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/base/platform.h"
#include "app/output/nmea_output.h"
#include "app/output/output_sinks.h"
#include "app/output/winsock_control.h"
#include "app/window/form1.h"
#include "core/ini_file.h"
#include "core/nmea.h"

namespace {

// No dialogs: a message is noted on stderr.
class QuietPlatform : public Platform {
  public:
    void MsgBox(const QString& text, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool YesNo(const QString&, const QString&) override { return false; }
    QString InputBox(const QString&, const QString&, const QString&) override { return {}; }
    void Beep() override {}
    void OpenUrl(const QString&) override {}
    QDateTime Now() override { return QDateTime::currentDateTime(); }
    bool OnScreen() override { return false; }
};

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0, Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(t - t0).count();
}

void runFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

// Worst lateness of a 10 ms timer while `ms` pass.
double worstStall(int ms) {
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(10);
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    double worst = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, static_cast<double>(now - last) / 1e6 - 10.0);
        last = now;
    });
    probe.start();
    runFor(ms);
    return worst;
}

int connectTo(quint16 port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Window {
    QTemporaryDir dir;
    std::unique_ptr<Form1> form;

    Form1& make(const std::string& ini) {
        const std::string path =
            QDir(dir.path()).filePath(QStringLiteral("Funkor.ini")).toStdString();
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (f) {
            std::fwrite(ini.data(), 1, ini.size(), f);
            std::fclose(f);
        }
        StartOptions options;
        form = std::make_unique<Form1>(options, ProgramFolder{dir.path(), QString()},
                                       std::make_unique<QuietPlatform>());
        form->Form_Load();
        {
            QSignalBlocker block(form->GSM);
            form->GSM->setCurrentIndex(1);
        }
        form->network.operatorCode = "26207";
        const auto t = QDateTime::currentDateTimeUtc();
        const auto pair =
            funkor::buildPositionSentences(52.5037951085233, 13.4522282368411,
                                           {t.date().year(), t.date().month(), t.date().day(),
                                            t.time().hour(), t.time().minute(), t.time().second()},
                                           0);
        form->position.gsmRmc = pair.rmc;
        form->position.gsmGga = pair.gga;
        form->cGSM->setChecked(true);
        return *form;
    }
    void choose(const char* item) {
        form->NMEA->setCurrentIndex(form->NMEA->findText(QString::fromLatin1(item)));
    }
};

QJsonObject tickRegularity(int ticks) {
    Window w;
    Form1& f = w.make("[LAN]\r\nPort=0\r\nAddress=127.0.0.1\r\n");
    w.choose("LAN");
    f.Timer2_Timer();
    const quint16 port = f.Winsock->ListeningPort();

    // The client reads on a thread of its own and notes when each RMC came.
    std::vector<Clock::time_point> arrivals;
    std::mutex m;
    std::atomic<bool> stop{false};
    const int fd = connectTo(port);
    std::thread reader([&] {
        std::string pending;
        char buf[4096];
        while (!stop) {
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) break;
            const auto now = Clock::now();
            pending.append(buf, static_cast<std::size_t>(n));
            std::size_t at;
            while ((at = pending.find("$GPRMC")) != std::string::npos) {
                std::lock_guard<std::mutex> lock(m);
                arrivals.push_back(now);
                pending.erase(0, at + 6);
            }
        }
    });
    f.Timer2->setEnabled(true);
    QElapsedTimer t;
    t.start();
    while (true) {
        {
            std::lock_guard<std::mutex> lock(m);
            if (static_cast<int>(arrivals.size()) > ticks) break;
        }
        if (t.elapsed() > (ticks + 5) * 2000LL) break;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    stop = true;
    ::shutdown(fd, SHUT_RDWR);
    reader.join();
    ::close(fd);

    QJsonObject out;
    std::vector<double> intervals;
    for (std::size_t i = 1; i < arrivals.size(); ++i)
        intervals.push_back(msSince(arrivals[i - 1], arrivals[i]));
    if (intervals.empty()) return out;
    const auto [mn, mx] = std::minmax_element(intervals.begin(), intervals.end());
    double sum = 0;
    for (double v : intervals) sum += v;
    double worstDeviation = 0;
    for (double v : intervals) worstDeviation = std::max(worstDeviation, std::fabs(v - 2000.0));
    out[QStringLiteral("intervals")] = static_cast<int>(intervals.size());
    out[QStringLiteral("meanMs")] = sum / static_cast<double>(intervals.size());
    out[QStringLiteral("minMs")] = *mn;
    out[QStringLiteral("maxMs")] = *mx;
    out[QStringLiteral("worstDeviationMs")] = worstDeviation;
    out[QStringLiteral("withinTarget")] = worstDeviation <= 20.0;
    return out;
}

QJsonObject hardwarePortStall(int seconds) {
    Window w;
    const QString file = QDir(w.dir.path()).filePath(QStringLiteral("port"));
    {
        QFile f(file);
        f.open(QIODevice::WriteOnly);
    }
    Form1& f = w.make("[Devices]\r\nPort=" + file.toStdString() + "\r\n");
    w.choose("Port1");
    f.Timer2->setEnabled(true);
    const double worst = worstStall(seconds * 1000);
    f.Timer2->setEnabled(false);
    f.nmeaOutput->hardwarePort().waitIdle(5000);
    QJsonObject out;
    out[QStringLiteral("worstStallMs")] = worst;
    out[QStringLiteral("bytesWritten")] =
        static_cast<double>(f.nmeaOutput->hardwarePort().bytesWritten());
    out[QStringLiteral("withinTarget")] = worst <= 16.0;
    return out;
}

QJsonObject lanFloodStall(int seconds) {
    Window w;
    Form1& f = w.make("[LAN]\r\nPort=0\r\nAddress=127.0.0.1\r\n");
    w.choose("LAN");
    f.Timer2_Timer();
    const int fd = connectTo(f.Winsock->ListeningPort());
    runFor(100);
    std::atomic<bool> stop{false};
    std::atomic<long long> sent{0};
    std::thread flooder([&] {
        const std::string flood(64 * 1024, 'x');
        while (!stop) {
            const ssize_t n = ::send(fd, flood.data(), flood.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0)
                sent += n;
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    f.Timer2->setEnabled(true);
    const double worst = worstStall(seconds * 1000);
    stop = true;
    flooder.join();
    ::close(fd);
    QJsonObject out;
    out[QStringLiteral("worstStallMs")] = worst;
    out[QStringLiteral("floodMegabytes")] = static_cast<double>(sent.load()) / 1e6;
    out[QStringLiteral("withinTarget")] = worst <= 16.0;
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int ticks = 100;
    int stallSeconds = 20;
    for (int i = 1; i + 1 < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--ticks") ticks = std::atoi(argv[++i]);
        if (a == "--stall-seconds") stallSeconds = std::atoi(argv[++i]);
    }
    QJsonObject out;
    out[QStringLiteral("hardwarePort")] = hardwarePortStall(stallSeconds);
    out[QStringLiteral("lanFlood")] = lanFloodStall(stallSeconds);
    out[QStringLiteral("ticks")] = tickRegularity(ticks);
    std::printf("%s\n", QJsonDocument(out).toJson(QJsonDocument::Indented).constData());
    return 0;
}
