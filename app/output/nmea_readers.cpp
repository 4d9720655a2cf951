// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/nmea_readers.h"

#include <QAbstractSocket>
#include <algorithm>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

void holdTcpBack(QIODevice* device, bool on) {
    auto* socket = qobject_cast<QAbstractSocket*>(device);
    if (!socket || socket->socketType() != QAbstractSocket::TcpSocket ||
        socket->state() != QAbstractSocket::ConnectedState)
        return;
    // What Qt still buffers goes to the kernel first, so that letting go
    // sends all of it.
    if (!on) socket->flush();
    const int fd = static_cast<int>(socket->socketDescriptor());
    if (fd < 0) return;
    const int value = on ? 1 : 0;
    ::setsockopt(fd, IPPROTO_TCP, TCP_CORK, &value, sizeof value);
}

NmeaReaders::NmeaReaders(int limit, QObject* parent) : QObject(parent), limit_(limit) {}

NmeaReaders::~NmeaReaders() {
    closeAll();
}

void NmeaReaders::adopt(QIODevice* device, std::function<void()> abort) {
    readers_.push_back({device, std::move(abort), false});
    connect(device, &QIODevice::readyRead, this, [device] { device->readAll(); });
    // Data that came with the connection is dropped like any later data.
    if (device->bytesAvailable() > 0) device->readAll();
}

void NmeaReaders::remove(QIODevice* device) {
    const auto it = std::find_if(readers_.begin(), readers_.end(),
                                 [device](const Reader& r) { return r.device == device; });
    if (it == readers_.end()) return;
    readers_.erase(it);
    device->disconnect(this);
    device->deleteLater();
    emit readerLeft();
}

int NmeaReaders::send(const QByteArray& data) {
    int fellBehind = 0;
    for (Reader& r : readers_) {
        QIODevice* d = r.device;
        if (!d) continue;
        const qint64 waiting = d->bytesToWrite();
        if (r.dropping && waiting > 0) {
            ++dropped_;
            continue;
        }
        r.dropping = false;
        if (waiting + data.size() > kBacklogLimit) {
            r.dropping = true;
            ++dropped_;
            ++fellBehind;
            continue;
        }
        d->write(data);
    }
    return fellBehind;
}

void NmeaReaders::holdBack(bool on) {
    for (Reader& r : readers_)
        if (r.device) holdTcpBack(r.device, on);
}

void NmeaReaders::closeAll() {
    std::vector<Reader> gone;
    gone.swap(readers_);
    for (Reader& r : gone) {
        if (!r.device) continue;
        r.device->disconnect(this);
        r.abort();
        r.device->deleteLater();
    }
}

qint64 NmeaReaders::largestBacklog() const {
    qint64 most = 0;
    for (const Reader& r : readers_)
        if (r.device) most = std::max(most, r.device->bytesToWrite());
    return most;
}
