// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

#include "app/output/nmea_readers.h"

// The NMEA sentences on a Unix socket as well, for geoclue's nmea-socket=
// and other readers on this machine: up to kMaxReaders at once, each under
// the rules of NmeaReaders.
//
// geoclue runs as a user of its own, so the socket is open to every user of
// the machine (as the LAN port on 127.0.0.1 is); its folder decides who may
// reach it. A file in the way that is not a socket is never removed, nor a
// socket another program still serves; a socket left by a program that
// ended is replaced.
class LocalNmeaServer : public QObject {
    Q_OBJECT
  public:
    static constexpr int kMaxReaders = 8;

    // `trace` takes a line for the trace list.
    explicit LocalNmeaServer(std::function<void(const QString&)> trace, QObject* parent = nullptr);
    ~LocalNmeaServer() override;

    // Serves at `path` (already serving there: nothing). A socket that
    // cannot be made is said in the trace, once until stop().
    bool start(const QString& path);
    // Cuts the readers off and removes the socket.
    void stop();
    bool serving() const { return server_.isListening(); }
    QString path() const { return path_; }

    void send(const QByteArray& data) { readers_.send(data); }
    int readerCount() const { return readers_.count(); }
    long droppedSentences() const { return readers_.droppedSentences(); }

  private:
    void onNewConnection();
    void fail(const QString& why);

    std::function<void(const QString&)> trace_;
    QLocalServer server_;
    NmeaReaders readers_{kMaxReaders};
    QString path_;
    bool failureTraced_ = false;
};
