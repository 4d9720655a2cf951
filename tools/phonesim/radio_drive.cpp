// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/phonesim/radio_drive.h"

#include <cstdio>
#include <limits>

namespace phonesim {
namespace {

funkor::radiosim::NetworkOptions driveNetworkOptions(const RadioDrive& o) {
    funkor::radiosim::NetworkOptions n;
    n.density = o.density == "rural"      ? funkor::radiosim::Density::Rural
                : o.density == "suburban" ? funkor::radiosim::Density::Suburban
                                          : funkor::radiosim::Density::City;
    n.radio = o.lte ? funkor::Radio::Lte : funkor::Radio::Gsm;
    n.seed = o.seed;
    return n;
}

funkor::radiosim::DeviceOptions driveDeviceOptions(const RadioDrive& o) {
    funkor::radiosim::DeviceOptions d;
    // LTE devices name their neighbours by PCI only, whatever the option.
    d.neighboursWithIdentity = o.neighboursWithIdentity && !o.lte;
    return d;
}

}  // namespace

DriveRadio::DriveRadio(const RadioDrive& options)
    : options_(options),
      net_(driveNetworkOptions(options)),
      track_(funkor::radiosim::roadTrack(net_, options.speed, options.seconds, options.tick,
                                         options.seed)),
      device_(net_, driveDeviceOptions(options), options.seed) {
    advanceTo(0);
}

std::vector<Cell> DriveRadio::scenarioCells() const {
    std::vector<Cell> cells;
    cells.reserve(net_.cells().size());
    for (const funkor::radiosim::SimCell& c : net_.cells()) {
        Cell cell;
        cell.lac = static_cast<int>(c.area);
        cell.ci = static_cast<int>(c.cell);
        char code[16];
        std::snprintf(code, sizeof code, "%03d%02d", c.mcc, c.mnc);
        cell.operatorCode = code;
        cells.push_back(cell);
    }
    return cells;
}

void DriveRadio::advanceTo(double seconds) {
    while (next_ < track_.size() && (next_ == 0 || track_[next_].time <= seconds)) {
        observation_ = device_.observe(track_[next_]);
        serving_ = device_.serving();
        ++next_;
    }
}

double DriveRadio::nextReading() const {
    return next_ < track_.size() ? track_[next_].time : std::numeric_limits<double>::max();
}

std::string DriveRadio::databaseCsv() const {
    return funkor::radiosim::RadioNetwork::csv(
        net_.databaseRows(options_.seed, options_.databaseSamples));
}

}  // namespace phonesim
