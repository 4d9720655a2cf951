// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/measurements.h"

// The measurements in the layouts the open cell databases take.
namespace funkor {

// --- OpenCellID measurement upload (CSV) ---------------------------------

inline constexpr std::string_view kOcidMeasurementHeader =
    "mcc,mnc,lac,cellid,lon,lat,signal,measured_at,rating,speed,direction,act,ta,psc,tac,pci,"
    "sid,nid,bid";

// One line per row (LF ends), after the header:
//   lac     GSM and UMTS area; LTE and NR carry theirs in `tac`
//   cellid  decimal, as the device reported it
//   lon,lat degrees, 7 decimals
//   signal  dBm
//   measured_at "2026-12-09 12:00:00.500Z" (UTC)
//   rating  the GPS accuracy in whole metres
//   speed   m/s, direction degrees, both whole
//   act     GSM, UMTS, LTE, NR or CDMA
//   psc     UMTS; pci LTE and NR
//   sid,nid,bid  CDMA's system, network and base station (then mnc, lac
//           and cellid are empty)
// An unknown value is an empty field. Rows without a cell id (neighbours
// the device names by PSC/PCI only) are left out: the database refuses
// measurements without one.
std::string ocidMeasurementCsv(const std::vector<MeasurementRow>& rows);

// --- Ichnaea / BeaconDB geosubmit v2 (JSON) ------------------------------

// One report: the cells heard at one fix.
struct GeosubmitItem {
    MeasuredFix fix;
    std::vector<MeasuredCell> cells;
    std::vector<std::int64_t> ids;  // the rows it carries
};
// Rows in id order grouped into reports: consecutive rows with the same
// time and position form one. Only cells the geosubmit API names are taken
// (radio GSM, UMTS, LTE as "gsm", "wcdma", "lte", with a cell id); a report
// left without a cell is dropped, since the API refuses it.
std::vector<GeosubmitItem> geosubmitItems(const std::vector<MeasurementRow>& rows);
// {"items": [{"timestamp": ms, "position": {"latitude", "longitude",
// "accuracy" (m), "speed" (m/s), "heading" (degrees), "source": "gps"},
// "cellTowers": [{"radioType", "mobileCountryCode", "mobileNetworkCode",
// "locationAreaCode", "cellId", "primaryScramblingCode" (PSC or PCI),
// "signalStrength" (dBm), "timingAdvance", "serving" (1 or 0)}]}]}.
// Unknown values are left out, not written as null. `pretty`: one item per
// line, for a file.
std::string geosubmitJson(const std::vector<GeosubmitItem>& items, bool pretty = false);

// --- Compression ------------------------------------------------------------

// `data` as one gzip member (RFC 1952), for Content-Encoding: gzip.
std::string gzipCompress(std::string_view data);

}  // namespace funkor
