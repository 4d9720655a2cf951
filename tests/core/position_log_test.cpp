// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_log.h"

#include <gtest/gtest.h>

using namespace funkor;

// A header holds the cell key of 13 characters every Siemens cell has, or
// the 17 of a long cell identity; the fields behind it are read either way.
TEST(PositionLog, HeadersWithShortAndLongCellKeys) {
    const std::string shortEntry = positionLogEntry("4E21C67C26207", "451818582197", " Tower ",
                                                    "$GPRMC,R*00\r\n", "$GPGGA,G*00\r\n");
    const std::string longEntry = positionLogEntry("0079D9031F0026201", "451818582197", "Rathaus",
                                                   "$GPRMC,S*00\r\n", "$GPGGA,H*00\r\n");
    EXPECT_EQ(longEntry.substr(0, longEntry.find('\r')),
              "$GPTXT,0079D9031F0026201,451818582197,Rathaus");
    const std::string nrEntry = positionLogEntry("035B6403E00C565310410", "------------", "NR",
                                                 "$GPRMC,N*00\r\n", "$GPGGA,N*00\r\n");
    const auto entries = readPositionLog(shortEntry + longEntry + nrEntry);
    ASSERT_EQ(entries.size(), 3u);
    const struct {
        const char* cellKey;
        const char* siteKey;
        const char* name;
        const char* rmc;
    } expected[] = {
        {"4E21C67C26207", "451818 582197", "Tower", "$GPRMC,R*00"},
        {"0079D9031F0026201", "451818 582197", "Rathaus", "$GPRMC,S*00"},
        {"035B6403E00C565310410", "------ ------", "NR", "$GPRMC,N*00"},
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].cellKey, expected[i].cellKey) << i;
        EXPECT_EQ(entries[i].siteKey, expected[i].siteKey) << i;
        EXPECT_EQ(entries[i].name, expected[i].name) << i;
        EXPECT_EQ(entries[i].rmc, expected[i].rmc) << i;
        EXPECT_EQ(entries[i].siteKeyValid, i < 2) << i;
    }
    EXPECT_TRUE(logHoldsCell(shortEntry + longEntry, "0079D9031F0026201"));
    EXPECT_TRUE(logHoldsCell(shortEntry, "4E21C67C26207"));
    EXPECT_FALSE(logHoldsCell(shortEntry, "0079D9031F0026201"));
    EXPECT_TRUE(anyLineStartsWith({"0079D9031F0026201 Rathaus"}, "0079D9031F0026201"));
    EXPECT_FALSE(anyLineStartsWith({"0079D9031F0026201 Rathaus"}, "0079D9031F0026202"));
}
