// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_phonebook.h"

#include "core/at_common.h"
#include "core/fields.h"

namespace funkor {

using at::charAt;
using fields::instr;
using fields::mid;

std::optional<PhoneBookStatus> parseCpbs(std::string_view line) {
    const long p = instr(13, line, ",");
    if (!p) return std::nullopt;
    const auto used = at::leadingNumber(mid(line, 13, p - 13));
    const auto total = at::leadingNumber(mid(line, p + 1));
    if (!used || !total) return std::nullopt;
    return PhoneBookStatus{*used, *total};
}

std::optional<PhoneBookEntry> parseCpbr(std::string_view line) {
    const long p = instr(8, line, ",");
    if (!p) return std::nullopt;
    const long q = instr(p + 1, line, ",");
    if (!q) return std::nullopt;
    const long r = instr(q + 1, line, ",");
    if (!r) return std::nullopt;
    const long last = static_cast<long>(line.size());
    // Both fields must be whole quoted texts: "<number>" before q, "<name>" to the end.
    if (charAt(line, p + 1) != '"' || charAt(line, q - 1) != '"' || q - 1 <= p + 1 ||
        charAt(line, r + 1) != '"' || charAt(line, last) != '"' || last <= r + 1)
        return std::nullopt;
    PhoneBookEntry e;
    e.stored = mid(line, p + 1);
    e.number = mid(line, p + 2, q - p - 3);
    e.name = mid(line, r + 2, last - r - 2);
    e.display = e.name + " : " + e.number;
    return e;
}

std::string unescapeGsmText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 2 < text.size() && at::isHex(text.substr(i + 1, 2), 2)) {
            const int code = fields::hexValue(text.substr(i + 1, 2));
            out += code == 0 ? '@' : static_cast<char>(code);
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ownNumberTooltip(std::string_view display, std::string_view homeNetwork) {
    return std::string(display) + " (" + std::string(homeNetwork) + ")";
}

}  // namespace funkor
