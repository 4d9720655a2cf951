// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QTcpSocket>

#include "tests/window/output_test_support.h"
#include "tests/window/pty_phone.h"

// gpsd reading the LAN output on `lanPort` as a GPS receiver, and the first
// `reports` lines of JSON that gpspipe -w gets from it.
inline QList<QByteArray> gpsdReports(quint16 lanPort, int reports) {
    const quint16 gpsdPort = freeTcpPort();
    QProcess gpsd;
    gpsd.start(QStringLiteral("gpsd"),
               {QStringLiteral("-N"), QStringLiteral("-n"), QStringLiteral("-S"),
                QString::number(gpsdPort), QStringLiteral("tcp://127.0.0.1:%1").arg(lanPort)});
    if (!runUntil([&] { return gpsd.state() == QProcess::Running; }, 10000)) return {};
    // gpsd answers once its control port is up.
    QTcpSocket probe;
    runUntil(
        [&] {
            if (probe.state() == QAbstractSocket::ConnectedState) return true;
            if (probe.state() == QAbstractSocket::UnconnectedState)
                probe.connectToHost(QHostAddress::LocalHost, gpsdPort);
            return false;
        },
        10000);
    probe.abort();

    QProcess pipe;
    pipe.start(QStringLiteral("gpspipe"),
               {QStringLiteral("-w"), QStringLiteral("-n"), QString::number(reports),
                QStringLiteral("127.0.0.1:%1").arg(gpsdPort)});
    runUntil([&] { return pipe.state() == QProcess::NotRunning; }, 60000);
    const QList<QByteArray> lines = pipe.readAllStandardOutput().split('\n');
    gpsd.terminate();
    runUntil([&] { return gpsd.state() == QProcess::NotRunning; }, 5000);
    return lines;
}
