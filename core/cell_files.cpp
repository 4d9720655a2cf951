// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/cell_files.h"

#include "core/at_network.h"
#include "core/data_files.h"
#include "core/fields.h"
#include "core/file_writes.h"
#include "core/operators.h"
#include "core/position_texts.h"

namespace funkor {

using fields::left;
using fields::mid;
using fields::right;

std::optional<std::string> findCellName(const std::vector<std::string>& lines,
                                        std::string_view cellKey) {
    // The key of a record is its text up to the first blank: 13 characters
    // for the cells of every Siemens phone, 17 for the long cell identities
    // of UMTS and LTE.
    for (const auto& line : lines) {
        const std::size_t blank = line.find(' ');
        const std::string_view key = std::string_view(line).substr(0, blank);
        if (key == cellKey) return " " + (blank == std::string::npos ? "" : line.substr(blank + 1));
    }
    return std::nullopt;
}

std::optional<std::string> findCellNameInFile(const std::string& path, std::string_view cellKey) {
    return findCellName(readLines(path), cellKey);
}

std::optional<std::string> findSiteName(const std::vector<std::string>& lines,
                                        std::string_view positionKey) {
    for (const auto& line : lines)
        if (left(line, 6) + mid(line, 8, 6) == positionKey) return mid(line, 14);
    return std::nullopt;
}

std::optional<std::string> findSiteNameInFile(const std::string& path,
                                              std::string_view positionKey) {
    return findSiteName(readLines(path), positionKey);
}

namespace {
std::string oneLine(std::string_view name) {
    std::string s(name);
    for (char& c : s)
        if (c == '\r' || c == '\n') c = ' ';
    return s;
}
}  // namespace

std::string cellNameLine(std::string_view cellKey, std::string_view name) {
    return std::string(cellKey) + " " + oneLine(name);
}

std::string siteNameLine(std::string_view positionKey, std::string_view name) {
    return left(positionKey, 6) + " " + right(positionKey, 6) + " " + oneLine(name);
}

int appendRecord(const std::string& path, std::string_view line) {
    std::string record(line);
    record.append("\r\n");
    return appendWhole(path, record);
}

NamingChoice chooseNamingFile(bool leftButton, std::string_view operatorCode,
                              std::string_view cellCaption, std::string_view cellKey,
                              std::string_view positionKey) {
    if (!cellCaption.empty()) return {};
    if (leftButton && operatorCode == kO2Germany && isPositionKey(positionKey))
        return {NamingChoice::SiteFile, false};
    // The cell key holds the operator code only once it has been reported;
    // a shorter key would file the name where no lookup finds it.
    const bool beep = leftButton;
    if (!splitCellKey(cellKey)) return {NamingChoice::None, true};
    return {NamingChoice::CellFile, beep};
}

}  // namespace funkor
