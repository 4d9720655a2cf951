// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The position log "Funkor.log" as the merge of names and the export to
// GPX and KML read it. Whatever a file holds, the export is well-formed XML
// with one waypoint per readable entry; and every entry the program itself
// appends reads back with its keys, its name, its position and its time.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "core/fields.h"
#include "core/log_export.h"
#include "core/nmea.h"
#include "core/position_log.h"
#include "fuzz_input.h"
#include "xml_check.h"

using namespace funkor;
using funkor::fuzz::require;

namespace {

std::size_t count(std::string_view text, std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + 1))
        ++n;
    return n;
}

void checkExport(std::string_view logText, std::string_view title) {
    const auto entries = readPositionLog(logText);
    for (const auto& e : entries) {
        require(e.cellKey.size() <= 13 && e.siteKey.size() <= 13, "log keys within the layout");
        require(e.rmc.find_first_of("\r\n") == std::string::npos, "sentence without line end");
    }
    const LogWaypoints w = readLogWaypoints(logText);
    require(w.points.size() + static_cast<std::size_t>(w.skipped) == entries.size(),
            "every entry a waypoint or skipped");
    for (const auto& p : w.points) {
        require(p.latitude >= -90 && p.latitude <= 90 && p.longitude >= -180 && p.longitude <= 180,
                "waypoint on the globe");
        require(p.time.empty() || p.time.size() == 20, "time YYYY-MM-DDThh:mm:ssZ");
    }
    const std::string gpx = writeGpx(w.points);
    require(fuzz::wellFormedXml(gpx), "GPX well-formed");
    require(count(gpx, "<wpt ") == w.points.size(), "one wpt per waypoint");
    const std::string kml = writeKml(w.points, title);
    require(fuzz::wellFormedXml(kml), "KML well-formed");
    require(count(kml, "<Placemark>") == w.points.size(), "one Placemark per waypoint");
}

// Byte `k` of `s`, 0 past its end.
unsigned byteAt(std::string_view s, std::size_t k) {
    return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u;
}

struct Appended {
    std::string cellKey, positionKey, name;
    double latitude = 0, longitude = 0;
    std::string utc;  // as the export writes it
};

// An entry as the program appends it, made from one input line: keys of the
// right shape, a position in the north-east quarter, a local time with its
// offset to UTC, and the line itself as the name.
Appended appendedEntry(std::string_view line, int utcOffset, std::string& log) {
    static const char hex[] = "0123456789ABCDEF";
    Appended a;
    for (std::size_t k = 0; k < 13; ++k) a.cellKey += hex[byteAt(line, k) % 16];
    for (std::size_t k = 0; k < 12; ++k)
        a.positionKey += static_cast<char>('0' + byteAt(line, k) % 10);
    for (char c : line)
        if (c != '\r') a.name += c;
    a.latitude = (byteAt(line, 0) * 256 + byteAt(line, 1)) / 65535.0 * 90;
    a.longitude = (byteAt(line, 2) * 256 + byteAt(line, 3)) / 65535.0 * 180;
    const CivilTime local{
        2001 + static_cast<int>(byteAt(line, 4) % 77), 1 + static_cast<int>(byteAt(line, 5) % 12),
        1 + static_cast<int>(byteAt(line, 6) % 28),    static_cast<int>(byteAt(line, 7) % 24),
        static_cast<int>(byteAt(line, 8) % 60),        static_cast<int>(byteAt(line, 9) % 60)};
    const CivilTime u = addHours(local, -utcOffset);
    char iso[32];
    std::snprintf(iso, sizeof iso, "%04d-%02d-%02dT%02d:%02d:%02dZ", u.year, u.month, u.day, u.hour,
                  u.minute, u.second);
    a.utc = iso;
    const SentencePair pair = buildPositionSentences(a.latitude, a.longitude, local, utcOffset);
    log += positionLogEntry(a.cellKey, a.positionKey, a.name, pair.rmc, pair.gga);
    return a;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text = fuzz::asText(data, size);
    const std::uint8_t steer = fuzz::takeByte(text);
    const auto lines = fuzz::splitLines(text);

    // The input as a log file of any content, named after its first line.
    checkExport(text, lines[0]);

    // The input's first lines as entries the program appends, one per line.
    const int utcOffset = steer % 3;
    std::string log;
    std::vector<Appended> appended;
    // (A day's drive rarely logs more than a few dozen new sites.)
    for (std::size_t i = 0; i < lines.size() && i < 40; ++i)
        appended.push_back(appendedEntry(lines[i], utcOffset, log));
    const auto entries = readPositionLog(log);
    require(entries.size() == appended.size(), "one entry per appended entry");
    const LogWaypoints w = readLogWaypoints(log);
    require(w.skipped == 0 && w.points.size() == appended.size(), "every appended entry exported");
    for (std::size_t i = 0; i < appended.size(); ++i) {
        const Appended& a = appended[i];
        const LoggedPosition& e = entries[i];
        require(e.cellKey == a.cellKey, "cell key reads back");
        require(e.siteKeyValid &&
                    e.siteKey == a.positionKey.substr(0, 6) + " " + a.positionKey.substr(6),
                "position key reads back");
        require(e.name == fields::trim(a.name), "name reads back trimmed");
        const LogWaypoint& p = w.points[i];
        require(std::fabs(p.latitude - a.latitude) < 1e-6 &&
                    std::fabs(p.longitude - a.longitude) < 1e-6,
                "position reads back to a ten-thousandth of a minute");
        require(p.time == a.utc, "time reads back in UTC");
    }
    checkExport(log, lines.back());
    return 0;
}
