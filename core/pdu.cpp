// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/pdu.h"

#include <cstdint>
#include <vector>

#include "core/fields.h"

namespace funkor {

namespace {

using fields::mid;

constexpr char kHexDigits[] = "0123456789ABCDEF";

void appendHexOctet(std::string& out, unsigned value) {
    out += kHexDigits[(value >> 4) & 15];
    out += kHexDigits[value & 15];
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Windows-1252 letters and their GSM default alphabet code points.
struct Umlaut {
    unsigned char ansi;
    unsigned char gsm;
};
constexpr Umlaut kUmlauts[] = {
    {0xC4, 0x5B},  // Ä
    {0xD6, 0x5C},  // Ö
    {0xDC, 0x5E},  // Ü
    {0xE4, 0x7B},  // ä
    {0xF6, 0x7C},  // ö
    {0xFC, 0x7E},  // ü
    {0xDF, 0x1E},  // ß
};

constexpr unsigned char kSharpSAnsi = 0xDF;
constexpr unsigned char kSharpSGsm = 0x1E;

unsigned septetOf(char c) {
    const auto code = static_cast<unsigned char>(c);
    for (const auto& u : kUmlauts)
        if (u.ansi == code) return u.gsm;
    return code & 127u;
}

char charOfSeptet(unsigned septet) {
    return static_cast<char>(septet == kSharpSGsm ? kSharpSAnsi : septet);
}

// Value of one octet of hex text: its leading hex digits ("4G" -> 4).
unsigned octetValue(std::string_view pair) {
    return static_cast<unsigned>(fields::hexValue(pair)) & 255u;
}

}  // namespace

EncodedPdu encodeSmsPdu(std::string_view text, std::string_view number) {
    EncodedPdu result;
    if (text.size() > 160) {
        result.error = PduError::TextTooLong;
        return result;
    }

    std::string digits(number);
    const auto innerPlus = digits.find('+', 1);
    if (innerPlus != std::string::npos) digits.erase(innerPlus, 1);
    std::string type = "81";
    if (!digits.empty() && digits[0] == '+') {
        type = "91";
        digits.erase(0, 1);
    }
    if (digits.rfind("00", 0) == 0) {
        type = "91";
        digits.erase(0, 2);
    }
    for (char c : digits) {
        // Anything else would end up raw in the hex text (a Ctrl-Z would even
        // end the PDU early on the serial line).
        if (!isDigit(c)) {
            result.error = PduError::NumberInvalid;
            return result;
        }
    }
    if (digits.size() > 15) {
        result.error = PduError::NumberTooLong;
        return result;
    }

    std::string pdu = "0001000";
    pdu += kHexDigits[digits.size()];
    pdu += type;
    const std::string padded = digits + "F";
    for (std::size_t i = 1; i < padded.size(); i += 2) {
        pdu += padded[i];
        pdu += padded[i - 1];
    }
    pdu += "1FF0";
    appendHexOctet(pdu, static_cast<unsigned>(text.size()));

    // Standard 7-bit packing, least significant bits first, zero fill bits.
    std::uint32_t bits = 0;
    int bitCount = 0;
    for (char c : text) {
        bits |= septetOf(c) << bitCount;
        bitCount += 7;
        while (bitCount >= 8) {
            appendHexOctet(pdu, bits & 255u);
            bits >>= 8;
            bitCount -= 8;
        }
    }
    if (bitCount > 0) appendHexOctet(pdu, bits & 255u);

    result.pdu = std::move(pdu);
    return result;
}

std::string decodeSeptets(std::string_view hex) {
    std::string out;
    out.reserve(hex.size() / 2 + hex.size() / 14 + 1);
    unsigned carry = 0;
    int k = 1;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        const unsigned b = octetValue(hex.substr(i, 2));
        if (k == 1) {
            out += charOfSeptet(b & 127u);
            carry = b >> 7;
        } else {
            const unsigned lowBits = 8 - k;  // bits of this octet that finish the septet
            out += charOfSeptet(carry + ((b & ((1u << lowBits) - 1)) << (k - 1)));
            carry = b >> lowBits;
        }
        if (k == 7) {
            out += charOfSeptet(carry);
            carry = 0;
            k = 1;
        } else {
            ++k;
        }
    }
    return out;
}

std::string mapGsmUmlauts(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        for (const auto& u : kUmlauts) {
            if (static_cast<unsigned char>(c) == u.gsm) {
                c = static_cast<char>(u.ansi);
                break;
            }
        }
    }
    return out;
}

DeliveredSms readSmsDeliver(std::string_view pdu, int tpduLength) {
    DeliveredSms sms;
    const std::string tpdu = fields::right(pdu, 2L * tpduLength);

    if (mid(tpdu, 5, 1) == "9") sms.sender = "+";
    long length = fields::hexValue(mid(tpdu, 3, 2));
    if (length % 2 == 1) ++length;
    const std::string swapped = mid(tpdu, 7, length);
    for (std::size_t i = 1; i < swapped.size(); i += 2) {
        sms.sender += swapped[i];
        sms.sender += swapped[i - 1];
    }
    const long fill = fields::instr(length, sms.sender, "F");
    if (length > 0 && fill > 0) sms.sender = fields::left(sms.sender, fill - 1);

    const std::string rest = mid(tpdu, length + 11);
    auto digitAt = [&rest](long position) {
        const std::string c = mid(rest, position, 1);
        return c.empty() ? '0' : c[0];
    };
    auto pair = [&digitAt](long i) { return std::string{digitAt(i), digitAt(i - 1)}; };
    sms.timeStamp =
        pair(6) + "." + pair(4) + "." + pair(2) + " " + pair(8) + ":" + pair(10) + ":" + pair(12);

    std::string text = decodeSeptets(mid(rest, 17));
    // Seven septets fill seven octets exactly, and unpacking those yields an
    // eighth character from the zero fill bits. Drop it when the message's
    // own length says it is not part of the text.
    const long declared = fields::hexValue(mid(rest, 15, 2));
    if (!text.empty() && text.back() == '\0' && declared == static_cast<long>(text.size()) - 1)
        text.pop_back();
    sms.text = mapGsmUmlauts(text);
    return sms;
}

std::string findCallerName(std::string_view number, std::span<const std::string> entries) {
    std::string wanted(number);
    if (!wanted.empty() && wanted[0] == '+') wanted = mid(wanted, 4);
    if (wanted.empty()) return {};
    for (const auto& entry : entries) {
        if (entry.find(wanted) == std::string::npos) continue;
        const long comma = fields::instr(8, entry, ",");
        if (comma == 0) return {};
        std::string name = mid(entry, comma + 6);
        if (!name.empty()) name.pop_back();
        return mapGsmUmlauts(name);
    }
    return {};
}

}  // namespace funkor
