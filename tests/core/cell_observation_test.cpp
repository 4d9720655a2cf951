// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The neighbour-cell answers of each maker's engineering query. Rows marked
// "captured" are answers published by users of the device (in driver code
// and forum logs of open-source projects); rows marked "layout" are built
// from the maker's documented layout where no captured answer was at hand.
#include <gtest/gtest.h>

#include <optional>

#include "core/cell_observation.h"

using namespace funkor;

namespace {

using Opt = std::optional<long long>;
constexpr std::nullopt_t no = std::nullopt;
constexpr Radio G = Radio::Gsm;
constexpr Radio U = Radio::Umts;
constexpr Radio L = Radio::Lte;

struct Expected {
    bool serving;
    Radio radio;
    Opt mcc, mnc, area, cell, unit, channel, signal, ta;
};

struct AnswerRow {
    const char* device;
    const char* line;
    std::vector<Expected> reports;
};

Opt asOpt(const std::optional<int>& v) {
    return v ? Opt(*v) : no;
}
Opt asOpt(const std::optional<std::int64_t>& v) {
    return v ? Opt(*v) : no;
}
Opt asOpt(const std::optional<double>& v) {
    return v ? Opt(static_cast<long long>(*v)) : no;
}

const AnswerRow kRows[] = {
    // --- Quectel ---
    {"Quectel EC25 captured: LTE serving cell, idle",
     "+QENG: \"servingcell\",\"NOCONN\",\"LTE\",\"FDD\",214,01,7676A09,188,6300,20,3,3,603,-104,-9,"
     "-78,11,23",
     {{true, L, 214, 1, 0x603, 0x7676A09, 188, 6300, -104, no}}},
    {"Quectel BG96 captured: CAT-M serving cell, empty last field",
     "+QENG: \"servingcell\",\"CONNECT\",\"CAT-M\",\"FDD\",262,03,2FAA03,187,6200,20,3,3,2AFB,-105,"
     "-11,-76,10,-",
     {{true, L, 262, 3, 0x2AFB, 0x2FAA03, 187, 6200, -105, no}}},
    {"Quectel EC25 captured: LTE neighbour on the same channel",
     "+QENG: \"neighbourcell intra\",\"LTE\",6300,188,-12,-105,-75,-20,23,4,12,10,62",
     {{false, L, no, no, no, no, 188, 6300, -105, no}}},
    {"Quectel EC25 captured: other LTE channel, nothing measured (\"-\")",
     "+QENG: \"neighbourcell inter\",\"LTE\",1501,-,-,-,-,-,-,0,10,7",
     {{false, L, no, no, no, no, no, 1501, no, no}}},
    {"Quectel EC25 captured: UMTS channel heard from LTE, no PSC",
     "+QENG: \"neighbourcell\",\"WCDMA\",3062,3,16,2,-,-,-,-",
     {{false, U, no, no, no, no, no, 3062, no, no}}},
    {"Quectel manual, captured: GSM serving idle, advance \"-\"",
     "+QENG: \"servingcell\",\"NOCONN\",\"GSM\",460,00,247C,1327,35,82,-,-52,255,255,0,53,179,1,-,"
     "-,-,-,-,-,-,-,-,\"-\"",
     {{true, G, 460, 0, 0x247C, 0x1327, no, 82, -52, no}}},
    {"Quectel manual, captured: GSM serving in a call, advance 0, no blank after the colon",
     "+QENG:\"servingcell\",\"CONNECT\",\"GSM\",460,00,550A,2BB9,23,94,0,-61,5,14,4,0,0,0,h,1,0,0,"
     "33,50,52,0,0,\"EFR\"",
     {{true, G, 460, 0, 0x550A, 0x2BB9, no, 94, -61, 0}}},
    {"Quectel captured: GSM neighbour with identity",
     "+QENG: \"neighbourcell\",\"GSM\",460,00,24A5,1241,33,33,-83,22,146,0,0",
     {{false, G, 460, 0, 0x24A5, 0x1241, no, 33, -83, no}}},
    {"Quectel layout: UMTS serving cell",
     "+QENG: \"servingcell\",\"NOCONN\",\"WCDMA\",262,02,9D3A,2F0B5A1,10588,212,1,-87,-5,-,-,-,-,-",
     {{true, U, 262, 2, 0x9D3A, 0x2F0B5A1, 212, 10588, -87, no}}},
    {"Quectel EC25 captured: searching, no cell", "+QENG: \"servingcell\",\"SEARCH\"", {}},
    // --- SIMCom ---
    {"SIMCom SIM800 captured: serving cell, TA 255 (none)",
     "+CENG: 0,\"0685,57,00,310,260,16,cf00,04,00,7d73,255\"",
     {{true, G, 310, 260, 0x7D73, 0xCF00, no, 685, -54, no}}},
    {"SIMCom SIM800 layout: serving cell with advance 3",
     "+CENG: 0,\"0027,43,00,262,07,31,4e21,43,00,c67c,3\"",
     {{true, G, 262, 7, 0xC67C, 0x4E21, no, 27, -68, 3}}},
    {"SIMCom SIM800 captured: serving level 64 is out of range",
     "+CENG: 0,\"0011,64,00,460,00,62,2b5b,10,05,58b2,255\"",
     {{true, G, 460, 0, 0x58B2, 0x2B5B, no, 11, no, no}}},
    {"SIMCom SIM800 captured: neighbour with CI",
     "+CENG: 1,\"0082,41,49,62e8,460,00,58b2\"",
     {{false, G, 460, 0, 0x58B2, 0x62E8, no, 82, -70, no}}},
    {"SIMCom SIM800 captured: neighbour with CI ffff (not decoded)",
     "+CENG: 5,\"0080,26,52,ffff,,,0000\"",
     {{false, G, no, no, no, no, no, 80, -85, no}}},
    {"SIMCom SIM800 captured: neighbour without CI, channel out of the GSM range",
     "+CENG: 1,\"1585,34,27,310,260,7d73\"",
     {{false, G, 310, 260, 0x7D73, no, no, no, -77, no}}},
    {"SIMCom SIM800 captured: an empty neighbour slot",
     "+CENG: 5,\"1662,41,00,,,0000\"",
     {{false, G, no, no, no, no, no, no, -70, no}}},
    {"SIMCom SIM800 captured: mode 3 serving cell",
     "+CENG: 0,\"208,01,1102,d63d,27,31\"",
     {{true, G, 208, 1, 0x1102, 0xD63D, no, no, -80, no}}},
    {"SIMCom SIM800 captured: mode 3 empty slot", "+CENG: 6,\"000,00,0,0,00,00\"", {}},
    {"SIMCom SIM800 captured: the mode line", "+CENG: 1,1", {}},
    {"SIMCom SIM7000 captured: LTE Cat-M1 serving cell, TAC and CI in decimal",
     "+CENG: 0,\"1550,339,-73,-47,-12,17,102,303617,284,05,255\"",
     {{true, L, 284, 5, 102, 303617, 339, 1550, -73, no}}},
    {"SIMCom SIM7000 captured: LTE neighbour",
     "+CENG: 1,\"1550,414,-88,-51,-20,17\"",
     {{false, L, no, no, no, no, 414, 1550, -88, no}}},
    // --- u-blox ---
    {"u-blox SARA-U260 captured: UMTS serving cell, RSCP 255 (none)",
     "+UCELLINFO: 1, 2, 310, 410, 7f05, 57b14e2, 395, 1032, 255, 255",
     {{true, U, 310, 410, 0x7F05, 0x57B14E2, 395, 1032, no, no}}},
    {"u-blox SARA-R5 layout: LTE serving cell with advance",
     "+UCELLINFO: 0,5,262,01,0079D903,120,1F00,45,20,1,12,1,0,0,0,0",
     {{true, L, 262, 1, 0x1F00, 0x79D903, 120, no, -96, 12}}},
    {"u-blox SARA-R5 layout: LTE neighbour, CI FFFFFFFF",
     "+UCELLINFO: 0,6,262,01,FFFFFFFF,121,1F00,38,15",
     {{false, L, 262, 1, 0x1F00, no, 121, no, -103, no}}},
    {"u-blox LEON-G1 layout: GSM serving cell with advance",
     "+UCELLINFO: 0,0,262,07,C67C,4E21,40,3",
     {{true, G, 262, 7, 0xC67C, 0x4E21, no, no, -71, 3}}},
    {"u-blox LEON-G1 layout: GSM neighbour, CI FFFF",
     "+UCELLINFO: 0,1,262,07,C67C,FFFF,30",
     {{false, G, 262, 7, 0xC67C, no, no, no, -81, no}}},
    // --- Siemens ---
    {"Siemens TC35i layout: serving, a neighbour, an undecoded cell \"0000\", empty slots",
     "^SMONC: 262,07,C67C,4E21,32,83,40,28,28,262,07,C67C,2A34,32,67,32,20,20,262,07,C67C,0000,32,"
     "60,22,10,10,000,000,0000,0000,00,0,0,-,-,000,000,0000,0000,00,0,0,-,-,000,000,0000,0000,00,0,"
     "0,-,-,000,000,0000,0000,00,0,0,-,-",
     {{true, G, 262, 7, 0xC67C, 0x4E21, no, 83, -71, no},
      {false, G, 262, 7, 0xC67C, 0x2A34, no, 67, -79, no},
      {false, G, no, no, no, no, no, 60, -89, no}}},
    {"Siemens S45i layout: the phone answers with fewer slots",
     "^SMONC: 262,07,C67C,4E21,32,83,40",
     {}},
};

TEST(CellObservation, AnswersOfEachFamily) {
    for (const AnswerRow& row : kRows) {
        SCOPED_TRACE(row.device);
        const auto reports = parseCellReports(row.line);
        ASSERT_EQ(reports.size(), row.reports.size());
        for (std::size_t i = 0; i < reports.size(); ++i) {
            SCOPED_TRACE(i);
            const Expected& e = row.reports[i];
            const ObservedCell& c = reports[i].cell;
            EXPECT_EQ(reports[i].serving, e.serving);
            EXPECT_EQ(c.radio, e.radio);
            EXPECT_EQ(asOpt(c.mcc), e.mcc);
            EXPECT_EQ(asOpt(c.mnc), e.mnc);
            EXPECT_EQ(asOpt(c.area), e.area);
            EXPECT_EQ(asOpt(c.cell), e.cell);
            EXPECT_EQ(asOpt(c.unit), e.unit);
            EXPECT_EQ(asOpt(c.channel), e.channel);
            EXPECT_EQ(asOpt(c.signalDbm), e.signal);
            EXPECT_EQ(asOpt(c.timingAdvance), e.ta);
        }
    }
}

TEST(CellObservation, CesqLevels) {
    struct Row {
        const char* label;
        const char* line;
        Opt dbm;
    } rows[] = {
        {"LTE: RSRP index 45", "+CESQ: 99,99,255,255,20,45", -96},
        {"UMTS: RSCP index 30", "+CESQ: 99,99,30,20,255,255", -91},
        {"GSM: RxLev 40", "+CESQ: 40,0,255,255,255,255", -71},
        {"nothing known", "+CESQ: 99,99,255,255,255,255", no},
        {"RSRP beyond 97", "+CESQ: 99,99,255,255,20,120", no},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        auto a = parseCesq(r.line);
        ASSERT_TRUE(a);
        EXPECT_EQ(asOpt(a->signalDbm()), r.dbm);
    }
    EXPECT_FALSE(parseCesq("+CESQ: 99,99"));
    EXPECT_FALSE(parseCesq("+CSQ: 20,99"));
}

TEST(CellObservation, ServingCellGathersRegistrationAndQuery) {
    Observation obs;
    auto reg = parseCreg("+CREG: 2,1,\"C67C\",\"4E21\"");
    ASSERT_TRUE(reg);
    auto serving = servingFromRegistration(*reg, "26207");
    ASSERT_TRUE(serving);
    addReports(obs, {{true, *serving}});
    addReports(obs, parseSmonc("^SMONC: 262,07,C67C,4E21,32,83,40,28,28,262,07,C67C,2A34,32,67,32,"
                               "20,20"));
    ASSERT_TRUE(obs.serving);
    EXPECT_EQ(obs.serving->cell, 0x4E21);
    EXPECT_EQ(obs.serving->signalDbm, -71);
    ASSERT_EQ(obs.neighbours.size(), 1u);
    // An advance of 3 GSM steps: the middle of 1660.5..2214 m.
    obs.serving->timingAdvance = 3;
    EXPECT_NEAR(*obs.serving->timingAdvanceMetres(), 1937.25, 0.01);
    EXPECT_FALSE(servingFromRegistration(*parseCreg("+CREG: 0,2"), "26207"));
}

TEST(CellObservation, FamilyFromManufacturer) {
    struct Row {
        const char* cgmi;
        DeviceFamily family;
        const char* firstTick;
    } rows[] = {
        {"SIEMENS", DeviceFamily::Siemens, "AT^SMONC"},
        {"Quectel", DeviceFamily::Quectel, "AT+QENG=\"servingcell\""},
        {"SIMCOM_Ltd", DeviceFamily::Simcom, "AT+CENG?"},
        {"u-blox", DeviceFamily::Ublox, "AT+UCELLINFO?"},
        {"Sierra Wireless, Incorporated", DeviceFamily::Generic, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.cgmi);
        EXPECT_EQ(deviceFamilyOf(r.cgmi), r.family);
        const auto cmds = familyTickCommands(r.family);
        if (r.firstTick) {
            ASSERT_FALSE(cmds.empty());
            EXPECT_EQ(cmds.front(), r.firstTick);
        } else {
            EXPECT_TRUE(cmds.empty());
        }
    }
    EXPECT_EQ(familySetupCommands(DeviceFamily::Simcom), std::vector<std::string>{"AT+CENG=1,1"});
}

}  // namespace
