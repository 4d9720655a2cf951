// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Short-message answers in PDU mode. A header line announces a message and
// the following line carries its PDU in hex; the slots of the message cache
// are the SIM storage indexes 0..50, and messages at other indexes are not
// taken.
namespace funkor {

inline constexpr int kSmsCacheLast = 50;

// +CMGL: <index>,<stat>,[<alpha>],<length>   one message of "AT+CMGL=0;+CMGL=1"
//   S45i: "+CMGL: 3,1,,23"
struct SmsListHeader {
    int index = 0;       // 0..50
    std::string length;  // TPDU length in octets, decimal digits
};
// Nothing when the index is not a number in 0..50 or the length is not a
// number; the PDU line that follows is then not cached.
std::optional<SmsListHeader> parseCmglHeader(std::string_view line);

// +CMGR: <stat>,[<alpha>],<length>            header of "AT+CMGR=<index>"
//   S45i: "+CMGR: 0,,23"
// The TPDU length; nothing when the length field is not a number.
std::optional<int> parseCmgrLength(std::string_view line);

// +CMTI: "<mem>",<index>                     new message stored
//   S45i: "+CMTI: \"SM\",12"
struct NewMessageNotice {
    std::string storage;  // with its quotes: "\"SM\""
    std::string index;    // decimal text, as sent to "+CMGR="
};
// Nothing when the storage is not quoted or the index is not a number of at
// most three digits. Indexes above 50 are read too, though not cached.
std::optional<NewMessageNotice> parseCmti(std::string_view line);
// How many notices wait at most while a message is read.
inline constexpr std::size_t kSmsNoticesKept = 50;

// One cache entry: TPDU length, ":", PDU.
std::string smsCacheEntry(std::string_view length, std::string_view pdu);

// The numeric value of a storage index text when it names a cache slot.
std::optional<int> smsCacheSlot(std::string_view index);

}  // namespace funkor
