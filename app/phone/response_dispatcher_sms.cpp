// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/phone/command_cycle.h"
#include "app/phone/response_dispatcher.h"

#include "app/base/elements.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/position/position_panel.h"
#include "app/sms/sms_reception.h"
#include "app/sms/sms_sending.h"
#include "core/at_phonebook.h"
#include "core/at_sms.h"
#include "core/pdu.h"

#include <algorithm>

// Stored and new short messages, cell-broadcast pages and phone-book
// entries. A header line arms a flag; the next line is its data.

// ---- Message list ("AT+CMGL=0;+CMGL=1") ----

void ResponseDispatcher::smsListData(const std::string& line) {
    sms_.smsListPending = false;
    // A header whose index names no cache slot left the index empty: the
    // message is passed over.
    const auto slot = funkor::smsCacheSlot(sms_.smsListIndex);
    if (!slot) return;
    sms_.smsCache[static_cast<std::size_t>(*slot)] =
        funkor::smsCacheEntry(sms_.smsListLength, line);
    smsReception_.showReadButton();
}

void ResponseDispatcher::smsListHeader(const std::string& line) {
    // The PDU line that follows belongs to this header even when the header
    // cannot be used; it must not be read as an answer of its own.
    sms_.smsListPending = true;
    if (const auto header = funkor::parseCmglHeader(line)) {
        sms_.smsListIndex = std::to_string(header->index);
        sms_.smsListLength = header->length;
    } else {
        sms_.smsListIndex.clear();
        sms_.smsListLength.clear();
    }
    // Listing the messages takes the phone a while.
    commandCycle_.restartIfRunning(2000);
}

// ---- Reading one message ----

void ResponseDispatcher::newMessage(const std::string& line) {
    const auto notice = funkor::parseCmti(line);
    if (!notice) return;
    if (sms_.smsReadState == SmsRead::Header || sms_.smsReadState == SmsRead::PduIn) {
        // A message is being read or waits to be shown: this one is read
        // after it. Each notice is kept once, and no more than the SIM can
        // hold; the message list of the next pass finds any other.
        std::vector<std::string>& waiting = sms_.smsNoticesWaiting;
        if (waiting.size() < funkor::kSmsNoticesKept &&
            std::find(waiting.begin(), waiting.end(), line) == waiting.end())
            waiting.push_back(line);
        return;
    }
    sms_.smsReadState = SmsRead::Requested;
    sms_.smsIndex = notice->index;
    sms_.smsStorage = notice->storage;
}

void ResponseDispatcher::smsReadHeader(const std::string& line) {
    const auto length = funkor::parseCmgrLength(line);
    if (!length) return;
    if (*length == 0) {
        // An empty location ("+CMGR: 0,,0"): no PDU follows, and the "OK"
        // after it is no message. The read is over.
        sms_.smsReadState = SmsRead::Idle;
        return;
    }
    sms_.smsReadState = SmsRead::Header;
    sms_.smsLength = *length;
}

void ResponseDispatcher::smsReadData(const std::string& line) {
    sms_.smsPdu = line;
    sms_.smsReadState = SmsRead::PduIn;
    if (const auto slot = funkor::smsCacheSlot(sms_.smsIndex))
        sms_.smsCache[static_cast<std::size_t>(*slot)] =
            funkor::smsCacheEntry(std::to_string(sms_.smsLength), line);
}

// ---- Cell broadcast ----

void ResponseDispatcher::broadcastHeader(const std::string&) {
    position_.cbPending = true;
}

void ResponseDispatcher::broadcastData(const std::string& line) {
    // Whatever the line holds, it is the page; the position engine judges it.
    position_.cbPage = line;
    position_.cbPending = false;
    positionHooks_.broadcastPage();
}

// ---- Phone books ----

void ResponseDispatcher::phoneBookStatus(const std::string& line) {
    const auto status = funkor::parseCpbs(line);
    if (!status) return;
    calls_.phoneBookUsed = status->used;
    calls_.phoneBookTotal = status->total;
}

void ResponseDispatcher::phoneBookReadEcho(const std::string&) {
    // Twenty reads in a row without an entry end the book at the next step.
    calls_.pbMissCount += 1;
    if (calls_.pbMissCount >= 20) calls_.phoneBookReceived = calls_.phoneBookUsed;
}

void ResponseDispatcher::phoneBookEntry(const std::string& line) {
    const auto entry = funkor::parseCpbr(funkor::unescapeGsmText(line));
    if (!entry) return;
    CallState& c = calls_;
    c.pbMissCount = 0;
    c.phoneBookReceived += 1;
    if (c.ownNumberPending) {
        c.ownNumberPending = false;
        panel_.setZoneNameToolTip(
            fromCp1252(funkor::ownNumberTooltip(entry->display, phone_.homeNetwork)));
    }
    // The table holds 200 entries; further ones are read (so that the book
    // ends as usual) but neither kept nor listed.
    if (c.phoneBookCount >= funkor::kPhoneBookCapacity) return;
    c.phoneBookCount += 1;
    c.phoneBook[static_cast<std::size_t>(c.phoneBookCount)] = entry->stored;
    const std::string item = funkor::mapGsmUmlauts(entry->display);
    if (c.phoneBookRenew) {
        c.phoneBookRenewed[static_cast<std::size_t>(c.phoneBookCount)] = item;
        return;
    }
    smsSending_.addEntry(fromCp1252(item));
}
