// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/log_export.h"

#include <charconv>
#include <chrono>
#include <map>
#include <optional>

#include "core/at_network.h"
#include "core/charset.h"
#include "core/position_log.h"

namespace funkor {

namespace {

// The `n`-th comma-separated field of a sentence (0 is "$GPRMC"); the
// checksum does not belong to the last field.
std::string_view field(std::string_view s, int n) {
    std::size_t at = 0;
    for (int i = 0; i < n; ++i) {
        at = s.find(',', at);
        if (at == std::string_view::npos) return {};
        ++at;
    }
    const std::size_t end = s.find_first_of(",*", at);
    return s.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
}

bool digitsOnly(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

int number(std::string_view digits) {
    int v = 0;
    for (char c : digits) v = v * 10 + (c - '0');
    return v;
}

// "ddmm.mmmm" with `degreeDigits` degree digits; nothing unless it is that
// and the minutes are below 60.
std::optional<double> degrees(std::string_view f, std::size_t degreeDigits, double limit) {
    const std::size_t point = f.find('.');
    if (point != degreeDigits + 2 || !digitsOnly(f.substr(0, point)) ||
        !digitsOnly(f.substr(point + 1)))
        return std::nullopt;
    double minutes = 0;
    const auto m = f.substr(degreeDigits);
    if (std::from_chars(m.data(), m.data() + m.size(), minutes).ec != std::errc() || minutes >= 60)
        return std::nullopt;
    const double v = number(f.substr(0, degreeDigits)) + minutes / 60;
    if (v > limit) return std::nullopt;
    return v;
}

// "2026-12-02T08:20:05Z" from hhmmss and ddmmyy; "" when either is unusable.
std::string isoTime(std::string_view hhmmss, std::string_view ddmmyy) {
    if (hhmmss.size() < 6 || !digitsOnly(hhmmss.substr(0, 6)) || ddmmyy.size() != 6 ||
        !digitsOnly(ddmmyy))
        return {};
    const int h = number(hhmmss.substr(0, 2)), mi = number(hhmmss.substr(2, 2)),
              s = number(hhmmss.substr(4, 2));
    const int d = number(ddmmyy.substr(0, 2)), mo = number(ddmmyy.substr(2, 2)),
              y = number(ddmmyy.substr(4, 2));
    if (h > 23 || mi > 59 || s > 59 || d < 1 || d > 31 || mo < 1 || mo > 12) return {};
    // Two-digit years as NMEA receivers read them: 80-99 are 1980-1999.
    const int year = y >= 80 ? 1900 + y : 2000 + y;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", year, mo, d, h, mi, s);
    return buf;
}

// 8-bit log text as UTF-8 for XML: control characters, which XML 1.0 does
// not allow, become blanks.
std::string xmlText(std::string_view cp1252) {
    std::string out;
    for (const char ch : cp1252) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                if (c < 0x20 || c == 0x7F)
                    out += ' ';
                else
                    charset::appendUtf8(out, charset::fromCp1252(c));
        }
    }
    return out;
}

// Seven decimals (about 1 cm), "." whatever the locale.
std::string coordinate(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 7);
    return std::string(buf, r.ptr);
}

}  // namespace

LogWaypoints readLogWaypoints(std::string_view logText) {
    LogWaypoints out;
    for (const auto& e : readPositionLog(logText)) {
        const std::string_view rmc = e.rmc;
        auto lat = degrees(field(rmc, 3), 2, 90);
        auto lon = degrees(field(rmc, 5), 3, 180);
        const auto ns = field(rmc, 4), ew = field(rmc, 6);
        if (rmc.substr(0, 6) != "$GPRMC" || !lat || !lon || (ns != "N" && ns != "S") ||
            (ew != "E" && ew != "W")) {
            ++out.skipped;
            continue;
        }
        LogWaypoint w;
        w.latitude = ns == "S" ? -*lat : *lat;
        w.longitude = ew == "W" ? -*lon : *lon;
        w.time = isoTime(field(rmc, 1), field(rmc, 9));
        w.name = xmlText(e.name.empty() ? e.cellKey : e.name);
        w.description = xmlText("Zelle " + e.cellKey + ", Position " + e.siteKey);
        out.points.push_back(std::move(w));
    }
    return out;
}

namespace {

// Unix seconds of an RMC's hhmmss and ddmmyy; 0 when either is unusable.
std::int64_t unixTime(std::string_view hhmmss, std::string_view ddmmyy) {
    const std::string iso = isoTime(hhmmss, ddmmyy);
    if (iso.empty()) return 0;
    using namespace std::chrono;
    const year_month_day day{year{std::stoi(iso.substr(0, 4))},
                             month{static_cast<unsigned>(std::stoi(iso.substr(5, 2)))},
                             std::chrono::day{static_cast<unsigned>(std::stoi(iso.substr(8, 2)))}};
    if (!day.ok()) return 0;
    const auto secs = sys_days{day}.time_since_epoch() + hours{std::stoi(iso.substr(11, 2))} +
                      minutes{std::stoi(iso.substr(14, 2))} + seconds{std::stoi(iso.substr(17, 2))};
    return duration_cast<seconds>(secs).count();
}

}  // namespace

LogCells readLogCells(std::string_view logText) {
    LogCells out;
    std::map<std::string, std::size_t> rowOf;  // cell key -> index in out.rows
    for (const auto& e : readPositionLog(logText)) {
        const std::string_view rmc = e.rmc;
        auto lat = degrees(field(rmc, 3), 2, 90);
        auto lon = degrees(field(rmc, 5), 3, 180);
        const auto ns = field(rmc, 4), ew = field(rmc, 6);
        // Cell key: CI, LAC, MCC and MNC. Only a 4-digit CI tells its radio
        // (GSM); a longer one may be UMTS or LTE.
        const auto parts = splitCellKey(e.cellKey);
        const auto key = parts && parts->ci.size() == 4
                             ? cellDbKeyFromPhone("GSM", parts->operatorCode, parts->lac, parts->ci)
                             : std::nullopt;
        if (!key || rmc.substr(0, 6) != "$GPRMC" || !lat || !lon || (ns != "N" && ns != "S") ||
            (ew != "E" && ew != "W")) {
            ++out.skipped;
            continue;
        }
        if (field(e.gga, 6) == "6") {
            ++out.estimated;
            continue;
        }
        if (e.name == "Home") {
            ++out.home;
            continue;
        }
        const std::int64_t time = unixTime(field(rmc, 1), field(rmc, 9));
        auto [it, fresh] = rowOf.emplace(e.cellKey, out.rows.size());
        if (fresh) {
            CellDbRow r;
            r.key = *key;
            r.created = time;
            out.rows.push_back(r);
        }
        CellDbRow& r = out.rows[it->second];
        r.latitude = ns == "S" ? -*lat : *lat;
        r.longitude = ew == "W" ? -*lon : *lon;
        r.changeable = false;
        r.range = 0;
        ++r.samples;
        r.updated = time;
    }
    return out;
}

std::string writeCellCsv(const std::vector<CellDbRow>& rows) {
    std::string s(kCellCsvHeader);
    s += '\n';
    for (const auto& r : rows) s += cellCsvRow(r) + '\n';
    return s;
}

std::string writeGpx(const std::vector<LogWaypoint>& points) {
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<gpx version=\"1.1\" creator=\"Funkor\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
    for (const auto& p : points) {
        s += "  <wpt lat=\"" + coordinate(p.latitude) + "\" lon=\"" + coordinate(p.longitude) +
             "\">\n";
        if (!p.time.empty()) s += "    <time>" + p.time + "</time>\n";
        s += "    <name>" + p.name + "</name>\n";
        s += "    <desc>" + p.description + "</desc>\n";
        s += "  </wpt>\n";
    }
    s += "</gpx>\n";
    return s;
}

std::string writeKml(const std::vector<LogWaypoint>& points, std::string_view title) {
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n"
        "  <Document>\n"
        "    <name>" +
        xmlText(title) + "</name>\n";
    for (const auto& p : points) {
        s += "    <Placemark>\n";
        s += "      <name>" + p.name + "</name>\n";
        s += "      <description>" + p.description + "</description>\n";
        if (!p.time.empty()) s += "      <TimeStamp><when>" + p.time + "</when></TimeStamp>\n";
        s += "      <Point><coordinates>" + coordinate(p.longitude) + "," + coordinate(p.latitude) +
             ",0</coordinates></Point>\n";
        s += "    </Placemark>\n";
    }
    s += "  </Document>\n</kml>\n";
    return s;
}

}  // namespace funkor
