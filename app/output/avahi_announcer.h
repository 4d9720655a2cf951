// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QHostAddress>
#include <QString>
#include <functional>
#include <string>
#include <string_view>

struct AvahiClient;
struct AvahiEntryGroup;
struct AvahiPoll;

// The LAN output announced on the network through the running avahi-daemon
// (DNS-SD over mDNS), where geoclue and other readers find it: a
// "_nmea-0183._tcp" service named "Funkor on <host>" on the LAN port, with
// a TXT record "accuracy=<level>" in geoclue's level names.
//
// Avahi's client runs on the window's event loop (qtAvahiPoll): nothing
// here waits. Without a daemon the trace says so once and the output goes
// on unannounced. stop() and the destructor withdraw the service.
class AvahiAnnouncer {
  public:
    static constexpr const char* kServiceType = "_nmea-0183._tcp";

    // `trace` takes a line for the trace list.
    explicit AvahiAnnouncer(std::function<void(const QString&)> trace);
    ~AvahiAnnouncer();
    AvahiAnnouncer(const AvahiAnnouncer&) = delete;
    AvahiAnnouncer& operator=(const AvahiAnnouncer&) = delete;

    // Announces `port` (already announced there: the level is updated). A
    // listener bound to one address is announced on the interface holding
    // it only; one bound to a loopback address cannot be reached from the
    // network and is not announced (said in the trace).
    void start(quint16 port, const QHostAddress& bound, std::string_view accuracy);
    void stop();
    // A problem is said in the trace once until this is called (the output
    // was stopped).
    void resetNotes() { problemTraced_ = false; }
    // The TXT record follows the chosen sources.
    void setAccuracy(std::string_view accuracy);

    // Talking to the daemon (the service is announced or about to be).
    bool active() const { return client_ && !failed_; }
    // The daemon has the service on the network.
    bool announced() const { return established_; }
    QString serviceName() const { return name_; }

  private:
    static void onClientState(AvahiClient* client, int state, void* self);
    static void onGroupState(AvahiEntryGroup* group, int state, void* self);
    void addService();
    void note(const QString& line);

    std::function<void(const QString&)> trace_;
    AvahiClient* client_ = nullptr;
    AvahiEntryGroup* group_ = nullptr;
    quint16 port_ = 0;
    int interface_ = -1;  // AVAHI_IF_UNSPEC
    int protocol_ = -1;   // AVAHI_PROTO_UNSPEC
    std::string accuracy_;
    QString name_;
    bool established_ = false;
    bool failed_ = false;
    bool problemTraced_ = false;
};

// Avahi's poll interface on Qt's event loop (socket notifiers and timers
// of the calling thread).
const AvahiPoll* qtAvahiPoll();
