// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The speech markup inside texts, turned into what espeak-ng can speak:
//
//   #CTX=SPELL# ... #CTX#   the text between is spelled character by
//                           character (digits as digits; "+" and other signs
//                           are left out, "*" and "#" read as "Stern" and
//                           "Raute")
//   #VOICE=NAME:alias#      following text in the voice of that alias
//   #PAU=n#                 a pause of n milliseconds (leading digits; at
//                           most 60 s)
//
// A "#" that does not start one of these is text. The result is a list of
// parts, each either text to speak in one voice or a pause; every byte of a
// part's text knows the byte of the original text it came from, so that
// word positions can be reported against what the caller passed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sprelo::espeak {

constexpr std::int32_t kMaxPauseMs = 60000;

struct Part {
    enum class Kind { Speech, Pause };
    Kind kind = Kind::Speech;
    std::string voice;              // alias in force ("" = the engine's current voice)
    std::string text;               // Speech: what espeak-ng gets
    std::vector<std::size_t> from;  // Speech: original byte offset of each byte of text
    std::int32_t pauseMs = 0;       // Pause
};

std::vector<Part> translateMarkup(const std::string& text);

}  // namespace sprelo::espeak
