// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

// Messages and calls to the entry chosen in the phone-book list, whose
// entries read "Name : +49171..." (or a bare number): who receives them,
// which number is dialled, and the PDU to queue or the German reason why
// nothing is sent. Texts are 8-bit (Windows-1252).
namespace funkor {

// The recipient of an SMS: the text after the first ":" with blanks trimmed
// at both ends; without ":", the whole text trimmed.
std::string smsRecipient(std::string_view listText);

// The number dialled: from the second character after the first ":" on
// (one blank after the colon is skipped, nothing trimmed); without ":", the
// whole text.
std::string dialNumber(std::string_view listText);

// A network service code ("*100#") rather than a call.
bool isStarCode(std::string_view number);

// Whether a dial string is safe to put into "ATD...;": the characters of a
// GSM dial string only (digits, "*#+", "ABCD", the pause and wait modifiers
// ",TPW!@", letters in either case). A ";", a quote or a line end from a
// phone-book entry would end the dial command and start another.
bool isDialable(std::string_view number);

// An SMS ready for the command cycle, or the reason it is not sent.
struct OutgoingSms {
    std::string pdu;      // SMS-SUBMIT hex text; empty when refused
    std::string message;  // German reason for the user when refused
    bool ok() const { return !pdu.empty(); }
};

// The emergency numbers 112 and 110, also after "+49" or "0049".
bool isEmergencyNumber(std::string_view number);

// `text` to `recipient`. Refused: no recipient, an emergency number, a
// number over 15 digits or with other characters than digits (after a
// leading "+" or "00"), a text over 160 characters.
OutgoingSms prepareSms(std::string_view text, std::string_view recipient);

// The reason given when neither the GPS receiver nor the cell gives a
// position to send.
inline constexpr std::string_view kNoPositionMessage =
    "Keine Position zum Senden: weder GPS noch GSM-Zelle liefern eine.";

}  // namespace funkor
