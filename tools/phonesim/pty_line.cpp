// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/phonesim/pty_line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace phonesim {

namespace {

void removeLink(const std::string& path) {
    if (path.empty()) return;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) unlink(path.c_str());
}

}  // namespace

PtyLine::~PtyLine() {
    removeLink(link_);
    if (master_ >= 0) close(master_);
}

void PtyLine::unplug() {
    removeLink(link_);
    if (master_ >= 0) close(master_);
    master_ = -1;
}

bool PtyLine::plugIn(std::string& error) {
    if (master_ >= 0) return true;
    if (!open(error)) {
        if (master_ >= 0) close(master_);
        master_ = -1;
        return false;
    }
    return link_.empty() || link(link_, error);
}

bool PtyLine::open(std::string& error) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ptsname(master_);
    if (!name) {
        error = "no slave name for the pseudo-terminal";
        return false;
    }
    slave_ = name;
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    // Line settings asked on the master apply to the slave. Raw mode until a
    // program sets its own: a serial line neither echoes nor edits.
    termios t{};
    if (tcgetattr(master_, &t) == 0) {
        cfmakeraw(&t);
        cfsetispeed(&t, B19200);
        cfsetospeed(&t, B19200);
        tcsetattr(master_, TCSANOW, &t);
    }
    return true;
}

bool PtyLine::link(const std::string& path, std::string& error) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = path + " exists and is not a symbolic link";
            return false;
        }
        unlink(path.c_str());
    }
    if (symlink(slave_.c_str(), path.c_str()) != 0) {
        error = "cannot link " + path + ": " + std::strerror(errno);
        return false;
    }
    link_ = path;
    return true;
}

int PtyLine::baud() const {
    termios t{};
    if (tcgetattr(master_, &t) != 0) return 0;
    switch (cfgetospeed(&t)) {
        case B1200:
            return 1200;
        case B2400:
            return 2400;
        case B4800:
            return 4800;
        case B9600:
            return 9600;
        case B19200:
            return 19200;
        case B38400:
            return 38400;
        case B57600:
            return 57600;
        case B115200:
            return 115200;
        case B230400:
            return 230400;
        case B460800:
            return 460800;
        default:
            return 0;
    }
}

bool PtyLine::echoes() const {
    termios t{};
    return tcgetattr(master_, &t) == 0 && (t.c_lflag & ECHO) != 0;
}

void PtyLine::discardUnread() {
    const int fd = ::open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;  // held exclusively by a program: nothing to do then
    tcflush(fd, TCIFLUSH);
    close(fd);
}

}  // namespace phonesim
