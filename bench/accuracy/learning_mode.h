// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The before/after benchmark of cell learning (learning_mode.cpp): prints
// one JSON document per run; 0 on success.
int runLearningBench(const std::vector<std::uint64_t>& seeds, const std::string& onlyScenario,
                     const std::string& onlyDevice);
