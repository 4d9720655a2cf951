// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_engine.h"

#include <cstdio>

#include "core/fields.h"

namespace funkor {

namespace {

std::string twoDigits(int v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", v);
    return buf;
}

}  // namespace

bool isHexDigits(std::string_view s, std::size_t n) {
    if (s.size() != n) return false;
    for (char c : s) {
        const bool hex = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
        if (!hex) return false;
    }
    return true;
}

PositionEngineResult computeCellPosition(const PositionEngineInput& in) {
    PositionEngineResult r;
    // Without a serving cell or the SIM's zones there is nothing to relate
    // the position to.
    if (in.sectorLetter.empty() || !(in.home.radius != 0)) return r;

    if (in.homeDisplay) {
        r.positionKey = std::string(in.homeKey);
    } else {
        if (!isPositionPage(in.cbPage)) {
            r.stage = PositionStage::OtherChannel;
            return r;
        }
        r.broadcast = true;
        r.stage = PositionStage::Repeated;
        const std::string hex = pagePositionHex(in.cbPage);
        r.lastCbPosition = std::string(in.lastCbPosition);
        // The network repeats its page; only a changed position goes on.
        if (hex == in.lastCbPosition) return r;
        // A cut or garbled page would give a position far off the grid that
        // the output, the log and the names would carry on.
        if (!isHexDigits(hex, 22)) return r;
        const auto key = cellBroadcastPosition(in.cbPage);
        if (!key || !isPositionKey(*key)) return r;
        r.lastCbPosition = hex;
        r.positionKey = *key;
    }
    r.stage = PositionStage::Computed;

    GridPoint p = positionKeyToGrid(r.positionKey);
    if (!in.homeDisplay) {
        p = applySectorOffset(p, in.sectorLetter);
        if (in.cellDisplay) p = applyTimingAdvanceMove(p, in.sectorLetter, in.taDistance);
    }
    r.grid = p;
    r.wgs84 = gridToWgs84(p.easting, p.northing);
    const double lat = r.wgs84.latitude;
    const double lon = r.wgs84.longitude;

    r.hhmm = twoDigits(in.localTime.hour) + ":" + twoDigits(in.localTime.minute);
    r.mapAddress = mapAddress(in.mapBase, lat, lon, cellMapLabel(in.cellKey, r.hhmm));
    if (!r.positionKey.empty()) {
        r.caption = positionCaption(r.hhmm, lat, lon);
        r.toolTip = positionToolTip(r.positionKey, lat, lon, in.decimalSeparator);
    }
    r.sentences = buildPositionSentences(lat, lon, in.localTime, in.utcOffset);

    const RegionMatch region = findRegionCircle(r.positionKey, in.regionLines);
    r.zoneCaption = std::string(in.regionText) + region.text;
    r.zoneToolTip = region.toolTip;

    r.zones = evaluateSimZones(r.positionKey, in.home, in.city);
    r.distanceCaption = distanceCaption(r.zones.homeDistance, in.decimalSeparator);
    return r;
}

}  // namespace funkor
