// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/avahi_announcer.h"

#include <QNetworkInterface>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/watch.h>
#include <sys/time.h>

// ---- Avahi's poll interface over Qt ------------------------------------------

// A descriptor Avahi watches: one notifier for reading, one for writing.
struct AvahiWatch {
    int fd = -1;
    AvahiWatchEvent happened = static_cast<AvahiWatchEvent>(0);
    AvahiWatchCallback callback = nullptr;
    void* userdata = nullptr;
    QSocketNotifier* read = nullptr;
    QSocketNotifier* write = nullptr;
};

struct AvahiTimeout {
    QTimer* timer = nullptr;
    AvahiTimeoutCallback callback = nullptr;
    void* userdata = nullptr;
};

namespace {

void dropNotifier(QSocketNotifier*& n) {
    if (!n) return;
    n->setEnabled(false);
    n->disconnect();
    // It may be the one whose signal runs now.
    n->deleteLater();
    n = nullptr;
}

void fire(AvahiWatch* w, AvahiWatchEvent event) {
    w->happened = event;
    // The callback may free the watch: nothing touches it afterwards.
    w->callback(w, w->fd, event, w->userdata);
}

void watchUpdate(AvahiWatch* w, AvahiWatchEvent events) {
    const bool in = (events & AVAHI_WATCH_IN) != 0;
    const bool out = (events & AVAHI_WATCH_OUT) != 0;
    if (in && !w->read) {
        w->read = new QSocketNotifier(w->fd, QSocketNotifier::Read);
        QObject::connect(w->read, &QSocketNotifier::activated, [w] { fire(w, AVAHI_WATCH_IN); });
    }
    if (out && !w->write) {
        w->write = new QSocketNotifier(w->fd, QSocketNotifier::Write);
        QObject::connect(w->write, &QSocketNotifier::activated, [w] { fire(w, AVAHI_WATCH_OUT); });
    }
    if (w->read) w->read->setEnabled(in);
    if (w->write) w->write->setEnabled(out);
}

AvahiWatch* watchNew(const AvahiPoll*, int fd, AvahiWatchEvent events, AvahiWatchCallback callback,
                     void* userdata) {
    auto* w = new AvahiWatch;
    w->fd = fd;
    w->callback = callback;
    w->userdata = userdata;
    watchUpdate(w, events);
    return w;
}

AvahiWatchEvent watchGetEvents(AvahiWatch* w) {
    return w->happened;
}

void watchFree(AvahiWatch* w) {
    dropNotifier(w->read);
    dropNotifier(w->write);
    delete w;
}

void timeoutUpdate(AvahiTimeout* t, const struct timeval* tv) {
    if (!tv) {
        t->timer->stop();
        return;
    }
    struct timeval now {};
    ::gettimeofday(&now, nullptr);
    const long long ms = (static_cast<long long>(tv->tv_sec) - now.tv_sec) * 1000 +
                         (static_cast<long long>(tv->tv_usec) - now.tv_usec + 999) / 1000;
    t->timer->start(static_cast<int>(std::clamp(ms, 0LL, 24LL * 3600 * 1000)));
}

AvahiTimeout* timeoutNew(const AvahiPoll*, const struct timeval* tv, AvahiTimeoutCallback callback,
                         void* userdata) {
    auto* t = new AvahiTimeout;
    t->timer = new QTimer;
    t->timer->setSingleShot(true);
    t->callback = callback;
    t->userdata = userdata;
    QObject::connect(t->timer, &QTimer::timeout, [t] { t->callback(t, t->userdata); });
    timeoutUpdate(t, tv);
    return t;
}

void timeoutFree(AvahiTimeout* t) {
    t->timer->stop();
    t->timer->disconnect();
    t->timer->deleteLater();
    delete t;
}

const AvahiPoll kQtPoll = {nullptr,   watchNew,   watchUpdate,   watchGetEvents,
                           watchFree, timeoutNew, timeoutUpdate, timeoutFree};

}  // namespace

const AvahiPoll* qtAvahiPoll() {
    return &kQtPoll;
}

// ---- The announcement --------------------------------------------------------

AvahiAnnouncer::AvahiAnnouncer(std::function<void(const QString&)> trace)
    : trace_(std::move(trace)) {}

AvahiAnnouncer::~AvahiAnnouncer() {
    stop();
}

void AvahiAnnouncer::note(const QString& line) {
    trace_(QStringLiteral("# LAN: ") + line);
}

void AvahiAnnouncer::start(quint16 port, const QHostAddress& bound, std::string_view accuracy) {
    if (client_ && !failed_ && port == port_) {
        setAccuracy(accuracy);
        return;
    }
    stop();
    port_ = port;
    accuracy_ = std::string(accuracy);
    interface_ = AVAHI_IF_UNSPEC;
    protocol_ = AVAHI_PROTO_UNSPEC;
    if (bound.isLoopback()) {
        if (!problemTraced_)
            note(QStringLiteral("keine Ankündigung im Netz: die Adresse %1 ist nur auf diesem "
                                "Rechner erreichbar (für geoclue hier Socket= nutzen)")
                     .arg(bound.toString()));
        problemTraced_ = true;
        return;
    }
    if (bound != QHostAddress(QHostAddress::Any) && bound != QHostAddress(QHostAddress::AnyIPv6) &&
        bound != QHostAddress(QHostAddress::AnyIPv4)) {
        // Announced where the listener can be reached, nowhere else.
        for (const QNetworkInterface& i : QNetworkInterface::allInterfaces())
            for (const QNetworkAddressEntry& e : i.addressEntries())
                if (e.ip().isEqual(bound)) interface_ = i.index();
        protocol_ = bound.protocol() == QAbstractSocket::IPv6Protocol ? AVAHI_PROTO_INET6
                                                                      : AVAHI_PROTO_INET;
    }
    int error = 0;
    AvahiClient* c = avahi_client_new(
        qtAvahiPoll(), static_cast<AvahiClientFlags>(0),
        [](AvahiClient* client, AvahiClientState state, void* self) {
            onClientState(client, state, self);
        },
        this, &error);
    if (!c) {
        if (!problemTraced_)
            note(QStringLiteral("keine Ankündigung im Netz, der Avahi-Dienst antwortet nicht (%1)")
                     .arg(QString::fromUtf8(avahi_strerror(error))));
        problemTraced_ = true;
        return;
    }
    client_ = c;
}

void AvahiAnnouncer::stop() {
    // Freeing the group withdraws the service from the network.
    if (group_) avahi_entry_group_free(group_);
    group_ = nullptr;
    if (client_) avahi_client_free(client_);
    client_ = nullptr;
    established_ = false;
    failed_ = false;
    name_.clear();
}

void AvahiAnnouncer::setAccuracy(std::string_view accuracy) {
    if (accuracy == accuracy_) return;
    accuracy_ = std::string(accuracy);
    if (!group_ || avahi_entry_group_is_empty(group_)) return;
    const std::string txt = "accuracy=" + accuracy_;
    avahi_entry_group_update_service_txt(
        group_, interface_, protocol_, static_cast<AvahiPublishFlags>(0),
        name_.toUtf8().constData(), kServiceType, nullptr, txt.c_str(), nullptr);
}

void AvahiAnnouncer::onClientState(AvahiClient* client, int state, void* self) {
    auto* a = static_cast<AvahiAnnouncer*>(self);
    // The first call comes from inside avahi_client_new.
    a->client_ = client;
    switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            a->addService();
            break;
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            // The host's own name is being (re)registered: the service
            // waits for it.
            if (a->group_) avahi_entry_group_reset(a->group_);
            a->established_ = false;
            break;
        case AVAHI_CLIENT_FAILURE:
            a->note(QStringLiteral("Ankündigung im Netz beendet, der Avahi-Dienst ist weg (%1)")
                        .arg(QString::fromUtf8(avahi_strerror(avahi_client_errno(client)))));
            // The client is freed by stop(), outside its own callback; the
            // next start tries anew.
            a->established_ = false;
            a->failed_ = true;
            break;
        default:
            break;
    }
}

void AvahiAnnouncer::addService() {
    if (!group_) {
        group_ = avahi_entry_group_new(
            client_,
            [](AvahiEntryGroup* group, AvahiEntryGroupState state, void* self) {
                onGroupState(group, state, self);
            },
            this);
        if (!group_) return;
    }
    if (!avahi_entry_group_is_empty(group_)) return;
    if (name_.isEmpty())
        name_ = QStringLiteral("Funkor on %1")
                    .arg(QString::fromUtf8(avahi_client_get_host_name(client_)));
    const std::string txt = "accuracy=" + accuracy_;
    const int r = avahi_entry_group_add_service(
        group_, interface_, protocol_, static_cast<AvahiPublishFlags>(0),
        name_.toUtf8().constData(), kServiceType, nullptr, nullptr, port_, txt.c_str(), nullptr);
    if (r == AVAHI_ERR_COLLISION) {
        char* other = avahi_alternative_service_name(name_.toUtf8().constData());
        name_ = QString::fromUtf8(other);
        avahi_free(other);
        avahi_entry_group_reset(group_);
        addService();
        return;
    }
    if (r < 0 || avahi_entry_group_commit(group_) < 0)
        note(QStringLiteral("Ankündigung im Netz gescheitert (%1)")
                 .arg(QString::fromUtf8(avahi_strerror(avahi_client_errno(client_)))));
}

void AvahiAnnouncer::onGroupState(AvahiEntryGroup* group, int state, void* self) {
    auto* a = static_cast<AvahiAnnouncer*>(self);
    switch (state) {
        case AVAHI_ENTRY_GROUP_ESTABLISHED:
            a->established_ = true;
            a->note(QStringLiteral("angekündigt als \u201E%1\u201C (%2, Port %3, accuracy=%4)")
                        .arg(a->name_, QLatin1String(kServiceType))
                        .arg(a->port_)
                        .arg(QString::fromStdString(a->accuracy_)));
            break;
        case AVAHI_ENTRY_GROUP_COLLISION: {
            // Another service on the network has the name: the next free
            // one, "Funkor on host #2".
            char* other = avahi_alternative_service_name(a->name_.toUtf8().constData());
            a->name_ = QString::fromUtf8(other);
            avahi_free(other);
            a->established_ = false;
            avahi_entry_group_reset(group);
            a->addService();
            break;
        }
        case AVAHI_ENTRY_GROUP_FAILURE:
            a->established_ = false;
            a->note(QStringLiteral("Ankündigung im Netz gescheitert (%1)")
                        .arg(QString::fromUtf8(avahi_strerror(
                            avahi_client_errno(avahi_entry_group_get_client(group))))));
            break;
        default:
            break;
    }
}
