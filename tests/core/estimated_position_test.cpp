// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a position from the cell database looks like to other programs: its
// sentences (any hemisphere, marked as estimated, HDOP from the range), the
// position SMS that cannot carry a southern or western position, the map
// address with its radius and the map's reading of it.
#include <gtest/gtest.h>

#include <string>

#include "core/cell_db_position.h"
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

// An estimate's map address names the cells it used, the serving cell
// first; the page reads them back and draws them.
TEST(EstimatedPosition, MapAddressNamesTheCellsUsedAndThePageDrawsThem) {
    PositionEstimate e;
    e.valid = true;
    e.latitude = 52.505;
    e.longitude = 13.41;
    e.r68 = 300;
    e.cellsUsed = 3;
    const double rows[][2] = {{52.5, 13.4}, {52.51, 13.42}, {52.4999994, 13.4150006}};
    for (const auto& row : rows) {
        UsedCell c;
        c.serving = e.cells.empty();
        c.row.latitude = row[0];
        c.row.longitude = row[1];
        e.cells.push_back(c);
    }
    EstimatedPositionInput in;
    in.estimate = e;
    in.cellKey = "0714006F26201";
    in.mapBase = "http://127.0.0.1:8787";
    const std::string a = computeEstimatedPosition(in).position.mapAddress;
    EXPECT_NE(a.find("&R=300&Z=S52.500000,13.400000;52.510000,13.420000;52.499999,13.415001&P=|"),
              std::string::npos)
        << a;
    const auto m = mappage::parseMapQuery(a.substr(a.find('?') + 1));
    ASSERT_TRUE(m);
    ASSERT_EQ(m->cells.size(), 3u);
    EXPECT_TRUE(m->cells[0].serving);
    EXPECT_FALSE(m->cells[1].serving);
    EXPECT_DOUBLE_EQ(m->cells[1].latitude, 52.51);
    EXPECT_DOUBLE_EQ(m->cells[1].longitude, 13.42);
    EXPECT_NE(mappage::pageHtml(*m).find(
                  "\"cells\":[{\"latitude\":52.5,\"longitude\":13.4,\"serving\":true},"),
              std::string::npos);
    EXPECT_NE(mappage::pageScript().find("L.circleMarker"), std::string::npos);

    const struct {
        const char* label;
        std::string query;
        std::size_t cells;
    } queries[] = {
        {"none", "C=1,2&P=|1,2|1|x|L1|", 0},
        {"an entry that is no point is passed over",
         "C=1,2&Z=S1,2;x;91,2;1,alert(1);;3,4&P=|1,2|1|x|L1|", 2},
        {"escaped as a browser sends it", "C=1,2&Z=S1%2C2%3B3%2C4&P=|1,2|1|x|L1|", 2},
        {"no more than the page draws",
         "C=1,2&Z=" +
             [] {
                 std::string z = "S1,2";
                 for (int i = 0; i < 40; ++i) z += ";1,2";
                 return z;
             }() +
             "&P=|1,2|1|x|L1|",
         mappage::kMaxCellMarks},
    };
    for (const auto& q : queries) {
        const auto marker = mappage::parseMapQuery(q.query);
        ASSERT_TRUE(marker) << q.label;
        EXPECT_EQ(marker->cells.size(), q.cells) << q.label;
    }
}

TEST(EstimatedPosition, LoggedSentenceInTheSouthWestReplaysWhereItWas) {
    const SentencePair p =
        buildEstimatedSentences(-34.6037, -58.3816, 800, {2026, 12, 2, 9, 20, 5}, 1);
    const auto at = rmcMapPosition(p.rmc);
    ASSERT_TRUE(at);
    EXPECT_NEAR(at->latitude, -34.6037, 1e-4);
    EXPECT_NEAR(at->longitude, -58.3816, 1e-4);
}
