// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/position_output.h"

// How accurate each position source is, told to the readers that need it:
// an HDOP in the GGA sentence (gpsd and geoclue turn it into an error
// radius) and the accuracy level of the announced service (geoclue picks
// the best service by it).
//
// The radius of a source, in metres:
// - GPS receiver: its own; its sentences go on exactly as received.
// - GSM cell, database position: the cell's range from the database.
// - GSM cell, broadcast position: the far edge of the timing-advance ring
//   around the site, taDistance + 273 m (the timing advance names the middle
//   of a 546 m step). That bounds the distance whether or not the position
//   was moved towards the sector. Without a timing advance: the site
//   accuracy, kSiteAccuracyMetres, a typical reach of a German GSM macro
//   cell outside city centres.
// - SMS position: the sender's own cell position (that is what a Funkor
//   sends), whose timing advance is unknown here: kSiteAccuracyMetres.
//
// HDOP = radius / 19 m with one decimal, at least 1.0, as for the database
// positions' own sentences (estimatedHdop). geoclue maps the HDOP in steps
// and reports at most 300 m for any HDOP above 20: the levels below say
// more than that.
namespace funkor {

inline constexpr double kMetresPerHdop = 19;
inline constexpr double kSiteAccuracyMetres = 3000;
inline constexpr double kTimingAdvanceHalfStep = 273;
// Radii up to this are announced as "street", above as "neighborhood".
inline constexpr double kStreetLevelMetres = 1000;

struct AccuracyInput {
    int taDistance = 0;  // metres from the timing advance; 0 when none came
    // The range of the cell whose database position the GSM pair holds
    // (0: unknown, counted as kUnknownCellRange); none for a broadcast
    // position.
    std::optional<double> gsmRangeMetres;
};

// Error radius of a source's position in metres; 0 for the GPS receiver
// (its sentences carry their own HDOP) and for no source.
double accuracyRadius(PositionSource source, const AccuracyInput& in);
// "157.9" for 3000 m; never below "1.0".
std::string accuracyHdop(double radiusMetres);
// geoclue's accuracy level name for a radius: 0 (GPS) "exact", up to
// kStreetLevelMetres "street", beyond "neighborhood".
std::string_view accuracyLevel(double radiusMetres);
// The level of the announced service: that of the least accurate ticked
// source, since a reader gets any of them; "neighborhood" with none ticked.
std::string_view announcedAccuracy(const SourceBoxes& boxes, const AccuracyInput& in);

// The HDOP a GGA sentence carries; none when the field is empty or the
// sentence is no GGA. A database position's GGA gives its cell's range back
// as HDOP x kMetresPerHdop.
std::optional<double> ggaHdop(std::string_view sentence);

// A GGA sentence ("$..GGA,...*hh" CR LF) whose HDOP field is empty, with
// `hdop` put there and the checksum made anew; any other sentence, and a GGA
// that carries an HDOP already, unchanged.
std::string withHdop(std::string_view sentence, std::string_view hdop);
// The pair with the HDOP of its source in the GGA; GPS pairs unchanged.
OutputPair withHonestAccuracy(OutputPair pair, const AccuracyInput& in);

}  // namespace funkor
