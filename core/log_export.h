// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/cell_database.h"

// The position log as waypoints for map programs: GPX 1.1 and KML 2.2.
namespace funkor {

struct LogWaypoint {
    double latitude = 0;      // degrees, south negative
    double longitude = 0;     // degrees, west negative
    std::string time;         // "2026-12-02T08:20:05Z" from the RMC, or "" without one
    std::string name;         // UTF-8: the header's name, else the cell key
    std::string description;  // UTF-8: cell key and grid position
};

struct LogWaypoints {
    std::vector<LogWaypoint> points;
    int skipped = 0;  // entries whose RMC sentence holds no readable position
};

// One waypoint per log entry, in log order. The position is read from the
// RMC sentence in full precision:
//   $GPRMC,hhmmss,A,ddmm.mmmm,N,dddmm.mmmm,E,,,ddmmyy,0,E*hh
// An entry whose RMC has no position (cut off, garbled) is counted as
// skipped.
LogWaypoints readLogWaypoints(std::string_view logText);

// A GPX 1.1 document with one <wpt> per waypoint (time, name, desc).
std::string writeGpx(const std::vector<LogWaypoint>& points);
// A KML 2.2 document named `title` (8-bit text) with one Placemark per
// waypoint.
std::string writeKml(const std::vector<LogWaypoint>& points, std::string_view title);

// The logged cells in the cell database's CSV layout, for contributing
// measured sites to an open cell database or importing them into one's own:
// one row per cell, with the position of its newest (last) entry. A
// broadcast position is the site itself, so `changeable` is 0; the range
// is left empty (unknown); `samples` counts the cell's entries, `created`
// and `updated` are the times of its first and last entry. The radio is
// GSM: broadcast positions come from GSM cells. Entries not exported:
// positions that came from a cell database themselves (GGA fix quality 6),
// which would only return the database's guess; the home zone's centre
// shown in home display (name "Home"), which is not the cell's position;
// and entries without a readable cell key or position (`skipped`).
struct LogCells {
    std::vector<CellDbRow> rows;  // in the order the cells first appear
    int skipped = 0;
    int estimated = 0;  // database positions left out
    int home = 0;       // home-centre entries left out
};
LogCells readLogCells(std::string_view logText);
// The header line and one line per row, LF line ends.
std::string writeCellCsv(const std::vector<CellDbRow>& rows);

}  // namespace funkor
