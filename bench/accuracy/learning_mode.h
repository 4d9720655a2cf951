// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/phonesim/radio/radio_network.h"

// The drives both modes measure: the network's density, the device's speed
// and how long the drive lasts.
struct AccuracyScenario {
    const char* name;
    funkor::radiosim::Density density;
    double speed;  // m/s
    double minutes;
};

// The q-quantile of `v` (0 when empty), linear between neighbouring values.
double benchPercentile(std::vector<double> v, double q);

inline constexpr AccuracyScenario kAccuracyScenarios[] = {
    {"city-walk", funkor::radiosim::Density::City, 1.4, 30},
    {"city-drive", funkor::radiosim::Density::City, 9, 20},
    {"suburban-drive", funkor::radiosim::Density::Suburban, 14, 20},
    {"rural-drive", funkor::radiosim::Density::Rural, 25, 25},
};

// The before/after benchmark of cell learning (learning_mode.cpp): prints
// one JSON document per run; 0 on success.
int runLearningBench(const std::vector<std::uint64_t>& seeds, const std::string& onlyScenario,
                     const std::string& onlyDevice);
