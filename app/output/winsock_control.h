// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>

#include "app/base/elements.h"
#include "app/output/nmea_readers.h"

// The window's TCP socket: one socket that listens and, once a client asks,
// becomes the connection to that client (the listener is given up, so
// further clients are refused until it listens again).
//
// States as the window uses them: 0 closed, 2 listening, 7 connected,
// 8 closing (the client has closed its side; Close() finishes). Errors
// arrive as Error(number, description) with the socket control's numbers:
// 10013 no permission for the port, 10048 port in use, 10049 address not
// available, 10053 connection aborted by the peer, 10054 reset by the peer,
// 10055 no buffer space, 10060 timed out, 10022 anything else.
//
// With room for several clients (setMaxClients above 1) the socket keeps
// listening and takes each client as it comes, without ConnectionRequest,
// until the limit is reached; then it stops listening, so that further
// clients are refused, and listens again once one has left. Every client
// gets everything sent; the state is connected while any client is, and a
// client that leaves is let go on its own (the state never is closing).
class WinsockControl : public SocketElement {
    Q_OBJECT
  public:
    // Bytes that may wait for a client at most: a client that stops reading
    // gets nothing more until they have gone out.
    static constexpr qint64 kSendBacklogLimit = 64 * 1024;
    // Bytes of a client's data read at once at most.
    static constexpr qint64 kReadBufferSize = 16 * 1024;

    // SendData results.
    static constexpr int kSent = 0;
    static constexpr int kWrongState = 40006;  // not connected
    static constexpr int kBacklogFull = -1;    // the text was dropped
    // Several clients: the text went to all but one or more that stopped
    // reading, for whom it was dropped.
    static constexpr int kReaderFellBehind = -2;
    static constexpr int kMaxClients = 8;

    explicit WinsockControl(QObject* parent = nullptr);
    ~WinsockControl() override;

    int State() const override;
    void Close();
    void setLocalPort(quint16 port) { localPort_ = port; }
    quint16 LocalPort() const { return localPort_; }
    // The address Listen binds to; all interfaces by default.
    void setBindAddress(const QHostAddress& address) { bindAddress_ = address; }
    QHostAddress BindAddress() const { return bindAddress_; }
    // Clients served at once, 1 to kMaxClients; applies from the next Listen.
    void setMaxClients(int clients);
    int MaxClients() const { return maxClients_; }
    // Clients connected now.
    int ClientCount() const;
    // Sentences dropped for clients that stopped reading, with several
    // clients allowed.
    long DroppedForClients() const { return readers_.droppedSentences(); }
    // Starts listening on LocalPort. On failure Error is raised and the
    // socket stays closed.
    void Listen();
    // Takes the connection request just announced as this socket's own
    // connection.
    void Accept();
    // Writes the text unchanged; kSent, kWrongState or kBacklogFull.
    int SendData(const QByteArray& data);
    // While held, what SendData writes stays in the kernel (TCP_CORK), even
    // when window events run between two sends; letting go sends it in as
    // few segments as it fits (the kernel lets go by itself after 200 ms).
    // The sentences of one output tick then reach a client in one read, so
    // a reader that takes one read as one fix never sees an RMC without
    // its GGA.
    void holdBack(bool on);
    // Everything the client sent that is waiting.
    QByteArray GetData();
    // Bytes written but not yet handed to the network.
    qint64 BytesToSend() const;
    // The port actually listened on (the chosen one, or the one the system
    // gave for port 0); 0 when not listening.
    quint16 ListeningPort() const;

  signals:
    void ConnectionRequest();
    void DataArrival(qint64 bytes);
    void Error(int number, const QString& description);

  private:
    void onNewConnection();
    void takeClients();
    void listenAgain();
    void onSocketError(QAbstractSocket::SocketError error);
    void dropSocket(QTcpSocket*& socket);
    static int errorNumber(QAbstractSocket::SocketError error);

    QTcpServer server_;
    QTcpSocket* connection_ = nullptr;  // the client being served
    QTcpSocket* request_ = nullptr;     // a client that asked and waits for Accept
    bool peerClosed_ = false;
    quint16 localPort_ = 1000;
    QHostAddress bindAddress_ = QHostAddress::Any;
    int maxClients_ = 1;
    NmeaReaders readers_{1};
    bool fullClosed_ = false;  // several clients: stopped listening at the limit
    quint16 listenedPort_ = 0;
};
