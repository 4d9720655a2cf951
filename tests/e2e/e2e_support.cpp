// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/e2e/e2e_support.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QThread>
#include <csignal>

#include "core/ini_file.h"

namespace e2e {

namespace {

// Children of a test never outlive it, even when the test crashes.
void dieWithParent(QProcess& p) {
    p.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

}  // namespace

QString built(const QString& relative) {
    return QStringLiteral(FUNKOR_BINARY_DIR "/") + relative;
}

QString source(const QString& relative) {
    return QStringLiteral(FUNKOR_SOURCE_DIR "/") + relative;
}

QJsonObject berlinScenario() {
    return QJsonDocument::fromJson(
               readText(source(QStringLiteral("tools/phonesim/scenarios/berlin.json"))))
        .object();
}

bool writeText(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    return f.write(bytes) == bytes.size();
}

bool writeJson(const QString& path, const QJsonObject& json) {
    return writeText(path, QJsonDocument(json).toJson());
}

QByteArray readText(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void DataFolder::setUp(const QString& device) {
    const std::string ini = QFile::encodeName(path(QStringLiteral("Funkor.ini"))).toStdString();
    funkor::ini::writeString(ini, "Devices", "COM1", QFile::encodeName(device).toStdString());
    funkor::ini::writeString(ini, "Ports", "GSM", "1");
    funkor::ini::writeString(ini, "Ports", "Baud", "0");
    QFile::copy(source(QStringLiteral("data/GSMcodes.txt")), path(QStringLiteral("GSMcodes.txt")));
}

Simulator::~Simulator() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}

bool Simulator::start(const QString& scenario, const QString& link, const QString& log,
                      const QStringList& extra) {
    QStringList args{QStringLiteral("--scenario"), scenario, QStringLiteral("--link"), link,
                     QStringLiteral("--log"),      log};
    args += extra;
    dieWithParent(process_);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start(built(QStringLiteral("tools/phonesim/funkor-phonesim")), args);
    if (!process_.waitForStarted(5000)) return false;
    while (!process_.canReadLine()) {
        // A radio scenario writes its cell database first: seconds.
        if (!process_.waitForReadyRead(15000)) return false;
    }
    device_ = QString::fromLocal8Bit(process_.readLine()).trimmed();
    link_ = link;
    return !device_.isEmpty();
}

void Simulator::kill() {
    process_.kill();
    process_.waitForFinished(3000);
    // Killed, the simulator leaves its link behind, pointing at the freed
    // pseudo-terminal number. The next pseudo-terminal opened on the machine
    // gets that number, in a test running alongside as a GPS receiver, and
    // the program searching for its phone would open it through the link
    // and read that test's data.
    if (!link_.isEmpty() && QFileInfo(link_).isSymLink()) QFile::remove(link_);
}

int countLogLines(const QString& log, const QString& needle) {
    int n = 0;
    for (const QByteArray& line : readText(log).split('\n')) {
        if (QString::fromLatin1(line).contains(needle)) ++n;
    }
    return n;
}

bool waitForLogLine(const QString& log, const QString& needle, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (countLogLines(log, needle) > 0) return true;
        QThread::msleep(100);
    }
    return countLogLines(log, needle) > 0;
}

bool waitForCommandAfter(const QString& log, const QString& needle, int timeoutMs) {
    auto movedOn = [&] {
        bool seen = false;
        for (const QByteArray& line : readText(log).split('\n')) {
            if (seen && !line.trimmed().isEmpty()) return true;
            if (QString::fromLatin1(line).contains(needle)) seen = true;
        }
        return false;
    };
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (movedOn()) return true;
        QThread::msleep(100);
    }
    return movedOn();
}

Program::Program() : env_(QProcessEnvironment::systemEnvironment()) {
    env_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
}

Program::~Program() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.kill();
    process_.waitForFinished(3000);
}

void Program::start(const QStringList& arguments) {
    dieWithParent(process_);
    process_.setProcessEnvironment(env_);
    process_.start(built(QStringLiteral("app/funkor")), arguments);
    process_.waitForStarted(5000);
}

void Program::takeOutput() {
    output_ += QString::fromUtf8(process_.readAllStandardOutput());
}

bool Program::waitForOutput(const QString& needle, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    takeOutput();
    while (!output_.contains(needle)) {
        if (deadline.hasExpired() || process_.state() == QProcess::NotRunning) return false;
        process_.waitForReadyRead(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 500)));
        takeOutput();
    }
    return true;
}

bool Program::waitForExit(int timeoutMs) {
    const bool done =
        process_.state() == QProcess::NotRunning || process_.waitForFinished(timeoutMs);
    takeOutput();
    return done && process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
}

bool Program::stop(int timeoutMs) {
    if (process_.state() != QProcess::NotRunning) process_.terminate();
    return waitForExit(timeoutMs);
}

PtyGpsReceiver::PtyGpsReceiver(std::function<std::string(const QDateTime& nowUtc)> burstAt) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    device_ = QString::fromLocal8Bit(::ptsname(master_));
    termios t{};
    if (::tcgetattr(master_, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(master_, TCSANOW, &t);
    }
    writer_ = std::thread([this, burstAt = std::move(burstAt)] {
        while (!stop_) {
            const std::string burst = burstAt(QDateTime::currentDateTimeUtc());
            const ssize_t written = ::write(master_, burst.data(), burst.size());
            (void)written;
            for (int i = 0; i < 10 && !stop_; ++i) ::usleep(100000);
        }
    });
}

PtyGpsReceiver::~PtyGpsReceiver() {
    stop_ = true;
    if (writer_.joinable()) writer_.join();
    if (master_ >= 0) ::close(master_);
}

QJsonObject readSnapshot(const QString& path) {
    return QJsonDocument::fromJson(readText(path)).object();
}

QJsonObject element(const QJsonObject& snapshot, const QString& name) {
    return snapshot.value(QStringLiteral("elements")).toObject().value(name).toObject();
}

QString caption(const QJsonObject& snapshot, const QString& name) {
    return element(snapshot, name).value(QStringLiteral("caption")).toString();
}

QString tooltip(const QJsonObject& snapshot, const QString& name) {
    return element(snapshot, name).value(QStringLiteral("tooltip")).toString();
}

QJsonValue variable(const QJsonObject& snapshot, const QString& name) {
    return snapshot.value(QStringLiteral("variables")).toObject().value(name);
}

}  // namespace e2e
