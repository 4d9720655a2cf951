// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/measurements.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace funkor {

namespace {

constexpr double kEarthRadius = 6371008.8;
constexpr double kKnot = 1852.0 / 3600.0;

std::vector<std::string_view> splitAt(std::string_view s, char sep) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (true) {
        const std::size_t next = s.find(sep, at);
        if (next == std::string_view::npos) {
            out.push_back(s.substr(at));
            return out;
        }
        out.push_back(s.substr(at, next - at));
        at = next + 1;
    }
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() &&
           (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

std::optional<double> number(std::string_view s) {
    s = trim(s);
    if (s.empty()) return std::nullopt;
    if (s.front() == '+') s.remove_prefix(1);
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<int> wholeNumber(std::string_view s) {
    int v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || r.ec != std::errc() || r.ptr != s.data() + s.size()) return std::nullopt;
    return v;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The fields of a sentence "$TTSSS,f1,f2*hh" (the type without talker in
// fields[0]); nothing when it is no sentence of `type` or its checksum
// is wrong.
std::optional<std::vector<std::string_view>> sentenceFields(std::string_view line,
                                                            std::string_view type) {
    line = trim(line);
    if (line.size() < 7 || line.front() != '$') return std::nullopt;
    std::string_view body = line.substr(1);
    const std::size_t star = body.find('*');
    if (star != std::string_view::npos) {
        const std::string_view sum = body.substr(star + 1);
        if (sum.size() != 2 || hexDigit(sum[0]) < 0 || hexDigit(sum[1]) < 0) return std::nullopt;
        unsigned char x = 0;
        for (char c : body.substr(0, star)) x = static_cast<unsigned char>(x ^ c);
        if (x != hexDigit(sum[0]) * 16 + hexDigit(sum[1])) return std::nullopt;
        body = body.substr(0, star);
    }
    auto fields = splitAt(body, ',');
    if (fields[0].size() != 5 || fields[0].substr(2) != type) return std::nullopt;
    return fields;
}

// "4830.1234" with hemisphere "N" -> 48.502057; nothing when malformed.
std::optional<double> nmeaDegrees(std::string_view value, std::string_view hemisphere,
                                  int degreeDigits) {
    const std::size_t dot = value.find('.');
    const std::size_t whole = dot == std::string_view::npos ? value.size() : dot;
    if (whole != static_cast<std::size_t>(degreeDigits) + 2) return std::nullopt;
    const auto degrees = wholeNumber(value.substr(0, static_cast<std::size_t>(degreeDigits)));
    const auto minutes = number(value.substr(static_cast<std::size_t>(degreeDigits)));
    if (!degrees || !minutes || *minutes >= 60 || *minutes < 0) return std::nullopt;
    double v = *degrees + *minutes / 60;
    if (hemisphere == "S" || hemisphere == "W")
        v = -v;
    else if (hemisphere != "N" && hemisphere != "E")
        return std::nullopt;
    if (std::abs(v) > (degreeDigits == 2 ? 90 : 180)) return std::nullopt;
    return v;
}

std::optional<std::int64_t> rmcTime(std::string_view hhmmss, std::string_view ddmmyy) {
    if (hhmmss.size() < 6 || ddmmyy.size() != 6) return std::nullopt;
    const auto h = wholeNumber(hhmmss.substr(0, 2)), mi = wholeNumber(hhmmss.substr(2, 2));
    const auto sec = number(hhmmss.substr(4));
    const auto d = wholeNumber(ddmmyy.substr(0, 2)), mo = wholeNumber(ddmmyy.substr(2, 2)),
               y = wholeNumber(ddmmyy.substr(4, 2));
    if (!h || !mi || !sec || !d || !mo || !y || *h > 23 || *mi > 59 || *sec >= 61 || *d < 1 ||
        *d > 31 || *mo < 1 || *mo > 12)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = (*y < 80 ? 2000 : 1900) + *y - 1900;
    tm.tm_mon = *mo - 1;
    tm.tm_mday = *d;
    tm.tm_hour = *h;
    tm.tm_min = *mi;
    const std::time_t t = timegm(&tm);
    return static_cast<std::int64_t>(t) * 1000 + std::llround(*sec * 1000);
}

bool knownRadio(std::string_view r) {
    return r == "GSM" || r == "UMTS" || r == "LTE" || r == "NR" || r == "CDMA";
}

bool exec(sqlite3* db, const char* sql, std::string* error = nullptr) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK && error) *error = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

std::int64_t pragmaInt(sqlite3* db, const char* sql) {
    sqlite3_stmt* st = nullptr;
    std::int64_t v = -1;
    if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        v = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    return v;
}

constexpr const char* kSchema =
    "CREATE TABLE measurements(id INTEGER PRIMARY KEY, time INTEGER NOT NULL,"
    " lat REAL NOT NULL, lon REAL NOT NULL, accuracy REAL, speed REAL, heading REAL,"
    " radio TEXT NOT NULL, mcc INTEGER NOT NULL, net INTEGER NOT NULL, area INTEGER NOT NULL,"
    " cell INTEGER, unit INTEGER, channel INTEGER, signal INTEGER, ta INTEGER,"
    " serving INTEGER NOT NULL, uploaded INTEGER NOT NULL DEFAULT 0);"
    "CREATE INDEX measurements_time ON measurements(time);"
    "CREATE TABLE learned(radio TEXT NOT NULL, mcc INTEGER NOT NULL, net INTEGER NOT NULL,"
    " area INTEGER NOT NULL, cell INTEGER NOT NULL, lon REAL NOT NULL, lat REAL NOT NULL,"
    " range INTEGER NOT NULL, samples INTEGER NOT NULL, spread INTEGER NOT NULL,"
    " updated INTEGER NOT NULL, PRIMARY KEY(radio, mcc, net, area, cell)) WITHOUT ROWID;";

void bindOptional(sqlite3_stmt* st, int index, const std::optional<double>& v) {
    if (v)
        sqlite3_bind_double(st, index, *v);
    else
        sqlite3_bind_null(st, index);
}
template <typename T>
void bindOptionalInt(sqlite3_stmt* st, int index, const std::optional<T>& v) {
    if (v)
        sqlite3_bind_int64(st, index, static_cast<sqlite3_int64>(*v));
    else
        sqlite3_bind_null(st, index);
}
std::optional<double> columnDouble(sqlite3_stmt* st, int i) {
    if (sqlite3_column_type(st, i) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_double(st, i);
}
std::optional<std::int64_t> columnInt(sqlite3_stmt* st, int i) {
    if (sqlite3_column_type(st, i) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int64(st, i);
}
std::optional<int> columnSmall(sqlite3_stmt* st, int i) {
    if (sqlite3_column_type(st, i) == SQLITE_NULL) return std::nullopt;
    return sqlite3_column_int(st, i);
}

}  // namespace

// --- The receiver's sentences -----------------------------------------------

GpsFixReading readGpsFix(std::string_view rmc, std::string_view gga) {
    GpsFixReading r;
    if (const auto g = sentenceFields(gga, "GGA"); g && g->size() > 8) {
        r.ggaQuality = wholeNumber((*g)[6]).value_or(0);
    }
    const auto f = sentenceFields(rmc, "RMC");
    if (!f || f->size() < 10) return r;
    const auto& v = *f;
    r.rmcActive = v[2] == "A";
    const auto lat = nmeaDegrees(v[3], v[4], 2);
    const auto lon = nmeaDegrees(v[5], v[6], 3);
    const auto time = rmcTime(v[1], v[9]);
    if (!lat || !lon || !time) return r;
    MeasuredFix fix;
    fix.timeMs = *time;
    fix.latitude = *lat;
    fix.longitude = *lon;
    if (const auto knots = number(v[7]); knots && *knots >= 0) fix.speedMps = *knots * kKnot;
    if (const auto course = number(v[8]); course && *course >= 0 && *course <= 360)
        fix.headingDeg = std::fmod(*course, 360.0);
    if (const auto g = sentenceFields(gga, "GGA"); g && g->size() > 8) {
        if (const auto hdop = number((*g)[8]); hdop && *hdop > 0)
            fix.accuracyMetres = *hdop * kMetresPerGpsHdop;
    }
    r.fix = fix;
    return r;
}

// --- Privacy ---------------------------------------------------------------------

ExclusionList parseExclusions(std::string_view setting) {
    ExclusionList list;
    for (std::string_view entry : splitAt(setting, ';')) {
        if (trim(entry).empty()) continue;
        const auto parts = splitAt(entry, ',');
        std::optional<double> lat, lon, radius;
        if (parts.size() == 3) {
            lat = number(parts[0]);
            lon = number(parts[1]);
            radius = number(parts[2]);
        }
        if (!lat || !lon || !radius || std::abs(*lat) > 90 || std::abs(*lon) > 180 || *radius < 0) {
            list.valid = false;
            list.problem = std::string(trim(entry));
            return list;
        }
        list.circles.push_back({*lat, *lon, *radius});
    }
    return list;
}

bool isExcluded(const ExclusionList& list, double latitude, double longitude) {
    for (const auto& c : list.circles)
        if (distanceMetres(c.latitude, c.longitude, latitude, longitude) <= c.radiusMetres)
            return true;
    return false;
}

double distanceMetres(double lat1, double lon1, double lat2, double lon2) {
    constexpr double rad = M_PI / 180;
    const double dLat = (lat2 - lat1) * rad, dLon = (lon2 - lon1) * rad;
    const double a =
        std::sin(dLat / 2) * std::sin(dLat / 2) +
        std::cos(lat1 * rad) * std::cos(lat2 * rad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(a)));
}

// --- The gate -----------------------------------------------------------------

std::string_view recordGateText(RecordGate gate) {
    switch (gate) {
        case RecordGate::Record:
            return "recorded";
        case RecordGate::NoFix:
            return "no GPS fix";
        case RecordGate::StaleFix:
            return "GPS fix too old";
        case RecordGate::Jump:
            return "GPS position jumped";
        case RecordGate::NotRegistered:
            return "not registered";
        case RecordGate::NoCell:
            return "no cell reported";
        case RecordGate::Excluded:
            return "within an excluded area";
        case RecordGate::ExclusionsInvalid:
            return "excluded areas unreadable";
    }
    return "";
}

RecordGate gateRecording(const RecordGateInput& in) {
    if (in.exclusions && !in.exclusions->valid) return RecordGate::ExclusionsInvalid;
    if (!in.gps.rmcActive || in.gps.ggaQuality < 1 || in.gps.ggaQuality > 5 || !in.gps.fix)
        return RecordGate::NoFix;
    if (in.fixAgeMs > kMaxFixAgeMs || in.fixAgeMs < 0) return RecordGate::StaleFix;
    const MeasuredFix& fix = *in.gps.fix;
    if (in.previous) {
        const MeasuredFix& p = *in.previous;
        const double d = distanceMetres(p.latitude, p.longitude, fix.latitude, fix.longitude);
        const double slack = 50 + p.accuracyMetres.value_or(0) + fix.accuracyMetres.value_or(0);
        const double seconds =
            std::max(1.0, static_cast<double>(std::llabs(fix.timeMs - p.timeMs)) / 1000);
        if (d - slack > kMaxPlausibleSpeedMps * seconds) return RecordGate::Jump;
    }
    if (!in.registered) return RecordGate::NotRegistered;
    if (in.cells == 0) return RecordGate::NoCell;
    if (in.exclusions && isExcluded(*in.exclusions, fix.latitude, fix.longitude))
        return RecordGate::Excluded;
    return RecordGate::Record;
}

// --- The store ----------------------------------------------------------------

std::optional<MeasurementStore> MeasurementStore::open(const std::string& path, std::string& error,
                                                       std::int64_t maxBytes) {
    MeasurementStore s;
    s.path_ = path;
    s.maxBytes_ = maxBytes;
    struct stat st {};
    if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        error = "Die Messdaten-Datei " + path + " ist keine Datei.";
        return std::nullopt;
    }
    if (sqlite3_open_v2(path.c_str(), &s.db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK) {
        error = "Die Messdaten-Datei " + path +
                " lässt sich nicht öffnen: " + (s.db_ ? sqlite3_errmsg(s.db_) : "kein Speicher");
        return std::nullopt;
    }
    sqlite3_busy_timeout(s.db_, 2000);
    std::string why;
    const std::int64_t app = pragmaInt(s.db_, "PRAGMA application_id");
    if (app < 0) {
        error = "Die Datei " + path + " ist keine SQLite-Datenbank oder beschädigt.";
        return std::nullopt;
    }
    if (app == 0) {
        if (pragmaInt(s.db_, "SELECT count(*) FROM sqlite_master") != 0) {
            error = "Die Datei " + path + " gehört nicht zu Funkors Messdaten.";
            return std::nullopt;
        }
        const std::string create = std::string("BEGIN;") + kSchema + "PRAGMA application_id=" +
                                   std::to_string(kMeasurementsApplicationId) + ";COMMIT;";
        if (!exec(s.db_, create.c_str(), &why)) {
            error = "Die Messdaten-Datei " + path + " lässt sich nicht anlegen: " + why;
            return std::nullopt;
        }
    } else if (app != kMeasurementsApplicationId) {
        error = "Die Datei " + path + " gehört nicht zu Funkors Messdaten.";
        return std::nullopt;
    }
    // The index serves the learning, which reads the measurements cell by
    // cell; files from before it get it here.
    if (!exec(s.db_,
              "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;"
              "CREATE INDEX IF NOT EXISTS measurements_cell ON measurements(radio, mcc, net, area,"
              " cell);",
              &why)) {
        error = "Die Messdaten-Datei " + path + ": " + why;
        return std::nullopt;
    }
    return s;
}

std::optional<MeasurementStore> MeasurementStore::openReadOnly(const std::string& path,
                                                               std::string& error) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return std::nullopt;
    MeasurementStore s;
    s.path_ = path;
    if (!S_ISREG(st.st_mode) ||
        sqlite3_open_v2(path.c_str(), &s.db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK ||
        pragmaInt(s.db_, "PRAGMA application_id") != kMeasurementsApplicationId) {
        error = "Die Datei " + path + " ist keine Messdaten-Datei von Funkor.";
        return std::nullopt;
    }
    sqlite3_busy_timeout(s.db_, 2000);
    return s;
}

MeasurementStore::MeasurementStore(MeasurementStore&& other) noexcept
    : db_(other.db_),
      path_(std::move(other.path_)),
      maxBytes_(other.maxBytes_),
      boundTold_(other.boundTold_) {
    other.db_ = nullptr;
}

MeasurementStore& MeasurementStore::operator=(MeasurementStore&& other) noexcept {
    if (this != &other) {
        close();
        db_ = other.db_;
        path_ = std::move(other.path_);
        maxBytes_ = other.maxBytes_;
        boundTold_ = other.boundTold_;
        other.db_ = nullptr;
    }
    return *this;
}

MeasurementStore::~MeasurementStore() {
    close();
}

void MeasurementStore::close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

RecordResult MeasurementStore::record(const MeasuredFix& fix,
                                      const std::vector<MeasuredCell>& cells) {
    RecordResult r;
    sqlite3_stmt* st = nullptr;
    if (!exec(db_, "BEGIN IMMEDIATE", &r.error) ||
        sqlite3_prepare_v2(db_,
                           "INSERT INTO measurements(time, lat, lon, accuracy, speed, heading,"
                           " radio, mcc, net, area, cell, unit, channel, signal, ta, serving)"
                           " VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                           -1, &st, nullptr) != SQLITE_OK) {
        if (r.error.empty()) r.error = sqlite3_errmsg(db_);
        exec(db_, "ROLLBACK");
        r.error = "Messdaten nicht gespeichert: " + r.error;
        return r;
    }
    bool ok = true;
    for (const MeasuredCell& c : cells) {
        if (!knownRadio(c.radio)) continue;
        sqlite3_reset(st);
        sqlite3_bind_int64(st, 1, fix.timeMs);
        sqlite3_bind_double(st, 2, fix.latitude);
        sqlite3_bind_double(st, 3, fix.longitude);
        bindOptional(st, 4, fix.accuracyMetres);
        bindOptional(st, 5, fix.speedMps);
        bindOptional(st, 6, fix.headingDeg);
        sqlite3_bind_text(st, 7, c.radio.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 8, c.mcc);
        sqlite3_bind_int(st, 9, c.mnc);
        sqlite3_bind_int64(st, 10, c.area);
        bindOptionalInt(st, 11, c.cell);
        bindOptionalInt(st, 12, c.pci);
        bindOptionalInt(st, 13, c.channel);
        bindOptionalInt(st, 14, c.signalDbm);
        bindOptionalInt(st, 15, c.timingAdvance);
        sqlite3_bind_int(st, 16, c.serving ? 1 : 0);
        if (sqlite3_step(st) != SQLITE_DONE) {
            ok = false;
            break;
        }
        ++r.stored;
    }
    sqlite3_finalize(st);
    if (ok) ok = enforceBound(r);
    if (!ok || !exec(db_, "COMMIT", &r.error)) {
        if (r.error.empty()) r.error = sqlite3_errmsg(db_);
        exec(db_, "ROLLBACK");
        r.error = "Messdaten nicht gespeichert: " + r.error;
        r.stored = 0;
        r.deleted = 0;
        r.boundReached = false;
        return r;
    }
    if (r.boundReached) boundTold_ = true;
    r.ok = true;
    return r;
}

bool MeasurementStore::enforceBound(RecordResult& r) {
    // The pages in use: the file's pages less those free for reuse. Rows go
    // oldest first until a tenth of the bound is free again, so that the
    // deletion does not run at every tick.
    for (int round = 0; round < 8; ++round) {
        const std::int64_t pageSize = pragmaInt(db_, "PRAGMA page_size");
        const std::int64_t used =
            (pragmaInt(db_, "PRAGMA page_count") - pragmaInt(db_, "PRAGMA freelist_count")) *
            pageSize;
        if (used <= maxBytes_) return true;
        if (!boundTold_) r.boundReached = true;
        const std::int64_t rows = pragmaInt(db_, "SELECT count(*) FROM measurements");
        if (rows <= 0) return true;
        const double share = 1.0 - 0.9 * static_cast<double>(maxBytes_) / static_cast<double>(used);
        const std::int64_t n =
            std::max<std::int64_t>(1, std::llround(static_cast<double>(rows) * share));
        const std::string sql =
            "DELETE FROM measurements WHERE id IN (SELECT id FROM measurements ORDER BY id LIMIT " +
            std::to_string(n) + ")";
        if (!exec(db_, sql.c_str(), &r.error)) return false;
        r.deleted += sqlite3_changes(db_);
    }
    return true;
}

std::vector<MeasurementRow> MeasurementStore::rows(const MeasurementQuery& q) const {
    std::vector<MeasurementRow> out;
    std::string sql =
        "SELECT id, time, lat, lon, accuracy, speed, heading, radio, mcc, net, area, cell, unit,"
        " channel, signal, ta, serving, uploaded FROM measurements WHERE time >= ? AND id > ?";
    if (q.notUploadedOnly) sql += " AND uploaded = 0";
    sql += " ORDER BY id";
    if (q.limit > 0) sql += " LIMIT " + std::to_string(q.limit);
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return out;
    sqlite3_bind_int64(st, 1, q.sinceMs);
    sqlite3_bind_int64(st, 2, q.afterId);
    while (sqlite3_step(st) == SQLITE_ROW) {
        MeasurementRow row;
        row.id = sqlite3_column_int64(st, 0);
        row.fix.timeMs = sqlite3_column_int64(st, 1);
        row.fix.latitude = sqlite3_column_double(st, 2);
        row.fix.longitude = sqlite3_column_double(st, 3);
        row.fix.accuracyMetres = columnDouble(st, 4);
        row.fix.speedMps = columnDouble(st, 5);
        row.fix.headingDeg = columnDouble(st, 6);
        const auto* radio = sqlite3_column_text(st, 7);
        row.cell.radio = radio ? reinterpret_cast<const char*>(radio) : "";
        row.cell.mcc = sqlite3_column_int(st, 8);
        row.cell.mnc = sqlite3_column_int(st, 9);
        row.cell.area = sqlite3_column_int64(st, 10);
        row.cell.cell = columnInt(st, 11);
        row.cell.pci = columnSmall(st, 12);
        row.cell.channel = columnSmall(st, 13);
        row.cell.signalDbm = columnSmall(st, 14);
        row.cell.timingAdvance = columnSmall(st, 15);
        row.cell.serving = sqlite3_column_int(st, 16) != 0;
        row.uploaded = sqlite3_column_int(st, 17) != 0;
        out.push_back(std::move(row));
    }
    sqlite3_finalize(st);
    return out;
}

bool MeasurementStore::markUploaded(const std::vector<std::int64_t>& ids) {
    if (ids.empty()) return true;
    sqlite3_stmt* st = nullptr;
    if (!exec(db_, "BEGIN IMMEDIATE")) return false;
    if (sqlite3_prepare_v2(db_, "UPDATE measurements SET uploaded = 1 WHERE id = ?", -1, &st,
                           nullptr) != SQLITE_OK) {
        exec(db_, "ROLLBACK");
        return false;
    }
    bool ok = true;
    for (std::int64_t id : ids) {
        sqlite3_reset(st);
        sqlite3_bind_int64(st, 1, id);
        if (sqlite3_step(st) != SQLITE_DONE) {
            ok = false;
            break;
        }
    }
    sqlite3_finalize(st);
    if (!ok || !exec(db_, "COMMIT")) {
        exec(db_, "ROLLBACK");
        return false;
    }
    return true;
}

std::int64_t MeasurementStore::rowCount() const {
    return pragmaInt(db_, "SELECT count(*) FROM measurements");
}

// --- Dates --------------------------------------------------------------------

std::optional<std::int64_t> parseUtcDate(std::string_view text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
    const std::string t(text);
    if (std::sscanf(t.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used) != 3) return std::nullopt;
    if (static_cast<std::size_t>(used) != t.size()) {
        int more = 0;
        if (std::sscanf(t.c_str() + used, "T%2d:%2d:%2d%n", &h, &mi, &s, &more) != 3)
            return std::nullopt;
        used += more;
        if (static_cast<std::size_t>(used) < t.size() && t[static_cast<std::size_t>(used)] == 'Z')
            ++used;
        if (static_cast<std::size_t>(used) != t.size()) return std::nullopt;
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || y < 1970)
        return std::nullopt;
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    const std::time_t when = timegm(&tm);
    std::tm back{};
    gmtime_r(&when, &back);
    if (back.tm_mday != d) return std::nullopt;  // 31 April and the like
    return static_cast<std::int64_t>(when) * 1000;
}

std::string isoUtc(std::int64_t unixMs) {
    const std::time_t seconds = static_cast<std::time_t>(unixMs / 1000 - (unixMs % 1000 < 0));
    const int ms = static_cast<int>(((unixMs % 1000) + 1000) % 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900,
                  tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
    return buf;
}

}  // namespace funkor
