#include "core/at_network.h"

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

std::optional<Registration> parseCreg(std::string_view line) {
    if (!startsWith(line, "+CREG:")) return std::nullopt;
    // The answer to "AT+CREG?" carries the mode first ("+CREG: 2,1,..." or
    // "+CREG: 0,1"); the unsolicited report starts with the state. The
    // unsolicited form gets a placeholder mode so that the state always
    // stands at position 10.
    const bool solicited = charAt(line, 9) == ',' && at::isDigit(charAt(line, 10)) &&
                           (charAt(line, 11) == ',' || line.size() == 10);
    const std::string norm = solicited ? std::string(line) : left(line, 7) + "*," + mid(line, 8);
    Registration r;
    r.state = charAt(norm, 10);
    if (!at::isDigit(r.state)) return std::nullopt;
    r.registered = r.state == '1' || r.state == '5';
    const std::string lac = mid(norm, 13, 4);
    const std::string ci = mid(norm, 20, 4);
    if (charAt(norm, 12) == '"' && charAt(norm, 17) == '"' && charAt(norm, 19) == '"' &&
        charAt(norm, 24) == '"' && at::isHex(lac, 4) && at::isHex(ci, 4)) {
        r.lac = lac;
        r.ci = ci;
    }
    return r;
}

std::string makeCellKey(std::string_view ci, std::string_view lac, std::string_view operatorCode) {
    return std::string(ci) + std::string(lac) + std::string(operatorCode);
}

Sector sectorOf(std::string_view cellKey) {
    const int c = hexValue(left(cellKey, 4));
    if (c < 20000) return {"A", c};
    if (c < 40000) return {"B", c - 20000};
    return {"C", c - 40000};
}

namespace {
std::string lacDecimal(std::string_view cellKey) {
    return std::to_string(hexValue(mid(cellKey, 5, 4)));
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
    const Sector s = sectorOf(cellKey);
    return "CC=" + left(operatorCode, 3) + " NC=" + right(operatorCode, 2) +
           " LAC=" + mid(cellKey, 5, 4) + " CI=" + left(cellKey, 4) + " LA=" + areaText(cellKey) +
           " BS=" + std::to_string(s.baseStation) + " SK=" + s.letter;
}

std::optional<std::string> parseCopsNumeric(std::string_view line) {
    const std::string code = mid(line, 13, 5);
    if (charAt(line, 12) != '"' || code.size() != 5) return std::nullopt;
    for (char c : code)
        if (!at::isDigit(c)) return std::nullopt;
    return code;
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
        s.caption = " " + mid(e, 9);
        s.tooltip = left(e, 5);
        switch (charAt(e, 7)) {
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
