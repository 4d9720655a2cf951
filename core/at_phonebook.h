// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

// Phone-book answers. The command cycle selects a book ("SM", "FD", "ON"),
// asks its use and reads it entry by entry with "AT+CPBR=<index>".
namespace funkor {

// The program keeps at most this many phone-book entries over all books.
inline constexpr int kPhoneBookCapacity = 200;

// +CPBS: "<storage>",<used>,<total>
//   S45i: "+CPBS: \"SM\",5,250"
struct PhoneBookStatus {
    int used = 0;
    int total = 0;
};
// Nothing when either number is missing.
std::optional<PhoneBookStatus> parseCpbs(std::string_view line);

// +CPBR: <index>,"<number>",<type>,"<name>"
//   S45i: "+CPBR: 1,\"+491711234567\",145,\"Anna\""
struct PhoneBookEntry {
    std::string stored;   // the line after the index: "\"+4917...\",145,\"Anna\""
    std::string number;   // inside the quotes; may be empty
    std::string name;     // inside the quotes; may contain commas
    std::string display;  // "Anna : +491711234567", for the phone-book list
};
// Nothing when the number or the name is not quoted.
std::optional<PhoneBookEntry> parseCpbr(std::string_view line);

// Texts in the phone's GSM character set carry the characters that would
// break a quoted field as a backslash and two hex digits: "\5C" (the GSM
// code of Ö), "\22", "\08", "\00" (the GSM code of @, given as "@").
//   S45i: "+CPBR: 3,\"0301234\",129,\"\5Cl-Service\""
// Other backslashes are kept as they are.
std::string unescapeGsmText(std::string_view text);

// Tooltip of the network-zone label for the own number:
// "Ich : 01761234567 (26207)".
std::string ownNumberTooltip(std::string_view display, std::string_view homeNetwork);

}  // namespace funkor
