// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A small checker of the XML documents the program writes (GPX, KML): well
// formed, UTF-8, only characters XML 1.0 allows, every "&" an entity, tags
// nested and closed, one root element. Enough to catch a text that escapes
// its element, without a parser library.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace funkor::fuzz {

// Length of the UTF-8 sequence at s[i] that encodes an XML character, or
// 0 when there is none.
inline std::size_t xmlCharAt(std::string_view s, std::size_t i) {
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
    const unsigned char c = b(0);
    if (c < 0x80) return (c >= 0x20 || c == '\n' || c == '\r' || c == '\t') && c != 0x7F ? 1 : 0;
    std::size_t n = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        n = 2;
        cp = c & 0x1Fu;
    } else if ((c & 0xF0) == 0xE0) {
        n = 3;
        cp = c & 0x0Fu;
    } else if ((c & 0xF8) == 0xF0) {
        n = 4;
        cp = c & 0x07u;
    } else {
        return 0;
    }
    if (i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (b(k) & 0x3Fu);
    }
    const char32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE ||
        cp == 0xFFFF)
        return 0;
    return n;
}

inline bool xmlName(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ':' ||
           c == '_' || c == '-' || c == '.';
}

// Character data or an attribute value up to (not including) `stop`: "<"
// never, "&" only as one of the five entities.
inline bool xmlText(std::string_view s, std::size_t& i, char stop) {
    while (i < s.size() && s[i] != stop) {
        if (s[i] == '<') return false;
        if (s[i] == '&') {
            bool entity = false;
            for (std::string_view e : {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"}) {
                if (s.substr(i, e.size()) == e) {
                    i += e.size();
                    entity = true;
                    break;
                }
            }
            if (!entity) return false;
            continue;
        }
        const std::size_t n = xmlCharAt(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

inline bool wellFormedXml(std::string_view s) {
    constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    if (s.substr(0, kDeclaration.size()) != kDeclaration) return false;
    std::size_t i = kDeclaration.size();
    std::vector<std::string_view> open;
    int roots = 0;
    while (i < s.size()) {
        if (s[i] != '<') {
            if (open.empty()) {
                // Outside the root only line ends and blanks.
                if (s[i] != '\n' && s[i] != ' ') return false;
                ++i;
            } else if (!xmlText(s, i, '<')) {
                return false;
            }
            continue;
        }
        ++i;
        const bool closing = i < s.size() && s[i] == '/';
        if (closing) ++i;
        const std::size_t nameStart = i;
        while (i < s.size() && xmlName(s[i])) ++i;
        const std::string_view name = s.substr(nameStart, i - nameStart);
        if (name.empty()) return false;
        if (closing) {
            if (open.empty() || open.back() != name || i >= s.size() || s[i] != '>') return false;
            open.pop_back();
            ++i;
            continue;
        }
        // Attributes: name="value", separated by blanks.
        while (i < s.size() && s[i] == ' ') {
            ++i;
            const std::size_t attrStart = i;
            while (i < s.size() && xmlName(s[i])) ++i;
            if (i == attrStart || s.substr(i, 2) != "=\"") return false;
            i += 2;
            if (!xmlText(s, i, '"') || i >= s.size()) return false;
            ++i;
        }
        if (open.empty() && ++roots > 1) return false;
        if (s.substr(i, 2) == "/>") {
            i += 2;
        } else if (i < s.size() && s[i] == '>') {
            open.push_back(name);
            ++i;
        } else {
            return false;
        }
    }
    return open.empty() && roots == 1;
}

}  // namespace funkor::fuzz
