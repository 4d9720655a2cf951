// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

// The position log "Funkor.log": the cell positions met on a drive, kept so
// that the sites passed can be named afterwards. Entries of three lines, in
// time order, each line ending in CR LF:
//
//   $GPTXT,<cell key 13>,<position key 12>,<name>   characters 8-20 the cell
//                                                   key, 22-33 the position
//   $GPRMC,...*hh                                   the position's sentences
//   $GPGGA,...*hh                                   as sent on the output
//
// A long cell key (17 characters, for UMTS and LTE cells) takes
// characters 8-24, and the fields behind it move by four.
// The header is no NMEA sentence (no checksum). Readers take a line that
// begins with "$GPTXT" as a header and the next two lines as its sentences.
namespace funkor {

inline constexpr const char* kPositionLogFile = "Funkor.log";
// The position field of an entry whose position came from the cell
// database: it has no grid position, and the merge has no site to name.
inline constexpr std::string_view kNoGridKey = "------------";

// The three lines of one entry as one text, so that they go to the file in
// a single write: header with the name trimmed of blanks, then `rmc` and
// `gga` as they are (they carry their own CR LF).
std::string positionLogEntry(std::string_view cellKey, std::string_view positionKey,
                             std::string_view cellName, std::string_view rmc, std::string_view gga);

// The lines of a text whose lines end in CR LF, LF or CR alone; a last line
// without a line end counts as well.
std::vector<std::string> splitLines(std::string_view text);

// True when a line of the log holds `cellKey` at characters 8-20, as the
// header of an entry for that cell does.
bool logHoldsCell(std::string_view logText, std::string_view cellKey);

struct LoggedPosition {
    std::string header;
    std::string cellKey;  // characters 8-20 of the header
    std::string siteKey;  // "eeeeee nnnnnn": characters 22-27, " ", 28-33
    std::string name;     // from character 35
    std::string rmc;      // without line end; "" when the log ends early
    std::string gga;
    bool siteKeyValid = false;  // the position is 12 digits
};

// The entries of a log in file order. Lines before a header that are no
// header are passed over. A sentence line missing at the end of the log is
// empty, and a header that follows its header too early starts an entry of
// its own instead of being taken as a sentence.
std::vector<LoggedPosition> readPositionLog(std::string_view logText);

// True when `key` (13 or 17 characters) starts one of `lines`.
bool anyLineStartsWith(const std::vector<std::string>& lines, std::string_view key);

}  // namespace funkor
