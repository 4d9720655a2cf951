// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/fields.h"

#include <gtest/gtest.h>

#include <string>

using namespace funkor::fields;

struct MidCase {
    const char* line;
    long start;
    long length;
    const char* expected;
};

TEST(Fields, MidCutsLikeTheOriginalStringFunctions) {
    const MidCase cases[] = {
        {"+CSQ: 17,99", 7, 2, "17"},  // ordinary field
        {"+CSQ: 7", 7, 2, "7"},       // line ends inside the field
        {"+CSQ:", 7, 2, ""},          // line ends before the field
        {"", 1, 5, ""},               // empty line
        {"ABC", 0, 2, "AB"},          // start below 1 counts from 1
        {"ABC", 2, 0, ""},            // zero length
        {"ABC", 2, -4, ""},           // negative length
    };
    for (const auto& c : cases) EXPECT_EQ(mid(c.line, c.start, c.length), c.expected) << c.line;
    EXPECT_EQ(mid("+CREG: 2,1", 7), " 2,1");
    EXPECT_EQ(mid("AB", 9), "");
    EXPECT_EQ(left("ABC", 5), "ABC");
    EXPECT_EQ(right("ABC", 2), "BC");
    EXPECT_EQ(right("ABC", 7), "ABC");
}

TEST(Fields, InstrFindsFromAPositionAndNeverPastTheEnd) {
    EXPECT_EQ(instr(1, "a,b,c", ","), 2);
    EXPECT_EQ(instr(3, "a,b,c", ","), 4);
    EXPECT_EQ(instr(5, "a,b,c", ","), 0);
    EXPECT_EQ(instr(99, "a,b,c", ","), 0);
    EXPECT_EQ(instr("abc", "x"), 0);
}

TEST(Fields, NumbersAreReadLeniently) {
    const std::pair<const char*, double> cases[] = {
        {"17", 17},  {" 17,99", 17},   {"abc", 0},     {"", 0},
        {"-3x", -3}, {"12.5km", 12.5}, {"  0042", 42},
    };
    for (const auto& [text, value] : cases) EXPECT_DOUBLE_EQ(val(text), value) << text;
    EXPECT_EQ(valInt("99999999999"), 2147483647);
    EXPECT_EQ(valInt("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(valInt("7,1"), 7);
}

TEST(Fields, HexValuesOfEightDigitsAreSigned) {
    const std::pair<const char*, int> cases[] = {
        {"4E21", 20001},
        {"C67C", 50812},
        {"ffff", 65535},
        {"FFFFFFFF", -1},
        {"7FFFFFFF", 2147483647},
        {"80000000", -2147483647 - 1},
        {"12G4", 0x12},
        {"", 0},
        {"xyz", 0},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(hexValue(text), value) << text;
}
