// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QSignalBlocker>
#include <QTcpServer>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "app/output/nmea_sink.h"
#include "core/nmea.h"
#include "tests/window/window_test_support.h"

// What the output cycle handed its sink, tick by tick.
struct MemorySink : NmeaSink {
    std::vector<std::string> ticks;
    funkor::OutputTarget target;
    void Write(const funkor::OutputTarget& t, const funkor::OutputPair& pair) override {
        target = t;
        ticks.push_back(pair.identification + pair.first + pair.second);
    }
};

// The position pair of a cell in Berlin-Friedrichshain as the position
// engine builds it, at the time given (UTC).
inline funkor::SentencePair berlinPair(const QDateTime& utc = QDateTime(QDate(2026, 12, 8),
                                                                        QTime(13, 5, 0), Qt::UTC)) {
    const QDate d = utc.date();
    const QTime t = utc.time();
    return funkor::buildPositionSentences(
        52.5037951085233, 13.4522282368411,
        {d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second()}, 0);
}

// A window whose phone is on COM 1 on O2 Germany (the command cycle is not
// running), ready to send positions.
struct OutputWindow : WindowFixture {
    Form1& makeOutput(const QByteArray& ini = QByteArray()) {
        if (!ini.isEmpty()) writeFile(QStringLiteral("Funkor.ini"), ini);
        Form1& f = make();
        {
            QSignalBlocker block(f.GSM);
            f.GSM->setCurrentIndex(1);
        }
        f.cGSM->setEnabled(true);
        f.network.operatorCode = "26207";
        return f;
    }
    void chooseOutput(const QString& item) {
        form->NMEA->setCurrentIndex(form->NMEA->findText(item));
    }
};

// A TCP port nobody listens on right now.
inline quint16 freeTcpPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A blocking TCP socket connected to 127.0.0.1, or -1 when the listener
// did not take it. `receiveBuffer` above 0 sets its receive buffer first.
inline int connectLoopback(quint16 port, int receiveBuffer = 0) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return fd;
    ::close(fd);
    return -1;
}

// A plain blocking connect, as a port scanner makes it: true when the
// listener took it.
inline bool connectOnce(quint16 port) {
    const int fd = connectLoopback(port);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// Whether every sentence of `stream` (CR LF separated) carries the checksum
// of its body.
inline bool allChecksumsValid(const std::string& stream, int* count = nullptr) {
    int n = 0;
    std::size_t pos = 0;
    while (pos < stream.size()) {
        const std::size_t end = stream.find("\r\n", pos);
        if (end == std::string::npos) return false;
        const std::string line = stream.substr(pos, end - pos);
        const std::size_t star = line.rfind('*');
        if (line.empty() || line[0] != '$' || star == std::string::npos ||
            funkor::nmeaChecksum(line.substr(1, star - 1)) != line.substr(star + 1))
            return false;
        ++n;
        pos = end + 2;
    }
    if (count) *count = n;
    return true;
}
