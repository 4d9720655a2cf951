// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/charset.h"

#include <gtest/gtest.h>

#include <string>

using namespace funkor::charset;

namespace {

// 8-bit text as UTF-8, one code point per byte.
std::string utf8Of(std::string_view cp1252) {
    std::string out;
    for (char c : cp1252) appendUtf8(out, fromCp1252(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

TEST(Charset, EveryCp1252ByteSurvivesTheTripThroughUtf8) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(utf8ToCp1252(utf8Of(all)), all);
}

TEST(Charset, KnownCharactersBothWays) {
    struct Case {
        const char* cp1252;
        const char* utf8;
    };
    const Case cases[] = {
        {"Gr\xFC\xDF"
         "e",
         "Grüße"},
        {"\x80"
         "5",
         "€5"},
        {"\xBB"
         "AT\xBB",
         "»AT»"},
        {"\x96", "–"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8Of(c.cp1252), c.utf8);
        EXPECT_EQ(utf8ToCp1252(c.utf8), c.cp1252);
    }
}

TEST(Charset, UnmappableAndMalformedInput) {
    EXPECT_EQ(utf8ToCp1252("中文"), "??");            // outside the code page
    EXPECT_EQ(utf8ToCp1252("a\xC3"), "a\xC3");        // cut sequence kept as a byte
    EXPECT_EQ(utf8ToCp1252("\xC0\xAF"), "\xC0\xAF");  // overlong form is no character
    EXPECT_EQ(decodeUtf8("\xF0\x9F\x93\xB1"), std::u32string(1, U'\U0001F4F1'));
    std::string out;
    appendUtf8(out, U'\U0001F4F1');
    EXPECT_EQ(out, "\xF0\x9F\x93\xB1");
}
