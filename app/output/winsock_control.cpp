// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/winsock_control.h"

#include <QTimer>
#include <algorithm>
#include <vector>

namespace {

// A connection given up waits this long for its last bytes to go out.
constexpr int kLingerMs = 5000;

}  // namespace

WinsockControl::WinsockControl(QObject* parent) : SocketElement(parent) {
    server_.setMaxPendingConnections(1);
    connect(&server_, &QTcpServer::newConnection, this, &WinsockControl::onNewConnection);
    connect(&readers_, &NmeaReaders::readerLeft, this, &WinsockControl::listenAgain);
}

void WinsockControl::setMaxClients(int clients) {
    maxClients_ = std::clamp(clients, 1, kMaxClients);
}

int WinsockControl::ClientCount() const {
    if (maxClients_ > 1) return readers_.count();
    return State() == 7 ? 1 : 0;
}

WinsockControl::~WinsockControl() {
    server_.close();
    for (QTcpSocket* s : {connection_, request_}) {
        if (!s) continue;
        s->disconnect(this);
        s->abort();
    }
}

int WinsockControl::State() const {
    if (readers_.count() > 0) return 7;
    if (connection_) {
        if (peerClosed_) return 8;
        switch (connection_->state()) {
            case QAbstractSocket::ConnectedState:
                return 7;
            case QAbstractSocket::ClosingState:
            case QAbstractSocket::UnconnectedState:
                return 8;
            default:
                return 0;
        }
    }
    return server_.isListening() ? 2 : 0;
}

void WinsockControl::dropSocket(QTcpSocket*& socket) {
    if (!socket) return;
    QTcpSocket* s = socket;
    socket = nullptr;
    s->disconnect(this);
    // Whatever waits to be sent may still go out, but not for ever: a
    // client that does not read is cut off after a while.
    connect(s, &QAbstractSocket::disconnected, s, &QObject::deleteLater);
    QTimer::singleShot(kLingerMs, s, [s] {
        s->abort();
        s->deleteLater();
    });
    s->disconnectFromHost();
    if (s->state() == QAbstractSocket::UnconnectedState) s->deleteLater();
}

void WinsockControl::Close() {
    server_.close();
    dropSocket(connection_);
    readers_.closeAll();
    fullClosed_ = false;
    peerClosed_ = false;
}

void WinsockControl::Listen() {
    if (server_.isListening()) return;
    if (bindAddress_.isNull()) {
        emit Error(10049, QStringLiteral("Die Adresse aus Funkor.ini, Abschnitt [LAN], "
                                         "Schlüssel Address, ist keine gültige IP-Adresse."));
        return;
    }
    readers_.setLimit(maxClients_);
    server_.setMaxPendingConnections(maxClients_);
    if (server_.listen(bindAddress_, localPort_)) {
        listenedPort_ = server_.serverPort();
        return;
    }
    const int number = errorNumber(server_.serverError());
    QString description = server_.errorString();
    if (number == 10013) {
        description = QStringLiteral(
                          "Keine Berechtigung für TCP-Port %1: Ports unter 1024 darf nur "
                          "ein Programm mit dem Recht CAP_NET_BIND_SERVICE öffnen. Einen Port "
                          "ab 1024 in Funkor.ini eintragen: Abschnitt [LAN], Schlüssel Port "
                          "(zum Beispiel Port=10110).")
                          .arg(localPort_);
    } else if (number == 10048) {
        description = QStringLiteral(
                          "TCP-Port %1 ist schon belegt (ein anderes Programm oder ein "
                          "zweites Funkor). Einen freien Port in Funkor.ini eintragen: "
                          "Abschnitt [LAN], Schlüssel Port.")
                          .arg(localPort_);
    } else if (number == 10049) {
        description = QStringLiteral(
                          "Die Adresse %1 gibt es auf diesem Rechner nicht (Funkor.ini, "
                          "Abschnitt [LAN], Schlüssel Address).")
                          .arg(bindAddress_.toString());
    }
    emit Error(number, description);
}

void WinsockControl::onNewConnection() {
    if (maxClients_ > 1) {
        takeClients();
        return;
    }
    // The first client that asks is offered to the window; everyone else
    // who came at the same moment is turned away at once.
    std::vector<QTcpSocket*> arrived;
    while (QTcpSocket* s = server_.nextPendingConnection()) arrived.push_back(s);
    bool offered = false;
    for (QTcpSocket* s : arrived) {
        if (!offered && !request_) {
            request_ = s;
            offered = true;
        } else {
            s->abort();
            s->deleteLater();
        }
    }
    if (offered) emit ConnectionRequest();
}

void WinsockControl::takeClients() {
    readers_.takeWaiting(server_);
    if (readers_.full()) {
        server_.close();
        fullClosed_ = true;
    }
}

void WinsockControl::listenAgain() {
    // Only a listener given up at the limit comes back by itself; a failure
    // here leaves the socket closed once the last client has gone, and the
    // output cycle listens anew.
    if (!fullClosed_ || readers_.full()) return;
    fullClosed_ = false;
    server_.listen(bindAddress_, listenedPort_);
}

void WinsockControl::Accept() {
    if (!request_) return;
    server_.close();
    dropSocket(connection_);
    connection_ = request_;
    request_ = nullptr;
    peerClosed_ = false;
    connection_->setReadBufferSize(kReadBufferSize);
    connect(connection_, &QIODevice::readyRead, this,
            [this] { emit DataArrival(connection_ ? connection_->bytesAvailable() : 0); });
    connect(connection_, &QAbstractSocket::disconnected, this, [this] { peerClosed_ = true; });
    connect(connection_, &QAbstractSocket::errorOccurred, this, &WinsockControl::onSocketError);
    // Data that came with the connection is announced like any later data.
    if (connection_->bytesAvailable() > 0)
        QTimer::singleShot(0, this, [this] {
            if (connection_ && connection_->bytesAvailable() > 0)
                emit DataArrival(connection_->bytesAvailable());
        });
}

int WinsockControl::SendData(const QByteArray& data) {
    if (State() != 7) return kWrongState;
    if (readers_.count() > 0) return readers_.send(data) > 0 ? kReaderFellBehind : kSent;
    if (BytesToSend() + data.size() > kSendBacklogLimit) return kBacklogFull;
    connection_->write(data);
    return kSent;
}

void WinsockControl::holdBack(bool on) {
    holdTcpBack(connection_, on);
    readers_.holdBack(on);
}

QByteArray WinsockControl::GetData() {
    return connection_ ? connection_->readAll() : QByteArray();
}

qint64 WinsockControl::BytesToSend() const {
    if (readers_.count() > 0) return readers_.largestBacklog();
    return connection_ ? connection_->bytesToWrite() : 0;
}

quint16 WinsockControl::ListeningPort() const {
    return server_.isListening() ? server_.serverPort() : 0;
}

void WinsockControl::onSocketError(QAbstractSocket::SocketError error) {
    const int number = errorNumber(error);
    if (number == 10053 || number == 10054) peerClosed_ = true;
    emit Error(number, connection_ ? connection_->errorString() : QString());
}

int WinsockControl::errorNumber(QAbstractSocket::SocketError error) {
    switch (error) {
        case QAbstractSocket::SocketAccessError:
            return 10013;
        case QAbstractSocket::AddressInUseError:
            return 10048;
        case QAbstractSocket::SocketAddressNotAvailableError:
            return 10049;
        case QAbstractSocket::RemoteHostClosedError:
            return 10053;
        case QAbstractSocket::NetworkError:
            return 10054;
        case QAbstractSocket::SocketResourceError:
            return 10055;
        case QAbstractSocket::SocketTimeoutError:
            return 10060;
        default:
            return 10022;
    }
}
