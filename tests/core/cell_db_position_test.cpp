// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A database position as the window shows it, and the output cycle's
// network gate with and without a database.
#include "core/cell_db_position.h"

#include <gtest/gtest.h>

#include <string>

#include "core/position_output.h"

using namespace funkor;

TEST(CellDbPosition, CaptionToolTipSentencesAndMapInEveryHemisphere) {
    const struct {
        const char* legend;
        double lat, lon;
        int range;
        const char *caption, *toolTip, *mapTail;
    } rows[] = {
        {"Sydney: south, east", -33.8687, 151.2093, 1200,
         "09:20  33\xB0 52' 7\" S  151\xB0 12' 33\" O",
         "Zellen-Datenbank, Reichweite 1,2 km  -33,8687\xB0 151,2093\xB0",
         "/map.aspx?L=EUR&C=-33.8687,151.2093&A=2&R=1200&P=|-33.8687,151.2093|1|"
         "DB-0C3D1A2B 09:20|L1|"},
        {"Portland (sample row): north, west", 45.465898, -122.578852, 7695,
         "09:20  45\xB0 27' 57\" N  122\xB0 34' 43\" W",
         "Zellen-Datenbank, Reichweite 7,7 km  45,4659\xB0 -122,57885\xB0",
         "/map.aspx?L=EUR&C=45.465898,-122.578852&A=2&R=7695&P=|45.465898,-122.578852|1|"
         "DB-0C3D1A2B 09:20|L1|"},
        {"range unknown: the map draws the 5 km the sentences assume", 48.1, 11.5, 0,
         "09:20  48\xB0 6' 0\" N  11\xB0 30' 0\" O",
         "Zellen-Datenbank, Reichweite unbekannt  48,1\xB0 11,5\xB0",
         "/map.aspx?L=EUR&C=48.1,11.5&A=2&R=5000&P=|48.1,11.5|1|DB-0C3D1A2B 09:20|L1|"},
    };
    for (const auto& r : rows) {
        DbPositionInput in;
        in.cell.latitude = r.lat;
        in.cell.longitude = r.lon;
        in.cell.range = r.range;
        in.cellKey = "0C3D1A2B20801";
        in.localTime = {2026, 12, 2, 9, 20, 5};
        in.utcOffset = std::chrono::hours(1);
        in.mapBase = "http://127.0.0.1:8787";
        in.decimalSeparator = ',';
        const DbPositionResult p = computeDbPosition(in);
        EXPECT_EQ(p.caption, r.caption) << r.legend;
        EXPECT_EQ(p.toolTip, r.toolTip) << r.legend;
        EXPECT_EQ(p.mapAddress, std::string("http://127.0.0.1:8787") + r.mapTail) << r.legend;
        const SentencePair s = buildEstimatedSentences(r.lat, r.lon, r.range, in.localTime, 1);
        EXPECT_EQ(p.sentences.rmc, s.rmc) << r.legend;
        EXPECT_EQ(p.sentences.gga, s.gga) << r.legend;
    }
}

TEST(CellDbPosition, RangeTexts) {
    const struct {
        int metres;
        char sep;
        const char* text;
    } rows[] = {
        {0, ',', "Reichweite unbekannt"}, {800, ',', "Reichweite 800 m"},
        {999, '.', "Reichweite 999 m"},   {1200, ',', "Reichweite 1,2 km"},
        {1250, ',', "Reichweite 1,3 km"}, {64258, '.', "Reichweite 64.3 km"},
    };
    for (const auto& r : rows) EXPECT_EQ(rangeText(r.metres, r.sep), r.text) << r.metres;
    EXPECT_EQ(unknownCellTrace({"GSM", 208, 1, 1795, 33037}),
              "Zelle GSM 208-01 LAC 1795 CI 33037 nicht in der Zellen-Datenbank");
}

TEST(CellDbPosition, OutputGateOnOtherNetworksOnlyWithADatabase) {
    const struct {
        const char* op;
        bool db;
        OutputTickGate gate;
    } rows[] = {
        {"26207", false, OutputTickGate::Send},
        {"20801", false, OutputTickGate::LeaveOutput},
        {"", false, OutputTickGate::LeaveOutput},
        {"26207", true, OutputTickGate::Send},
        {"20801", true, OutputTickGate::Send},
        {"", true, OutputTickGate::LeaveOutput},  // not registered
    };
    for (const auto& r : rows) {
        OutputTickState s;
        s.outputIndex = 20;
        s.phonePort = "COM 1";
        s.operatorCode = r.op;
        s.cellDatabase = r.db;
        EXPECT_EQ(gateOutputTick(s), r.gate) << r.op << " db=" << r.db;
    }
}
