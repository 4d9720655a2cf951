// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_network.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

#include "core/at_common.h"
#include "core/fields.h"
#include "core/operators.h"

namespace funkor {

using at::charAt;
using at::startsWith;
using fields::hexValue;
using fields::instr;
using fields::left;
using fields::mid;
using fields::right;

namespace {

// The field of `length` hex digits at `pos`, when it is complete and clean.
std::optional<std::int32_t> hexField(std::string_view line, long pos, long length) {
    const std::string text = mid(line, pos, length);
    if (!at::isHex(text, static_cast<std::size_t>(length))) return std::nullopt;
    return hexValue(text);
}

// A zone record whose easting starts at `pos`; the name's four bytes start
// 26 positions (13 bytes) later.
std::optional<ZoneArea> zoneAt(std::string_view line, long pos) {
    const auto first = hexField(line, pos, 8);
    const auto second = hexField(line, pos + 8, 8);
    const auto squared = hexField(line, pos + 16, 8);
    if (!first || !second || !squared) return std::nullopt;
    // The SIM holds the squared radius; a value with the top bit set has no
    // square root, so the zone is left out rather than given a bogus radius.
    if (*squared < 0) return std::nullopt;
    ZoneArea zone;
    zone.first = *first;
    zone.second = *second;
    zone.radius = 10 * std::sqrt(static_cast<double>(*squared));
    for (long p = pos + 26; p <= pos + 32; p += 2) {
        const auto code = hexField(line, p, 2);
        if (!code) return std::nullopt;
        zone.name += static_cast<char>(*code);
    }
    return zone;
}

// A decimal text of a radius: whole metres without decimals, others with up
// to 15 significant digits.
std::string radiusText(double r) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.15g", r);
    return buf;
}

}  // namespace

SimZoneFile parseCrsmZones(std::string_view line) {
    SimZoneFile f;
    // The data starts right after "+CRSM: 144,0," at position 14.
    // A quoted data field (as some phones send it) would shift every position.
    if (!startsWith(line, "+CRSM:") || charAt(line, 13) != ',' ||
        !std::isxdigit(static_cast<unsigned char>(charAt(line, 14))))
        return f;
    f.home = zoneAt(line, 50);
    f.city = zoneAt(line, 206);
    if (f.home) {
        f.homeKey = std::to_string(static_cast<std::int32_t>(f.home->first)) +
                    std::to_string(static_cast<std::int32_t>(f.home->second));
        f.distanceTooltip = "Entfernung Home (r=" + radiusText(f.home->radius) + "m)";
    }
    return f;
}

std::optional<TimingAdvance> parseSstk(std::string_view line) {
    if (line.size() <= 6) return std::nullopt;
    // The answer is the terminal response in hex; its last octet is the
    // advance, so "0A" is 10 and "3F" is 63. A single digit after a blank
    // reads the same either way.
    const std::string octet = fields::trim(right(line, 2));
    if (octet.empty() || !at::isHex(octet, octet.size())) return std::nullopt;
    const int v = hexValue(octet);
    return TimingAdvance{v, v * 546 + 273};
}

std::string timingAdvanceCaption(int distanceMetres, std::string_view operatorCode,
                                 std::string_view sectorLetter, char decimalSeparator) {
    const long tenths = std::lround(distanceMetres / 100.0);
    const long whole = tenths / 10;
    const long frac = std::labs(tenths % 10);
    std::string caption = "~" + std::string(tenths < 0 && whole == 0 ? "-" : "") +
                          std::to_string(whole) + decimalSeparator + std::to_string(frac) + " km";
    if (operatorCode == kO2Germany) {
        if (sectorLetter == "A") caption += " N";
        if (sectorLetter == "B") caption += " S/O";
        if (sectorLetter == "C") caption += " S/W";
    }
    return caption;
}

namespace {

// One field of a registration answer: blanks around it and its quotes
// taken off.
struct RegField {
    std::string text;
    bool quoted = false;
};

RegField regField(std::string_view raw) {
    RegField field;
    field.text = fields::trim(raw);
    const std::size_t quotes =
        static_cast<std::size_t>(std::count(field.text.begin(), field.text.end(), '"'));
    if (quotes == 0) return field;
    // Quotes enclose the whole field or the field is garbled.
    if (quotes != 2 || field.text.front() != '"' || field.text.back() != '"') {
        field.text = "?";
        return field;
    }
    field.quoted = true;
    field.text = fields::trim(field.text.substr(1, field.text.size() - 2));
    return field;
}

std::vector<RegField> regFields(std::string_view body) {
    std::vector<RegField> out;
    bool inQuotes = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '"') inQuotes = !inQuotes;
        if (body[i] == ',' && !inQuotes) {
            out.push_back(regField(body.substr(start, i - start)));
            start = i + 1;
        }
    }
    out.push_back(regField(body.substr(start)));
    return out;
}

std::optional<int> decimalField(const std::string& text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) return std::nullopt;
    int v = 0;
    for (const char c : text) {
        if (!at::isDigit(c)) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

// A hex field of up to `maxDigits` significant digits (leading zeros are
// not counted), as its value.
std::optional<std::uint64_t> hexNumber(const std::string& text, std::size_t maxDigits) {
    if (text.empty()) return std::nullopt;
    std::uint64_t v = 0;
    std::size_t significant = 0;
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
        if (significant > 0 || c != '0') ++significant;
        if (significant > maxDigits) return std::nullopt;
        v = v * 16 + static_cast<std::uint64_t>(std::isdigit(static_cast<unsigned char>(c))
                                                    ? c - '0'
                                                    : std::toupper(c) - 'A' + 10);
    }
    return v;
}

std::string hexDigits(std::uint64_t value, int width) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%0*llX", width, static_cast<unsigned long long>(value));
    return buf;
}

Radio radioOf(std::optional<int> act, RegistrationKind kind) {
    if (act) {
        switch (*act) {
            case 0:  // GSM
            case 1:  // GSM Compact
            case 3:  // GSM with EGPRS
            case 8:  // EC-GSM-IoT
                return Radio::Gsm;
            case 2:  // UTRAN
            case 4:  // UTRAN with HSDPA
            case 5:  // UTRAN with HSUPA
            case 6:  // UTRAN with HSDPA and HSUPA
                return Radio::Umts;
            case 7:   // E-UTRAN
            case 9:   // E-UTRAN NB-S1
            case 10:  // E-UTRA connected to a 5G core
            case 13:  // E-UTRA-NR dual connectivity: the LTE cell is the anchor
                return Radio::Lte;
            case 11:  // NR connected to a 5G core
            case 12:  // NG-RAN
                return Radio::Nr;
            default:
                break;
        }
    }
    if (kind == RegistrationKind::Fivegs) return Radio::Nr;
    return kind == RegistrationKind::Eps ? Radio::Lte : Radio::Gsm;
}

std::optional<Registration> parseRegistrationOf(std::string_view line, std::string_view prefix,
                                                RegistrationKind kind) {
    if (!startsWith(line, prefix)) return std::nullopt;
    const std::vector<RegField> f = regFields(line.substr(prefix.size()));
    // The answer to the read command carries the mode first ("+CREG: 2,1,..."
    // or "+CREG: 0,1"); the unsolicited report starts with the state. A
    // second field that is a plain small number is the state, so the first
    // is the mode; a quoted or longer one is the LAC of an unsolicited report.
    const bool solicited =
        f.size() >= 2 && !f[1].quoted && decimalField(f[1].text, 3).value_or(99) <= 11;
    const std::size_t s = solicited ? 1 : 0;
    if (f[s].quoted) return std::nullopt;
    const auto status = decimalField(f[s].text, 3);
    if (!status) return std::nullopt;

    Registration r;
    r.kind = kind;
    r.status = *status;
    r.state = *status <= 9 ? static_cast<char>('0' + *status) : 'X';
    r.registered = *status == 1 || *status == 5 || *status == 6 || *status == 7 || *status == 9 ||
                   *status == 10;

    std::size_t lacAt = s + 1, ciAt = s + 2, actAt = s + 3;
    // Novatel E362 puts one more field between the TAC and the CI:
    // "+CEREG: 2,1, 1F00, 20 ,79D903 ,7". No standard form of +CEREG has
    // four fields after the state.
    if (kind == RegistrationKind::Eps && f.size() - s - 1 == 4) {
        ciAt = s + 3;
        actAt = s + 4;
    }
    if (actAt < f.size()) r.accessTechnology = decimalField(f[actAt].text, 3);
    r.radio = radioOf(r.accessTechnology, kind);
    if (ciAt < f.size()) {
        const bool nr = r.radio == Radio::Nr;
        const auto lac = hexNumber(f[lacAt].text, nr ? 6 : 4);
        const auto ci = hexNumber(f[ciAt].text, nr ? 9 : 8);
        if (lac && ci) {
            r.lacValue = static_cast<std::uint32_t>(*lac);
            r.ciValue = *ci;
            r.lac = hexDigits(*lac, nr ? 6 : 4);
            r.ci = hexDigits(*ci, nr ? 9 : (*ci <= 0xFFFF ? 4 : 8));
        }
    }
    return r;
}

}  // namespace

const char* radioName(Radio radio) {
    switch (radio) {
        case Radio::Umts:
            return "UMTS";
        case Radio::Lte:
            return "LTE";
        case Radio::Nr:
            return "NR";
        default:
            return "GSM";
    }
}

std::optional<Registration> parseCreg(std::string_view line) {
    return parseRegistrationOf(line, "+CREG:", RegistrationKind::Cs);
}

std::optional<Registration> parseCgreg(std::string_view line) {
    return parseRegistrationOf(line, "+CGREG:", RegistrationKind::Ps);
}

std::optional<Registration> parseCereg(std::string_view line) {
    return parseRegistrationOf(line, "+CEREG:", RegistrationKind::Eps);
}

std::optional<Registration> parseC5greg(std::string_view line) {
    return parseRegistrationOf(line, "+C5GREG:", RegistrationKind::Fivegs);
}

std::optional<Registration> parseRegistration(std::string_view line) {
    if (auto r = parseCreg(line)) return r;
    if (auto r = parseCgreg(line)) return r;
    if (auto r = parseCereg(line)) return r;
    return parseC5greg(line);
}

std::string makeCellKey(std::string_view ci, std::string_view lac, std::string_view operatorCode) {
    return std::string(ci) + std::string(lac) + std::string(operatorCode);
}

std::optional<CellKeyParts> splitCellKey(std::string_view cellKey) {
    // Lengths of CI, LAC and operator code for each key length.
    struct Layout {
        std::size_t key, ci, lac;
    };
    static constexpr Layout kLayouts[] = {{13, 4, 4}, {14, 4, 4}, {17, 8, 4},
                                          {18, 8, 4}, {20, 9, 6}, {21, 9, 6}};
    for (const Layout& l : kLayouts) {
        if (cellKey.size() != l.key) continue;
        return CellKeyParts{std::string(cellKey.substr(0, l.ci)),
                            std::string(cellKey.substr(l.ci, l.lac)),
                            std::string(cellKey.substr(l.ci + l.lac))};
    }
    return std::nullopt;
}

bool isLongCellKey(std::string_view cellKey) {
    const auto parts = splitCellKey(cellKey);
    return parts && parts->ci.size() > 4;
}

Sector sectorOf(std::string_view cellKey) {
    if (cellKey.size() != kCellKeyLength && cellKey.size() != kCellKeyLength + 1) return {};
    const int c = hexValue(left(cellKey, 4));
    if (c < 20000) return {"A", c};
    if (c < 40000) return {"B", c - 20000};
    return {"C", c - 40000};
}

namespace {
std::string lacOf(std::string_view cellKey) {
    const auto parts = splitCellKey(cellKey);
    return parts ? parts->lac : mid(cellKey, 5, 4);
}

std::string ciOf(std::string_view cellKey) {
    const auto parts = splitCellKey(cellKey);
    return parts ? parts->ci : left(cellKey, 4);
}

std::string lacDecimal(std::string_view cellKey) {
    return std::to_string(hexValue(lacOf(cellKey)));
}
}  // namespace

std::string regionText(std::string_view cellKey) {
    const std::string t = lacDecimal(cellKey);
    std::string text = "Region: ";
    switch (t[0]) {
        case '1':
            text += "N";
            break;
        case '2':
            text += "O";
            break;
        case '3':
            text += "W";
            break;
        case '4':
            text += "M";
            break;
        case '5':
            text += "S";
            break;
        default:
            break;
    }
    const std::string head = left(t, 3);
    if (head == "508") text += "-BYN";
    if (head == "509") text += "-BW";
    if (head == "510") text += "-BYS";
    return text;
}

std::string areaText(std::string_view cellKey) {
    const std::string t = lacDecimal(cellKey);
    return left(t, 3) + "-" + right(t, 2);
}

std::string networkTooltip(std::string_view cellKey, std::string_view operatorCode) {
    const std::string common = "CC=" + left(operatorCode, 3) + " NC=" + mid(operatorCode, 4) +
                               " LAC=" + lacOf(cellKey) + " CI=" + ciOf(cellKey) +
                               " LA=" + areaText(cellKey);
    if (isLongCellKey(cellKey)) return common;
    const Sector s = sectorOf(cellKey);
    return common + " BS=" + std::to_string(s.baseStation) + " SK=" + s.letter;
}

std::optional<std::string> parseCopsNumeric(std::string_view line) {
    if (charAt(line, 12) != '"') return std::nullopt;
    const long close = instr(13, line, "\"");
    if (!close) return std::nullopt;
    const std::string code = mid(line, 13, close - 13);
    if (code.size() != 5 && code.size() != 6) return std::nullopt;
    for (char c : code)
        if (!at::isDigit(c)) return std::nullopt;
    return code;
}

int mncDigits(int mcc) {
    // Countries whose operators all have three-digit MNCs; India's 405
    // counts them so for the networks that need them (405854).
    static constexpr int kThreeDigits[] = {302, 310, 311, 312, 313, 314, 315, 316, 334,
                                           338, 342, 344, 346, 348, 354, 356, 358, 360,
                                           365, 366, 376, 405, 708, 722, 732, 750};
    for (int m : kThreeDigits)
        if (m == mcc) return 3;
    return 2;
}

std::string homeNetworkOfImsi(std::string_view imsi) {
    if (imsi.size() < 6 || imsi.size() > 15) return {};
    for (char c : imsi)
        if (!at::isDigit(c)) return {};
    const int mcc = (imsi[0] - '0') * 100 + (imsi[1] - '0') * 10 + (imsi[2] - '0');
    return std::string(imsi.substr(0, static_cast<std::size_t>(3 + mncDigits(mcc))));
}

bool isRoaming(std::string_view homeNetwork, std::string_view operatorCode,
               std::string_view networkCaption) {
    return homeNetwork != operatorCode && !networkCaption.empty() && !operatorCode.empty();
}

std::optional<std::string> parseCopsName(std::string_view line) {
    const long open = instr(line, "\"");
    if (!open) return std::nullopt;
    const long close = instr(open + 1, line, "\"");
    if (!close) return std::nullopt;
    return mid(line, open + 1, close - open - 1);
}

std::vector<std::string> parseCopsList(std::string_view line) {
    std::vector<std::string> entries;
    long from = 1;
    for (;;) {
        // Without a further "(" the scan ends (the list may be cut short).
        const long p = instr(from, line, "(");
        if (!p) break;
        const long q1 = instr(p, line, "\"");
        if (!q1) break;
        const long q2 = instr(q1 + 1, line, "\"");
        if (!q2) break;
        const char state = charAt(line, p + 1);
        const std::string longName = mid(line, q1 + 1, q2 - q1 - 1);
        // The numeric code is the last quoted field before the entry's ")":
        // Siemens phones leave the short name empty, others quote it.
        const long close = instr(q2 + 1, line, ")");
        const long limit = close ? close : static_cast<long>(line.size()) + 1;
        std::optional<std::string> code;
        for (long c1 = instr(q2 + 1, line, "\""); c1 && c1 < limit;) {
            const long c2 = instr(c1 + 1, line, "\"");
            if (!c2 || c2 > limit) break;
            code = mid(line, c1 + 1, c2 - c1 - 1);
            c1 = instr(c2 + 1, line, "\"");
        }
        if (!code) break;
        entries.push_back(*code + " " + state + " " + longName);
        from = close ? close + 1 : q2 + 1;
    }
    return entries;
}

std::array<OperatorSlot, kOperatorSlots> operatorSlots(const std::vector<std::string>& entries,
                                                       const CountryTable& countries) {
    std::array<OperatorSlot, kOperatorSlots> slots{};
    for (std::size_t i = 0; i < slots.size() && i < entries.size(); ++i) {
        const std::string& e = entries[i];
        OperatorSlot& s = slots[i];
        s.visible = true;
        // "<numeric> <stat> <long name>", the numeric code of 5 or 6 digits.
        const long blank = instr(e, " ");
        const long codeLength = blank ? blank - 1 : 5;
        s.caption = " " + mid(e, codeLength + 4);
        s.tooltip = left(e, codeLength);
        switch (charAt(e, codeLength + 2)) {
            case '1':
                s.state = OperatorState::Available;
                break;
            case '2':
                s.state = OperatorState::Current;
                break;
            case '3':
                s.state = OperatorState::Forbidden;
                break;
            default:
                s.state = OperatorState::Other;
                break;
        }
        // Country codes outside the table find no country.
        const std::int32_t cc = fields::valInt(left(e, 3));
        const std::string country =
            cc >= 0 && static_cast<std::size_t>(cc) < countries.size() ? countries[cc] : "";
        s.countryCaption = mid(country, 8);
        s.countryTooltip = fields::trim(mid(country, 5, 3));
    }
    return slots;
}

std::uint32_t operatorStateColour(OperatorState state) {
    switch (state) {
        case OperatorState::Current:
            return 0x00FF00;
        case OperatorState::Forbidden:
            return 0xFF0000;
        case OperatorState::Available:
            return 0xFFFF00;
        default:
            return 0x808080;
    }
}

}  // namespace funkor
