// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <span>
#include <string>
#include <string_view>

#include "core/grid.h"
#include "core/nmea.h"
#include "core/position_texts.h"

// The cell position engine as one computation: from the broadcast page (or
// the SIM's home zone), the serving cell and the display switches to the
// grid key, the WGS84 position, every text the window shows for it, the
// NMEA sentence pair and the map address.
namespace funkor {

struct PositionEngineInput {
    std::string_view cbPage;          // hex text of the last broadcast page
    std::string_view lastCbPosition;  // position hex of the last processed page
    std::string_view sectorLetter;    // "A", "B", "C" or "" (no cell)
    double taDistance = 0;            // metres from the timing advance
    bool homeDisplay = false;         // show the home zone centre instead
    bool cellDisplay = false;         // move by the timing advance
    std::string_view homeKey;         // home zone centre as a position key
    ZoneCentre home;
    ZoneCentre city;
    std::string_view cellKey;
    std::span<const std::string> regionLines;  // the region file's lines
    std::string_view regionText;               // "Region: N-BYN"
    CivilTime localTime;
    std::chrono::minutes utcOffset{0};  // local time minus UTC
    std::string_view mapBase;           // address of the map page, without the path
    char decimalSeparator = '.';        // of the user's number format
};

enum class PositionStage {
    NotReady,      // no cell, or the SIM's zones are unknown: nothing happens
    OtherChannel,  // the page is not a position page: nothing happens
    Repeated,      // the same position again (or an unreadable one): the
                   // position controls are shown, nothing else changes
    Computed,      // a new position: everything below is filled
};

struct PositionEngineResult {
    PositionStage stage = PositionStage::NotReady;
    // The page went through the channel check: the window enables the port
    // lists, opens the GPS port and shows the position controls.
    bool broadcast = false;
    std::string lastCbPosition;  // "" in home display
    std::string positionKey;
    GridPoint grid;  // metres after sector offset and timing-advance move
    GeoPosition wgs84;
    std::string hhmm;        // local time of the position
    std::string caption;     // PosL
    std::string toolTip;     // PosL's tool tip
    SentencePair sentences;  // gsmRmc, gsmGga
    std::string mapAddress;
    std::string zoneCaption;  // regionText + " / <region>"
    std::string zoneToolTip;
    ZoneDecision zones;           // distances and the zone name for Netz2
    std::string distanceCaption;  // Entf: "1,2 km"
};

// Home display takes `homeKey` every time; otherwise a page passes when its
// message identifier is channel 221 and its 11 position octets differ from
// `lastCbPosition`. A page whose position is not 22 hex digits packing 12
// decimal digits is not a position and changes nothing beyond the shown
// controls.
PositionEngineResult computeCellPosition(const PositionEngineInput& in);

// True for `n` hexadecimal digits exactly.
bool isHexDigits(std::string_view s, std::size_t n);

}  // namespace funkor
