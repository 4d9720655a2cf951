// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Position SMS from another copy of the program, as the SMS topic reads
// them: the message arrives as an SMS-DELIVER PDU (the time stamp as the
// line from the phone holds it, garbled or not), is decoded and, when it is
// a position, becomes the SMS source's sentence pair and a map link. The
// pair must keep the layout of the sentences the output sends, and the map
// link must lead to the own map page at the position read.

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/incoming_sms.h"
#include "core/map_page.h"
#include "core/nmea.h"
#include "core/pdu.h"
#include "core/position_sms.h"
#include "fuzz_input.h"

using namespace funkor;
using funkor::fuzz::require;

namespace {

std::size_t count(std::string_view s, char c) {
    std::size_t n = 0;
    for (char x : s) n += x == c ? 1 : 0;
    return n;
}

// Commas, "$" and "*" of the sentence the output sends for a received
// position: its fields are fixed, so these counts are too.
void checkSentence(const std::string& s, const std::string& reference) {
    require(s.size() >= 8 && s.compare(s.size() - 2, 2, "\r\n") == 0, "sentence ends in CR LF");
    require(s.find_first_of("\r\n") == s.size() - 2, "one sentence per line");
    require(count(s, ',') == count(reference, ','), "sentence keeps its fields");
    require(count(s, '$') == 1 && s[0] == '$' && count(s, '*') == 1, "one start, one checksum");
    const std::size_t star = s.find('*');
    require(star + 5 == s.size() && s.substr(star + 1, 2) == nmeaChecksum(s.substr(1, star - 1)),
            "checksum matches the body");
    require(s.compare(0, 7, reference, 0, 7) == 0, "sentence type");
}

void checkPosition(const ReceivedPosition& p) {
    static const SentencePair reference = [] {
        ReceivedPosition r = *readPositionSms("$4807123,01134567", "12.11.04 14:50:00");
        return r.sentences;
    }();
    checkSentence(p.sentences.rmc, reference.rmc);
    checkSentence(p.sentences.gga, reference.gga);
    require(std::isfinite(p.latitude) && std::isfinite(p.longitude), "position finite");
}

// GSM 7-bit packing of the low seven bits of each character, as a PC
// program sends text.
std::string packSeptets(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    unsigned bits = 0, held = 0;
    for (char c : text) {
        bits |= (static_cast<unsigned char>(c) & 0x7Fu) << held;
        held += 7;
        while (held >= 8) {
            out += hex[(bits >> 4) & 15];
            out += hex[bits & 15];
            bits >>= 8;
            held -= 8;
        }
    }
    if (held > 0) {
        out += hex[(bits >> 4) & 15];
        out += hex[bits & 15];
    }
    return out;
}

// An SMS-DELIVER from `sender` (digits) with the text, the time stamp's 14
// semi-octets taken from `stamp` as they stand ("0" where it is short).
std::string deliverPdu(std::string_view sender, std::string_view text, std::string_view stamp) {
    static const char hex[] = "0123456789ABCDEF";
    std::string pdu = "07919471060040F9";  // service centre
    pdu += "04";
    pdu += hex[(sender.size() >> 4) & 15];
    pdu += hex[sender.size() & 15];
    pdu += "91";
    std::string digits(sender);
    if (digits.size() % 2) digits += 'F';
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        pdu += digits[i + 1];
        pdu += digits[i];
    }
    pdu += "0000";
    for (std::size_t i = 0; i < 14; ++i) pdu += i < stamp.size() ? stamp[i] : '0';
    pdu += hex[(text.size() >> 4) & 15];
    pdu += hex[text.size() & 15];
    pdu += packSeptets(text);
    return pdu;
}

void readMessage(std::string_view pdu, int tpduLength, std::string_view sender) {
    const std::vector<std::string> phoneBook = {"\"+49123456789\",145,\"Anna\""};
    IncomingSmsInput in;
    in.pdu = pdu;
    in.tpduLength = tpduLength;
    in.index = "3";
    in.phoneBook = phoneBook;
    in.mapBase = "http://127.0.0.1:8787";
    in.receivedAt = "18:30";
    const IncomingSms sms = readIncomingSms(in);
    if (sms.kind != SmsKind::Position) {
        require(!sms.position && sms.mapLink.empty(), "no position for other messages");
        return;
    }
    if (!sms.position) return;
    checkPosition(*sms.position);
    // The map link leads to the own map page, which shows the marker at the
    // position read, labelled with the sender and the time received.
    const ReceivedPosition& p = *sms.position;
    if (std::fabs(p.latitude) > 90 || std::fabs(p.longitude) > 180 || sender.empty()) return;
    const std::size_t query = sms.mapLink.find('?');
    require(query != std::string::npos, "map link with a query");
    const auto marker = mappage::parseMapQuery(std::string_view(sms.mapLink).substr(query + 1));
    require(marker.has_value(), "own map page reads the link");
    require(std::fabs(marker->latitude - p.latitude) < 1e-9 &&
                std::fabs(marker->longitude - p.longitude) < 1e-9,
            "marker at the position read");
    require(marker->label == sms.sender + " 18:30", "marker labelled with sender and time");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text = fuzz::asText(data, size);
    const std::uint8_t steer = fuzz::takeByte(text);
    const auto lines = fuzz::splitLines(text);

    // First line: the message text (at most one SMS); second: the time
    // stamp's semi-octets as the phone's line holds them; third: a time
    // stamp text; fourth: a PDU line of any content.
    const std::string_view message = lines[0].substr(0, 160);
    const std::string_view stamp = lines.size() > 1 ? lines[1] : "21211241050080";
    const std::string sender = "49" + std::to_string(100000000u + steer * 12345u);
    const std::string pdu = deliverPdu(sender, message, stamp);
    // The TPDU follows the eight octets of the service centre part; the
    // phone announces its length in the list header.
    readMessage(pdu, static_cast<int>(pdu.size() / 2) - 8, "+" + sender);

    // The message text read directly with a time stamp of any content.
    if (const auto p = readPositionSms(message, lines.size() > 2 ? lines[2] : "24.12.26 18:30:05"))
        checkPosition(*p);

    // The PDU line of any content, read with a length that fits and with
    // one that lies.
    if (lines.size() > 3) {
        const std::string_view raw = lines[3];
        readMessage(raw, static_cast<int>(raw.size() / 2) - 1, {});
        readMessage(raw, steer, {});
    }
    return 0;
}
