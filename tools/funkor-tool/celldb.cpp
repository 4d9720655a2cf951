// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// funkor-tool celldb: builds the offline cell database from an open cell
// database's CSV export and looks cells up in it.

#include "tools/funkor-tool/celldb.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "core/cell_database.h"
#include "core/cell_learning.h"
#include "core/measurements.h"
#include "tools/funkor-tool/measurements_cmd.h"

using namespace funkor;

namespace {

int usageError(const std::string& problem) {
    std::cerr << "funkor-tool: " << problem << "\n" << kCelldbUsage;
    return 2;
}

int refused(const std::string& problem) {
    std::cerr << "funkor-tool: " << problem << "\n";
    return 1;
}

bool readWhole(const std::string& s, long long lo, long long hi, long long& v) {
    if (s.empty()) return false;
    char* end = nullptr;
    v = std::strtoll(s.c_str(), &end, 10);
    return *end == '\0' && v >= lo && v <= hi;
}

// "262,232" -> {262, 232}; false on anything else.
bool readMccList(const std::string& s, std::vector<int>& out) {
    std::size_t at = 0;
    while (at <= s.size()) {
        const std::size_t comma = s.find(',', at);
        const std::string part = s.substr(at, comma == std::string::npos ? comma : comma - at);
        long long v = 0;
        if (!readWhole(part, 0, 999, v)) return false;
        out.push_back(static_cast<int>(v));
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return !out.empty();
}

// Takes "--db DB" (or another option `name` with a value) out of `a`;
// false when it lacks its value.
bool takeDb(std::vector<std::string>& a, std::string& db, const char* name = "--db") {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != name) continue;
        if (i + 1 >= a.size()) return false;
        db = a[i + 1];
        a.erase(a.begin() + static_cast<long>(i), a.begin() + static_cast<long>(i) + 2);
        return true;
    }
    return true;
}

void showProgress(const CellImportProgress& p) {
    const double rate = p.seconds > 0 ? static_cast<double>(p.rows) / p.seconds : 0;
    if (p.bytesTotal > 0)
        std::fprintf(stderr, "\r%lld rows  %.0f rows/s  %3.0f%%  ", static_cast<long long>(p.rows),
                     rate,
                     100.0 * static_cast<double>(p.bytesRead) / static_cast<double>(p.bytesTotal));
    else
        std::fprintf(stderr, "\r%lld rows  %.0f rows/s  ", static_cast<long long>(p.rows), rate);
    std::fflush(stderr);
}

int cmdImport(std::vector<std::string> a, std::string db) {
    CellImportOptions options;
    std::string file;
    bool update = false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--update") {
            update = true;
        } else if (a[i] == "--mcc") {
            if (i + 1 >= a.size() || !readMccList(a[i + 1], options.mccs))
                return usageError("--mcc needs country codes such as 262,232");
            ++i;
        } else if (a[i] == "--allow-empty") {
            options.allowEmpty = true;
        } else if (file.empty()) {
            file = a[i];
        } else {
            return usageError("celldb import takes one FILE");
        }
    }
    if (file.empty()) return usageError("celldb import needs the FILE");
    // Progress only where someone watches it; a log gets the summary alone.
    const bool terminal = isatty(STDERR_FILENO) == 1;
    if (terminal) options.progress = showProgress;
    const CellImportResult r =
        update ? updateCellDb(file, db, options) : importCellCsv(file, db, options);
    if (terminal) std::fputs("\n", stderr);
    for (const auto& p : r.problems)
        std::cerr << file << ": line " << p.line << ": " << csvRowErrorText(p.error) << "\n";
    if (r.skipped > static_cast<std::int64_t>(r.problems.size()))
        std::cerr << file << ": " << r.skipped - static_cast<std::int64_t>(r.problems.size())
                  << " more malformed lines\n";
    if (r.empty)
        return refused(r.error + " Mit --allow-empty wird trotzdem eine leere geschrieben.");
    if (!r.ok) return refused(r.error);
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", r.seconds);
    std::cout << "db=" << db << "\nimported=" << r.stored << "\nskipped=" << r.skipped
              << "\nfiltered=" << r.filtered
              << "\nduplicates=" << r.read - r.skipped - r.filtered - r.stored - r.older;
    if (update) std::cout << "\nolder=" << r.older;
    std::cout << "\nseconds=" << seconds << "\n";
    return 0;
}

int cmdLookup(const std::vector<std::string>& a, const std::string& db,
              const std::string& measurements) {
    if (a.size() != 5) return usageError("celldb lookup needs RADIO MCC MNC AREA CELL");
    CellDbKey key;
    key.radio = a[0];
    long long mcc = 0, mnc = 0, area = 0, cell = 0;
    if (!readWhole(a[1], 0, 999, mcc) || !readWhole(a[2], 0, 999, mnc) ||
        !readWhole(a[3], 0, 1LL << 40, area) || !readWhole(a[4], 0, 1LL << 48, cell))
        return refused("MCC, MNC, AREA and CELL must be decimal numbers");
    key.mcc = static_cast<int>(mcc);
    key.net = static_cast<int>(mnc);
    key.area = area;
    key.cell = cell;
    std::string error;
    std::optional<CellDbPosition> imported;
    if (const auto d = CellDatabase::open(db, error)) {
        const CellLookup found = d->find(key);
        if (found.status == CellLookupStatus::Failed) error = found.error;
        if (found.status == CellLookupStatus::Found) imported = found.position;
    }
    // The learned row, where the measurements file has one.
    std::optional<LearnedCell> learned;
    std::string measurementsError;
    if (const auto m = MeasurementStore::openReadOnly(measurements, measurementsError))
        learned = findLearned(*m, key);
    else if (!measurementsError.empty())
        std::cerr << "funkor-tool: " << measurementsError << "\n";
    const auto chosen = choosePosition(imported, learned);
    if (!chosen) return refused(error.empty() ? "cell not in " + db : error);
    if (!error.empty()) std::cerr << "funkor-tool: " << error << "\n";
    const CellDbPosition* p = &chosen->position;
    std::printf(
        "lat=%.7f\nlon=%.7f\nrange=%d\nsamples=%d\nchangeable=%d\nupdated=%lld\nsource=%s\n",
        p->latitude, p->longitude, p->range, p->samples, p->changeable ? 1 : 0,
        static_cast<long long>(p->updated),
        chosen->source == CellSource::Learned ? "learned" : "imported");
    if (p->unit >= 0) std::printf("unit=%d\n", p->unit);
    return 0;
}

}  // namespace

std::string defaultCellDbPath() {
    if (const char* home = std::getenv("FUNKOR_HOME"); home && *home)
        return std::string(home) + "/" + std::string(kCellDbFileName);
    std::string base;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        base = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        base = std::string(home) + "/.local/share";
    else
        base = ".";
    return base + "/funkor/" + std::string(kCellDbFileName);
}

int cmdCelldb(const std::vector<std::string>& args) {
    if (args.empty()) return usageError("celldb needs import, lookup or learn");
    std::vector<std::string> a(args.begin() + 1, args.end());
    std::string db, measurements;
    if (!takeDb(a, db)) return usageError("--db needs a file");
    if (!takeDb(a, measurements, "--measurements"))
        return usageError("--measurements needs a file");
    if (db.empty()) {
        db = defaultCellDbPath();
        // The installed program's data folder may not exist yet.
        const std::string folder = db.substr(0, db.rfind('/'));
        std::error_code ignored;
        if (args[0] == "import" && !folder.empty())
            std::filesystem::create_directories(folder, ignored);
    }
    if (args[0] == "import") return cmdImport(a, db);
    if (measurements.empty()) measurements = measurementsBeside(db);
    if (args[0] == "lookup") return cmdLookup(a, db, measurements);
    if (args[0] == "learn") return cmdLearn(a, measurements);
    return usageError("unknown celldb command " + args[0]);
}
