// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Cutting answer lines and reading numbers out of them. Positions count from
// 1, as in the phone's documentation; cutting past the end of a line yields
// what is there (possibly nothing) and never fails, so that a short or odd
// line from the phone cannot crash a parser.
namespace funkor::fields {

// Characters from 1-based position `start`, at most `length` of them.
// A start below 1 is taken as 1.
std::string mid(std::string_view s, long start, long length);
// Characters from 1-based position `start` to the end.
std::string mid(std::string_view s, long start);
// The first / last `n` characters (all of them when the line is shorter).
std::string left(std::string_view s, long n);
std::string right(std::string_view s, long n);

// 1-based position of `needle` in `s`, searching from 1-based `start`;
// 0 when it does not occur (or `start` lies past the end).
long instr(long start, std::string_view s, std::string_view needle);
inline long instr(std::string_view s, std::string_view needle) {
    return instr(1, s, needle);
}

// Lenient decimal reading: optional blanks, an optional sign, then the
// leading digits (and, for val(), one decimal point with more digits).
// Anything else ends the number; no digits give 0.
double val(std::string_view s);
// The same, whole numbers only, saturated to the 32-bit range.
std::int32_t valInt(std::string_view s);

// A text read as a hexadecimal number: leading hex digits after optional
// blanks. Up to seven digits give their value; eight digits give a signed
// 32-bit value (FFFFFFFF is -1). Further digits are ignored; none give 0.
std::int32_t hexValue(std::string_view s);

// Leading and trailing blanks removed.
std::string trim(std::string_view s);

}  // namespace funkor::fields
