// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/fields.h"
#include "core/nmea.h"
#include "core/pdu.h"

namespace funkor {

namespace {

using fields::mid;
using fields::val;

constexpr char kDegree = '\xB0';

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view s) {
    for (char c : s)
        if (!isDigit(c)) return false;
    return true;
}

double nonNegative(double v) {
    return std::isfinite(v) && v > 0 ? v : 0;
}

std::string stripTrailingZeros(std::string s) {
    if (s.find('.') == std::string::npos) return s;
    while (!s.empty() && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

std::string withSeparator(std::string s, char decimalSeparator) {
    for (char& c : s)
        if (c == '.') c = decimalSeparator;
    if (s == "-0") s = "0";
    return s;
}

// The comma-separated field that starts after the `commas`-th comma.
std::string_view fieldAfterCommas(std::string_view s, int commas) {
    std::size_t at = 0;
    for (int i = 0; i < commas; ++i) {
        at = s.find(',', at);
        if (at == std::string_view::npos) return {};
        ++at;
    }
    const std::size_t end = s.find_first_of(",*\r\n", at);
    return s.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
}

// "ddmm.mmm..." with `degreeDigits` degree digits and at least three
// decimals of the minute: degrees + minutes (three decimals) / 60.
std::optional<double> degreesFromMinutesField(std::string_view f, std::size_t degreeDigits) {
    const std::size_t point = degreeDigits + 2;
    if (f.size() < point + 4 || f[point] != '.') return std::nullopt;
    if (!allDigits(f.substr(0, point)) || !allDigits(f.substr(point + 1, 3))) return std::nullopt;
    return val(f.substr(0, degreeDigits)) + val(f.substr(degreeDigits, 6)) / 60;
}

}  // namespace

bool isPositionPage(std::string_view pageHex) {
    return mid(pageHex, 7, 2) == "DD";
}

std::string pagePositionHex(std::string_view pageHex) {
    return mid(pageHex, 13, 22);
}

std::optional<std::string> cellBroadcastPosition(std::string_view pageHex) {
    if (!isPositionPage(pageHex)) return std::nullopt;
    const std::string hex = pagePositionHex(pageHex);
    if (hex.size() < 22) return std::nullopt;
    return decodeSeptets(hex);
}

bool isPositionKey(std::string_view key) {
    return key.size() == 12 && allDigits(key);
}

GridPoint positionKeyToGrid(std::string_view positionKey) {
    return {val(mid(positionKey, 1, 6) + "0"), val(mid(positionKey, 7, 6) + "0")};
}

GridPoint applySectorOffset(GridPoint p, std::string_view sector) {
    if (sector == "A") p.northing -= 50;
    if (sector == "B") p.easting -= 40;
    if (sector == "C") p.easting += 40;
    return p;
}

GridPoint applyTimingAdvanceMove(GridPoint p, std::string_view sector, double distance) {
    if (sector == "A") {
        p.northing += distance;
    } else if (sector == "B") {
        p.northing -= 0.5 * distance;
        p.easting += 0.86 * distance;
    } else if (sector == "C") {
        p.northing -= 0.5 * distance;
        p.easting -= 0.86 * distance;
    }
    return p;
}

Dms toDms(double degrees) {
    // Whole seconds counted with a margin far below a second, so that a value
    // like 48.3 (48.29999999999999716 in binary) is not cut to 17' 59".
    const double seconds = std::floor(nonNegative(degrees) * 3600 + 1e-6);
    Dms d;
    d.degrees = static_cast<int>(seconds / 3600);
    d.minutes = static_cast<int>(std::fmod(seconds, 3600) / 60);
    d.seconds = static_cast<int>(std::fmod(seconds, 60));
    return d;
}

std::string positionCaption(std::string_view hhmm, double latitude, double longitude) {
    auto part = [](double v) {
        const Dms d = toDms(v);
        return std::to_string(d.degrees) + kDegree + " " + std::to_string(d.minutes) + "' " +
               std::to_string(d.seconds) + "\"";
    };
    return std::string(hhmm) + "  " + part(latitude) + " N  " + part(longitude) + " O";
}

std::string formatDecimals(double value, int decimals, char decimalSeparator) {
    if (!std::isfinite(value)) value = 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    return withSeparator(stripTrailingZeros(buf), decimalSeparator);
}

std::string positionToolTip(std::string_view positionKey, double latitude, double longitude,
                            char decimalSeparator) {
    auto part = [decimalSeparator](double v) {
        v = nonNegative(v);
        const DegreesMinutes dm = splitDegreesMinutes(v);
        char deg[16];
        std::snprintf(deg, sizeof deg, "%02d", dm.degrees);
        return formatDecimals(v, 5, decimalSeparator) + kDegree + " " + deg + kDegree +
               nmeaMinutesText(dm.minutes10k) + "'";
    };
    return "R=" + mid(positionKey, 1, 4) + "." + mid(positionKey, 5, 2) +
           " H=" + mid(positionKey, 7, 4) + "." + mid(positionKey, 11, 2) + " N:" + part(latitude) +
           " O:" + part(longitude);
}

std::string distanceCaption(double metres, char decimalSeparator) {
    if (!std::isfinite(metres)) metres = 0;
    // Whole hundreds of metres, halves away from zero: 150 m is 0.2 km (a
    // binary 0.15 km would round down).
    const double tenths = std::round(metres / 100);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.1f", tenths / 10);
    return withSeparator(buf, decimalSeparator) + " km";
}

std::string mapNumber(double value) {
    if (!std::isfinite(value)) return "0";
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    std::string s = buf;
    if (s.find('e') != std::string::npos) {
        // Very small or very large: write it out in full instead.
        const double magnitude = std::fabs(value);
        const int decimals =
            magnitude < 1 ? 14 - static_cast<int>(std::floor(std::log10(magnitude))) : 0;
        std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
        s = stripTrailingZeros(buf);
    }
    return withSeparator(s, '.');
}

std::string mapAddress(std::string_view baseAddress, double latitude, double longitude,
                       std::string_view label) {
    const std::string c = mapNumber(latitude) + "," + mapNumber(longitude);
    return std::string(baseAddress) + "/map.aspx?L=EUR&C=" + c + "&A=2&P=|" + c + "|1|" +
           std::string(label) + "|L1|";
}

std::string mapAddress(std::string_view baseAddress, double latitude, double longitude,
                       std::string_view label, double rangeMetres) {
    std::string a = mapAddress(baseAddress, latitude, longitude, label);
    if (!(rangeMetres >= 1)) return a;
    const std::size_t p = a.find("&P=|");
    a.insert(p, "&R=" + std::to_string(std::lround(std::min(rangeMetres, 1e7))));
    return a;
}

std::string cellMapLabel(std::string_view cellKey, std::string_view hhmm) {
    return "o2-" + fields::left(cellKey, 8) + " " + std::string(hhmm);
}

std::optional<GeoPosition> rmcMapPosition(std::string_view rmc) {
    const auto lat = degreesFromMinutesField(fieldAfterCommas(rmc, 3), 2);
    const auto lon = degreesFromMinutesField(fieldAfterCommas(rmc, 5), 3);
    if (!lat || !lon) return std::nullopt;
    // A cell database's positions lie in every hemisphere.
    const bool south = fieldAfterCommas(rmc, 4).substr(0, 1) == "S";
    const bool west = fieldAfterCommas(rmc, 6).substr(0, 1) == "W";
    return GeoPosition{south ? -*lat : *lat, west ? -*lon : *lon};
}

RegionMatch findRegionCircle(std::string_view positionKey, std::span<const std::string> lines) {
    const double ce = val(mid(positionKey, 1, 4));
    const double cn = val(mid(positionKey, 7, 4));
    RegionMatch match;
    match.toolTip = "Region/City-Zone";
    double best = 9999;
    for (const auto& line : lines) {
        const double re = val(mid(line, 1, 4));
        const double rn = val(mid(line, 8, 4));
        const double d = std::floor(std::sqrt((ce - re) * (ce - re) + (cn - rn) * (cn - rn)));
        const double r = std::floor(val(mid(line, 15, 5)));
        if (d < r && d < best) {
            match.text = " / " + mid(line, 21);
            best = d;
            match.toolTip = "Region/City-Zone (r=" + mapNumber(r) + "km)";
        }
    }
    return match;
}

ZoneDecision evaluateSimZones(std::string_view positionKey, const ZoneCentre& home,
                              const ZoneCentre& city) {
    const double pe = val(mid(positionKey, 1, 6));
    const double pn = val(mid(positionKey, 7, 6));
    auto distance = [pe, pn](const ZoneCentre& z) {
        const double d = std::floor(std::sqrt((pn - z.second) * (pn - z.second) +
                                              (pe - z.first) * (pe - z.first))) *
                         10;
        return std::isfinite(d) ? d : 0;
    };
    ZoneDecision z;
    z.homeDistance = distance(home);
    z.cityDistance = distance(city);
    if (z.cityDistance < city.radius) z.zoneName = city.name;
    if (z.homeDistance < home.radius) z.zoneName = home.name;
    return z;
}

}  // namespace funkor
