// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/pdu.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace funkor;

namespace {

// Independent reference packer: writes each septet's bits least significant
// first into a bit string and reads octets back from it.
std::string packReference(const std::vector<unsigned>& septets) {
    std::string bits;
    for (unsigned s : septets)
        for (int b = 0; b < 7; ++b) bits += ((s >> b) & 1) ? '1' : '0';
    while (bits.size() % 8) bits += '0';
    std::string hex;
    const char* digits = "0123456789ABCDEF";
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        unsigned v = 0;
        for (int b = 7; b >= 0; --b) v = v * 2 + (bits[i + b] == '1');
        hex += digits[v >> 4];
        hex += digits[v & 15];
    }
    return hex;
}

// The user data of a PDU built by encodeSmsPdu: everything after "1FF0" and
// the two length characters.
std::string userData(const std::string& pdu) {
    return pdu.substr(pdu.find("1FF0") + 6);
}

}  // namespace

TEST(Pdu, SubmitPdusForTheAddressForms) {
    struct Case {
        const char* number;
        const char* text;
        const char* pdu;
    };
    const Case cases[] = {
        {"+49123456789", "abc", "0001000B919421436587F91FF00361F118"},
        {"0049123456789", "abc", "0001000B919421436587F91FF00361F118"},
        {"0123456789", "", "0001000A8110325476981FF000"},
        {"012345678", "", "000100098110325476F81FF000"},
        {"+4912+345", "", "0001000791942143F51FF000"},  // inner "+" dropped once
        {"", "", "00010000811FF000"},                   // empty address
        {"+49123456789", "abcdefg", "0001000B919421436587F91FF00761F1985C369F01"},
        {"0123456789", "\xE4", "0001000A8110325476981FF0017B"},  // ä as GSM 0x7B
        {"0123456789", "$", "0001000A8110325476981FF00124"},     // "$" stays 0x24
    };
    for (const auto& c : cases) {
        const auto r = encodeSmsPdu(c.text, c.number);
        EXPECT_TRUE(r.ok()) << c.number;
        EXPECT_EQ(r.pdu, c.pdu) << c.number << " / " << c.text;
    }
}

TEST(Pdu, UserDataLengthHasTwoHexDigits) {
    const std::pair<std::size_t, const char*> cases[] = {{15, "0F"}, {16, "10"}, {160, "A0"}};
    for (const auto& [n, field] : cases) {
        const auto pdu = encodeSmsPdu(std::string(n, 'x'), "0123").pdu;
        EXPECT_EQ(pdu.substr(pdu.find("1FF0") + 4, 2), field) << n;
    }
}

TEST(Pdu, RefusesWhatDoesNotFitOrIsNoNumber) {
    struct Case {
        std::string text;
        const char* number;
        PduError error;
    };
    const Case cases[] = {
        {"x", "0123456789012345", PduError::NumberTooLong},
        {"x", "+4912345678901234", PduError::NumberTooLong},
        {"x", "+491234567890123", PduError::None},  // 15 digits fit
        {std::string(161, 'x'), "0123", PduError::TextTooLong},
        {std::string(160, 'x'), "0123", PduError::None},
        {"x", "0171-1234567", PduError::NumberInvalid},
        {"x", "+49 171", PduError::NumberInvalid},
        {"x", "0171\x1A", PduError::NumberInvalid},
        {"x", "+4+9+1", PduError::NumberInvalid},  // only the first inner "+" goes
    };
    for (const auto& c : cases) {
        const auto r = encodeSmsPdu(c.text, c.number);
        EXPECT_EQ(r.error, c.error) << c.number;
        EXPECT_EQ(r.pdu.empty(), c.error != PduError::None) << c.number;
    }
}

TEST(Pdu, UmlautsArriveAsTheGermanLetters) {
    const char* texts[] = {
        "Gr\xFC\xDF"
        "e",
        "\xC4\xD6\xDC\xE4\xF6\xFC\xDF",
        "Stra\xDF"
        "e 5 $"};
    for (const char* t : texts) {
        const auto pdu = encodeSmsPdu(t, "0123").pdu;
        EXPECT_EQ(mapGsmUmlauts(decodeSeptets(userData(pdu))).substr(0, std::string(t).size()), t);
    }
}

TEST(Pdu, SeptetsUnpackKnownOctets) {
    const std::pair<const char*, std::string> cases[] = {
        {"61F118", "abc"},
        {"61F1985C369F01", std::string("abcdefg\0", 8)},
        {"61F1985C369F0161F1985C369F01", std::string("abcdefg\0abcdefg\0", 16)},
        {"", ""},
        {"61F", "a"},    // odd trailing character ignored
        {"6G", "\x06"},  // a pair with a non-hex digit counts by its leading digits
        {"ZZ", std::string(1, '\0')},
    };
    for (const auto& [hex, text] : cases) EXPECT_EQ(decodeSeptets(hex), text) << hex;
}

TEST(Pdu, SeptetZeroAndThirtyInEveryPositionOfAGroup) {
    for (int pos = 0; pos < 8; ++pos) {
        for (unsigned special : {0u, 30u}) {
            std::vector<unsigned> septets(8, 'A');
            septets[pos] = special;
            std::string expected(8, 'A');
            expected[pos] = special == 30 ? '\xDF' : '\0';
            EXPECT_EQ(decodeSeptets(packReference(septets)), expected) << pos << "/" << special;
        }
    }
}

TEST(Pdu, RoundTripOfRandomSevenBitTexts) {
    std::mt19937 rng(20240611);
    for (int run = 0; run < 500; ++run) {
        const std::size_t n = rng() % 161;
        std::string text;
        for (std::size_t i = 0; i < n; ++i) {
            char c;
            do c = static_cast<char>(rng() % 128);
            while (c == 30);  // septet 30 comes back as "ß" by design
            text += c;
        }
        const auto r = encodeSmsPdu(text, "+49170123456");
        ASSERT_TRUE(r.ok());
        const std::string decoded = decodeSeptets(userData(r.pdu));
        // The packer's fill bits may add one character of value 0 at the end.
        EXPECT_EQ(decoded.substr(0, n), text);
        EXPECT_LE(decoded.size(), n + 1);
        if (decoded.size() > n) {
            EXPECT_EQ(decoded.back(), '\0');
        }
    }
}

TEST(Pdu, MapGsmUmlautsTranslatesTheGermanLetters) {
    EXPECT_EQ(mapGsmUmlauts("[\\^{|~"), "\xC4\xD6\xDC\xE4\xF6\xFC");
    // A phone-book name as the phone sends it: ß as its GSM code 30.
    EXPECT_EQ(mapGsmUmlauts("B{ckerei Wei\x1E"),
              "B\xE4"
              "ckerei Wei\xDF");
    EXPECT_EQ(mapGsmUmlauts("M{rz ~ber [pfel, ] } @ $"),
              "M\xE4rz \xFC"
              "ber \xC4pfel, ] } @ $");
    EXPECT_EQ(mapGsmUmlauts(""), "");
}

TEST(Pdu, ReadsSmsDeliver) {
    struct Case {
        const char* label;
        const char* pdu;
        int length;
        const char* sender;
        const char* time;
        std::string text;
    };
    const Case cases[] = {
        {"international sender, 11 digits",
         "07919471060040F9040B919421436587F9000040112141050080036"
         "1F118",
         22, "+49123456789", "12.11.04 14:50:00", "abc"},
        {"national type",
         "040B819421436587F9000040112141050080036"
         "1F118",
         22, "49123456789", "12.11.04 14:50:00", "abc"},
        {"time-zone octet ignored",
         "040A811032547698000040112141050023036"
         "1F118",
         21, "0123456789", "12.11.04 14:50:00", "abc"},
        {"seven septets, fill character dropped",
         "040A8110325476980000401121410500800761F1985C369F01", 25, "0123456789",
         "12.11.04 14:50:00", "abcdefg"},
        {"GSM umlauts",
         "040A81103254769800004011214105008003"
         "7BBE1F",
         21, "0123456789", "12.11.04 14:50:00", "\xE4\xF6\xFC"},
        {"truncated after the address", "040A8110325476", 7, "01234567", "00.00.00 00:00:00", ""},
        {"address length beyond the data", "04FF911032", 5, "+0123", "00.00.00 00:00:00", ""},
        {"length larger than the text", "040A81103254769800004011214105008003616", 900,
         "0123456789", "12.11.04 14:50:00", "a"},
        {"nothing", "", 0, "", "00.00.00 00:00:00", ""},
    };
    for (const auto& c : cases) {
        const auto sms = readSmsDeliver(c.pdu, c.length);
        EXPECT_EQ(sms.sender, c.sender) << c.label;
        EXPECT_EQ(sms.timeStamp, c.time) << c.label;
        EXPECT_EQ(sms.text, c.text) << c.label;
    }
}

TEST(Pdu, CallerNameLookup) {
    const std::vector<std::string> book = {
        "\"0301234567890\",129,\"Lang\"",  // digits inside a longer number
        "\"0123456789\",129,\"Hans\"",       "\"+49123456789\",145,\"Grete\"",
        "\"0170555\",129,\"J|rg\"",
        "\"0171999\",129,\"Ruf 987654321\"",  // digits inside a name
    };
    struct Case {
        const char* number;
        const char* name;
    };
    const Case cases[] = {
        {"+49123456789", "Lang"},
        {"0123456789", "Lang"},  // first match wins, inside 0301234567890
        {"+490170555", "J\xF6rg"},
        {"987654321", "Ruf 987654321"},
        {"0160000", ""},
        {"", ""},
        {"+49", ""},  // nothing left to search for
    };
    for (const auto& c : cases) EXPECT_EQ(findCallerName(c.number, book), c.name) << c.number;
    const std::vector<std::string> ordered(book.begin() + 1, book.end());
    EXPECT_EQ(findCallerName("+49123456789", ordered), "Hans");
    EXPECT_EQ(findCallerName("+49123456789", std::vector<std::string>{}), "");
    EXPECT_EQ(findCallerName("123", std::vector<std::string>{"123"}), "");  // no comma: no name
}
