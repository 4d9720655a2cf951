// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/modemmanager/mm_sandbox.h"

#include <sys/prctl.h>
#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <csignal>

namespace mmtest {

namespace {

const char* const kDaemon = "/usr/sbin/ModemManager";

// The sandbox's processes end with the test, also when it crashes.
void endWithTest(QProcess& p) {
    p.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

bool writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

}  // namespace

Sandbox::Sandbox() {
    static int count = 0;
    tty_ = QStringLiteral("ttyFUNKOR%1%2").arg(::getpid()).arg(count++);
}

Sandbox::~Sandbox() {
    stopDaemon();
    if (bus_.state() != QProcess::NotRunning) {
        bus_.terminate();
        bus_.waitForFinished(3000);
    }
}

QString Sandbox::unavailable() {
    if (::geteuid() != 0)
        return QStringLiteral("needs root (a mount namespace for ModemManager's sysfs and rules)");
    if (!QFile::exists(QString::fromLatin1(kDaemon)))
        return QStringLiteral("ModemManager is not installed (package modemmanager)");
    for (const char* program : {"dbus-daemon", "unshare", "mmcli", "mount"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return QStringLiteral("%1 is missing").arg(QString::fromLatin1(program));
    }
    // A container without the right to mount has root, but no namespace.
    static const QString refused = [] {
        QTemporaryDir dir;
        QProcess p;
        p.start(QStringLiteral("unshare"),
                {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                 QStringLiteral("mount"), QStringLiteral("--bind"), dir.path(),
                 QStringLiteral("/sys/class/tty")});
        if (p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return QString();
        return QStringLiteral("cannot mount in a namespace of its own: ") +
               QString::fromLocal8Bit(p.readAllStandardError()).trimmed();
    }();
    return refused;
}

bool Sandbox::writeTree() {
    // sys/class/tty/<tty> -> sys/devices/funkor/<tty>, whose "device" is a
    // parent with a driver; "subsystem" names the class.
    const QString sys = path(QStringLiteral("sys"));
    const QString node = sys + QStringLiteral("/devices/funkor/") + tty_;
    const QString parent = sys + QStringLiteral("/devices/funkor/serial0");
    const QString driver = sys + QStringLiteral("/bus/usb-serial/drivers/funkor");
    bool ok = QDir().mkpath(sys + QStringLiteral("/class/tty")) && QDir().mkpath(node) &&
              QDir().mkpath(parent) && QDir().mkpath(driver) &&
              QDir().mkpath(path(QStringLiteral("rules")));
    ok = ok && QFile::link(QStringLiteral("/sys/class/tty"), node + QStringLiteral("/subsystem")) &&
         QFile::link(parent, node + QStringLiteral("/device")) &&
         QFile::link(driver, parent + QStringLiteral("/driver")) &&
         QFile::link(node, sys + QStringLiteral("/class/tty/") + tty_);
    // ModemManager's own rules reader takes one assignment a line.
    ok = ok && writeFile(path(QStringLiteral("rules/78-mm-funkor.rules")),
                         "ACTION!=\"add|change|move|bind\", GOTO=\"mm_funkor_end\"\n"
                         "KERNEL==\"ttyFUNKOR*\", ENV{ID_MM_DEVICE_PROCESS}=\"1\"\n"
                         "KERNEL==\"ttyFUNKOR*\", ENV{ID_MM_CANDIDATE}=\"1\"\n"
                         "LABEL=\"mm_funkor_end\"\n");
    ok = ok && writeFile(path(QStringLiteral("events")),
                         "action=add,subsystem=tty,name=" + tty_.toLatin1() + "\n");
    // A bus that lets everyone own and call everything: the test's alone.
    ok = ok && writeFile(path(QStringLiteral("bus.conf")),
                         "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                         "1.0//EN\"\n \"http://www.freedesktop.org/standards/dbus/1.0/"
                         "busconfig.dtd\">\n<busconfig>\n  <listen>unix:path=" +
                             path(QStringLiteral("bus")).toLocal8Bit() +
                             "</listen>\n  <auth>EXTERNAL</auth>\n  <policy context=\"default\">\n"
                             "    <allow user=\"*\"/>\n    <allow own=\"*\"/>\n"
                             "    <allow send_destination=\"*\"/>\n"
                             "    <allow receive_sender=\"*\"/>\n  </policy>\n</busconfig>\n");
    if (!ok) error_ = QStringLiteral("cannot write the sandbox's files in ") + dir_.path();
    return ok;
}

bool Sandbox::start(const QString& scenario) {
    if (!startBus()) return false;
    const QString link = QStringLiteral("/dev/") + tty_;
    if (!sim_.start(scenario, link, simulatorLog())) {
        error_ = QStringLiteral("the simulator does not start");
        return false;
    }
    return startDaemon();
}

bool Sandbox::startBus() {
    if (!dir_.isValid() || !writeTree()) {
        if (error_.isEmpty()) error_ = QStringLiteral("no temporary folder");
        return false;
    }
    endWithTest(bus_);
    bus_.start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--config-file=") + path(QStringLiteral("bus.conf")),
                QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (!bus_.waitForStarted(5000) || !bus_.waitForReadyRead(5000)) {
        error_ = QStringLiteral("dbus-daemon does not start: ") + bus_.readAllStandardError();
        return false;
    }
    busAddress_ = QString::fromLatin1(bus_.readLine()).trimmed();
    return !busAddress_.isEmpty();
}

bool Sandbox::startDaemon() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), busAddress_);
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress_);
    daemon_.setProcessEnvironment(env);
    daemon_.setStandardOutputFile(daemonLog(), QIODevice::Append);
    daemon_.setStandardErrorFile(daemonLog(), QIODevice::Append);
    endWithTest(daemon_);
    // --initial-kernel-events is read only with --no-auto-scan. The shell
    // mounts in the new namespace, then becomes the daemon.
    const QString script =
        QStringLiteral(
            "mount --bind '%1' /sys/class/tty && mount --bind '%2' /lib/udev/rules.d && "
            "exec %3 --test-session --test-no-udev --no-auto-scan "
            "--initial-kernel-events='%4' --debug")
            .arg(path(QStringLiteral("sys/class/tty")), path(QStringLiteral("rules")),
                 QString::fromLatin1(kDaemon), path(QStringLiteral("events")));
    daemon_.start(QStringLiteral("unshare"),
                  {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                   QStringLiteral("sh"), QStringLiteral("-c"), script});
    if (!daemon_.waitForStarted(5000)) {
        error_ = QStringLiteral("unshare does not start");
        return false;
    }
    return true;
}

void Sandbox::stopDaemon() {
    if (daemon_.state() == QProcess::NotRunning) return;
    daemon_.terminate();
    if (!daemon_.waitForFinished(10000)) {
        daemon_.kill();
        daemon_.waitForFinished(3000);
    }
}

QString Sandbox::mmcli(const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), busAddress_);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("mmcli"), args);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
}

bool Sandbox::waitForRegisteredModem(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const QString state =
            mmcli({QStringLiteral("-m"), QStringLiteral("any"), QStringLiteral("-K")});
        if (state.contains(QStringLiteral("modem.generic.state")) &&
            state.contains(
                QRegularExpression(QStringLiteral("modem\\.generic\\.state +: registered"))))
            return true;
        QThread::msleep(500);
    }
    return false;
}

}  // namespace mmtest
