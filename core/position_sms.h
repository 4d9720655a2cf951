// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/nmea.h"

// Positions exchanged by SMS between copies of this program.
//
// Position SMS, 17 characters: "$", latitude ddmm (4), thousandths of the
// latitude minute (3), ",", longitude dddmm (5), thousandths of the
// longitude minute (3). Example: "$4807123,01134567" is 48° 07.123' N,
// 11° 34.567' E. The request for the other side's position is the text
// "$SendPosition!" exactly.
namespace funkor {

inline constexpr std::string_view kPositionRequestText = "$SendPosition!";

// Position SMS from the RMC sentence this program builds for a cell
// position (latitude at characters 17-25, longitude at 29-38); the fourth
// decimal of the minutes is cut off. "" when the sentence does not have
// that layout.
std::string positionSmsFromCellRmc(std::string_view rmc);

// Position SMS from a GPS receiver's RMC sentence: its latitude and
// longitude fields (ddmm.m..., dddmm.m...) with three decimals of the minute
// (cut, or filled with zeros). "" when the receiver reports no valid fix
// (status "V"), a field is empty or malformed, the position is south or
// west (the text has no room for a sign) or not on earth (latitude above
// 90°, longitude above 180°).
std::string positionSmsFromGpsRmc(std::string_view rmc);

// The text to send as own position: from the GPS receiver's sentence when
// it gives one, otherwise from the cell sentence. `source` names it ("GPS",
// "GSM"); both empty when neither gives a position.
// A position that exists but that the text cannot carry (south of the
// equator or west of Greenwich) is not sent: `refusal` then gives the
// reason for the user, and `text` stays empty.
struct OutgoingPosition {
    std::string text;
    std::string source;
    std::string refusal;
};
inline constexpr std::string_view kPositionSmsNorthEastOnly =
    "SMS: Position nicht gesendet - die Positions-SMS kennt nur Nord und Ost.";
OutgoingPosition buildPositionSms(std::string_view gpsRmc, std::string_view cellRmc);

// A received position SMS turned into an NMEA pair and map coordinates.
struct ReceivedPosition {
    SentencePair sentences;  // RMC and GGA with the SMS's time stamp, "$"..CR LF
    double latitude = 0;     // degrees
    double longitude = 0;
    std::string coordinates;  // "lat,lon" with "." decimals, for the map address
};

// Reads `text` (a message starting with "$" that is not the request) with
// the service centre time stamp "DD.MM.YY hh:mm:ss" of its SMS. The fields
// are carried into the sentences as they stand: lat = characters 2-5 "."
// 6-8, lon = 10-14 "." 15-17; time and date come from the time stamp
// unchanged. Map degrees are deg + min/60 + thousandths/60000, each part
// read leniently. Nothing for a text shorter than 17 characters, or whose
// field characters, or the time stamp's characters taken, are not printable
// or would break an NMEA sentence ("$", "*", ",", "!", "\", "^", "~"),
// nor for a place not on earth (latitude above 90°, longitude above 180°, a
// minutes part of 60 or more).
std::optional<ReceivedPosition> readPositionSms(std::string_view text, std::string_view timeStamp);

}  // namespace funkor
