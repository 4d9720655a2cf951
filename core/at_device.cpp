// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_device.h"

#include "core/at_common.h"
#include "core/at_network.h"
#include "core/fields.h"

namespace funkor {

using at::charAt;
using at::leadingNumber;
using at::startsWith;
using fields::instr;
using fields::left;
using fields::mid;

std::optional<BatteryReading> parseCbc(std::string_view line) {
    const char status = charAt(line, 7);
    if (!at::isDigit(status)) return std::nullopt;
    BatteryReading r;
    r.onBattery = status == '0';
    // The charge follows the comma at position 8. Values above 100 (255 means
    // "unknown" on some phones) and negative ones would not fit the gauge.
    const auto charge = leadingNumber(mid(line, 9));
    if (charge && *charge >= 0 && *charge <= 100) {
        r.charge = *charge;
        r.tooltip = "Batterie:" + at::signedText(*charge) + "%";
    }
    return r;
}

std::optional<int> baudOptionFromSettings(std::string_view settings) {
    if (startsWith(settings, "19")) return 0;
    if (startsWith(settings, "57")) return 1;
    if (startsWith(settings, "11")) return 2;
    return std::nullopt;
}

std::optional<SignalReading> parseCsq(std::string_view line) {
    // A two-digit level puts the comma at position 9, a one-digit one at 8.
    const long width = instr(line, ",") == 9 ? 2 : 1;
    const std::string field = mid(line, 7, width);
    if (field.empty() || !at::isDigit(field[0])) return std::nullopt;
    SignalReading r;
    r.rssi = fields::valInt(field);
    r.gaugeValue = r.rssi < 32 ? r.rssi : 0;
    // 99 is "not known or not detectable"; no level above 31 exists, and
    // turning one into a percentage would show "Pegel: 304%".
    r.tooltip = r.rssi < 32 ? "Pegel:" + at::signedText(3L * r.rssi + 7) + "%" : "Pegel: unbekannt";
    return r;
}

std::optional<bool> parseCpasReady(std::string_view line) {
    if (line.size() <= 6 || !at::isDigit(line.back())) return std::nullopt;
    return line.back() == '0';
}

namespace {

bool digitsOnly(std::string_view line, std::size_t least, std::size_t most) {
    if (line.size() < least || line.size() > most) return false;
    for (char c : line)
        if (!at::isDigit(c)) return false;
    return true;
}

// Result codes and the ring: never part of an identity answer, though they
// hold no "+".
bool isResultWord(std::string_view line) {
    for (std::string_view w :
         {"RING", "OK", "ERROR", "NO CARRIER", "BUSY", "NO ANSWER", "NO DIALTONE", "CONNECT"})
        if (line == w) return true;
    return false;
}

}  // namespace

bool takeIdentityLine(DeviceIdentity& id, std::string_view line) {
    if (line.find('+') != std::string_view::npos || isResultWord(line)) return false;
    bool taken = false;
    // The serial number and the subscriber identity are known by their
    // shape: an IMEI has 14 to 17 digits (with check digit or software
    // version), an IMSI 6 to 15. A slow device's maker lines may still be
    // coming when they are asked for, and a line of another shape is no IMEI.
    const bool imei = id.identityStep == 1 && digitsOnly(line, 14, 17);
    const bool imsi = id.identityStep == 2 && digitsOnly(line, 6, 15);
    if (imei || imsi) {
        if (imsi) {
            id.infoTooltip += " IMSI:" + std::string(line);
            id.homeNetwork = homeNetworkOfImsi(line);
            id.identityStep = 3;
        } else {
            id.infoTooltip += " IMEI:" + std::string(line);
            id.identityStep = 2;
        }
        return true;
    }
    // Checked from the last answer back to the first, so that one line
    // advances each counter by one step at most.
    if (id.manufacturerStep == 3) {
        const long comma = instr(line, ",");
        id.infoTooltip = "SW:" + (comma ? left(line, comma - 1) : std::string(line));
        id.manufacturerStep = 4;
        taken = true;
    }
    if (id.manufacturerStep == 2) {
        id.infoCaption += line;
        id.model = line;
        id.manufacturerStep = 3;
        taken = true;
    }
    if (id.manufacturerStep == 1) {
        id.infoCaption = std::string(line) + kCaptionBreak;
        id.manufacturer = line;
        id.manufacturerStep = 2;
        taken = true;
    }
    return taken;
}

bool takeScid(DeviceIdentity& id, std::string_view line) {
    const std::string number = mid(line, 8);
    if (fields::trim(number).empty()) return false;
    // The program asks once per run; a device that keeps sending the line
    // unasked cannot make the tooltip grow without bound.
    if (id.infoTooltip.size() + 5 + number.size() > kInfoTooltipLimit) return false;
    id.infoTooltip += " SIM:" + number;
    return true;
}

std::optional<std::string> parseIccid(std::string_view line) {
    std::string_view rest = line;
    for (const std::string_view prefix : {"+CCID:", "+ICCID:"}) {
        if (startsWith(line, prefix)) rest = line.substr(prefix.size());
    }
    std::string number = fields::trim(rest);
    if (number.size() >= 2 && number.front() == '"' && number.back() == '"')
        number = number.substr(1, number.size() - 2);
    if (number.size() < 18 || number.size() > 22) return std::nullopt;
    for (std::size_t i = 0; i < number.size(); ++i) {
        const char c = number[i];
        const bool filler = i + 1 == number.size() && (c == 'F' || c == 'f');
        if (!(c >= '0' && c <= '9') && !filler) return std::nullopt;
    }
    return number;
}

StarCodeAnswer starCodeAnswer(std::string_view line) {
    if (startsWith(line, "AT") || startsWith(line, "+") || line.size() >= 60) return {};
    if (line == "OK") return {StarCodeAnswer::Done, {}};
    return {StarCodeAnswer::Text, std::string(line) + " "};
}

std::optional<std::string> ussdQuotedText(std::string_view line) {
    if (!startsWith(line, "\"")) return std::nullopt;
    const long close = instr(2, line, "\"");
    return close ? mid(line, 2, close - 2) : mid(line, 2);
}

std::optional<CallerId> parseClip(std::string_view line) {
    long a = instr(line, "\"") + 1;
    long b;
    if (a > 1) {
        b = instr(a, line, "\"");
    } else {
        a = instr(line, " ") + 1;
        if (a == 1) return std::nullopt;
        b = instr(a, line, ",");
    }
    // Without a closing quote or comma the number runs to the end of the line.
    if (b == 0) b = static_cast<long>(line.size()) + 1;
    return CallerId{mid(line, a, b - a)};
}

std::string ringCaption(std::string_view timeOfDay) {
    return left(timeOfDay, 5) + "  Anruf !";
}

std::string callerCaption(std::string_view timeOfDay, std::string_view number,
                          std::string_view callerName) {
    std::string caption = left(timeOfDay, 5) + "  " + std::string(number);
    if (!number.empty() && !callerName.empty()) caption += kCaptionBreak + std::string(callerName);
    return caption;
}

std::optional<std::string> simStateOf(std::string_view line) {
    struct Problem {
        std::string_view code, verbose, pin, text;
    };
    static constexpr Problem kProblems[] = {
        {"10", "SIM not inserted", "", "keine SIM-Karte"},
        {"11", "SIM PIN required", "SIM PIN", "SIM-PIN erforderlich"},
        {"12", "SIM PUK required", "SIM PUK", "SIM-PUK erforderlich"},
        {"13", "SIM failure", "", "SIM-Karte defekt"},
        {"15", "SIM wrong", "", "falsche SIM-Karte"},
    };
    if (startsWith(line, "+CPIN:")) {
        const std::string state = fields::trim(mid(line, 7));
        if (state == "READY") return std::string();
        for (const Problem& p : kProblems)
            if (!p.pin.empty() && state == p.pin) return std::string(p.text);
        return std::nullopt;
    }
    if (!startsWith(line, "+CME ERROR:")) return std::nullopt;
    const std::string reason = fields::trim(mid(line, 12));
    for (const Problem& p : kProblems)
        if (reason == p.code || reason == p.verbose) return std::string(p.text);
    return std::nullopt;
}

}  // namespace funkor
