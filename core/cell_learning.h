// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/cell_database.h"
#include "core/measurements.h"
#include "core/position_estimate.h"

// Cell positions learned from one's own measurements.
//
// Per cell, from the places it was heard:
//  0. Samples within one 25 m grid square are one place (their mean
//     position, their strongest signal): an hour parked at one spot is one
//     vote, not 3600. The steps below work on places; the counts report
//     samples.
//  1. Each sample gets a weight from its signal, as amplitude relative to
//     the strongest sample of the cell: 10^((s - s_max) / 20), at least
//     kMinSampleWeight. Near the mast the signal is strongest, so those
//     samples pull hardest. A sample without a signal gets the median
//     weight of those with one (weight 1 when none has one).
//  2. Start from the median of latitude and longitude, which a few far
//     samples cannot move, however strong they were heard (the median
//     counts samples, not weights).
//  3. Trim: samples farther from the centre than kTrimFactor × the median
//     distance (at least kMinTrimMetres) are outliers (a cell heard once
//     far away, a GPS glitch) and left out. The centre becomes the weighted
//     mean of the rest, and the trimming runs once more from there.
//  4. The range is the 95th percentile of the kept places' distances from
//     the centre (the mast, where step 5 placed it; nearest rank, whole
//     metres up).
//  5. Where a GSM serving cell's timing advance was recorded at
//     kMinAdvancePlaces places or more, with two values at least, the mast
//     is the point whose distances to the places best match the advance's,
//     unless the rings miss it by more than kMaxAdvanceMisfitMetres or 30 %
//     of their mean radius. The centre then moves to within kRowFromMast ×
//     the cell's reach (the 95th percentile of the places' distances) of
//     the mast, on the way toward where the cell was heard. A drive along
//     one road otherwise puts the cell on the road, kilometres from its
//     mast in the country.
//  6. The cell is learned only with at least kMinLearnSamples kept samples
//     whose bounding box has a diagonal of at least kMinLearnSpreadMetres:
//     samples from one place say where the car was, not where the cell is.
namespace funkor {

inline constexpr int kMinLearnSamples = 5;
inline constexpr double kMinLearnSpreadMetres = 200;
inline constexpr double kMinSampleWeight = 0.05;
inline constexpr double kTrimFactor = 3;
inline constexpr double kMinTrimMetres = 500;
inline constexpr int kMinAdvancePlaces = 5;
inline constexpr double kMaxAdvanceMisfitMetres = 150;
inline constexpr double kRowFromMast = 0.1;

struct CellSample {
    double latitude = 0;
    double longitude = 0;
    std::optional<int> signalDbm;
    // The mast's distance by the serving cell's timing advance (the middle
    // of its step), when the sample has one.
    std::optional<double> mastDistance;
};

enum class LearnOutcome { Learned, TooFewSamples, TooLittleSpread };

struct CellEstimate {
    LearnOutcome outcome = LearnOutcome::TooFewSamples;
    double latitude = 0;
    double longitude = 0;
    int range = 0;             // metres
    int samples = 0;           // kept
    int trimmed = 0;           // left out as outliers
    double spread = 0;         // metres, diagonal of the kept samples' box
    bool fromAdvance = false;  // the centre is the mast the advance placed
};
CellEstimate estimateCell(const std::vector<CellSample>& samples);

// A learned row as the `learned` table keeps it.
struct LearnedCell {
    CellDbKey key;
    double latitude = 0;
    double longitude = 0;
    int range = 0;
    int samples = 0;
    int spread = 0;            // metres
    std::int64_t updated = 0;  // Unix seconds of the learning run
};

struct LearnResult {
    bool ok = false;
    std::string error;       // German, when !ok
    std::int64_t cells = 0;  // cells with an id among the measurements
    std::int64_t learned = 0;
    std::int64_t tooFew = 0;
    std::int64_t tooClose = 0;
    std::int64_t trimmed = 0;  // samples left out as outliers, all cells
};
// Learns every cell of the measurements afresh and replaces the `learned`
// table in one transaction. Rows without a cell id cannot be placed and
// are passed over.
LearnResult learnCells(MeasurementStore& store, std::int64_t nowSeconds);

// Learns only the cells `keys` afresh (those heard on one drive): each gets
// its row from all its measurements, or loses it when they no longer
// suffice. The other learned rows stay as they are.
LearnResult learnCellsOf(MeasurementStore& store, const std::vector<CellDbKey>& keys,
                         std::int64_t nowSeconds);

// The learned row of a cell; nothing when the cell is not learned.
std::optional<LearnedCell> findLearned(const MeasurementStore& store, const CellDbKey& key);

// Where a position came from.
enum class CellSource { Imported, Learned };
struct ChosenPosition {
    CellSource source = CellSource::Imported;
    CellDbPosition position;
};
// Of an imported and a learned row, the one with more samples (the
// imported one when they have as many, and always an imported site
// position, `changeable` 0, which is the mast itself); nothing when
// neither exists. A
// learned position is an estimate from measurements: `changeable` 1.
std::optional<ChosenPosition> choosePosition(const std::optional<CellDbPosition>& imported,
                                             const std::optional<LearnedCell>& learned);

// The chosen row of `key` as the estimator takes it, with the PSC/PCI the
// imported row gives (`unit`; a learned row has none).
KnownCell knownCellFrom(const CellDbKey& key, const ChosenPosition& chosen,
                        std::optional<int> unit);

}  // namespace funkor
