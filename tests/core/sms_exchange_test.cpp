// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Received messages, messages to send, and the spoken announcements.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/announcements.h"
#include "core/incoming_sms.h"
#include "core/outgoing_sms.h"
#include "core/pdu.h"

using namespace funkor;

namespace {

// An SMS-DELIVER without SMSC part: first octet 04, the sender's address
// field as given, PID and DCS 00, the time stamp, and the text packed by the
// submit encoder (its user data length and septets).
std::string deliver(const std::string& address, const std::string& stamp, const std::string& text) {
    const std::string submit = encodeSmsPdu(text, "1").pdu;
    return "0004" + address + "0000" + stamp + submit.substr(submit.find("1FF0") + 4);
}

int octets(const std::string& pdu) {
    return static_cast<int>(pdu.size() / 2) - 1;
}

const char* const kSender = "0B919421436587F9";  // +49123456789
const char* const kStamp = "40112141050080";     // 12.11.04 14:50:00

IncomingSms read(const std::string& pdu, const std::vector<std::string>& book = {}) {
    IncomingSmsInput in;
    in.pdu = pdu;
    in.tpduLength = octets(pdu);
    in.index = "7";
    in.phoneBook = book;
    in.mapBase = "http://map";
    in.receivedAt = "15:02";
    return readIncomingSms(in);
}

}  // namespace

TEST(IncomingSms, SenderLineKindAndText) {
    const std::vector<std::string> book = {"\"0123456789\",129,\"Anna\"",
                                           "\"+49123456789\",145,\"J{rg\"}"};
    struct Case {
        const char* text;
        std::vector<std::string> book;
        const char* line;
        SmsKind kind;
    } cases[] = {
        {"Hallo", {}, "+49123456789          12.11.04 14:50:00", SmsKind::Plain},
        // The national entry comes first in the book and wins.
        {"Hallo", book, "+49123456789 12.11.04 14:50:00 Anna", SmsKind::Plain},
        {"$SendPosition!", {}, "+49123456789          12.11.04 14:50:00", SmsKind::PositionRequest},
        {"$sendposition!", {}, "+49123456789          12.11.04 14:50:00", SmsKind::Position},
        {"$4807123,01134567", {}, "+49123456789          12.11.04 14:50:00", SmsKind::Position},
    };
    for (const auto& c : cases) {
        const IncomingSms sms = read(deliver(kSender, kStamp, c.text), c.book);
        EXPECT_EQ(sms.senderLine, c.line) << c.text;
        EXPECT_EQ(sms.kind, c.kind) << c.text;
        EXPECT_EQ(sms.text, c.text);
        EXPECT_EQ(sms.senderToolTip, "SMS-Nr:7 (<=SMS von SIM lesen)");
    }
}

TEST(IncomingSms, UmlautsAndNoTrailingNul) {
    // Seven characters fill seven octets; the eighth septet of the fill bits
    // is not part of the text even when the length octet lies about it.
    std::string pdu = deliver(kSender, kStamp, "abcdefg");
    pdu.replace(pdu.size() - 16, 2, "08");
    EXPECT_EQ(read(pdu).text, "abcdefg");
    // GSM [ \ ^ { | ~ and septet 30 are the German letters.
    EXPECT_EQ(read(deliver(kSender, kStamp,
                           "Gr\xFC\xDF"
                           "e \xC4rger"))
                  .text,
              "Gr\xFC\xDF"
              "e \xC4rger");
}

TEST(IncomingSms, PositionSmsGivesSentencesAndMapLink) {
    const IncomingSms sms = read(deliver(kSender, kStamp, "$4807123,01134567"));
    ASSERT_TRUE(sms.position);
    EXPECT_EQ(sms.position->sentences.rmc,
              "$GPRMC,145000,A,4807.123,N,01134.567,E,,,121104,0,E*" +
                  nmeaChecksum("GPRMC,145000,A,4807.123,N,01134.567,E,,,121104,0,E") + "\r\n");
    EXPECT_EQ(sms.position->sentences.gga,
              "$GPGGA,145000,4807.123,N,01134.567,E,1,12,,,M,,M,,,*" +
                  nmeaChecksum("GPGGA,145000,4807.123,N,01134.567,E,1,12,,,M,,M,,,") + "\r\n");
    EXPECT_EQ(sms.mapLink,
              "http://map/map.aspx?L=EUR&C=48.1187166666667,11.5761166666667&A=2&P=|"
              "48.1187166666667,11.5761166666667|1|+49123456789 15:02|L1|");
}

TEST(IncomingSms, UnusablePositionSmsGivesNoPosition) {
    for (const char* text : {"$4807", "$", "$48*7123,01134567", "$4807123,0113456"}) {
        const IncomingSms sms = read(deliver(kSender, kStamp, text));
        EXPECT_EQ(sms.kind, SmsKind::Position) << text;
        EXPECT_FALSE(sms.position) << text;
        EXPECT_EQ(sms.mapLink, "") << text;
    }
    // Letters stand in the sentences as they are.
    const IncomingSms letters = read(deliver(kSender, kStamp, "$48O7123,01134567"));
    ASSERT_TRUE(letters.position);
    EXPECT_NE(letters.position->sentences.rmc.find(",48O7.123,N,"), std::string::npos);
    // A whole number of degrees has no decimal point at all.
    const IncomingSms whole = read(deliver(kSender, kStamp, "$4800000,01100000"));
    ASSERT_TRUE(whole.position);
    EXPECT_NE(whole.mapLink.find("C=48,11&"), std::string::npos) << whole.mapLink;
}

TEST(IncomingSms, BadPdusGiveATextAndNoCrash) {
    const char* pdus[] = {"",
                          "0",
                          "04",
                          "ZZZZZZZZ",
                          "0004FF91",
                          "00040B91",
                          "0004"
                          "0B919421436587F9"
                          "0008"
                          "40112141050080"
                          "FF"
                          "00"};
    for (const char* pdu : pdus)
        for (int length : {-5, 0, 3, 40, 100000}) {
            IncomingSmsInput in;
            in.pdu = pdu;
            in.tpduLength = length;
            const IncomingSms sms = readIncomingSms(in);
            EXPECT_EQ(sms.timeStamp.size(), 17u) << pdu;
        }
}

TEST(SmsCache, NextFilledSlotWrapsAndEndsAfterOnePass) {
    SmsCache cache;
    EXPECT_FALSE(nextCacheSlot(cache, 0));
    cache[3] = "23:AA";
    cache[7] = "23:BB";
    struct Case {
        int cursor, next;
    } cases[] = {{0, 3}, {3, 7}, {7, 3}, {50, 3}, {-1, 3}, {99, 3}};
    for (const auto& c : cases) EXPECT_EQ(nextCacheSlot(cache, c.cursor), c.next) << c.cursor;
    SmsCache one;
    one[50] = "1:00";
    EXPECT_EQ(nextCacheSlot(one, 50), 50);

    struct Split {
        const char* entry;
        int length;
        const char* pdu;
    } splits[] = {{"23:0791AB", 23, "0791AB"},
                  {"x:AB", 0, "AB"},
                  {"0791AB", 0, "0791AB"},
                  {"12:34:56", 12, "34:56"}};
    for (const auto& s : splits) {
        const CachedSms e = splitCacheEntry(s.entry);
        EXPECT_EQ(e.tpduLength, s.length) << s.entry;
        EXPECT_EQ(e.pdu, s.pdu) << s.entry;
    }
}

TEST(SmsTestButton, SamplePduReadsAsItsText) {
    // Eight octets of service centre in front of the TPDU.
    EXPECT_EQ(std::string_view(kTestSmsPdu).size() / 2 - 8, std::size_t{kTestSmsTpduLength});
    const DeliveredSms sms = readSmsDeliver(kTestSmsPdu, kTestSmsTpduLength);
    EXPECT_EQ(sms.sender, kTestCallerNumber);
    EXPECT_EQ(sms.text, "Dies ist ein Funktest!");
}

TEST(OutgoingSms, RecipientAndDialNumberFromTheListText) {
    struct Case {
        const char* text;
        const char* recipient;
        const char* dialled;
    } cases[] = {
        {"Anna : +49123456789", "+49123456789", "+49123456789"},
        {"0123456789", "0123456789", "0123456789"},
        {"  0123456789 ", "0123456789", "  0123456789 "},
        {"Anna:+49123", "+49123", "49123"},  // the dial rule skips one character
        {"Anna :", "", ""},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(smsRecipient(c.text), c.recipient) << c.text;
        EXPECT_EQ(dialNumber(c.text), c.dialled) << c.text;
    }
    EXPECT_TRUE(isStarCode("*100#"));
    EXPECT_FALSE(isStarCode("+49*"));
}

TEST(OutgoingSms, DialStringsKeepTheirModifiersAndNothingThatEndsTheCommand) {
    struct Case {
        const char* number;
        bool dialable;
        const char* legend;
    } cases[] = {
        {"*100#", true, "a service code"},
        {"+49123456789", true, "international"},
        {"+4917633p1234", true, "pulse dialling from here on"},
        {"0301234,567", true, "a pause before the extension"},
        {"0301234W567", true, "waits for the dial tone"},
        {"T0301234", true, "tone dialling"},
        {"030!1234@", true, "hook flash, quiet answer"},
        {"ABCDabcd", true, "the keypad's letter keys"},
        {"*31#0301234", true, "number withheld for this call"},
        {"", false, "nothing"},
        {"0123;+CMGD=1", false, "would end ATD and start a command"},
        {"012\r3", false, "a line end"},
        {"012\n3", false, "a line feed"},
        {"0123\"", false, "a quote"},
        {"Anna", false, "a name"},
        {"0171 123", false, "a blank"},
        {"0171-123", false, "a dash"},
        {"0123I", false, "the caller id modifier"},
    };
    for (const auto& c : cases) EXPECT_EQ(isDialable(c.number), c.dialable) << c.legend;
}

TEST(OutgoingSms, RefusalsNameTheProblem) {
    struct Case {
        std::string text, recipient;
        const char* pdu;      // "" when refused
        const char* message;  // part of the reason
    } cases[] = {
        {"abc", "+49123456789", "0001000B919421436587F91FF00361F118", ""},
        {"abc", "", "", "Kein Empf\xE4nger"},
        {"abc", "1234567890123456", "", "mehr als 15 Ziffern"},
        {"abc", "0171 123", "", "andere Zeichen"},
        {std::string(161, 'x'), "0171", "", "mehr als 160 Zeichen (161)"},
        {"abc", std::string(1000, '1'), "", "mehr als 15 Ziffern"},
        {"abc", "112", "", "Notrufnummer (112)"},
        {"abc", "+49110", "", "Notrufnummer (+49110)"},
        {"abc", "0049112", "", "Notrufnummer"},
        {"abc", "1120", "000100048111021FF00361F118", ""},
    };
    for (const auto& c : cases) {
        const OutgoingSms sms = prepareSms(c.text, c.recipient);
        EXPECT_EQ(sms.pdu, c.pdu) << c.recipient;
        EXPECT_NE(sms.message.find(c.message), std::string::npos) << sms.message;
    }
    EXPECT_EQ(prepareSms(std::string(160, 'x'), "0171").ok(), true);
}

TEST(Announcements, CallerTexts) {
    struct Case {
        const char* label;
        const char* text;
    } cases[] = {
        {"09:20  ", "unbekannter Anruf"},
        {"09:20", "unbekannter Anruf"},
        {"09:20  Anruf !", "unbekannter Anruf"},
        {"09:20  +49123456789", "Anruf von plus#CTX=SPELL#+49123456789#CTX#"},
        {"09:20  0301234", "Anruf von #CTX=SPELL#0301234#CTX#"},
        {"09:20  +49123456789\rAnna M\xFCller", "Anruf von Anna M\xFCller"},
        // A line break too early to follow a number is part of the number.
        {"09:20  1\rX", "Anruf von #CTX=SPELL#1\rX#CTX#"},
    };
    for (const auto& c : cases) {
        const CallerAnnouncement a = announceCaller({c.label, 1000, 0});
        EXPECT_TRUE(a.speak) << c.label;
        EXPECT_EQ(a.text, c.text) << c.label;
        EXPECT_EQ(a.nextAnnounceMs, 1000 + kAnnounceHoldOffMs);
    }
}

TEST(Announcements, HoldOffOfTwentySeconds) {
    // Epoch milliseconds, so the hold-off runs on across midnight.
    const std::int64_t midnight = 1796169600000;  // 2026-12-02 00:00 UTC
    struct Case {
        std::int64_t now, next;
        bool speak;
    } cases[] = {
        {midnight - 5000, 0, true},
        {midnight + 10000, midnight + 15000, false},  // 23:59:55 + 20 s
        {midnight + 15000, midnight + 15000, true},
        {midnight + 25000, midnight + 15000, true},
        {midnight, midnight + 3600000, true},  // the clock went back an hour
    };
    for (const auto& c : cases) {
        const CallerAnnouncement a = announceCaller({"09:20  +49", c.now, c.next});
        EXPECT_EQ(a.speak, c.speak) << c.now - midnight;
        EXPECT_EQ(a.nextAnnounceMs, c.speak ? c.now + kAnnounceHoldOffMs : c.next);
    }
}

TEST(Announcements, SmsTexts) {
    struct Case {
        bool shown;
        const char* name;
        const char* sender;
        const char* text;
    } cases[] = {
        {true, "", "+49123456789",
         "#VOICE=NAME:SPR.DE.MAREN#SMS von plus#CTX=SPELL#+49123456789#CTX#"
         "#PAU=1000##VOICE=NAME:SPR.DE.OSKAR#Hallo"},
        {true, "", "0171",
         "#VOICE=NAME:SPR.DE.MAREN#SMS von #CTX=SPELL#0171#CTX#"
         "#PAU=1000##VOICE=NAME:SPR.DE.OSKAR#Hallo"},
        {true, "Anna", "+49123456789",
         "#VOICE=NAME:SPR.DE.MAREN#SMS von Anna#PAU=1000##VOICE=NAME:SPR.DE.OSKAR#Hallo"},
        {false, "Anna", "+49123456789", "Hallo"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(smsAnnouncement({c.shown, c.name, c.sender, "Hallo"}), c.text) << c.name;
}
