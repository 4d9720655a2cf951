// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <string>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// Runs the event loop until `done` holds or `ms` have passed. The default
// deadline only ends a wait that has failed: it is far beyond what a loaded
// machine needs.
inline bool runUntil(const std::function<bool()>& done, int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

inline void runEventsFor(int ms) {
    runUntil([] { return false; }, ms);
}

// A pseudo-terminal whose master side plays the phone: the program opens the
// slave by its path, the test writes answers and collects what the program
// sent.
class PtyPhone {
  public:
    PtyPhone() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        if (const char* name = ::ptsname(master_)) slave_ = QString::fromLocal8Bit(name);
        // Raw line: no echo, no translation of CR or LF on either side.
        termios t{};
        if (::tcgetattr(master_, &t) == 0) {
            ::cfmakeraw(&t);
            ::tcsetattr(master_, TCSANOW, &t);
        }
    }
    ~PtyPhone() { close(); }
    PtyPhone(const PtyPhone&) = delete;
    PtyPhone& operator=(const PtyPhone&) = delete;

    bool ok() const { return master_ >= 0 && !slave_.isEmpty(); }
    const QString& slave() const { return slave_; }

    // Writes all of `bytes`, letting the program read while the line is full.
    void send(const std::string& bytes) {
        std::size_t done = 0;
        QElapsedTimer t;
        t.start();
        while (done < bytes.size() && t.elapsed() < 10000) {
            const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0)
                done += static_cast<std::size_t>(n);
            else
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
    }

    // Everything the program has sent so far and not yet taken.
    std::string take() {
        collect();
        std::string out;
        out.swap(got_);
        return out;
    }
    // Waits (running events) until `needle` has arrived; returns everything
    // taken meanwhile.
    std::string takeUntil(const std::string& needle, int ms = 30000) {
        runUntil(
            [&] {
                collect();
                return got_.find(needle) != std::string::npos;
            },
            ms);
        return take();
    }
    // Waits until the program has been quiet for `quietMs`; returns what came.
    std::string settle(int quietMs = 60) {
        QElapsedTimer quiet;
        quiet.start();
        std::size_t seen = got_.size();
        while (quiet.elapsed() < quietMs) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            collect();
            if (got_.size() != seen) {
                seen = got_.size();
                quiet.restart();
            }
        }
        return take();
    }

    void close() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

  private:
    void collect() {
        if (master_ < 0) return;
        char buf[4096];
        ssize_t r;
        while ((r = ::read(master_, buf, sizeof buf)) > 0)
            got_.append(buf, static_cast<std::size_t>(r));
    }

    int master_ = -1;
    QString slave_;
    std::string got_;
};
