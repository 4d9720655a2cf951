// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/announcements.h"

namespace funkor {

namespace {

bool hasDigit(std::string_view s) {
    for (char c : s)
        if (c >= '0' && c <= '9') return true;
    return false;
}

}  // namespace

std::string spelledNumber(std::string_view number) {
    std::string out = !number.empty() && number.front() == '+' ? "plus" : "";
    out += "#CTX=SPELL#";
    out += number;
    out += "#CTX#";
    return out;
}

CallerAnnouncement announceCaller(const CallerAnnouncementInput& in) {
    CallerAnnouncement out;
    out.nextAnnounceMs = in.nextAnnounceMs;
    const bool heldOff =
        in.nowMs < in.nextAnnounceMs && in.nextAnnounceMs - in.nowMs <= kAnnounceHoldOffMs;
    if (heldOff) return out;

    // The name follows a CR placed after "hh:mm  " and a number.
    const std::size_t cr = in.label.find('\r');
    std::string who;
    bool known = in.label.size() > 7;
    if (cr != std::string_view::npos && cr >= 11) {
        who = std::string(in.label.substr(cr + 1));
    } else if (known) {
        const std::string_view number = in.label.substr(7);
        // "hh:mm  Anruf !" is a ring whose caller the network did not name.
        known = hasDigit(number);
        who = spelledNumber(number);
    }
    out.speak = true;
    out.text = known ? "Anruf von " + who : "unbekannter Anruf";
    out.nextAnnounceMs = in.nowMs + kAnnounceHoldOffMs;
    return out;
}

std::string smsAnnouncement(const SmsAnnouncementInput& in) {
    if (!in.senderShown) return std::string(in.text);
    std::string who = "SMS von ";
    who += in.callerName.empty() ? spelledNumber(in.sender) : std::string(in.callerName);
    return "#VOICE=NAME:SPR.DE.MAREN#" + who + "#PAU=1000##VOICE=NAME:SPR.DE.OSKAR#" +
           std::string(in.text);
}

}  // namespace funkor
