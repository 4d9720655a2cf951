// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

// The cell database commands of funkor-tool.

inline constexpr std::string_view kCellDbFileName = "Funkor-cells.db";

inline constexpr const char* kCelldbUsage =
    "  funkor-tool celldb import FILE [--db DB] [--mcc 262,232,...] [--allow-empty]\n"
    "                                         build the cell database from an OpenCellID\n"
    "                                         CSV export (plain or .gz; - is standard input);\n"
    "                                         --allow-empty: also from a file without cells\n"
    "  funkor-tool celldb import --update FILE [--db DB] [--mcc 262,232,...]\n"
    "                                         merge a difference file of the same layout\n"
    "                                         into DB: each cell's newest row counts\n"
    "  funkor-tool celldb lookup RADIO MCC MNC AREA CELL [--db DB] [--measurements FILE]\n"
    "                                         lat, lon, range and unit of a cell (decimal ids),\n"
    "                                         imported or learned, whichever has more samples\n"
    "  funkor-tool celldb learn [--db DB] [--measurements FILE]\n"
    "                                         learn cell positions from the measurements\n"
    "                                         (FILE: Funkor-measurements.db beside DB)\n"
    "                                         DB: $FUNKOR_HOME/Funkor-cells.db, else\n"
    "                                         "
    "${XDG_DATA_HOME:-~/.local/share}/funkor/Funkor-cells.db\n";

// The database the commands use without --db.
std::string defaultCellDbPath();
// "celldb import ..." / "celldb lookup ..." / "celldb learn ...": `args`
// after "celldb".
int cmdCelldb(const std::vector<std::string>& args);
