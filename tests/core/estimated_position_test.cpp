// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a position from the cell database looks like to other programs: its
// sentences (any hemisphere, marked as estimated, HDOP from the range), the
// position SMS that cannot carry a southern or western position, the map
// address with its radius and the map's reading of it.
#include <gtest/gtest.h>

#include <string>

#include "core/map_page.h"
#include "core/nmea.h"
#include "core/position_sms.h"
#include "core/position_texts.h"

using namespace funkor;

TEST(EstimatedPosition, SentencesInEveryHemisphere) {
    // Checksums worked out apart from the code under test.
    const struct {
        const char* legend;
        double lat, lon, range;
        const char *rmc, *gga;
    } rows[] = {
        {"Sydney, south-east, range 1200 m", -33.8687, 151.2093, 1200,
         "$GPRMC,082005,A,3352.1220,S,15112.5580,E,,,021226,0,E,E*1E\r\n",
         "$GPGGA,082005,3352.1220,S,15112.5580,E,6,03,63.2,,M,,M,,*5B\r\n"},
        {"New York, north-west, range unknown", 40.465898, -74.006, 0,
         "$GPRMC,082005,A,4027.9539,N,07400.3600,W,,,021226,0,E,E*18\r\n",
         "$GPGGA,082005,4027.9539,N,07400.3600,W,6,03,263.2,,M,,M,,*6F\r\n"},
    };
    for (const auto& r : rows) {
        // Local 09:20:05 with one hour of offset: 08:20:05 UTC.
        const SentencePair p =
            buildEstimatedSentences(r.lat, r.lon, r.range, {2026, 12, 2, 9, 20, 5}, 1);
        EXPECT_EQ(p.rmc, r.rmc) << r.legend;
        EXPECT_EQ(p.gga, r.gga) << r.legend;
        // Latitude and longitude stand where they stand in a broadcast pair.
        EXPECT_EQ(p.rmc.substr(16, 9), std::string(r.rmc).substr(16, 9)) << r.legend;
        EXPECT_EQ(p.rmc[20], '.');
        EXPECT_EQ(p.rmc[33], '.');
    }
}

TEST(EstimatedPosition, HdopIsTheRangeOverNineteenMetres) {
    const struct {
        double range;
        const char* hdop;
    } rows[] = {
        {1200, "63.2"},                 // eph 1200.8 m
        {64258, "3382.0"},              // the sample's widest cell: eph 64258 m
        {19, "1.0"},       {5, "1.0"},  // never below 1.0
        {0, "263.2"},                   // unknown: taken as 5 km
        {-3, "263.2"},
    };
    for (const auto& r : rows) EXPECT_EQ(estimatedHdop(r.range), r.hdop) << r.range;
}

TEST(EstimatedPosition, PositionSmsCarriesNorthEastOnly) {
    const CivilTime t{2026, 12, 2, 9, 20, 5};
    const struct {
        const char* legend;
        std::string gpsRmc, cellRmc;
        const char *text, *source;
        bool refused;
    } rows[] = {
        {"database position north-east is sent", "",
         buildEstimatedSentences(48.1, 11.5, 900, t, 1).rmc, "$4806000,01130000", "GSM", false},
        {"south is refused", "", buildEstimatedSentences(-33.8687, 151.2093, 900, t, 1).rmc, "", "",
         true},
        {"west is refused", "", buildEstimatedSentences(40.4659, -74.006, 900, t, 1).rmc, "", "",
         true},
        {"a GPS fix in the west is refused, no cell position",
         "$GPRMC,101500,A,4807.1234,N,01134.5678,W,,,121104,,*00", "", "", "", true},
        {"a GPS fix in the west, a cell in the east: the cell is sent",
         "$GPRMC,101500,A,4807.1234,N,01134.5678,W,,,121104,,*00",
         buildPositionSentences(52.5, 13.4, t, 1).rmc, "$5230000,01324000", "GSM", false},
        {"nothing at all: no refusal, just nothing", "", "", "", "", false},
    };
    for (const auto& r : rows) {
        const OutgoingPosition p = buildPositionSms(r.gpsRmc, r.cellRmc);
        EXPECT_EQ(p.text, r.text) << r.legend;
        EXPECT_EQ(p.source, r.source) << r.legend;
        EXPECT_EQ(p.refusal.empty(), !r.refused) << r.legend;
    }
}

TEST(EstimatedPosition, MapAddressCarriesTheRangeAndThePageDrawsIt) {
    const std::string a = mapAddress("http://127.0.0.1:8787", -33.8687, 151.2093, "Zelle", 1234.4);
    EXPECT_EQ(a,
              "http://127.0.0.1:8787/map.aspx?L=EUR&C=-33.8687,151.2093&A=2&R=1234&P=|-33.8687,"
              "151.2093|1|Zelle|L1|");
    EXPECT_EQ(mapAddress("b", 1, 2, "x", 0), mapAddress("b", 1, 2, "x"));

    const struct {
        const char* query;
        double range;
    } rows[] = {
        {"C=1,2&A=2&R=1234&P=|1,2|1|x|L1|", 1234}, {"C=1,2&A=2&P=|1,2|1|x|L1|", 0},
        {"C=1,2&R=-5&P=|1,2|1|x|L1|", 0},   // passed over
        {"C=1,2&R=12a&P=|1,2|1|x|L1|", 0},  // passed over
        {"C=1,2&R=99999999&P=|1,2|1|x|L1|", 0},
    };
    for (const auto& r : rows) {
        const auto m = mappage::parseMapQuery(r.query);
        ASSERT_TRUE(m) << r.query;
        EXPECT_EQ(m->range, r.range) << r.query;
    }
    mappage::Marker m;
    m.range = 1234;
    EXPECT_NE(mappage::pageHtml(m).find("\"range\":1234"), std::string::npos);
    EXPECT_NE(mappage::pageScript().find("L.circle"), std::string::npos);
}

TEST(EstimatedPosition, LoggedSentenceInTheSouthWestReplaysWhereItWas) {
    const SentencePair p =
        buildEstimatedSentences(-34.6037, -58.3816, 800, {2026, 12, 2, 9, 20, 5}, 1);
    const auto at = rmcMapPosition(p.rmc);
    ASSERT_TRUE(at);
    EXPECT_NEAR(at->latitude, -34.6037, 1e-4);
    EXPECT_NEAR(at->longitude, -58.3816, 1e-4);
}
