// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/cell_database.h"

struct sqlite3;

// Cell measurements with a satellite position: what the device hears (the
// serving cell and its neighbours) at the place the GPS receiver names, the
// raw material of the open cell databases. They are kept in an SQLite file
// beside the cell database, one row per cell heard:
//
//   CREATE TABLE measurements(id INTEGER PRIMARY KEY, time INTEGER, lat REAL,
//     lon REAL, accuracy REAL, speed REAL, heading REAL, radio TEXT,
//     mcc INTEGER, net INTEGER, area INTEGER, cell INTEGER, unit INTEGER,
//     channel INTEGER, signal INTEGER, ta INTEGER, serving INTEGER,
//     uploaded INTEGER);
//
// `time` is Unix milliseconds (UTC) of the fix; the cells of one tick share
// it. `unit` is the PSC (UMTS) or PCI (LTE, NR), as in the cell database's
// CSV layout. Empty (NULL) is unknown. `uploaded` is 1 once a server took
// the row. The cells the measurements place are kept in a second table,
// `learned` (see core/cell_learning.h).
namespace funkor {

inline constexpr std::string_view kMeasurementsFileName = "Funkor-measurements.db";
inline constexpr std::int32_t kMeasurementsApplicationId = 0x46756E4D;           // "FunM"
inline constexpr std::int64_t kDefaultMeasurementsBound = 1000LL * 1000 * 1000;  // bytes

// One cell as the device reports it at a tick.
struct MeasuredCell {
    std::string radio;  // "GSM", "UMTS", "LTE", "NR" or "CDMA"
    int mcc = 0;
    int mnc = 0;
    std::int64_t area = 0;             // LAC or TAC
    std::optional<std::int64_t> cell;  // decimal; neighbours often come without
    std::optional<int> pci;            // PSC (UMTS) or PCI (LTE, NR)
    std::optional<int> channel;        // ARFCN, UARFCN, EARFCN or NR-ARFCN
    std::optional<int> signalDbm;
    std::optional<int> timingAdvance;
    bool serving = false;
};

// Where and when the cells were heard.
struct MeasuredFix {
    std::int64_t timeMs = 0;  // Unix milliseconds, UTC
    double latitude = 0;      // degrees, south negative
    double longitude = 0;     // degrees, west negative
    std::optional<double> accuracyMetres;
    std::optional<double> speedMps;    // over ground
    std::optional<double> headingDeg;  // true course, 0 <= h < 360
};

// --- The receiver's sentences -----------------------------------------------

// The accuracy a receiver that names no better is given: HDOP × this.
inline constexpr double kMetresPerGpsHdop = 5;

struct GpsFixReading {
    bool rmcActive = false;  // RMC status "A"
    int ggaQuality = 0;      // GGA fix quality; 0 when there is no GGA
    // Position and time from the RMC (date and time, latitude, longitude,
    // speed in knots, course), the accuracy from the GGA's HDOP; nothing
    // when the RMC lacks its position, date or time.
    std::optional<MeasuredFix> fix;
};
// The last RMC and GGA lines of any talker as the GPS input keeps them
// ("$GPRMC,...*hh" CR LF). A sentence whose checksum is present and wrong
// counts as missing.
GpsFixReading readGpsFix(std::string_view rmc, std::string_view gga);

// --- Privacy: places never recorded -------------------------------------------

struct ExclusionCircle {
    double latitude = 0;
    double longitude = 0;
    double radiusMetres = 0;
};
struct ExclusionList {
    std::vector<ExclusionCircle> circles;
    // False when an entry could not be read: then nothing is recorded at
    // all, since the place the user meant to keep out is not known.
    bool valid = true;
    std::string problem;  // the entry that could not be read
};
// "lat,lon,radius;lat,lon,radius;..." (degrees, metres; blanks and an
// empty entry at the end allowed).
ExclusionList parseExclusions(std::string_view setting);
// Whether the position lies within one of the circles (on the edge counts).
bool isExcluded(const ExclusionList& list, double latitude, double longitude);

// Great-circle distance in metres (mean earth radius).
double distanceMetres(double lat1, double lon1, double lat2, double lon2);

// --- Whether a tick is recorded ---------------------------------------------

inline constexpr std::int64_t kMaxFixAgeMs = 2000;
// Faster than this between two fixes (beyond their accuracies) is no drive.
inline constexpr double kMaxPlausibleSpeedMps = 100;

enum class RecordGate {
    Record,
    NoFix,          // RMC not "A", GGA quality not 1..5, or no position
    StaleFix,       // the receiver's last sentences are older than kMaxFixAgeMs
    Jump,           // the position moved impossibly far since the fix before
    NotRegistered,  // the device is on no network
    NoCell,         // the device reported no cell
    Excluded,       // within an exclusion circle
    ExclusionsInvalid,
};
std::string_view recordGateText(RecordGate gate);

struct RecordGateInput {
    GpsFixReading gps;
    std::int64_t fixAgeMs = 0;  // since the last RMC/GGA arrived
    // The fix the tick before saw (recorded or not): a fix that jumps away
    // from it is refused, and so is the one after a false jump, which
    // costs two ticks and needs no memory of which fix was true.
    std::optional<MeasuredFix> previous;
    bool registered = false;
    std::size_t cells = 0;
    const ExclusionList* exclusions = nullptr;  // none: no circles
};
// GGA quality 6 (estimated, which Funkor itself writes for database
// positions), 7 (manual) and 8 (simulation) are no measured fix.
RecordGate gateRecording(const RecordGateInput& in);

// --- The measurements file --------------------------------------------------

// A stored row, as the exports read it.
struct MeasurementRow {
    std::int64_t id = 0;
    MeasuredFix fix;
    MeasuredCell cell;
    bool uploaded = false;
};

struct RecordResult {
    bool ok = false;
    std::string error;         // German, when !ok
    int stored = 0;            // rows written
    std::int64_t deleted = 0;  // oldest rows removed for the size bound
    // True once, at the first tick that met the bound since the store was
    // opened, so that the user is told once.
    bool boundReached = false;
};

struct MeasurementQuery {
    std::int64_t sinceMs = 0;  // rows with time >= this
    bool notUploadedOnly = false;
    std::int64_t afterId = 0;  // rows with id > this (paging)
    std::size_t limit = 0;     // 0: all
};

class MeasurementStore {
  public:
    // Opens or creates `path` (WAL journal, synchronous NORMAL: each tick
    // is one transaction, so a process killed loses at most the tick it was
    // writing). `maxBytes`: the size bound of the file; beyond it the
    // oldest rows are deleted and their pages reused. Fails (German
    // sentence in `error`) for a file that is not SQLite or belongs to
    // another program.
    static std::optional<MeasurementStore> open(const std::string& path, std::string& error,
                                                std::int64_t maxBytes = kDefaultMeasurementsBound);
    // Opens an existing file read-only; nothing (no error) when it does not
    // exist.
    static std::optional<MeasurementStore> openReadOnly(const std::string& path,
                                                        std::string& error);

    MeasurementStore(MeasurementStore&& other) noexcept;
    MeasurementStore& operator=(MeasurementStore&& other) noexcept;
    MeasurementStore(const MeasurementStore&) = delete;
    MeasurementStore& operator=(const MeasurementStore&) = delete;
    ~MeasurementStore();

    // One row per cell, all with `fix`, in one transaction. Cells with an
    // unknown radio are left out.
    RecordResult record(const MeasuredFix& fix, const std::vector<MeasuredCell>& cells);

    // Rows in id order (oldest first).
    std::vector<MeasurementRow> rows(const MeasurementQuery& query) const;
    // Marks rows as taken by a server; false when the write failed.
    bool markUploaded(const std::vector<std::int64_t>& ids);
    std::int64_t rowCount() const;

    sqlite3* handle() const { return db_; }
    const std::string& path() const { return path_; }

  private:
    MeasurementStore() = default;
    void close();
    bool enforceBound(RecordResult& r);

    sqlite3* db_ = nullptr;
    std::string path_;
    std::int64_t maxBytes_ = kDefaultMeasurementsBound;
    bool boundTold_ = false;
};

// --- Dates --------------------------------------------------------------------

// "YYYY-MM-DD" or "YYYY-MM-DDThh:mm:ss[Z]" (UTC) as Unix milliseconds.
std::optional<std::int64_t> parseUtcDate(std::string_view text);
// "2026-12-09T21:14:05.250Z"
std::string isoUtc(std::int64_t unixMs);

}  // namespace funkor
