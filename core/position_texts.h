// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/grid.h"

// The pure pieces of turning a grid position into what the window shows and
// hands on: the broadcast page's position, sector and timing-advance offsets,
// display texts, the map address, the region circle and the SIM zones.
//
// A position key is 12 decimal digits: characters 1-6 the easting and 7-12
// the northing of the German grid, each in units of 10 m ("459870581994").
// Texts are 8-bit Windows-1252 (the degree sign is the byte 0xB0).
namespace funkor {

// --- Cell broadcast ---------------------------------------------------------

// True when characters 7-8 of the page's hex text are "DD": the low octet of
// the message identifier, channel 221, which carries the cell's position.
bool isPositionPage(std::string_view pageHex);
// Characters 13-34 of the page: the first 11 octets of its text.
std::string pagePositionHex(std::string_view pageHex);
// The 12 characters packed in a position page, or nothing for a page of
// another channel or one too short to hold 11 octets of text.
std::optional<std::string> cellBroadcastPosition(std::string_view pageHex);
// True for exactly 12 decimal digits.
bool isPositionKey(std::string_view key);

// --- Grid position and offsets ----------------------------------------------

struct GridPoint {
    double easting = 0;   // metres, zone number in the millions digit
    double northing = 0;  // metres
};

// Metres of a position key: characters 1-6 and 7-12 read as numbers, times
// 10 (read leniently: leading digits count, none give 0).
GridPoint positionKeyToGrid(std::string_view positionKey);
// Broadcast positions lie off the antenna by a fixed amount per sector
// "A": 50 m south; "B": 40 m west; "C": 40 m east. Other sectors: unchanged.
GridPoint applySectorOffset(GridPoint p, std::string_view sector);
// Moves `distance` metres (from the timing advance) along the sector's main
// direction: "A" north; "B" south-east; "C" south-west (factors 0.5, 0.86).
GridPoint applyTimingAdvanceMove(GridPoint p, std::string_view sector, double distance);

// --- Display texts ----------------------------------------------------------

// Degrees, minutes and seconds, each truncated. Binary representation error
// is not allowed to cut a whole second: 48.3 is 48° 18' 0", not 17' 59".
struct Dms {
    int degrees = 0;
    int minutes = 0;
    int seconds = 0;
};
Dms toDms(double degrees);

// "hh:mm  52° 30' 13\" N  13° 27' 8\" O"
std::string positionCaption(std::string_view hhmm, double latitude, double longitude);
// "R=4598.70 H=5819.94 N:52,5038° 52°30.2277' O:13,45223° 13°27.1337'":
// the grid in km (from the key's characters), each coordinate with up to
// five decimals in the user's separator, then degrees and NMEA minutes.
std::string positionToolTip(std::string_view positionKey, double latitude, double longitude,
                            char decimalSeparator);
// A number with up to `decimals` decimals, trailing zeros dropped, in the
// user's separator: 52.50379511 -> "52,5038" (4 decimals with ",").
std::string formatDecimals(double value, int decimals, char decimalSeparator);
// Distance to the home zone: metres as km with one decimal (halves away
// from zero), " km" after.
std::string distanceCaption(double metres, char decimalSeparator);

// --- Map address ------------------------------------------------------------

// A coordinate for other programs: up to 15 significant digits, "." as the
// decimal separator, never an exponent (52.5037951085233).
std::string mapNumber(double value);
// base + "/map.aspx?L=EUR&C=" lat,lon + "&A=2&P=|" lat,lon + "|1|" label + "|L1|"
std::string mapAddress(std::string_view baseAddress, double latitude, double longitude,
                       std::string_view label);
// The same with the radius in whole metres within which the position is
// good ("&R=1200" before "&P="), for a position from a cell database; a
// radius below 1 m gives the plain address.
std::string mapAddress(std::string_view baseAddress, double latitude, double longitude,
                       std::string_view label, double rangeMetres);
// Label of the cell position: "o2-" + CI and LAC (first 8 characters of the
// cell key) + " " + hh:mm.
std::string cellMapLabel(std::string_view cellKey, std::string_view hhmm);
// The position an RMC sentence holds, as the map shows a logged position:
// dd + mm.mmm/60 from the field after the third comma, ddd + mm.mmm/60
// from the field after the fifth (three decimals of the minute are used),
// negative where the hemisphere field says "S" or "W". Nothing when a field is missing or not
// "digits.digits".
std::optional<GeoPosition> rmcMapPosition(std::string_view rmc);

// --- Region circles and SIM zones -------------------------------------------

struct RegionMatch {
    std::string text;     // " / <name>" of the nearest containing circle, or ""
    std::string toolTip;  // "Region/City-Zone" with " (r=<r>km)" on a match
};
// Searches the region file's lines (characters 1-4 easting km, 8-11
// northing km, 15-19 radius km, name from 21) for the circle that contains
// the key's position (characters 1-4 and 7-10 in km) most closely: distance
// (whole km) strictly below the radius and strictly below the best so far,
// so that among equal distances the first line wins.
RegionMatch findRegionCircle(std::string_view positionKey, std::span<const std::string> lines);

// A zone of the SIM as the distance check needs it.
struct ZoneCentre {
    double first = 0;   // easting of the centre, 10 m units
    double second = 0;  // northing of the centre, 10 m units
    double radius = 0;  // metres; 0 when the SIM was not read
    std::string name;
};
struct ZoneDecision {
    double homeDistance = 0;  // metres, whole 10 m
    double cityDistance = 0;
    std::string zoneName;  // home name inside the home zone, else city name inside it, else ""
};
// Distances of the key's position to both zone centres and the zone the
// position lies in (strictly inside the radius; the home zone wins).
ZoneDecision evaluateSimZones(std::string_view positionKey, const ZoneCentre& home,
                              const ZoneCentre& city);

}  // namespace funkor
