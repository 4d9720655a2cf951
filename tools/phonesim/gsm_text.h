// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Text and number encodings that a GSM phone uses on its side of the line:
// the GSM 03.38 default alphabet, 7-bit packing, semi-octet numbers, and the
// SMS-DELIVER and cell-broadcast PDUs built from them.
namespace phonesim {

// UTF-8 text to GSM default-alphabet septets (one byte 0..127 each). Characters
// of the extension table become ESC (0x1B) followed by their code; anything
// else that the alphabet lacks becomes "?".
std::string utf8ToGsm(std::string_view utf8);
// UTF-8 text to septets the way a PC program packs it: the low seven bits of
// each character's Windows-1252 code.
std::string utf8ToAscii7(std::string_view utf8);
// GSM septets back to UTF-8 (for the record file and the UCS2 character set).
std::string gsmToUtf8(std::string_view gsm);
// GSM septets to UTF-16 code units.
std::u16string gsmToUcs2(std::string_view gsm);
// UTF-16 code units to GSM septets ("?" for what the alphabet lacks).
std::string ucs2ToGsm(std::u16string_view ucs2);

// Bytes as upper-case hexadecimal text, and back. fromHex fails on an odd
// length or a character that is not a hex digit.
std::string toHex(std::string_view bytes);
bool fromHex(std::string_view hex, std::string& bytes);

// Septets (values 0..127) packed into octets, LSB first, zero fill.
std::string packSeptets(std::string_view septets);
// Octets unpacked into `count` septets.
std::string unpackSeptets(std::string_view octets, std::size_t count);

// Phone number as an address field: digit count (or octet count when
// `octetLength`), type of address (145 with a leading "+", else 129) and the
// digits as swapped semi-octets padded with F.
std::string encodeAddress(std::string_view number, bool octetLength);
// The address field of a PDU back to a number ("+" for type 145).
std::string decodeAddressDigits(std::string_view semiOctets, std::size_t digits, int type);

// Service-centre time stamp: seven octets of swapped semi-octets, the last
// one the zone in quarter hours (bit 3 of the first digit: west of UTC).
struct TimeStamp {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int zoneQuarters = 0;
};
// "2026-12-01T10:15:00+01:00" (seconds and zone optional). False on a
// malformed text.
bool parseTimeStamp(std::string_view text, TimeStamp& out);
std::string encodeTimeStamp(const TimeStamp& ts);

// A complete SMS-DELIVER as the phone stores it: the service-centre address,
// then the TPDU. `septets` is 7-bit user data. Returns the hex text and sets
// `tpduLength` to the TPDU's octet count.
std::string buildDeliverPdu(std::string_view smsc, std::string_view sender, const TimeStamp& ts,
                            std::string_view septets, int& tpduLength);

// One 88-octet cell-broadcast page: serial number, message identifier, data
// coding scheme, page parameter, then 82 octets of content with the septets
// packed and padded with carriage returns.
std::string buildCbsPage(std::uint16_t serial, std::uint16_t messageId, std::uint8_t dcs,
                         std::string_view septets);

}  // namespace phonesim
