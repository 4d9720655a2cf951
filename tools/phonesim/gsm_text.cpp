// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/phonesim/gsm_text.h"

#include <array>
#include <cstdio>

#include "core/charset.h"

namespace phonesim {
namespace {

// GSM 03.38 default alphabet: septet value -> Unicode code point.
constexpr std::array<char16_t, 128> kGsmToUnicode = {
    0x0040, 0x00A3, 0x0024, 0x00A5, 0x00E8, 0x00E9, 0x00F9, 0x00EC, 0x00F2, 0x00C7, 0x000A, 0x00D8,
    0x00F8, 0x000D, 0x00C5, 0x00E5, 0x0394, 0x005F, 0x03A6, 0x0393, 0x039B, 0x03A9, 0x03A0, 0x03A8,
    0x03A3, 0x0398, 0x039E, 0x00A0, 0x00C6, 0x00E6, 0x00DF, 0x00C9, 0x0020, 0x0021, 0x0022, 0x0023,
    0x00A4, 0x0025, 0x0026, 0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F,
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B,
    0x003C, 0x003D, 0x003E, 0x003F, 0x00A1, 0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047,
    0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D, 0x004E, 0x004F, 0x0050, 0x0051, 0x0052, 0x0053,
    0x0054, 0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A, 0x00C4, 0x00D6, 0x00D1, 0x00DC, 0x00A7,
    0x00BF, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067, 0x0068, 0x0069, 0x006A, 0x006B,
    0x006C, 0x006D, 0x006E, 0x006F, 0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,
    0x0078, 0x0079, 0x007A, 0x00E4, 0x00F6, 0x00F1, 0x00FC, 0x00E0};

// Extension table reached through ESC (0x1B).
struct Extension {
    char code;
    char16_t unicode;
};
constexpr std::array<Extension, 10> kExtensions = {{{0x0A, 0x000C},
                                                    {0x14, 0x005E},
                                                    {0x28, 0x007B},
                                                    {0x29, 0x007D},
                                                    {0x2F, 0x005C},
                                                    {0x3C, 0x005B},
                                                    {0x3D, 0x007E},
                                                    {0x3E, 0x005D},
                                                    {0x40, 0x007C},
                                                    {0x65, 0x20AC}}};

using funkor::charset::appendUtf8;
using funkor::charset::decodeUtf8;

std::string unicodeToGsm(char32_t cp) {
    for (std::size_t i = 0; i < kGsmToUnicode.size(); ++i) {
        if (kGsmToUnicode[i] == cp && i != 0x1B) return std::string(1, static_cast<char>(i));
    }
    for (const auto& e : kExtensions) {
        if (e.unicode == cp) return std::string{'\x1B', e.code};
    }
    return "?";
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Digits as swapped semi-octets, an odd count padded with F.
std::string semiOctets(std::string_view digits) {
    std::string out;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        auto nibble = [](char c) -> int {
            switch (c) {
                case '*':
                    return 0xA;
                case '#':
                    return 0xB;
                default:
                    return (c >= '0' && c <= '9') ? c - '0' : 0xF;
            }
        };
        const int lo = nibble(digits[i]);
        const int hi = i + 1 < digits.size() ? nibble(digits[i + 1]) : 0xF;
        out += static_cast<char>((hi << 4) | lo);
    }
    return out;
}

int bcd(int v) {
    return ((v % 10) << 4) | ((v / 10) % 10);
}

}  // namespace

std::string utf8ToGsm(std::string_view utf8) {
    std::string out;
    for (char32_t cp : decodeUtf8(utf8)) out += unicodeToGsm(cp);
    return out;
}

std::string utf8ToAscii7(std::string_view utf8) {
    std::string out;
    for (char32_t cp : decodeUtf8(utf8)) {
        if (cp == 0x20AC) cp = 0x80;
        out += static_cast<char>(cp < 0x100 ? (cp & 0x7F) : '?');
    }
    return out;
}

std::u16string gsmToUcs2(std::string_view gsm) {
    std::u16string out;
    for (std::size_t i = 0; i < gsm.size(); ++i) {
        const auto c = static_cast<unsigned char>(gsm[i]) & 0x7F;
        if (c == 0x1B && i + 1 < gsm.size()) {
            const char code = static_cast<char>(gsm[i + 1] & 0x7F);
            char16_t u = 0x00A0;
            for (const auto& e : kExtensions) {
                if (e.code == code) u = e.unicode;
            }
            out += u;
            ++i;
        } else {
            out += kGsmToUnicode[c];
        }
    }
    return out;
}

std::string gsmToUtf8(std::string_view gsm) {
    std::string out;
    for (char16_t u : gsmToUcs2(gsm)) appendUtf8(out, u);
    return out;
}

std::string ucs2ToGsm(std::u16string_view ucs2) {
    std::string out;
    for (char16_t u : ucs2) out += unicodeToGsm(u);
    return out;
}

std::string toHex(std::string_view bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char b : bytes) {
        const auto v = static_cast<unsigned char>(b);
        out += digits[v >> 4];
        out += digits[v & 0xF];
    }
    return out;
}

bool fromHex(std::string_view hex, std::string& bytes) {
    bytes.clear();
    if (hex.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = hexDigit(hex[i]);
        const int lo = hexDigit(hex[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes += static_cast<char>((hi << 4) | lo);
    }
    return true;
}

std::string packSeptets(std::string_view septets) {
    std::string out;
    unsigned acc = 0;
    int bits = 0;
    for (char s : septets) {
        acc |= (static_cast<unsigned>(s) & 0x7F) << bits;
        bits += 7;
        while (bits >= 8) {
            out += static_cast<char>(acc & 0xFF);
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0) out += static_cast<char>(acc & 0xFF);
    return out;
}

std::string unpackSeptets(std::string_view octets, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t bit = i * 7;
        const std::size_t byte = bit / 8;
        const unsigned shift = bit % 8;
        if (byte >= octets.size()) break;
        unsigned v = static_cast<unsigned char>(octets[byte]) >> shift;
        if (shift > 1 && byte + 1 < octets.size()) {
            v |= static_cast<unsigned>(static_cast<unsigned char>(octets[byte + 1])) << (8 - shift);
        }
        out += static_cast<char>(v & 0x7F);
    }
    return out;
}

std::string encodeAddress(std::string_view number, bool octetLength) {
    int type = 129;
    if (!number.empty() && number.front() == '+') {
        type = 145;
        number.remove_prefix(1);
    }
    const std::string digits = semiOctets(number);
    std::string out;
    out += static_cast<char>(octetLength ? digits.size() + 1 : number.size());
    out += static_cast<char>(type);
    out += digits;
    return out;
}

std::string decodeAddressDigits(std::string_view semi, std::size_t digits, int type) {
    static const char* symbols = "0123456789*#abc";
    std::string out = type == 145 ? "+" : "";
    for (std::size_t i = 0; i < digits && i / 2 < semi.size(); ++i) {
        const auto b = static_cast<unsigned char>(semi[i / 2]);
        const int nibble = (i % 2 == 0) ? (b & 0xF) : (b >> 4);
        if (nibble == 0xF) break;
        out += symbols[nibble];
    }
    return out;
}

bool parseTimeStamp(std::string_view t, TimeStamp& out) {
    int zh = 0, zm = 0;
    char sign = '+';
    TimeStamp ts;
    std::string s(t);
    int n = std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c%2d:%2d", &ts.year, &ts.month, &ts.day,
                        &ts.hour, &ts.minute, &ts.second, &sign, &zh, &zm);
    if (n < 5) {
        n = std::sscanf(s.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c%2d:%2d", &ts.year, &ts.month, &ts.day,
                        &ts.hour, &ts.minute, &ts.second, &sign, &zh, &zm);
    }
    if (n < 5) return false;
    if (n < 6) ts.second = 0;
    if (ts.month < 1 || ts.month > 12 || ts.day < 1 || ts.day > 31 || ts.hour > 23 ||
        ts.minute > 59 || ts.second > 59) {
        return false;
    }
    if (n >= 8) {
        if (sign != '+' && sign != '-') return false;
        ts.zoneQuarters = (zh * 60 + (n >= 9 ? zm : 0)) / 15 * (sign == '-' ? -1 : 1);
    }
    out = ts;
    return true;
}

std::string encodeTimeStamp(const TimeStamp& ts) {
    std::string out;
    out += static_cast<char>(bcd(ts.year % 100));
    out += static_cast<char>(bcd(ts.month));
    out += static_cast<char>(bcd(ts.day));
    out += static_cast<char>(bcd(ts.hour));
    out += static_cast<char>(bcd(ts.minute));
    out += static_cast<char>(bcd(ts.second));
    const int q = ts.zoneQuarters < 0 ? -ts.zoneQuarters : ts.zoneQuarters;
    int zone = bcd(q % 80);
    if (ts.zoneQuarters < 0) zone |= 0x08;
    out += static_cast<char>(zone);
    return out;
}

std::string buildDeliverPdu(std::string_view smsc, std::string_view sender, const TimeStamp& ts,
                            std::string_view septets, int& tpduLength) {
    std::string tpdu;
    tpdu += '\x04';  // SMS-DELIVER, no more messages waiting
    tpdu += encodeAddress(sender, false);
    tpdu += '\x00';  // protocol identifier
    tpdu += '\x00';  // GSM 7-bit default alphabet
    tpdu += encodeTimeStamp(ts);
    const std::string_view text = septets.substr(0, 160);
    tpdu += static_cast<char>(text.size());
    tpdu += packSeptets(text);
    tpduLength = static_cast<int>(tpdu.size());
    const std::string sca = smsc.empty() ? std::string(1, '\0') : encodeAddress(smsc, true);
    return toHex(sca + tpdu);
}

std::string buildCbsPage(std::uint16_t serial, std::uint16_t messageId, std::uint8_t dcs,
                         std::string_view septets) {
    std::string page;
    page += static_cast<char>(serial >> 8);
    page += static_cast<char>(serial & 0xFF);
    page += static_cast<char>(messageId >> 8);
    page += static_cast<char>(messageId & 0xFF);
    page += static_cast<char>(dcs);
    page += '\x11';  // page 1 of 1
    std::string text(septets.substr(0, 93));
    text.resize(93, '\r');
    std::string content = packSeptets(text);
    content.resize(82, '\0');
    return toHex(page + content);
}

}  // namespace phonesim
