// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/state_report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using funkor::StateReportInputs;
using funkor::stateReportLines;
using Lines = std::vector<std::string>;

// The window's texts as a Siemens S45i on O2 Germany leaves them, with the
// home and city zone of the SIM known.
StateReportInputs s45iOnO2() {
    StateReportInputs in;
    in.dateTime = "08.12.26  14:03:55";
    in.infoTooltip = "SW:21 IMEI:350123456789012 IMSI:262071234567890 SIM:89490200001234567890";
    in.batteryTooltip = "Batterie:80%";
    in.levelTooltip = "Pegel:70%";
    in.networkTooltip = "CC=262 NC=07 LAC=5339 CI=04B3 LA=213-37 BS=1203 SK=A";
    in.zoneCaption = "City-Zone";
    in.positionTooltip = "52°31.123'N 13°24.456'E (±0,5 km)";
    in.zoneTooltip = "Region/City-Zone (r=12km)";
    in.homeTooltip = "Entfernung Home (r=1500m)";
    return in;
}

const Lines kFullReport = {
    "08.12.26  14:03:55",
    " ",
    "SW:21",
    "IMEI:350123456789012",
    "IMSI:262071234567890",
    "SIM:89490200001234567890",
    "",
    "Batterie:80%",
    "Pegel:70%",
    "",
    "CC=262 NC=07 LAC=5339 CI=04B3 ",
    "LA=213-37 BS=1203 SK=A",
    "",
    "52°31.123'N 13°24.4",  // first 19 bytes; "°" is one byte in the window's 8-bit text
    "Radius Cizy-Zone: 12 km",
    "Radius Home-Zone: 1500 m",
};

TEST(StateReport, ListsEveryItemOfAKnownPhoneInOrder) {
    StateReportInputs in = s45iOnO2();
    in.positionTooltip =
        "52\xB0"
        "31.123'N 13\xB0"
        "24.456'E";
    Lines expected = kFullReport;
    expected[13] =
        "52\xB0"
        "31.123'N 13\xB0"
        "24.4";
    EXPECT_EQ(stateReportLines(in), expected);
}

TEST(StateReport, NoZoneMeansNoZoneLines) {
    StateReportInputs in = s45iOnO2();
    in.zoneCaption.clear();
    const Lines lines = stateReportLines(in);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines.back(), "LA=213-37 BS=1203 SK=A");
}

// An item whose marker is missing (or stands in the wrong place) is left
// out; the others still come, in their order.
TEST(StateReport, ItemsWithoutTheirMarkerAreLeftOut) {
    struct Case {
        const char* legend;
        const char* info;
        const char* network;
        Lines identityAndNetwork;  // the report without date, gauges, zone
    };
    const Case cases[] = {
        {"phone not identified yet", "Hersteller+Modell", "kein Netz", {}},
        {"no SIM number yet",
         "SW:21 IMEI:350123456789012 IMSI:262071234567890",
         "CC=262 NC=07 LAC=5339 CI=04B3 LA=213-37 BS=1203 SK=A",
         {"SW:21", "IMEI:350123456789012", "CC=262 NC=07 LAC=5339 CI=04B3 ",
          "LA=213-37 BS=1203 SK=A"}},
        {"SIM number without IMSI",
         "SW:21 IMEI:350123456789012 SIM:8949",
         "",
         {"SW:21", "SIM:8949"}},
        {"IMEI at the very start cannot lose a separator",
         "IMEI:3501 IMSI:2620 SIM:89",
         "LA=213-37",
         {"IMEI:3501", "IMSI:2620", "SIM:89", "", "LA=213-37"}},
        {"IMSI before IMEI",
         "SW:1 IMSI:2620 IMEI:3501 SIM:89",
         "",
         {"SW:1 IMSI:2620", "IMSI:2620 IMEI:3501", "SIM:89"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        StateReportInputs in = s45iOnO2();
        in.infoTooltip = c.info;
        in.networkTooltip = c.network;
        in.zoneCaption.clear();
        Lines lines = stateReportLines(in);
        // Take out the fixed items: date, blank, and the gauge block.
        ASSERT_GE(lines.size(), 6u);
        EXPECT_EQ(lines[0], in.dateTime);
        EXPECT_EQ(lines[1], " ");
        Lines rest(lines.begin() + 2, lines.end());
        const Lines gauges = {"", "Batterie:80%", "Pegel:70%", ""};
        auto at = std::search(rest.begin(), rest.end(), gauges.begin(), gauges.end());
        ASSERT_NE(at, rest.end());
        rest.erase(at, at + 4);
        EXPECT_EQ(rest, c.identityAndNetwork);
    }
}

TEST(StateReport, ZoneRadiiAreCutFromTheirTooltips) {
    struct Case {
        const char* zone;
        const char* home;
        Lines radii;
    };
    const Case cases[] = {
        {"Region/City-Zone (r=12km)",
         "Entfernung Home (r=1500m)",
         {"Radius Cizy-Zone: 12 km", "Radius Home-Zone: 1500 m"}},
        // One or three digits come out whole, not as "5k" or "12".
        {"Region/City-Zone (r=5km)",
         "Entfernung Home (r=800m)",
         {"Radius Cizy-Zone: 5 km", "Radius Home-Zone: 800 m"}},
        {"Region/City-Zone (r=120km)",
         "Entfernung Home (r=12000m)",
         {"Radius Cizy-Zone: 120 km", "Radius Home-Zone: 12000 m"}},
        // No radius known: nothing to cut from the zone tooltip; a home
        // tooltip shorter than its fixed head gives no line at all.
        {"City-Zone", "Home", {"Radius Cizy-Zone:  km"}},
        {"Region/City-Zone",
         "Entfernung Home (r=m)",
         {"Radius Cizy-Zone:  km", "Radius Home-Zone:  m"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zone);
        StateReportInputs in = s45iOnO2();
        in.zoneTooltip = c.zone;
        in.homeTooltip = c.home;
        const Lines lines = stateReportLines(in);
        ASSERT_GE(lines.size(), 14u);
        EXPECT_EQ(Lines(lines.begin() + 14, lines.end()), c.radii);
    }
}

}  // namespace

namespace {

TEST(ProgramTitle, VersionPartsWithoutLeadingZeros) {
    struct Case {
        const char* version;
        const char* title;
    };
    const Case cases[] = {
        {"3.2.3", "        Funkor   V3.23"},    {"0.1.0", "        Funkor   V0.10"},
        {"1.02.007", "        Funkor   V1.27"}, {"2.10.15", "        Funkor   V2.1015"},
        {"4", "        Funkor   V4.00"},        {"", "        Funkor   V0.00"},
    };
    for (const auto& c : cases) EXPECT_EQ(funkor::programTitle(c.version), c.title) << c.version;
}

}  // namespace
