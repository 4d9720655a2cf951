// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/line_framer.h"

namespace funkor {

std::optional<std::string> LineFramer::feed(char byte) {
    if (byte == '\r') {
        if (buffer_.size() <= 1) return std::nullopt;
        std::string line;
        line.swap(buffer_);
        return line;
    }
    if (byte == '\n') return std::nullopt;
    if (buffer_.size() < kMaxLine) buffer_.push_back(byte);
    return std::nullopt;
}

std::vector<std::string> LineFramer::feed(std::string_view bytes) {
    std::vector<std::string> lines;
    for (char c : bytes)
        if (auto line = feed(c)) lines.push_back(std::move(*line));
    return lines;
}

}  // namespace funkor
