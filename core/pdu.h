// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <span>
#include <string>
#include <string_view>

// Short messages in PDU mode: building SMS-SUBMIT PDUs, reading SMS-DELIVER
// PDUs, the GSM 7-bit default alphabet packing, and the phone-book name
// lookup. PDUs are hex text, two upper-case hex characters per octet, no
// separators. Texts are 8-bit (Windows-1252), one byte per character.
namespace funkor {

enum class PduError {
    None,
    NumberTooLong,  // more than 15 digits after the prefix rules: no room in the length field
    NumberInvalid,  // a character other than a digit (after the "+" rules)
    TextTooLong,    // more than 160 characters: more than one SMS holds in 7-bit text
};

struct EncodedPdu {
    std::string pdu;  // empty unless error == None
    PduError error = PduError::None;
    bool ok() const { return error == PduError::None; }
};

// SMS-SUBMIT for `text` to `number`:
//   "00"  SMSC length (use the phone's stored centre)
//   "01"  first octet: SMS-SUBMIT, no validity period, no report, no header
//   "00"  message reference
//   "0"+n address length, n = digit count as one hex character
//   "91" international ("+49..." or "0049...") / "81" otherwise
//   digits as swapped semi-octets, an odd count padded with "F"
//   "1F"  protocol identifier, "F0" data coding (7-bit, class 0)
//   user data length (characters, two hex digits), packed septets
// Example: +49123456789, "abc" -> 0001000B919421436587F91FF00361F118.
// A "+" inside the number (not first) is dropped once. The letters
// Ä Ö Ü ä ö ü ß travel as their GSM code points, every other character as the
// low seven bits of its code. An empty number gives an empty address (the
// phone answers for it). Refuses (error set, no PDU) a number over 15 digits
// or with other characters, and a text over 160 characters.
EncodedPdu encodeSmsPdu(std::string_view text, std::string_view number);

// Unpacks GSM 7-bit septets from hex text: every complete pair of hex
// characters is one octet, 7 octets give 8 characters; a trailing odd
// character is ignored, a pair that is not hex counts by its leading hex
// digits (as "4G" -> 4). No length is consulted: 7 octets holding 7 septets
// give the 7 characters and one of value 0. Septet 30 (GSM "ß") is delivered
// as 223 ("ß"); all other septets as their own value.
std::string decodeSeptets(std::string_view hex);

// Translates the German letters of the GSM default alphabet delivered as
// plain characters: [ \ ^ { | ~ become Ä Ö Ü ä ö ü, and the GSM code of ß
// (30, which phone-book names carry as it is) becomes ß. Nothing else
// changes.
std::string mapGsmUmlauts(std::string_view text);

// The readable parts of an SMS-DELIVER PDU.
struct DeliveredSms {
    std::string sender;     // "+49..." for an international sender, else the digits
    std::string timeStamp;  // "DD.MM.YY hh:mm:ss" of the service centre
    std::string text;       // user data, unpacked as 7-bit text, umlauts translated
};

// Reads an SMS-DELIVER as the phone reports it after "+CMGR:"/"+CMGL:": the
// SMSC part in front is dropped by keeping the last 2 * tpduLength
// characters. TPDU layout: first octet, address length L (digits), type of
// address ("9x" international), L digits as swapped semi-octets (padded to
// even with "F"), PID, DCS, time stamp (YY MM DD hh mm ss TZ as swapped
// semi-octets, TZ ignored), user data length, user data. The data coding is
// not examined: every message is read as 7-bit text. Short or malformed
// input gives what can be read; missing time stamp digits read as "0".
DeliveredSms readSmsDeliver(std::string_view pdu, int tpduLength);

// The name of the first phone-book entry that contains `number`, or "" when
// none does. Entries are the texts of "+CPBR:" answers after the index and
// its comma: "<number>",<type>,"<name>". A number starting with "+" is
// searched without the "+" and a two-digit country code, so that entries in
// national form match too. The search is a plain substring test in entry
// order. An empty search text finds nothing.
std::string findCallerName(std::string_view number, std::span<const std::string> entries);

}  // namespace funkor
