// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Positions from outside: a broadcast page (hex from the phone), a received
// position SMS and a GPS receiver's RMC sentence. Whatever they hold, the
// conversions stay finite, the NMEA fields keep their fixed width and every
// text built from them is free of "nan" and "inf".

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/grid.h"
#include "core/nmea.h"
#include "core/position_engine.h"
#include "core/position_sms.h"
#include "core/position_texts.h"
#include "fuzz_input.h"

using namespace funkor;
using funkor::fuzz::require;

namespace {

bool readable(std::string_view text) {
    return text.find("nan") == std::string_view::npos && text.find("inf") == std::string_view::npos;
}

// A received position SMS carries its field characters into the sentences
// as they stand, so only computed sentences are checked for their numbers.
void checkSentences(const SentencePair& p, bool computed) {
    for (const std::string* s : {&p.rmc, &p.gga}) {
        require(!computed || readable(*s), "sentence without nan/inf");
        require(s->size() >= 5 && s->compare(s->size() - 2, 2, "\r\n") == 0,
                "sentence ends in CR LF");
        const std::size_t star = s->rfind('*');
        require(star != std::string::npos && star + 5 == s->size(), "two checksum digits");
        require(s->substr(star + 1, 2) == nmeaChecksum(s->substr(1, star - 1)),
                "checksum matches the body");
    }
}

void showPosition(std::string_view key, std::uint8_t steer) {
    const std::string sectors[] = {"A", "B", "C", "", "X"};
    GridPoint p = positionKeyToGrid(key);
    p = applySectorOffset(p, sectors[steer % 5]);
    p = applyTimingAdvanceMove(p, sectors[(steer / 5) % 5], (steer % 64) * 546.0 + 273.0);
    const GeoPosition g = gridToWgs84(p.easting, p.northing);
    require(std::isfinite(g.latitude) && std::isfinite(g.longitude), "grid conversion finite");

    const std::string lat = nmeaLatitude(g.latitude);
    const std::string lon = nmeaLongitude(g.longitude);
    require(lat.size() == 9 && lat[4] == '.', "latitude field ddmm.mmmm");
    require(lon.size() == 10 && lon[5] == '.', "longitude field dddmm.mmmm");
    const SentencePair pair =
        buildPositionSentences(g.latitude, g.longitude, CivilTime{2026, 12, 31, 23, 59, 59}, 1);
    checkSentences(pair, true);
    const std::string sms = positionSmsFromCellRmc(pair.rmc);
    require(sms.size() == 17 && sms[0] == '$' && sms[8] == ',', "position SMS of 17 characters");

    require(readable(positionCaption("12:34", g.latitude, g.longitude)), "caption readable");
    // The tooltip quotes the key's characters as they came; only the
    // numbers after them are checked.
    const std::string tip = positionToolTip(key, g.latitude, g.longitude, ',');
    const std::size_t numbers = tip.rfind(" N:");
    require(numbers != std::string::npos && readable(tip.substr(numbers)), "tooltip readable");
    require(readable(mapAddress("http://127.0.0.1/map", g.latitude, g.longitude, "x")),
            "map address readable");
    const std::vector<std::string> circles = {"4595    5820    20    Berlin",
                                              "3567    5336     9    München", "", "x"};
    findRegionCircle(key, circles);
    const ZoneDecision z = evaluateSimZones(key, ZoneCentre{459500, 582000, 1500, "Home"},
                                            ZoneCentre{459000, 581000, -5, "City"});
    require(std::isfinite(z.homeDistance) && std::isfinite(z.cityDistance), "zone distances");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text = fuzz::asText(data, size);
    const std::uint8_t steer = fuzz::takeByte(text);
    const auto lines = fuzz::splitLines(text);

    // First line: a broadcast page as the phone reports it after "+CBM:".
    const std::string_view page = lines[0];
    isPositionPage(page);
    if (const auto key = cellBroadcastPosition(page)) {
        require(key->size() == 12, "broadcast position has 12 digits");
        showPosition(*key, steer);
    }
    // The same line read as a position key of any shape.
    showPosition(page, steer);

    // The whole engine on the page, and on the line as the home zone's key.
    const std::vector<std::string> circles = {"4595   5820      20 Berlin", "x"};
    PositionEngineInput in;
    in.cbPage = page;
    in.sectorLetter = (steer & 1) ? "B" : "A";
    in.taDistance = steer * 136.0;
    in.homeDisplay = (steer & 2) != 0;
    in.cellDisplay = (steer & 4) != 0;
    in.homeKey = page;
    in.home = ZoneCentre{459500, 582000, 1500, "Home"};
    in.regionLines = circles;
    in.localTime = CivilTime{2026, 12, 31, 23, 59, 59};
    const PositionEngineResult r = computeCellPosition(in);
    if (r.stage == PositionStage::Computed) {
        checkSentences(r.sentences, true);
        require(readable(r.mapAddress) && readable(r.distanceCaption), "engine texts readable");
        require(in.homeDisplay || isPositionKey(r.positionKey), "broadcast key of 12 digits");
    }

    // Second line: a received position SMS; third: a GPS receiver's RMC.
    if (lines.size() > 1) {
        if (const auto received = readPositionSms(lines[1], "24.12.26 18:30:05")) {
            checkSentences(received->sentences, false);
            require(readable(received->coordinates), "map coordinates readable");
        }
    }
    if (lines.size() > 2) {
        const std::string sms = positionSmsFromGpsRmc(lines[2]);
        require(sms.empty() || (sms.size() == 17 && sms[0] == '$'), "GPS position SMS");
        if (const auto at = rmcMapPosition(lines[2]))
            require(std::isfinite(at->latitude) && std::isfinite(at->longitude), "RMC position");
        buildPositionSms(lines[2], lines[0]);
    }
    return 0;
}
