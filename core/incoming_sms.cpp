// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/incoming_sms.h"

#include "core/fields.h"
#include "core/pdu.h"

namespace funkor {

namespace {

SmsKind kindOf(std::string_view text) {
    if (text == kPositionRequestText) return SmsKind::PositionRequest;
    if (!text.empty() && text.front() == '$') return SmsKind::Position;
    return SmsKind::Plain;
}

}  // namespace

std::string smsNumberToolTip(std::string_view index) {
    return "SMS-Nr:" + std::string(index) + " (<=SMS von SIM lesen)";
}

std::string smsMapLink(std::string_view base, std::string_view coordinates, std::string_view sender,
                       std::string_view hhmm) {
    const std::string_view c = coordinates;
    std::string out(base);
    out += "/map.aspx?L=EUR&C=";
    out += c;
    out += "&A=2&P=|";
    out += c;
    out += "|1|";
    out += sender;
    out += " ";
    out += hhmm;
    out += "|L1|";
    return out;
}

IncomingSms readIncomingSms(const IncomingSmsInput& in) {
    const DeliveredSms sms = readSmsDeliver(in.pdu, in.tpduLength);
    // The fill bits of a full last octet unpack as one more character of
    // value 0 when the length octet does not say otherwise; it is no part of
    // the text.
    std::string text = mapGsmUmlauts(sms.text);
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return readDecodedSms(sms.sender, sms.timeStamp, std::move(text), in);
}

IncomingSms readDecodedSms(std::string sender, std::string timeStamp, std::string text,
                           const IncomingSmsInput& in) {
    IncomingSms out;
    out.sender = std::move(sender);
    out.timeStamp = std::move(timeStamp);
    out.callerName = findCallerName(out.sender, in.phoneBook);
    if (out.callerName.empty())
        out.senderLine = out.sender + std::string(10, ' ') + out.timeStamp;
    else
        out.senderLine = out.sender + " " + out.timeStamp + " " + out.callerName;

    out.text = std::move(text);
    out.senderToolTip = smsNumberToolTip(in.index);

    out.kind = kindOf(out.text);
    if (out.kind == SmsKind::Position) {
        out.position = readPositionSms(out.text, out.timeStamp);
        if (out.position)
            out.mapLink =
                smsMapLink(in.mapBase, out.position->coordinates, out.sender, in.receivedAt);
    }
    return out;
}

std::optional<int> nextCacheSlot(const SmsCache& cache, int cursor) {
    int slot = (cursor < 0 || cursor >= kSmsCacheSlots) ? 0 : cursor;
    for (int step = 0; step < kSmsCacheSlots; ++step) {
        slot = slot + 1 >= kSmsCacheSlots ? 0 : slot + 1;
        if (!cache[static_cast<std::size_t>(slot)].empty()) return slot;
    }
    return std::nullopt;
}

CachedSms splitCacheEntry(std::string_view entry) {
    const std::size_t colon = entry.find(':');
    if (colon == std::string_view::npos) return {0, std::string(entry)};
    return {fields::valInt(entry.substr(0, colon)), std::string(entry.substr(colon + 1))};
}

}  // namespace funkor
