// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QSignalBlocker>

#include "app/phone/response_dispatcher.h"
#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/at_phonebook.h"
#include "core/at_sms.h"
#include "core/pdu.h"

// Stored and new short messages, cell-broadcast pages and phone-book
// entries. A header line arms a flag; the next line is its data.

// ---- Message list ("AT+CMGL=0;+CMGL=1") ----

void ResponseDispatcher::smsListData(const std::string& line) {
    f.sms.smsListPending = 0;
    // A header whose index names no cache slot left the index empty: the
    // message is passed over.
    const auto slot = funkor::smsCacheSlot(f.sms.smsListIndex);
    if (!slot) return;
    f.sms.smsCache[static_cast<std::size_t>(*slot)] =
        funkor::smsCacheEntry(f.sms.smsListLength, line);
    f.SMSrd->show();
}

void ResponseDispatcher::smsListHeader(const std::string& line) {
    // The PDU line that follows belongs to this header even when the header
    // cannot be used; it must not be read as an answer of its own.
    f.sms.smsListPending = 1;
    if (const auto header = funkor::parseCmglHeader(line)) {
        f.sms.smsListIndex = std::to_string(header->index);
        f.sms.smsListLength = header->length;
    } else {
        f.sms.smsListIndex.clear();
        f.sms.smsListLength.clear();
    }
    // Listing the messages takes the phone a while.
    restartCycle(2000);
}

// ---- Reading one message ----

void ResponseDispatcher::newMessage(const std::string& line) {
    const auto notice = funkor::parseCmti(line);
    if (!notice) return;
    f.sms.smsReadState = 1;
    f.sms.smsIndex = notice->index;
    f.sms.smsStorage = notice->storage;
}

void ResponseDispatcher::smsReadHeader(const std::string& line) {
    const auto length = funkor::parseCmgrLength(line);
    if (!length) return;
    if (*length == 0) {
        // An empty location ("+CMGR: 0,,0"): no PDU follows, and the "OK"
        // after it is no message. The read is over.
        f.sms.smsReadState = 0;
        return;
    }
    f.sms.smsReadState = 3;
    f.sms.smsLength = *length;
}

void ResponseDispatcher::smsReadData(const std::string& line) {
    f.sms.smsPdu = line;
    f.sms.smsReadState = 4;
    if (const auto slot = funkor::smsCacheSlot(f.sms.smsIndex))
        f.sms.smsCache[static_cast<std::size_t>(*slot)] =
            funkor::smsCacheEntry(std::to_string(f.sms.smsLength), line);
}

// ---- Cell broadcast ----

void ResponseDispatcher::broadcastHeader() {
    f.position.cbPending = 1;
}

void ResponseDispatcher::broadcastData(const std::string& line) {
    // Whatever the line holds, it is the page; the position engine judges it.
    f.position.cbPage = line;
    f.position.cbPending = 0;
    f.ComputeCellPosition();
}

// ---- Phone books ----

void ResponseDispatcher::phoneBookStatus(const std::string& line) {
    const auto status = funkor::parseCpbs(line);
    if (!status) return;
    f.calls.phoneBookUsed = status->used;
    f.calls.phoneBookTotal = status->total;
}

void ResponseDispatcher::phoneBookReadEcho() {
    // Twenty reads in a row without an entry end the book at the next step.
    f.calls.pbMissCount += 1;
    if (f.calls.pbMissCount >= 20) f.calls.phoneBookReceived = f.calls.phoneBookUsed;
}

void ResponseDispatcher::phoneBookEntry(const std::string& line) {
    const auto entry = funkor::parseCpbr(funkor::unescapeGsmText(line));
    if (!entry) return;
    CallState& c = f.calls;
    c.pbMissCount = 0;
    c.phoneBookReceived += 1;
    if (c.ownNumberPending == 1) {
        c.ownNumberPending = 0;
        f.Netz2->setToolTip(
            fromCp1252(funkor::ownNumberTooltip(entry->display, f.phone.homeNetwork)));
    }
    // The table holds 200 entries; further ones are read (so that the book
    // ends as usual) but neither kept nor listed.
    if (c.phoneBookCount >= funkor::kPhoneBookCapacity) return;
    c.phoneBookCount += 1;
    c.phoneBook[static_cast<std::size_t>(c.phoneBookCount)] = entry->stored;
    const std::string item = funkor::mapGsmUmlauts(entry->display);
    if (c.phoneBookRenew == 1) {
        c.phoneBookRenewed[static_cast<std::size_t>(c.phoneBookCount)] = item;
        return;
    }
    // Adding to an empty list would choose its first entry, and with it the
    // recipient of every automatic SMS: only the user chooses one (in the
    // list, or before it was read with --recipient), and a choice made stays
    // as the list grows.
    const QString text = fromCp1252(item);
    const int chosen = f.Combo1->currentIndex();
    {
        QSignalBlocker block(f.Combo1);
        f.Combo1->addItem(text);
        f.Combo1->setCurrentIndex(chosen);
    }
    if (chosen < 0 && !text.isEmpty() && text == f.options().recipient)
        f.Combo1->setCurrentIndex(f.Combo1->count() - 1);
}
