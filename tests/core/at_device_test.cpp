// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_device.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

using namespace funkor;

struct CbcCase {
    const char* line;
    bool valid;
    bool onBattery;
    std::optional<int> charge;
    const char* tooltip;
};

TEST(Cbc, BatteryReadings) {
    const CbcCase cases[] = {
        {"+CBC: 0,80", true, true, 80, "Batterie: 80%"},      // S45i on battery
        {"+CBC: 1,100", true, false, 100, "Batterie: 100%"},  // S45i charging, full
        {"+CBC: 0,0", true, true, 0, "Batterie: 0%"},
        {"+CBC: 0,255", true, true, std::nullopt, ""},  // charge unknown: gauge unchanged
        {"+CBC: 2,40", true, false, 40, "Batterie: 40%"},
        {"+CBC: 0,-5", true, true, std::nullopt, ""},    // negative charge ignored
        {"+CBC: 1,abc", true, false, std::nullopt, ""},  // non-digits
        {"+CBC: 1", true, false, std::nullopt, ""},      // too short for a charge
        {"+CBC:", false, false, std::nullopt, ""},       // too short for a status
        {"+CBC: x,50", false, false, std::nullopt, ""},  // status not a digit
    };
    for (const auto& c : cases) {
        const auto r = parseCbc(c.line);
        ASSERT_EQ(r.has_value(), c.valid) << c.line;
        if (!r) continue;
        EXPECT_EQ(r->onBattery, c.onBattery) << c.line;
        EXPECT_EQ(r->charge, c.charge) << c.line;
        EXPECT_EQ(r->tooltip, c.tooltip) << c.line;
    }
}

TEST(Cbc, BaudOptionFollowsPortSettings) {
    EXPECT_EQ(baudOptionFromSettings("19200,n,8,1"), 0);
    EXPECT_EQ(baudOptionFromSettings("57600,n,8,1"), 1);
    EXPECT_EQ(baudOptionFromSettings("115200,n,8,1"), 2);
    EXPECT_EQ(baudOptionFromSettings("9600,n,8,1"), std::nullopt);
}

struct CsqCase {
    const char* line;
    bool valid;
    int rssi;
    int gauge;
    const char* tooltip;
};

TEST(Csq, SignalLevels) {
    const CsqCase cases[] = {
        {"+CSQ: 20,99", true, 20, 20, "Pegel: 67%"},
        {"+CSQ: 7,99", true, 7, 7, "Pegel: 28%"},          // one digit: comma at 8
        {"+CSQ: 99,99", true, 99, 0, "Pegel: unbekannt"},  // not detectable
        {"+CSQ: 32,99", true, 32, 0, "Pegel: unbekannt"},  // no such level
        {"+CSQ: 31,0", true, 31, 31, "Pegel: 100%"},
        {"+CSQ: 0,99", true, 0, 0, "Pegel: 7%"},
        {"+CSQ:", false, 0, 0, ""},
        {"+CSQ: ab,99", false, 0, 0, ""},
        {"+CSQ: -1,99", false, 0, 0, ""},
        {"+CSQ: ,99", false, 0, 0, ""},
    };
    for (const auto& c : cases) {
        const auto r = parseCsq(c.line);
        ASSERT_EQ(r.has_value(), c.valid) << c.line;
        if (!r) continue;
        EXPECT_EQ(r->rssi, c.rssi) << c.line;
        EXPECT_EQ(r->gaugeValue, c.gauge) << c.line;
        EXPECT_EQ(r->tooltip, c.tooltip) << c.line;
    }
}

TEST(Cpas, ReadyOnlyWhenLastDigitIsZero) {
    EXPECT_EQ(parseCpasReady("+CPAS: 0"), true);
    EXPECT_EQ(parseCpasReady("+CPAS: 3"), false);  // ringing
    EXPECT_EQ(parseCpasReady("+CPAS: 4"), false);  // call in progress
    EXPECT_EQ(parseCpasReady("+CPAS:"), std::nullopt);
    EXPECT_EQ(parseCpasReady("+CPAS: x"), std::nullopt);
}

TEST(Identity, ThreePlainLinesGiveMakerModelRevision) {
    DeviceIdentity id;
    id.manufacturerStep = 1;
    for (const char* line : {"A", "B", "C"}) EXPECT_TRUE(takeIdentityLine(id, line));
    EXPECT_EQ(id.infoCaption, "A\rB");
    EXPECT_EQ(id.infoTooltip, "SW:C");
    EXPECT_EQ(id.manufacturer, "A");
    EXPECT_EQ(id.model, "B");
    EXPECT_EQ(id.manufacturerStep, 4);
    EXPECT_FALSE(takeIdentityLine(id, "D"));  // nothing expected any more
    EXPECT_EQ(id.infoCaption, "A\rB");
}

TEST(Identity, SiemensDialogueFillsCaptionAndTooltip) {
    DeviceIdentity id;
    id.manufacturerStep = 1;
    const std::vector<std::string> first = {"AT+CGMI;+CGMM;+CGMR", "SIEMENS", "S45i", "21,02"};
    for (const auto& l : first) takeIdentityLine(id, l);
    id.identityStep = 1;
    const std::vector<std::string> second = {"AT+CGSN;+CIMI;^SCID", "350123451234560",
                                             "262071234567890"};
    for (const auto& l : second) takeIdentityLine(id, l);
    EXPECT_TRUE(takeScid(id, "^SCID: 89490200001234567890"));
    EXPECT_EQ(id.infoCaption, "SIEMENS\rS45i");
    EXPECT_EQ(id.infoTooltip,
              "SW:21 IMEI:350123451234560 IMSI:262071234567890 SIM:89490200001234567890");
    EXPECT_EQ(id.homeNetwork, "26207");
    EXPECT_EQ(id.identityStep, 3);
    EXPECT_FALSE(takeScid(id, "^SCID:"));  // no number: tooltip untouched
    // Sent again and again unasked: taken while it fits, then refused.
    int taken = 1;
    while (takeScid(id, "^SCID: 89490200001234567890")) ++taken;
    EXPECT_EQ(taken, 1 + (400 - 73) / 25);
    EXPECT_LE(id.infoTooltip.size(), 400u);
    EXPECT_GT(id.infoTooltip.size(), 400u - 25u);
    EXPECT_FALSE(takeIdentityLine(id, "+CME ERROR: 4"));
}

// Lines that come out of turn: a ring between the identity answers, and a
// slow device whose maker lines arrive after the identity was asked.
TEST(Identity, ImeiAndImsiAreKnownByTheirShape) {
    const struct {
        const char* legend;
        std::vector<std::string> lines;
        const char* tooltip;
        const char* home;
        const char* model;
    } cases[] = {
        {"ring between IMEI and IMSI",
         {"866758041234567", "RING", "310410123456789"},
         "SW:EC25 IMEI:866758041234567 IMSI:310410123456789",
         "310410",
         "EC25"},
        {"maker lines late",
         {"Quectel", "EC25", "EC25EFAR06A03M4G", "866758041234567", "262011234567890"},
         "SW:EC25EFAR06A03M4G IMEI:866758041234567 IMSI:262011234567890",
         "26201",
         "EC25"},
    };
    for (const auto& c : cases) {
        DeviceIdentity id;
        if (c.lines.size() == 3) {
            id.manufacturerStep = 4;
            id.model = "EC25";
            id.infoTooltip = "SW:EC25";
        } else {
            id.manufacturerStep = 1;
        }
        id.identityStep = 1;
        for (const auto& l : c.lines) takeIdentityLine(id, l);
        EXPECT_EQ(id.infoTooltip, c.tooltip) << c.legend;
        EXPECT_EQ(id.homeNetwork, c.home) << c.legend;
        EXPECT_EQ(id.model, c.model) << c.legend;
        EXPECT_EQ(id.identityStep, 3) << c.legend;
    }
}

TEST(Sim, ProblemsAndReadiness) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"+CME ERROR: 10", "keine SIM-Karte"},
        {"+CME ERROR: SIM not inserted", "keine SIM-Karte"},
        {"+CPIN: SIM PIN", "SIM-PIN erforderlich"},
        {"+CME ERROR: SIM PIN required", "SIM-PIN erforderlich"},
        {"+CME ERROR: 12", "SIM-PUK erforderlich"},
        {"+CME ERROR: 13", "SIM-Karte defekt"},
        {"+CPIN: READY", ""},
        {"+CME ERROR: 30", std::nullopt},
        {"+CPIN: PH-SIM PIN", std::nullopt},
        {"ERROR", std::nullopt},
    };
    for (const auto& [line, state] : cases) EXPECT_EQ(simStateOf(line), state) << line;
}

TEST(StarCode, AnswersAreCollectedUntilOk) {
    const std::string fiftyNine(59, 'x');
    const std::string sixty(60, 'x');
    const struct {
        std::string line;
        StarCodeAnswer::Kind kind;
        std::string append;
    } cases[] = {
        {"OK", StarCodeAnswer::Done, ""},
        {"Guthaben: 12,50 EUR", StarCodeAnswer::Text, "Guthaben: 12,50 EUR "},
        {"ATD*100#;", StarCodeAnswer::Ignored, ""},  // echo
        {"+CSQ: 17,99", StarCodeAnswer::Ignored, ""},
        {fiftyNine, StarCodeAnswer::Text, fiftyNine + " "},
        {sixty, StarCodeAnswer::Ignored, ""},
    };
    for (const auto& c : cases) {
        const auto a = starCodeAnswer(c.line);
        EXPECT_EQ(a.kind, c.kind) << c.line;
        EXPECT_EQ(a.append, c.append) << c.line;
    }
}

TEST(Ussd, QuotedAnswerText) {
    EXPECT_EQ(ussdQuotedText("\"Ihre Zelle: Bahnhof\",15"), "Ihre Zelle: Bahnhof");
    EXPECT_EQ(ussdQuotedText("\"offenes Ende"), "offenes Ende");
    EXPECT_EQ(ussdQuotedText("\"\""), "");
    EXPECT_EQ(ussdQuotedText("+CUSD: 0"), std::nullopt);
}

TEST(Clip, CallerNumbers) {
    const struct {
        const char* line;
        std::optional<std::string> number;
    } cases[] = {
        {"+CLIP: \"+491711234567\",145", "+491711234567"},  // S45i, international
        {"+CLIP: \"01711234567\",129,,,\"Anna\"", "01711234567"},
        {"+CLIP: \"\",128", ""},              // withheld number
        {"+CLIP: 01711234,129", "01711234"},  // without quotes
        {"+CLIP: \"0171", "0171"},            // missing closing quote
        {"+CLIP: 0171", "0171"},              // missing comma
        {"+CLIP:", std::nullopt},
        {"+CLIP:,,", std::nullopt},
    };
    for (const auto& c : cases) {
        const auto r = parseClip(c.line);
        ASSERT_EQ(r.has_value(), c.number.has_value()) << c.line;
        if (r) {
            EXPECT_EQ(r->number, *c.number) << c.line;
        }
    }
}

TEST(Clip, CaptionsOfTheCallLabel) {
    EXPECT_EQ(ringCaption("09:41:07"), "09:41  Anruf !");
    EXPECT_EQ(callerCaption("14:05:33", "+491711234567", "Anna"), "14:05  +491711234567\rAnna");
    EXPECT_EQ(callerCaption("14:05:33", "0301234", ""), "14:05  0301234");
    EXPECT_EQ(callerCaption("14:05:33", "", ""), "14:05  ");
}

TEST(Iccid, CardNumbersOfOtherMakers) {
    const struct {
        const char* line;
        std::optional<std::string> number;
    } cases[] = {
        {"89492071234567890123", "89492071234567890123"},             // SIM800
        {"+ICCID: 89490200001234567890", "89490200001234567890"},     // SIM7600, Telit
        {"+CCID: \"8949020000123456789F\"", "8949020000123456789F"},  // u-blox, filler F
        {"+CCID:894902000012345678", "894902000012345678"},           // 18 digits
        {"+CCID: 8949F20000123456789", std::nullopt},                 // F inside
        {"12345", std::nullopt},
        {"+ICCID:", std::nullopt},
        {"^SCID: 89492071234567890123", std::nullopt},  // the Siemens answer has its own reader
    };
    for (const auto& c : cases) EXPECT_EQ(parseIccid(c.line), c.number) << c.line;
}
