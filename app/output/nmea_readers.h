// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QObject>
#include <QPointer>
#include <functional>
#include <vector>

// Readers of the NMEA stream that all get the same bytes in the same order:
// the LAN clients when several are allowed, and the readers of the local
// socket.
//
// A reader that stops reading is dealt with alone: once the bytes waiting
// for it would pass kBacklogLimit, its sentences are dropped until what
// waits has gone out, so that it gets whole sentences again afterwards.
// Writes never wait, so one slow or hostile reader never holds up the
// others or the window. What a reader sends is read and dropped.
// Holds back (or lets go) what is written to a connected TCP socket; any
// other device is left as it is.
void holdTcpBack(QIODevice* device, bool on);

class NmeaReaders : public QObject {
    Q_OBJECT
  public:
    static constexpr qint64 kBacklogLimit = 64 * 1024;
    static constexpr qint64 kReadBufferSize = 16 * 1024;

    explicit NmeaReaders(int limit, QObject* parent = nullptr);
    ~NmeaReaders() override;

    void setLimit(int limit) { limit_ = limit; }
    int limit() const { return limit_; }
    int count() const { return static_cast<int>(readers_.size()); }
    bool full() const { return count() >= limit_; }

    // Takes a connected QTcpSocket or QLocalSocket as a reader; it is
    // deleted when it leaves. Call only while not full.
    template <class Socket>
    void add(Socket* socket) {
        socket->setReadBufferSize(kReadBufferSize);
        adopt(socket, [socket] { socket->abort(); });
        connect(socket, &Socket::disconnected, this, [this, socket] { remove(socket); });
        connect(socket, &Socket::errorOccurred, this, [this, socket] { remove(socket); });
    }

    // Takes the clients waiting at `server` (QTcpServer or QLocalServer)
    // while there is room and turns the others away.
    template <class Server>
    void takeWaiting(Server& server) {
        while (auto* s = server.nextPendingConnection()) {
            if (full()) {
                s->abort();
                s->deleteLater();
            } else {
                add(s);
            }
        }
    }

    // Writes `data` to every reader that keeps up; returns how many readers
    // fell behind with it (their dropping starts here).
    int send(const QByteArray& data);
    // Cuts every reader off.
    void closeAll();
    // While held, what is written to the TCP readers stays in the kernel
    // (TCP_CORK); letting go sends it in as few segments as it fits.
    void holdBack(bool on);

    // Sentences dropped for readers that did not read, all together.
    long droppedSentences() const { return dropped_; }
    // The most bytes waiting for one reader.
    qint64 largestBacklog() const;

  signals:
    // A reader went away: there is room again.
    void readerLeft();

  private:
    struct Reader {
        QPointer<QIODevice> device;
        std::function<void()> abort;
        bool dropping = false;
    };
    void adopt(QIODevice* device, std::function<void()> abort);
    void remove(QIODevice* device);

    std::vector<Reader> readers_;
    int limit_ = 1;
    long dropped_ = 0;
};
