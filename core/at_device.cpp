// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_device.h"

#include "core/at_common.h"
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
    r.tooltip = "Pegel:" + at::signedText(3L * r.rssi + 7) + "%";
    return r;
}

std::optional<bool> parseCpasReady(std::string_view line) {
    if (line.size() <= 6 || !at::isDigit(line.back())) return std::nullopt;
    return line.back() == '0';
}

bool takeIdentityLine(DeviceIdentity& id, std::string_view line) {
    if (line.find('+') != std::string_view::npos) return false;
    bool taken = false;
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
    if (id.identityStep == 2) {
        id.infoTooltip += " IMSI:" + std::string(line);
        id.homeNetwork = left(line, 5);
        id.identityStep = 3;
        taken = true;
    }
    if (id.identityStep == 1) {
        id.infoTooltip += " IMEI:" + std::string(line);
        id.identityStep = 2;
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

}  // namespace funkor
