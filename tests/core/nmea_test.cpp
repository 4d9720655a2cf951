// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/nmea.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>

using namespace funkor;

TEST(Nmea, ChecksumsAreTwoUpperCaseHexDigits) {
    const std::pair<const char*, const char*> cases[] = {
        {"PHSMID,GSM", "7E"},
        {"PHSMID,GPS", "63"},
        {"PHSMID,SMS", "6A"},
        {"\x0A", "0A"},  // below 0x10: leading zero
        {"", "00"},
        {"GPGGA,145000,4807.12A,N,01134.567,E,1,12,,,M,,M,,,", "09"},
        {"GPRMC,145000,A,4807.123,N,01134.567,E,,,121104,0,E", "67"},
    };
    for (const auto& [body, sum] : cases) EXPECT_EQ(nmeaChecksum(body), sum) << body;
    EXPECT_EQ(nmeaSentence("PHSMID,GSM"), kGsmSourceSentence);
    EXPECT_EQ(nmeaSentence("PHSMID,GPS"), kGpsSourceSentence);
    EXPECT_EQ(nmeaSentence("PHSMID,SMS"), kSmsSourceSentence);
}

TEST(Nmea, LatitudeAndLongitudeFields) {
    struct Case {
        double degrees;
        const char* lat;
        const char* lon;
    };
    const Case cases[] = {
        {48.5, "4830.0000", "04830.0000"},
        {48.1, "4806.0000", "04806.0000"},
        {11.25, "1115.0000", "01115.0000"},
        {9.5, "0930.0000", "00930.0000"},
        {48.3, "4818.0000", "04818.0000"},  // 17.99999999999983 minutes in binary
        {52.5037951085233, "5230.2277", "05230.2277"},
        {13.4522282368411, "1327.1337", "01327.1337"},  // rounded, not cut
        {48 + 5.25 / 60, "4805.2500", "04805.2500"},
        {48 + 9.99996 / 60, "4810.0000", "04810.0000"},   // carry to 10 minutes
        {48 + 59.99996 / 60, "4900.0000", "04900.0000"},  // carry to the next degree
        {0, "0000.0000", "00000.0000"},
        {-3, "0000.0000", "00000.0000"},  // no sign: held at 0
        {NAN, "0000.0000", "00000.0000"},
        {95, "9000.0000", "09500.0000"},
        {200, "9000.0000", "18000.0000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nmeaLatitude(c.degrees), c.lat) << c.degrees;
        EXPECT_EQ(nmeaLongitude(c.degrees), c.lon) << c.degrees;
    }
}

TEST(Nmea, FieldsKeepTheirWidthOverASweep) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> lat(0, 89.99), lon(0, 179.99);
    auto check = [](const std::string& f, std::size_t width, double v) {
        ASSERT_EQ(f.size(), width) << v;
        const std::string minutes = f.substr(width - 7);
        ASSERT_EQ(minutes[2], '.') << v;
        const int whole = std::stoi(minutes.substr(0, 2));
        EXPECT_GE(whole, 0) << v;
        EXPECT_LE(whole, 59) << v;
        for (std::size_t i = 0; i < width; ++i) {
            if (i != width - 5) {
                ASSERT_TRUE(std::isdigit(static_cast<unsigned char>(f[i]))) << f;
            }
        }
    };
    for (int i = 0; i < 20000; ++i) {
        const double a = lat(rng), o = lon(rng);
        check(nmeaLatitude(a), 9, a);
        check(nmeaLongitude(o), 10, o);
    }
    // Every tenth of a thousandth of a minute around whole degrees and minutes.
    for (int d = 0; d < 90; ++d) {
        for (int m = 0; m < 60; ++m) {
            for (double eps : {-1e-7, -4e-9, 0.0, 4e-9, 1e-7}) {
                const double v = d + m / 60.0 + eps;
                if (v < 0) continue;
                check(nmeaLatitude(v), 9, v);
                check(nmeaLongitude(v), 10, v);
            }
        }
    }
}

TEST(Nmea, TimeIsLocalMinusOffsetAsAWholeDateTime) {
    struct Case {
        CivilTime local;
        int offset;
        const char* time;
        const char* date;
    };
    const Case cases[] = {
        {{2004, 11, 12, 14, 50, 0}, 1, "135000", "121104"},
        {{2024, 6, 15, 0, 30, 5}, 2, "223005", "140624"},  // the day before
        {{2024, 3, 1, 1, 0, 0}, 2, "230000", "290224"},    // leap day
        {{2023, 3, 1, 1, 0, 0}, 2, "230000", "280223"},
        {{2025, 1, 1, 0, 59, 59}, 1, "235959", "311224"},    // the year before
        {{2024, 12, 31, 23, 0, 0}, -2, "010000", "010125"},  // west of Greenwich
        {{2000, 2, 29, 12, 0, 0}, 0, "120000", "290200"},
    };
    for (const auto& c : cases) {
        const CivilTime utc = addHours(c.local, -c.offset);
        EXPECT_EQ(nmeaTime(utc), c.time) << c.time;
        EXPECT_EQ(nmeaDate(utc), c.date) << c.date;
    }
}

TEST(Nmea, PositionPairOfTheWorkedExample) {
    const SentencePair p =
        buildPositionSentences(52.5037951085233, 13.4522282368411, {2004, 11, 12, 14, 50, 7}, 1);
    const std::string rmcText = "GPRMC,135007,A,5230.2277,N,01327.1337,E,,,121104,0,E";
    const std::string ggaText = "GPGGA,135007,5230.2277,N,01327.1337,E,1,12,,,M,,M,,,";
    EXPECT_EQ(p.rmc, "$" + rmcText + "*" + nmeaChecksum(rmcText) + "\r\n");
    EXPECT_EQ(p.gga, "$" + ggaText + "*" + nmeaChecksum(ggaText) + "\r\n");
    // Fixed positions others read (counted from 1).
    ASSERT_EQ(p.rmc.size(), 58u);
    EXPECT_EQ(p.rmc.substr(7, 6), "135007");
    EXPECT_EQ(p.rmc.substr(16, 9), "5230.2277");
    EXPECT_EQ(p.rmc.substr(28, 10), "01327.1337");
    EXPECT_EQ(p.rmc.substr(43, 6), "121104");
    EXPECT_EQ(p.rmc[53], '*');
}
