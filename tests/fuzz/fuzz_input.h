// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Helpers shared by the fuzz targets: every target takes one byte string and
// cuts it into the pieces its readers take.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace funkor::fuzz {

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The input's lines; a trailing CR is kept, as a phone's line may carry one
// that the framer would have taken off.
inline std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Takes the first byte off as a small number that steers the target.
inline std::uint8_t takeByte(std::string_view& text) {
    if (text.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(text.front());
    text.remove_prefix(1);
    return b;
}

// Aborts with the message when the condition fails, so the fuzzer and the
// replay driver report the input that broke a promise.
void require(bool condition, const char* what);

}  // namespace funkor::fuzz
