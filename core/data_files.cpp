// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/data_files.h"

#include <fstream>
#include <iterator>

#include "core/fields.h"

namespace funkor {

namespace {

bool readAll(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        const bool last = nl == std::string::npos;
        if (last) nl = text.size();
        std::size_t end = nl;
        if (end > start && text[end - 1] == '\r') --end;
        lines.push_back(text.substr(start, end - start));
        start = nl + 1;
    }
    return true;
}

}  // namespace

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    readAll(path, lines);
    return lines;
}

bool readCountryTable(const std::string& path, CountryTable& table) {
    table.fill(std::string());
    std::vector<std::string> lines;
    if (!readAll(path, lines)) return false;
    for (auto& line : lines) {
        if (line.size() < 3) continue;
        // The code is the number the first three characters start with; a
        // line without digits there counts as code 0.
        const auto code = fields::valInt(fields::left(line, 3));
        if (code < 0 || code >= static_cast<int>(table.size())) continue;
        table[static_cast<std::size_t>(code)] = std::move(line);
    }
    return true;
}

bool readO2Lines(const std::string& path, O2Lines& out) {
    out.lines.fill(std::string());
    out.count = 0;
    std::vector<std::string> lines;
    if (!readAll(path, lines)) return false;
    const int capacity = static_cast<int>(out.lines.size()) - 1;
    for (auto& line : lines) {
        if (out.count >= capacity) break;
        ++out.count;
        out.lines[static_cast<std::size_t>(out.count)] = std::move(line);
    }
    return true;
}

}  // namespace funkor
