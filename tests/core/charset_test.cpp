#include "core/charset.h"

#include <gtest/gtest.h>

#include <string>

using namespace funkor::charset;

TEST(Charset, EveryCp1252ByteSurvivesTheTripThroughUtf8) {
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
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
        EXPECT_EQ(cp1252ToUtf8(c.cp1252), c.utf8);
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
