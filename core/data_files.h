// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <string>
#include <vector>

// The text files shipped beside the program and read once at start: the
// country-code table and the region circles. Both are 8-bit text with one
// record per line; LF and CRLF line ends are read alike.
namespace funkor {

// One line of the country-code file per mobile country code, stored at the
// code's numeric value; empty where the file has no line.
using CountryTable = std::array<std::string, 801>;

// Fills `table` from the country-code file. The numeric value of a line's
// first three characters (leading digits) is its index. A line shorter than
// three characters or with a code outside 0..800 is skipped; a later line with
// the same code replaces an earlier one. False when the file cannot be opened
// (the table is then left empty).
bool readCountryTable(const std::string& path, CountryTable& table);

// The region file's lines in file order, stored from index 1; index 0 stays
// empty. At most 300 lines are kept.
struct O2Lines {
    std::array<std::string, 301> lines;
    int count = 0;
};

// Fills `out` from the region file; false when the file cannot be opened
// (count stays 0).
bool readO2Lines(const std::string& path, O2Lines& out);

// All lines of a text file without their line ends; empty when the file is
// missing.
std::vector<std::string> readLines(const std::string& path);

}  // namespace funkor
