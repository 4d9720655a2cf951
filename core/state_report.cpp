// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/state_report.h"

#include <optional>
#include <string_view>

#include "core/fields.h"

namespace funkor {

namespace {

using fields::instr;
using fields::left;
using fields::mid;

// A cut at fixed positions that may not be possible: a count below zero
// means the text does not have the shape the cut expects, and the line is
// left out.
std::optional<std::string> leftOf(std::string_view s, long n) {
    if (n < 0) return std::nullopt;
    return left(s, n);
}

std::optional<std::string> midOf(std::string_view s, long start, long length) {
    if (start < 1 || length < 0) return std::nullopt;
    return mid(s, start, length);
}

std::optional<std::string> midOf(std::string_view s, long start) {
    if (start < 1) return std::nullopt;
    return mid(s, start);
}

}  // namespace

std::string programTitle(std::string_view version) {
    long parts[3] = {0, 0, 0};
    std::size_t start = 0;
    for (long& part : parts) {
        if (start > version.size()) break;
        const std::size_t dot = version.find('.', start);
        part = fields::valInt(version.substr(
            start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
        start = dot == std::string_view::npos ? version.size() + 1 : dot + 1;
    }
    return "        Funkor   V" + std::to_string(parts[0]) + "." + std::to_string(parts[1]) +
           std::to_string(parts[2]);
}

std::vector<std::string> stateReportLines(const StateReportInputs& in) {
    std::vector<std::string> out;
    auto add = [&out](const std::optional<std::string>& line) {
        if (line) out.push_back(*line);
    };
    out.push_back(in.dateTime);
    out.push_back(" ");

    // Identity: maker and model, then each number from its marker up to the
    // blank before the next marker.
    const std::string_view id = in.infoTooltip;
    const long imei = instr(id, "IMEI:");
    const long imsi = instr(id, "IMSI:");
    const long sim = instr(id, "SIM:");
    add(imei > 0 ? leftOf(id, imei - 2) : std::nullopt);
    add(imei > 0 && imsi > 0 ? midOf(id, imei, imsi - imei - 1) : std::nullopt);
    add(imsi > 0 && sim > 0 ? midOf(id, imsi, sim - imsi - 1) : std::nullopt);
    add(sim > 0 ? midOf(id, sim) : std::nullopt);

    out.emplace_back();
    out.push_back(in.batteryTooltip);
    out.push_back(in.levelTooltip);
    out.emplace_back();

    // Network: the codes, then the area from "LA=" on.
    const std::string_view net = in.networkTooltip;
    const long la = instr(net, "LA=");
    add(la > 0 ? leftOf(net, la - 1) : std::nullopt);
    add(la > 0 ? midOf(net, la) : std::nullopt);

    if (!in.zoneCaption.empty()) {
        out.emplace_back();
        out.push_back(left(in.positionTooltip, 19));
        // "Region/City-Zone (r=12km)": the radius stands from character 21
        // up to "km", so that radii of one or three digits come out whole
        // too; without "km" its two characters.
        const long km = instr(21, in.zoneTooltip, "km");
        const std::string cityRadius =
            km > 0 ? mid(in.zoneTooltip, 21, km - 21) : mid(in.zoneTooltip, 21, 2);
        out.push_back("Radius Cizy-Zone: " + cityRadius + " km");
        const long homeLength = static_cast<long>(in.homeTooltip.size()) - 21;
        if (homeLength >= 0)
            out.push_back("Radius Home-Zone: " + mid(in.homeTooltip, 20, homeLength) + " m");
    }
    return out;
}

}  // namespace funkor
