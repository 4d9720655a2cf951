// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/map_server.h"

#include <QFile>
#include <QTcpSocket>
#include <QTimer>
#include <QtDebug>
#include <memory>

#include "core/ini_file.h"
#include "core/map_page.h"

namespace mp = funkor::mappage;

namespace {

QByteArray bytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

}  // namespace

MapServer::MapServer(QObject* parent)
    : QObject(parent),
      leafletFolder_(QString::fromUtf8(mp::kLeafletFolder.data(),
                                       static_cast<qsizetype>(mp::kLeafletFolder.size()))) {
    server_.setMaxPendingConnections(kMaxConnections);
    connect(&server_, &QTcpServer::newConnection, this, &MapServer::onNewConnection);
}

MapServer::~MapServer() {
    // The connections go first, while the books they are kept in still
    // exist: the listener (and with it its sockets) is destroyed only
    // after them.
    server_.close();
    qDeleteAll(server_.findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly));
}

bool MapServer::start(quint16 port) {
    if (server_.isListening()) return true;
    return server_.listen(QHostAddress::LocalHost, port);
}

void MapServer::onNewConnection() {
    while (QTcpSocket* s = server_.nextPendingConnection()) {
        if (open_ >= kMaxConnections && !waiting_.isEmpty()) {
            ++evicted_;
            delete waiting_.first();
        }
        if (open_ >= kMaxConnections) {
            s->abort();
            s->deleteLater();
            continue;
        }
        ++open_;
        waiting_.append(s);
        connect(s, &QObject::destroyed, this, [this, s] {
            --open_;
            heads_.remove(s);
            waiting_.removeOne(s);
        });
        // The socket itself stops taking bytes from the system once a
        // request head's worth waits.
        s->setReadBufferSize(static_cast<qint64>(mp::kMaxRequestHead) + 1);
        connect(s, &QIODevice::readyRead, this, [this, s] { onReadyRead(s); });
        connect(s, &QAbstractSocket::disconnected, s, &QObject::deleteLater);
        QTimer::singleShot(kRequestTimeoutMs, s, [s] {
            s->abort();
            s->deleteLater();
        });
    }
}

void MapServer::onReadyRead(QTcpSocket* s) {
    QByteArray& head = heads_[s];
    const qint64 room = static_cast<qint64>(mp::kMaxRequestHead) + 1 - head.size();
    if (room > 0) head.append(s->read(room));
    const qsizetype end = head.indexOf("\r\n\r\n");
    if (end < 0) {
        if (head.size() > static_cast<qsizetype>(mp::kMaxRequestHead))
            answer(s, bytes(mp::errorResponse(431)), 431);
        return;
    }
    const mp::Request request =
        mp::parseRequest(std::string_view(head.constData(), static_cast<std::size_t>(end) + 4));
    if (request.status != 200) {
        answer(s, bytes(mp::errorResponse(request.status, request.headOnly)), request.status);
        return;
    }
    std::string body;
    switch (request.resource) {
        case mp::Resource::Page:
            body = mp::pageHtml(request.marker);
            break;
        case mp::Resource::PageScript:
            body = std::string(mp::pageScript());
            break;
        case mp::Resource::PageStyle:
            body = std::string(mp::pageStyle());
            break;
        case mp::Resource::LeafletFile: {
            const QByteArray file = leafletFile(QString::fromStdString(request.leafletFile));
            if (file.isNull()) {
                answer(s, bytes(mp::errorResponse(404, request.headOnly)), 404);
                return;
            }
            body.assign(file.constData(), static_cast<std::size_t>(file.size()));
            break;
        }
        case mp::Resource::None:
            answer(s, bytes(mp::errorResponse(404, request.headOnly)), 404);
            return;
    }
    answer(s, bytes(mp::response(200, request.contentType, body, request.headOnly)), 200);
}

void MapServer::answer(QTcpSocket* s, const QByteArray& response, int status) {
    ++answered_[status];
    // One answer per connection; whatever else the client sends is not read.
    disconnect(s, &QIODevice::readyRead, this, nullptr);
    heads_.remove(s);
    waiting_.removeOne(s);
    s->write(response);
    s->disconnectFromHost();
}

QByteArray MapServer::leafletFile(const QString& name) {
    auto it = leafletCache_.find(name);
    if (it != leafletCache_.end()) return *it;
    QFile file(leafletFolder_ + QLatin1Char('/') + name);
    // Leaflet's own files are small; anything far bigger is not them.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 4 * 1024 * 1024) return QByteArray();
    QByteArray content = file.readAll();
    leafletCache_.insert(name, content);
    return content;
}

std::string mapBaseAddress(const std::string& iniPath) {
    auto base = funkor::ini::getString(iniPath, "Map", "Base");
    if (base && !base->empty()) return *base;
    int port = funkor::ini::getInt(iniPath, "Map", "Port", mp::kDefaultPort);
    if (port < 1 || port > 65535) port = mp::kDefaultPort;
    return mp::defaultBase(port);
}

void startMapServer(MapServer& server, const std::string& iniPath) {
    auto base = funkor::ini::getString(iniPath, "Map", "Base");
    if (base && !base->empty()) return;
    int port = funkor::ini::getInt(iniPath, "Map", "Port", mp::kDefaultPort);
    if (port < 1 || port > 65535) port = mp::kDefaultPort;
    // A port held by another Funkor serves the same page (it is made from
    // the address alone); another program there is reported, not fatal.
    if (!server.start(static_cast<quint16>(port)))
        qWarning().noquote() << QStringLiteral(
                                    "Kartenseite: 127.0.0.1:%1 nicht verfügbar (%2); anderen "
                                    "Port in Funkor.ini eintragen: [Map] Port=")
                                    .arg(port)
                                    .arg(server.errorString());
}
