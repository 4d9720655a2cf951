// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "speechctl/strings.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace sprelo {

// A BSTR is preceded by its length in bytes (32 bits) and followed by a 0.
BSTR allocStringLen(const char16_t* text, std::uint32_t length) {
    if (length > (UINT32_MAX - 8) / 2) return nullptr;
    const std::size_t bytes = sizeof(std::uint32_t) + (length + 1u) * sizeof(char16_t);
    auto* block = static_cast<unsigned char*>(std::malloc(bytes));
    if (!block) return nullptr;
    const std::uint32_t byteLength = length * 2u;
    std::memcpy(block, &byteLength, sizeof byteLength);
    auto* chars = reinterpret_cast<char16_t*>(block + sizeof(std::uint32_t));
    if (text && length) std::memcpy(chars, text, length * sizeof(char16_t));
    chars[length] = 0;
    return chars;
}

std::uint32_t stringLen(const char16_t* text) {
    if (!text) return 0;
    std::uint32_t byteLength;
    std::memcpy(&byteLength, reinterpret_cast<const unsigned char*>(text) - sizeof byteLength,
                sizeof byteLength);
    return byteLength / 2u;
}

BSTR allocString(const char16_t* text) {
    std::uint32_t n = 0;
    if (text)
        while (text[n]) ++n;
    return allocStringLen(text, n);
}

void freeString(BSTR text) {
    if (text) std::free(reinterpret_cast<unsigned char*>(text) - sizeof(std::uint32_t));
}

bool toNarrow(const char16_t* text, std::string* out) {
    try {
        out->clear();
        if (!text) return true;
        for (std::size_t i = 0; text[i]; ++i) {
            std::uint32_t c = text[i];
            if (c >= 0xD800 && c <= 0xDBFF && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) +
                    (static_cast<std::uint32_t>(text[i + 1]) - 0xDC00);
                ++i;
            } else if (c >= 0xD800 && c <= 0xDFFF) {
                c = 0xFFFD;
            }
            if (c < 0x80) {
                out->push_back(static_cast<char>(c));
            } else if (c < 0x800) {
                out->push_back(static_cast<char>(0xC0 | (c >> 6)));
                out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
            } else if (c < 0x10000) {
                out->push_back(static_cast<char>(0xE0 | (c >> 12)));
                out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
                out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
            } else {
                out->push_back(static_cast<char>(0xF0 | (c >> 18)));
                out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
                out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
                out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

std::u16string fromNarrow(const char* bytes, std::size_t size) {
    std::u16string out;
    if (!bytes) return out;
    std::size_t n = 0;
    while (n < size && bytes[n]) ++n;
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = s[i];
        std::uint32_t c = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else {
            std::size_t need = (b & 0xE0) == 0xC0   ? 2
                               : (b & 0xF0) == 0xE0 ? 3
                               : (b & 0xF8) == 0xF0 ? 4
                                                    : 0;
            if (need && i + need <= n) {
                std::uint32_t v = b & (need == 2 ? 0x1Fu : need == 3 ? 0x0Fu : 0x07u);
                bool ok = true;
                for (std::size_t k = 1; k < need; ++k) {
                    if ((s[i + k] & 0xC0) != 0x80) {
                        ok = false;
                        break;
                    }
                    v = (v << 6) | (s[i + k] & 0x3Fu);
                }
                const std::uint32_t minimum = need == 2 ? 0x80 : need == 3 ? 0x800 : 0x10000;
                if (ok && v >= minimum && v <= 0x10FFFF && (v < 0xD800 || v > 0xDFFF)) {
                    c = v;
                    len = need;
                }
            }
        }
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += len;
    }
    return out;
}

BSTR allocFromNarrow(const char* bytes, std::size_t size) {
    try {
        const std::u16string text = fromNarrow(bytes, size);
        return allocStringLen(text.data(), static_cast<std::uint32_t>(text.size()));
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace sprelo
