// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/support/stop_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace {

int signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t stopping = 0;

void onSignal(int sig) {
    if (stopping) {
        // Asked twice: the program is stuck; end it the plain way.
        std::signal(sig, SIG_DFL);
        std::raise(sig);
        return;
    }
    stopping = 1;
    const char c = static_cast<char>(sig);
    [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &c, 1);
}

}  // namespace

void stopOnTerminationSignals(std::function<void()> onStop) {
    if (signalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0) return;
    auto* notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [notifier, onStop = std::move(onStop)] {
                         char c;
                         [[maybe_unused]] ssize_t n = ::read(signalPipe[0], &c, 1);
                         notifier->setEnabled(false);
                         onStop();
                     });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}
