// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Lookup latency and resident memory of the cell database, for
// bench/celldb/run: reads the keys to look up (one "radio,mcc,net,area,cell"
// a line) from standard input, opens the database and times the opening
// and the first lookup (the cold start), warms up on the first tenth of the
// keys, then times each lookup of the keys and the area scans of the first
// thousand. Prints JSON.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "core/cell_database.h"

using namespace funkor;

namespace {

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: funkor-celldb-bench DB < keys\n";
        return 2;
    }
    std::vector<CellDbKey> keys;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::stringstream s(line);
        CellDbKey k;
        std::string part;
        std::getline(s, k.radio, ',');
        std::getline(s, part, ',');
        k.mcc = std::stoi(part);
        std::getline(s, part, ',');
        k.net = std::stoi(part);
        std::getline(s, part, ',');
        k.area = std::stoll(part);
        std::getline(s, part, ',');
        k.cell = std::stoll(part);
        keys.push_back(k);
    }
    if (keys.empty()) return 2;
    const long before = residentKiB();
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    const auto opening = Clock::now();
    std::string error;
    auto db = CellDatabase::open(argv[1], error);
    if (!db) {
        std::cerr << error << "\n";
        return 1;
    }
    const auto openedAt = Clock::now();
    (void)db->lookup(keys.back());
    const auto firstDone = Clock::now();
    const long opened = residentKiB();
    std::size_t found = 0;
    for (std::size_t i = 0; i < keys.size() / 10; ++i) found += db->lookup(keys[i]) ? 1 : 0;
    std::vector<double> micros;
    micros.reserve(keys.size());
    found = 0;
    for (const auto& k : keys) {
        const auto t0 = std::chrono::steady_clock::now();
        const bool hit = db->lookup(k).has_value();
        const auto t1 = std::chrono::steady_clock::now();
        found += hit ? 1 : 0;
        micros.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::size_t areaRows = 0;
    const auto a0 = Clock::now();
    for (std::size_t i = 0; i < 1000 && i < keys.size(); ++i)
        areaRows +=
            db->findInArea(keys[i].radio, keys[i].mcc, keys[i].net, keys[i].area).rows.size();
    const double areaMicros = ms(Clock::now() - a0);  // per scan: ms of 1000 scans
    const long after = residentKiB();
    std::sort(micros.begin(), micros.end());
    auto at = [&](double q) {
        return micros[static_cast<std::size_t>(q * static_cast<double>(micros.size() - 1))];
    };
    std::printf(
        "{\"lookups\": %zu, \"found\": %zu, \"medianMicros\": %.2f, \"p99Micros\": %.2f,"
        " \"maxMicros\": %.2f, \"openMillis\": %.3f, \"firstLookupMillis\": %.3f,"
        " \"areaScanMicros\": %.1f, \"areaRowsPerScan\": %.2f, \"residentKiBBefore\": %ld,"
        " \"residentKiBOpen\": %ld, \"residentKiBAfterLookups\": %ld}\n",
        micros.size(), found, at(0.5), at(0.99), micros.back(), ms(openedAt - opening),
        ms(firstDone - openedAt), areaMicros, static_cast<double>(areaRows) / 1000.0, before,
        opened, after);
    return 0;
}
