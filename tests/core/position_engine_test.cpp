// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_engine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace funkor;

namespace {

// Pages as the S45i hands them on channel 221 (see the broadcast tests).
const std::string kBerlinPage = "001000DD0111B45A0E7783D570B15C8E06";  // 459870581994
const std::string kTowerPage = "002300DD0111B45A0C17C3D570B258EE06";   // 451818582197
const std::string kBerlinHex = "B45A0E7783D570B15C8E06";

// A region line: easting km at 1-4, northing km at 8-11, radius at 15-19,
// name from 21.
std::string regionLine(int e, int n, int r, const std::string& name) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d   %04d   %5d ", e, n, r);
    return buf + name;
}

struct Engine {
    std::vector<std::string> regions;
    PositionEngineInput in;
    Engine() {
        in.cbPage = kBerlinPage;
        in.sectorLetter = "B";
        in.homeKey = "459870581994";
        in.home = {459870, 581994, 1500, "Daheim"};
        in.city = {459800, 582000, 20000, "Berlin"};
        in.cellKey = "4E21C67C26207";
        in.regionText = "Region: O-BLN";
        in.localTime = {2026, 12, 8, 12, 34, 56};
        in.utcOffset = std::chrono::hours(1);
        in.mapBase = "http://127.0.0.1:8787";
        in.decimalSeparator = ',';
    }
    PositionEngineResult run() {
        in.regionLines = regions;
        return computeCellPosition(in);
    }
};

}  // namespace

TEST(PositionEngine, PagesThatChangeNothing) {
    const struct {
        const char* legend;
        const char* sector;
        double homeRadius;
        std::string page;
        const char* last;
        PositionStage stage;
        bool broadcast;
    } cases[] = {
        {"no cell", "", 1500, kBerlinPage, "", PositionStage::NotReady, false},
        {"SIM zones unread", "B", 0, kBerlinPage, "", PositionStage::NotReady, false},
        {"channel 220", "B", 1500, "001000DC0111B45A0E7783D570B15C8E06", "",
         PositionStage::OtherChannel, false},
        {"same position again", "B", 1500, kBerlinPage, kBerlinHex.c_str(), PositionStage::Repeated,
         true},
        {"page cut short", "B", 1500, "001000DD0111B45A0E7783D570", "", PositionStage::Repeated,
         true},
        {"not hex", "B", 1500, "001000DD0111B45A0E7783D570B15C8EZZ", "", PositionStage::Repeated,
         true},
        {"letters instead of digits", "B", 1500, "001000DD0111C1E2F1F8FCC5B7DB73D7DB", "",
         PositionStage::Repeated, true},
    };
    for (const auto& c : cases) {
        Engine e;
        e.in.sectorLetter = c.sector;
        e.in.home.radius = c.homeRadius;
        e.in.cbPage = c.page;
        e.in.lastCbPosition = c.last;
        const auto r = e.run();
        EXPECT_EQ(r.stage, c.stage) << c.legend;
        EXPECT_EQ(r.broadcast, c.broadcast) << c.legend;
        EXPECT_EQ(r.lastCbPosition, c.last) << c.legend;
        EXPECT_EQ(r.positionKey, "") << c.legend;
        EXPECT_EQ(r.sentences.rmc, "") << c.legend;
    }
}

TEST(PositionEngine, GridAfterSectorOffsetAndTimingAdvance) {
    // Broadcast position 4598700 / 5819940 m unless said otherwise.
    const struct {
        const char* legend;
        std::string page;
        const char* sector;
        bool home, cell;
        double ta;
        double e, n;
    } cases[] = {
        {"sector A: 50 m south", kTowerPage, "A", false, false, 0, 4518180, 5821920},
        {"sector B: 40 m west", kBerlinPage, "B", false, false, 1365, 4598660, 5819940},
        {"sector C: 40 m east", kBerlinPage, "C", false, false, 0, 4598740, 5819940},
        {"cell display B 1365 m: offset, then the move", kBerlinPage, "B", false, true, 1365,
         4598700 + 1133.9, 5819940 - 682.5},
        {"cell display A 819 m north", kBerlinPage, "A", false, true, 819, 4598700,
         5819940 - 50 + 819},
        {"home display: no offset, no move", "", "B", true, true, 1365, 4598700, 5819940},
    };
    for (const auto& c : cases) {
        Engine e;
        e.in.cbPage = c.page;
        e.in.sectorLetter = c.sector;
        e.in.homeDisplay = c.home;
        e.in.cellDisplay = c.cell;
        e.in.taDistance = c.ta;
        const auto r = e.run();
        ASSERT_EQ(r.stage, PositionStage::Computed) << c.legend;
        EXPECT_NEAR(r.grid.easting, c.e, 1e-6) << c.legend;
        EXPECT_NEAR(r.grid.northing, c.n, 1e-6) << c.legend;
    }
}

TEST(PositionEngine, BerlinHomeDisplayWorkedExample) {
    Engine e;
    e.in.homeDisplay = true;
    e.in.lastCbPosition = kBerlinHex;  // no repeat check at home
    e.regions = {regionLine(4600, 5820, 30, "Berlin")};
    const auto r = e.run();
    ASSERT_EQ(r.stage, PositionStage::Computed);
    EXPECT_FALSE(r.broadcast);
    EXPECT_EQ(r.lastCbPosition, "");
    EXPECT_EQ(r.positionKey, "459870581994");
    EXPECT_NEAR(r.wgs84.latitude, 52.5037951, 5e-8);
    EXPECT_NEAR(r.wgs84.longitude, 13.4522282, 5e-8);
    EXPECT_EQ(r.caption, "12:34  52\xB0 30' 13\" N  13\xB0 27' 8\" O");
    EXPECT_EQ(r.toolTip,
              "R=4598.70 H=5819.94 N:52,5038\xB0 52\xB0"
              "30.2277' O:13,45223\xB0 13\xB0"
              "27.1337'");
    // The clock is local; the sentences carry UTC.
    EXPECT_EQ(r.sentences.rmc.substr(0, 53),
              "$GPRMC,113456,A,5230.2277,N,01327.1337,E,,,081226,0,E");
    EXPECT_EQ(r.sentences.gga.substr(0, 53),
              "$GPGGA,113456,5230.2277,N,01327.1337,E,1,12,,,M,,M,,,");
    EXPECT_EQ(r.mapAddress.substr(0, 60),
              "http://127.0.0.1:8787/map.aspx?L=EUR&C=52.5037951085233,13.4");
    EXPECT_NE(r.mapAddress.find("&A=2&P=|52.5037951085233,13.4"), std::string::npos);
    EXPECT_EQ(r.mapAddress.substr(r.mapAddress.size() - 24), "|1|o2-4E21C67C 12:34|L1|");
    EXPECT_EQ(r.zoneCaption, "Region: O-BLN / Berlin");
    EXPECT_EQ(r.zoneToolTip, "Region/City-Zone (r=30km)");
    EXPECT_EQ(r.distanceCaption, "0,0 km");
    EXPECT_EQ(r.zones.zoneName, "Daheim");  // inside the city zone too: home wins
}

TEST(PositionEngine, RegionCirclesAndZones) {
    // Home display at 4598 / 5819 km.
    const struct {
        const char* legend;
        std::vector<std::string> regions;
        const char* zone;
    } regionCases[] = {
        {"two circles at distance 12: the earlier line",
         {regionLine(4598, 5831, 20, "Nord"), regionLine(4610, 5819, 20, "Ost")},
         "Region: O-BLN / Nord"},
        {"a nearer circle replaces a farther one",
         {regionLine(4598, 5831, 20, "Nord"), regionLine(4600, 5819, 20, "Mitte")},
         "Region: O-BLN / Mitte"},
        {"exactly at the radius: outside", {regionLine(4598, 5831, 12, "Nord")}, "Region: O-BLN"},
        {"short lines and letters", {"45", "abcd   efgh   xx  Leer", ""}, "Region: O-BLN"},
    };
    for (const auto& c : regionCases) {
        Engine e;
        e.in.homeDisplay = true;
        e.regions = c.regions;
        EXPECT_EQ(e.run().zoneCaption, c.zone) << c.legend;
    }

    const struct {
        const char* legend;
        const char* homeKey;
        double cityRadius;
        const char* zoneName;
        const char* distance;
    } zoneCases[] = {
        {"150 m from home: halves round up", "459885581994", 20000, "Daheim", "0,2 km"},
        {"outside home, inside the city", "460870581994", 20000, "Berlin", "10,0 km"},
        {"at the city radius exactly: outside", "459870583994", 19950, "", "20,0 km"},
        {"a five-digit home easting shifts the fields", "45987581994", 20000, "", "5000,0 km"},
    };
    for (const auto& c : zoneCases) {
        Engine e;
        e.in.homeDisplay = true;
        e.in.homeKey = c.homeKey;
        e.in.city.radius = c.cityRadius;
        const auto r = e.run();
        EXPECT_EQ(r.zones.zoneName, c.zoneName) << c.legend;
        EXPECT_EQ(r.distanceCaption, c.distance) << c.legend;
    }
}
