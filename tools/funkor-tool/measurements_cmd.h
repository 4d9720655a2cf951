// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace funkor {
class MeasurementStore;
}

// The measurement commands of funkor-tool: export and upload of the cell
// measurements the program recorded, and learning cells from them.

inline constexpr const char* kMeasurementsUsage =
    "  funkor-tool measurements export [--ocid FILE] [--geosubmit FILE] [--since DATE] [--db DB]\n"
    "                                         the recorded measurements as OpenCellID upload\n"
    "                                         CSV and/or geosubmit v2 JSON (- is standard\n"
    "                                         output); DATE: YYYY-MM-DD[Thh:mm:ss] UTC\n"
    "  funkor-tool measurements upload --geosubmit URL [--batch N] [--since DATE] [--db DB]\n"
    "                                  [--tries N] [--backoff MS]\n"
    "                                         send what no server took yet, gzip-compressed,\n"
    "                                         N reports per request (default 100)\n"
    "                                         DB: $FUNKOR_HOME/Funkor-measurements.db, else\n"
    "                                         "
    "${XDG_DATA_HOME:-~/.local/share}/funkor/Funkor-measurements.db\n";

// The measurements file beside a cell database (same folder).
std::string measurementsBeside(const std::string& cellDbPath);
// "celldb learn": learns the cells of the measurements file `path`.
int cmdLearn(const std::vector<std::string>& args, const std::string& path);
// "measurements export ..." / "measurements upload ...": `args` after
// "measurements".
int cmdMeasurements(const std::vector<std::string>& args);

struct GeosubmitUploadOptions {
    std::string url;
    std::size_t batch = 100;  // reports per request
    int tries = 5;            // attempts per request before giving up
    int backoffMs = 1000;     // wait before the first retry, doubled each time
    int timeoutMs = 30000;
    std::int64_t sinceMs = 0;
};
// Sends the rows no server took yet; prints the counts. Exit code: 0 when
// everything went, 1 when something stays (refused or not reachable).
int uploadGeosubmit(funkor::MeasurementStore& store, const GeosubmitUploadOptions& options);
