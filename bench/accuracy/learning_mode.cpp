// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Learning from one's own drives, before and after: a first drive with a GPS
// receiver records what the device hears through the measurement store and
// the recording gate the window uses, and the cells are learned from it
// (core/cell_learning). A second drive over the same roads (the device's
// readings drawn afresh, same network) is then estimated against a database
// that lacks 30 % of the cells and has 20 % of the rest displaced by 500 m:
// (a) with the imported rows alone, (b) with the learned rows beside them,
// chosen per cell as the window chooses them (choosePosition).
#include "bench/accuracy/learning_mode.h"

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/cell_learning.h"
#include "core/measurements.h"
#include "tools/phonesim/radio/radio_network.h"

namespace {

using funkor::radiosim::Density;

constexpr double kMissingShare = 0.3;
constexpr double kDisplacedShare = 0.2;
constexpr double kDisplacementMetres = 500;
// The window reads the cells every 3.5 s and records once a second.
constexpr int kReadEverySeconds = 4;
// GPS error: a first-order Gauss-Markov process per axis, 3 m standard
// deviation, correlated over a minute (as a consumer receiver drifts), and
// the HDOP-based accuracy the receiver would report.
constexpr double kGpsSigmaMetres = 3;
constexpr double kGpsCorrelationSeconds = 60;
constexpr double kGpsAccuracyMetres = 5;
constexpr std::int64_t kDriveStartMs = 1765000000000LL;

struct Outcome {
    std::vector<double> errors;
    int withinR68 = 0;
    int ticks = 0;  // observations of the second drive
    // The errors of the ticks at which both ways gave a position, so that
    // the two are compared on the same places.
    std::vector<double> common;

    // Estimates the tick; the error, or -1 without a position.
    double add(const funkor::radiosim::RadioNetwork& net, const funkor::Observation& obs,
               const funkor::CellLookups& lookups, funkor::TrackState& track,
               funkor::radiosim::Point truth) {
        ++ticks;
        const funkor::PositionEstimate e = funkor::estimatePosition(obs, lookups, track);
        if (!e.valid) return -1;
        const funkor::radiosim::Point p = net.fromLatLon(e.latitude, e.longitude);
        const double err = std::hypot(p.x - truth.x, p.y - truth.y);
        errors.push_back(err);
        withinR68 += err <= e.r68;
        return err;
    }
};

std::string outcomeJson(const Outcome& o) {
    char buf[320];
    const double n = static_cast<double>(std::max<std::size_t>(1, o.errors.size()));
    std::snprintf(buf, sizeof buf,
                  "{\"fixes\": %zu, \"positionShare\": %.3f, \"median\": %.0f, \"p67\": %.0f, "
                  "\"p95\": %.0f, \"withinR68\": %.3f, \"commonMedian\": %.0f, "
                  "\"commonP95\": %.0f}",
                  o.errors.size(), o.ticks ? static_cast<double>(o.errors.size()) / o.ticks : 0.0,
                  benchPercentile(o.errors, 0.5), benchPercentile(o.errors, 0.67),
                  benchPercentile(o.errors, 0.95), o.withinR68 / n, benchPercentile(o.common, 0.5),
                  benchPercentile(o.common, 0.95));
    return buf;
}

// The imported database after years of network changes: cells missing,
// rows of others far from where the cell now is.
std::vector<funkor::radiosim::SimRow> degradedRows(const funkor::radiosim::RadioNetwork& net,
                                                   std::vector<funkor::radiosim::SimRow> rows,
                                                   std::uint64_t seed, int& missing,
                                                   int& displaced) {
    std::mt19937_64 rng(seed * 7919 + 5);
    std::uniform_real_distribution<double> uni(0, 1);
    std::vector<funkor::radiosim::SimRow> out;
    for (funkor::radiosim::SimRow& r : rows) {
        if (uni(rng) < kMissingShare) {
            ++missing;
            continue;
        }
        if (uni(rng) < kDisplacedShare) {
            const double angle = 2 * M_PI * uni(rng);
            funkor::radiosim::Point p = net.fromLatLon(r.cell.latitude, r.cell.longitude);
            p.x += kDisplacementMetres * std::cos(angle);
            p.y += kDisplacementMetres * std::sin(angle);
            net.toLatLon(p, r.cell.latitude, r.cell.longitude);
            ++displaced;
        }
        out.push_back(r);
    }
    return out;
}

// The cells of a read as the window's recorder stores them: the serving
// cell and each neighbour, a neighbour without identity kept in the
// serving cell's network and area.
std::vector<funkor::MeasuredCell> benchMeasuredCells(const funkor::Observation& obs) {
    std::vector<funkor::MeasuredCell> cells;
    if (!obs.serving) return cells;
    const funkor::ObservedCell& s = *obs.serving;
    const auto row = [&s](const funkor::ObservedCell& c, bool serving) {
        funkor::MeasuredCell m;
        m.radio = funkor::radioName(c.radio);
        m.mcc = c.mcc.value_or(s.mcc.value_or(0));
        m.mnc = c.mnc.value_or(s.mnc.value_or(0));
        m.area = c.area.value_or(s.area.value_or(0));
        m.cell = c.cell;
        m.pci = c.unit;
        m.channel = c.channel;
        if (c.signalDbm) m.signalDbm = static_cast<int>(std::lround(*c.signalDbm));
        m.timingAdvance = c.timingAdvance;
        m.serving = serving;
        return m;
    };
    cells.push_back(row(s, true));
    for (const funkor::ObservedCell& n : obs.neighbours) cells.push_back(row(n, false));
    return cells;
}

struct FirstDrive {
    int recorded = 0;  // rows
    int refused = 0;   // ticks the gate refused
    funkor::LearnResult learned;
};

// Drives `track` with a GPS receiver and the recording on, then learns.
FirstDrive recordDrive(const funkor::radiosim::RadioNetwork& net,
                       const funkor::radiosim::DeviceOptions& dopt,
                       const std::vector<funkor::radiosim::TrackPoint>& track, std::uint64_t seed,
                       funkor::MeasurementStore& store) {
    FirstDrive out;
    funkor::radiosim::Device dev(net, dopt, seed);
    std::mt19937_64 rng(seed * 31337 + 17);
    std::normal_distribution<double> gauss(0, 1);
    const double a = std::exp(-1.0 / kGpsCorrelationSeconds);
    const double b = std::sqrt(1 - a * a) * kGpsSigmaMetres;
    double ex = kGpsSigmaMetres * gauss(rng), ey = kGpsSigmaMetres * gauss(rng);
    std::optional<funkor::Observation> lastRead;
    double lastReadAt = -1e9;
    std::optional<funkor::MeasuredFix> previous;
    for (const funkor::radiosim::TrackPoint& tp : track) {
        const int second = static_cast<int>(std::lround(tp.time));
        if (second % kReadEverySeconds == 0) {
            lastRead = dev.observe(tp);
            lastReadAt = tp.time;
        }
        ex = a * ex + b * gauss(rng);
        ey = a * ey + b * gauss(rng);
        funkor::MeasuredFix fix;
        fix.timeMs = kDriveStartMs + static_cast<std::int64_t>(std::llround(tp.time * 1000));
        net.toLatLon({tp.at.x + ex, tp.at.y + ey}, fix.latitude, fix.longitude);
        fix.accuracyMetres = kGpsAccuracyMetres;
        funkor::RecordGateInput in;
        in.gps.rmcActive = true;
        in.gps.ggaQuality = 1;
        in.gps.fix = fix;
        in.fixAgeMs = 200;
        in.previous = previous;
        const bool fresh = lastRead && tp.time - lastReadAt <= 5 && lastRead->serving;
        in.registered = fresh;
        in.cells = fresh ? 1 + lastRead->neighbours.size() : 0;
        const funkor::RecordGate gate = funkor::gateRecording(in);
        previous = fix;
        if (gate != funkor::RecordGate::Record) {
            ++out.refused;
            continue;
        }
        const funkor::RecordResult r = store.record(fix, benchMeasuredCells(*lastRead));
        out.recorded += r.stored;
    }
    out.learned = funkor::learnCells(store, kDriveStartMs / 1000 + 86400);
    return out;
}

// The lookups of the window's estimate: per cell, the imported or the
// learned row as choosePosition picks them; neighbours by code from the
// imported database only.
funkor::CellLookups withLearned(const funkor::CellLookups& imported,
                                const funkor::MeasurementStore& store) {
    funkor::CellLookups l;
    l.find = [imported, &store](const funkor::CellDbKey& key) -> std::optional<funkor::KnownCell> {
        const std::optional<funkor::KnownCell> row = imported.find(key);
        std::optional<funkor::CellDbPosition> pos;
        if (row) {
            pos = funkor::CellDbPosition{};
            pos->latitude = row->latitude;
            pos->longitude = row->longitude;
            pos->range = row->range;
            pos->samples = row->samples;
            pos->changeable = true;
            pos->unit = row->unit.value_or(-1);
        }
        const auto chosen = funkor::choosePosition(pos, funkor::findLearned(store, key));
        if (!chosen) return std::nullopt;
        return funkor::knownCellFrom(key, *chosen, row ? row->unit : std::nullopt);
    };
    l.findByUnit = imported.findByUnit;
    return l;
}

}  // namespace

int runLearningBench(const std::vector<std::uint64_t>& seeds, const std::string& onlyScenario,
                     const std::string& onlyDevice) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() /
                         ("funkor-learning-bench-" + std::to_string(static_cast<long>(getpid())));
    fs::create_directories(dir);
    std::printf("{\n  \"seeds\": [");
    for (std::size_t i = 0; i < seeds.size(); ++i)
        std::printf("%s%llu", i ? ", " : "", static_cast<unsigned long long>(seeds[i]));
    std::printf(
        "],\n  \"missingShare\": %.2f, \"displacedShare\": %.2f, \"displacedMetres\": %.0f,"
        "\n  \"learning\": [\n",
        kMissingShare, kDisplacedShare, kDisplacementMetres);
    bool first = true;
    for (const char* device : {"lte", "gsm"}) {
        if (!onlyDevice.empty() && onlyDevice != device) continue;
        const bool lte = std::string(device) == "lte";
        for (const AccuracyScenario& sc : kAccuracyScenarios) {
            if (!onlyScenario.empty() && onlyScenario != sc.name) continue;
            Outcome before, after;
            int missing = 0, displaced = 0, rows = 0, recorded = 0, refused = 0;
            std::int64_t learned = 0, heard = 0;
            for (std::uint64_t seed : seeds) {
                funkor::radiosim::RadioNetwork net(
                    {sc.density, lte ? funkor::Radio::Lte : funkor::Radio::Gsm, seed});
                const auto full = net.databaseRows(seed);
                rows += static_cast<int>(full.size());
                const auto degraded = degradedRows(net, full, seed, missing, displaced);
                funkor::radiosim::MemoryDatabase db(degraded);
                const funkor::CellLookups imported = db.lookups();
                funkor::radiosim::DeviceOptions dopt;
                dopt.neighboursWithIdentity = !lte;
                dopt.maxNeighbours = lte ? 8 : 6;
                const auto track =
                    funkor::radiosim::roadTrack(net, sc.speed, sc.minutes * 60, 1, seed);

                const fs::path file = dir / (std::string(sc.name) + "-" + device + "-" +
                                             std::to_string(seed) + ".db");
                fs::remove(file);
                std::string error;
                auto store = funkor::MeasurementStore::open(file.string(), error);
                if (!store) {
                    std::fprintf(stderr, "%s: %s\n", file.c_str(), error.c_str());
                    return 1;
                }
                const FirstDrive drive = recordDrive(net, dopt, track, seed, *store);
                recorded += drive.recorded;
                refused += drive.refused;
                learned += drive.learned.learned;
                heard += drive.learned.cells;
                const funkor::CellLookups both = withLearned(imported, *store);

                // The second drive: the same roads, the readings drawn afresh.
                funkor::radiosim::Device dev(net, dopt, seed + 1000);
                funkor::TrackState trackA, trackB;
                for (const funkor::radiosim::TrackPoint& tp : track) {
                    if (static_cast<int>(std::lround(tp.time)) % kReadEverySeconds != 0) continue;
                    const funkor::Observation obs = dev.observe(tp);
                    const double a = before.add(net, obs, imported, trackA, tp.at);
                    const double b = after.add(net, obs, both, trackB, tp.at);
                    if (a >= 0 && b >= 0) {
                        before.common.push_back(a);
                        after.common.push_back(b);
                    }
                }
                store.reset();
                fs::remove(file);
                fs::remove(file.string() + "-wal");
                fs::remove(file.string() + "-shm");
            }
            std::printf(
                "%s    {\"scenario\": \"%s\", \"device\": \"%s\", \"databaseRows\": %d, "
                "\"missing\": %d, \"displaced\": %d,\n     \"recordedRows\": %d, "
                "\"refusedTicks\": %d, \"cellsHeard\": %lld, \"cellsLearned\": %lld,\n"
                "     \"withoutLearning\": %s,\n     \"withLearning\": %s}",
                first ? "" : ",\n", sc.name, device, rows, missing, displaced, recorded, refused,
                static_cast<long long>(heard), static_cast<long long>(learned),
                outcomeJson(before).c_str(), outcomeJson(after).c_str());
            first = false;
            std::fflush(stdout);
        }
    }
    std::printf("\n  ]\n}\n");
    fs::remove_all(dir);
    return 0;
}

double benchPercentile(std::vector<double> v, double q) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const double pos = q * static_cast<double>(v.size() - 1);
    const auto lo = static_cast<std::size_t>(std::floor(pos));
    const auto hi = std::min(v.size() - 1, lo + 1);
    return v[lo] + (v[hi] - v[lo]) * (pos - static_cast<double>(lo));
}
