// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace funkor {
class NetworkNumbers;
}

// The offline cell database: the positions of mobile network cells as
// open cell databases publish them (the OpenCellID / Ichnaea CSV export
// layout), kept in an SQLite file the user can query with `sqlite3`.
// Version 3 keeps a cell in about 29 bytes on disk (version 2 took 37):
//
//   CREATE TABLE networks(id INTEGER PRIMARY KEY, radio, mcc, net);
//   CREATE TABLE packed_cells(
//     k INTEGER PRIMARY KEY,  -- network id·2⁴⁴ + area·2²⁸ + cell
//     data BLOB);             -- position, updated, range, samples, unit,
//                             -- changeable in 15 to 26 bytes
//   CREATE TABLE wide_cells(  -- cells of areas ≥ 2¹⁶ or ids ≥ 2²⁸ (NR)
//     netarea INTEGER,        -- network id·2²⁴ + area
//     cell INTEGER, data BLOB, PRIMARY KEY(netarea, cell)) WITHOUT ROWID;
//
// (the blob's layouts are described in cell_database.cpp), and the view
// `cells` shows them with OpenCellID's column names (radio, mcc, net, area,
// cell, unit, lon, lat, range, samples, changeable, updated) in decimal
// degrees, exactly as imported. Files of version 2 (the integers
// netarea, cell, pos, updated, info and samples in `packed_cells` WITHOUT
// ROWID) and version 1 (the table `cells` with those columns, without
// unit) are still read.
//
// The file carries the application id 0x46756E6B ("Funk") so that a
// foreign SQLite file is told apart from a database of cells.
namespace funkor {

inline constexpr std::int32_t kCellDbApplicationId = 0x46756E6B;
inline constexpr int kCellDbVersion = 3;
// Areas (LAC, TAC) are below 2^24 in every radio; a row with a larger one
// is refused as malformed (it would not fit the packed key).
inline constexpr std::int64_t kCellDbAreaLimit = std::int64_t{1} << 24;
// The most rows findInArea and findByUnit return.
inline constexpr std::size_t kCellAreaRowLimit = 4096;

// One cell as the database keys it: the radio ("GSM", "UMTS", "LTE",
// "NR", "CDMA"), MCC, MNC ("net"), LAC or TAC ("area") and the cell id in
// decimal (LTE: eNodeB id × 256 + cell id).
struct CellDbKey {
    std::string radio;
    int mcc = 0;
    int net = 0;
    std::int64_t area = 0;
    std::int64_t cell = 0;
};

// A cell's row. `range` is the radius of its coverage in metres (0 when
// the source did not know it); `changeable` is false when the position is
// the site itself rather than an estimate from measurements. `unit` is the
// scrambling code (UMTS PSC) or physical cell id (LTE, NR PCI) the cell
// sends, -1 when unknown: OpenCellID writes -1 or nothing then, and a
// value beyond 2046 is no such code and is kept as unknown. OpenCellID also
// writes 0 for many GSM and LTE cells whose code it does not know; 0 is
// kept as 0, being a valid code.
struct CellDbRow {
    CellDbKey key;
    double longitude = 0;
    double latitude = 0;
    int range = 0;
    int samples = 0;
    bool changeable = true;
    std::int64_t created = 0;  // Unix seconds; written, not kept
    std::int64_t updated = 0;
    int unit = -1;
};

struct CellDbPosition {
    double latitude = 0;
    double longitude = 0;
    int range = 0;
    int samples = 0;
    bool changeable = true;
    std::int64_t updated = 0;
    int unit = -1;  // as in CellDbRow; always -1 in a version 1 database
};

// --- Reading the CSV layout -------------------------------------------------

// radio,mcc,net,area,cell,unit,lon,lat,range,samples,changeable,created,updated,averageSignal
inline constexpr std::string_view kCellCsvHeader =
    "radio,mcc,net,area,cell,unit,lon,lat,range,samples,changeable,created,updated,"
    "averageSignal";

enum class CsvRowError {
    None,
    Empty,         // an empty line
    TooFewFields,  // fewer than the 13 fields up to "updated"
    BadRadio,      // not GSM, UMTS, LTE, NR or CDMA
    NotANumber,    // a number field that is not one
    OffTheEarth,   // latitude beyond ±90° or longitude beyond ±180°
    TooLong,       // a line longer than any row can be
};
// English reason for the import report: "too few fields".
std::string_view csvRowErrorText(CsvRowError e);

// One data line (without its line end; a trailing CR is taken off). The
// unit, range, samples, changeable, created, updated and averageSignal
// fields may be empty: unknown, read as 0 (changeable as 1, unit as -1).
// A unit that is no number is unknown too: older files put other things
// there. Coordinates are kept to 10⁻⁷ degrees (1 cm); an area of 2^24 or
// more is no number the layout allows.
CsvRowError parseCellCsvRow(std::string_view line, CellDbRow& row);
// True for the layout's header line (its first field is "radio").
bool isCellCsvHeader(std::string_view line);
// The row in the CSV layout, without a line end; range 0 is written empty.
std::string cellCsvRow(const CellDbRow& row);

// --- Import -----------------------------------------------------------------

struct CellImportProgress {
    std::int64_t rows = 0;        // data lines read so far
    std::int64_t written = 0;     // cells written into the database so far
    std::int64_t bytesRead = 0;   // of the file as stored (compressed or not)
    std::int64_t bytesTotal = 0;  // 0 when the size is not known (a pipe)
    double seconds = 0;
};

struct CellImportOptions {
    std::vector<int> mccs;  // only these countries; empty: all
    // Called every `progressEvery` rows read, as often while the cells are
    // written, and once at the end.
    std::function<void(const CellImportProgress&)> progress;
    std::int64_t progressEvery = 200000;
    // The rows sorted in memory at a time (48 bytes each, twice: one run
    // is sorted and written to a scratch file while the next is read). An
    // input of more rows is sorted in runs that are merged at the end.
    std::size_t runRows = 3000000;
    std::size_t problemsKept = 5;  // malformed lines reported in detail
    // An input without a single cell (an empty file, a header alone, rows
    // all malformed or of other countries) is refused unless this is set:
    // such a file is mostly a failed download, and replacing a database of
    // millions of cells with an empty one loses them without a word.
    bool allowEmpty = false;
};

struct CellImportProblem {
    std::int64_t line = 0;  // from 1, the header being line 1
    CsvRowError error = CsvRowError::None;
};

struct CellImportResult {
    bool ok = false;
    std::string error;                        // German, when !ok
    std::int64_t read = 0;                    // data lines read
    std::int64_t stored = 0;                  // cells in the new database
    std::int64_t skipped = 0;                 // malformed lines
    std::int64_t filtered = 0;                // rows of other countries (--mcc)
    std::int64_t older = 0;                   // update: cells the database knew with a newer row
    std::vector<CellImportProblem> problems;  // the first few malformed lines
    double seconds = 0;
    bool empty = false;  // refused because the input held no cells
};

// Reads `csvPath` ("-" for standard input; plain or gzip-compressed, told
// by its content) and builds the database `dbPath` afresh from it. The
// file is streamed; memory stays bounded whatever its size. Where a cell
// appears more than once, the row with the newest `updated` is kept. A
// UTF-8 byte-order mark before a line is passed over. The new database is
// built beside `dbPath` under a name of its own and renamed over it only
// once it is complete, so that an import that fails or is killed leaves
// the previous database as it was; a gzip stream that ends before its
// trailer (a download cut short) fails the import. An exclusive lock on
// `dbPath` + ".lock" keeps a second import into the same database from
// running at the same time: it fails at once instead of waiting.
CellImportResult importCellCsv(const std::string& csvPath, const std::string& dbPath,
                               const CellImportOptions& options = {});

// Merges a file of the same layout (OpenCellID's daily difference file)
// into the existing database `dbPath`: a cell the file brings is added, or
// replaces the database's row unless that is newer (`updated`); where the
// file holds a cell more than once, its newest row counts. `stored` is the
// count of cells added or replaced, `older` of those left as they were.
// Runs in one transaction of the database's own journal: an update that
// fails or is killed leaves the database as it was (the next open rolls a
// killed one back). Takes the same lock as an import; an input without
// cells changes nothing and is no failure. A version 1 database is refused:
// it needs one whole import first.
CellImportResult updateCellDb(const std::string& csvPath, const std::string& dbPath,
                              const CellImportOptions& options = {});

// --- Lookup -----------------------------------------------------------------

// What a lookup gave. A page that cannot be read is no unknown cell: the
// database failed, and says why.
enum class CellLookupStatus {
    Found,    // `position` holds the cell
    Unknown,  // the database does not know the cell
    Failed,   // SQLite could not read the file (a damaged page, a read error)
};
struct CellLookup {
    CellLookupStatus status = CellLookupStatus::Unknown;
    CellDbPosition position;
    std::string error;  // one German sentence, when Failed
    // Failed on a damaged file; otherwise the read may work next time (the
    // file busy or locked by a writer).
    bool damaged = false;
};

// The cells of one area, in the order of their ids.
struct CellAreaLookup {
    CellLookupStatus status = CellLookupStatus::Unknown;  // Found: `rows` not empty
    std::vector<CellDbRow> rows;                          // created 0
    std::string error;
    bool damaged = false;
};

// A database opened for lookups, read-only.
class CellDatabase {
  public:
    // Opens `path`; on failure returns nothing and sets `error` to one
    // German sentence (missing file, a folder or other non-file, a file that
    // is not SQLite or is damaged, an SQLite file that is not a cell
    // database). Only the header and the table's first pages are read: a
    // whole check would read gigabytes of a world database before the
    // window could go on; damage further on shows in the lookup that meets
    // it.
    static std::optional<CellDatabase> open(const std::string& path, std::string& error);

    CellDatabase(CellDatabase&& other) noexcept;
    CellDatabase& operator=(CellDatabase&& other) noexcept;
    CellDatabase(const CellDatabase&) = delete;
    CellDatabase& operator=(const CellDatabase&) = delete;
    ~CellDatabase();

    // The cell's position, that the database does not know it, or that
    // reading it failed.
    CellLookup find(const CellDbKey& key) const;
    // The cell's position, or nothing when the database does not know it
    // or could not be read.
    std::optional<CellDbPosition> lookup(const CellDbKey& key) const;
    // The cells of radio, MCC, net and area, at most `limit`.
    CellAreaLookup findInArea(std::string_view radio, int mcc, int net, std::int64_t area,
                              std::size_t limit = kCellAreaRowLimit) const;
    // Those of them that send `unit` (PSC or PCI): the candidates for a
    // neighbour cell the phone names by its code alone. A version 1
    // database knows no units and finds none.
    CellAreaLookup findByUnit(std::string_view radio, int mcc, int net, std::int64_t area, int unit,
                              std::size_t limit = kCellAreaRowLimit) const;

    const std::string& path() const { return path_; }
    // 1, 2 or 3, the layout of the file.
    int version() const { return version_; }

  private:
    CellDatabase() = default;
    void close();
    CellAreaLookup scanArea(sqlite3_stmt* s, std::string_view radio, int mcc, int net,
                            std::int64_t area, int unit, std::size_t limit) const;
    CellLookup findV3(const CellDbKey& key) const;
    CellAreaLookup scanAreaV3(std::string_view radio, int mcc, int net, std::int64_t area, int unit,
                              std::size_t limit) const;

    sqlite3* db_ = nullptr;
    sqlite3_stmt* lookup_ = nullptr;
    sqlite3_stmt* area_ = nullptr;
    sqlite3_stmt* unit_ = nullptr;                    // version 3: the wide cells' lookup
    sqlite3_stmt* wideArea_ = nullptr;                // version 3: the wide cells of an area
    std::shared_ptr<const NetworkNumbers> networks_;  // version 3
    std::string path_;
    int version_ = 0;
};

// --- The serving cell as the database keys it -------------------------------

// From the registered network's numeric code ("26207", "310410") and the
// area and cell ids as the phone reports them in hexadecimal (LAC "1A2B",
// a 28-bit LTE cell id "01A2B3C"): MCC the first three digits, MNC the
// rest. Nothing for a code that is not 5 or 6 digits or ids that are not
// hexadecimal (at most 8 digits).
std::optional<CellDbKey> cellDbKeyFromPhone(std::string_view radio, std::string_view operatorCode,
                                            std::string_view areaHex, std::string_view cellHex);
// The same from ids already read as numbers; nothing for a code that is not
// 5 or 6 digits or a negative id.
std::optional<CellDbKey> cellDbKey(std::string_view radio, std::string_view operatorCode,
                                   std::int64_t area, std::int64_t cell);

}  // namespace funkor
