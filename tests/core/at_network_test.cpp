// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_network.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

using namespace funkor;

namespace {

// The answer to "AT+CRSM=176,28512,0,0,123" as an S45i with an O2 SIM sends
// it: four zone records of 26 bytes from data byte 18, 123 bytes in all.
std::string crsmLine(unsigned homeE, unsigned homeN, unsigned homeSq, const char* homeName,
                     unsigned cityE, unsigned cityN, unsigned citySq, const char* cityName) {
    std::string data(123 * 2, 'F');
    const auto put = [&](int byte, const std::string& hex) {
        data.replace(byte * 2, hex.size(), hex);
    };
    const auto word = [](unsigned v) {
        char buf[9];
        std::snprintf(buf, sizeof buf, "%08X", v);
        return std::string(buf);
    };
    const auto name = [](const char* n) {
        std::string hex;
        char buf[3];
        for (int i = 0; i < 4; ++i) {
            std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned char>(n[i]));
            hex += buf;
        }
        return hex;
    };
    put(18, word(homeE) + word(homeN) + word(homeSq) + "01" + name(homeName));
    put(96, word(cityE) + word(cityN) + word(citySq) + "02" + name(cityName));
    return "+CRSM: 144,0," + data;
}

}  // namespace

TEST(Crsm, ZonesFromTheSimFile) {
    const auto f =
        parseCrsmZones(crsmLine(451818, 582197, 22500, "Home", 459870, 581994, 250000, "City"));
    ASSERT_TRUE(f.home);
    EXPECT_EQ(f.home->first, 451818);
    EXPECT_EQ(f.home->second, 582197);
    EXPECT_EQ(f.home->radius, 1500);  // 10 * sqrt(22500)
    EXPECT_EQ(f.home->name, "Home");
    ASSERT_TRUE(f.city);
    EXPECT_EQ(f.city->first, 459870);
    EXPECT_EQ(f.city->second, 581994);
    EXPECT_EQ(f.city->radius, 5000);
    EXPECT_EQ(f.city->name, "City");
    EXPECT_EQ(f.homeKey, "451818582197");
    EXPECT_EQ(f.distanceTooltip, "Entfernung Home (r=1500m)");
}

TEST(Crsm, BadZoneDataIsSkipped) {
    const std::string good =
        crsmLine(451818, 582197, 22500, "Home", 459870, 581994, 250000, "City");
    std::string oddHex = good;
    oddHex[52] = 'G';  // inside the home easting
    std::string quoted = good;
    quoted.insert(13, "\"");

    const struct {
        const char* legend;
        std::string line;
        bool home;
        bool city;
    } cases[] = {
        {"negative squared home radius",
         crsmLine(451818, 582197, 0x80000000u, "Home", 459870, 581994, 250000, "City"), false,
         true},
        {"negative squared city radius",
         crsmLine(451818, 582197, 22500, "Home", 459870, 581994, 0xFFFFFFFFu, "City"), true, false},
        {"line ends after the home record", good.substr(0, 90), true, false},
        {"line ends inside the home record", good.substr(0, 60), false, false},
        {"non-hex digit in a coordinate", oddHex, false, true},
        {"quoted data shifts every field", quoted, false, false},
        {"error status without data", "+CRSM: 148,4", false, false},
        {"bare prefix", "+CRSM:", false, false},
    };
    for (const auto& c : cases) {
        const auto f = parseCrsmZones(c.line);
        EXPECT_EQ(f.home.has_value(), c.home) << c.legend;
        EXPECT_EQ(f.city.has_value(), c.city) << c.legend;
        if (!f.home) {
            EXPECT_EQ(f.homeKey, "") << c.legend;
            EXPECT_EQ(f.distanceTooltip, "") << c.legend;
        }
    }
}

TEST(Crsm, RadiusWithFractionKeepsItsDecimals) {
    const auto f =
        parseCrsmZones(crsmLine(451818, 582197, 22501, "Home", 459870, 581994, 0, "City"));
    ASSERT_TRUE(f.home);
    EXPECT_NEAR(f.home->radius, 1500.0333, 1e-4);
    EXPECT_EQ(f.distanceTooltip.rfind("Entfernung Home (r=1500.0333", 0), 0u) << f.distanceTooltip;
}

TEST(Sstk, TimingAdvanceDistancesAndCaptions) {
    const struct {
        const char* line;
        const char* op;
        const char* sector;
        char sep;
        int value;
        int metres;
        const char* caption;
    } cases[] = {
        {"^SSTK: 00", "26207", "A", '.', 0, 273, "~0.3 km N"},
        {"^SSTK: 01", "26207", "B", '.', 1, 819, "~0.8 km S/O"},
        {"^SSTK: 02", "26207", "C", ',', 2, 1365, "~1,4 km S/W"},
        {"^SSTK: 7", "26201", "A", '.', 7, 4095, "~4.1 km"},  // no sector off O2
        // The advance is the response's last octet in hex: 0A is 10, not 0.
        {"^SSTK: 8103012605820282818301002E02000A", "26207", "A", '.', 10, 5733, "~5.7 km N"},
        {"^SSTK: 8103012605820282818301002E020011", "26207", "C", '.', 17, 9555, "~9.6 km S/W"},
        {"^SSTK: 8103012605820282818301002E02003f", "26207", "", '.', 63, 34671, "~34.7 km"},
        {"^SSTK: 3F", "26207", "", '.', 63, 34671, "~34.7 km"},  // beyond 16 bits signed
    };
    for (const auto& c : cases) {
        const auto ta = parseSstk(c.line);
        ASSERT_TRUE(ta) << c.line;
        EXPECT_EQ(ta->value, c.value) << c.line;
        EXPECT_EQ(ta->distanceMetres, c.metres) << c.line;
        EXPECT_EQ(timingAdvanceCaption(ta->distanceMetres, c.op, c.sector, c.sep), c.caption)
            << c.line;
    }
    EXPECT_FALSE(parseSstk("^SSTK:"));
    EXPECT_FALSE(parseSstk("^SSTK: xx"));
    EXPECT_FALSE(parseSstk("^SSTK: 0G"));
    EXPECT_FALSE(parseSstk("^SSTK: 8301  "));
}

struct CregCase {
    const char* legend;
    const char* line;
    bool valid;
    char state;
    bool registered;
    const char* lac;
    const char* ci;
};

TEST(Creg, RegistrationForms) {
    const CregCase cases[] = {
        {"S45i answer to AT+CREG?", "+CREG: 2,1,\"C67C\",\"4E21\"", true, '1', true, "C67C",
         "4E21"},
        {"unsolicited form reads alike", "+CREG: 1,\"C67C\",\"4E21\"", true, '1', true, "C67C",
         "4E21"},
        {"roaming", "+CREG: 2,5,\"0064\",\"9C40\"", true, '5', true, "0064", "9C40"},
        {"searching", "+CREG: 2,2", true, '2', false, "", ""},
        {"unsolicited, not registered", "+CREG: 0", true, '0', false, "", ""},
        {"mode 0 answer has no cell", "+CREG: 0,1", true, '1', true, "", ""},
        // Other makers' devices leave out the quotes and leading zeros.
        {"missing quotes", "+CREG: 2,1,C67C,4E21", true, '1', true, "C67C", "4E21"},
        {"short LAC", "+CREG: 2,1,\"C67\",\"4E21\"", true, '1', true, "0C67", "4E21"},
        {"non-hex LAC", "+CREG: 2,1,\"C6XC\",\"4E21\"", true, '1', true, "", ""},
        {"unsolicited with LAC only", "+CREG: 1,\"C67C\"", true, '1', true, "", ""},
        {"bare prefix", "+CREG:", false, 0, false, "", ""},
        {"state not a digit", "+CREG: x", false, 0, false, "", ""},
    };
    for (const auto& c : cases) {
        const auto r = parseCreg(c.line);
        ASSERT_EQ(r.has_value(), c.valid) << c.legend;
        if (!r) continue;
        EXPECT_EQ(r->state, c.state) << c.legend;
        EXPECT_EQ(r->registered, c.registered) << c.legend;
        EXPECT_EQ(r->lac, c.lac) << c.legend;
        EXPECT_EQ(r->ci, c.ci) << c.legend;
    }
}

TEST(CellKey, SectorRegionAndTooltip) {
    EXPECT_EQ(makeCellKey("4E21", "C67C", "26207"), "4E21C67C26207");
    const struct {
        const char* key;
        const char* sector;
        int baseStation;
        const char* region;
        const char* area;
    } cases[] = {
        {"4E21C67C26207", "B", 1, "Region: S-BYN", "508-12"},  // CI 20001, LAC 50812
        {"4E1FC6E026207", "A", 19999, "Region: S-BW", "509-12"},
        {"9C40C73826207", "C", 0, "Region: S-BYS", "510-00"},
        {"0000303926207", "A", 0, "Region: N", "123-45"},
        {"FFFFEF3226207", "C", 25535, "Region: ", "612-34"},
        {"0001000A26207", "A", 1, "Region: N", "10-10"},  // short decimal LAC
    };
    for (const auto& c : cases) {
        const auto s = sectorOf(c.key);
        EXPECT_EQ(s.letter, c.sector) << c.key;
        EXPECT_EQ(s.baseStation, c.baseStation) << c.key;
        EXPECT_EQ(regionText(c.key), c.region) << c.key;
        EXPECT_EQ(areaText(c.key), c.area) << c.key;
    }
    EXPECT_EQ(networkTooltip("4E21C67C26207", "26207"),
              "CC=262 NC=07 LAC=C67C CI=4E21 LA=508-12 BS=1 SK=B");
}

TEST(Cops, RegisteredOperator) {
    EXPECT_EQ(parseCopsNumeric("+COPS: 0,2,\"26207\""), "26207");
    EXPECT_EQ(parseCopsNumeric("+COPS: 1,2,\"26201\""), "26201");
    EXPECT_EQ(parseCopsNumeric("+COPS: 0,2"), std::nullopt);
    EXPECT_EQ(parseCopsNumeric("+COPS: 0,2,26207"), std::nullopt);
    EXPECT_EQ(parseCopsNumeric("+COPS: 0,2,\"262\""), std::nullopt);
    EXPECT_EQ(parseCopsNumeric("+COPS: 0,2,\"2620x\""), std::nullopt);
    // Three-digit MNCs keep all six digits.
    EXPECT_EQ(parseCopsNumeric("+COPS: 0,2,\"310410\",7"), "310410");
    EXPECT_EQ(parseCopsNumeric("+COPS: 0,2,\"405854\""), "405854");
    EXPECT_EQ(parseCopsNumeric("+COPS: 0,2,\"3104101\""), std::nullopt);

    EXPECT_EQ(parseCopsName("+COPS: 0,0,\"o2 - de\""), "o2 - de");
    EXPECT_EQ(parseCopsName("+COPS: 1,0,\"T-Mobile D\""), "T-Mobile D");
    EXPECT_EQ(parseCopsName("+COPS: 0,0"), std::nullopt);
    EXPECT_EQ(parseCopsName("+COPS: 0,0,\"o2"), std::nullopt);

    EXPECT_FALSE(isRoaming("26207", "26207", "o2 - de"));
    EXPECT_TRUE(isRoaming("26207", "26201", "T-Mobile D"));
    EXPECT_FALSE(isRoaming("26207", "26201", ""));
    EXPECT_FALSE(isRoaming("26207", "", "o2 - de"));
    EXPECT_FALSE(isRoaming("310410", "310410", "AT&T"));
}

TEST(Cops, HomeNetworkOfTheImsiByItsCountry) {
    const std::pair<const char*, const char*> cases[] = {
        {"262071234567890", "26207"},  {"310410123456789", "310410"}, {"405854123456789", "405854"},
        {"302720123456789", "302720"}, {"208011234567890", "20801"},  {"31041", ""},
        {"2620712345678901", ""},      {"26207123456789x", ""},
    };
    for (const auto& [imsi, home] : cases) EXPECT_EQ(homeNetworkOfImsi(imsi), home) << imsi;
}

TEST(CopsList, OperatorEntries) {
    const std::string three =
        "+COPS: (2,\"o2 - de\",,\"26207\"),(3,\"T-Mobile D\",,\"26201\"),"
        "(1,\"Vodafone.de\",,\"26202\"),,(0,1,2,3,4),(0,2)";
    const std::vector<std::string> threeEntries = {"26207 2 o2 - de", "26201 3 T-Mobile D",
                                                   "26202 1 Vodafone.de"};
    const struct {
        const char* legend;
        std::string line;
        std::vector<std::string> entries;
    } cases[] = {
        {"S45i, short names empty", three, threeEntries},
        {"short names quoted",
         "+COPS: (2,\"o2 - de\",\"o2\",\"26207\"),(3,\"T-Mobile D\",\"TMO\",\"26201\",0)",
         {"26207 2 o2 - de", "26201 3 T-Mobile D"}},
        {"no further ( after the last operator",
         "+COPS: (2,\"o2 - de\",,\"26207\"),(1,\"E-Plus\",,\"26203\")",
         {"26207 2 o2 - de", "26203 1 E-Plus"}},
        {"cut inside the code", "+COPS: (2,\"o2 - de\",,\"262", {}},
        {"cut inside the name", "+COPS: (2,\"o2 - d", {}},
        {"no operators", "+COPS: ,,(0,1,2,3,4),(0,2)", {}},
        {"bare prefix", "+COPS: (", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(parseCopsList(c.line), c.entries) << c.legend;

    // A six-digit code moves state and name by one.
    CountryTable countries{};
    countries[310] = "310 US USA";
    const auto slots = operatorSlots({"310410 2 AT&T", "310260 3 T-Mobile"}, countries);
    EXPECT_EQ(slots[0].tooltip, "310410");
    EXPECT_EQ(slots[0].caption, " AT&T");
    EXPECT_EQ(slots[0].state, OperatorState::Current);
    EXPECT_EQ(slots[1].state, OperatorState::Forbidden);
    EXPECT_EQ(slots[1].countryTooltip, "US");
}

TEST(CopsList, SlotsShowAtMostEightWithCountries) {
    CountryTable countries{};
    countries[262] = "262 DE Deutschland";
    countries[232] = "232 AT \xD6sterreich";
    const std::vector<std::string> entries = {"26207 2 o2 - de", "26201 3 T-Mobile D", "23201 1 A1",
                                              "90112 0 Seefunk"};
    const auto slots = operatorSlots(entries, countries);
    EXPECT_TRUE(slots[0].visible);
    EXPECT_EQ(slots[0].caption, " o2 - de");
    EXPECT_EQ(slots[0].tooltip, "26207");
    EXPECT_EQ(slots[0].state, OperatorState::Current);
    EXPECT_EQ(slots[0].countryCaption, "Deutschland");
    EXPECT_EQ(slots[0].countryTooltip, "DE");
    EXPECT_EQ(slots[1].state, OperatorState::Forbidden);
    EXPECT_EQ(slots[2].state, OperatorState::Available);
    EXPECT_EQ(slots[2].countryCaption, "\xD6sterreich");
    EXPECT_EQ(slots[3].state, OperatorState::Other);  // country code 901: no country
    EXPECT_EQ(slots[3].countryCaption, "");
    EXPECT_EQ(slots[3].countryTooltip, "");
    for (int i = 4; i < kOperatorSlots; ++i) EXPECT_FALSE(slots[i].visible) << i;

    std::vector<std::string> ten;
    for (int i = 0; i < 10; ++i)
        ten.push_back("2620" + std::to_string(i) + " 1 Netz" + std::to_string(i));
    const auto full = operatorSlots(ten, countries);
    EXPECT_TRUE(full[7].visible);
    EXPECT_EQ(full[7].caption, " Netz7");

    EXPECT_EQ(operatorStateColour(OperatorState::Current), 0x00FF00u);
    EXPECT_EQ(operatorStateColour(OperatorState::Forbidden), 0xFF0000u);
    EXPECT_EQ(operatorStateColour(OperatorState::Available), 0xFFFF00u);
    EXPECT_EQ(operatorStateColour(OperatorState::Other), 0x808080u);
}
