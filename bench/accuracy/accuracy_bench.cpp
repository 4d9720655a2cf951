// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Accuracy of the cell position estimate against the true track, on the
// simulated radio network: per scenario and device, the median, 67th and
// 95th percentile error of (a) the serving cell's row, (b) the Ichnaea-style
// weighted mean on the same resolved cells, (c) Funkor's estimator, and the
// share of fixes within Funkor's reported r68 and r95. Also the time of one
// estimate over 20 cells. Prints JSON.
//
//   funkor-accuracy-bench [--seeds 1,2,3] [--scenario city-walk] [--device lte|gsm]
//                         [--tune name=value ...] [--csv DIR] [--no-track]
//                         [--no-timing-advance] [--learning]
//
// With --learning it measures instead what cells learned from a first drive
// do for a second one over a damaged database (learning_mode.cpp).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "bench/accuracy/learning_mode.h"
#include "tools/phonesim/radio/radio_network.h"

using namespace funkor;
using namespace funkor::radiosim;

namespace {

struct Errors {
    std::vector<double> serving, ichnaea, funkor, perSigma;
    int withinR68 = 0, withinR95 = 0, fixes = 0, cellIdOnly = 0, withTa = 0;
    double sumR68 = 0, sumCells = 0;
};

std::string stats(const std::vector<double>& v) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "{\"median\": %.0f, \"p67\": %.0f, \"p95\": %.0f}",
                  benchPercentile(v, 0.5), benchPercentile(v, 0.67), benchPercentile(v, 0.95));
    return buf;
}

double errorOf(const RadioNetwork& net, const PositionEstimate& e, Point truth) {
    const Point p = net.fromLatLon(e.latitude, e.longitude);
    return std::hypot(p.x - truth.x, p.y - truth.y);
}

bool applyTune(EstimatorTuning& t, const std::string& kv) {
    const auto eq = kv.find('=');
    if (eq == std::string::npos) return false;
    const std::string k = kv.substr(0, eq);
    const double v = std::atof(kv.c_str() + eq + 1);
    std::map<std::string, double*> knobs = {{"signalDbPerFactor", &t.signalDbPerFactor},
                                            {"rangeExponent", &t.rangeExponent},
                                            {"tickSigmaScale", &t.tickSigmaScale},
                                            {"floorScale", &t.floorScale},
                                            {"accelerationNoise", &t.accelerationNoise},
                                            {"gate", &t.gate},
                                            {"r68Factor", &t.r68Factor},
                                            {"r95Factor", &t.r95Factor},
                                            {"unknownNeighbourDb", &t.unknownNeighbourDb},
                                            {"servingSpread", &t.servingSpread},
                                            {"pathLossExponent", &t.pathLossExponent},
                                            {"shadowSigmaDb", &t.shadowSigmaDb},
                                            {"centroidPrior", &t.centroidPrior},
                                            {"radiusRangeExponent", &t.radiusRangeExponent},
                                            {"firstStepPull", &t.firstStepPull},
                                            {"ringSpread", &t.ringSpread},
                                            {"ringBias", &t.ringBias},
                                            {"neighbourReach", &t.neighbourReach},
                                            {"gridWeight", &t.gridWeight},
                                            {"decorrelationMetres", &t.decorrelationMetres},
                                            {"maxAlike", &t.maxAlike},
                                            {"radiusScaleMax", &t.radiusScaleMax},
                                            {"centroidSigma", &t.centroidSigma},
                                            {"speedNoise", &t.speedNoise},

                                            {"absoluteSigma", &t.absoluteSigma},
                                            {"samplesExponent", &t.samplesExponent}};
    auto it = knobs.find(k);
    if (it == knobs.end()) return false;
    *it->second = v;
    return true;
}

// Microseconds of one estimate over a serving cell and 19 neighbours, all
// known, the lookups answered from memory.
double timePerEstimate(const EstimatorTuning& tuning) {
    RadioNetwork net({Density::City, Radio::Gsm, 5});
    const auto rows = net.databaseRows(5, 40);
    MemoryDatabase db(rows);
    const CellLookups lookups = db.lookups();
    Observation obs;
    ObservedCell s;
    s.radio = Radio::Gsm;
    s.mcc = rows[0].cell.key.mcc;
    s.mnc = rows[0].cell.key.net;
    s.area = rows[0].cell.key.area;
    s.cell = rows[0].cell.key.cell;
    s.signalDbm = -60;
    s.timingAdvance = 2;
    obs.serving = s;
    for (std::size_t i = 1; i < 20 && i < rows.size(); ++i) {
        ObservedCell n = s;
        n.area = rows[i].cell.key.area;
        n.cell = rows[i].cell.key.cell;
        n.signalDbm = -60 - static_cast<double>(i);
        n.timingAdvance.reset();
        obs.neighbours.push_back(n);
    }
    TrackState track;
    const int runs = 20000;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < runs; ++i) {
        obs.time = i * 4.0;
        estimatePosition(obs, lookups, track, tuning);
    }
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::micro>(t1 - t0).count() / runs;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::uint64_t> seeds = {1, 2, 3};
    std::string onlyScenario, onlyDevice, csvDir;
    bool learning = false;
    bool noTrack = false;          // each tick on its own, without the track filter
    bool noTimingAdvance = false;  // a device that does not report it (Quectel idle)
    EstimatorTuning tuning;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--seeds" && i + 1 < argc) {
            seeds.clear();
            std::string list = argv[++i];
            std::size_t start = 0;
            while (start <= list.size()) {
                const auto comma = list.find(',', start);
                seeds.push_back(
                    std::strtoull(list.substr(start, comma - start).c_str(), nullptr, 10));
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        } else if (a == "--scenario" && i + 1 < argc) {
            onlyScenario = argv[++i];
        } else if (a == "--device" && i + 1 < argc) {
            onlyDevice = argv[++i];
        } else if (a == "--learning") {
            learning = true;
        } else if (a == "--no-track") {
            noTrack = true;
        } else if (a == "--no-timing-advance") {
            noTimingAdvance = true;
        } else if (a == "--csv" && i + 1 < argc) {
            csvDir = argv[++i];
        } else if (a == "--tune" && i + 1 < argc) {
            if (!applyTune(tuning, argv[++i])) {
                std::fprintf(stderr, "unknown knob: %s\n", argv[i]);
                return 2;
            }
        } else {
            std::fprintf(stderr,
                         "usage: funkor-accuracy-bench [--seeds 1,2,3] [--scenario NAME] "
                         "[--device lte|gsm] [--tune name=value] [--csv DIR] [--no-track] "
                         "[--no-timing-advance] [--learning]\n");
            return 2;
        }
    }

    if (learning) return runLearningBench(seeds, onlyScenario, onlyDevice);

    std::printf("{\n  \"seeds\": [");
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        std::printf("%s%llu", i ? ", " : "", static_cast<unsigned long long>(seeds[i]));
    }
    std::printf("],\n  \"scenarios\": [\n");
    bool firstOut = true;
    for (const char* device : {"lte", "gsm"}) {
        if (!onlyDevice.empty() && onlyDevice != device) continue;
        const bool lte = std::string(device) == "lte";
        for (const AccuracyScenario& sc : kAccuracyScenarios) {
            if (!onlyScenario.empty() && onlyScenario != sc.name) continue;
            Errors err;
            for (std::uint64_t seed : seeds) {
                RadioNetwork net({sc.density, lte ? Radio::Lte : Radio::Gsm, seed});
                const auto rows = net.databaseRows(seed);
                if (!csvDir.empty()) {
                    std::ofstream(csvDir + "/" + sc.name + "-" + device + "-" +
                                  std::to_string(seed) + ".csv")
                        << RadioNetwork::csv(rows);
                }
                MemoryDatabase db(rows);
                const CellLookups lookups = db.lookups();
                DeviceOptions dopt;
                dopt.neighboursWithIdentity = !lte;
                dopt.maxNeighbours = lte ? 8 : 6;
                dopt.timingAdvance = !noTimingAdvance;
                Device dev(net, dopt, seed);
                TrackState track;
                for (const TrackPoint& tp : roadTrack(net, sc.speed, sc.minutes * 60, 4, seed)) {
                    const Observation obs = dev.observe(tp);
                    if (noTrack) track = TrackState{};
                    const PositionEstimate a = servingCellEstimate(obs, lookups);
                    const PositionEstimate c = estimatePosition(obs, lookups, track, tuning);
                    if (!a.valid || !c.valid) continue;
                    const PositionEstimate b = ichnaeaEstimate(c.cells, obs.time);
                    err.serving.push_back(errorOf(net, a, tp.at));
                    err.ichnaea.push_back(errorOf(net, b, tp.at));
                    const double e = errorOf(net, c, tp.at);
                    err.funkor.push_back(e);
                    err.perSigma.push_back(e * tuning.r68Factor / c.r68);
                    ++err.fixes;
                    err.withinR68 += e <= c.r68;
                    err.withinR95 += e <= c.r95;
                    err.cellIdOnly += c.cellIdOnly;
                    err.withTa += c.timingAdvanceUsed;
                    err.sumR68 += c.r68;
                    err.sumCells += c.cellsUsed;
                }
            }
            const double n = std::max(1, err.fixes);
            const double mA = benchPercentile(err.serving, 0.5),
                         mB = benchPercentile(err.ichnaea, 0.5),
                         mC = benchPercentile(err.funkor, 0.5);
            const double share68 = err.withinR68 / n;
            const bool ok =
                mC <= 0.5 * mA && mC <= 0.7 * mB &&
                benchPercentile(err.funkor, 0.95) <= benchPercentile(err.ichnaea, 0.95) &&
                share68 >= 0.6 && share68 <= 0.75;
            std::printf(
                "%s    {\"scenario\": \"%s\", \"device\": \"%s\", \"fixes\": %d,\n"
                "     \"servingCell\": %s,\n     \"ichnaea\": %s,\n     \"funkor\": %s,\n"
                "     \"withinR68\": %.3f, \"withinR95\": %.3f, \"meanR68\": %.0f, "
                "\"meanCells\": %.1f, \"cellIdOnly\": %.3f, \"timingAdvance\": %.3f,\n"
                "     \"ratioServing\": %.2f, \"ratioIchnaea\": %.2f, \"errorPerSigma\": "
                "[%.2f, %.2f], \"targetsMet\": %s}",
                firstOut ? "" : ",\n", sc.name, device, err.fixes, stats(err.serving).c_str(),
                stats(err.ichnaea).c_str(), stats(err.funkor).c_str(), share68, err.withinR95 / n,
                err.sumR68 / n, err.sumCells / n, err.cellIdOnly / n, err.withTa / n,
                mA > 0 ? mC / mA : 0, mB > 0 ? mC / mB : 0, benchPercentile(err.perSigma, 0.68),
                benchPercentile(err.perSigma, 0.95), ok ? "true" : "false");
            firstOut = false;
            std::fflush(stdout);
        }
    }
    std::printf("\n  ],\n  \"microsPerEstimate20Cells\": %.1f\n}\n", timePerEstimate(tuning));
    return 0;
}
