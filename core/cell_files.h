// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The user's names for cells and antenna sites, kept in two plain text files
// beside the program, one record per line, appended and never rewritten:
//
//   "Funkor.clf"  cell names:  characters 1-13 the cell key (CI, LAC, operator
//                 code), 14 a blank, 15 on the name.   "4E21C67C26207 Bahnhof"
//                 A long cell identity (UMTS, LTE) has a 17-character key
//                 (CI in 8 hex digits), then the blank and the name.
//                                              "0079D9031F0026201 Rathaus"
//   "Funkor.txt"  site names:  1-6 easting, 7 a blank, 8-13 northing (10 m
//                 units), 14 a blank, 15 on the name.  "451818 582197 Tower"
//
// Lookups read from the first line and take the first match; comparisons are
// exact. A missing file has no lines and so never matches.
namespace funkor {

inline constexpr const char* kCellNameFile = "Funkor.clf";
inline constexpr const char* kSiteNameFile = "Funkor.txt";

// Caption for the cell: " " + name of the first line whose key (the text up
// to the first blank) is `cellKey`. A line holding only the key and a blank
// gives " ".
std::optional<std::string> findCellName(const std::vector<std::string>& lines,
                                        std::string_view cellKey);
std::optional<std::string> findCellNameInFile(const std::string& path, std::string_view cellKey);

// Caption for the site: the line from character 14 on (a blank, the name) of
// the first line whose characters 1-6 and 8-13 together are `positionKey`.
std::optional<std::string> findSiteName(const std::vector<std::string>& lines,
                                        std::string_view positionKey);
std::optional<std::string> findSiteNameInFile(const std::string& path,
                                              std::string_view positionKey);

// The record lines to append. Line breaks in a name would split the record,
// so they become blanks.
std::string cellNameLine(std::string_view cellKey, std::string_view name);
std::string siteNameLine(std::string_view positionKey, std::string_view name);

// Appends `line` with CR LF, creating the file when needed, whole or not at
// all; 0, or the errno when the file cannot be written. A file edited by
// hand may lack the line end of its last record: it gets one first, so that
// the new record does not run into that record and both stay readable.
int appendRecord(const std::string& path, std::string_view line);

// Which file a mouse press on the unnamed cell label names.
struct NamingChoice {
    enum File { None, CellFile, SiteFile } file = None;
    // The wish could not be met as asked: a site without a known position
    // (off O2, or before the first broadcast) gets the cell named instead,
    // and without a known cell nothing is named.
    bool beep = false;
};
// `leftButton` names the site (only on "26207", where the network broadcasts
// the site's position), any other button the cell; a label that already has
// a caption is not renamed. A record is only written under a key that a
// lookup can find again: a 12-digit position key, a 13- or 17-character
// cell key.
NamingChoice chooseNamingFile(bool leftButton, std::string_view operatorCode,
                              std::string_view cellCaption, std::string_view cellKey,
                              std::string_view positionKey);

}  // namespace funkor
