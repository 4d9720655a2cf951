// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/fields.h"

#include <cctype>
#include <cmath>
#include <limits>

namespace funkor::fields {

std::string mid(std::string_view s, long start, long length) {
    if (start < 1) start = 1;
    if (length <= 0) return {};
    const auto from = static_cast<std::size_t>(start - 1);
    if (from >= s.size()) return {};
    return std::string(s.substr(from, static_cast<std::size_t>(length)));
}

std::string mid(std::string_view s, long start) {
    if (start < 1) start = 1;
    const auto from = static_cast<std::size_t>(start - 1);
    if (from >= s.size()) return {};
    return std::string(s.substr(from));
}

std::string left(std::string_view s, long n) {
    if (n <= 0) return {};
    return std::string(s.substr(0, static_cast<std::size_t>(n)));
}

std::string right(std::string_view s, long n) {
    if (n <= 0) return {};
    const auto k = static_cast<std::size_t>(n);
    if (k >= s.size()) return std::string(s);
    return std::string(s.substr(s.size() - k));
}

long instr(long start, std::string_view s, std::string_view needle) {
    if (start < 1) start = 1;
    const auto from = static_cast<std::size_t>(start - 1);
    if (from > s.size()) return 0;
    const auto at = s.find(needle, from);
    return at == std::string_view::npos ? 0 : static_cast<long>(at) + 1;
}

namespace {

std::size_t skipBlanks(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    return i;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

double val(std::string_view s) {
    std::size_t i = skipBlanks(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    double v = 0;
    while (i < s.size() && isDigit(s[i])) v = v * 10 + (s[i++] - '0');
    if (i < s.size() && s[i] == '.') {
        ++i;
        double scale = 0.1;
        while (i < s.size() && isDigit(s[i])) {
            v += (s[i++] - '0') * scale;
            scale /= 10;
        }
    }
    return negative ? -v : v;
}

std::int32_t valInt(std::string_view s) {
    std::size_t i = skipBlanks(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        negative = s[i] == '-';
        ++i;
    }
    std::int64_t v = 0;
    while (i < s.size() && isDigit(s[i])) {
        v = v * 10 + (s[i++] - '0');
        if (v > std::numeric_limits<std::int32_t>::max()) {
            v = std::int64_t{std::numeric_limits<std::int32_t>::max()} + (negative ? 1 : 0);
            break;
        }
    }
    return static_cast<std::int32_t>(negative ? -v : v);
}

std::int32_t hexValue(std::string_view s) {
    std::size_t i = skipBlanks(s);
    std::uint32_t v = 0;
    int digits = 0;
    while (i < s.size() && digits < 8 && std::isxdigit(static_cast<unsigned char>(s[i]))) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i++])));
        v = v * 16 + static_cast<std::uint32_t>(isDigit(c) ? c - '0' : c - 'A' + 10);
        ++digits;
    }
    return static_cast<std::int32_t>(v);
}

std::string trim(std::string_view s) {
    std::size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t')) --b;
    return std::string(s.substr(a, b - a));
}

}  // namespace funkor::fields
