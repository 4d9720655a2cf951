// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/modem_manager_values.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/pdu.h"

namespace funkor {
namespace {

// MMModemAccessTechnology bits.
constexpr std::uint32_t kGsmBits = (1u << 1) | (1u << 2) | (1u << 3) | (1u << 4);
constexpr std::uint32_t kUmtsBits = (1u << 5) | (1u << 6) | (1u << 7) | (1u << 8) | (1u << 9);
constexpr std::uint32_t kLteBits = (1u << 14) | (1u << 16) | (1u << 17);
constexpr std::uint32_t kNrBit = 1u << 15;

// MMCellType.
enum : std::int64_t { kCellGsm = 2, kCellUmts = 3, kCellLte = 5, kCellNr = 6 };

std::vector<std::string_view> splitCommas(std::string_view text) {
    std::vector<std::string_view> parts;
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = text.find(',', from);
        parts.push_back(
            text.substr(from, comma == std::string_view::npos ? text.npos : comma - from));
        if (comma == std::string_view::npos) return parts;
        from = comma + 1;
    }
}

bool allDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A hex field of at most `maxDigits` significant digits.
std::optional<std::uint64_t> hexField(std::string_view s, std::size_t maxDigits) {
    if (s.empty()) return std::nullopt;
    std::uint64_t v = 0;
    std::size_t significant = 0;
    for (const char c : s) {
        const int d = hexValue(c);
        if (d < 0) return std::nullopt;
        if (significant > 0 || d != 0) ++significant;
        if (significant > maxDigits) return std::nullopt;
        v = v * 16 + static_cast<std::uint64_t>(d);
    }
    return v;
}

std::string hexDigits(std::uint64_t value, int width) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*llX", width, static_cast<unsigned long long>(value));
    return buf;
}

// The cell's LAC/TAC and CI in the digits of parseRegistration: NR a TAC
// of 6 and a CI of 9, the others a LAC/TAC of 4 and a CI of 4 or 8.
void setCellFields(Registration& r, std::uint64_t area, std::uint64_t ci) {
    const bool nr = r.radio == Radio::Nr;
    r.lacValue = static_cast<std::uint32_t>(area);
    r.ciValue = ci;
    r.lac = hexDigits(area, nr ? 6 : 4);
    r.ci = hexDigits(ci, nr ? 9 : (ci <= 0xFFFF ? 4 : 8));
}

RegistrationKind kindOf(Radio radio) {
    switch (radio) {
        case Radio::Lte:
            return RegistrationKind::Eps;
        case Radio::Nr:
            return RegistrationKind::Fivegs;
        default:
            return RegistrationKind::Cs;
    }
}

std::optional<double> number(const MmDict& d, const char* key) {
    const auto it = d.find(key);
    if (it == d.end()) return std::nullopt;
    if (const auto* v = std::get_if<double>(&it->second))
        return std::isfinite(*v) ? *v : std::optional<double>();
    if (const auto* v = std::get_if<std::int64_t>(&it->second)) return static_cast<double>(*v);
    return std::nullopt;
}

std::string text(const MmDict& d, const char* key) {
    const auto it = d.find(key);
    if (it == d.end()) return {};
    if (const auto* v = std::get_if<std::string>(&it->second)) return *v;
    return {};
}

int clampLevel(double level) {
    return static_cast<int>(std::lround(std::clamp(level, 0.0, 31.0)));
}

SignalReading readingOf(int level, const std::string& source) {
    SignalReading r;
    r.rssi = level;
    r.gaugeValue = level;
    // The same percent the "+CSQ:" tooltip shows for this level.
    r.tooltip = "Pegel: " + std::to_string(3 * level + 7) + "%";
    if (!source.empty()) r.tooltip += " (" + source + ")";
    return r;
}

std::string dbmText(const char* name, double dbm) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s %.0f dBm", name, dbm);
    return buf;
}

// The gauge from one technology's dictionary.
std::optional<SignalReading> signalOf(const MmDict& d) {
    if (const auto rssi = number(d, "rssi"); rssi && *rssi < 0)
        return readingOf(clampLevel((*rssi + 113) / 2), dbmText("RSSI", *rssi));
    if (const auto rsrp = number(d, "rsrp"); rsrp && *rsrp < 0)
        return readingOf(clampLevel((*rsrp + 140) * 31 / 96), dbmText("RSRP", *rsrp));
    if (const auto rscp = number(d, "rscp"); rscp && *rscp < 0)
        return readingOf(clampLevel((*rscp + 120) * 31 / 95), dbmText("RSCP", *rscp));
    return std::nullopt;
}

}  // namespace

std::optional<MmLocation> parseMmLocation(std::string_view text) {
    const std::vector<std::string_view> f = splitCommas(text);
    if (f.size() != 4 && f.size() != 5) return std::nullopt;
    if (f[0].size() != 3 || !allDigits(f[0])) return std::nullopt;
    if ((f[1].size() != 2 && f[1].size() != 3) || !allDigits(f[1])) return std::nullopt;
    const auto lac = hexField(f[2], 4);
    const auto ci = hexField(f[3], 9);
    const auto tac = f.size() == 5 ? hexField(f[4], 6) : std::optional<std::uint64_t>(0);
    if (!lac || !ci || !tac || *ci == 0) return std::nullopt;
    MmLocation l;
    l.operatorCode = std::string(f[0]) + std::string(f[1]);
    l.lac = static_cast<std::uint32_t>(*lac);
    l.tac = static_cast<std::uint32_t>(*tac);
    l.ci = *ci;
    return l;
}

DeviceIdentity mmIdentity(const MmIdentityInput& in) {
    DeviceIdentity id;
    id.manufacturerStep = 4;
    id.identityStep = 3;
    id.manufacturer = in.manufacturer;
    id.model = in.model;
    id.infoCaption = in.manufacturer + kCaptionBreak + in.model;
    std::string tip;
    auto add = [&tip](const char* name, const std::string& value) {
        if (value.empty()) return;
        if (!tip.empty()) tip += ' ';
        tip += name + value;
    };
    add("SW:", in.revision);
    add("IMEI:", in.imei);
    add("IMSI:", in.imsi);
    add("SIM:", in.iccid);
    id.infoTooltip = tip.substr(0, kInfoTooltipLimit);
    id.homeNetwork = homeNetworkOfImsi(in.imsi);
    return id;
}

std::optional<Radio> radioOfAccessTechnologies(std::uint32_t mask) {
    if (mask == 0xFFFFFFFFu) return std::nullopt;  // MM_MODEM_ACCESS_TECHNOLOGY_ANY
    if (mask & kLteBits) return Radio::Lte;
    if (mask & kNrBit) return Radio::Nr;
    if (mask & kUmtsBits) return Radio::Umts;
    if (mask & kGsmBits) return Radio::Gsm;
    return std::nullopt;
}

bool mmRegistered(std::uint32_t s) {
    return s == 1 || s == 5 || s == 6 || s == 7 || s == 9 || s == 10;
}

Registration mmServingCell(const MmLocation& location, std::uint32_t registrationState,
                           std::uint32_t accessTechnologies) {
    Registration r;
    r.status = static_cast<int>(registrationState);
    r.state = registrationState <= 9 ? static_cast<char>('0' + registrationState) : 'X';
    r.registered = mmRegistered(registrationState);
    const std::optional<Radio> tech = radioOfAccessTechnologies(accessTechnologies);
    std::uint64_t area = 0;
    if (location.tac != 0) {
        const bool nr = (tech == Radio::Nr) || location.ci > 0xFFFFFFF;
        r.radio = nr ? Radio::Nr : Radio::Lte;
        area = location.tac;
    } else {
        const bool umts = (tech == Radio::Umts) || location.ci > 0xFFFF;
        r.radio = umts ? Radio::Umts : Radio::Gsm;
        area = location.lac;
    }
    r.kind = kindOf(r.radio);
    // Outside NR the CI has at most 8 hex digits and the LAC/TAC 4, as
    // parseRegistration takes them.
    if (r.radio != Radio::Nr && (location.ci > 0xFFFFFFFF || area > 0xFFFF)) return r;
    if (area == 0) return r;  // no area: no cell
    setCellFields(r, area, location.ci);
    return r;
}

SignalReading mmSignalQuality(std::uint32_t percent) {
    const double p = std::min<std::uint32_t>(percent, 100);
    // ModemManager derives the percent from <rssi> 0..31 as rssi * 100 / 31.
    SignalReading r = readingOf(clampLevel(p * 31 / 100), std::string());
    r.tooltip = "Pegel: " + std::to_string(static_cast<int>(p)) + "%";
    return r;
}

std::optional<SignalReading> mmSignal(const MmSignalDicts& dicts, Radio radio) {
    const MmDict* order[4] = {&dicts.lte, &dicts.nr, &dicts.umts, &dicts.gsm};
    const MmDict* first = radio == Radio::Gsm    ? &dicts.gsm
                          : radio == Radio::Umts ? &dicts.umts
                          : radio == Radio::Nr   ? &dicts.nr
                                                 : &dicts.lte;
    if (auto r = signalOf(*first)) return r;
    for (const MmDict* d : order)
        if (d != first)
            if (auto r = signalOf(*d)) return r;
    return std::nullopt;
}

std::vector<MmCellInfo> mmCellInfo(const std::vector<MmDict>& entries) {
    std::vector<MmCellInfo> cells;
    for (const MmDict& d : entries) {
        const auto type = number(d, "cell-type");
        if (!type) continue;
        MmCellInfo c;
        switch (static_cast<std::int64_t>(*type)) {
            case kCellGsm:
                c.radio = Radio::Gsm;
                break;
            case kCellUmts:
                c.radio = Radio::Umts;
                break;
            case kCellLte:
                c.radio = Radio::Lte;
                break;
            case kCellNr:
                c.radio = Radio::Nr;
                break;
            default:
                continue;
        }
        if (const auto it = d.find("serving"); it != d.end())
            if (const auto* b = std::get_if<bool>(&it->second)) c.serving = *b;
        c.operatorCode = text(d, "operator-id");
        if (c.operatorCode.size() < 5 || c.operatorCode.size() > 6 || !allDigits(c.operatorCode))
            c.operatorCode.clear();
        c.physicalCi = text(d, "physical-ci");
        c.cell.radio = c.radio;
        c.cell.kind = kindOf(c.radio);
        const bool lteOrNr = c.radio == Radio::Lte || c.radio == Radio::Nr;
        const bool nr = c.radio == Radio::Nr;
        const auto area = hexField(text(d, lteOrNr ? "tac" : "lac"), nr ? 6 : 4);
        const auto ci = hexField(text(d, "ci"), nr ? 9 : (c.radio == Radio::Gsm ? 4 : 7));
        if (area && ci && *area != 0 && *ci != 0) {
            setCellFields(c.cell, *area, *ci);
            if (!c.operatorCode.empty())
                c.cellKey = makeCellKey(c.cell.ci, c.cell.lac, c.operatorCode);
        }
        if (const auto ta = number(d, "timing-advance"); ta && *ta >= 0 && *ta <= 4095) {
            c.timingAdvance = static_cast<int>(*ta);
            if (c.radio == Radio::Gsm && *c.timingAdvance <= 63)
                c.distanceMetres = *c.timingAdvance * 546 + 273;
            else if (c.radio == Radio::Lte && *c.timingAdvance <= 1282)
                c.distanceMetres = *c.timingAdvance * 78 + 39;
        }
        if (c.radio == Radio::Gsm) {
            // RXLEV 0..63 stands for -110 dBm and up in steps of 1 dB.
            if (const auto rx = number(d, "rx-level"); rx && *rx >= 0 && *rx <= 63)
                c.signalDbm = *rx - 110;
        } else if (c.radio == Radio::Umts) {
            c.signalDbm = number(d, "rscp");
        } else {
            c.signalDbm = number(d, "rsrp");
        }
        cells.push_back(std::move(c));
    }
    std::stable_partition(cells.begin(), cells.end(),
                          [](const MmCellInfo& c) { return c.serving; });
    return cells;
}

std::string mmSmsTimeStamp(std::string_view iso) {
    // YYYY-MM-DDThh:mm:ss, then the zone (or nothing).
    if (iso.size() < 19 || iso[4] != '-' || iso[7] != '-' || iso[10] != 'T' || iso[13] != ':' ||
        iso[16] != ':')
        return {};
    for (const std::size_t at : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u, 11u, 12u, 14u, 15u, 17u, 18u})
        if (iso[at] < '0' || iso[at] > '9') return {};
    std::string out;
    out.append(iso.substr(8, 2)).append(".").append(iso.substr(5, 2)).append(".");
    out.append(iso.substr(2, 2)).append(" ").append(iso.substr(11, 8));
    return out;
}

std::string mmSmsText(std::string_view text) {
    if (text.empty() || text.front() != '\xA4') return std::string(text);
    // The GSM characters at the ASCII codes that differ, in Windows-1252.
    static constexpr std::pair<char, char> kBack[] = {
        {'\xA4', '$'}, {'\xA1', '@'}, {'\xC4', '['}, {'\xD6', '\\'}, {'\xD1', ']'}, {'\xDC', '^'},
        {'\xA7', '_'}, {'\xBF', '`'}, {'\xE4', '{'}, {'\xF6', '|'},  {'\xF1', '}'}, {'\xFC', '~'},
    };
    std::string ascii(text);
    for (char& c : ascii)
        for (const auto& [gsm, code] : kBack)
            if (c == gsm) {
                c = code;
                break;
            }
    return mapGsmUmlauts(ascii);
}

std::optional<MmOutgoingSms> mmOutgoingSms(std::string_view pdu) {
    auto octet = [&pdu](std::size_t at) -> int {
        if (at + 2 > pdu.size()) return -1;
        const int hi = hexValue(pdu[at]), lo = hexValue(pdu[at + 1]);
        return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
    };
    // SMSC length 0, SMS-SUBMIT without validity period, reference 0.
    if (octet(0) != 0 || octet(2) != 0x01 || octet(4) != 0) return std::nullopt;
    const int digits = octet(6);
    const int type = octet(8);
    if (digits < 0 || digits > 20 || (digits > 0 && type < 0)) return std::nullopt;
    MmOutgoingSms out;
    std::size_t at = 8;
    if (digits > 0) {
        const std::size_t semiOctets = static_cast<std::size_t>((digits + 1) / 2 * 2);
        if (at + 2 + semiOctets > pdu.size()) return std::nullopt;
        if (type == 0x91) out.number = "+";
        for (std::size_t i = 0; i < semiOctets; i += 2) {
            out.number += pdu[at + 2 + i + 1];
            out.number += pdu[at + 2 + i];
        }
        if (digits % 2) out.number.pop_back();  // the "F" filler
        at += 2 + semiOctets;
    }
    // Protocol identifier, 7-bit data coding, the length in characters.
    if (octet(at) < 0 || octet(at + 2) != 0xF0) return std::nullopt;
    const int length = octet(at + 4);
    if (length < 0 || length > 160) return std::nullopt;
    std::string text = decodeSeptets(pdu.substr(at + 6));
    if (static_cast<int>(text.size()) < length) return std::nullopt;
    text.resize(static_cast<std::size_t>(length));
    out.text = mapGsmUmlauts(text);
    return out;
}

}  // namespace funkor
