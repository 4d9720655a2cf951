// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/cell_observation.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>

namespace funkor {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '"')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '"' ||
                          s.back() == '\r' || s.back() == '\n')) {
        s.remove_suffix(1);
    }
    return s;
}

// The comma-separated fields of `body`, blanks and quotes taken off. A
// line has at most a few dozen fields; anything beyond 80 is dropped so a
// garbled line cannot grow the list without bound.
std::vector<std::string_view> splitFields(std::string_view body) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (out.size() < 80) {
        const std::size_t comma = body.find(',', start);
        out.push_back(trimmed(body.substr(start, comma - start)));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return out;
}

// The text after "<prefix>" (and blanks), or nothing when the line has
// another prefix.
std::optional<std::string_view> after(std::string_view line, std::string_view prefix) {
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.substr(0, prefix.size()) != prefix) return std::nullopt;
    return line.substr(prefix.size());
}

bool isUnknownText(std::string_view f) {
    return f.empty() || f == "-" || f == "--";
}

// A decimal whole number in [lo, hi]; unknown otherwise.
std::optional<std::int64_t> dec(std::string_view f, std::int64_t lo, std::int64_t hi) {
    f = trimmed(f);
    if (isUnknownText(f)) return std::nullopt;
    std::int64_t v = 0;
    const char* first = f.data();
    if (*first == '+') ++first;
    auto [p, ec] = std::from_chars(first, f.data() + f.size(), v);
    if (ec != std::errc() || p != f.data() + f.size()) return std::nullopt;
    if (v < lo || v > hi) return std::nullopt;
    return v;
}

std::optional<int> decInt(std::string_view f, int lo, int hi) {
    auto v = dec(f, lo, hi);
    if (!v) return std::nullopt;
    return static_cast<int>(*v);
}

// A hex id of at most `maxDigits` digits; all-F (the "no value" of every
// width) is unknown.
std::optional<std::int64_t> hex(std::string_view f, std::size_t maxDigits) {
    f = trimmed(f);
    if (isUnknownText(f)) return std::nullopt;
    const bool allF = std::all_of(f.begin(), f.end(), [](char c) { return c == 'f' || c == 'F'; });
    if (allF) return std::nullopt;
    while (f.size() > 1 && f.front() == '0') f.remove_prefix(1);
    if (f.size() > maxDigits) return std::nullopt;
    std::int64_t v = 0;
    auto [p, ec] = std::from_chars(f.data(), f.data() + f.size(), v, 16);
    if (ec != std::errc() || p != f.data() + f.size()) return std::nullopt;
    return v;
}

std::string_view field(const std::vector<std::string_view>& f, std::size_t i) {
    return i < f.size() ? f[i] : std::string_view{};
}

// A dBm value written as a negative number; levels outside -150..-20 are no
// measurement.
std::optional<double> dbm(std::string_view f) {
    auto v = dec(f, -150, -20);
    if (!v) return std::nullopt;
    return static_cast<double>(*v);
}
// Receive level 0..63 (27.007 / 45.008): level n is -111 + n dBm.
std::optional<double> rxlevDbm(std::string_view f) {
    auto v = dec(f, 0, 63);
    if (!v) return std::nullopt;
    return static_cast<double>(*v) - 111;
}

void fillBlanks(ObservedCell& into, const ObservedCell& from) {
    into.radio = from.radio;
    auto take = [](auto& a, const auto& b) {
        if (b) a = b;
    };
    take(into.mcc, from.mcc);
    take(into.mnc, from.mnc);
    take(into.area, from.area);
    take(into.cell, from.cell);
    take(into.unit, from.unit);
    take(into.channel, from.channel);
    take(into.bsic, from.bsic);
    take(into.signalDbm, from.signalDbm);
    take(into.timingAdvance, from.timingAdvance);
}

// An identity read from a report: a cell with a zero CI or LAC is no
// identity (Siemens "0000": not decoded; SIMCom ",,0000").
void dropZeroIdentity(ObservedCell& c) {
    if ((c.cell && *c.cell == 0) || (c.area && *c.area == 0) || (c.mcc && *c.mcc == 0)) {
        c.cell.reset();
        c.area.reset();
        c.mcc.reset();
        c.mnc.reset();
    }
}

}  // namespace

double timingAdvanceStep(Radio radio) {
    return radio == Radio::Gsm ? kGsmTimingAdvanceStep : kLteTimingAdvanceStep;
}

std::optional<double> ObservedCell::timingAdvanceMetres() const {
    if (!timingAdvance) return std::nullopt;
    // The advance names the step the distance falls in; its middle is the
    // best single figure (a step of 0 is 0..one step).
    return (*timingAdvance + 0.5) * timingAdvanceStep(radio);
}

void addReports(Observation& obs, const std::vector<CellReport>& reports) {
    for (const CellReport& r : reports) {
        if (r.serving) {
            if (!obs.serving)
                obs.serving = r.cell;
            else
                fillBlanks(*obs.serving, r.cell);
        } else if (obs.neighbours.size() < 64) {
            obs.neighbours.push_back(r.cell);
        }
    }
}

std::optional<ObservedCell> servingFromRegistration(const Registration& reg,
                                                    std::string_view operatorCode) {
    if (!reg.registered || !reg.hasCell()) return std::nullopt;
    if (operatorCode.size() != 5 && operatorCode.size() != 6) return std::nullopt;
    ObservedCell c;
    c.radio = reg.radio;
    c.mcc = decInt(operatorCode.substr(0, 3), 1, 999);
    c.mnc = decInt(operatorCode.substr(3), 0, 999);
    c.area = static_cast<std::int64_t>(reg.lacValue);
    c.cell = static_cast<std::int64_t>(reg.ciValue);
    dropZeroIdentity(c);
    if (!c.hasIdentity()) return std::nullopt;
    return c;
}

// --- +CESQ ------------------------------------------------------------------

std::optional<double> CesqAnswer::signalDbm() const {
    if (rsrp) return *rsrp - 141.0;
    if (rscp) return *rscp - 121.0;
    if (rxlev) return *rxlev - 111.0;
    return std::nullopt;
}

std::optional<CesqAnswer> parseCesq(std::string_view line) {
    auto body = after(line, "+CESQ:");
    if (!body) return std::nullopt;
    auto f = splitFields(*body);
    if (f.size() < 6) return std::nullopt;
    CesqAnswer a;
    a.rxlev = decInt(f[0], 0, 63);
    a.ber = decInt(f[1], 0, 7);
    a.rscp = decInt(f[2], 0, 96);
    a.ecno = decInt(f[3], 0, 49);
    a.rsrq = decInt(f[4], 0, 34);
    a.rsrp = decInt(f[5], 0, 97);
    return a;
}

// --- Siemens ^SMONC ---------------------------------------------------------

std::vector<CellReport> parseSmonc(std::string_view line) {
    std::vector<CellReport> out;
    auto body = after(line, "^SMONC:");
    if (!body) return out;
    auto f = splitFields(*body);
    for (std::size_t i = 0; i + 9 <= f.size() && out.size() < 7; i += 9) {
        ObservedCell c;
        c.radio = Radio::Gsm;
        c.mcc = decInt(f[i], 1, 999);
        c.mnc = decInt(f[i + 1], 0, 999);
        c.area = hex(f[i + 2], 4);
        c.cell = hex(f[i + 3], 4);
        c.bsic = decInt(f[i + 4], 0, 77);
        c.channel = decInt(f[i + 5], 0, 1023);
        c.signalDbm = rxlevDbm(f[i + 6]);
        dropZeroIdentity(c);
        // A slot without channel and signal is empty, not a cell.
        if (!c.channel && !c.signalDbm) continue;
        if (c.channel && *c.channel == 0 && !c.hasIdentity()) continue;
        out.push_back({i == 0, c});
    }
    return out;
}

// --- Quectel +QENG ----------------------------------------------------------

std::vector<CellReport> parseQeng(std::string_view line) {
    std::vector<CellReport> out;
    auto body = after(line, "+QENG:");
    if (!body) return out;
    auto f = splitFields(*body);
    const std::string_view kind = field(f, 0);
    ObservedCell c;
    if (kind == "servingcell") {
        const std::string_view rat = field(f, 2);
        if (rat == "GSM") {
            c.radio = Radio::Gsm;
            c.mcc = decInt(field(f, 3), 1, 999);
            c.mnc = decInt(field(f, 4), 0, 999);
            c.area = hex(field(f, 5), 4);
            c.cell = hex(field(f, 6), 4);
            c.bsic = decInt(field(f, 7), 0, 77);
            c.channel = decInt(field(f, 8), 0, 1023);
            c.signalDbm = dbm(field(f, 10));
            c.timingAdvance = decInt(field(f, 19), 0, 63);
        } else if (rat == "WCDMA") {
            c.radio = Radio::Umts;
            c.mcc = decInt(field(f, 3), 1, 999);
            c.mnc = decInt(field(f, 4), 0, 999);
            c.area = hex(field(f, 5), 4);
            c.cell = hex(field(f, 6), 7);
            c.channel = decInt(field(f, 7), 0, 16383);
            c.unit = decInt(field(f, 8), 0, 511);
            c.signalDbm = dbm(field(f, 10));
        } else if (rat == "LTE" || rat == "CAT-M" || rat == "CAT-NB") {
            c.radio = Radio::Lte;
            c.mcc = decInt(field(f, 4), 1, 999);
            c.mnc = decInt(field(f, 5), 0, 999);
            c.cell = hex(field(f, 6), 7);
            c.unit = decInt(field(f, 7), 0, 503);
            c.channel = decInt(field(f, 8), 0, 262143);
            c.area = hex(field(f, 12), 4);
            c.signalDbm = dbm(field(f, 13));
        } else {
            return out;  // "SEARCH", "LIMSRV" without a cell, NR: not read here
        }
        dropZeroIdentity(c);
        out.push_back({true, c});
        return out;
    }
    if (kind.substr(0, 13) != "neighbourcell") return out;
    const std::string_view rat = field(f, 1);
    if (rat == "GSM") {
        c.radio = Radio::Gsm;
        if (f.size() >= 13) {  // heard from a GSM cell: with identity
            c.mcc = decInt(field(f, 2), 1, 999);
            c.mnc = decInt(field(f, 3), 0, 999);
            c.area = hex(field(f, 4), 4);
            c.cell = hex(field(f, 5), 4);
            c.bsic = decInt(field(f, 6), 0, 77);
            c.channel = decInt(field(f, 7), 0, 1023);
            c.signalDbm = dbm(field(f, 8));
            dropZeroIdentity(c);
        } else {  // heard from an LTE cell: channel, BSIC and level only
            c.channel = decInt(field(f, 2), 0, 1023);
            c.bsic = decInt(field(f, 8), 0, 77);
            c.signalDbm = dbm(field(f, 9));
        }
    } else if (rat == "WCDMA") {
        c.radio = Radio::Umts;
        c.channel = decInt(field(f, 2), 0, 16383);
        if (f.size() >= 10) {
            c.unit = decInt(field(f, 6), 0, 511);
            c.signalDbm = dbm(field(f, 7));
        } else {
            c.unit = decInt(field(f, 3), 0, 511);
            c.signalDbm = dbm(field(f, 4));
        }
    } else if (rat == "LTE") {
        c.radio = Radio::Lte;
        c.channel = decInt(field(f, 2), 0, 262143);
        c.unit = decInt(field(f, 3), 0, 503);
        c.signalDbm = dbm(field(f, 5));
    } else {
        return out;
    }
    out.push_back({false, c});
    return out;
}

// --- SIMCom +CENG -----------------------------------------------------------

std::vector<CellReport> parseCeng(std::string_view line) {
    std::vector<CellReport> out;
    auto body = after(line, "+CENG:");
    if (!body) return out;
    const std::size_t quote = body->find('"');
    if (quote == std::string_view::npos) return out;  // the mode line
    auto index = decInt(body->substr(0, body->find(',')), 0, 31);
    if (!index) return out;
    auto f = splitFields(body->substr(quote));
    const bool serving = *index == 0;
    ObservedCell c;
    // Only the LTE layouts have a negative third field (the RSRP).
    const bool lte = f.size() >= 6 && dbm(f[2]).has_value();
    if (lte) {
        c.radio = Radio::Lte;
        c.channel = decInt(f[0], 0, 262143);
        c.unit = decInt(f[1], 0, 503);
        c.signalDbm = dbm(f[2]);
        if (serving && f.size() >= 10) {
            c.area = dec(f[6], 1, 0xFFFE);
            c.cell = dec(f[7], 1, 0xFFFFFFE);
            c.mcc = decInt(f[8], 1, 999);
            c.mnc = decInt(f[9], 0, 999);
        }
    } else if (f.size() == 6 && field(f, 0).size() == 3) {
        // Mode 3: <mcc>,<mnc>,<lac>,<ci>,<bsic>,<rxl>
        c.mcc = decInt(f[0], 1, 999);
        c.mnc = decInt(f[1], 0, 999);
        c.area = hex(f[2], 4);
        c.cell = hex(f[3], 4);
        c.bsic = decInt(f[4], 0, 77);
        c.signalDbm = rxlevDbm(f[5]);
        dropZeroIdentity(c);
        if (!c.hasIdentity()) return out;  // an empty slot "000,00,0,0,00,00"
    } else if (serving && f.size() >= 10) {
        c.channel = decInt(f[0], 0, 1023);
        c.signalDbm = rxlevDbm(f[1]);
        c.mcc = decInt(f[3], 1, 999);
        c.mnc = decInt(f[4], 0, 999);
        c.bsic = decInt(f[5], 0, 77);
        c.cell = hex(f[6], 4);
        c.area = hex(f[9], 4);
        c.timingAdvance = decInt(field(f, 10), 0, 63);
    } else if (f.size() == 7) {
        c.channel = decInt(f[0], 0, 1023);
        c.signalDbm = rxlevDbm(f[1]);
        c.bsic = decInt(f[2], 0, 77);
        c.cell = hex(f[3], 4);
        c.mcc = decInt(f[4], 1, 999);
        c.mnc = decInt(f[5], 0, 999);
        c.area = hex(f[6], 4);
    } else if (f.size() == 6) {
        c.channel = decInt(f[0], 0, 1023);
        c.signalDbm = rxlevDbm(f[1]);
        c.bsic = decInt(f[2], 0, 77);
        c.mcc = decInt(f[3], 1, 999);
        c.mnc = decInt(f[4], 0, 999);
        c.area = hex(f[5], 4);
    } else {
        return out;
    }
    dropZeroIdentity(c);
    if (!c.signalDbm && !c.hasIdentity()) return out;  // an empty slot
    out.push_back({serving, c});
    return out;
}

// --- u-blox +UCELLINFO ------------------------------------------------------

std::vector<CellReport> parseUcellinfo(std::string_view line) {
    std::vector<CellReport> out;
    auto body = after(line, "+UCELLINFO:");
    if (!body) return out;
    auto f = splitFields(*body);
    auto type = decInt(field(f, 1), 0, 6);
    if (!type || f.size() < 7) return out;
    ObservedCell c;
    c.mcc = decInt(f[2], 1, 999);
    c.mnc = decInt(f[3], 0, 999);
    bool serving = false;
    if (*type <= 1) {
        serving = *type == 0;
        c.radio = Radio::Gsm;
        c.area = hex(f[4], 4);
        c.cell = hex(f[5], 4);
        c.signalDbm = rxlevDbm(f[6]);
        if (serving) c.timingAdvance = decInt(field(f, 7), 0, 63);
    } else if (*type <= 4) {
        serving = *type == 2;
        c.radio = Radio::Umts;
        c.area = hex(f[4], 4);
        c.cell = hex(f[5], 8);
        c.unit = decInt(field(f, 6), 0, 511);
        c.channel = decInt(field(f, 7), 0, 16383);
        if (auto rscp = decInt(field(f, 8), 0, 91)) c.signalDbm = *rscp - 116.0;
    } else {
        serving = *type == 5;
        c.radio = Radio::Lte;
        c.cell = hex(f[4], 7);
        c.unit = decInt(f[5], 0, 503);
        c.area = hex(field(f, 6), 4);
        if (auto rsrp = decInt(field(f, 7), 0, 97))
            c.signalDbm = *rsrp - 141.0;
        else
            c.signalDbm = dbm(field(f, 7));
        if (serving) c.timingAdvance = decInt(field(f, 10), 0, 1282);
    }
    dropZeroIdentity(c);
    out.push_back({serving, c});
    return out;
}

std::vector<CellReport> parseCellReports(std::string_view line) {
    std::string_view l = trimmed(line);
    if (l.substr(0, 7) == "^SMONC:") return parseSmonc(l);
    if (l.substr(0, 6) == "+QENG:") return parseQeng(l);
    if (l.substr(0, 6) == "+CENG:") return parseCeng(l);
    if (l.substr(0, 11) == "+UCELLINFO:") return parseUcellinfo(l);
    return {};
}

// --- Families ---------------------------------------------------------------

DeviceFamily deviceFamilyOf(std::string_view manufacturer) {
    std::string m;
    for (char ch : manufacturer)
        m += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    if (m.find("siemens") != std::string::npos || m.find("cinterion") != std::string::npos) {
        return DeviceFamily::Siemens;
    }
    if (m.find("quectel") != std::string::npos) return DeviceFamily::Quectel;
    if (m.find("simcom") != std::string::npos) return DeviceFamily::Simcom;
    if (m.find("u-blox") != std::string::npos || m.find("ublox") != std::string::npos) {
        return DeviceFamily::Ublox;
    }
    return DeviceFamily::Generic;
}

std::vector<std::string> familySetupCommands(DeviceFamily family) {
    switch (family) {
        case DeviceFamily::Simcom:
            return {"AT+CENG=1,1"};  // engineering mode, neighbours with CI
        default:
            return {};
    }
}

std::vector<std::string> familyTickCommands(DeviceFamily family) {
    switch (family) {
        case DeviceFamily::Siemens:
            return {"AT^SMONC"};
        case DeviceFamily::Quectel:
            return {"AT+QENG=\"servingcell\"", "AT+QENG=\"neighbourcell\""};
        case DeviceFamily::Simcom:
            return {"AT+CENG?"};
        case DeviceFamily::Ublox:
            return {"AT+UCELLINFO?"};
        case DeviceFamily::Generic:
            break;
    }
    return {};
}

const char* deviceFamilyName(DeviceFamily family) {
    switch (family) {
        case DeviceFamily::Siemens:
            return "Siemens";
        case DeviceFamily::Quectel:
            return "Quectel";
        case DeviceFamily::Simcom:
            return "SIMCom";
        case DeviceFamily::Ublox:
            return "u-blox";
        case DeviceFamily::Generic:
            break;
    }
    return "27.007";
}

}  // namespace funkor
