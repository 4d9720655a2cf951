// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_log.h"

#include "core/fields.h"
#include "core/position_texts.h"

namespace funkor {

using fields::instr;
using fields::mid;

namespace {

bool isHeader(std::string_view line) {
    return line.substr(0, 6) == "$GPTXT";
}

}  // namespace

std::string positionLogEntry(std::string_view cellKey, std::string_view positionKey,
                             std::string_view cellName, std::string_view rmc,
                             std::string_view gga) {
    std::string e = "$GPTXT,";
    e.append(cellKey).append(",").append(positionKey).append(",");
    e.append(fields::trim(cellName)).append("\r\n");
    e.append(rmc).append(gga);
    return e;
}

std::vector<std::string> splitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.emplace_back(text.substr(start));
            break;
        }
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
    return lines;
}

bool logHoldsCell(std::string_view logText, std::string_view cellKey) {
    for (const auto& line : splitLines(logText))
        if (mid(line, 8, static_cast<long>(cellKey.size())) == cellKey) return true;
    return false;
}

std::vector<LoggedPosition> readPositionLog(std::string_view logText) {
    const std::vector<std::string> lines = splitLines(logText);
    std::vector<LoggedPosition> entries;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (!isHeader(l)) continue;
        LoggedPosition e;
        e.header = l;
        // A longer cell key (14 to 21 characters) moves the fields behind it.
        const long comma = instr(8, l, ",");
        const long keyLength = comma > 8 + 13 && comma <= 8 + 21 ? comma - 8 : 13;
        const long d = keyLength - 13;
        e.cellKey = mid(l, 8, keyLength);
        e.siteKey = mid(l, 22 + d, 6) + " " + mid(l, 28 + d, 6);
        e.name = mid(l, 35 + d);
        e.siteKeyValid = isPositionKey(mid(l, 22 + d, 12));
        // The sentences follow, unless the log ends or the next entry begins.
        if (i + 1 < lines.size() && !isHeader(lines[i + 1])) {
            e.rmc = lines[++i];
            if (i + 1 < lines.size() && !isHeader(lines[i + 1])) e.gga = lines[++i];
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

bool anyLineStartsWith(const std::vector<std::string>& lines, std::string_view key) {
    for (const auto& line : lines)
        if (fields::left(line, static_cast<long>(key.size())) == key) return true;
    return false;
}

}  // namespace funkor
