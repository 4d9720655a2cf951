// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/log_export.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "core/nmea.h"
#include "core/position_log.h"

using namespace funkor;

namespace {

std::string golden(const char* name) {
    std::ifstream in(std::string(FUNKOR_SOURCE_DIR "/tests/core/golden/") + name, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Two logged drives' worth of entries as the window writes them: the
// Berlin worked example (named, with characters XML must escape) and an
// unnamed cell, then a garbled and a torn entry.
std::string sampleLog() {
    const CivilTime t{2026, 12, 2, 9, 20, 5};
    const SentencePair a = buildPositionSentences(52.5037951, 13.4522282, t, 1);
    const SentencePair b = buildPositionSentences(52.5166, 13.2419, addHours(t, 25), 1);
    return positionLogEntry("4E21C67C26207", "459870581994",
                            " Stra\xDF"
                            "e & <Dach> ",
                            a.rmc, a.gga) +
           positionLogEntry("0407526E26207", "451818582197", "", b.rmc, b.gga) +
           "$GPTXT,5217526D26207,459916582072,Kaputt\r\n$GPRMC,082005,A,52xx.2277,N\r\n"
           "$GPTXT,04B3533926207,458805582165,Halb";
}

}  // namespace

TEST(LogExport, WaypointsFromTheRmcSentences) {
    const LogWaypoints w = readLogWaypoints(sampleLog());
    ASSERT_EQ(w.points.size(), 2u);
    EXPECT_EQ(w.skipped, 2);
    EXPECT_NEAR(w.points[0].latitude, 52 + 30.2277 / 60, 1e-12);
    EXPECT_NEAR(w.points[0].longitude, 13 + 27.1337 / 60, 1e-12);
    EXPECT_EQ(w.points[0].time, "2026-12-02T08:20:05Z");
    EXPECT_EQ(w.points[0].name,
              "Stra\xC3\x9F"
              "e &amp; &lt;Dach&gt;");
    EXPECT_EQ(w.points[1].time, "2026-12-03T09:20:05Z");
    EXPECT_EQ(w.points[1].name, "0407526E26207");
    EXPECT_EQ(w.points[1].description, "Zelle 0407526E26207, Position 451818 582197");
}

TEST(LogExport, RmcFieldsThatGiveNoWaypoint) {
    const struct {
        const char* legend;
        const char* rmc;
        bool point;
        const char* time;
    } cases[] = {
        {"south and west", "$GPRMC,235959,A,3330.0000,S,07030.0000,W,,,311299,0,E*00", true,
         "1999-12-31T23:59:59Z"},
        {"no date: no time", "$GPRMC,120000,A,5230.0000,N,01327.0000,E,,,,0,E", true, ""},
        {"minutes 60", "$GPRMC,120000,A,5260.0000,N,01327.0000,E,,,010126,0,E", false, ""},
        {"degrees cut", "$GPRMC,120000,A,523.0000,N,01327.0000,E,,,010126,0,E", false, ""},
        {"no hemisphere", "$GPRMC,120000,A,5230.0000,,01327.0000,E,,,010126,0,E", false, ""},
        {"GGA where RMC belongs", "$GPGGA,120000,5230.0000,N,01327.0000,E,1,12,,,M,,M,,,", false,
         ""},
        {"empty", "", false, ""},
    };
    for (const auto& c : cases) {
        const std::string log = std::string("$GPTXT,4E21C67C26207,459870581994,X\r\n") + c.rmc;
        const LogWaypoints w = readLogWaypoints(log);
        ASSERT_EQ(w.points.size(), c.point ? 1u : 0u) << c.legend;
        if (c.point) {
            EXPECT_EQ(w.points[0].time, c.time) << c.legend;
        }
    }
    const LogWaypoints sw =
        readLogWaypoints(std::string("$GPTXT,4E21C67C26207,459870581994,X\r\n") + cases[0].rmc);
    EXPECT_DOUBLE_EQ(sw.points[0].latitude, -33.5);
    EXPECT_DOUBLE_EQ(sw.points[0].longitude, -70.5);
}

TEST(LogExport, GpxAndKmlDocuments) {
    const LogWaypoints w = readLogWaypoints(sampleLog());
    EXPECT_EQ(writeGpx(w.points), golden("drive.gpx"));
    EXPECT_EQ(writeKml(w.points, "Funkor.log"), golden("drive.kml"));
}
