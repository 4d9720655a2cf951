// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// funkor-tool: the core conversions of Funkor on the command line, for
// debugging a phone, converting coordinates and scripts. Output is plain
// text with "." decimals; errors go to stderr with a non-zero exit code
// (1: input refused, 2: wrong usage).

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/charset.h"
#include "core/grid.h"
#include "core/log_export.h"
#include "core/nmea.h"
#include "core/pdu.h"
#include "core/position_texts.h"
#include "tools/funkor-tool/celldb.h"
#include "tools/funkor-tool/measurements_cmd.h"

using namespace funkor;

namespace {

constexpr const char* kUsageHead =
    "usage:\n"
    "  funkor-tool grid E N                   grid easting/northing (m) to WGS84\n"
    "  funkor-tool nmea LAT LON [--utc YYYY-MM-DDThh:mm:ss]\n"
    "                                         RMC and GGA sentences of a position\n"
    "  funkor-tool pdu-encode NUMBER TEXT     SMS-SUBMIT PDU\n"
    "  funkor-tool pdu-decode HEX TPDU_LENGTH sender, time and text of an SMS-DELIVER\n"
    "  funkor-tool septets HEX                unpack GSM 7-bit text\n"
    "  funkor-tool cb-position PAGE_HEX       position key of a cell broadcast page\n"
    "  funkor-tool log-export LOG [--gpx FILE] [--kml FILE] [--ocid FILE]\n"
    "                                         position log as GPX 1.1 / KML 2.2 waypoints,\n"
    "                                         its cells as OpenCellID CSV\n"
    "                                         (FILE - is standard output)\n";

const std::string kUsage = std::string(kUsageHead) + kCelldbUsage + kMeasurementsUsage;

int usage(const std::string& problem = {}) {
    if (!problem.empty()) std::cerr << "funkor-tool: " << problem << "\n";
    std::cerr << kUsage;
    return 2;
}

int refuse(const std::string& problem) {
    std::cerr << "funkor-tool: " << problem << "\n";
    return 1;
}

std::optional<double> parseNumber(const std::string& s) {
    if (s.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(s.c_str(), &end);
    if (*end != '\0' || errno != 0 || !std::isfinite(v)) return std::nullopt;
    return v;
}

bool isHexText(std::string_view s) {
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return s.size() % 2 == 0;
}

// 8-bit text for the terminal: UTF-8, control characters as \xNN and the
// backslash doubled, so that every character of a decoded text is visible.
std::string printable(std::string_view text) {
    std::string out;
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            charset::appendUtf8(out, charset::fromCp1252(c));
        }
    }
    return out;
}

// A command-line argument (UTF-8 on any current system) as 8-bit
// Windows-1252 text; characters the code page lacks become "?". Bytes that
// are not valid UTF-8 are taken as they are.
std::string toCp1252(std::string_view s) {
    return charset::utf8ToCp1252(s);
}

int cmdGrid(const std::vector<std::string>& a) {
    if (a.size() != 2) return usage("grid needs E and N");
    const auto e = parseNumber(a[0]), n = parseNumber(a[1]);
    if (!e || !n) return refuse("E and N must be numbers (metres)");
    const GeoPosition bessel = gridToBessel(*e, *n);
    const GeoPosition wgs = besselToWgs84(bessel.latitude, bessel.longitude);
    std::printf("bessel_lat=%.7f\nbessel_lon=%.7f\nlat=%.7f\nlon=%.7f\n", bessel.latitude,
                bessel.longitude, wgs.latitude, wgs.longitude);
    return 0;
}

std::optional<CivilTime> parseUtc(const std::string& s) {
    CivilTime t;
    int used = 0;
    if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &t.year, &t.month, &t.day, &t.hour,
                    &t.minute, &t.second, &used) != 6 ||
        used != static_cast<int>(s.size()))
        return std::nullopt;
    // Round trip through the calendar catches 31 April and the like.
    const CivilTime check = addHours(t, 0);
    if (t.month < 1 || t.month > 12 || t.day < 1 || t.hour > 23 || t.minute > 59 || t.second > 59 ||
        t.hour < 0 || t.minute < 0 || t.second < 0 || check.day != t.day || check.month != t.month)
        return std::nullopt;
    return t;
}

std::string withoutLineEnd(std::string s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s;
}

int cmdNmea(const std::vector<std::string>& a) {
    std::vector<std::string> pos;
    std::optional<CivilTime> utc;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--utc") {
            if (i + 1 >= a.size()) return usage("--utc needs a time");
            utc = parseUtc(a[++i]);
            if (!utc) return refuse("time must be YYYY-MM-DDThh:mm:ss");
        } else {
            pos.push_back(a[i]);
        }
    }
    if (pos.size() != 2) return usage("nmea needs LAT and LON");
    const auto lat = parseNumber(pos[0]), lon = parseNumber(pos[1]);
    if (!lat || !lon) return refuse("LAT and LON must be numbers (degrees)");
    if (*lat < 0 || *lat > 90 || *lon < 0 || *lon > 180)
        return refuse("LAT must be 0..90 and LON 0..180 (north and east only)");
    if (!utc) {
        const std::time_t now = std::time(nullptr);
        std::tm tm{};
        gmtime_r(&now, &tm);
        utc = CivilTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                        tm.tm_hour,        tm.tm_min,     tm.tm_sec};
    }
    const SentencePair p = buildPositionSentences(*lat, *lon, *utc, 0);
    std::cout << withoutLineEnd(p.rmc) << "\n" << withoutLineEnd(p.gga) << "\n";
    return 0;
}

int cmdPduEncode(const std::vector<std::string>& a) {
    if (a.size() != 2) return usage("pdu-encode needs NUMBER and TEXT");
    const EncodedPdu r = encodeSmsPdu(toCp1252(a[1]), a[0]);
    switch (r.error) {
        case PduError::None:
            std::cout << r.pdu << "\n";
            return 0;
        case PduError::NumberTooLong:
            return refuse("number has more than 15 digits");
        case PduError::NumberInvalid:
            return refuse("number may hold only digits after an optional + or 00");
        case PduError::TextTooLong:
            return refuse("text has more than 160 characters");
    }
    return 1;
}

int cmdPduDecode(const std::vector<std::string>& a) {
    if (a.size() != 2) return usage("pdu-decode needs HEX and TPDU_LENGTH");
    if (!isHexText(a[0])) return refuse("HEX must be pairs of hex digits");
    const auto length = parseNumber(a[1]);
    if (!length || *length < 0 || *length != std::floor(*length) || *length > 1000)
        return refuse("TPDU_LENGTH must be a whole number of octets");
    if (*length * 2 > static_cast<double>(a[0].size()))
        return refuse("TPDU_LENGTH is longer than the PDU");
    const DeliveredSms sms = readSmsDeliver(a[0], static_cast<int>(*length));
    std::cout << "sender=" << printable(sms.sender) << "\ntime=" << sms.timeStamp
              << "\ntext=" << printable(sms.text) << "\n";
    return 0;
}

int cmdSeptets(const std::vector<std::string>& a) {
    if (a.size() != 1) return usage("septets needs HEX");
    if (!isHexText(a[0])) return refuse("HEX must be pairs of hex digits");
    std::cout << printable(decodeSeptets(a[0])) << "\n";
    return 0;
}

int cmdCbPosition(const std::vector<std::string>& a) {
    if (a.size() != 1) return usage("cb-position needs PAGE_HEX");
    if (!isHexText(a[0])) return refuse("PAGE_HEX must be pairs of hex digits");
    if (!isPositionPage(a[0])) return refuse("not a page of channel 221");
    const auto key = cellBroadcastPosition(a[0]);
    if (!key) return refuse("page too short for a position");
    if (!isPositionKey(*key)) return refuse("page holds no position: " + printable(*key));
    std::cout << *key << "\n";
    return 0;
}

bool writeOutput(const std::string& path, const std::string& text) {
    if (path == "-") {
        std::cout << text;
        return static_cast<bool>(std::cout.flush());
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

int cmdLogExport(const std::vector<std::string>& a) {
    std::string log, gpx, kml, ocid;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--gpx" || a[i] == "--kml" || a[i] == "--ocid") {
            if (i + 1 >= a.size()) return usage(a[i] + " needs a FILE");
            (a[i] == "--gpx" ? gpx : a[i] == "--kml" ? kml : ocid) = a[i + 1];
            ++i;
        } else if (log.empty()) {
            log = a[i];
        } else {
            return usage("log-export takes one LOG");
        }
    }
    if (log.empty()) return usage("log-export needs the LOG file");
    if (gpx.empty() && kml.empty() && ocid.empty())
        return usage("log-export needs --gpx FILE, --kml FILE or --ocid FILE");
    std::ifstream in(log, std::ios::binary);
    if (!in) return refuse("cannot read " + log);
    std::ostringstream text;
    text << in.rdbuf();
    const LogWaypoints w = readLogWaypoints(text.str());
    const std::string title = toCp1252(log.substr(log.find_last_of('/') + 1));
    if (!gpx.empty() && !writeOutput(gpx, writeGpx(w.points))) return refuse("cannot write " + gpx);
    if (!kml.empty() && !writeOutput(kml, writeKml(w.points, title)))
        return refuse("cannot write " + kml);
    if (!ocid.empty()) {
        const LogCells cells = readLogCells(text.str());
        if (!writeOutput(ocid, writeCellCsv(cells.rows))) return refuse("cannot write " + ocid);
        std::cerr << "cells=" << cells.rows.size() << "\nestimated=" << cells.estimated
                  << "\nhome=" << cells.home << "\n";
    }
    // The counts go to stderr, so that "-" leaves a clean document.
    std::cerr << "waypoints=" << w.points.size() << "\nskipped=" << w.skipped << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "-h" || command == "--help" || command == "help") {
        std::cout << kUsage;
        return 0;
    }
    if (command == "grid") return cmdGrid(args);
    if (command == "nmea") return cmdNmea(args);
    if (command == "pdu-encode") return cmdPduEncode(args);
    if (command == "pdu-decode") return cmdPduDecode(args);
    if (command == "septets") return cmdSeptets(args);
    if (command == "cb-position") return cmdCbPosition(args);
    if (command == "log-export") return cmdLogExport(args);
    if (command == "celldb") return cmdCelldb(args);
    if (command == "measurements") return cmdMeasurements(args);
    return usage("unknown command " + command);
}
