// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_sms.h"

#include <vector>

#include "core/fields.h"
#include "core/position_texts.h"

namespace funkor {

namespace {

using fields::mid;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!isDigit(c)) return false;
    return true;
}

std::vector<std::string_view> splitFields(std::string_view s) {
    const std::size_t star = s.find_first_of("*\r\n");
    if (star != std::string_view::npos) s = s.substr(0, star);
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (true) {
        const std::size_t comma = s.find(',', at);
        out.push_back(
            s.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at));
        if (comma == std::string_view::npos) break;
        at = comma + 1;
    }
    return out;
}

// "ddmm.mmmm" with `wholeDigits` digits before the point -> those digits
// (zero-filled in front) and three decimals (cut or zero-filled).
std::string minutesField(std::string_view f, std::size_t wholeDigits) {
    const std::size_t point = f.find('.');
    const std::string_view whole = f.substr(0, point);
    const std::string_view decimals =
        point == std::string_view::npos ? std::string_view{} : f.substr(point + 1);
    if (!allDigits(whole) || whole.size() > wholeDigits || whole.size() + 2 < wholeDigits)
        return {};
    if (!decimals.empty() && !allDigits(decimals)) return {};
    std::string out(wholeDigits - whole.size(), '0');
    out += whole;
    std::string thousandths(decimals.substr(0, 3));
    thousandths.resize(3, '0');
    const int minutes = (out[wholeDigits - 2] - '0') * 10 + (out[wholeDigits - 1] - '0');
    if (minutes >= 60) return {};
    return out + thousandths;
}

bool safeFieldCharacter(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u > 0x7E) return false;
    return std::string_view("$*,!\\^~").find(c) == std::string_view::npos;
}

struct SmsDegrees {
    double latitude;
    double longitude;
};

// The degrees a position SMS names, each part read leniently, if they name
// a place on earth, north and east as its sentences say: latitude 0-90°,
// longitude 0-180°, minutes 0-59. A garbled or foreign text can name none,
// and its sentences would reach every NMEA reader as a position.
std::optional<SmsDegrees> placeOnEarth(std::string_view text) {
    const double latMinutes = fields::val(mid(text, 4, 2));
    const double lonMinutes = fields::val(mid(text, 13, 2));
    const SmsDegrees d{
        fields::val(mid(text, 2, 2)) + latMinutes / 60 + fields::val(mid(text, 6, 3)) / 60000,
        fields::val(mid(text, 10, 3)) + lonMinutes / 60 + fields::val(mid(text, 15, 3)) / 60000};
    if (d.latitude < 0 || d.latitude > 90 || d.longitude < 0 || d.longitude > 180 ||
        latMinutes < 0 || latMinutes >= 60 || lonMinutes < 0 || lonMinutes >= 60)
        return std::nullopt;
    return d;
}

// "$" lat "," lon, or "" for a place not on earth (a receiver reporting
// latitude 99° has no position worth sending).
std::string positionText(const std::string& lat, const std::string& lon) {
    std::string text = "$" + lat + "," + lon;
    return placeOnEarth(text) ? text : std::string{};
}

}  // namespace

std::string positionSmsFromCellRmc(std::string_view rmc) {
    if (mid(rmc, 1, 7) != "$GPRMC," || mid(rmc, 21, 1) != "." || mid(rmc, 34, 1) != ".") return {};
    // The text has no room for a hemisphere: a cell database's position in
    // the south or west would reach the other side as its mirror image.
    if (mid(rmc, 26, 3) != ",N," || mid(rmc, 39, 3) != ",E,") return {};
    const std::string lat = mid(rmc, 17, 4) + mid(rmc, 22, 3);
    const std::string lon = mid(rmc, 29, 5) + mid(rmc, 35, 3);
    if (lat.size() != 7 || lon.size() != 8 || !allDigits(lat) || !allDigits(lon)) return {};
    return positionText(lat, lon);
}

std::string positionSmsFromGpsRmc(std::string_view rmc) {
    const auto f = splitFields(rmc);
    if (f.size() < 7 || f[2] != "A" || f[4] != "N" || f[6] != "E") return {};
    const std::string lat = minutesField(f[3], 4);
    const std::string lon = minutesField(f[5], 5);
    if (lat.empty() || lon.empty()) return {};
    return positionText(lat, lon);
}

namespace {

// An RMC sentence whose position lies south or west: status "A" and a
// hemisphere field "S" or "W".
bool southOrWest(std::string_view rmc) {
    const auto f = splitFields(rmc);
    return f.size() >= 7 && f[2] == "A" && (f[4] == "S" || f[6] == "W");
}

}  // namespace

OutgoingPosition buildPositionSms(std::string_view gpsRmc, std::string_view cellRmc) {
    bool refused = false;
    if (!gpsRmc.empty()) {
        std::string text = positionSmsFromGpsRmc(gpsRmc);
        if (!text.empty()) return {std::move(text), "GPS", {}};
        refused = southOrWest(gpsRmc);
    }
    if (!cellRmc.empty()) {
        std::string text = positionSmsFromCellRmc(cellRmc);
        if (!text.empty()) return {std::move(text), "GSM", {}};
        refused = refused || southOrWest(cellRmc);
    }
    if (refused) return {{}, {}, std::string(kPositionSmsNorthEastOnly)};
    return {};
}

std::optional<ReceivedPosition> readPositionSms(std::string_view text, std::string_view timeStamp) {
    if (text.size() < 17 || text[0] != '$') return std::nullopt;
    for (std::size_t i = 1; i < 17; ++i)
        if (i != 8 && !safeFieldCharacter(text[i])) return std::nullopt;

    const std::string lat = mid(text, 2, 4) + "." + mid(text, 6, 3);
    const std::string lon = mid(text, 10, 5) + "." + mid(text, 15, 3);
    auto stamp = [timeStamp](long a, long b, long c) {
        return mid(timeStamp, a, 2) + mid(timeStamp, b, 2) + mid(timeStamp, c, 2);
    };
    const std::string time = stamp(10, 13, 16);
    const std::string date = stamp(1, 4, 7);
    // The time stamp comes from the PDU line as it stands; a garbled line
    // must not add fields or a checksum to the sentences either.
    for (const char c : time + date)
        if (!safeFieldCharacter(c)) return std::nullopt;
    const std::optional<SmsDegrees> d = placeOnEarth(text);
    if (!d) return std::nullopt;

    ReceivedPosition p;
    p.sentences.rmc = nmeaSentence(rmcBody(time, lat, lon, date));
    p.sentences.gga = nmeaSentence(ggaBody(time, lat, lon));
    p.latitude = d->latitude;
    p.longitude = d->longitude;
    p.coordinates = mapNumber(p.latitude) + "," + mapNumber(p.longitude);
    return p;
}

}  // namespace funkor
