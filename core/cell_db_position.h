// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <string>
#include <string_view>

#include "core/cell_database.h"
#include "core/nmea.h"
#include "core/position_estimate.h"

// A serving cell's position taken from the offline cell database, as the
// window shows it and hands it on: the caption of PosL (any hemisphere),
// its tool tip naming the origin and the accuracy, the estimated sentence
// pair and the map address with the cell's radius.
namespace funkor {

struct DbPositionInput {
    CellDbPosition cell;
    std::string_view cellKey;  // the window's key of the serving cell
    CivilTime localTime;
    std::chrono::minutes utcOffset{0};  // local time minus UTC
    std::string_view mapBase;
    char decimalSeparator = '.';
};

struct DbPositionResult {
    std::string hhmm;
    std::string caption;  // "hh:mm  33° 52' 7\" S  151° 12' 33\" O"
    std::string toolTip;  // "Zellen-Datenbank, Reichweite 1,2 km  -33,8687° 151,2093°"
    SentencePair sentences;
    std::string mapAddress;
};

DbPositionResult computeDbPosition(const DbPositionInput& in);

// An estimate from the cells heard, shown and handed on as a database
// position is: the caption, the tool tip with the cells used and the 68 %
// radius ("Zellen-Datenbank, 5 Zellen, ± 240 m  52,52000° 13,40500°"), the
// pair with the tick's time and an HDOP from the 95 % radius, the GST
// sentence and the map address with the 68 % circle.
struct EstimatedPositionInput {
    PositionEstimate estimate;
    std::string_view cellKey;
    CivilTime localTime;
    std::chrono::minutes utcOffset{0};
    std::string_view mapBase;
    char decimalSeparator = '.';
};
struct EstimatedPositionResult {
    DbPositionResult position;
    std::string gst;  // "$GPGST,..." CR LF
};
EstimatedPositionResult computeEstimatedPosition(const EstimatedPositionInput& in);

// "Reichweite 800 m", "Reichweite 1,2 km" (one decimal, the user's
// separator), "Reichweite unbekannt" for 0.
std::string rangeText(int metres, char decimalSeparator);
// The trace line for a serving cell the database does not know:
// "Zelle GSM 262-07 LAC 6699 CI 3133 nicht in der Zellen-Datenbank".
std::string unknownCellTrace(const CellDbKey& key);
// Label of the database position on the map: "DB-" + CI and LAC (first 8
// characters of the cell key) + " " + hh:mm.
std::string dbMapLabel(std::string_view cellKey, std::string_view hhmm);

}  // namespace funkor
