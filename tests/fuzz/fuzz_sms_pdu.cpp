// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Short messages from outside: an SMS-DELIVER PDU as the phone lists it, and
// texts and numbers a user types. Reading never goes past the PDU; a text of
// 7-bit characters that is accepted for sending comes back unchanged from
// its packed septets.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/announcements.h"
#include "core/incoming_sms.h"
#include "core/outgoing_sms.h"
#include "core/pdu.h"
#include "fuzz_input.h"

using namespace funkor;
using funkor::fuzz::require;

namespace {

std::string hexOf(std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text = fuzz::asText(data, size);
    const std::uint8_t steer = fuzz::takeByte(text);
    const auto lines = fuzz::splitLines(text);

    // First line: a PDU as text, read with a TPDU length that fits, lies
    // high, lies low or is negative.
    const std::string_view pdu = lines[0];
    // Behind an SMSC part of one octet, as the phone lists a message.
    const int fits = static_cast<int>(pdu.size() / 2) - 1;
    const int lengths[] = {fits, static_cast<int>(pdu.size()), steer, -steer, 0};
    for (int length : lengths) {
        const DeliveredSms sms = readSmsDeliver(pdu, length);
        require(sms.timeStamp.empty() || sms.timeStamp.size() == 17,
                "time stamp DD.MM.YY hh:mm:ss");
    }
    // The window's reading of the message; the same text as a position SMS,
    // a caller label and a phone-book list entry.
    IncomingSmsInput in;
    in.pdu = pdu;
    in.tpduLength = fits;
    const IncomingSms incoming = readIncomingSms(in);
    require(incoming.text.empty() || incoming.text.back() != '\0', "no trailing NUL shown");
    if (const auto position = readPositionSms(pdu, incoming.timeStamp))
        require(position->sentences.rmc.find('\n') == position->sentences.rmc.size() - 1,
                "one sentence per line");
    announceCaller({pdu, 0, 0});
    const OutgoingSms outgoing = prepareSms(pdu, smsRecipient(pdu));
    require(outgoing.ok() != !outgoing.message.empty(), "a PDU or a reason");
    require(!isDialable(dialNumber(pdu)) ||
                dialNumber(pdu).find_first_of(";\"\r\n") == std::string::npos,
            "nothing dialled ends the command");
    // The same bytes as binary octets, hex-encoded as the phone would send them.
    readSmsDeliver(hexOf(pdu), static_cast<int>(pdu.size()) - 1);
    const std::string septets = decodeSeptets(pdu);
    require(septets.size() <= (pdu.size() / 2) * 8 / 7 + 1, "eight characters per seven octets");
    mapGsmUmlauts(pdu);

    // Second line: a message text, third: a number. A 7-bit text accepted
    // for sending unpacks to itself.
    if (lines.size() > 2) {
        const EncodedPdu out = encodeSmsPdu(lines[1], lines[2]);
        require(out.ok() != out.pdu.empty(), "a PDU exactly when accepted");
        if (out.ok()) {
            require(out.pdu.starts_with("00") && out.pdu.size() % 2 == 0,
                    "whole octets behind the empty SMSC part the announced length leaves out");
            // Printable ASCII whose GSM code is the same character.
            const std::string_view differs = "$@[\\]^_`{|}~";
            const bool plain = std::all_of(lines[1].begin(), lines[1].end(), [&](char c) {
                return c >= 32 && c < 127 && differs.find(c) == std::string_view::npos;
            });
            if (plain) {
                // User data: after the address, "1FF0" and the length octet.
                const std::size_t ud = out.pdu.find("1FF0", 8);
                require(ud != std::string::npos, "protocol and coding octets present");
                std::string back = decodeSeptets(out.pdu.substr(ud + 6));
                back.resize(std::min(back.size(), lines[1].size()));
                require(back == lines[1], "packed text unpacks to itself");
            }
        }
        // The phone-book lookup over the remaining lines as entries.
        std::vector<std::string> entries(lines.begin() + 2, lines.end());
        findCallerName(lines[1], entries);
    }
    return 0;
}
