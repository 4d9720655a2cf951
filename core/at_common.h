// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Small checks shared by the answer parsers. Positions count from 1, as in
// fields.h; every helper tolerates positions past the end of the line.
namespace funkor::at {

// True when `line` begins with `prefix` (exact, case-sensitive).
inline bool startsWith(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

// The character at 1-based `pos`, or '\0' when the line is shorter.
inline char charAt(std::string_view line, long pos) {
    if (pos < 1 || static_cast<std::size_t>(pos) > line.size()) return '\0';
    return line[static_cast<std::size_t>(pos - 1)];
}

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The leading whole number of `text` after optional blanks, or nothing when
// no digit follows the blanks. Unlike fields::val a text without digits is
// not read as 0, so that a garbled field cannot pass for a real value.
std::optional<std::int32_t> leadingNumber(std::string_view text);

// True when `text` is exactly `count` hexadecimal digits.
bool isHex(std::string_view text, std::size_t count);

// A whole number as the phone's display texts write it: a leading blank for
// zero and positive numbers, "-" for negative ones (" 80", "-3").
std::string signedText(long value);

}  // namespace funkor::at
