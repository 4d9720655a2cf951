// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_sms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

#include "core/nmea.h"

using namespace funkor;

TEST(PositionSms, TextFromTheCellSentence) {
    const std::pair<std::string, const char*> cases[] = {
        {"$GPRMC,101500,A,4807.1234,N,01134.5678,E,,,121104,0,E*00\r\n", "$4807123,01134567"},
        {buildPositionSentences(52.5037951085233, 13.4522282368411, {2004, 11, 12, 14, 50, 0}, 1)
             .rmc,
         "$5230227,01327133"},
        {"$GPRMC,101500,A,4807.1234,N,0113", ""},  // cut short
        {"$GPGGA,101500,4807.1234,N,01134.5678,E,1,12,,,M,,M,,,*00", ""},
        {"$GPRMC,101500,A,48x7.1234,N,01134.5678,E,,,121104,0,E*00", ""},
        {"", ""},
    };
    for (const auto& [rmc, text] : cases) EXPECT_EQ(positionSmsFromCellRmc(rmc), text) << rmc;
}

TEST(PositionSms, TextFromTheGpsReceiverSentence) {
    const std::pair<const char*, const char*> cases[] = {
        {"$GPRMC,101500,A,4807.1234,N,01134.5678,E,0.0,0.0,121104,,*1C", "$4807123,01134567"},
        {"$GPRMC,101500.00,A,4807.1,N,01134.56,E,,,121104,,,A*6F\r\n", "$4807100,01134560"},
        {"$GPRMC,101500,A,4807,N,01134,E,,,121104,,", "$4807000,01134000"},
        {"$GPRMC,101500,A,807.1234,N,934.5678,E,,,121104,,", "$0807123,00934567"},
        {"$GPRMC,101500,V,4807.1234,N,01134.5678,E,,,121104,,", ""},  // no fix
        {"$GPRMC,101500,V,,,,,,,121104,,", ""},
        {"$GPRMC,101500,A,4807.1234,S,01134.5678,E,,,121104,,", ""},  // south: no sign to carry
        {"$GPRMC,101500,A,4807.1234,N,01134.5678,W,,,121104,,", ""},
        {"$GPRMC,101500,A,4867.1234,N,01134.5678,E,,,121104,,", ""},  // 67 minutes
        {"$GPRMC,101500,A,4807.12a4,N,01134.5678,E,,,121104,,", ""},
        {"$GPRMC,101500,A,9107.1234,N,01134.5678,E,,,121104,,", ""},  // not on earth
        {"$GPRMC,101500,A,4807.1234,N,18134.5678,E,,,121104,,", ""},
        {"$GPRMC", ""},
    };
    for (const auto& [rmc, text] : cases) EXPECT_EQ(positionSmsFromGpsRmc(rmc), text) << rmc;
}

TEST(PositionSms, GpsTakesPrecedenceWhenItHasAPosition) {
    const char* gps = "$GPRMC,101500,A,4807.1234,N,01134.5678,E,,,121104,,";
    const char* noFix = "$GPRMC,101500,V,,,,,,,121104,,";
    const char* cell = "$GPRMC,101500,A,5230.2277,N,01327.1337,E,,,121104,0,E*00\r\n";
    struct Case {
        const char* gps;
        const char* cell;
        const char* text;
        const char* source;
    };
    const Case cases[] = {
        {gps, cell, "$4807123,01134567", "GPS"},
        {noFix, cell, "$5230227,01327133", "GSM"},
        {"", cell, "$5230227,01327133", "GSM"},
        {gps, "", "$4807123,01134567", "GPS"},
        {"", "", "", ""},
        {noFix, "", "", ""},
    };
    for (const auto& c : cases) {
        const OutgoingPosition p = buildPositionSms(c.gps, c.cell);
        EXPECT_EQ(p.text, c.text) << c.gps << " / " << c.cell;
        EXPECT_EQ(p.source, c.source) << c.gps << " / " << c.cell;
    }
}

TEST(PositionSms, ReceivedTextBecomesSentencesAndMapCoordinates) {
    struct Case {
        const char* text;
        const char* rmc;
        const char* gga;
        const char* coordinates;
    };
    const Case cases[] = {
        {"$4807123,01134567", "$GPRMC,145000,A,4807.123,N,01134.567,E,,,121104,0,E*67\r\n",
         "$GPGGA,145000,4807.123,N,01134.567,E,1,12,,,M,,M,,,*7B\r\n",
         "48.1187166666667,11.5761166666667"},
        {"$480712A,01134567",  // carried as it stands; checksum below 0x10
         "$GPRMC,145000,A,4807.12A,N,01134.567,E,,,121104,0,E*15\r\n",
         "$GPGGA,145000,4807.12A,N,01134.567,E,1,12,,,M,,M,,,*09\r\n",
         "48.1168666666667,11.5761166666667"},
        {"$4800000;01100000 und mehr",  // separator not read, rest ignored
         "$GPRMC,145000,A,4800.000,N,01100.000,E,,,121104,0,E*63\r\n",
         "$GPGGA,145000,4800.000,N,01100.000,E,1,12,,,M,,M,,,*7F\r\n", "48,11"},
    };
    for (const auto& c : cases) {
        const auto p = readPositionSms(c.text, "12.11.04 14:50:00");
        ASSERT_TRUE(p) << c.text;
        EXPECT_EQ(p->sentences.rmc, c.rmc) << c.text;
        EXPECT_EQ(p->sentences.gga, c.gga) << c.text;
        EXPECT_EQ(p->coordinates, c.coordinates) << c.text;
    }
}

TEST(PositionSms, MalformedTextsAreNoPosition) {
    const char* texts[] = {
        "$4807",
        "$480712",
        "",
        "4807123,01134567x",
        "$4807*23,01134567",
        "$4807123,011,4567",
        "$4807123,0113456\r",
        "$4807$23,01134567",
        "$48071\xE4"
        "3,01134567",
    };
    for (const char* t : texts) EXPECT_FALSE(readPositionSms(t, "12.11.04 14:50:00")) << t;
}

TEST(PositionSms, PlacesNotOnEarthAreNoPosition) {
    const struct {
        const char* text;
        bool read;
    } cases[] = {
        {"$9000000,18000000", true},  {"$9000001,01100000", false}, {"$9100000,01100000", false},
        {"$4800000,18000001", false}, {"$4860000,01100000", false}, {"$4859999,01159999", true},
        {"$4800000,01160000", false}, {"$0000000,00000000", true},  {"$-100000,01100000", false},
        {"$48-1000,01100000", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readPositionSms(c.text, "12.11.04 14:50:00").has_value(), c.read) << c.text;
}

// The time stamp is read from the PDU line as the phone sent it: a garbled
// one must not add fields or a checksum to the sentences.
TEST(PositionSms, GarbledTimeStampIsNoPosition) {
    const char* stamps[] = {"12.11.04 14:5,:00", "1*.11.04 14:50:00", "12.11.04 14:50:0$",
                            "12.11.\\4 14:50:00", "12.11.04 1\r:50:00"};
    for (const char* s : stamps) EXPECT_FALSE(readPositionSms("$4807123,01134567", s)) << s;
    // Characters the sentence can carry stay as they are.
    const auto p = readPositionSms("$4807123,01134567", "12.11.0F 14:50:0A");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->sentences.rmc.substr(0, 14), "$GPRMC,14500A,");
}

TEST(PositionSms, SentAndReceivedPositionAgreeToAThousandthMinute) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> lat(47, 55.5), lon(5.5, 15.5);
    for (int i = 0; i < 2000; ++i) {
        const double a = lat(rng), o = lon(rng);
        const auto pair = buildPositionSentences(a, o, {2024, 5, 1, 12, 0, 0}, 2);
        const std::string text = positionSmsFromCellRmc(pair.rmc);
        ASSERT_EQ(text.size(), 17u) << a << " " << o;
        const auto p = readPositionSms(text, "01.05.24 10:00:00");
        ASSERT_TRUE(p);
        EXPECT_NEAR(p->latitude, a, 0.00106 / 60) << a;
        EXPECT_NEAR(p->longitude, o, 0.00106 / 60) << o;
    }
}
