// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// funkor-tool measurements: gives the recorded cell measurements back to
// the open cell databases, as files or by upload; celldb learn places the
// cells they name.

#include "tools/funkor-tool/measurements_cmd.h"

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>

#include "core/cell_learning.h"
#include "core/measurement_export.h"
#include "core/measurements.h"
#include "tools/funkor-tool/celldb.h"

using namespace funkor;

namespace {

int usageError(const std::string& problem) {
    std::cerr << "funkor-tool: " << problem << "\n" << kMeasurementsUsage;
    return 2;
}

int refused(const std::string& problem) {
    std::cerr << "funkor-tool: " << problem << "\n";
    return 1;
}

bool writeFile(const std::string& path, const std::string& text) {
    if (path == "-") {
        std::cout << text;
        return static_cast<bool>(std::cout.flush());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

// Options with a value: "--name VALUE" taken out of `a` into `values`.
bool takeValues(std::vector<std::string>& a, const std::vector<std::string>& names,
                std::vector<std::pair<std::string, std::string>>& values, std::string& problem) {
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < a.size(); ++i) {
        bool known = false;
        for (const auto& n : names) known = known || a[i] == n;
        if (!known) {
            rest.push_back(a[i]);
            continue;
        }
        if (i + 1 >= a.size()) {
            problem = a[i] + " needs a value";
            return false;
        }
        values.emplace_back(a[i], a[i + 1]);
        ++i;
    }
    a = rest;
    return true;
}

bool readCount(const std::string& s, long long lo, long long hi, long long& v) {
    char* end = nullptr;
    v = std::strtoll(s.c_str(), &end, 10);
    return !s.empty() && *end == '\0' && v >= lo && v <= hi;
}

std::string defaultMeasurementsPath() {
    return measurementsBeside(defaultCellDbPath());
}

int cmdExport(const std::vector<std::pair<std::string, std::string>>& values, const std::string& db,
              std::int64_t since) {
    std::string ocid, geosubmit;
    for (const auto& [name, value] : values) {
        if (name == "--ocid") ocid = value;
        if (name == "--geosubmit") geosubmit = value;
    }
    if (ocid.empty() && geosubmit.empty())
        return usageError("measurements export needs --ocid FILE or --geosubmit FILE");
    std::string error;
    auto store = MeasurementStore::openReadOnly(db, error);
    if (!store) return refused(error.empty() ? "no measurements in " + db : error);
    MeasurementQuery q;
    q.sinceMs = since;
    const auto rows = store->rows(q);
    if (!ocid.empty() && !writeFile(ocid, ocidMeasurementCsv(rows)))
        return refused("cannot write " + ocid);
    if (!geosubmit.empty()) {
        const auto items = geosubmitItems(rows);
        if (!writeFile(geosubmit, geosubmitJson(items, true)))
            return refused("cannot write " + geosubmit);
        std::cerr << "reports=" << items.size() << "\n";
    }
    std::cerr << "rows=" << rows.size() << "\n";
    return 0;
}

}  // namespace

std::string measurementsBeside(const std::string& cellDbPath) {
    const std::size_t slash = cellDbPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : cellDbPath.substr(0, slash);
    return folder + "/" + std::string(kMeasurementsFileName);
}

int cmdLearn(const std::vector<std::string>& args, const std::string& path) {
    if (!args.empty()) return usageError("celldb learn takes no " + args[0]);
    std::string error;
    if (!MeasurementStore::openReadOnly(path, error)) {
        return refused(error.empty() ? "no measurements in " + path : error);
    }
    auto store = MeasurementStore::open(path, error);
    if (!store) return refused(error);
    const LearnResult r = learnCells(*store, static_cast<std::int64_t>(std::time(nullptr)));
    if (!r.ok) return refused(r.error);
    std::cout << "measurements=" << path << "\ncells=" << r.cells << "\nlearned=" << r.learned
              << "\ntoo_few=" << r.tooFew << "\ntoo_close=" << r.tooClose
              << "\ntrimmed=" << r.trimmed << "\n";
    return 0;
}

int cmdMeasurements(const std::vector<std::string>& args) {
    if (args.empty()) return usageError("measurements needs export or upload");
    std::vector<std::string> a(args.begin() + 1, args.end());
    std::vector<std::pair<std::string, std::string>> values;
    std::string problem;
    if (!takeValues(a,
                    {"--ocid", "--geosubmit", "--since", "--db", "--batch", "--tries", "--backoff"},
                    values, problem))
        return usageError(problem);
    if (!a.empty()) return usageError("unknown argument " + a[0]);
    std::string db = defaultMeasurementsPath();
    std::int64_t since = 0;
    for (const auto& [name, value] : values) {
        if (name == "--db") db = value;
        if (name == "--since") {
            const auto t = parseUtcDate(value);
            if (!t) return usageError("--since needs YYYY-MM-DD or YYYY-MM-DDThh:mm:ss");
            since = *t;
        }
    }
    if (args[0] == "export") return cmdExport(values, db, since);
    if (args[0] != "upload") return usageError("unknown measurements command " + args[0]);

    GeosubmitUploadOptions options;
    options.sinceMs = since;
    for (const auto& [name, value] : values) {
        long long v = 0;
        if (name == "--geosubmit") options.url = value;
        if (name == "--ocid") return usageError("upload sends geosubmit reports only");
        if (name == "--batch") {
            if (!readCount(value, 1, 10000, v)) return usageError("--batch needs 1 to 10000");
            options.batch = static_cast<std::size_t>(v);
        }
        if (name == "--tries") {
            if (!readCount(value, 1, 100, v)) return usageError("--tries needs 1 to 100");
            options.tries = static_cast<int>(v);
        }
        if (name == "--backoff") {
            if (!readCount(value, 0, 600000, v)) return usageError("--backoff needs milliseconds");
            options.backoffMs = static_cast<int>(v);
        }
    }
    if (options.url.empty()) return usageError("measurements upload needs --geosubmit URL");
    std::string error;
    if (!MeasurementStore::openReadOnly(db, error))
        return refused(error.empty() ? "no measurements in " + db : error);
    auto store = MeasurementStore::open(db, error);
    if (!store) return refused(error);
    return uploadGeosubmit(*store, options);
}
