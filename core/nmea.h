// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <string>
#include <string_view>

// NMEA 0183 sentences handed to other programs: the RMC/GGA pair of a
// position and the proprietary sentences that name the position's source.
// Numbers are always written with "." whatever the user's number format.
namespace funkor {

// A calendar date and time of day (no time zone attached).
struct CivilTime {
    int year = 2000;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// `t` moved by `minutes` (or `hours`) as a whole date-time (days, months and
// years roll).
CivilTime addMinutes(const CivilTime& t, std::chrono::minutes minutes);
CivilTime addHours(const CivilTime& t, int hours);
// "hhmmss" and "ddmmyy" (two digits each, yy the last two of the year).
std::string nmeaTime(const CivilTime& t);
std::string nmeaDate(const CivilTime& t);

// Exclusive-or of every character of `body` (the text between "$" and
// "*") as two upper-case hex digits: "PHSMID,GSM" -> "7E", 10 -> "0A".
std::string nmeaChecksum(std::string_view body);
// "$" body "*" checksum CR LF.
std::string nmeaSentence(std::string_view body);

// A value in degrees split into whole degrees and minutes rounded to four
// decimals (in units of 1/10000 minute, 0..599999); a rounding that reaches
// 60 minutes carries into the degrees. 48.3 -> 48 and 180000.
struct DegreesMinutes {
    int degrees = 0;
    long minutes10k = 0;
};
DegreesMinutes splitDegreesMinutes(double degrees);
// "mm.mmmm" of a minutes value in 1/10000 minute: 52500 -> "05.2500".
std::string nmeaMinutesText(long minutes10k);

// Latitude "ddmm.mmmm" and longitude "dddmm.mmmm" fields: 48.5 -> 4830.0000,
// 9.5 -> 00930.0000, 13.4522282 -> 01327.1337. No sign: the fields hold
// north and east positions; a value below 0 (or not a number) is written as
// 0, one above 90 / 180 as 90 / 180, so the fields keep their fixed width.
std::string nmeaLatitude(double degrees);
std::string nmeaLongitude(double degrees);

// Bodies of the position pair from ready field texts:
//   GPRMC,hhmmss,A,<lat>,N,<lon>,E,,,ddmmyy,0,E
//   GPGGA,hhmmss,<lat>,N,<lon>,E,1,12,,,M,,M,,,
std::string rmcBody(std::string_view hhmmss, std::string_view lat, std::string_view lon,
                    std::string_view ddmmyy);
std::string ggaBody(std::string_view hhmmss, std::string_view lat, std::string_view lon);

// A position as the complete sentences (each with "$", checksum, CR LF).
struct SentencePair {
    std::string rmc;
    std::string gga;
};
// The pair of a computed position: time and date are `localTime` minus
// `utcOffset` (India: 5 h 30 min), or minus whole `utcOffsetHours`. In the
// RMC sentence the time stands at characters 8-13, the latitude at 17-25,
// the longitude at 29-38 and the date at 44-49.
SentencePair buildPositionSentences(double latitude, double longitude, const CivilTime& localTime,
                                    std::chrono::minutes utcOffset);
SentencePair buildPositionSentences(double latitude, double longitude, const CivilTime& localTime,
                                    int utcOffsetHours);

// A position estimated from a cell database, not measured: the cell's
// recorded site or centre, good to about its coverage radius `rangeMetres`.
// Its sentences say so, so that no reader takes it for a satellite fix:
//   GPRMC,hhmmss,A,<lat>,N|S,<lon>,E|W,,,ddmmyy,0,E,E    (mode "E", estimated)
//   GPGGA,hhmmss,<lat>,N|S,<lon>,E|W,6,03,<hdop>,,M,,M,,  (quality 6, estimated)
// The fields keep the widths and character positions of the pair above,
// with the hemisphere letters at 27 and 40 of the RMC sentence.
//
// HDOP: readers turn it into an error radius by a factor of about 19 m
// (gpsd: eph = HDOP x 19 m), so the HDOP is the range divided by 19, one
// decimal, at least 1.0; a cell whose range is unknown counts as
// `kUnknownCellRange`.
//
// Satellites: "03". No satellite is involved, but gpsd drops the position of
// a GGA naming fewer than three (an empty field as well), and would then
// report every second fix without a position; the fix quality and the RMC
// mode carry the truth.
inline constexpr double kUnknownCellRange = 5000;
inline constexpr std::string_view kEstimatedSatellites = "03";
std::string estimatedHdop(double rangeMetres);
// Latitude and longitude of any place on earth: the magnitudes in the
// widths above and the hemisphere letter ("N"/"S", "E"/"W").
struct HemisphereField {
    std::string value;
    char hemisphere = 'N';
};
HemisphereField nmeaSignedLatitude(double degrees);
HemisphereField nmeaSignedLongitude(double degrees);
SentencePair buildEstimatedSentences(double latitude, double longitude, double rangeMetres,
                                     const CivilTime& localTime, std::chrono::minutes utcOffset);
SentencePair buildEstimatedSentences(double latitude, double longitude, double rangeMetres,
                                     const CivilTime& localTime, int utcOffsetHours);

// Sentences that precede a pair to name its source, each with CR LF.
inline constexpr std::string_view kGsmSourceSentence = "$PHSMID,GSM*7E\r\n";
inline constexpr std::string_view kGpsSourceSentence = "$PHSMID,GPS*63\r\n";
inline constexpr std::string_view kSmsSourceSentence = "$PHSMID,SMS*6A\r\n";

}  // namespace funkor
