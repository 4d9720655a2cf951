// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_sms.h"

#include "core/at_common.h"
#include "core/fields.h"

namespace funkor {

using at::charAt;
using fields::instr;
using fields::mid;

namespace {

// The text after the last comma: the length field, which is the last field
// whether the alpha field is empty ("3,1,,23") or not ("3,1,\"Anna\",23").
std::string lastField(std::string_view line) {
    const auto comma = line.rfind(',');
    return comma == std::string_view::npos ? std::string() : std::string(line.substr(comma + 1));
}

bool allDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!at::isDigit(c)) return false;
    return true;
}

}  // namespace

std::optional<int> smsCacheSlot(std::string_view index) {
    const std::string t = fields::trim(index);
    if (!allDigits(t) || t.size() > 3) return std::nullopt;
    const int v = fields::valInt(t);
    if (v > kSmsCacheLast) return std::nullopt;
    return v;
}

std::optional<SmsListHeader> parseCmglHeader(std::string_view line) {
    const long comma = instr(line, ",");
    if (!comma) return std::nullopt;
    const auto slot = smsCacheSlot(mid(line, 8, comma - 8));
    const std::string length = fields::trim(lastField(line));
    if (!slot || !allDigits(length)) return std::nullopt;
    return SmsListHeader{*slot, length};
}

std::optional<int> parseCmgrLength(std::string_view line) {
    if (!instr(line, ",")) return std::nullopt;
    const auto length = at::leadingNumber(lastField(line));
    if (!length || *length > 32767) return std::nullopt;  // kept in a 16-bit variable
    return length;
}

std::optional<NewMessageNotice> parseCmti(std::string_view line) {
    if (charAt(line, 8) != '"' || charAt(line, 11) != '"' || charAt(line, 12) != ',')
        return std::nullopt;
    // Any storage index is read; only 0..50 have a cache slot.
    const std::string index = fields::trim(mid(line, 13));
    if (!allDigits(index) || index.size() > 3) return std::nullopt;
    return NewMessageNotice{mid(line, 8, 4), index};
}

std::string smsCacheEntry(std::string_view length, std::string_view pdu) {
    return std::string(length) + ":" + std::string(pdu);
}

}  // namespace funkor
