// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/position_feed.h"

#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/output/gps_input.h"
#include "app/output/lan_output.h"
#include "app/output/map_link.h"
#include "app/output/nmea_output.h"
#include "app/output/source_selection.h"
#include "app/position/position_log.h"
#include "app/position/position_panel.h"

PositionFeed::PositionFeed(NetworkState& network, PositionState& position, const Topics& topics)
    : network_(network), position_(position), topics_(topics) {}

void PositionFeed::offer(PositionOrigin origin) {
    topics_.nmeaOutput.setChoiceEnabled(true);
    topics_.gpsInput.setChoiceEnabled(true);
    if (origin == PositionOrigin::Broadcast) {
        topics_.gpsInput.openChosenPort();
        topics_.panel.showForBroadcast();
    } else {
        topics_.panel.showForDatabase();
    }
}

void PositionFeed::publish(const FeedPosition& p) {
    shown_ = p.origin;
    position_.gsmFromDatabase = p.origin != PositionOrigin::Broadcast;
    position_.mapAddress = p.mapAddress;
    topics_.mapLink.follow(p.mapAddress);
    if (!p.caption.isEmpty()) topics_.panel.showPosition(p.caption, p.toolTip);
    position_.gsmRmc = p.sentences.rmc;
    position_.gsmGga = p.sentences.gga;
    position_.gsmGst = p.gst;
    if (p.zone) {
        topics_.panel.showZone(p.zone->caption, p.zone->toolTip);
        network_.zoneName = p.zone->zoneName;
        topics_.panel.showZoneName(fromCp1252(network_.zoneName));
        topics_.panel.showDistance(p.zone->distance);
    }
    topics_.nmeaOutput.start();
    topics_.positionLog.logPosition();
}

void PositionFeed::refresh(const FeedPosition& p) {
    if (!p.caption.isEmpty()) topics_.panel.showPosition(p.caption, p.toolTip);
    position_.gsmRmc = p.sentences.rmc;
    position_.gsmGga = p.sentences.gga;
    position_.gsmGst = p.gst;
}

void PositionFeed::leave() {
    shown_.reset();
    position_.gsmRmc.clear();
    position_.gsmGga.clear();
    position_.gsmGst.clear();
    position_.lastCbPosition.clear();
    position_.gsmFromDatabase = false;
    topics_.panel.showPosition(QString(), QString());
}

void PositionFeed::publishSms(const std::string& mapAddress) {
    topics_.sources.selectSmsSource();
    topics_.mapLink.follow(mapAddress);
}

void PositionFeed::leaveNetwork() {
    shown_.reset();
    topics_.nmeaOutput.stop();
    topics_.panel.clearCaption();
    topics_.panel.clearZone();
    topics_.nmeaOutput.setChoiceEnabled(false);
    topics_.gpsInput.setChoiceEnabled(false);
    topics_.panel.hideAll();
    topics_.positionLog.stopLogging();
    topics_.lanOutput.LanStop();
}
