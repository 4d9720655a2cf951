#include "core/data_files.h"

#include <gtest/gtest.h>

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
