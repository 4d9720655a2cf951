// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <string>
#include <vector>

#include <unistd.h>

// The system calls this test process makes, as strace(1) sees them from
// outside: what the program handed the kernel, on which device, in the
// order the kernel got it, from every thread. Strings come as "\xNN"
// escapes throughout (paths too), so a call is matched by the device's
// path and its bytes are read back exactly.
class SyscallTrace {
  public:
    struct Call {
        long thread = 0;      // the thread's id
        std::string name;     // "write", "ioctl", "close", "openat", "pwrite64" ...
        std::string request;  // an ioctl's request ("TCSBRK", "TCSETS" ...)
        std::string bytes;    // a write's bytes
        long offset = -1;     // a pwrite's offset
        std::string line;     // as strace wrote it
    };

    // Starts tracing `calls` (strace's "trace=" list) and waits until every
    // thread of this process is traced.
    explicit SyscallTrace(const QString& calls) {
        file_ = dir_.filePath(QStringLiteral("trace"));
        strace_.setProcessChannelMode(QProcess::ForwardedChannels);
        strace_.start(QStringLiteral("strace"),
                      {QStringLiteral("-f"), QStringLiteral("-y"), QStringLiteral("-xx"),
                       QStringLiteral("-s"), QStringLiteral("65536"), QStringLiteral("-qq"),
                       QStringLiteral("-e"), QStringLiteral("trace=") + calls, QStringLiteral("-o"),
                       file_, QStringLiteral("-p"), QString::number(::getpid())});
        if (!strace_.waitForStarted(10000)) return;
        QElapsedTimer t;
        t.start();
        while (!allTraced() && t.elapsed() < 20000) QThread::msleep(5);
        attached_ = allTraced();
    }
    ~SyscallTrace() { stop(); }
    SyscallTrace(const SyscallTrace&) = delete;
    SyscallTrace& operator=(const SyscallTrace&) = delete;

    bool attached() const { return attached_; }

    // Ends tracing; the calls made on `device` (by path) since the start.
    std::vector<Call> stop(const QString& device = QString()) {
        if (strace_.state() != QProcess::NotRunning) {
            strace_.terminate();
            strace_.waitForFinished(20000);
        }
        std::vector<Call> out;
        if (device.isEmpty()) return out;
        QFile f(file_);
        if (!f.open(QIODevice::ReadOnly)) return out;
        // strace names a file by its path without links.
        const QString canonical = QFileInfo(device).canonicalFilePath();
        const QString path = canonical.isEmpty() ? device : canonical;
        const std::string onDevice = "<" + hex(QFile::encodeName(path).toStdString()) + ">";
        for (const QByteArray& raw : f.readAll().split('\n')) {
            const std::string line = raw.toStdString();
            // "<pid> name(<fd><path>, ...) = result": the device as the first
            // argument, or as what an openat returned.
            const std::size_t open = line.find('(');
            if (open == std::string::npos || line.find(onDevice) == std::string::npos) continue;
            // strace pads the thread id to five places.
            const std::size_t space = line.find(' ');
            const std::size_t name = line.find_first_not_of(' ', space);
            Call c;
            c.thread = std::stol(line.substr(0, space));
            c.name = line.substr(name, open - name);
            c.line = line;
            const std::size_t first = line.find(", ", open);
            if (c.name == "ioctl" && first != std::string::npos) {
                const std::size_t end = line.find_first_of(",)", first + 2);
                c.request = line.substr(first + 2, end - first - 2);
                // strace names a request number that two drivers share by both.
                const std::size_t alias = c.request.rfind(" or ");
                if (alias != std::string::npos) c.request = c.request.substr(alias + 4);
            }
            if ((c.name == "write" || c.name == "pwrite64") && first != std::string::npos) {
                const std::size_t quote = line.find('"', first);
                const std::size_t endQuote = line.find('"', quote + 1);
                c.bytes = unhex(line.substr(quote + 1, endQuote - quote - 1));
                if (c.name == "pwrite64") {
                    const std::size_t last = line.rfind(", ", line.find(") = "));
                    c.offset = std::stol(line.substr(last + 2));
                }
            }
            out.push_back(c);
        }
        return out;
    }

  private:
    static std::string hex(const std::string& s) {
        static const char digits[] = "0123456789abcdef";
        std::string out;
        for (unsigned char c : s) {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        }
        return out;
    }
    static std::string unhex(const std::string& s) {
        std::string out;
        for (std::size_t i = 0; i + 4 <= s.size() && s.compare(i, 2, "\\x") == 0; i += 4)
            out += static_cast<char>(std::stoi(s.substr(i + 2, 2), nullptr, 16));
        return out;
    }
    // Whether strace follows every thread of this process.
    static bool allTraced() {
        const QDir tasks(QStringLiteral("/proc/self/task"));
        const QStringList ids = tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        if (ids.isEmpty()) return false;
        for (const QString& id : ids) {
            QFile status(tasks.filePath(id) + QStringLiteral("/status"));
            if (!status.open(QIODevice::ReadOnly)) continue;  // ended meanwhile
            for (const QByteArray& line : status.readAll().split('\n'))
                if (line.startsWith("TracerPid:") && line.mid(10).trimmed() == "0") return false;
        }
        return true;
    }

    QTemporaryDir dir_;
    QString file_;
    QProcess strace_;
    bool attached_ = false;
};
