// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace funkor {

// The window's title in its normal state: eight blanks, "Funkor   V", the
// major version, ".", the minor version and the revision, each without
// leading zeros ("3.2.3" gives "...V3.23"). Parts missing from `version`
// count as 0.
std::string programTitle(std::string_view version);

// What the phone-state report is made of: the texts the main window shows in
// its labels' captions and tooltips (8-bit text, one byte per character).
struct StateReportInputs {
    std::string dateTime;        // "08.12.26  14:03:55"
    std::string infoTooltip;     // "SW:... IMEI:... IMSI:... SIM:..."
    std::string batteryTooltip;  // tooltip of the battery gauge
    std::string levelTooltip;    // tooltip of the signal gauge
    std::string networkTooltip;  // "CC=262 NC=07 LAC=... LA=... BS=... SK=..."
    std::string zoneCaption;     // "" while no zone is known
    std::string positionTooltip;
    std::string zoneTooltip;  // "Region/City-Zone (r=12km)"
    std::string homeTooltip;  // "Entfernung Home (r=1500m)"
};

// The report, one entry per line of the list. The first entry is the date
// and time, the second a single blank (the list selects the first one).
//
// A line cut at a marker ("IMEI:", "IMSI:", "SIM:", "LA=") that its text
// lacks, or whose cut would end before it begins, is left out; the other
// lines still come. The zone block (an empty line, the position, the radii
// of city and home zone) is added only while a zone is known.
std::vector<std::string> stateReportLines(const StateReportInputs& in);

}  // namespace funkor
