// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_texts.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

using namespace funkor;

namespace {
constexpr double kLat = 52.5037951085233;  // worked example, home display
constexpr double kLon = 13.4522282368411;
}  // namespace

TEST(PositionTexts, BroadcastPagePosition) {
    struct Case {
        const char* label;
        std::string page;
        std::optional<std::string> key;
    };
    const Case cases[] = {
        {"channel 221", "001000DD0111B45A0E7783D570B15C8E0668341A8D46A3", "459870581994"},
        {"other key", "002300DD0111B45A0C17C3D570B258EE06", "451818582197"},
        {"channel 220", "001000DC0111B45A0E7783D570B15C8E06", std::nullopt},
        {"too short", "001000DD0111B45A0E7783D570B15C8E", std::nullopt},
        {"nothing", "", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(cellBroadcastPosition(c.page), c.key) << c.label;
    EXPECT_EQ(pagePositionHex(cases[0].page), "B45A0E7783D570B15C8E06");
    EXPECT_TRUE(isPositionPage("001000DD"));
    EXPECT_FALSE(isPositionPage("001000dd"));
    EXPECT_TRUE(isPositionKey("459870581994"));
    EXPECT_FALSE(isPositionKey("45987058199"));
    EXPECT_FALSE(isPositionKey("45987058199x"));
}

TEST(PositionTexts, SectorOffsetThenTimingAdvanceMove) {
    struct Case {
        const char* sector;
        double ta;
        bool move;
        double dE, dN;
    };
    const Case cases[] = {
        {"A", 0, false, 0, -50},
        {"B", 0, false, -40, 0},
        {"C", 0, false, 40, 0},
        {"", 0, false, 0, 0},
        {"A", 550, true, 0, 500},
        {"B", 1365, true, 1133.9, -682.5},
        {"C", 1365, true, -1133.9, -682.5},
        {"D", 1365, true, 0, 0},
    };
    const GridPoint base = positionKeyToGrid("451818582197");
    EXPECT_EQ(base.easting, 4518180);
    EXPECT_EQ(base.northing, 5821970);
    for (const auto& c : cases) {
        GridPoint p = applySectorOffset(base, c.sector);
        if (c.move) p = applyTimingAdvanceMove(p, c.sector, c.ta);
        EXPECT_NEAR(p.easting - base.easting, c.dE, 1e-6) << c.sector << c.ta;
        EXPECT_NEAR(p.northing - base.northing, c.dN, 1e-6) << c.sector << c.ta;
    }
    const GridPoint odd = positionKeyToGrid("4598");
    EXPECT_EQ(odd.easting, 45980);
    EXPECT_EQ(odd.northing, 0);
}

TEST(PositionTexts, DegreesMinutesSecondsAreTruncated) {
    struct Case {
        double v;
        int d, m, s;
    };
    const Case cases[] = {
        {48.3, 48, 18, 0},       {kLat, 52, 30, 13}, {kLon, 13, 27, 8}, {0, 0, 0, 0},
        {48.999999, 48, 59, 59}, {9.5, 9, 30, 0},    {-1, 0, 0, 0},     {NAN, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const Dms d = toDms(c.v);
        EXPECT_EQ(d.degrees, c.d) << c.v;
        EXPECT_EQ(d.minutes, c.m) << c.v;
        EXPECT_EQ(d.seconds, c.s) << c.v;
    }
}

TEST(PositionTexts, CaptionAndToolTipOfTheWorkedExample) {
    EXPECT_EQ(positionCaption("14:50", kLat, kLon), "14:50  52\xB0 30' 13\" N  13\xB0 27' 8\" O");
    EXPECT_EQ(positionToolTip("459870581994", kLat, kLon, ','),
              "R=4598.70 H=5819.94 N:52,5038\xB0 52\xB0"
              "30.2277' O:13,45223\xB0 13\xB0"
              "27.1337'");
    EXPECT_EQ(positionToolTip("459870581994", 48.3, 9.5, '.'),
              "R=4598.70 H=5819.94 N:48.3\xB0 48\xB0"
              "18.0000' O:9.5\xB0 09\xB0"
              "30.0000'");
    // A short key shifts nothing out of bounds.
    EXPECT_EQ(positionToolTip("4598", 48, 9, '.'),
              "R=4598. H=. N:48\xB0 48\xB0"
              "00.0000' O:9\xB0 09\xB0"
              "00.0000'");
}

TEST(PositionTexts, NumberTexts) {
    const std::pair<double, const char*> mapCases[] = {
        {kLat, "52.5037951085233"},
        {kLon, "13.4522282368411"},
        {48, "48"},
        {48 + 7.404 / 60, "48.1234"},
        {11.575, "11.575"},
        {1e-5, "0.00001"},
        {NAN, "0"},
        {-0.0, "0"},
        {INFINITY, "0"},
    };
    for (const auto& [v, text] : mapCases) EXPECT_EQ(mapNumber(v), text) << v;

    EXPECT_EQ(formatDecimals(48, 5, ','), "48");
    EXPECT_EQ(formatDecimals(0.5, 5, '.'), "0.5");
    EXPECT_EQ(formatDecimals(-0.000001, 5, '.'), "0");
    EXPECT_EQ(distanceCaption(0, ','), "0,0 km");
    EXPECT_EQ(distanceCaption(12360, '.'), "12.4 km");
    EXPECT_EQ(distanceCaption(13200, ','), "13,2 km");
    EXPECT_EQ(distanceCaption(150, ','), "0,2 km");  // halves away from zero
    EXPECT_EQ(distanceCaption(1250, '.'), "1.3 km");
}

TEST(PositionTexts, MapAddressLayout) {
    EXPECT_EQ(
        mapAddress("http://127.0.0.1:8080", kLat, kLon, cellMapLabel("4E21C67C26207", "14:50")),
        "http://127.0.0.1:8080/map.aspx?L=EUR&C=52.5037951085233,13.4522282368411&A=2&P=|"
        "52.5037951085233,13.4522282368411|1|o2-4E21C67C 14:50|L1|");
    EXPECT_EQ(mapAddress("http://m", 48.1234, 11.575, "Log"),
              "http://m/map.aspx?L=EUR&C=48.1234,11.575&A=2&P=|48.1234,11.575|1|Log|L1|");
}

TEST(PositionTexts, LoggedRmcGivesTheMapPosition) {
    const auto p = rmcMapPosition("$GPRMC,101500,A,4807.4040,N,01134.5000,E,,,121104,0,E*4A");
    ASSERT_TRUE(p);
    EXPECT_EQ(mapNumber(p->latitude), "48.1234");
    EXPECT_EQ(mapNumber(p->longitude), "11.575");
    const char* unreadable[] = {
        "$GPRMC,101500,V,,N,,E,,,121104,0,E",
        "$GPRMC,101500,A,4807.40,N,01134.5000,E",  // two decimals only
        "$GPRMC,101500,A,48x7.4040,N,01134.5000,E", "$GPRMC,101500", "",
    };
    for (const char* rmc : unreadable) EXPECT_FALSE(rmcMapPosition(rmc)) << rmc;
}

TEST(PositionTexts, RegionCircleNearestContainingFirstWins) {
    struct Case {
        const char* label;
        std::vector<std::string> lines;
        const char* text;
        const char* toolTip;
    };
    const Case cases[] = {
        {"one circle", {"4610   5819   00020 Nord"}, " / Nord", "Region/City-Zone (r=20km)"},
        {"equal distance: first wins",
         {"4610   5819   00020 Erste", "4598   5831   00030 Zweite"},
         " / Erste",
         "Region/City-Zone (r=20km)"},
        {"nearer later line wins",
         {"4610   5819   00020 Weit", "4600   5819   00005 Nah"},
         " / Nah",
         "Region/City-Zone (r=5km)"},
        {"distance equal to radius is outside",
         {"4590   5819   00008 Rand"},
         "",
         "Region/City-Zone"},
        {"no lines", {}, "", "Region/City-Zone"},
        {"garbage lines", {"", "xx", "4598"}, "", "Region/City-Zone"},
    };
    for (const auto& c : cases) {
        const RegionMatch m = findRegionCircle("459870581994", c.lines);
        EXPECT_EQ(m.text, c.text) << c.label;
        EXPECT_EQ(m.toolTip, c.toolTip) << c.label;
    }
}

TEST(PositionTexts, SimZonesHomeWinsStrictRadius) {
    const ZoneCentre city{459000, 581000, 22500, "Berlin"};
    struct Case {
        const char* label;
        ZoneCentre home;
        ZoneCentre city;
        double dHome;
        double dCity;
        const char* zone;
    };
    const Case cases[] = {
        {"inside both", {459870, 581994, 2000, "Zuhause"}, city, 0, 13200, "Zuhause"},
        {"city only", {460870, 581994, 2000, "Zuhause"}, city, 10000, 13200, "Berlin"},
        {"on the home radius", {460870, 581994, 10000, "Zuhause"}, city, 10000, 13200, "Berlin"},
        {"neither", {460870, 581994, 2000, "Zuhause"}, {0, 0, 0, ""}, 10000, 7417520, ""},
    };
    for (const auto& c : cases) {
        const ZoneDecision z = evaluateSimZones("459870581994", c.home, c.city);
        EXPECT_EQ(z.homeDistance, c.dHome) << c.label;
        EXPECT_EQ(z.cityDistance, c.dCity) << c.label;
        EXPECT_EQ(z.zoneName, c.zone) << c.label;
    }
}
