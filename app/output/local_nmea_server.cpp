// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/local_nmea_server.h"

#include <QFileInfo>
#include <QLocalSocket>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

enum class PathUse { Free, Stale, Served, NotASocket };

// What is at `path` now: nothing, a socket nobody serves, a socket in use,
// or something else.
PathUse pathUse(const QByteArray& path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0) return PathUse::Free;
    if (!S_ISSOCK(st.st_mode)) return PathUse::NotASocket;
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    if (static_cast<std::size_t>(path.size()) >= sizeof a.sun_path) return PathUse::NotASocket;
    std::memcpy(a.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return PathUse::Stale;
    const bool answered = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return answered ? PathUse::Served : PathUse::Stale;
}

}  // namespace

LocalNmeaServer::LocalNmeaServer(std::function<void(const QString&)> trace, QObject* parent)
    : QObject(parent), trace_(std::move(trace)) {
    server_.setSocketOptions(QLocalServer::WorldAccessOption);
    server_.setMaxPendingConnections(kMaxReaders);
    connect(&server_, &QLocalServer::newConnection, this, &LocalNmeaServer::onNewConnection);
}

LocalNmeaServer::~LocalNmeaServer() {
    stop();
}

void LocalNmeaServer::fail(const QString& why) {
    if (failureTraced_) return;
    failureTraced_ = true;
    trace_(QStringLiteral("# NMEA-Socket %1: %2").arg(path_, why));
}

bool LocalNmeaServer::start(const QString& path) {
    if (server_.isListening() && path == path_) return true;
    if (server_.isListening()) stop();
    path_ = path;
    const QByteArray native = QFile::encodeName(path);
    if (!path.startsWith(QLatin1Char('/'))) {
        fail(QStringLiteral("kein absoluter Pfad (Funkor.ini, Abschnitt [LAN], Schlüssel Socket)"));
        return false;
    }
    if (!QFileInfo(QFileInfo(path).absolutePath()).isDir()) {
        fail(QStringLiteral("Ordner fehlt (das Paket legt /run/funkor an)"));
        return false;
    }
    switch (pathUse(native)) {
        case PathUse::NotASocket:
            fail(QStringLiteral("dort liegt eine andere Datei, sie bleibt unberührt"));
            return false;
        case PathUse::Served:
            fail(QStringLiteral("wird schon von einem anderen Programm bedient"));
            return false;
        case PathUse::Stale:
            ::unlink(native.constData());
            break;
        case PathUse::Free:
            break;
    }
    if (!server_.listen(path)) {
        fail(server_.errorString());
        return false;
    }
    return true;
}

void LocalNmeaServer::stop() {
    readers_.closeAll();
    // Closing removes the socket file.
    if (server_.isListening()) server_.close();
    failureTraced_ = false;
}

void LocalNmeaServer::onNewConnection() {
    readers_.takeWaiting(server_);
}
