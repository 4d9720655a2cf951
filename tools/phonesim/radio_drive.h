// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/phonesim/radio/radio_network.h"
#include "tools/phonesim/scenario.h"

// The simulated phone's journey in the radio mode: the network of the
// scenario's seed, a road track through it and the device that hears the
// cells along it. The device reads once per track point, in order, so that
// its serving cell keeps its hysteresis whatever the time asked for.
namespace phonesim {

class DriveRadio {
  public:
    explicit DriveRadio(const RadioDrive& options);

    // The network's cells as the scenario's cells (LAC/TAC and CI, the
    // operator's code), in the order of the network's cell indexes.
    std::vector<Cell> scenarioCells() const;
    // Moves the device to `seconds` after the start; readings between the
    // last time and this one are taken in turn.
    void advanceTo(double seconds);
    // Time of the next reading after the current one, in seconds after the
    // start; a large value at the track's end.
    double nextReading() const;
    const funkor::Observation& observation() const { return observation_; }
    // Index into scenarioCells() of the serving cell, -1 out of coverage.
    int serving() const { return serving_; }
    // The crowd-sourced cell database of the network, as OpenCellID CSV.
    std::string databaseCsv() const;

  private:
    RadioDrive options_;
    funkor::radiosim::RadioNetwork net_;
    std::vector<funkor::radiosim::TrackPoint> track_;
    funkor::radiosim::Device device_;
    std::size_t next_ = 0;  // the next track point to read
    funkor::Observation observation_;
    int serving_ = -1;
};

}  // namespace phonesim
