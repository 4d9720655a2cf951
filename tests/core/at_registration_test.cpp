// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Registration answers of real devices, +CREG, +CGREG and +CEREG, solicited
// and unsolicited. Unless a row says otherwise, the answers are those
// published in ModemManager's src/tests/test-modem-helpers.c, labelled there
// with the device that sent them.
#include <gtest/gtest.h>

#include <cstdint>

#include "core/at_network.h"

using namespace funkor;

namespace {

struct RealAnswer {
    const char* device;
    const char* line;
    bool found;  // registered, with a serving cell
    int status;
    const char* lac;
    const char* ci;
    Radio radio;
    const char* key;  // with the operator "26203"
};

constexpr Radio G = Radio::Gsm;
constexpr Radio U = Radio::Umts;
constexpr Radio L = Radio::Lte;
constexpr Radio N = Radio::Nr;

const RealAnswer kRealAnswers[] = {
    // +CREG
    {"CREG=1 solicited", "+CREG: 1,3", false, 3, "", "", G, ""},
    {"CREG=1 unsolicited", "+CREG: 3", false, 3, "", "", G, ""},
    {"Sierra Mercury", "+CREG: 1,1,84CD,00D30173", true, 1, "84CD", "00D30173", G,
     "00D3017384CD26203"},
    {"Sierra Mercury (older ModemManager)", "+CREG: 0,1,84CD,00D30173", true, 1, "84CD", "00D30173",
     G, "00D3017384CD26203"},
    {"Sierra Mercury unsolicited", "+CREG: 1,84CD,00D30156", true, 1, "84CD", "00D30156", G,
     "00D3015684CD26203"},
    {"Sony Ericsson K850i", "+CREG: 2,1,\"CE00\",\"01CEAD8F\"", true, 1, "CE00", "01CEAD8F", G,
     "01CEAD8FCE0026203"},
    {"Sony Ericsson K850i unsolicited", "+CREG: 1,\"CE00\",\"00005449\"", true, 1, "CE00", "5449",
     G, "5449CE0026203"},
    {"Huawei E160G unregistered", "+CREG: 2,0,00,0", false, 0, "0000", "0000", G, "0000000026203"},
    {"Huawei E160G", "+CREG: 2,1,8BE3,2BAF", true, 1, "8BE3", "2BAF", G, "2BAF8BE326203"},
    {"Huawei E160G unsolicited", "+CREG: 1,8BE3,2BAF", true, 1, "8BE3", "2BAF", G, "2BAF8BE326203"},
    {"Huawei E160G unsolicited, searching (older ModemManager)", "+CREG: 2,8BE3,2BAF", false, 2,
     "8BE3", "2BAF", G, "2BAF8BE326203"},
    {"Sony Ericsson TM-506, leading zeros in the CI", "+CREG: 2,1,\"8BE3\",\"00002BAF\"", true, 1,
     "8BE3", "2BAF", G, "2BAF8BE326203"},
    {"Novatel XU870 unregistered", "+CREG: 2,,", false, 2, "", "", G, ""},
    {"Iridium, lower-case hex, no blank", "+CREG:002,001,\"18d8\",\"ffff\"", true, 1, "18D8",
     "FFFF", G, "FFFF18D826203"},
    {"no leading zeros", "+CREG:2,1,0001,0010", true, 1, "0001", "0010", G, "0010000126203"},
    {"leading zeros in the numbers", "+CREG:002,001,\"0001\",\"0010\"", true, 1, "0001", "0010", G,
     "0010000126203"},
    {"unsolicited with AcT, no leading zeros", "+CREG: 1,0001,0010,0", true, 1, "0001", "0010", G,
     "0010000126203"},
    {"unsolicited with AcT, leading zeros", "+CREG: 001,\"0001\",\"0010\",000", true, 1, "0001",
     "0010", G, "0010000126203"},
    {"u-blox TOBY-L2 on LTE, SMS only", "+CREG: 2,6,\"8B37\",\"0A265185\",7", true, 6, "8B37",
     "0A265185", L, "0A2651858B3726203"},
    {"u-blox TOBY-L2 unsolicited", "+CREG: 6,\"8B37\",\"0A265185\",7", true, 6, "8B37", "0A265185",
     L, "0A2651858B3726203"},
    {"Sony Ericsson MD400 roaming", "+CREG: 2,5,\"0502\",\"0404736D\"", true, 5, "0502", "0404736D",
     G, "0404736D050226203"},
    {"Samsung Wave S8500, odd trailing fields", "+CREG: 2,1,000B,2816, B, C2816", true, 1, "000B",
     "2816", G, "2816000B26203"},
    // ModemManager reads LAC 0 here; a LAC with a blank inside is no LAC.
    {"Qualcomm Gobi 1000, garbled LAC", "+CREG: 2,1,  0 5, 2715", false, 1, "", "", G, ""},
    {"unsolicited, roaming without cell", "+CREG: 5", false, 5, "", "", G, ""},
    // +CGREG
    {"CGREG=1 solicited", "+CGREG: 1,3", false, 3, "", "", G, ""},
    {"CGREG=1 unsolicited", "+CGREG: 3", false, 3, "", "", G, ""},
    {"Ericsson F3607gw on EDGE", "+CGREG: 2,1,\"8BE3\",\"00002B5D\",3", true, 1, "8BE3", "2B5D", G,
     "2B5D8BE326203"},
    {"Ericsson F3607gw unsolicited", "+CGREG: 1,\"8BE3\",\"00002B5D\",3", true, 1, "8BE3", "2B5D",
     G, "2B5D8BE326203"},
    {"Sony Ericsson MD400 on UMTS", "+CGREG: 5,\"0502\",\"0404736D\",2", true, 5, "0502",
     "0404736D", U, "0404736D050226203"},
    {"unsolicited, idle", "+CGREG: 0", false, 0, "", "", G, ""},
    {"Alcatel One-Touch X220D, blanks", "+CGREG: 2,1, 81ED, 1A9CEB", true, 1, "81ED", "001A9CEB", G,
     "001A9CEB81ED26203"},
    {"unsolicited with RAC", "+CGREG: 1,\"1422\",\"00000142\",3,\"00\"", true, 1, "1422", "0142", G,
     "0142142226203"},
    {"Thuraya", "+CGREG: 2, 1, \"0426\", \"F00F\"", true, 1, "0426", "F00F", G, "F00F042626203"},
    {"Thuraya unsolicited", "+CGREG: 1, \"0426\", \"F00F\"", true, 1, "0426", "F00F", G,
     "F00F042626203"},
    // +CEREG
    {"CEREG=1 solicited", "+CEREG: 1,3", false, 3, "", "", L, ""},
    {"CEREG=1 unsolicited", "+CEREG: 3", false, 3, "", "", L, ""},
    {"CEREG=2, blanks", "+CEREG: 2,1, 1F00, 79D903 ,7", true, 1, "1F00", "0079D903", L,
     "0079D9031F0026203"},
    {"CEREG=2 unsolicited", "+CEREG: 1, 1F00, 79D903 ,7", true, 1, "1F00", "0079D903", L,
     "0079D9031F0026203"},
    {"Altair LTE, searching", "+CEREG: 1, 2, 0001, 00000100, 7", false, 2, "0001", "0100", L,
     "0100000126203"},
    {"Altair LTE unsolicited, searching", "+CEREG: 2, 0001, 00000100, 7", false, 2, "0001", "0100",
     L, "0100000126203"},
    {"Novatel E362, a field before the CI", "+CEREG: 2,1, 1F00, 20 ,79D903 ,7", true, 1, "1F00",
     "0079D903", L, "0079D9031F0026203"},
    {"Novatel E362 unsolicited", "+CEREG: 1, 1F00, 20 ,79D903 ,7", true, 1, "1F00", "0079D903", L,
     "0079D9031F0026203"},
    // Siemens S45i (the phone this program was written for) and the
    // simulated devices of tools/phonesim.
    {"Siemens S45i", "+CREG: 2,1,\"C67C\",\"4E21\"", true, 1, "C67C", "4E21", G, "4E21C67C26203"},
    {"Siemens S45i unsolicited", "+CREG: 1,\"C67C\",\"4E21\"", true, 1, "C67C", "4E21", G,
     "4E21C67C26203"},
    {"SIM800 style, unquoted, no leading zeros", "+CREG: 2,1,4CA,81DE", true, 1, "04CA", "81DE", G,
     "81DE04CA26203"},
    {"Quectel EC25 style, 28-bit cell", "+CEREG: 2,1,\"1F00\",\"79D9031\",7", true, 1, "1F00",
     "079D9031", L, "079D90311F0026203"},
};

}  // namespace

TEST(Registration, RealAnswersOfManyDevices) {
    for (const RealAnswer& a : kRealAnswers) {
        SCOPED_TRACE(std::string(a.device) + ": " + a.line);
        const auto r = parseRegistration(a.line);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->registered && r->hasCell(), a.found);
        EXPECT_EQ(r->status, a.status);
        EXPECT_EQ(r->lac, a.lac);
        EXPECT_EQ(r->ci, a.ci);
        EXPECT_EQ(r->radio, a.radio);
        EXPECT_EQ(r->hasCell() ? makeCellKey(r->ci, r->lac, "26203") : "", a.key);
    }
}

TEST(Registration, EachParserTakesOnlyItsOwnAnswer) {
    EXPECT_FALSE(parseCreg("+CGREG: 2,1,\"8BE3\",\"00002B5D\",3"));
    EXPECT_FALSE(parseCreg("+CEREG: 1,3"));
    EXPECT_FALSE(parseCgreg("+CREG: 1,3"));
    EXPECT_FALSE(parseCereg("+CGREG: 1,3"));
    EXPECT_EQ(parseRegistration("+CGREG: 1,3")->kind, RegistrationKind::Ps);
    EXPECT_EQ(parseRegistration("+CEREG: 1,3")->kind, RegistrationKind::Eps);
    EXPECT_EQ(parseRegistration("+CREG: 1,3")->kind, RegistrationKind::Cs);
}

// The access technology gives the radio; an unknown one leaves the
// command's own.
TEST(Registration, AccessTechnologyGivesTheRadio) {
    const struct {
        const char* line;
        Radio radio;
    } cases[] = {
        {"+CREG: 2,1,\"0001\",\"0002\",0", G},   {"+CREG: 2,1,\"0001\",\"0002\",1", G},
        {"+CREG: 2,1,\"0001\",\"0002\",2", U},   {"+CREG: 2,1,\"0001\",\"0002\",3", G},
        {"+CREG: 2,1,\"0001\",\"0002\",4", U},   {"+CREG: 2,1,\"0001\",\"0002\",5", U},
        {"+CREG: 2,1,\"0001\",\"0002\",6", U},   {"+CREG: 2,1,\"0001\",\"0002\",7", L},
        {"+CREG: 2,1,\"0001\",\"0002\",42", G},  {"+CEREG: 2,1,\"0001\",\"0002\",42", L},
        {"+CEREG: 2,1,\"0001\",\"0002\"", L},    {"+CGREG: 2,1,\"0001\",\"0002\"", G},
        {"+CEREG: 2,1,\"0001\",\"0002\",11", N}, {"+CEREG: 2,1,\"0001\",\"0002\",12", N},
        {"+CEREG: 2,1,\"0001\",\"0002\",13", L}, {"+C5GREG: 2,1,\"0001\",\"0002\"", N},
    };
    for (const auto& c : cases) {
        const auto r = parseRegistration(c.line);
        ASSERT_TRUE(r) << c.line;
        EXPECT_EQ(r->radio, c.radio) << c.line;
        EXPECT_EQ(r->lacValue, 1u) << c.line;
        EXPECT_EQ(r->ciValue, 2u) << c.line;
    }
    EXPECT_STREQ(radioName(Radio::Gsm), "GSM");
    EXPECT_STREQ(radioName(Radio::Umts), "UMTS");
    EXPECT_STREQ(radioName(Radio::Lte), "LTE");
    EXPECT_STREQ(radioName(Radio::Nr), "NR");
}

// NR cells: a TAC of up to 24 bits and a 36-bit CI, written in 6 and 9 hex
// digits; the key has a length of its own, with a 5- or 6-digit operator.
TEST(Registration, NrCellsAndTheirKeys) {
    const struct {
        const char* line;
        const char* lac;
        const char* ci;
        std::uint64_t ciValue;
    } cases[] = {
        {"+C5GREG: 2,1,\"00C565\",\"035B6403E\",11,0", "00C565", "035B6403E", 901136446},
        {"+C5GREG: 1,\"ABCDEF\",\"FFFFFFFFF\",11", "ABCDEF", "FFFFFFFFF", 0xFFFFFFFFFull},
        {"+CEREG: 2,1,\"1F00\",\"123456789\",12", "001F00", "123456789", 0x123456789ull},
        {"+C5GREG: 2,1,\"1ABCDEF\",\"1\",11", "", "", 0},  // TAC of 7 digits
    };
    for (const auto& c : cases) {
        const auto r = parseRegistration(c.line);
        ASSERT_TRUE(r) << c.line;
        EXPECT_EQ(r->lac, c.lac) << c.line;
        EXPECT_EQ(r->ci, c.ci) << c.line;
        EXPECT_EQ(r->ciValue, c.ciValue) << c.line;
    }
    const struct {
        const char* key;
        const char* ci;
        const char* lac;
        const char* op;
    } keys[] = {
        {"4E21C67C26207", "4E21", "C67C", "26207"},
        {"4E21C67C310410", "4E21", "C67C", "310410"},
        {"0079D9031F0026201", "0079D903", "1F00", "26201"},
        {"0079D9031F00310410", "0079D903", "1F00", "310410"},
        {"035B6403E00C56550503", "035B6403E", "00C565", "50503"},
        {"035B6403E00C565405854", "035B6403E", "00C565", "405854"},
    };
    for (const auto& k : keys) {
        const auto parts = splitCellKey(k.key);
        ASSERT_TRUE(parts) << k.key;
        EXPECT_EQ(parts->ci, k.ci) << k.key;
        EXPECT_EQ(parts->lac, k.lac) << k.key;
        EXPECT_EQ(parts->operatorCode, k.op) << k.key;
    }
    EXPECT_FALSE(splitCellKey("4E21C67C2620"));
    EXPECT_EQ(networkTooltip("0079D9031F00310410", "310410"),
              "CC=310 NC=410 LAC=1F00 CI=0079D903 LA=793-36");
    EXPECT_EQ(sectorOf("4E21C67C310410").letter, "B");
}

// Fields that cannot be a LAC or a CI leave the cell unknown; nothing a
// line holds makes the parser fail other than a missing state.
TEST(Registration, OddFieldsGiveNoCell) {
    const struct {
        const char* legend;
        const char* line;
        bool valid;
        bool hasCell;
    } cases[] = {
        {"LAC of five digits", "+CREG: 2,1,\"1C67C\",\"4E21\"", true, false},
        {"CI of nine digits", "+CREG: 2,1,\"C67C\",\"14E21ABCD\"", true, false},
        {"nine digits with a leading zero are eight", "+CREG: 2,1,\"C67C\",\"04E21ABCD\"", true,
         true},
        {"empty LAC and CI", "+CEREG: 2,1,,,7", true, false},
        {"unbalanced quote", "+CREG: 2,1,\"C67C,4E21", true, false},
        {"quoted state", "+CREG: \"1\"", false, false},
        {"prefix only with blanks", "+CEREG:   ", false, false},
        {"many commas", "+CREG: ,,,,,,,,,,,,,", false, false},
    };
    for (const auto& c : cases) {
        const auto r = parseRegistration(c.line);
        ASSERT_EQ(r.has_value(), c.valid) << c.legend;
        if (r) {
            EXPECT_EQ(r->hasCell(), c.hasCell) << c.legend;
        }
    }
}

TEST(CellKey, LongKeysTooltipWithoutSector) {
    EXPECT_FALSE(isLongCellKey("4E21C67C26207"));
    EXPECT_TRUE(isLongCellKey("0079D9031F0026201"));
    EXPECT_EQ(networkTooltip("0079D9031F0026201", "26201"),
              "CC=262 NC=01 LAC=1F00 CI=0079D903 LA=793-36");
    EXPECT_EQ(sectorOf("0079D9031F0026201").letter, "");
    EXPECT_EQ(areaText("0079D9031F0026201"), "793-36");
    EXPECT_EQ(regionText("0079D903C67C26201"), "Region: S-BYN");
}
