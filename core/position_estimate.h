// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/cell_database.h"
#include "core/cell_observation.h"
#include "core/nmea.h"

// The device's position from every cell it hears, its serving cell's timing
// advance and its track, with an error radius that holds: the true position
// lies within r68 about 68 % of the time and within r95 about 95 %.
//
// How it works, per tick:
// 1. Every cell of the observation is looked up. A neighbour known only by
//    its PCI/PSC is matched among the cells of the serving cell's operator,
//    radio and area whose `unit` holds that code and that lie within reach
//    of the serving cell (both ranges plus a margin); none or more than one
//    such cell: the neighbour is left out.
// 2. A cell row of an open database is the centroid of where the cell was
//    measured, not its mast: it lies out in the sector's coverage, about a
//    third of the range from the mast. An unknown range (0) is estimated
//    from the distances to the other rows of the same observation, or the
//    radio's typical reach when there are none; the estimate says so.
// 3. The rows are averaged with weights that fall with the level against
//    the strongest cell's (a cell 8 dB weaker counts 1/e as much: a level
//    falls about 35 dB per decade of distance, so this is the weight
//    1 / distance² of the path loss). Row errors of different cells are
//    independent, so many cells of similar level average out better than
//    the strongest alone. The tick's error is a share of the cells' mean
//    range, smaller the more cells share the weight. (A likelihood over a
//    grid, with each sector's mast, direction and antenna pattern predicting
//    the levels, is kept as an option, `gridWeight`; on the simulator the
//    shadowing leaves it broad and with several peaks, and it did worse
//    than the mean.)
// 4. A Kalman filter (position and velocity) follows the device: a tick's
//    position moves the track by its error against the track's, a reading
//    far outside both is taken with a matching loss of trust instead of
//    being followed, and the speed stays below 200 km/h. Its process noise
//    grows with the speed. Standing still, the estimate settles on the mean
//    of the readings.
// 5. The serving cell's timing advance (GSM 553.5 m, LTE 78.12 m a step)
//    then pulls the track onto the ring around the mast (an advance of 0:
//    inside the first step, where the track lies beyond it). The mast is
//    the mean of the rows of its sectors where the database has them, else
//    the row itself. The sectors are the cells numbered as operators number
//    a site's sectors (LTE: the same eNodeB, cell id / 256; GSM and UMTS:
//    all but the last decimal digit) whose rows lie close to the cell's own.
// 6. The radii: the track's spread plus what averaging cannot take away
//    (the rows' own displacement), times factors measured on the radio
//    simulator (bench/accuracy) so that r68 holds for about 68 % of fixes;
//    among wide cells they come out a little smaller than among small ones.
//    Without a ring, a slow device's spread counts up to twice: its
//    readings a few metres apart share the shadowing, and the filter,
//    taking them as independent, is surer than they allow.
namespace funkor {

// A cell as the database gives it; `unit` is the PCI/PSC where known.
struct KnownCell {
    CellDbKey key;
    std::optional<int> unit;
    double latitude = 0;
    double longitude = 0;
    int range = 0;  // metres; 0: unknown
    int samples = 0;
};

// The database, as two lookups; the estimator never opens a file itself.
struct CellLookups {
    std::function<std::optional<KnownCell>(const CellDbKey& key)> find;
    // Cells of radio, MCC, MNC and area whose unit is `unit`. May be empty
    // (a database without the unit column): neighbours known only by their
    // code are then not used.
    std::function<std::vector<KnownCell>(const std::string& radio, int mcc, int net,
                                         std::int64_t area, int unit)>
        findByUnit;
};

// One cell that went into an estimate.
struct UsedCell {
    KnownCell row;
    bool serving = false;
    bool matchedByUnit = false;   // found by its PCI/PSC
    double rangeMetres = 0;       // the row's range, or the estimate of it
    bool rangeEstimated = false;  // the row had none
    std::optional<double> signalDbm;
    double weight = 0;  // share in the tick's mean, 0..1
};

// The filter's memory between ticks; start with a default-constructed one.
struct TrackState {
    bool valid = false;
    double originLat = 0, originLon = 0;  // the local plane's origin
    double x[4] = {0, 0, 0, 0};           // east, north (m), their speeds (m/s)
    double p[4][4] = {};                  // covariance
    double time = 0;                      // of the last update, seconds
    double floorSigma = 0;                // error that averaging does not remove
    int updates = 0;
};

struct PositionEstimate {
    bool valid = false;
    double latitude = 0;
    double longitude = 0;
    double r68 = 0;  // metres
    double r95 = 0;
    double time = 0;  // the observation's tick
    int cellsUsed = 0;
    bool cellIdOnly = false;         // only the serving cell's row was known
    bool timingAdvanceUsed = false;  // the advance's ring was applied
    bool rangeEstimated = false;     // some used cell's range was estimated
    std::vector<UsedCell> cells;     // the serving cell first
    int neighboursUnmatched = 0;     // codes with no or two matches
};

// Knobs of the estimator; the defaults are the values measured best on the
// simulator's scenarios.
struct EstimatorTuning {
    double signalDbPerFactor = 8.0;      // weight × 1/e per this many dB weaker
    double samplesExponent = 0.0;        // weight ∝ samples^this (up to 100)
    double rangeExponent = 0.0;          // weight ∝ 1 / range^this
    double tickSigmaScale = 1.0;         // a tick's σ against its likelihood's spread
    double floorScale = 0.1;             // the part of it that does not average out
    double absoluteSigma = 80;           // m, the rows' own scatter
    double servingSpread = 0.45;         // σ of the serving area against its range
    double pathLossExponent = 3.5;       // level falls 10 × this dB per decade
    double shadowSigmaDb = 8;            // spread of levels around the path loss
    double ringSpread = 40;              // m, the advance's own error
    double ringBias = 40;                // m, its excess over the distance
    double firstStepPull = 0.85;         // an advance of 0 pulls a track beyond the
                                         // step to this share of it; 0: never
    double gridWeight = 0;               // weight of the levels; 0: the weighted mean alone
    double decorrelationMetres = 25;     // readings closer than this count as one
    double maxAlike = 2;                 // for the radii, up to this many
    double centroidPrior = 1.5;          // the grid's prior σ against the mean's σ
    double centroidSigma = 0.55;         // the weighted mean's σ against the mean range
    double neighbourReach = 2.5;         // a neighbour is heard up to this × its range
    double accelerationNoise = 0.3;      // m/s², the filter's process noise at rest
    double speedNoise = 0.3;             // its growth per m/s of speed
    double maxSpeed = 200 / 3.6;         // m/s
    double gate = 3.0;                   // σ beyond which a reading loses trust
    double radiusRangeExponent = -0.17;  // radii × (mean range / 1 km)^this,
    double radiusScaleMax = 1.07;        // but at most this
    double r68Factor = 0.92;             // σ to the 68 % and 95 % radii
    double r95Factor = 2.4;
    double unknownNeighbourDb = 10;  // a neighbour without a level: this much
                                     // below the weakest measured one
};

// The estimate for one tick; `track` is read and updated. Without a single
// known cell the estimate is invalid and the track untouched.
PositionEstimate estimatePosition(const Observation& obs, const CellLookups& db, TrackState& track,
                                  const EstimatorTuning& tuning = {});

// The serving cell's row alone, its range as the error (today's database
// position).
PositionEstimate servingCellEstimate(const Observation& obs, const CellLookups& db);

// The published Ichnaea-style estimate on the same cells: the rows'
// mean weighted by 1 / signal_dBm² (where a cell has no level, Ichnaea's
// defaults: GSM -95, UMTS -100, LTE -105 dBm), the
// radius the farthest row's distance plus its range. No timing advance, no
// memory. `cells` are the rows the estimator resolved for the tick.
PositionEstimate ichnaeaEstimate(const std::vector<UsedCell>& cells, double time);

// The typical reach of a radio's macro cell, for a row without range.
double typicalRange(const std::string& radio);

// --- Output ----------------------------------------------------------------

// "Zellen-Datenbank, 5 Zellen, ± 240 m" (r68; "1 Zelle"; above 1 km "± 1,2 km"
// with the user's separator).
std::string estimateToolTip(const PositionEstimate& e, char decimalSeparator);
// The GGA HDOP of an estimate: r95 / 19 m (gpsd: eph = HDOP × 19 m), one
// decimal, at least 1.0.
std::string estimateHdop(const PositionEstimate& e);
// $GPGST,hhmmss.00,,<σ>,<σ>,0.0,<σ lat>,<σ lon>,*hh with σ = r68 / 1.5 for
// each axis (gpsd reads the fields 6 and 7 as the latitude and longitude
// errors), CR LF.
std::string gstSentence(const PositionEstimate& e, const CivilTime& utc);
// The estimated RMC/GGA pair with the tick's own time (`localTime` of the
// tick that sends them) and the HDOP above, then the GST sentence.
struct EstimateSentences {
    SentencePair pair;
    std::string gst;
};
EstimateSentences estimateSentences(const PositionEstimate& e, const CivilTime& localTime,
                                    std::chrono::minutes utcOffset);

}  // namespace funkor
