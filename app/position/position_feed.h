// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <optional>
#include <string>

#include "core/nmea.h"

class GpsInput;
class LanOutput;
class MapLink;
class NmeaOutput;
class PositionLog;
class PositionPanel;
class SourceSelection;
struct NetworkState;
struct PositionState;

// Where a position of the phone's cell came from.
enum class PositionOrigin {
    Broadcast,     // the site position the serving cell broadcasts
    CellDatabase,  // the serving cell's row in the offline cell database
    Estimate,      // estimated from every cell heard, their rows and signals
};

// The zone displays that come with a broadcast position.
struct ZoneDisplay {
    QString caption;  // Zone
    QString toolTip;
    std::string zoneName;  // Netz2, 8-bit
    QString distance;      // Entf
};

// A position of the phone's cell, as it is handed on.
struct FeedPosition {
    PositionOrigin origin = PositionOrigin::Broadcast;
    QString caption;  // PosL; empty: PosL keeps what it shows
    QString toolTip;
    funkor::SentencePair sentences;
    std::string gst;  // an estimate's error sentence, sent after the pair
    std::string mapAddress;
    std::optional<ZoneDisplay> zone;
};

// The one road of a cell position to everything that uses it: the position
// display, the sentence pair that the output sends, the map, the output
// timer and the log, always in this order.
class PositionFeed {
  public:
    struct Topics {
        PositionPanel& panel;
        NmeaOutput& nmeaOutput;
        GpsInput& gpsInput;
        MapLink& mapLink;
        PositionLog& positionLog;
        LanOutput& lanOutput;
        SourceSelection& sources;
    };
    PositionFeed(NetworkState& network, PositionState& position, const Topics& topics);

    // A position of this origin is coming: the outputs may be chosen, and
    // the panel shows the controls of the origin. A broadcast position also
    // gives a GPS receiver chosen before the phone was found its port, unless
    // it is the phone's own.
    void offer(PositionOrigin origin);
    // Shows the position, makes its sentences the GSM pair, follows it on the
    // map, starts the output and logs it.
    void publish(const FeedPosition& p);
    // The same position again, with the time of now: its caption and
    // sentences are renewed, nothing else is told.
    void refresh(const FeedPosition& p);
    // The serving cell has no position (yet): nothing of the last cell's is
    // carried over, no sentences go out and PosL is empty.
    void leave();
    // A position SMS came: it becomes the output's source, and the map
    // follows it. (Its sentences are the SMS pair, not the cell's.)
    void publishSms(const std::string& mapAddress);
    // The position network is left: the output stops, the position displays
    // are emptied and hidden, the log stops, and a started LAN output closes
    // (with its announcement and local socket, even between two clients).
    void leaveNetwork();
    // The origin of the position last published whole (shown, mapped and
    // logged); none after leave() or leaveNetwork().
    std::optional<PositionOrigin> shownOrigin() const { return shown_; }

  private:
    NetworkState& network_;
    PositionState& position_;
    Topics topics_;
    std::optional<PositionOrigin> shown_;
};
