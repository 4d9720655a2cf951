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
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

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

bool parseDouble(std::string_view s, double& v) {
    if (s.empty()) return false;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size() && std::isfinite(v);
}

bool knownRadio(std::string_view r) {
    return r == "GSM" || r == "UMTS" || r == "LTE" || r == "NR" || r == "CDMA";
}

// One statement run to its end; false (with `error` set) when it fails.
bool exec(sqlite3* db, const char* sql, std::string* error = nullptr) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK && error) *error = message ? message : sqlite3_errstr(rc);
    sqlite3_free(message);
    return rc == SQLITE_OK;
}

constexpr const char* kSchema =
    "CREATE TABLE cells(radio TEXT NOT NULL, mcc INTEGER NOT NULL, net INTEGER NOT NULL,"
    " area INTEGER NOT NULL, cell INTEGER NOT NULL, lon REAL NOT NULL, lat REAL NOT NULL,"
    " range INTEGER NOT NULL, samples INTEGER NOT NULL, changeable INTEGER NOT NULL,"
    " updated INTEGER NOT NULL, PRIMARY KEY(radio, mcc, net, area, cell)) WITHOUT ROWID;";

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
        return true;
    }
    ~LineReader() {
        if (file_) gzclose(file_);
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
            const int got = gzread(file_, buffer_.data() + filled_,
                                   static_cast<unsigned>(buffer_.size() - filled_));
            if (got < 0) {
                const int e = errno;
                int zerr = Z_OK;
                gzerror(file_, &zerr);
                if (zerr == Z_ERRNO) readError_ = std::strerror(e);
                failed_ = true;
                return false;
            }
            if (got == 0) {
                // zlib hands out what it could inflate and ends a stream that
                // stops before its trailer like a whole one; only the error
                // state tells the two apart.
                int zerr = Z_OK;
                gzerror(file_, &zerr);
                truncated_ = zerr == Z_BUF_ERROR;
                eof_ = true;
            }
            filled_ += static_cast<std::size_t>(got);
        }
    }
    std::int64_t bytesRead() const {
        const z_off_t off = file_ ? gzoffset(file_) : 0;
        return off > 0 ? static_cast<std::int64_t>(off) : 0;
    }
    std::int64_t size() const { return size_; }
    // The input could not be read on (damaged gzip data, or `readError`).
    bool failed() const { return failed_; }
    // The system's reason when reading failed, empty for damaged data.
    const std::string& readError() const { return readError_; }
    // A gzip stream ended before its trailer: the file is cut short.
    bool truncated() const { return truncated_; }

  private:
    gzFile file_ = nullptr;
    int fd_ = -1;
    std::vector<char> buffer_;
    std::size_t at_ = 0, filled_ = 0;
    bool eof_ = false, discarding_ = false, failed_ = false, truncated_ = false;
    std::string readError_;
    std::int64_t size_ = 0;
};

// Splits at commas into at most `max` fields; returns the count.
std::size_t splitCsv(std::string_view line, std::string_view* out, std::size_t max) {
    std::size_t n = 0, at = 0;
    while (n < max) {
        const std::size_t comma = line.find(',', at);
        if (comma == std::string_view::npos) {
            out[n++] = line.substr(at);
            break;
        }
        out[n++] = line.substr(at, comma - at);
        at = comma + 1;
    }
    return n;
}

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

// Removes the scratch files that imports killed before their end left
// beside `dbPath`: "<name>.import", "<name>.import-<pid>" and the same with
// "-sort" after it. Only under the import lock, when no other import can
// be using them.
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
        if (rest.ends_with("-sort")) rest.remove_suffix(5);
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
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return CsvRowError::Empty;
    if (line.size() > kMaxLine) return CsvRowError::TooLong;
    std::string_view f[14];
    const std::size_t n = splitCsv(line, f, 14);
    if (n < 13) return CsvRowError::TooFewFields;
    if (!knownRadio(f[0])) return CsvRowError::BadRadio;
    std::int64_t mcc, net, area, cell, range, samples, changeable, updated;
    double lon, lat;
    // Files put together by hand or by other tools leave the figures they
    // do not know empty: range, samples and times unknown (0). An unknown
    // `changeable` is taken as 1, a position averaged from measurements,
    // which is what such a file's positions mostly are.
    const bool changeableUnknown = f[10].empty();
    if (!parseInt(f[1], mcc, false) || !parseInt(f[2], net, false) ||
        !parseInt(f[3], area, false) || !parseInt(f[4], cell, false) || !parseDouble(f[6], lon) ||
        !parseDouble(f[7], lat) || !parseInt(f[8], range, true) || !parseInt(f[9], samples, true) ||
        !parseInt(f[10], changeable, true) || !parseInt(f[12], updated, true) || mcc < 0 ||
        mcc > 999 || net < 0 || net > 999 || area < 0 || cell < 0 || range < 0 ||
        range > 100000000 || samples < 0 || samples > 2000000000 ||
        (changeable != 0 && changeable != 1))
        return CsvRowError::NotANumber;
    if (lat < -90 || lat > 90 || lon < -180 || lon > 180) return CsvRowError::OffTheEarth;
    row.key.radio.assign(f[0]);
    row.key.mcc = static_cast<int>(mcc);
    row.key.net = static_cast<int>(net);
    row.key.area = area;
    row.key.cell = cell;
    row.longitude = lon;
    row.latitude = lat;
    row.range = static_cast<int>(range);
    row.samples = static_cast<int>(samples);
    row.changeable = changeableUnknown || changeable != 0;
    row.updated = updated;
    return CsvRowError::None;
}

std::string cellCsvRow(const CellDbRow& row) {
    char buf[320];
    char range[24] = "";
    if (row.range > 0) std::snprintf(range, sizeof range, "%d", row.range);
    // %.7f: a tenth of a micro-degree, about 1 cm, more than any cell needs.
    std::snprintf(buf, sizeof buf, "%s,%d,%d,%lld,%lld,,%.7f,%.7f,%s,%d,%d,%lld,%lld,0",
                  row.key.radio.c_str(), row.key.mcc, row.key.net,
                  static_cast<long long>(row.key.area), static_cast<long long>(row.key.cell),
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
    const std::string staging = building + "-sort";
    if (lock.held()) removeLeftovers(dbPath);
    std::remove(building.c_str());
    std::remove(staging.c_str());
    sqlite3* db = nullptr;
    auto fail = [&](const std::string& what) {
        result.ok = false;
        result.error = what;
        if (db) sqlite3_close(db);
        db = nullptr;
        std::remove(building.c_str());
        std::remove(staging.c_str());
        result.seconds = elapsed();
        return result;
    };
    if (sqlite3_open_v2(building.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                        nullptr) != SQLITE_OK)
        return fail("Die Zellen-Datenbank " + building +
                    " lässt sich nicht anlegen: " + sqliteText(db) + ".");

    // The new file is no database anyone uses until it is renamed, so it
    // needs neither a journal nor waits for the disk; the rows are first
    // appended unsorted to a scratch file and then put into the key's order
    // in one pass, which is far cheaper than inserting them into the keyed
    // table in file order.
    std::string sqlError;
    const std::string attach = "ATTACH DATABASE '" + staging + "' AS scratch;";
    char pragmas[512];
    std::snprintf(pragmas, sizeof pragmas,
                  "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF; PRAGMA locking_mode=EXCLUSIVE;"
                  " PRAGMA cache_size=-32768; PRAGMA temp_store=FILE; PRAGMA threads=2;"
                  " PRAGMA application_id=%d; PRAGMA user_version=%d;",
                  kCellDbApplicationId, kCellDbVersion);
    if (staging.find('\'') != std::string::npos)
        return fail("Der Name der Zellen-Datenbank darf kein Hochkomma enthalten.");
    if (!exec(db, pragmas, &sqlError) || !exec(db, attach.c_str(), &sqlError) ||
        !exec(db,
              "PRAGMA scratch.journal_mode=OFF; PRAGMA scratch.synchronous=OFF;"
              " PRAGMA scratch.cache_size=-16384;"
              "CREATE TABLE scratch.rows(radio TEXT, mcc INTEGER, net INTEGER, area INTEGER,"
              " cell INTEGER, lon REAL, lat REAL, range INTEGER, samples INTEGER,"
              " changeable INTEGER, updated INTEGER);",
              &sqlError) ||
        !exec(db, kSchema, &sqlError) || !exec(db, "BEGIN;", &sqlError))
        return fail("Die Zellen-Datenbank lässt sich nicht anlegen: " + sqlError + ".");

    sqlite3_stmt* insert = nullptr;
    if (sqlite3_prepare_v3(db, "INSERT INTO scratch.rows VALUES(?,?,?,?,?,?,?,?,?,?,?)", -1,
                           SQLITE_PREPARE_PERSISTENT, &insert, nullptr) != SQLITE_OK)
        return fail("Die Zellen-Datenbank lässt sich nicht anlegen: " + sqliteText(db) + ".");

    std::vector<bool> wanted;
    if (!options.mccs.empty()) {
        wanted.assign(1000, false);
        for (int m : options.mccs)
            if (m >= 0 && m < 1000) wanted[static_cast<std::size_t>(m)] = true;
    }
    CellImportProgress progress;
    progress.bytesTotal = in.size();
    auto report = [&] {
        if (!options.progress) return;
        progress.rows = result.read;
        progress.bytesRead = in.bytesRead();
        progress.seconds = elapsed();
        options.progress(progress);
    };

    std::string_view line;
    bool tooLong = false;
    std::int64_t lineNo = 0;
    CellDbRow row;
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
        const CsvRowError e = parseCellCsvRow(line, row);
        if (e != CsvRowError::None) {
            problem(e);
            continue;
        }
        if (!wanted.empty() && !wanted[static_cast<std::size_t>(row.key.mcc)]) {
            ++result.filtered;
            continue;
        }
        sqlite3_bind_text(insert, 1, row.key.radio.data(), static_cast<int>(row.key.radio.size()),
                          SQLITE_STATIC);
        sqlite3_bind_int(insert, 2, row.key.mcc);
        sqlite3_bind_int(insert, 3, row.key.net);
        sqlite3_bind_int64(insert, 4, row.key.area);
        sqlite3_bind_int64(insert, 5, row.key.cell);
        sqlite3_bind_double(insert, 6, row.longitude);
        sqlite3_bind_double(insert, 7, row.latitude);
        sqlite3_bind_int(insert, 8, row.range);
        sqlite3_bind_int(insert, 9, row.samples);
        sqlite3_bind_int(insert, 10, row.changeable ? 1 : 0);
        sqlite3_bind_int64(insert, 11, row.updated);
        const int rc = sqlite3_step(insert);
        sqlite3_reset(insert);
        if (rc != SQLITE_DONE) {
            const std::string why = sqliteText(db);
            sqlite3_finalize(insert);
            return fail("Die Zellen-Datenbank lässt sich nicht schreiben: " + why + ".");
        }
        if (result.read % 200000 == 0) report();
    }
    sqlite3_finalize(insert);
    if (in.failed() && !in.readError().empty())
        return fail("Die Datei " + csvPath + " lässt sich nicht lesen: " + in.readError() + ".");
    if (in.failed())
        return fail("Die Datei " + csvPath + " ist beschädigt (gzip) und wurde nicht übernommen.");
    if (in.truncated())
        return fail("Die Datei " + csvPath +
                    " ist unvollständig (der gzip-Datenstrom bricht vor seinem Ende ab) und wurde "
                    "nicht übernommen.");
    if (result.read == result.skipped + result.filtered && !options.allowEmpty) {
        result.empty = true;
        return fail("Die Datei " + csvPath + " enthält keine Zellen" +
                    (result.filtered > 0 ? " der gewählten Länder" : "") +
                    "; die Zellen-Datenbank " + dbPath + " wurde nicht geschrieben.");
    }

    // Sorted by key, newest first: the first row of each cell is kept.
    if (!exec(db,
              "INSERT INTO cells SELECT radio, mcc, net, area, cell, lon, lat, range, samples,"
              " changeable, updated FROM scratch.rows WHERE true"
              " ORDER BY radio, mcc, net, area, cell, updated DESC ON CONFLICT DO NOTHING;",
              &sqlError))
        return fail("Die Zellen-Datenbank lässt sich nicht schreiben: " + sqlError + ".");
    result.stored = sqlite3_changes64(db);
    if (!exec(db, "COMMIT;", &sqlError))
        return fail("Die Zellen-Datenbank lässt sich nicht schreiben: " + sqlError + ".");
    exec(db, "DETACH DATABASE scratch;");
    if (sqlite3_close(db) != SQLITE_OK) {
        db = nullptr;
        return fail("Die Zellen-Datenbank lässt sich nicht abschließen.");
    }
    db = nullptr;
    std::remove(staging.c_str());
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
    // A small page cache: a lookup reads a handful of pages.
    exec(d.db_, "PRAGMA cache_size=-1024;");
    sqlite3_stmt* s = nullptr;
    int id = 0;
    if (sqlite3_prepare_v2(d.db_, "PRAGMA application_id", -1, &s, nullptr) != SQLITE_OK ||
        sqlite3_step(s) != SQLITE_ROW) {
        sqlite3_finalize(s);
        error = damaged;
        return std::nullopt;
    }
    id = sqlite3_column_int(s, 0);
    sqlite3_finalize(s);
    if (id != kCellDbApplicationId) {
        error = "Die Datei " + path +
                " ist keine Zellen-Datenbank von Funkor; bitte mit \"funkor-tool celldb import\" "
                "anlegen.";
        return std::nullopt;
    }
    if (sqlite3_prepare_v3(d.db_,
                           "SELECT lat, lon, range, samples, changeable, updated FROM cells"
                           " WHERE radio=?1 AND mcc=?2 AND net=?3 AND area=?4 AND cell=?5",
                           -1, SQLITE_PREPARE_PERSISTENT, &d.lookup_, nullptr) != SQLITE_OK) {
        error = damaged;
        return std::nullopt;
    }
    // One read proves the table's first pages are sound.
    const int rc = sqlite3_prepare_v2(d.db_, "SELECT 1 FROM cells LIMIT 1", -1, &s, nullptr);
    const int step = rc == SQLITE_OK ? sqlite3_step(s) : rc;
    sqlite3_finalize(s);
    if (step != SQLITE_ROW && step != SQLITE_DONE) {
        error = damaged;
        return std::nullopt;
    }
    return d;
}

CellDatabase::CellDatabase(CellDatabase&& o) noexcept
    : db_(o.db_), lookup_(o.lookup_), path_(std::move(o.path_)) {
    o.db_ = nullptr;
    o.lookup_ = nullptr;
}

CellDatabase& CellDatabase::operator=(CellDatabase&& o) noexcept {
    if (this != &o) {
        close();
        db_ = o.db_;
        lookup_ = o.lookup_;
        path_ = std::move(o.path_);
        o.db_ = nullptr;
        o.lookup_ = nullptr;
    }
    return *this;
}

CellDatabase::~CellDatabase() {
    close();
}

void CellDatabase::close() {
    if (lookup_) sqlite3_finalize(lookup_);
    if (db_) sqlite3_close(db_);
    lookup_ = nullptr;
    db_ = nullptr;
}

CellLookup CellDatabase::find(const CellDbKey& key) const {
    CellLookup r;
    if (!lookup_) return r;
    sqlite3_bind_text(lookup_, 1, key.radio.data(), static_cast<int>(key.radio.size()),
                      SQLITE_STATIC);
    sqlite3_bind_int(lookup_, 2, key.mcc);
    sqlite3_bind_int(lookup_, 3, key.net);
    sqlite3_bind_int64(lookup_, 4, key.area);
    sqlite3_bind_int64(lookup_, 5, key.cell);
    const int rc = sqlite3_step(lookup_);
    if (rc == SQLITE_ROW) {
        CellDbPosition& p = r.position;
        p.latitude = sqlite3_column_double(lookup_, 0);
        p.longitude = sqlite3_column_double(lookup_, 1);
        p.range = sqlite3_column_int(lookup_, 2);
        p.samples = sqlite3_column_int(lookup_, 3);
        p.changeable = sqlite3_column_int(lookup_, 4) != 0;
        p.updated = sqlite3_column_int64(lookup_, 5);
        r.status = CellLookupStatus::Found;
    } else if (rc != SQLITE_DONE) {
        r.status = CellLookupStatus::Failed;
        const int primary = rc & 0xFF;
        r.damaged =
            primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_FORMAT;
        if (r.damaged)
            r.error = "Die Zellen-Datenbank " + path_ + " ist beschädigt (" + sqlite3_errstr(rc) +
                      "); bitte neu importieren.";
        else
            r.error = "Die Zellen-Datenbank " + path_ + " lässt sich nicht lesen (" +
                      sqlite3_errstr(rc) + ").";
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
