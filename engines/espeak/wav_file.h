// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Writing 16-bit mono PCM as a WAV file, whole or appended to.

#include <cstdint>
#include <string>
#include <vector>

namespace sprelo::espeak {

// Writes `samples` as a new WAV file at `path` (replacing it). False when
// the file cannot be written.
bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples,
              std::uint32_t rate);

// Appends `samples` to the WAV file at `path` written earlier by this code
// with the same rate, and corrects its header; starts the file afresh when
// it is missing, not such a file, or would grow past 2 GB.
bool appendWav(const std::string& path, const std::vector<std::int16_t>& samples,
               std::uint32_t rate);

}  // namespace sprelo::espeak
