// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_accuracy.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace funkor;

namespace {

// The Berlin-Friedrichshain cell's GGA as the position engine builds it,
// and the same with an HDOP (checksums worked out by hand).
const std::string kGga = "$GPGGA,130500,5230.2277,N,01327.1337,E,1,12,,,M,,M,,,*71\r\n";
const std::string kGga3000 = "$GPGGA,130500,5230.2277,N,01327.1337,E,1,12,157.9,,M,,M,,,*55\r\n";
const std::string kRmc = "$GPRMC,130500,A,5230.2277,N,01327.1337,E,,,081226,0,E*65\r\n";
// As a u-blox 5 receiver sent it: HDOP 1.09 of its own.
const std::string kReceiverGga =
    "$GPGGA,115458.00,5152.09014,N,00551.68911,E,1,08,1.09,28.2,M,46.9,M,,*6C\r\n";

}  // namespace

TEST(PositionAccuracy, RadiusHdopAndLevelPerSource) {
    struct Case {
        const char* legend;
        PositionSource source;
        AccuracyInput in;
        double radius;
        const char* hdop;
        const char* level;
    };
    const std::vector<Case> cases = {
        {"broadcast, timing advance 0 (273 m)",
         PositionSource::Gsm,
         {273, {}},
         546,
         "28.7",
         "street"},
        {"broadcast, timing advance 1 (819 m): past 1 km",
         PositionSource::Gsm,
         {819, {}},
         1092,
         "57.5",
         "neighborhood"},
        {"broadcast, timing advance 11 as the S45i reported it",
         PositionSource::Gsm,
         {11 * 546 + 273, {}},
         6552,
         "344.8",
         "neighborhood"},
        {"broadcast without a timing advance: the site accuracy",
         PositionSource::Gsm,
         {0, {}},
         3000,
         "157.9",
         "neighborhood"},
        {"database position: its range, not the timing advance",
         PositionSource::Gsm,
         {6279, 500.0},
         500,
         "26.3",
         "street"},
        {"database position of a small cell: HDOP not below 1",
         PositionSource::Gsm,
         {0, 10.0},
         10,
         "1.0",
         "street"},
        {"database range 0: the database's unknown range",
         PositionSource::Gsm,
         {0, 0.0},
         5000,
         "263.2",
         "neighborhood"},
        {"SMS position: the sender's cell",
         PositionSource::Sms,
         {273, {}},
         3000,
         "157.9",
         "neighborhood"},
        {"GPS receiver: its own", PositionSource::Gps, {273, 500.0}, 0, "1.0", "exact"},
    };
    for (const auto& c : cases) {
        const double r = accuracyRadius(c.source, c.in);
        EXPECT_DOUBLE_EQ(r, c.radius) << c.legend;
        EXPECT_EQ(accuracyHdop(r), c.hdop) << c.legend;
        EXPECT_EQ(accuracyLevel(r), c.level) << c.legend;
    }
}

TEST(PositionAccuracy, AnnouncedLevelIsTheLeastAccurateTickedSource) {
    struct Case {
        const char* legend;
        SourceBoxes boxes;
        AccuracyInput in;
        const char* level;
    };
    const std::vector<Case> cases = {
        {"GPS alone", {false, true, false, false}, {}, "exact"},
        {"GSM broadcast near the site", {true, false, false, false}, {273, {}}, "street"},
        {"GSM and GPS in rotation: the cell's level",
         {true, true, false, true},
         {273, {}},
         "street"},
        {"GPS and SMS in rotation", {false, true, true, true}, {273, {}}, "neighborhood"},
        {"database cell of 2 km", {true, false, false, false}, {0, 2000.0}, "neighborhood"},
        {"nothing ticked", {}, {}, "neighborhood"},
    };
    for (const auto& c : cases) EXPECT_EQ(announcedAccuracy(c.boxes, c.in), c.level) << c.legend;
}

TEST(PositionAccuracy, HdopGoesIntoAnEmptyGgaFieldOnly) {
    struct Case {
        const char* legend;
        std::string sentence;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"the engine's GGA gets the HDOP and a new checksum", kGga, kGga3000},
        {"a GGA with an HDOP keeps it", kReceiverGga, kReceiverGga},
        {"an RMC is no GGA", kRmc, kRmc},
        {"a GGA cut short before its HDOP", "$GPGGA,130500,5230.2277,N*00\r\n",
         "$GPGGA,130500,5230.2277,N*00\r\n"},
        {"no checksum", "$GPGGA,130500,5230.2277,N,01327.1337,E,1,12,,,M,,M,,,",
         "$GPGGA,130500,5230.2277,N,01327.1337,E,1,12,,,M,,M,,,"},
        {"another talker's GGA", "$GNGGA,1,2,N,3,E,1,12,,,M,,M,,,*6D\r\n",
         "$GNGGA,1,2,N,3,E,1,12,157.9,,M,,M,,,*49\r\n"},
        {"empty", "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(withHdop(c.sentence, "157.9"), c.expected) << c.legend;
}

TEST(PositionAccuracy, HdopReadBackFromAGga) {
    struct Case {
        const char* legend;
        std::string sentence;
        std::optional<double> hdop;
    };
    const std::vector<Case> cases = {
        {"the u-blox receiver's", kReceiverGga, 1.09},
        {"a database position's (range 1200 m)",
         "$GPGGA,130500,3352.1220,S,15112.5580,E,6,03,63.2,,M,,M,,*4A\r\n", 63.2},
        {"none in the engine's own", kGga, std::nullopt},
        {"an RMC", kRmc, std::nullopt},
        {"not a number", "$GPGGA,1,2,N,3,E,1,12,x,,M,,M,,,*00\r\n", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto h = ggaHdop(c.sentence);
        ASSERT_EQ(h.has_value(), c.hdop.has_value()) << c.legend;
        if (h) {
            EXPECT_DOUBLE_EQ(*h, *c.hdop) << c.legend;
        }
    }
}

TEST(PositionAccuracy, HonestPairChangesTheCellAndSmsGgaButNeverTheReceiversPair) {
    const OutputPair gsm{1, PositionSource::Gsm, "$PHSMID,GSM*7E\r\n", kRmc, kGga};
    const OutputPair out = withHonestAccuracy(gsm, {0, {}});
    EXPECT_EQ(out.identification, gsm.identification);
    EXPECT_EQ(out.first, kRmc);
    EXPECT_EQ(out.second, kGga3000);
    EXPECT_EQ(withHonestAccuracy({0, PositionSource::Sms, "", kRmc, kGga}, {273, {}}).second,
              kGga3000);
    // A receiver that sends no HDOP gets none made up.
    EXPECT_EQ(withHonestAccuracy({0, PositionSource::Gps, "", kRmc, kGga}, {}).second, kGga);
}
