// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/cell_database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

namespace funkor {

namespace {

constexpr std::size_t kMaxLine = 4096;

bool parseInt(std::string_view s, std::int64_t& v, bool emptyIsZero) {
    if (s.empty()) {
        v = 0;
        return emptyIsZero;
    }
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

// Degrees in units of 10⁻⁷. Plain decimals ("-12.345", the export's
// form) are read digit by digit, exactly; anything else strtod-like
// ("1e-3", more than seven decimals) through a double. `inRange` is false
// beyond ±`limit` degrees.
bool parseDegrees(std::string_view s, std::int64_t limit, std::int64_t& v, bool& inRange) {
    const char* p = s.data();
    const char* end = p + s.size();
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    std::int64_t whole = 0;
    int wholeDigits = 0;
    while (p < end && *p >= '0' && *p <= '9' && wholeDigits < 4) {
        whole = whole * 10 + (*p - '0');
        ++p;
        ++wholeDigits;
    }
    std::int64_t fraction = 0;
    int decimals = 0;
    bool plain = wholeDigits > 0 && wholeDigits < 4;
    if (plain && p < end) {
        plain = *p == '.' && p + 1 < end;
        for (++p; plain && p < end; ++p) {
            plain = *p >= '0' && *p <= '9' && decimals < 7;
            fraction = fraction * 10 + (*p - '0');
            ++decimals;
        }
    }
    if (plain) {
        static constexpr std::int64_t kScale[] = {10000000, 1000000, 100000, 10000,
                                                  1000,     100,     10,     1};
        v = whole * 10000000 + fraction * kScale[decimals];
        if (negative) v = -v;
        inRange = v >= -limit * 10000000 && v <= limit * 10000000;
        return true;
    }
    double d = 0;
    if (s.empty()) return false;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), d);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(d)) return false;
    inRange = d >= static_cast<double>(-limit) && d <= static_cast<double>(limit);
    v = inRange ? std::llround(d * 1e7) : 0;
    return true;
}

// Radio names and the codes the packed key carries, in the names' order
// (as the first layout sorted them).
constexpr std::string_view kRadios[] = {"", "CDMA", "GSM", "LTE", "NR", "UMTS"};

int radioCode(std::string_view r) {
    for (int i = 1; i < 6; ++i)
        if (r == kRadios[i]) return i;
    return 0;
}

// One row as the table keeps it, which is also what the import sorts.
struct PackedCell {
    std::int64_t netArea = 0;
    std::int64_t cell = 0;
    std::int64_t pos = 0;
    std::int64_t updated = 0;
    std::int64_t info = 0;
    std::int64_t samples = 0;
};

std::int64_t packNetArea(int radio, int mcc, int net, std::int64_t area) {
    return (static_cast<std::int64_t>(radio * 1000000 + mcc * 1000 + net) << 24) | area;
}

// Key order; of one cell's rows the newest first.
bool packedBefore(const PackedCell& a, const PackedCell& b) {
    if (a.netArea != b.netArea) return a.netArea < b.netArea;
    if (a.cell != b.cell) return a.cell < b.cell;
    return a.updated > b.updated;
}

// A data line's fields as numbers.
struct RowFields {
    int radio = 0;
    int mcc = 0, net = 0;
    std::int64_t area = 0, cell = 0;
    std::int64_t lon7 = 0, lat7 = 0;  // 10⁻⁷ degrees
    int range = 0, samples = 0, unit = -1;
    bool changeable = true;
    std::int64_t updated = 0;
};

// Splits at commas into at most `max` fields; returns the count.
std::size_t splitCsv(std::string_view line, std::string_view* out, std::size_t max) {
    std::size_t n = 0;
    const char* at = line.data();
    const char* end = at + line.size();
    while (n < max) {
        const char* comma = static_cast<const char*>(std::memchr(at, ',', end - at));
        if (!comma) {
            out[n++] = std::string_view(at, end - at);
            break;
        }
        out[n++] = std::string_view(at, comma - at);
        at = comma + 1;
    }
    return n;
}

CsvRowError parseFields(std::string_view line, RowFields& row) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return CsvRowError::Empty;
    if (line.size() > kMaxLine) return CsvRowError::TooLong;
    std::string_view f[14];
    const std::size_t n = splitCsv(line, f, 14);
    if (n < 13) return CsvRowError::TooFewFields;
    row.radio = radioCode(f[0]);
    if (row.radio == 0) return CsvRowError::BadRadio;
    std::int64_t mcc, net, range, samples, changeable, unit;
    bool latIn = false, lonIn = false;
    // Files put together by hand or by other tools leave the figures they
    // do not know empty: range, samples and times unknown (0). An unknown
    // `changeable` is taken as 1, a position averaged from measurements,
    // which is what such a file's positions mostly are.
    const bool changeableUnknown = f[10].empty();
    if (!parseInt(f[1], mcc, false) || !parseInt(f[2], net, false) ||
        !parseInt(f[3], row.area, false) || !parseInt(f[4], row.cell, false) ||
        !parseDegrees(f[6], 180, row.lon7, lonIn) || !parseDegrees(f[7], 90, row.lat7, latIn) ||
        !parseInt(f[8], range, true) || !parseInt(f[9], samples, true) ||
        !parseInt(f[10], changeable, true) || !parseInt(f[12], row.updated, true) || mcc < 0 ||
        mcc > 999 || net < 0 || net > 999 || row.area < 0 || row.area >= kCellDbAreaLimit ||
        row.cell < 0 || range < 0 || range > 100000000 || samples < 0 || samples > 2000000000 ||
        (changeable != 0 && changeable != 1))
        return CsvRowError::NotANumber;
    if (!latIn || !lonIn) return CsvRowError::OffTheEarth;
    // The unit was not read before it was kept; what older files hold
    // there is taken as unknown rather than failing the row.
    row.unit =
        parseInt(f[5], unit, false) && unit >= 0 && unit <= 2046 ? static_cast<int>(unit) : -1;
    row.mcc = static_cast<int>(mcc);
    row.net = static_cast<int>(net);
    row.range = static_cast<int>(range);
    row.samples = static_cast<int>(samples);
    row.changeable = changeableUnknown || changeable != 0;
    return CsvRowError::None;
}

PackedCell pack(const RowFields& r) {
    PackedCell c;
    c.netArea = packNetArea(r.radio, r.mcc, r.net, r.area);
    c.cell = r.cell;
    c.pos = ((r.lat7 + 900000000) << 32) | (r.lon7 + 1800000000);
    c.updated = r.updated;
    c.info =
        (static_cast<std::int64_t>(r.range) << 12) | ((r.unit + 1) << 1) | (r.changeable ? 1 : 0);
    c.samples = r.samples;
    return c;
}

// The position and figures of a packed row.
void unpack(std::int64_t pos, std::int64_t updated, std::int64_t info, std::int64_t samples,
            CellDbPosition& p) {
    p.latitude = static_cast<double>((pos >> 32) - 900000000) / 1e7;
    p.longitude = static_cast<double>((pos & 0xFFFFFFFF) - 1800000000) / 1e7;
    p.range = static_cast<int>(info >> 12);
    p.unit = static_cast<int>((info >> 1) & 2047) - 1;
    p.changeable = (info & 1) != 0;
    p.updated = updated;
    p.samples = static_cast<int>(samples);
}

// --- Version 3: a cell in its key and a few bytes ------------------------
//
// A cell whose area is below 2^16 and whose id is below 2^28 (every GSM,
// UMTS and LTE cell) is keyed by one integer, the table's rowid: its
// network's number in `networks` (radio, MCC, MNC) · 2^44 + area · 2^28 +
// cell, a varint of 7 or 8 bytes. Its figures are one blob in one of four
// layouts, told apart by its length (big-endian):
//
//   15, 16, 17 bytes: position (7) · updated (4) · rest (4, 5, 6)
//   26 bytes: position (8) · updated (8) · range (4) · samples (4) · unitch (2)
//
// where unitch is (unit + 1)·2 + changeable and the rest is unitch, range
// and samples side by side in the bits of kShortLayouts. The short layouts
// take coordinates of six decimals (OpenCellID's) as (lat + 90)·10⁶ ·
// 360000001 + (lon + 180)·10⁶ and an `updated` from 0 to 2^32 - 1; the
// long one takes any row, with (lat + 90)·10⁷ · 3600000001 + (lon + 180)·10⁷
// and the full `updated`. A record of one blob saves the header byte of
// each column and the rounding of integers to 1, 2, 3, 4, 6 or 8 bytes;
// the shortest layout that holds a row is taken. Cells beyond those key
// widths (NR's 24-bit areas and 36-bit cell ids) are kept keyed by
// (network·2^24 + area, cell) in `wide_cells`, with the same blobs.
constexpr int kV3CellBits = 28;
constexpr int kV3AreaBits = 16;
constexpr int kV3NetworkShift = kV3CellBits + kV3AreaBits;
constexpr std::int64_t kV3CellMask = (std::int64_t{1} << kV3CellBits) - 1;
constexpr std::int64_t kV3AreaMask = (std::int64_t{1} << kV3AreaBits) - 1;
constexpr int kLongFigures = 26;
constexpr std::int64_t kLon6Radix = 360000001;
constexpr std::int64_t kLon7Radix = 3600000001;

struct ShortLayout {
    int size;         // of the blob, bytes
    int rangeBits;    // range below 2^rangeBits
    int samplesBits;  // samples below 2^samplesBits; unitch takes the bits left
};
constexpr ShortLayout kShortLayouts[] = {{15, 13, 8}, {16, 17, 11}, {17, 20, 16}};

// A cell as a row of version 3: its rowid (or, for `wide_cells`, its
// netarea and cell) and the figures' blob.
struct FeedRow {
    std::int64_t key = 0;
    std::int64_t cell = 0;
    unsigned char data[kLongFigures] = {};
    int size = 0;
};

void putBigEndian(unsigned char* out, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i, v >>= 8) out[i] = static_cast<unsigned char>(v & 0xFF);
}

std::uint64_t bigEndianAt(const unsigned char* in, int bytes) {
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v = (v << 8) | in[i];
    return v;
}

// The figures of a packed row as a version 3 blob; returns its length.
int encodeFigures(const PackedCell& c, unsigned char* out) {
    const std::int64_t lat = c.pos >> 32, lon = c.pos & 0xFFFFFFFF;  // from 0, 10⁻⁷ degrees
    const std::int64_t range = c.info >> 12, unitch = c.info & 4095, samples = c.samples;
    if (lat % 10 == 0 && lon % 10 == 0 && c.updated >= 0 && c.updated <= 0xFFFFFFFFLL) {
        for (const ShortLayout& l : kShortLayouts) {
            const int unitBits = (l.size - 11) * 8 - l.rangeBits - l.samplesBits;
            if (range >> l.rangeBits || samples >> l.samplesBits || unitch >> unitBits) continue;
            putBigEndian(out, static_cast<std::uint64_t>(lat / 10 * kLon6Radix + lon / 10), 7);
            putBigEndian(out + 7, static_cast<std::uint64_t>(c.updated), 4);
            const std::int64_t rest =
                (((unitch << l.rangeBits) | range) << l.samplesBits) | samples;
            putBigEndian(out + 11, static_cast<std::uint64_t>(rest), l.size - 11);
            return l.size;
        }
    }
    putBigEndian(out, static_cast<std::uint64_t>(lat * kLon7Radix + lon), 8);
    putBigEndian(out + 8, static_cast<std::uint64_t>(c.updated), 8);
    putBigEndian(out + 16, static_cast<std::uint64_t>(range), 4);
    putBigEndian(out + 20, static_cast<std::uint64_t>(samples), 4);
    putBigEndian(out + 24, static_cast<std::uint64_t>(unitch), 2);
    return kLongFigures;
}

// A version 3 blob's figures; false for a blob of no layout.
bool decodeFigures(const void* blob, int size, CellDbPosition& p) {
    const auto* d = static_cast<const unsigned char*>(blob);
    std::int64_t lat = 0, lon = 0, range = 0, samples = 0, unitch = 0;
    const ShortLayout* layout = nullptr;
    for (const ShortLayout& l : kShortLayouts)
        if (l.size == size) layout = &l;
    if (layout) {
        const auto pos = static_cast<std::int64_t>(bigEndianAt(d, 7));
        lat = pos / kLon6Radix * 10;
        lon = pos % kLon6Radix * 10;
        p.updated = static_cast<std::int64_t>(bigEndianAt(d + 7, 4));
        const auto rest = static_cast<std::int64_t>(bigEndianAt(d + 11, size - 11));
        samples = rest & ((std::int64_t{1} << layout->samplesBits) - 1);
        range = (rest >> layout->samplesBits) & ((std::int64_t{1} << layout->rangeBits) - 1);
        unitch = rest >> (layout->samplesBits + layout->rangeBits);
    } else if (size == kLongFigures) {
        const auto pos = static_cast<std::int64_t>(bigEndianAt(d, 8));
        lat = pos / kLon7Radix;
        lon = pos % kLon7Radix;
        p.updated = static_cast<std::int64_t>(bigEndianAt(d + 8, 8));
        range = static_cast<std::int64_t>(bigEndianAt(d + 16, 4));
        samples = static_cast<std::int64_t>(bigEndianAt(d + 20, 4));
        unitch = static_cast<std::int64_t>(bigEndianAt(d + 24, 2));
    } else {
        return false;
    }
    p.latitude = static_cast<double>(lat - 900000000) / 1e7;
    p.longitude = static_cast<double>(lon - 1800000000) / 1e7;
    p.range = static_cast<int>(range);
    p.samples = static_cast<int>(samples);
    p.unit = static_cast<int>((unitch >> 1) & 2047) - 1;
    p.changeable = (unitch & 1) != 0;
    return true;
}

// The rowid of a cell of network `id`; false when its area, its id or the
// network's number (past 2^19, in a file of more than half a million
// networks) are too wide for it: the cell belongs in `wide_cells`.
bool compactKey(std::int64_t id, std::int64_t area, std::int64_t cell, std::int64_t& key) {
    if (area > kV3AreaMask || cell > kV3CellMask || cell < 0 || area < 0 ||
        id >= (std::int64_t{1} << (63 - kV3NetworkShift)))
        return false;
    key = (id << kV3NetworkShift) | (area << kV3CellBits) | cell;
    return true;
}

// SQL for the big-endian integer of `count` bytes of the blob `data` from
// byte `from` (from 1), each byte its place in the blob `b` of the bytes 0
// to 255; with `isSigned` the first byte carries the sign.
std::string sqlBytes(int from, int count, bool isSigned = false) {
    auto byte = [](int i) { return "(instr(b,substr(data," + std::to_string(i) + ",1))-1)"; };
    std::string e = byte(from);
    if (isSigned) e = "(" + e + "-256*(" + e + ">=128))";
    for (int i = 1; i < count; ++i) e = "(" + e + "*256+" + byte(from + i) + ")";
    return e;
}

// The tables of version 3 and the view over them in OpenCellID's columns:
// the blob is read into position (p), time (t) and the packed rest (r) or
// the long layout's range (g), samples (y) and unitch (z), and those into
// the columns. The view is kept short enough for the schema to fit the
// first page, which every open reads.
std::string schemaV3() {
    std::string bytes = "X'";
    char h[3];
    for (int i = 0; i < 256; ++i) {
        std::snprintf(h, sizeof h, "%02x", i);
        bytes += h;
    }
    bytes += "'";
    const std::string r6 = std::to_string(kLon6Radix), r7 = std::to_string(kLon7Radix);
    // The rest of each short layout: its bytes after the first four, and
    // unitch, range and samples out of it.
    std::string rest = "CASE s", unitch = "CASE s", range = "CASE s", samples = "CASE s";
    std::string more = "w";
    int restBytes = 4;
    for (const ShortLayout& l : kShortLayouts) {
        for (; restBytes < l.size - 11; ++restBytes)
            more = "(" + more + "*256+" + sqlBytes(12 + restBytes, 1) + ")";
        const std::string when = " WHEN " + std::to_string(l.size) + " THEN ";
        rest += when + more;
        unitch += when + "r>>" + std::to_string(l.rangeBits + l.samplesBits);
        range += when + "r>>" + std::to_string(l.samplesBits) + "&" +
                 std::to_string((1 << l.rangeBits) - 1);
        samples += when + "r&" + std::to_string((1 << l.samplesBits) - 1);
    }
    return "CREATE TABLE networks(id INTEGER PRIMARY KEY, radio TEXT NOT NULL,"
           " mcc INTEGER NOT NULL, net INTEGER NOT NULL);"
           "CREATE TABLE wide_cells(netarea INTEGER NOT NULL, cell INTEGER NOT NULL,"
           " data BLOB NOT NULL, PRIMARY KEY(netarea, cell)) WITHOUT ROWID;"
           "CREATE TABLE packed_cells(k INTEGER PRIMARY KEY, data BLOB NOT NULL);"
           "CREATE VIEW cells AS SELECT radio, mcc, net, area, cell, (u>>1)-1 AS unit,"
           " (CASE WHEN s<26 THEN p%" +
           r6 + "*10 ELSE p%" + r7 +
           " END-1800000000)/1e7 AS lon,"
           " (CASE WHEN s<26 THEN p/" +
           r6 + "*10 ELSE p/" + r7 + " END-900000000)/1e7 AS lat, " + range +
           " ELSE g END AS range, " + samples +
           " ELSE y END AS samples, u&1 AS changeable, t AS updated FROM networks JOIN"
           " (SELECT *, " +
           unitch + " ELSE z END AS u FROM (SELECT net AS id, area, cell, s," +
           " CASE WHEN s<26 THEN q ELSE q*256+" + sqlBytes(8, 1) +
           " END AS p, CASE WHEN s<26 THEN " + sqlBytes(8, 4) + " ELSE " + sqlBytes(9, 8, true) +
           " END AS t, " + rest + " END AS r, " + sqlBytes(17, 4) + " AS g, " + sqlBytes(21, 4) +
           " AS y, " + sqlBytes(25, 2) + " AS z FROM (SELECT *, length(data) AS s, " +
           sqlBytes(1, 7) + " AS q, " + sqlBytes(12, 4) + " AS w FROM (SELECT " + bytes +
           " AS b) JOIN (SELECT k>>44 AS net, k>>28&65535 AS area, k&268435455 AS cell, data"
           " FROM packed_cells UNION ALL SELECT netarea>>24, netarea&16777215, cell, data"
           " FROM wide_cells)))) USING(id);";
}

// funkor_updated(blob): the `updated` of a version 3 blob, for the update's
// comparison of a cell's new row with its stored one (registered on the
// update's connection only; the file does not need it).
void updatedOfBlob(sqlite3_context* ctx, int, sqlite3_value** args) {
    CellDbPosition p;
    if (decodeFigures(sqlite3_value_blob(args[0]), sqlite3_value_bytes(args[0]), p))
        sqlite3_result_int64(ctx, p.updated);
    else
        sqlite3_result_null(ctx);
}

}  // namespace

// The networks of a version 3 file: (radio·10⁶ + mcc·10³ + net, number),
// sorted; new ones get the next number.
class NetworkNumbers {
  public:
    // Reads the file's `networks`; false when they cannot be read.
    bool read(sqlite3* db) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT id, radio, mcc, net FROM networks", -1, &s, nullptr) !=
            SQLITE_OK)
            return false;
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            const auto* radio = reinterpret_cast<const char*>(sqlite3_column_text(s, 1));
            const std::int64_t id = sqlite3_column_int64(s, 0);
            const int code = radioCode(radio ? radio : "");
            if (code == 0 || id <= 0) continue;
            known_.emplace_back(
                code * 1000000LL + sqlite3_column_int64(s, 2) * 1000 + sqlite3_column_int64(s, 3),
                id);
            next_ = std::max(next_, id + 1);
        }
        sqlite3_finalize(s);
        std::sort(known_.begin(), known_.end());
        return rc == SQLITE_DONE;
    }
    // The number of the network, 0 when the file has none.
    std::int64_t find(std::int64_t code) const {
        const auto it = std::lower_bound(known_.begin(), known_.end(),
                                         std::pair<std::int64_t, std::int64_t>{code, 0});
        return it != known_.end() && it->first == code ? it->second : 0;
    }
    // The number of the network, a new one when it has none yet.
    std::int64_t take(std::int64_t code) {
        if (const std::int64_t id = find(code)) return id;
        added_.emplace_back(code, next_);
        known_.insert(std::lower_bound(known_.begin(), known_.end(),
                                       std::pair<std::int64_t, std::int64_t>{code, 0}),
                      {code, next_});
        return next_++;
    }
    // Writes the networks numbered since `read`; empty, or SQLite's reason.
    std::string writeAdded(sqlite3* db) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, "INSERT INTO networks VALUES(?1, ?2, ?3, ?4)", -1, &s,
                               nullptr) != SQLITE_OK)
            return sqlite3_errmsg(db);
        std::string error;
        for (const auto& [code, id] : added_) {
            const std::string_view radio = kRadios[code / 1000000];
            sqlite3_bind_int64(s, 1, id);
            sqlite3_bind_text(s, 2, radio.data(), static_cast<int>(radio.size()), SQLITE_STATIC);
            sqlite3_bind_int64(s, 3, code / 1000 % 1000);
            sqlite3_bind_int64(s, 4, code % 1000);
            if (sqlite3_step(s) != SQLITE_DONE) {
                error = sqlite3_errmsg(db);
                break;
            }
            sqlite3_reset(s);
        }
        sqlite3_finalize(s);
        if (error.empty()) added_.clear();
        return error;
    }

  private:
    std::vector<std::pair<std::int64_t, std::int64_t>> known_, added_;
    std::int64_t next_ = 1;
};

namespace {

// One statement run to its end; false (with `error` set) when it fails.
bool exec(sqlite3* db, const char* sql, std::string* error = nullptr) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK && error) *error = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

// The compressed or plain input, read in large blocks and cut into lines.
class LineReader {
  public:
    bool open(const std::string& path) {
        if (path == "-") {
            fd_ = dup(0);
            file_ = fd_ >= 0 ? gzdopen(fd_, "rb") : nullptr;
        } else {
            struct stat st {};
            if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) size_ = st.st_size;
            file_ = gzopen(path.c_str(), "rb");
        }
        if (!file_) return false;
        gzbuffer(file_, 1 << 17);
        buffer_.resize(1 << 20);
        ahead_ = std::make_shared<ReadAhead>();
        ahead_->file = file_;
        std::thread([ahead = ahead_] { ahead->run(); }).detach();
        return true;
    }
    LineReader() = default;
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    ~LineReader() {
        // The reading thread closes the file. It is not waited for: it may
        // be waiting on a pipe whose writer never ends.
        if (ahead_) ahead_->stop();
    }
    // The next line without its LF (a CR before it is taken off); `tooLong`
    // when the line was longer than any row and was passed over.
    bool next(std::string_view& line, bool& tooLong) {
        tooLong = false;
        while (true) {
            const char* begin = buffer_.data() + at_;
            const char* end = buffer_.data() + filled_;
            const char* lf = static_cast<const char*>(std::memchr(begin, '\n', end - begin));
            if (lf) {
                std::size_t n = lf - begin;
                at_ += n + 1;
                if (discarding_) {
                    discarding_ = false;
                    tooLong = true;
                    line = {};
                    return true;
                }
                if (n > 0 && begin[n - 1] == '\r') --n;
                line = std::string_view(begin, n);
                if (n > kMaxLine) {
                    tooLong = true;
                    line = {};
                }
                return true;
            }
            // No line end in the buffer: keep the rest, read more.
            const std::size_t rest = filled_ - at_;
            if (rest > kMaxLine) {
                discarding_ = true;  // far too long: drop it up to its line end
                at_ = filled_ = 0;
            } else {
                std::memmove(buffer_.data(), begin, rest);
                at_ = 0;
                filled_ = rest;
            }
            if (eof_) {
                if (filled_ == 0) {
                    if (!discarding_) return false;
                    discarding_ = false;
                    tooLong = true;
                    line = {};
                    return true;
                }
                std::size_t n = filled_;
                if (buffer_[n - 1] == '\r') --n;
                line = std::string_view(buffer_.data(), n);
                at_ = filled_;
                if (discarding_) {
                    discarding_ = false;
                    tooLong = true;
                    line = {};
                }
                return true;
            }
            int zerr = Z_OK, e = 0;
            const long got =
                ahead_->read(buffer_.data() + filled_, buffer_.size() - filled_, zerr, e);
            if (got < 0) {
                if (zerr == Z_ERRNO) readError_ = std::strerror(e);
                failed_ = true;
                return false;
            }
            if (got == 0) {
                // zlib hands out what it could inflate and ends a stream that
                // stops before its trailer like a whole one; only the error
                // state tells the two apart.
                truncated_ = zerr == Z_BUF_ERROR;
                eof_ = true;
            }
            filled_ += static_cast<std::size_t>(got);
        }
    }
    std::int64_t bytesRead() const { return ahead_ ? ahead_->offset.load() : 0; }
    std::int64_t size() const { return size_; }
    // The input could not be read on (damaged gzip data, or `readError`).
    bool failed() const { return failed_; }
    // The system's reason when reading failed, empty for damaged data.
    const std::string& readError() const { return readError_; }
    // A gzip stream ended before its trailer: the file is cut short.
    bool truncated() const { return truncated_; }

  private:
    // Reads and inflates the input on a thread of its own, a few blocks
    // ahead of the parser, so that decompressing and parsing a gzip file
    // share the two cores.
    struct ReadAhead {
        struct Block {
            std::vector<char> data;
            std::size_t at = 0;
            long got = 0;  // as gzread: bytes, 0 at the end, -1 failed
            int zerr = Z_OK, error = 0;
        };
        static constexpr std::size_t kBlock = 1 << 20, kAhead = 4;

        gzFile file = nullptr;
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<Block> full;
        std::vector<std::vector<char>> spare;
        bool stopped = false;
        std::atomic<std::int64_t> offset{0};

        void run() {
            while (true) {
                Block b;
                {
                    std::unique_lock l(mutex);
                    changed.wait(l, [&] { return stopped || full.size() < kAhead; });
                    if (stopped) break;
                    if (!spare.empty()) {
                        b.data = std::move(spare.back());
                        spare.pop_back();
                    }
                }
                b.data.resize(kBlock);
                b.got = gzread(file, b.data.data(), static_cast<unsigned>(kBlock));
                b.error = errno;
                if (b.got <= 0) gzerror(file, &b.zerr);
                const z_off_t off = gzoffset(file);
                if (off > 0) offset = static_cast<std::int64_t>(off);
                const bool last = b.got <= 0;
                {
                    std::lock_guard l(mutex);
                    full.push_back(std::move(b));
                }
                changed.notify_all();
                if (last) break;
            }
            gzclose(file);
        }
        void stop() {
            {
                std::lock_guard l(mutex);
                stopped = true;
            }
            changed.notify_all();
        }
        // Like gzread into `out`; at the end and on failure `zerr` and
        // `error` hold zlib's and the system's word.
        long read(char* out, std::size_t n, int& zerr, int& error) {
            std::unique_lock l(mutex);
            changed.wait(l, [&] { return !full.empty(); });
            Block& b = full.front();
            zerr = b.zerr;
            error = b.error;
            if (b.got <= 0) return b.got;
            n = std::min(n, static_cast<std::size_t>(b.got) - b.at);
            std::memcpy(out, b.data.data() + b.at, n);
            b.at += n;
            if (b.at == static_cast<std::size_t>(b.got)) {
                spare.push_back(std::move(b.data));
                full.pop_front();
                l.unlock();
                changed.notify_all();
            }
            return static_cast<long>(n);
        }
    };

    gzFile file_ = nullptr;
    std::shared_ptr<ReadAhead> ahead_;
    int fd_ = -1;
    std::vector<char> buffer_;
    std::size_t at_ = 0, filled_ = 0;
    bool eof_ = false, discarding_ = false, failed_ = false, truncated_ = false;
    std::string readError_;
    std::int64_t size_ = 0;
};

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Empty when `csvPath` can be opened as the import's input; else why not,
// in German. A folder opens like a file but fails on its first read, which
// would read as damaged data.
std::string inputProblem(const std::string& csvPath) {
    struct stat st {};
    const int rc = csvPath == "-" ? fstat(STDIN_FILENO, &st) : stat(csvPath.c_str(), &st);
    if (rc != 0) return "Die Datei " + csvPath + " lässt sich nicht lesen.";
    if (S_ISDIR(st.st_mode))
        return (csvPath == "-" ? std::string("Die Standardeingabe") : "Die Eingabe " + csvPath) +
               " ist ein Ordner, keine CSV-Datei.";
    return {};
}

// Empty when the new database can be built in the folder of `dbPath`; else
// why not, in German, naming the folder.
std::string folderProblem(const std::string& dbPath) {
    const std::string folder = folderOf(dbPath);
    if (access(folder.c_str(), W_OK) == 0) return {};
    const int e = errno;
    if (e == ENOENT || e == ENOTDIR)
        return "Der Ordner " + folder + " fehlt; die Zellen-Datenbank " + dbPath +
               " lässt sich dort nicht anlegen.";
    if (e == EACCES || e == EPERM || e == EROFS)
        return "Der Ordner " + folder + " ist nicht beschreibbar; die Zellen-Datenbank " + dbPath +
               " lässt sich dort nicht anlegen.";
    return "Der Ordner " + folder + " lässt sich nicht beschreiben: " + std::strerror(e) + ".";
}

// An exclusive lock on "<database>.lock" for as long as it lives, so that
// two imports into one database never run at once. The lock file stays
// (removing it would let a third import lock a file of its own while the
// second still holds the old one); the kernel drops the lock when the
// process ends, also when it is killed.
class ImportLock {
  public:
    ImportLock() = default;
    ImportLock(const ImportLock&) = delete;
    ImportLock& operator=(const ImportLock&) = delete;
    ~ImportLock() {
        if (fd_ >= 0) ::close(fd_);
    }
    // Empty on success, else the German reason. A file system that knows
    // no locks leaves the import unlocked (`held` false): its scratch files
    // have names of their own, so imports at once still do not mix.
    std::string take(const std::string& dbPath) {
        const std::string path = dbPath + ".lock";
        fd_ = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ < 0)
            return "Die Sperrdatei " + path + " lässt sich nicht anlegen: " + std::strerror(errno) +
                   ".";
        if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
        } else if (errno == EWOULDBLOCK) {
            return "Ein anderer Import in die Zellen-Datenbank " + dbPath +
                   " läuft gerade; dieser wurde nicht gestartet.";
        }
        return {};
    }
    bool held() const { return held_; }

  private:
    int fd_ = -1;
    bool held_ = false;
};

// Sorts rows of any count in bounded memory: they gather in a run of
// `runRows`; a full run is sorted on a second thread and written to a
// scratch file of its own (newest row per cell only) while the next run is
// read. The last run stays in memory, and `next` merges the runs, handing
// out each cell once, its newest row.
class RunSorter {
  public:
    RunSorter(std::string filePrefix, std::size_t runRows)
        : prefix_(std::move(filePrefix)), runRows_(std::max<std::size_t>(runRows, 1)) {
        current_.reserve(runRows_);
    }
    RunSorter(const RunSorter&) = delete;
    RunSorter& operator=(const RunSorter&) = delete;
    ~RunSorter() {
        wait();
        for (auto& s : sources_)
            if (s.file) std::fclose(s.file);
        for (const auto& f : files_) std::remove(f.c_str());
    }

    // False once a run could not be written (`error` says why).
    bool add(const PackedCell& c) {
        if (current_.size() >= runRows_ && !spill()) return false;
        current_.push_back(c);
        return true;
    }

    // Sorts the last run (while the previous one is still being written)
    // and readies the merge.
    bool finish() {
        std::sort(current_.begin(), current_.end(), packedBefore);
        wait();
        if (!error_.empty()) return false;
        for (const auto& f : files_) {
            Source s;
            s.file = std::fopen(f.c_str(), "rb");
            if (!s.file) {
                error_ = "Die Hilfsdatei " + f + " lässt sich nicht lesen.";
                return false;
            }
            s.buffer.resize(kReadRows);
            sources_.push_back(std::move(s));
        }
        Source last;
        last.buffer.swap(current_);
        last.end = last.buffer.size();
        sources_.push_back(std::move(last));
        for (auto& s : sources_)
            if (s.at == s.end) refill(s);
        return error_.empty();
    }

    // The next cell in key order, its newest row; false at the end or when
    // a run file could not be read (then `error` is set).
    bool next(PackedCell& out) {
        while (true) {
            Source* best = nullptr;
            for (auto& s : sources_)
                if (s.at < s.end && (!best || packedBefore(s.buffer[s.at], best->buffer[best->at])))
                    best = &s;
            if (!best) return false;
            out = best->buffer[best->at++];
            if (best->at == best->end) refill(*best);
            if (!error_.empty()) return false;
            if (any_ && out.netArea == last_.netArea && out.cell == last_.cell) continue;
            any_ = true;
            last_ = out;
            return true;
        }
    }

    const std::string& error() const { return error_; }
    std::size_t runFiles() const { return files_.size(); }

  private:
    static constexpr std::size_t kReadRows = 16384;

    struct Source {
        std::FILE* file = nullptr;
        std::vector<PackedCell> buffer;
        std::size_t at = 0, end = 0;
    };

    void wait() {
        if (worker_.joinable()) worker_.join();
    }

    bool spill() {
        wait();
        if (!error_.empty()) return false;
        pending_.swap(current_);
        current_.clear();
        current_.reserve(runRows_);
        files_.push_back(prefix_ + std::to_string(files_.size() + 1));
        worker_ = std::thread([this, path = files_.back()] { error_ = writeRun(path); });
        return true;
    }

    // Sorts `pending_` and writes it to `path`; empty, or why not.
    std::string writeRun(const std::string& path) {
        std::sort(pending_.begin(), pending_.end(), packedBefore);
        // The newest row of each cell only: the rest would be dropped in
        // the merge anyway.
        const auto end = std::unique(pending_.begin(), pending_.end(),
                                     [](const PackedCell& a, const PackedCell& b) {
                                         return a.netArea == b.netArea && a.cell == b.cell;
                                     });
        std::FILE* f = std::fopen(path.c_str(), "wb");
        const std::size_t n = static_cast<std::size_t>(end - pending_.begin());
        bool ok = f && std::fwrite(pending_.data(), sizeof(PackedCell), n, f) == n;
        const int e = errno;
        if (f && std::fclose(f) != 0) ok = false;
        pending_.clear();
        if (ok) return {};
        return "Die Hilfsdatei " + path + " lässt sich nicht schreiben: " + std::strerror(e) + ".";
    }

    void refill(Source& s) {
        s.at = s.end = 0;
        if (!s.file) return;
        s.end = std::fread(s.buffer.data(), sizeof(PackedCell), s.buffer.size(), s.file);
        if (s.end == 0 && std::ferror(s.file))
            error_ = "Eine Hilfsdatei der Sortierung lässt sich nicht lesen.";
    }

    std::string prefix_;
    std::size_t runRows_;
    std::vector<PackedCell> current_, pending_;
    std::vector<std::string> files_;
    std::vector<Source> sources_;
    std::thread worker_;
    std::string error_;
    PackedCell last_;
    bool any_ = false;
};

// The merged rows as a table of their own ("funkor_feed": k, cell, data as
// in FeedRow) for a single INSERT ... SELECT: SQLite then runs its own
// loop, without a statement step, reset and binds per row.
using RowSource = std::function<bool(FeedRow&)>;

struct FeedTable {
    sqlite3_vtab base{};
    RowSource* source = nullptr;
};

struct FeedCursor {
    sqlite3_vtab_cursor base{};
    RowSource* source = nullptr;
    FeedRow row;
    sqlite3_int64 n = 0;
    bool eof = true;
};

int feedConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
    const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(k INTEGER, cell INTEGER, data BLOB)");
    if (rc != SQLITE_OK) return rc;
    auto* t = new FeedTable;
    t->source = static_cast<RowSource*>(aux);
    *out = &t->base;
    return SQLITE_OK;
}

int feedDisconnect(sqlite3_vtab* t) {
    delete reinterpret_cast<FeedTable*>(t);
    return SQLITE_OK;
}

int feedBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
    info->estimatedCost = 1e9;
    return SQLITE_OK;
}

int feedOpen(sqlite3_vtab* t, sqlite3_vtab_cursor** out) {
    auto* c = new FeedCursor;
    c->source = reinterpret_cast<FeedTable*>(t)->source;
    *out = &c->base;
    return SQLITE_OK;
}

int feedClose(sqlite3_vtab_cursor* c) {
    delete reinterpret_cast<FeedCursor*>(c);
    return SQLITE_OK;
}

int feedNext(sqlite3_vtab_cursor* cur) {
    auto* c = reinterpret_cast<FeedCursor*>(cur);
    c->eof = !(*c->source)(c->row);
    ++c->n;
    return SQLITE_OK;
}

int feedFilter(sqlite3_vtab_cursor* cur, int, const char*, int, sqlite3_value**) {
    return feedNext(cur);
}

int feedEof(sqlite3_vtab_cursor* cur) {
    return reinterpret_cast<FeedCursor*>(cur)->eof ? 1 : 0;
}

int feedColumn(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int i) {
    const FeedRow& r = reinterpret_cast<FeedCursor*>(cur)->row;
    if (i == 2)
        sqlite3_result_blob(ctx, r.data, r.size, SQLITE_TRANSIENT);
    else
        sqlite3_result_int64(ctx, i == 0 ? r.key : r.cell);
    return SQLITE_OK;
}

int feedRowid(sqlite3_vtab_cursor* cur, sqlite3_int64* rowid) {
    *rowid = reinterpret_cast<FeedCursor*>(cur)->n;
    return SQLITE_OK;
}

const sqlite3_module* feedModule() {
    static const sqlite3_module m = [] {
        sqlite3_module x{};
        x.xConnect = feedConnect;  // no xCreate: the table exists by its name alone
        x.xBestIndex = feedBestIndex;
        x.xDisconnect = feedDisconnect;
        x.xDestroy = feedDisconnect;
        x.xOpen = feedOpen;
        x.xClose = feedClose;
        x.xFilter = feedFilter;
        x.xNext = feedNext;
        x.xEof = feedEof;
        x.xColumn = feedColumn;
        x.xRowid = feedRowid;
        return x;
    }();
    return &m;
}

// Runs `sql` (an INSERT ... SELECT ... FROM funkor_feed) over the rows
// `source` hands out; empty, or SQLite's reason.
std::string insertFrom(sqlite3* db, const char* sql, RowSource& source) {
    if (sqlite3_create_module(db, "funkor_feed", feedModule(), &source) != SQLITE_OK)
        return sqlite3_errmsg(db);
    std::string error;
    exec(db, sql, &error);
    return error;
}

// Writes the cells too wide for the rowid into `wide_cells` while the feed
// runs (a statement of its own on the same connection).
class WideWriter {
  public:
    WideWriter() = default;
    WideWriter(const WideWriter&) = delete;
    WideWriter& operator=(const WideWriter&) = delete;
    ~WideWriter() { finish(); }
    // `sql` inserts ?1 netarea, ?2 cell, ?3 data; false when it cannot be
    // prepared (`error` says why).
    bool prepare(sqlite3* db, const std::string& sql) {
        db_ = db;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) == SQLITE_OK) return true;
        error_ = sqlite3_errmsg(db);
        return false;
    }
    bool write(const FeedRow& r) {
        sqlite3_bind_int64(stmt_, 1, r.key);
        sqlite3_bind_int64(stmt_, 2, r.cell);
        sqlite3_bind_blob(stmt_, 3, r.data, r.size, SQLITE_STATIC);
        const bool ok = sqlite3_step(stmt_) == SQLITE_DONE;
        if (ok)
            changed_ += sqlite3_changes(db_);
        else
            error_ = sqlite3_errmsg(db_);
        sqlite3_reset(stmt_);
        return ok;
    }
    void finish() {
        if (stmt_) sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
    std::int64_t changed() const { return changed_; }
    const std::string& error() const { return error_; }

  private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    std::int64_t changed_ = 0;
    std::string error_;
};

// The merged cell `c` as a row of version 3, its network numbered on the
// way; false when it belongs in `wide_cells` (then `out.key` is its
// netarea).
bool feedRowOf(const PackedCell& c, NetworkNumbers& networks, FeedRow& out) {
    const std::int64_t id = networks.take(c.netArea >> 24);
    const std::int64_t area = c.netArea & (kCellDbAreaLimit - 1);
    out.cell = c.cell;
    out.size = encodeFigures(c, out.data);
    if (compactKey(id, area, c.cell, out.key)) return true;
    out.key = (id << 24) | area;
    return false;
}

// Hands `source` the merged cells of `sorter` for packed_cells, writing
// the wide ones with `wide`; `written` counts every cell.
RowSource feedOf(RunSorter& sorter, NetworkNumbers& networks, WideWriter& wide,
                 const std::function<void()>& written) {
    return [&sorter, &networks, &wide, written](FeedRow& r) {
        PackedCell c;
        while (sorter.next(c)) {
            written();
            if (feedRowOf(c, networks, r)) return true;
            if (!wide.write(r)) return false;
        }
        return false;
    };
}

// Removes the scratch files that imports killed before their end left
// beside `dbPath`: "<name>.import", "<name>.import-<pid>" and the same with
// "-sort" or "-sort<n>" (the sorted runs) after it. Only under the import
// lock, when no other import can be using them.
void removeLeftovers(const std::string& dbPath) {
    const std::size_t slash = dbPath.rfind('/');
    const std::string prefix =
        (slash == std::string::npos ? dbPath : dbPath.substr(slash + 1)) + ".import";
    std::error_code ec;
    std::filesystem::directory_iterator it(folderOf(dbPath), ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        std::string_view rest = std::string_view(name).substr(prefix.size());
        const std::size_t sort = rest.rfind("-sort");
        if (sort != std::string_view::npos &&
            rest.find_first_not_of("0123456789", sort + 5) == std::string_view::npos)
            rest = rest.substr(0, sort);
        if (!rest.empty()) {
            if (rest.size() < 2 || rest[0] != '-' ||
                rest.find_first_not_of("0123456789", 1) != std::string_view::npos)
                continue;
        }
        std::error_code ignored;
        std::filesystem::remove(it->path(), ignored);
    }
}

std::string sqliteText(sqlite3* db) {
    return db ? sqlite3_errmsg(db) : "kein Speicher";
}

// Reads the data lines of `in` into `sorter`, counting into `result`;
// empty, or why the import cannot go on (the input unreadable, cut short
// or a run not written).
std::string readRows(LineReader& in, const std::string& csvPath, const CellImportOptions& options,
                     RunSorter& sorter, CellImportResult& result,
                     const std::function<void()>& report) {
    std::vector<bool> wanted;
    if (!options.mccs.empty()) {
        wanted.assign(1000, false);
        for (int m : options.mccs)
            if (m >= 0 && m < 1000) wanted[static_cast<std::size_t>(m)] = true;
    }
    const std::int64_t every = std::max<std::int64_t>(options.progressEvery, 1);
    std::string_view line;
    bool tooLong = false;
    std::int64_t lineNo = 0;
    RowFields row;
    auto problem = [&](CsvRowError e) {
        ++result.skipped;
        if (result.problems.size() < options.problemsKept) result.problems.push_back({lineNo, e});
    };
    while (in.next(line, tooLong)) {
        ++lineNo;
        if (tooLong) {
            ++result.read;
            problem(CsvRowError::TooLong);
            continue;
        }
        // A UTF-8 byte-order mark, as Windows editors write it before the
        // first line (also of files joined one after another).
        if (!line.empty() && line[0] == '\xEF' && line.starts_with("\xEF\xBB\xBF"))
            line.remove_prefix(3);
        // The header, also where files were joined one after another.
        if (isCellCsvHeader(line)) continue;
        ++result.read;
        if (result.read % every == 0) report();
        const CsvRowError e = parseFields(line, row);
        if (e != CsvRowError::None) {
            problem(e);
            continue;
        }
        if (!wanted.empty() && !wanted[static_cast<std::size_t>(row.mcc)]) {
            ++result.filtered;
            continue;
        }
        if (!sorter.add(pack(row))) return sorter.error();
    }
    if (in.failed() && !in.readError().empty())
        return "Die Datei " + csvPath + " lässt sich nicht lesen: " + in.readError() + ".";
    if (in.failed())
        return "Die Datei " + csvPath + " ist beschädigt (gzip) und wurde nicht übernommen.";
    if (in.truncated())
        return "Die Datei " + csvPath +
               " ist unvollständig (der gzip-Datenstrom bricht vor seinem Ende ab) und wurde "
               "nicht übernommen.";
    return {};
}

}  // namespace

std::string_view csvRowErrorText(CsvRowError e) {
    switch (e) {
        case CsvRowError::None:
            return "ok";
        case CsvRowError::Empty:
            return "empty line";
        case CsvRowError::TooFewFields:
            return "too few fields";
        case CsvRowError::BadRadio:
            return "unknown radio";
        case CsvRowError::NotANumber:
            return "not a number";
        case CsvRowError::OffTheEarth:
            return "coordinates off the earth";
        case CsvRowError::TooLong:
            return "line too long";
    }
    return "?";
}

bool isCellCsvHeader(std::string_view line) {
    return line.substr(0, 6) == "radio," || line == "radio";
}

CsvRowError parseCellCsvRow(std::string_view line, CellDbRow& row) {
    RowFields f;
    const CsvRowError e = parseFields(line, f);
    if (e != CsvRowError::None) return e;
    row.key.radio.assign(kRadios[f.radio]);
    row.key.mcc = f.mcc;
    row.key.net = f.net;
    row.key.area = f.area;
    row.key.cell = f.cell;
    row.longitude = static_cast<double>(f.lon7) / 1e7;
    row.latitude = static_cast<double>(f.lat7) / 1e7;
    row.range = f.range;
    row.samples = f.samples;
    row.changeable = f.changeable;
    row.updated = f.updated;
    row.unit = f.unit;
    return CsvRowError::None;
}

std::string cellCsvRow(const CellDbRow& row) {
    char buf[320];
    char range[24] = "";
    char unit[24] = "";
    if (row.range > 0) std::snprintf(range, sizeof range, "%d", row.range);
    if (row.unit >= 0) std::snprintf(unit, sizeof unit, "%d", row.unit);
    // %.7f: a tenth of a micro-degree, about 1 cm, more than any cell needs.
    std::snprintf(buf, sizeof buf, "%s,%d,%d,%lld,%lld,%s,%.7f,%.7f,%s,%d,%d,%lld,%lld,0",
                  row.key.radio.c_str(), row.key.mcc, row.key.net,
                  static_cast<long long>(row.key.area), static_cast<long long>(row.key.cell), unit,
                  row.longitude, row.latitude, range, row.samples, row.changeable ? 1 : 0,
                  static_cast<long long>(row.created ? row.created : row.updated),
                  static_cast<long long>(row.updated));
    return buf;
}

CellImportResult importCellCsv(const std::string& csvPath, const std::string& dbPath,
                               const CellImportOptions& options) {
    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    CellImportResult result;
    result.error = inputProblem(csvPath);
    if (result.error.empty()) result.error = folderProblem(dbPath);
    // Locked before the input is opened: opening a pipe waits for its
    // writer, and the lock is to be refused at once.
    ImportLock lock;
    if (result.error.empty()) result.error = lock.take(dbPath);
    if (!result.error.empty()) return result;
    LineReader in;
    if (!in.open(csvPath)) {
        result.error = "Die Datei " + csvPath + " lässt sich nicht lesen.";
        return result;
    }

    // Built beside the database, so that the final rename stays on one file
    // system, under names of this process alone, so that an import that
    // runs without the lock touches no other's files. What imports that
    // were killed left is removed first.
    const std::string building = dbPath + ".import-" + std::to_string(getpid());
    const std::string scratch = building + "-sort";
    if (lock.held()) removeLeftovers(dbPath);
    std::remove(building.c_str());
    std::remove(scratch.c_str());
    RunSorter sorter(scratch, options.runRows);
    sqlite3* db = nullptr;
    auto fail = [&](const std::string& what) {
        result.ok = false;
        result.error = what;
        if (db) sqlite3_close(db);
        db = nullptr;
        std::remove(building.c_str());
        std::remove(scratch.c_str());
        result.seconds = elapsed();
        return result;
    };
    if (sqlite3_open_v2(scratch.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        return fail("Die Zellen-Datenbank " + scratch +
                    " lässt sich nicht anlegen: " + sqliteText(db) + ".");

    // The table is built in a scratch file that no one uses, so it needs
    // neither a journal nor waits for the disk. The rows are sorted by key
    // first (in runs of bounded size, merged at the end) and go into the
    // table in that order. SQLite splits the pages of a keyed table so
    // that they stay about seven eighths full; copying the finished table
    // into the new database (VACUUM INTO, record by record in key order)
    // fills them up, an eighth less on disk for a tenth more time. Pages of
    // 4 KB: a lookup reads the least (16 KB pages build the table a tenth
    // faster, but a lookup then copies four times the bytes).
    std::string sqlError;
    char pragmas[512];
    std::snprintf(pragmas, sizeof pragmas,
                  "PRAGMA page_size=4096; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                  " PRAGMA locking_mode=EXCLUSIVE; PRAGMA cache_size=-16384;"
                  " PRAGMA application_id=%d; PRAGMA user_version=%d;",
                  kCellDbApplicationId, kCellDbVersion);
    if (!exec(db, pragmas, &sqlError) || !exec(db, schemaV3().c_str(), &sqlError))
        return fail("Die Zellen-Datenbank lässt sich nicht anlegen: " + sqlError + ".");

    CellImportProgress progress;
    progress.bytesTotal = in.size();
    auto report = [&] {
        if (!options.progress) return;
        progress.rows = result.read;
        progress.bytesRead = in.bytesRead();
        progress.seconds = elapsed();
        options.progress(progress);
    };
    if (const std::string e = readRows(in, csvPath, options, sorter, result, report); !e.empty())
        return fail(e);
    if (result.read == result.skipped + result.filtered && !options.allowEmpty) {
        result.empty = true;
        return fail("Die Datei " + csvPath + " enthält keine Zellen" +
                    (result.filtered > 0 ? " der gewählten Länder" : "") +
                    "; die Zellen-Datenbank " + dbPath + " wurde nicht geschrieben.");
    }
    if (!sorter.finish()) return fail(sorter.error());

    const std::int64_t every = std::max<std::int64_t>(options.progressEvery, 1);
    NetworkNumbers networks;
    WideWriter wide;
    if (!wide.prepare(db, "INSERT INTO wide_cells VALUES(?1, ?2, ?3)"))
        return fail("Die Zellen-Datenbank lässt sich nicht anlegen: " + wide.error() + ".");
    RowSource source = feedOf(sorter, networks, wide, [&] {
        if (++progress.written % every == 0) report();
    });
    sqlError = insertFrom(db,
                          "BEGIN; INSERT INTO packed_cells(k, data) SELECT k, data FROM"
                          " funkor_feed; COMMIT;",
                          source);
    wide.finish();
    if (sqlError.empty()) sqlError = sorter.error();
    if (sqlError.empty()) sqlError = wide.error();
    if (sqlError.empty()) sqlError = networks.writeAdded(db);
    if (!sqlError.empty())
        return fail("Die Zellen-Datenbank lässt sich nicht schreiben: " + sqlError + ".");
    result.stored = progress.written;
    std::string into = "VACUUM INTO '";
    for (char c : building) into += c == '\'' ? std::string("''") : std::string(1, c);
    into += "';";
    if (!exec(db, into.c_str(), &sqlError))
        return fail("Die Zellen-Datenbank lässt sich nicht schreiben: " + sqlError + ".");
    if (sqlite3_close(db) != SQLITE_OK) {
        db = nullptr;
        return fail("Die Zellen-Datenbank lässt sich nicht abschließen.");
    }
    db = nullptr;
    std::remove(scratch.c_str());
    // The new file reaches the disk before it takes the old one's name.
    if (FILE* f = std::fopen(building.c_str(), "rb")) {
        fsync(fileno(f));
        std::fclose(f);
    }
    if (std::rename(building.c_str(), dbPath.c_str()) != 0)
        return fail("Die Zellen-Datenbank " + dbPath + " lässt sich nicht ersetzen.");
    if (FILE* d = std::fopen(folderOf(dbPath).c_str(), "rb")) {
        fsync(fileno(d));
        std::fclose(d);
    }
    result.ok = true;
    report();
    result.seconds = elapsed();
    return result;
}

namespace {

// The application id and layout version of an open file; false when they
// cannot be read (not SQLite, damaged, or a hot journal that a read-only
// connection cannot roll back: `rc` says which).
bool readIds(sqlite3* db, int& applicationId, int& version, int& rc) {
    sqlite3_stmt* s = nullptr;
    rc = sqlite3_prepare_v2(db, "PRAGMA application_id", -1, &s, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) applicationId = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    if (rc != SQLITE_ROW) return false;
    rc = sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) version = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    return rc == SQLITE_ROW;
}

}  // namespace

CellImportResult updateCellDb(const std::string& csvPath, const std::string& dbPath,
                              const CellImportOptions& options) {
    const auto started = std::chrono::steady_clock::now();
    auto elapsed = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    };
    CellImportResult result;
    struct stat st {};
    result.error = inputProblem(csvPath);
    if (result.error.empty() && (stat(dbPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)))
        result.error = "Die Zellen-Datenbank " + dbPath +
                       " fehlt; ein Abgleich braucht eine vollständig importierte.";
    if (result.error.empty()) result.error = folderProblem(dbPath);
    ImportLock lock;
    if (result.error.empty()) result.error = lock.take(dbPath);
    if (!result.error.empty()) return result;

    sqlite3* db = nullptr;
    auto fail = [&](const std::string& what) {
        result.ok = false;
        result.error = what;
        if (db) {
            exec(db, "ROLLBACK;");
            sqlite3_close(db);
        }
        db = nullptr;
        result.seconds = elapsed();
        return result;
    };
    // Opening it read-write rolls back what an update killed before its
    // end left in the journal.
    int id = 0, version = 0, rc = SQLITE_OK;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        !readIds(db, id, version, rc))
        return fail("Die Zellen-Datenbank " + dbPath +
                    " ist beschädigt oder keine SQLite-Datei; bitte neu importieren.");
    if (id != kCellDbApplicationId)
        return fail("Die Datei " + dbPath + " ist keine Zellen-Datenbank von Funkor.");
    if (version != kCellDbVersion)
        return fail("Die Zellen-Datenbank " + dbPath + " hat das Format " +
                    std::to_string(version) + "; ein Abgleich braucht erst einen vollständigen " +
                    "Import (funkor-tool celldb import).");
    sqlite3_busy_timeout(db, 10000);

    LineReader in;
    if (!in.open(csvPath)) return fail("Die Datei " + csvPath + " lässt sich nicht lesen.");
    const std::string sortPrefix = dbPath + ".import-" + std::to_string(getpid()) + "-sort";
    if (lock.held()) removeLeftovers(dbPath);
    RunSorter sorter(sortPrefix, options.runRows);
    CellImportProgress progress;
    progress.bytesTotal = in.size();
    auto report = [&] {
        if (!options.progress) return;
        progress.rows = result.read;
        progress.bytesRead = in.bytesRead();
        progress.seconds = elapsed();
        options.progress(progress);
    };
    if (const std::string e = readRows(in, csvPath, options, sorter, result, report); !e.empty())
        return fail(e);
    if (!sorter.finish()) return fail(sorter.error());

    // In key order the changed pages are written once each; the journal
    // keeps their old content until the commit. A cell's row is replaced
    // only by one at least as new.
    NetworkNumbers networks;
    if (!networks.read(db))
        return fail("Die Zellen-Datenbank " + dbPath +
                    " ist beschädigt oder keine SQLite-Datei; bitte neu importieren.");
    const std::int64_t every = std::max<std::int64_t>(options.progressEvery, 1);
    std::int64_t cells = 0;
    std::string sqlError;
    if (sqlite3_create_function(db, "funkor_updated", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                nullptr, updatedOfBlob, nullptr, nullptr) != SQLITE_OK ||
        !exec(db, "PRAGMA cache_size=-65536; BEGIN IMMEDIATE;", &sqlError))
        return fail("Die Zellen-Datenbank lässt sich nicht schreiben: " + sqlError + ".");
    WideWriter wide;
    if (!wide.prepare(db,
                      "INSERT INTO wide_cells VALUES(?1, ?2, ?3)"
                      " ON CONFLICT(netarea, cell) DO UPDATE SET data=excluded.data WHERE"
                      " funkor_updated(excluded.data) >= funkor_updated(wide_cells.data);"))
        return fail("Die Zellen-Datenbank lässt sich nicht schreiben: " + wide.error() + ".");
    RowSource source = feedOf(sorter, networks, wide, [&] {
        ++cells;
        if (++progress.written % every == 0) report();
    });
    sqlError =
        insertFrom(db,
                   ("INSERT INTO packed_cells(k, data) SELECT k, data FROM funkor_feed"
                    " WHERE true ON CONFLICT(k) DO UPDATE SET data=excluded.data"
                    " WHERE funkor_updated(excluded.data) >= funkor_updated(packed_cells.data);"),
                   source);
    if (sqlError.empty()) sqlError = sorter.error();
    if (sqlError.empty()) sqlError = wide.error();
    if (sqlError.empty()) result.stored = sqlite3_changes64(db) + wide.changed();
    wide.finish();
    if (sqlError.empty()) sqlError = networks.writeAdded(db);
    if (sqlError.empty()) exec(db, "COMMIT;", &sqlError);
    if (!sqlError.empty())
        return fail("Die Zellen-Datenbank lässt sich nicht schreiben: " + sqlError + ".");
    result.older = cells - result.stored;
    sqlite3_close(db);
    db = nullptr;
    result.ok = true;
    report();
    result.seconds = elapsed();
    return result;
}

std::optional<CellDatabase> CellDatabase::open(const std::string& path, std::string& error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        error = "Die Zellen-Datenbank " + path + " fehlt.";
        return std::nullopt;
    }
    if (!S_ISREG(st.st_mode)) {
        error = "Die Zellen-Datenbank " + path +
                (S_ISDIR(st.st_mode) ? " ist ein Ordner, keine Datenbankdatei."
                                     : " ist keine Datenbankdatei.");
        return std::nullopt;
    }
    CellDatabase d;
    d.path_ = path;
    const std::string damaged = "Die Zellen-Datenbank " + path +
                                " ist beschädigt oder keine SQLite-Datei; bitte neu importieren.";
    if (sqlite3_open_v2(path.c_str(), &d.db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        error = damaged;
        return std::nullopt;
    }
    int id = 0, rc = SQLITE_OK;
    bool read = readIds(d.db_, id, d.version_, rc);
    if (!read && rc == SQLITE_READONLY_ROLLBACK) {
        // An update was killed before its end: its journal is rolled back
        // by a connection that may write, then the file is read as before.
        sqlite3* w = nullptr;
        if (sqlite3_open_v2(path.c_str(), &w, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK)
            exec(w, "SELECT count(*) FROM sqlite_schema;");
        sqlite3_close(w);
        sqlite3_close(d.db_);
        d.db_ = nullptr;
        if (sqlite3_open_v2(path.c_str(), &d.db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                            nullptr) == SQLITE_OK)
            read = readIds(d.db_, id, d.version_, rc);
    }
    if (!read) {
        error = damaged;
        return std::nullopt;
    }
    if (id != kCellDbApplicationId) {
        error = "Die Datei " + path +
                " ist keine Zellen-Datenbank von Funkor; bitte mit \"funkor-tool celldb import\" "
                "anlegen.";
        return std::nullopt;
    }
    // A small page cache: a lookup reads a handful of pages.
    exec(d.db_, "PRAGMA cache_size=-1024;");
    const char* const* sql = nullptr;
    static const char* const kVersion1[] = {
        "SELECT lat, lon, range, samples, changeable, updated FROM cells"
        " WHERE radio=?1 AND mcc=?2 AND net=?3 AND area=?4 AND cell=?5",
        "SELECT cell, lat, lon, range, samples, changeable, updated FROM cells"
        " WHERE radio=?1 AND mcc=?2 AND net=?3 AND area=?4 ORDER BY cell LIMIT ?5",
        // Version 1 kept no units: no row has one.
        "SELECT cell, lat, lon, range, samples, changeable, updated FROM cells WHERE false"};
    static const char* const kVersion2[] = {
        "SELECT pos, updated, info, samples FROM packed_cells WHERE netarea=?1 AND cell=?2",
        "SELECT cell, pos, updated, info, samples FROM packed_cells WHERE netarea=?1"
        " ORDER BY cell LIMIT ?3",
        "SELECT cell, pos, updated, info, samples FROM packed_cells WHERE netarea=?1"
        " AND ((info >> 1) & 2047) = ?2 ORDER BY cell LIMIT ?3"};
    // Version 3: the rowid's cells and the wide ones, each found and
    // scanned by area (units are filtered while the rows are read).
    static const char* const kVersion3[] = {
        "SELECT data FROM packed_cells WHERE k=?1",
        "SELECT k&268435455, data FROM packed_cells WHERE k BETWEEN ?1 AND ?2 ORDER BY k"
        " LIMIT ?3",
        "SELECT data FROM wide_cells WHERE netarea=?1 AND cell=?2",
        "SELECT cell, data FROM wide_cells WHERE netarea=?1 ORDER BY cell LIMIT ?2"};
    int count = 3;
    if (d.version_ == 1) {
        sql = kVersion1;
    } else if (d.version_ == 2) {
        sql = kVersion2;
    } else if (d.version_ == 3) {
        sql = kVersion3;
        count = 4;
        auto networks = std::make_shared<NetworkNumbers>();
        if (!networks->read(d.db_)) {
            error = damaged;
            return std::nullopt;
        }
        d.networks_ = std::move(networks);
    }
    if (!sql) {
        error = "Die Zellen-Datenbank " + path + " hat ein unbekanntes Format (" +
                std::to_string(d.version_) + "); bitte mit dieser Version neu importieren.";
        return std::nullopt;
    }
    sqlite3_stmt** statements[] = {&d.lookup_, &d.area_, &d.unit_, &d.wideArea_};
    for (int i = 0; i < count; ++i)
        if (sqlite3_prepare_v3(d.db_, sql[i], -1, SQLITE_PREPARE_PERSISTENT, statements[i],
                               nullptr) != SQLITE_OK) {
            error = damaged;
            return std::nullopt;
        }
    // One read proves the table's first pages are sound.
    sqlite3_stmt* s = nullptr;
    rc = sqlite3_prepare_v2(
        d.db_,
        d.version_ == 1 ? "SELECT 1 FROM cells LIMIT 1" : "SELECT 1 FROM packed_cells LIMIT 1", -1,
        &s, nullptr);
    const int step = rc == SQLITE_OK ? sqlite3_step(s) : rc;
    sqlite3_finalize(s);
    if (step != SQLITE_ROW && step != SQLITE_DONE) {
        error = damaged;
        return std::nullopt;
    }
    return d;
}

CellDatabase::CellDatabase(CellDatabase&& o) noexcept
    : db_(o.db_),
      lookup_(o.lookup_),
      area_(o.area_),
      unit_(o.unit_),
      wideArea_(o.wideArea_),
      networks_(std::move(o.networks_)),
      path_(std::move(o.path_)),
      version_(o.version_) {
    o.db_ = nullptr;
    o.lookup_ = o.area_ = o.unit_ = o.wideArea_ = nullptr;
}

CellDatabase& CellDatabase::operator=(CellDatabase&& o) noexcept {
    if (this != &o) {
        close();
        db_ = o.db_;
        lookup_ = o.lookup_;
        area_ = o.area_;
        unit_ = o.unit_;
        wideArea_ = o.wideArea_;
        networks_ = std::move(o.networks_);
        path_ = std::move(o.path_);
        version_ = o.version_;
        o.db_ = nullptr;
        o.lookup_ = o.area_ = o.unit_ = o.wideArea_ = nullptr;
    }
    return *this;
}

CellDatabase::~CellDatabase() {
    close();
}

void CellDatabase::close() {
    for (sqlite3_stmt* s : {lookup_, area_, unit_, wideArea_})
        if (s) sqlite3_finalize(s);
    if (db_) sqlite3_close(db_);
    lookup_ = area_ = unit_ = wideArea_ = nullptr;
    db_ = nullptr;
}

namespace {

// The lookup's outcome when SQLite answered `rc` (neither a row nor done).
void readFailed(int rc, const std::string& path, CellLookupStatus& status, bool& damaged,
                std::string& error) {
    status = CellLookupStatus::Failed;
    const int primary = rc & 0xFF;
    damaged = primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT;
    if (damaged)
        error = "Die Zellen-Datenbank " + path + " ist beschädigt (" + sqlite3_errstr(rc) +
                "); bitte neu importieren.";
    else
        error = "Die Zellen-Datenbank " + path + " lässt sich nicht lesen (" + sqlite3_errstr(rc) +
                ").";
}

// The packed key of a cell's network and area; false for one no row can
// have.
bool netAreaOf(std::string_view radio, int mcc, int net, std::int64_t area, std::int64_t& key) {
    const int code = radioCode(radio);
    if (code == 0 || mcc < 0 || mcc > 999 || net < 0 || net > 999 || area < 0 ||
        area >= kCellDbAreaLimit)
        return false;
    key = packNetArea(code, mcc, net, area);
    return true;
}

// A row of the lookup's answer: its key and what the file holds for it.
CellDbRow rowOf(CellDbKey key, const CellDbPosition& p) {
    CellDbRow row;
    row.key = std::move(key);
    row.latitude = p.latitude;
    row.longitude = p.longitude;
    row.range = p.range;
    row.samples = p.samples;
    row.changeable = p.changeable;
    row.updated = p.updated;
    row.unit = p.unit;
    return row;
}

}  // namespace

CellLookup CellDatabase::find(const CellDbKey& key) const {
    CellLookup r;
    if (!lookup_) return r;
    if (version_ == 3) return findV3(key);
    if (version_ == 1) {
        sqlite3_bind_text(lookup_, 1, key.radio.data(), static_cast<int>(key.radio.size()),
                          SQLITE_STATIC);
        sqlite3_bind_int(lookup_, 2, key.mcc);
        sqlite3_bind_int(lookup_, 3, key.net);
        sqlite3_bind_int64(lookup_, 4, key.area);
        sqlite3_bind_int64(lookup_, 5, key.cell);
    } else {
        std::int64_t netArea = 0;
        if (!netAreaOf(key.radio, key.mcc, key.net, key.area, netArea)) return r;
        sqlite3_bind_int64(lookup_, 1, netArea);
        sqlite3_bind_int64(lookup_, 2, key.cell);
    }
    const int rc = sqlite3_step(lookup_);
    if (rc == SQLITE_ROW) {
        CellDbPosition& p = r.position;
        if (version_ == 1) {
            p.latitude = sqlite3_column_double(lookup_, 0);
            p.longitude = sqlite3_column_double(lookup_, 1);
            p.range = sqlite3_column_int(lookup_, 2);
            p.samples = sqlite3_column_int(lookup_, 3);
            p.changeable = sqlite3_column_int(lookup_, 4) != 0;
            p.updated = sqlite3_column_int64(lookup_, 5);
        } else {
            unpack(sqlite3_column_int64(lookup_, 0), sqlite3_column_int64(lookup_, 1),
                   sqlite3_column_int64(lookup_, 2), sqlite3_column_int64(lookup_, 3), p);
        }
        r.status = CellLookupStatus::Found;
    } else if (rc != SQLITE_DONE) {
        readFailed(rc, path_, r.status, r.damaged, r.error);
    }
    sqlite3_reset(lookup_);
    sqlite3_clear_bindings(lookup_);
    return r;
}

std::optional<CellDbPosition> CellDatabase::lookup(const CellDbKey& key) const {
    CellLookup r = find(key);
    if (r.status != CellLookupStatus::Found) return std::nullopt;
    return r.position;
}

CellAreaLookup CellDatabase::findInArea(std::string_view radio, int mcc, int net, std::int64_t area,
                                        std::size_t limit) const {
    if (version_ == 3) return scanAreaV3(radio, mcc, net, area, -1, limit);
    return scanArea(area_, radio, mcc, net, area, -1, limit);
}

CellAreaLookup CellDatabase::findByUnit(std::string_view radio, int mcc, int net, std::int64_t area,
                                        int unit, std::size_t limit) const {
    if (unit < 0 || unit > 2046) return {};
    if (version_ == 3) return scanAreaV3(radio, mcc, net, area, unit, limit);
    return scanArea(unit_, radio, mcc, net, area, unit, limit);
}

CellAreaLookup CellDatabase::scanArea(sqlite3_stmt* s, std::string_view radio, int mcc, int net,
                                      std::int64_t area, int unit, std::size_t limit) const {
    CellAreaLookup r;
    if (!s) return r;
    const auto rowLimit = static_cast<std::int64_t>(std::min<std::size_t>(limit, 1u << 30));
    if (version_ == 1) {
        sqlite3_bind_text(s, 1, radio.data(), static_cast<int>(radio.size()), SQLITE_STATIC);
        sqlite3_bind_int(s, 2, mcc);
        sqlite3_bind_int(s, 3, net);
        sqlite3_bind_int64(s, 4, area);
        sqlite3_bind_int64(s, 5, rowLimit);
    } else {
        std::int64_t netArea = 0;
        if (!netAreaOf(radio, mcc, net, area, netArea)) return r;
        sqlite3_bind_int64(s, 1, netArea);
        sqlite3_bind_int(s, 2, unit + 1);
        sqlite3_bind_int64(s, 3, rowLimit);
    }
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        CellDbPosition p;
        if (version_ == 1) {
            p.latitude = sqlite3_column_double(s, 1);
            p.longitude = sqlite3_column_double(s, 2);
            p.range = sqlite3_column_int(s, 3);
            p.samples = sqlite3_column_int(s, 4);
            p.changeable = sqlite3_column_int(s, 5) != 0;
            p.updated = sqlite3_column_int64(s, 6);
        } else {
            unpack(sqlite3_column_int64(s, 1), sqlite3_column_int64(s, 2),
                   sqlite3_column_int64(s, 3), sqlite3_column_int64(s, 4), p);
        }
        r.rows.push_back(
            rowOf({std::string(radio), mcc, net, area, sqlite3_column_int64(s, 0)}, p));
    }
    if (rc != SQLITE_DONE)
        readFailed(rc, path_, r.status, r.damaged, r.error);
    else if (!r.rows.empty())
        r.status = CellLookupStatus::Found;
    sqlite3_reset(s);
    sqlite3_clear_bindings(s);
    return r;
}

CellLookup CellDatabase::findV3(const CellDbKey& key) const {
    CellLookup r;
    const int radio = radioCode(key.radio);
    if (radio == 0 || key.mcc < 0 || key.mcc > 999 || key.net < 0 || key.net > 999 ||
        key.area < 0 || key.area >= kCellDbAreaLimit || key.cell < 0)
        return r;
    const std::int64_t id = networks_->find(radio * 1000000LL + key.mcc * 1000 + key.net);
    if (id == 0) return r;
    std::int64_t k = 0;
    sqlite3_stmt* s = lookup_;
    if (compactKey(id, key.area, key.cell, k)) {
        sqlite3_bind_int64(s, 1, k);
    } else {
        s = unit_;
        sqlite3_bind_int64(s, 1, (id << 24) | key.area);
        sqlite3_bind_int64(s, 2, key.cell);
    }
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) {
        if (decodeFigures(sqlite3_column_blob(s, 0), sqlite3_column_bytes(s, 0), r.position))
            r.status = CellLookupStatus::Found;
        else
            readFailed(SQLITE_CORRUPT, path_, r.status, r.damaged, r.error);
    } else if (rc != SQLITE_DONE) {
        readFailed(rc, path_, r.status, r.damaged, r.error);
    }
    sqlite3_reset(s);
    return r;
}

CellAreaLookup CellDatabase::scanAreaV3(std::string_view radio, int mcc, int net, std::int64_t area,
                                        int unit, std::size_t limit) const {
    CellAreaLookup r;
    const int code = radioCode(radio);
    if (code == 0 || mcc < 0 || mcc > 999 || net < 0 || net > 999 || area < 0 ||
        area >= kCellDbAreaLimit || limit == 0)
        return r;
    const std::int64_t id = networks_->find(code * 1000000LL + mcc * 1000 + net);
    if (id == 0) return r;
    // A unit scan reads the whole area and keeps the rows that send it.
    const std::int64_t rowLimit =
        unit >= 0 ? -1 : static_cast<std::int64_t>(std::min<std::size_t>(limit, 1u << 30));
    // The area's cells below 2^28 lie in packed_cells (when the area is
    // narrow enough), the rest in wide_cells: both in the order of ids.
    sqlite3_stmt* scans[2] = {nullptr, wideArea_};
    std::int64_t low = 0;
    if (compactKey(id, area, 0, low)) {
        scans[0] = area_;
        sqlite3_bind_int64(area_, 1, low);
        sqlite3_bind_int64(area_, 2, low | kV3CellMask);
        sqlite3_bind_int64(area_, 3, rowLimit);
    }
    sqlite3_bind_int64(wideArea_, 1, (id << 24) | area);
    sqlite3_bind_int64(wideArea_, 2, rowLimit);
    for (sqlite3_stmt* s : scans) {
        if (!s) continue;
        int rc = SQLITE_DONE;
        while (r.rows.size() < limit && (rc = sqlite3_step(s)) == SQLITE_ROW) {
            CellDbPosition p;
            if (!decodeFigures(sqlite3_column_blob(s, 1), sqlite3_column_bytes(s, 1), p)) {
                rc = SQLITE_CORRUPT;
                break;
            }
            if (unit >= 0 && p.unit != unit) continue;
            r.rows.push_back(
                rowOf({std::string(radio), mcc, net, area, sqlite3_column_int64(s, 0)}, p));
        }
        sqlite3_reset(s);
        if (rc != SQLITE_DONE && rc != SQLITE_ROW) {
            readFailed(rc, path_, r.status, r.damaged, r.error);
            r.rows.clear();
            break;
        }
    }
    if (r.status != CellLookupStatus::Failed && !r.rows.empty()) r.status = CellLookupStatus::Found;
    return r;
}

std::optional<CellDbKey> cellDbKeyFromPhone(std::string_view radio, std::string_view operatorCode,
                                            std::string_view areaHex, std::string_view cellHex) {
    auto hex = [](std::string_view s, std::int64_t& v) {
        if (s.empty() || s.size() > 8) return false;
        const auto r = std::from_chars(s.data(), s.data() + s.size(), v, 16);
        return r.ec == std::errc() && r.ptr == s.data() + s.size() && v >= 0;
    };
    std::int64_t area = 0, cell = 0;
    if (!hex(areaHex, area) || !hex(cellHex, cell)) return std::nullopt;
    return cellDbKey(radio, operatorCode, area, cell);
}

std::optional<CellDbKey> cellDbKey(std::string_view radio, std::string_view operatorCode,
                                   std::int64_t area, std::int64_t cell) {
    if (operatorCode.size() != 5 && operatorCode.size() != 6) return std::nullopt;
    for (char c : operatorCode)
        if (c < '0' || c > '9') return std::nullopt;
    if (area < 0 || cell < 0) return std::nullopt;
    CellDbKey k;
    k.radio.assign(radio);
    k.area = area;
    k.cell = cell;
    k.mcc = (operatorCode[0] - '0') * 100 + (operatorCode[1] - '0') * 10 + (operatorCode[2] - '0');
    k.net = 0;
    for (char c : operatorCode.substr(3)) k.net = k.net * 10 + (c - '0');
    return k;
}

}  // namespace funkor
