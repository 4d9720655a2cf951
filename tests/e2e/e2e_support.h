// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

// The real programs, started as a user would: funkor-phonesim on a
// pseudo-terminal and funkor on a data folder of its own, headless.
namespace e2e {

// A built program: FUNKOR_BINARY_DIR + `relative`.
QString built(const QString& relative);
// A file of the source tree.
QString source(const QString& relative);

// The shipped Berlin drive scenario, parsed.
QJsonObject berlinScenario();
// Writes `json` to `path`; false when it cannot.
bool writeJson(const QString& path, const QJsonObject& json);
bool writeText(const QString& path, const QByteArray& bytes);
QByteArray readText(const QString& path);

// A test's own folder with the program's settings and data files.
struct DataFolder {
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    // Funkor.ini with COM1 at `device`, the phone on COM 1 at 19200 baud,
    // and a copy of the shipped country-code file.
    void setUp(const QString& device);
};

// funkor-phonesim with a scenario, its link and its command log.
class Simulator {
  public:
    Simulator() = default;
    ~Simulator();
    // Starts it and waits for the port's path; false when it does not come.
    bool start(const QString& scenario, const QString& link, const QString& log,
               const QStringList& extra = {QStringLiteral("--baud"), QStringLiteral("off"),
                                           QStringLiteral("--delay"), QStringLiteral("10")});
    const QString& device() const { return device_; }
    // Unplugs the phone the hard way: SIGKILL, the pseudo-terminal vanishes,
    // and with it the link to it, as a device node goes with its device.
    void kill();

  private:
    QProcess process_;
    QString device_;
    QString link_;
};

// Waits until a line of the simulator's command log contains `needle`;
// false after `timeoutMs`.
bool waitForLogLine(const QString& log, const QString& needle, int timeoutMs);
// How many command lines of the log contain `needle`.
int countLogLines(const QString& log, const QString& needle);
// Waits until the phone has received a further command after the first line
// containing `needle`: the program has taken the answer to that line and
// moved on. False after `timeoutMs`.
bool waitForCommandAfter(const QString& log, const QString& needle, int timeoutMs);

// The program `funkor` with its arguments, headless unless `env` says else.
class Program {
  public:
    Program();
    ~Program();
    QProcessEnvironment& environment() { return env_; }
    void start(const QStringList& arguments);
    // Ends it as Ctrl+C would and waits; true when it ended by itself with
    // exit code 0.
    bool stop(int timeoutMs = 15000);
    bool waitForExit(int timeoutMs);
    int exitCode() const { return process_.exitCode(); }
    bool crashed() const { return process_.exitStatus() == QProcess::CrashExit; }
    // Reads what is on stdout until a line contains `needle`; false after
    // `timeoutMs`.
    bool waitForOutput(const QString& needle, int timeoutMs);
    const QString& output() const { return output_; }
    QString errors() { return QString::fromLocal8Bit(process_.readAllStandardError()); }

  private:
    void takeOutput();
    QProcess process_;
    QProcessEnvironment env_;
    QString output_;
};

// A GPS receiver on a pseudo-terminal: once a second it writes the burst
// that `burstAt` gives for the UTC time of now, raw, so that the line ends
// arrive as sent (a burst the terminal could not take is sent again a
// second later). The program opens `device()` as its GPS port.
class PtyGpsReceiver {
  public:
    explicit PtyGpsReceiver(std::function<std::string(const QDateTime& nowUtc)> burstAt);
    ~PtyGpsReceiver();
    const QString& device() const { return device_; }

  private:
    int master_ = -1;
    QString device_;
    std::atomic<bool> stop_{false};
    std::thread writer_;
};

QJsonObject readSnapshot(const QString& path);

// Shortcuts into a snapshot.
QJsonObject element(const QJsonObject& snapshot, const QString& name);
QJsonValue variable(const QJsonObject& snapshot, const QString& name);
QString caption(const QJsonObject& snapshot, const QString& name);
QString tooltip(const QJsonObject& snapshot, const QString& name);

}  // namespace e2e
