// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/position_sms.h"

// A received short message as the window shows and uses it: the sender line
// and its tooltip, the text, and what the text asks for (nothing, a position
// to take as the SMS position source, or this window's own position). Also
// the message cache of 51 storage slots that the read button browses.
// Texts are 8-bit (Windows-1252).
namespace funkor {

enum class SmsKind {
    Plain,            // read aloud
    PositionRequest,  // "$SendPosition!" exactly
    Position,         // any other text beginning with "$"
};

struct IncomingSmsInput {
    std::string_view pdu;                    // as the phone delivered it, with the SMSC part
    int tpduLength = 0;                      // octets of the TPDU, from the header or the cache
    std::string_view index;                  // storage index, decimal
    std::span<const std::string> phoneBook;  // entries 1.. of the SIM books
    std::string_view mapBase;                // web map address before "/map.aspx"
    std::string_view receivedAt;             // time of day "hh:mm" for the map label
};

struct IncomingSms {
    std::string sender;      // "+49..." when international
    std::string callerName;  // phone-book name of the sender, "" when none
    std::string timeStamp;   // "DD.MM.YY hh:mm:ss"
    std::string text;        // message text, umlauts translated, no trailing NULs
    // Text1: sender, ten blanks, time stamp; or sender, blank, time stamp,
    // blank, name when the phone book knows the sender.
    std::string senderLine;
    std::string senderToolTip;  // "SMS-Nr:" index " (<=SMS von SIM lesen)"
    SmsKind kind = SmsKind::Plain;
    // For a position SMS whose fields can be used: the sentence pair and the
    // map link. Empty for a position SMS too short or with characters that
    // would break an NMEA sentence: the last good position stays.
    std::optional<ReceivedPosition> position;
    std::string mapLink;
};

IncomingSms readIncomingSms(const IncomingSmsInput& in);
// The same for a message that came decoded (from ModemManager): sender,
// time stamp "DD.MM.YY hh:mm:ss" and text as they are; `in.pdu` and
// `in.tpduLength` are not used.
IncomingSms readDecodedSms(std::string sender, std::string timeStamp, std::string text,
                           const IncomingSmsInput& in);

// Tooltip of the sender line for the message at storage index `index`.
std::string smsNumberToolTip(std::string_view index);

// Map link of a received position: base "/map.aspx?L=EUR&C=" c "&A=2&P=|" c
// "|1|" sender " " hh:mm "|L1|", where c is "lat,lon" with "." decimals.
std::string smsMapLink(std::string_view base, std::string_view coordinates, std::string_view sender,
                       std::string_view hhmm);

// ---- Message cache ----

inline constexpr int kSmsCacheSlots = 51;
using SmsCache = std::array<std::string, kSmsCacheSlots>;

// The next filled slot after `cursor`, wrapping from 50 to 0; the slot
// `cursor` itself comes last. Nothing when every slot is empty (one pass).
std::optional<int> nextCacheSlot(const SmsCache& cache, int cursor);

// A cache entry "length:PDU" split into its TPDU length (read leniently) and
// PDU. An entry without ":" is all PDU, of length 0.
struct CachedSms {
    int tpduLength = 0;
    std::string pdu;
};
CachedSms splitCacheEntry(std::string_view entry);

// ---- Test button ----

// A fixed caller and an SMS-DELIVER from it: SMSC part, international
// sender, TPDU of 40 octets, the 22-character text "Dies ist ein Funktest!"
// in 7-bit coding.
inline constexpr char kTestCallerNumber[] = "+4915112345678";
inline constexpr char kTestSmsPdu[] =
    "0791947106004034040D91945111325476F800006221029102054016C474790E4ACFE9A072DA0D32D6DD6B7A79"
    "4E0F01";
inline constexpr int kTestSmsTpduLength = 40;

}  // namespace funkor
