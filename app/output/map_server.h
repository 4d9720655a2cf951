// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>

class QTcpSocket;

// The map page on this machine: answers the map address layout with a page
// that shows the marker and its label on OpenStreetMap with Leaflet (served
// from Debian's libjs-leaflet; only the tiles come from outside). Listens
// on 127.0.0.1 only, answers nothing but the page, its script and style and
// Leaflet's files, reads at most a few KB per request and refuses the rest.
class MapServer : public QObject {
    Q_OBJECT
  public:
    // Connections served at the same time at most. When all are taken, the
    // one that has waited longest without sending a whole request makes
    // room for the new one, so that idle or trickling connections cannot
    // lock the page out.
    static constexpr int kMaxConnections = 16;
    // A connection that sends no complete request within this time is cut.
    static constexpr int kRequestTimeoutMs = 10000;

    explicit MapServer(QObject* parent = nullptr);
    ~MapServer() override;

    // Starts listening on 127.0.0.1:`port` (0: a free port); false when
    // the port cannot be had.
    bool start(quint16 port);
    bool isListening() const { return server_.isListening(); }
    quint16 port() const { return server_.serverPort(); }
    QString errorString() const { return server_.errorString(); }
    // Where Leaflet's files are read from (Debian's folder by default).
    void setLeafletFolder(const QString& folder) { leafletFolder_ = folder; }

    // Requests answered so far, by status.
    int answered(int status) const { return answered_.value(status); }
    // Connections open now, and those closed to make room for newer ones.
    int openConnections() const { return open_; }
    int evicted() const { return evicted_; }

  private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& response, int status);
    QByteArray leafletFile(const QString& name);

    QTcpServer server_;
    QString leafletFolder_;
    QHash<QString, QByteArray> leafletCache_;
    QHash<QTcpSocket*, QByteArray> heads_;  // request heads read so far
    QList<QTcpSocket*> waiting_;            // not answered yet, oldest first
    QHash<int, int> answered_;
    int open_ = 0;
    int evicted_ = 0;
};

// The map service's base address of the window: "Map"/"Base" from the
// settings file, or this machine's own map page on "Map"/"Port" (default
// 8787). The map page is served when the base address is not set.
std::string mapBaseAddress(const std::string& iniPath);
// Starts the window's own map page server when the base address points at
// it; does nothing otherwise.
void startMapServer(MapServer& server, const std::string& iniPath);
