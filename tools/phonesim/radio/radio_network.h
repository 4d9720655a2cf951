// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/cell_observation.h"
#include "core/position_estimate.h"

// A simulated radio network to measure position estimates against: sites
// of three sectors in a city, suburban or rural layout, received levels by
// the COST-231 Hata path loss (Okumura-Hata at 900 MHz) with a sector
// antenna pattern and spatially correlated log-normal shadowing (shared by the
// sectors of one mast), a device
// that hears the cells above its noise floor, keeps its serving cell with
// hysteresis and reports a timing advance from the true distance, and the
// cell database an open crowd-sourced project would hold for the network:
// each row the centroid of where phones measured the cell as their serving
// cell, on the roads, with its spread as range. Everything follows from the
// seed; the same seed gives the same network, track and readings.
namespace funkor::radiosim {

enum class Density { City, Suburban, Rural };
const char* densityName(Density d);

// Metres east and north of the network's origin.
struct Point {
    double x = 0;
    double y = 0;
};
struct TrackPoint {
    double time = 0;  // seconds
    Point at;
};

struct SimCell {
    Radio radio = Radio::Lte;
    int mcc = 262, mnc = 1;
    std::int64_t area = 0, cell = 0;
    int unit = -1;  // PCI for LTE, -1 for GSM
    int channel = 0;
    int bsic = 0;
    Point mast;
    double azimuthDeg = 0;
    double eirpDbm = 0;
    double heightM = 30;
    // The shadowing field: a sum of plane waves (a Gaussian random field
    // whose correlation falls off over `shadowDistance`).
    std::vector<double> waveX, waveY, wavePhase;
    double shadowSigma = 8;
};

struct NetworkOptions {
    Density density = Density::City;
    Radio radio = Radio::Lte;  // LTE (1800 MHz) or GSM (900 MHz)
    std::uint64_t seed = 1;
    double originLat = 52.52;
    double originLon = 13.405;
};

// A database row as the simulator writes it (and the CSV import reads it).
struct SimRow {
    KnownCell cell;
    std::int64_t updated = 1700000000;
};

class RadioNetwork {
  public:
    explicit RadioNetwork(const NetworkOptions& options);

    const std::vector<SimCell>& cells() const { return cells_; }
    const NetworkOptions& options() const { return options_; }
    double halfSize() const { return halfSize_; }
    double roadSpacing() const { return roadSpacing_; }
    // The level (RSRP for LTE, RSSI for GSM) of cell `i` at `p`, in dBm,
    // shadowing included, without the fast-fading noise of a single reading.
    double level(std::size_t i, Point p) const;
    // Indexes of the cells whose masts lie within `radius` of `p`.
    std::vector<std::size_t> cellsNear(Point p, double radius) const;
    double noiseFloorDbm() const;
    double reachMetres() const;  // beyond this no cell is heard

    // The crowd-sourced database: rows of the cells phones were served by
    // at `samplesPerCell` points on the roads on average; a few cells are
    // missing and a few rows have no range, as in the open databases.
    std::vector<SimRow> databaseRows(std::uint64_t seed, int samplesPerCell = 150) const;
    // The rows in the OpenCellID CSV layout, header first.
    static std::string csv(const std::vector<SimRow>& rows);

    void toLatLon(Point p, double& lat, double& lon) const;
    Point fromLatLon(double lat, double lon) const;
    // A random point on the road grid within the network.
    Point roadPoint(std::mt19937_64& rng) const;

  private:
    NetworkOptions options_;
    std::vector<SimCell> cells_;
    double halfSize_ = 0;
    double roadSpacing_ = 0;
    double bucket_ = 0;
    int buckets_ = 0;
    std::vector<std::vector<std::size_t>> grid_;
};

// A track along the road grid: straight on, turning at crossings now and
// then, turning back at the network's edge; one point every `tick` seconds.
std::vector<TrackPoint> roadTrack(const RadioNetwork& net, double speed, double seconds,
                                  double tick, std::uint64_t seed);
// A track from a text file of "seconds latitude longitude" lines (or
// "latitude,longitude" lines, one `tick` apart); unreadable lines are
// passed over.
std::vector<TrackPoint> trackFromFile(const RadioNetwork& net, const std::string& path,
                                      double tick);

struct DeviceOptions {
    bool neighboursWithIdentity = false;  // GSM phones: CI given; LTE: PCI only
    bool timingAdvance = true;
    int maxNeighbours = 6;
    double hysteresisDb = 3;
    double readingNoiseDb = 2;  // spread of one reading around the level
};

// A device moving through the network: one observation per track point.
class Device {
  public:
    Device(const RadioNetwork& net, DeviceOptions options, std::uint64_t seed);
    Observation observe(const TrackPoint& p);
    // The serving cell's index into net.cells(), -1 before the first tick
    // or out of coverage.
    int serving() const { return serving_; }

  private:
    const RadioNetwork& net_;
    DeviceOptions options_;
    std::mt19937_64 rng_;
    int serving_ = -1;
};

// The database as the estimator's lookups, over rows held in memory.
class MemoryDatabase {
  public:
    explicit MemoryDatabase(std::vector<SimRow> rows);
    CellLookups lookups() const;

  private:
    std::vector<SimRow> rows_;
};

}  // namespace funkor::radiosim

namespace funkor::radiosim {

// The answer lines a device of `family` gives for the observation, in the
// layouts core/cell_observation.h reads: ^SMONC (Siemens), +QENG
// servingcell and neighbourcell (Quectel), +CENG (SIMCom, mode 1 with CI),
// +UCELLINFO (u-blox); and the +CESQ line of any 27.007 device. Levels are
// written as each layout counts them; what a layout cannot carry (a GSM
// timing advance in Quectel's idle answer, LTE neighbours' identity) is
// left out as the devices leave it out.
std::vector<std::string> familyAnswerLines(DeviceFamily family, const Observation& obs);
std::string cesqLine(const Observation& obs);

}  // namespace funkor::radiosim
