// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The texts handed to the speech control for callers and received messages,
// with the engine's markup in them:
//   "#CTX=SPELL#" number "#CTX#"   the number spelled digit by digit
//   "#VOICE=NAME:SPR.DE.MAREN#"    the voice for an SMS's sender
//   "#PAU=1000#"                   a pause between sender and text
//   "#VOICE=NAME:SPR.DE.OSKAR#"    the voice for the SMS text
// Texts are 8-bit (Windows-1252).
namespace funkor {

// No second caller announcement within this time of the last one.
inline constexpr std::int64_t kAnnounceHoldOffMs = 20000;

// A number to be spelled: "plus" in front when it begins with "+", which
// stays inside the spelled part.
std::string spelledNumber(std::string_view number);

struct CallerAnnouncementInput {
    // The caller label: "hh:mm", two blanks, the number; a CR and the
    // phone-book name after it when the book knows the caller.
    std::string_view label;
    std::int64_t nowMs = 0;           // wall-clock time, ms since the epoch
    std::int64_t nextAnnounceMs = 0;  // no announcement before; 0: none yet
};

struct CallerAnnouncement {
    bool speak = false;
    std::string text;                 // "Anruf von ..." / "unbekannter Anruf"
    std::int64_t nextAnnounceMs = 0;  // unchanged when nothing is spoken
};

// One tick of the announcement timer. The hold-off runs on the full date
// and time, so it holds across midnight; a clock set back by more than the
// hold-off does not silence callers until it catches up.
CallerAnnouncement announceCaller(const CallerAnnouncementInput& in);

struct SmsAnnouncementInput {
    bool senderShown = false;     // the sender line is on the window
    std::string_view callerName;  // phone-book name of the sender
    std::string_view sender;      // "+49..." or national digits
    std::string_view text;        // the message text as shown
};

// The text spoken for a received message: with the sender line shown,
// MAREN says "SMS von" and the name (or the spelled number), then after a
// pause OSKAR reads the text; otherwise the text alone, without markup.
std::string smsAnnouncement(const SmsAnnouncementInput& in);

}  // namespace funkor
