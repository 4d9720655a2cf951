// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "tests/e2e/e2e_support.h"

// ModemManager itself (Debian's daemon, not a stand-in) on a D-Bus bus of
// the test's own, managing the simulator's modem on a pseudo-terminal.
//
// Without udev ModemManager takes a port only with a sysfs node
// (/sys/class/tty/<name> with "device", "device/driver" and "subsystem")
// and, for a port without a parent device, the udev property
// ID_MM_DEVICE_PROCESS, which only its rules files can set. The daemon runs
// in a mount namespace of its own (unshare -m, as root) in which a small
// sysfs tree lies over /sys/class/tty and one rules file over
// /lib/udev/rules.d; the machine's own are untouched. The simulator's
// pseudo-terminal is linked as /dev/ttyFUNKOR<n>, a name of this sandbox.
namespace mmtest {

class Sandbox {
  public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    // Why the sandbox cannot run on this machine (not root, a program
    // missing); empty when it can.
    static QString unavailable();

    // The bus, the simulator with `scenario` (a file) and the daemon. False
    // with a reason in error().
    bool start(const QString& scenario);
    // The bus alone (no root needed).
    bool startBus();
    // The daemon alone, stopped (SIGTERM, as systemd stops it) and started
    // again on the same bus.
    bool startDaemon();
    void stopDaemon();
    // Waits until ModemManager lists an enabled, registered modem; false
    // after `timeoutMs`.
    bool waitForRegisteredModem(int timeoutMs);
    // mmcli on the sandbox's bus; its output.
    QString mmcli(const QStringList& args);

    const QString& busAddress() const { return busAddress_; }
    // The simulator's command record (with "(port opened)" first).
    QString simulatorLog() const { return path(QStringLiteral("modem.log")); }
    QString daemonLog() const { return path(QStringLiteral("ModemManager.log")); }
    const QString& error() const { return error_; }
    QString path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }

  private:
    bool writeTree();

    QTemporaryDir dir_;
    QString tty_;  // ttyFUNKOR<n>
    QProcess bus_;
    QProcess daemon_;
    e2e::Simulator sim_;
    QString busAddress_;
    QString error_;
};

}  // namespace mmtest
