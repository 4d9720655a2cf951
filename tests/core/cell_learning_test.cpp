// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/cell_learning.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

using namespace funkor;

namespace {

constexpr double kMastLat = 48.5, kMastLon = 9.5;

// A sample `east` and `north` metres from the mast.
CellSample at(double east, double north, std::optional<int> signal = std::nullopt) {
    const double perDegLat = 111195.0;
    const double perDegLon = perDegLat * std::cos(kMastLat * M_PI / 180);
    return {kMastLat + north / perDegLat, kMastLon + east / perDegLon, signal, {}};
}

std::vector<CellSample> ring(double radius, int n, int signal = -80) {
    std::vector<CellSample> s;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        s.push_back(at(radius * std::cos(a), radius * std::sin(a), signal));
    }
    return s;
}

// A drive 2 km south of the mast, east along a road and then south, with
// the timing advance a GSM phone reports (553.5 m steps) at each sample, or
// one advance throughout (`flat`).
std::vector<CellSample> roadWithAdvance(bool flat) {
    std::vector<CellSample> s;
    auto add = [&](double east, double north) {
        CellSample c = at(east, north, -70);
        const double d = std::hypot(east, north);
        c.mastDistance = flat ? 2000 : (std::floor(d / 553.5) + 0.5) * 553.5;
        s.push_back(c);
    };
    for (int x = -2500; x <= 2500; x += 100) add(x, -2000);
    for (int y = -2100; y >= -3500; y -= 100) add(2500, y);
    return s;
}

double offMast(const CellEstimate& e) {
    return distanceMetres(kMastLat, kMastLon, e.latitude, e.longitude);
}

}  // namespace

TEST(CellLearning, EstimatesPositionAndRangeFromSpreadSamples) {
    std::vector<CellSample> withOutlier = ring(1000, 8);
    withOutlier.push_back(at(20000, 5000, -60));  // heard once far off, strongly
    // A road 300 m south of the mast, driven mostly on one side of it: the
    // plain mean of the samples lies 2 km east of the mast.
    std::vector<CellSample> road;
    for (int x = -500; x <= 4500; x += 250)
        road.push_back(at(x, -300, -60 - static_cast<int>(std::hypot(x, 300) / 50)));
    std::vector<CellSample> onePlace;
    for (int i = 0; i < 10; ++i) onePlace.push_back(at(i * 3, i * 2, -70));

    struct Case {
        const char* label;
        std::vector<CellSample> samples;
        LearnOutcome outcome;
        double maxOffMast;  // metres
        int samplesKept, trimmed, rangeLo, rangeHi;
    };
    const Case cases[] = {
        {"ring of 1 km", ring(1000, 8), LearnOutcome::Learned, 5, 8, 0, 999, 1001},
        {"outlier 20 km off", withOutlier, LearnOutcome::Learned, 5, 8, 1, 999, 1001},
        {"road past the mast", road, LearnOutcome::Learned, 800, 21, 0, 3000, 4500},
        {"ten samples from one place", onePlace, LearnOutcome::TooLittleSpread, 1e9, 10, 0, 0,
         1000},
        {"four samples", ring(1000, 4), LearnOutcome::TooFewSamples, 1e9, 4, 0, 0, 0},
        // The advance's rings meet at the mast; the row stays a little
        // toward the drive, as the rows of the open databases do.
        {"road 2 km off, with advance", roadWithAdvance(false), LearnOutcome::Learned, 700, 66, 0,
         3000, 4500},
        {"road 2 km off, one advance", roadWithAdvance(true), LearnOutcome::Learned, 2500, 66, 0,
         1500, 3000},
    };
    for (const auto& c : cases) {
        const CellEstimate e = estimateCell(c.samples);
        EXPECT_EQ(e.outcome, c.outcome) << c.label;
        EXPECT_EQ(e.fromAdvance, std::string(c.label) == "road 2 km off, with advance") << c.label;
        EXPECT_EQ(e.samples, c.samplesKept) << c.label;
        EXPECT_EQ(e.trimmed, c.trimmed) << c.label;
        if (c.outcome == LearnOutcome::TooFewSamples) continue;
        EXPECT_LE(offMast(e), c.maxOffMast) << c.label;
        EXPECT_GE(e.range, c.rangeLo) << c.label;
        EXPECT_LE(e.range, c.rangeHi) << c.label;
    }
    // Without signals the road's samples count alike and the estimate
    // stays at their mean.
    const CellEstimate equal = estimateCell([&] {
        auto flat = road;
        for (auto& s : flat) s.signalDbm.reset();
        return flat;
    }());
    EXPECT_NEAR(offMast(equal), 2022, 5);
}

TEST(CellLearning, LearnsFromTheStoreAndPrefersTheRowWithMoreEvidence) {
    const std::string path =
        ::testing::TempDir() + "funkor_learn_" + std::to_string(getpid()) + ".db";
    for (const char* tail : {"", "-wal", "-shm"}) std::remove((path + tail).c_str());
    std::string error;
    auto store = MeasurementStore::open(path, error);
    ASSERT_TRUE(store) << error;
    MeasuredCell spread{"GSM", 262, 7, 1234, 100, {}, {}, -75, {}, true};
    MeasuredCell parked{"GSM", 262, 7, 1234, 200, {}, {}, -85, {}, false};
    MeasuredCell noId{"UMTS", 262, 7, 1234, {}, 311, 10788, -95, {}, false};
    int tick = 0;
    for (const CellSample& s : ring(800, 7)) {
        store->record({1796817600000 + 1000 * tick++, s.latitude, s.longitude, 5.0, {}, {}},
                      {spread, noId});
    }
    for (int i = 0; i < 9; ++i)
        store->record({1796817600000 + 1000 * tick++, kMastLat, kMastLon, 5.0, {}, {}}, {parked});
    const LearnResult r = learnCells(*store, 1796817700);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.cells, 2);
    EXPECT_EQ(r.learned, 1);
    EXPECT_EQ(r.tooClose, 1);

    const auto learned = findLearned(*store, {"GSM", 262, 7, 1234, 100});
    ASSERT_TRUE(learned);
    EXPECT_EQ(learned->samples, 7);
    EXPECT_NEAR(learned->range, 800, 2);
    EXPECT_EQ(learned->updated, 1796817700);
    EXPECT_LT(distanceMetres(kMastLat, kMastLon, learned->latitude, learned->longitude), 5);
    EXPECT_FALSE(findLearned(*store, {"GSM", 262, 7, 1234, 200}));

    // A second drive takes the parked cell around: learning just the cells
    // of that drive places it and leaves the others' rows alone.
    for (const CellSample& s : ring(500, 6))
        store->record({1796817600000 + 1000 * tick++, s.latitude, s.longitude, 5.0, {}, {}},
                      {parked});
    const LearnResult drive = learnCellsOf(*store, {{"GSM", 262, 7, 1234, 200}}, 1796817800);
    ASSERT_TRUE(drive.ok) << drive.error;
    EXPECT_EQ(drive.learned, 1);
    const auto placed = findLearned(*store, {"GSM", 262, 7, 1234, 200});
    ASSERT_TRUE(placed);
    EXPECT_EQ(placed->samples, 15);
    EXPECT_EQ(findLearned(*store, {"GSM", 262, 7, 1234, 100})->updated, 1796817700);

    CellDbPosition fewer{48.0, 9.0, 3000, 3, true, 0};
    CellDbPosition more{48.0, 9.0, 3000, 40, true, 0};
    CellDbPosition site{48.0, 9.0, 0, 1, false, 0};
    struct Case {
        const char* label;
        std::optional<CellDbPosition> imported;
        std::optional<LearnedCell> learned;
        std::optional<CellSource> chosen;
    };
    const Case cases[] = {
        {"learned has more samples", fewer, learned, CellSource::Learned},
        {"imported has more samples", more, learned, CellSource::Imported},
        {"imported site position", site, learned, CellSource::Imported},
        {"only learned", std::nullopt, learned, CellSource::Learned},
        {"only imported", fewer, std::nullopt, CellSource::Imported},
        {"neither", std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        const auto p = choosePosition(c.imported, c.learned);
        ASSERT_EQ(p.has_value(), c.chosen.has_value()) << c.label;
        if (p) {
            EXPECT_EQ(p->source, *c.chosen) << c.label;
        }
    }
    const auto fromLearned = choosePosition(std::nullopt, learned);
    EXPECT_EQ(fromLearned->position.range, learned->range);
    store.reset();
    for (const char* tail : {"", "-wal", "-shm"}) std::remove((path + tail).c_str());
}
