// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_common.h"

#include <cctype>

#include "core/fields.h"

namespace funkor::at {

std::optional<std::int32_t> leadingNumber(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i >= text.size() || !isDigit(text[i])) return std::nullopt;
    return fields::valInt(text.substr(i));
}

bool isHex(std::string_view text, std::size_t count) {
    if (text.size() != count) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

std::string signedText(long value) {
    return value < 0 ? std::to_string(value) : " " + std::to_string(value);
}

}  // namespace funkor::at
