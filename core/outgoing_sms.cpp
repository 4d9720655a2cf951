// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/outgoing_sms.h"

#include "core/fields.h"
#include "core/pdu.h"

namespace funkor {

std::string smsRecipient(std::string_view listText) {
    const std::size_t colon = listText.find(':');
    if (colon == std::string_view::npos) return fields::trim(listText);
    return fields::trim(listText.substr(colon + 1));
}

std::string dialNumber(std::string_view listText) {
    const std::size_t colon = listText.find(':');
    if (colon == std::string_view::npos) return std::string(listText);
    if (colon + 2 >= listText.size()) return {};
    return std::string(listText.substr(colon + 2));
}

bool isStarCode(std::string_view number) {
    return !number.empty() && number.front() == '*';
}

bool isDialable(std::string_view number) {
    if (number.empty()) return false;
    // Digits, the keypad's "*#+ABCD", and the modifiers: "," pause, "T" tone
    // and "P" pulse dialling, "W" wait for dial tone, "!" hook flash, "@"
    // wait for quiet answer; letters in either case.
    constexpr std::string_view kDialChars = "0123456789*#+ABCDabcd,TtPpWw!@";
    return number.find_first_not_of(kDialChars) == std::string_view::npos;
}

bool isEmergencyNumber(std::string_view number) {
    for (std::string_view prefix : {"+49", "0049"})
        if (number.substr(0, prefix.size()) == prefix) number.remove_prefix(prefix.size());
    return number == "112" || number == "110";
}

OutgoingSms prepareSms(std::string_view text, std::string_view recipient) {
    if (recipient.empty())
        return {{}, "Kein Empf\xE4nger: bitte erst einen Eintrag im Telefonbuch w\xE4hlen."};
    // The SIM's service numbers stand in the phone-book list too; a position
    // sent on its own must never go to an emergency line.
    if (isEmergencyNumber(recipient))
        return {{},
                "An eine Notrufnummer (" + std::string(recipient) + ") wird keine SMS gesendet."};
    const EncodedPdu encoded = encodeSmsPdu(text, recipient);
    switch (encoded.error) {
        case PduError::None:
            return {encoded.pdu, {}};
        case PduError::NumberTooLong:
            return {{}, "Die Nummer hat mehr als 15 Ziffern; die SMS wird nicht gesendet."};
        case PduError::NumberInvalid:
            return {{},
                    "Die Nummer enth\xE4lt andere Zeichen als Ziffern; die SMS wird nicht "
                    "gesendet."};
        case PduError::TextTooLong:
            return {{},
                    "Der Text hat mehr als 160 Zeichen (" + std::to_string(text.size()) +
                        "); die SMS wird nicht gesendet."};
    }
    return {};
}

}  // namespace funkor
