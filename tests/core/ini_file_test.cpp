// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

using namespace funkor;

namespace {

// A private folder per test, removed afterwards.
class IniFile : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("funkor_ini_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "Funkor.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
    std::string read() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    std::filesystem::path dir_;
    std::string path_;
};

}  // namespace

TEST_F(IniFile, IntegerValuesReadLenientlyWithTheDefaultForNonNumbers) {
    write(
        "[Ports]\r\nGSM=3\r\nGPS = 12 \r\nNMEA=abc\r\nBaud=-1\r\nLead=7x\r\nEmpty=\r\n"
        "Big=99999999999\r\nPlus=+4\r\n[Trace]\r\non=1\r\n");
    struct Case {
        const char* section;
        const char* key;
        int def;
        int expected;
    };
    const Case cases[] = {
        {"Ports", "GSM", 17, 3},          // plain value
        {"Ports", "GPS", 0, 12},          // blanks around key and value
        {"Ports", "NMEA", 0, 0},          // not a number: default
        {"Ports", "NMEA", 5, 5},          // ... whatever the default is
        {"Ports", "Baud", 0, -1},         // sign kept, range is the caller's
        {"Ports", "Lead", 0, 7},          // leading digits only
        {"Ports", "Empty", 9, 9},         // empty value: default
        {"Ports", "Big", 0, 2147483647},  // saturated, never wrapped
        {"Ports", "Plus", 0, 4},          // explicit plus sign
        {"Ports", "Missing", 17, 17},     // missing key
        {"Trace", "on", 0, 1},            // second section
        {"Trace", "GSM", 42, 42},         // key of another section
        {"Nowhere", "GSM", 17, 17},       // missing section
        {"PORTS", "gsm", 17, 3},          // names without regard to case
    };
    for (const auto& c : cases)
        EXPECT_EQ(ini::getInt(path_, c.section, c.key, c.def), c.expected)
            << c.section << "/" << c.key;
}

TEST_F(IniFile, MissingFileGivesDefaultsAndNoStrings) {
    EXPECT_EQ(ini::getInt(path_, "Ports", "GSM", 17), 17);
    EXPECT_FALSE(ini::getString(path_, "Ports", "GSM").has_value());
}

TEST_F(IniFile, StringsReadWithLfOnlyAndQuotesStripped) {
    write("; comment\n[Devices]\nCOM1=/dev/ttyUSB0\nCOM2 = \"/dev/serial/by-id/usb x\"\n");
    EXPECT_EQ(ini::getString(path_, "devices", "com1"), "/dev/ttyUSB0");
    EXPECT_EQ(ini::getString(path_, "Devices", "COM2"), "/dev/serial/by-id/usb x");
    EXPECT_FALSE(ini::getString(path_, "Devices", "COM3").has_value());
}

TEST_F(IniFile, FirstSectionAndFirstKeyOfANameWin) {
    write("[Ports]\nGSM=1\nGSM=2\n[Ports]\nGSM=3\nGPS=4\n");
    EXPECT_EQ(ini::getInt(path_, "Ports", "GSM", 0), 1);
    EXPECT_EQ(ini::getInt(path_, "Ports", "GPS", 0), 0);
}

TEST_F(IniFile, WritingKeepsEveryOtherLineSectionAndKey) {
    write(
        "; Funkor settings\r\n[Devices]\r\nCOM1=/dev/ttyUSB0\r\n\r\n[Ports]\r\nGSM=17\r\n"
        "Baud=0\r\n\r\n[Map]\r\nBase=http://x\r\n");
    ASSERT_TRUE(ini::writeString(path_, "ports", "gsm", "3"));    // replace in place
    ASSERT_TRUE(ini::writeString(path_, "Ports", "NMEA", "20"));  // new key in a section
    ASSERT_TRUE(ini::writeString(path_, "Trace", "on", "1"));     // new section
    EXPECT_EQ(read(),
              "; Funkor settings\r\n[Devices]\r\nCOM1=/dev/ttyUSB0\r\n\r\n[Ports]\r\ngsm=3\r\n"
              "Baud=0\r\nNMEA=20\r\n\r\n[Map]\r\nBase=http://x\r\n[Trace]\r\non=1\r\n");
    EXPECT_EQ(ini::getInt(path_, "Ports", "GSM", 17), 3);
    EXPECT_EQ(ini::getString(path_, "Map", "Base"), "http://x");
}

TEST_F(IniFile, RoundTripCreatesTheFileAndReadsBackEveryValue) {
    const struct {
        const char* section;
        const char* key;
        const char* value;
    } values[] = {{"Ports", "GSM", "3"},  {"Ports", "GPS", "0"}, {"Ports", "NMEA", "20"},
                  {"Ports", "Baud", "1"}, {"Trace", "on", "1"},  {"Trace", "new", "0"}};
    for (const auto& v : values) ASSERT_TRUE(ini::writeString(path_, v.section, v.key, v.value));
    for (const auto& v : values)
        EXPECT_EQ(ini::getString(path_, v.section, v.key), v.value) << v.key;
    EXPECT_EQ(read(), "[Ports]\nGSM=3\nGPS=0\nNMEA=20\nBaud=1\n[Trace]\non=1\nnew=0\n");
}

TEST_F(IniFile, LastLineWithoutLineEndIsReadAndExtended) {
    write("[Ports]\nGSM=5");
    EXPECT_EQ(ini::getInt(path_, "Ports", "GSM", 0), 5);
    ASSERT_TRUE(ini::writeString(path_, "Ports", "GPS", "2"));
    EXPECT_EQ(read(), "[Ports]\nGSM=5\nGPS=2\n");
}

TEST_F(IniFile, WritesThatWouldBreakTheFileFail) {
    write("[Ports]\nGSM=5\n");
    EXPECT_FALSE(ini::writeString(path_, "Ports", "GSM", "3\n[Evil]"));
    EXPECT_FALSE(ini::writeString(path_, "Ports", "a=b", "1"));
    EXPECT_FALSE(ini::writeString(path_, "Po]rts", "GSM", "1"));
    EXPECT_FALSE(ini::writeString(path_, "", "GSM", "1"));
    EXPECT_EQ(read(), "[Ports]\nGSM=5\n");
    // A folder that does not exist cannot hold the file.
    EXPECT_FALSE(ini::writeString((dir_ / "no" / "Funkor.ini").string(), "Ports", "GSM", "1"));
}
