// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <memory>
#include <string>

#include "app/output/nmea_sink.h"
#include "app/output/trace_list.h"
#include "core/position_accuracy.h"

class AvahiAnnouncer;
class LocalNmeaServer;
class Platform;
class ShapeElement;
class SourceSelection;
class WinsockControl;
struct NetworkState;
struct OutputState;
struct PositionState;

// The LAN output: serves the NMEA sentences to one TCP client through the
// window's socket Winsock, and shows the socket's state in TCPstat.
//
// Port and bind address come from the settings file, section "LAN": "Port"
// (default 1000) and "Address" (default: all interfaces); "Clients" (1 to
// 8, default 1) clients are served at once.
//
// For the desktop's location service: "Announce"=1 announces the output on
// the network through Avahi, "Socket"=PATH serves the same sentences on a
// Unix socket too. While announcing or serving the socket, every GGA
// carries the HDOP of its source (core/position_accuracy.h); otherwise the
// sentences go out as built.
// Both stay up while the LAN output runs and go when it stops.
class LanOutput : public NmeaSink {
  public:
    static constexpr int kDefaultPort = 1000;

    struct Elements {
        WinsockControl* Winsock;
        ShapeElement* TCPstat;
    };
    // `sources` tells the announced accuracy; `trace` takes the output's
    // notes.
    LanOutput(const Elements& elements, const NetworkState& network, const PositionState& position,
              OutputState& output, Platform& platform, std::string settingsPath,
              const SourceSelection& sources, TraceList trace);
    ~LanOutput() override;

    void LanListen();
    void LanClose();
    // The output stops (another output chosen, the position network left):
    // LanClose, and the announcement and the local socket go too.
    void LanStop();
    void LanSend(const std::string& text);

    // Socket events.
    void ConnectionRequest();
    void DataArrival(qint64 bytes);
    void Error(int number, const QString& description);

    // The output cycle's "LAN" target: starts the output on its first tick,
    // then sends the sentences of each tick.
    void Write(const funkor::OutputTarget& target, const funkor::OutputPair& pair) override;

    // A failed listen is reported again (the output choice changed).
    void resetListenError() { listenErrorShown_ = false; }

    // Sentences dropped because a client did not take them.
    long droppedSentences() const;

    AvahiAnnouncer& announcer() { return *announcer_; }
    LocalNmeaServer& localSocket() { return *localSocket_; }

  private:
    // Announcement and local socket as the settings ask, once listening.
    void startDesktopOutputs();
    funkor::AccuracyInput accuracyInput() const;
    std::string_view announcedLevel() const;

    Elements e_;
    const NetworkState& network_;
    const PositionState& position_;
    OutputState& output_;
    Platform& platform_;
    std::string settingsPath_;
    const SourceSelection& sources_;
    TraceList trace_;
    std::unique_ptr<AvahiAnnouncer> announcer_;
    std::unique_ptr<LocalNmeaServer> localSocket_;
    bool announce_ = false;  // "Announce" as read when the output started
    // A listen that failed is reported once, not on every tick that tries
    // again, until listening works or the output choice changes.
    bool listenErrorShown_ = false;
    bool listening_ = false;  // inside LanListen
    // A client that stops reading: sentences are dropped until what waits
    // has gone out, so the client gets whole sentences afterwards.
    bool dropping_ = false;
    long dropped_ = 0;
};
