// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/data_files.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "core/fields.h"

using namespace funkor;

namespace {

class DataFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("funkor_data_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::string file(const std::string& name, const std::string& text) {
        const auto p = (dir_ / name).string();
        std::ofstream(p, std::ios::binary) << text;
        return p;
    }

    std::filesystem::path dir_;
};

}  // namespace

TEST_F(DataFiles, LinesReadWithEitherLineEnd) {
    const struct {
        const char* text;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\nb\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},              // last line without line end
        {"a\r\n\r\nb\n", {"a", "", "b"}},  // empty line kept
        {"a\rb\n", {"a\rb"}},              // a lone CR is no line end
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(readLines(file("t.txt", c.text)), c.lines) << c.text;
    EXPECT_TRUE(readLines((dir_ / "missing.txt").string()).empty());
}

TEST_F(DataFiles, CountryLinesStoredByCodeSkippingBadLines) {
    const auto path = file("GSMcodes.txt",
                           "262 DE Deutschland\r\n"
                           "232 AT \xD6sterreich\r\n"
                           "xx\r\n"                 // too short
                           "\r\n"                   // empty
                           "999 XX Zu gro\xDF\r\n"  // beyond 800
                           "-12 XX Negativ\r\n"     // below 0
                           "800 XY Grenze\r\n"      // last index
                           "26\r\n"                 // too short
                           "232 AT Austria\n");     // later line wins, LF only
    CountryTable table;
    table[5] = "stale";
    ASSERT_TRUE(readCountryTable(path, table));
    EXPECT_EQ(table[262], "262 DE Deutschland");
    EXPECT_EQ(table[232], "232 AT Austria");
    EXPECT_EQ(table[800], "800 XY Grenze");
    EXPECT_EQ(table[5], "");  // nothing left from before
    EXPECT_EQ(table[26], "");
    // How the window shows a country: characters 5-7 trimmed, name from 8.
    EXPECT_EQ(fields::trim(fields::mid(table[262], 5, 3)), "DE");
    EXPECT_EQ(fields::mid(table[262], 8), "Deutschland");
}

TEST_F(DataFiles, MissingCountryFileLeavesTheTableEmpty) {
    CountryTable table;
    table[262] = "262 DE Deutschland";
    EXPECT_FALSE(readCountryTable((dir_ / "GSMcodes.txt").string(), table));
    for (const auto& line : table) EXPECT_TRUE(line.empty());
}

TEST_F(DataFiles, RegionLinesKeptInOrderFromIndexOneUpTo300) {
    const struct {
        int lines;
        int kept;
    } cases[] = {{0, 0}, {1, 1}, {299, 299}, {300, 300}, {301, 300}, {1000, 300}};
    for (const auto& c : cases) {
        std::string text;
        for (int i = 1; i <= c.lines; ++i) text += "line " + std::to_string(i) + "\r\n";
        O2Lines o2;
        ASSERT_TRUE(readO2Lines(file("O2.txt", text), o2));
        EXPECT_EQ(o2.count, c.kept) << c.lines;
        EXPECT_EQ(o2.lines[0], "");
        if (c.kept > 0) {
            EXPECT_EQ(o2.lines[1], "line 1");
            EXPECT_EQ(o2.lines[static_cast<std::size_t>(c.kept)], "line " + std::to_string(c.kept));
        }
    }
    O2Lines o2;
    o2.count = 7;
    EXPECT_FALSE(readO2Lines((dir_ / "none.txt").string(), o2));
    EXPECT_EQ(o2.count, 0);
}

namespace {

// The region circle containing a grid position given in kilometres, found as
// the window does it: nearest centre among the circles that contain it.
std::string regionAt(const O2Lines& o2, int ce, int cn) {
    std::string name;
    int best = 9999;
    for (int i = 1; i <= o2.count; ++i) {
        const auto& line = o2.lines[static_cast<std::size_t>(i)];
        const int re = fields::valInt(fields::mid(line, 1, 4));
        const int rn = fields::valInt(fields::mid(line, 8, 4));
        const int r = fields::valInt(fields::mid(line, 15, 5));
        const int d = static_cast<int>(
            std::sqrt(static_cast<double>((ce - re) * (ce - re) + (cn - rn) * (cn - rn))));
        if (d < r && d < best) {
            best = d;
            name = fields::mid(line, 21);
        }
    }
    return name;
}

bool allDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

TEST(ShippedData, CountryCodeFileHasOneWellFormedLinePerCode) {
    const std::string path = std::string(FUNKOR_SOURCE_DIR) + "/data/GSMcodes.txt";
    const auto lines = readLines(path);
    ASSERT_GT(lines.size(), 100u);
    int previous = -1;
    for (const auto& line : lines) {
        ASSERT_GE(line.size(), 9u) << line;
        EXPECT_TRUE(allDigits(line.substr(0, 3))) << line;
        EXPECT_EQ(line[3], ' ') << line;
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(line[4])) &&
                    std::isupper(static_cast<unsigned char>(line[5])))
            << line;
        EXPECT_EQ(line[6], ' ') << line;
        EXPECT_NE(line[7], ' ') << line;
        const int code = std::stoi(line.substr(0, 3));
        EXPECT_GT(code, previous) << "codes ascending and unique: " << line;
        previous = code;
    }
    CountryTable table;
    ASSERT_TRUE(readCountryTable(path, table));
    const struct {
        int mcc;
        const char* shortCode;
        const char* name;
    } known[] = {
        {262, "DE", "Deutschland"},
        {232, "AT", "\xD6sterreich"},  // umlaut as one Windows-1252 byte
        {228, "CH", "Schweiz"},
        {234, "GB", "Vereinigtes K\xF6nigreich"},
        {208, "FR", "Frankreich"},
        {310, "US", "Vereinigte Staaten"},
    };
    for (const auto& k : known) {
        const auto& line = table[static_cast<std::size_t>(k.mcc)];
        EXPECT_EQ(fields::trim(fields::mid(line, 5, 3)), k.shortCode) << k.mcc;
        EXPECT_EQ(fields::mid(line, 8), k.name) << k.mcc;
    }
}

TEST(ShippedData, RegionFileHoldsTheBigCitiesAsPlausibleGridCircles) {
    O2Lines o2;
    ASSERT_TRUE(readO2Lines(std::string(FUNKOR_SOURCE_DIR) + "/data/O2.txt", o2));
    ASSERT_GE(o2.count, 80);
    ASSERT_LE(o2.count, 300);
    for (int i = 1; i <= o2.count; ++i) {
        const auto& line = o2.lines[static_cast<std::size_t>(i)];
        const int e = fields::valInt(fields::mid(line, 1, 4));
        const int n = fields::valInt(fields::mid(line, 8, 4));
        const int r = fields::valInt(fields::mid(line, 15, 5));
        // Zones 2 to 5, within reach of the zone's central meridian.
        EXPECT_TRUE(e / 1000 >= 2 && e / 1000 <= 5 && e % 1000 > 250 && e % 1000 < 750) << line;
        EXPECT_TRUE(n > 5200 && n < 6120) << line;  // Germany's north-south extent
        EXPECT_TRUE(r >= 3 && r <= 25) << line;
        EXPECT_EQ(line[19], ' ') << line;
        EXPECT_NE(line[20], ' ') << line;
    }
    // Positions in kilometres (easting with zone digit, northing) and the city
    // they lie in.
    const struct {
        int e;
        int n;
        const char* city;
    } places[] = {
        {4598, 5819, "Berlin"},      // Berlin-Friedrichshain
        {5392, 5820, "Berlin"},      // the same city given in zone 5
        {3566, 5935, "Hamburg"},     // Hamburg centre
        {4468, 5334, "M\xFCnchen"},  // Munich centre
        {2567, 5645, "K\xF6ln"},     // Cologne centre
        {3477, 5553, "Frankfurt am Main"},
        {4300, 5600, ""},  // countryside in eastern Hesse, no big city
    };
    for (const auto& p : places) EXPECT_EQ(regionAt(o2, p.e, p.n), p.city) << p.e << " " << p.n;
}
