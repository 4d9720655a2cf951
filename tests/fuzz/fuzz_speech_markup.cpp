// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Texts handed to the speech engine with their markup (spelled passages,
// voice changes, pauses), as callers' names and messages from outside
// arrive in them. Every byte the engine is given knows the byte of the
// caller's text it came from, in order, so that the word positions it
// reports point into that text; pauses stay within their limit; nothing
// without a sound is handed on.

#include <cstdint>
#include <string>
#include <string_view>

#include "engines/espeak/markup.h"
#include "fuzz_input.h"

using funkor::fuzz::require;
using sprelo::espeak::Part;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(funkor::fuzz::asText(data, size));
    const auto parts = sprelo::espeak::translateMarkup(text);
    std::size_t previous = 0;
    for (const Part& p : parts) {
        if (p.kind == Part::Kind::Pause) {
            require(p.pauseMs >= 0 && p.pauseMs <= sprelo::espeak::kMaxPauseMs,
                    "pause within its limit");
            require(p.text.empty() && p.from.empty(), "a pause says nothing");
            continue;
        }
        require(p.voice.find('#') == std::string::npos, "voice name inside its tag");
        require(p.from.size() == p.text.size(), "one origin per byte");
        require(p.text.find_first_not_of(" \t\r\n") != std::string::npos, "something to say");
        for (std::size_t k = 0; k < p.text.size(); ++k) {
            const std::size_t from = p.from[k];
            require(from < text.size(), "origin inside the text");
            require(from >= previous, "origins in text order");
            previous = from;
            // A byte is the caller's own, a blank set around spelled
            // characters, or part of the word for "*" or "#".
            const char c = p.text[k];
            require(c == text[from] || c == ' ' || text[from] == '*' || text[from] == '#',
                    "byte from its origin");
        }
    }
    // Without any "#" there is no markup: the text goes on as it is.
    if (text.find('#') == std::string::npos &&
        text.find_first_not_of(" \t\r\n") != std::string::npos) {
        require(parts.size() == 1 && parts[0].text == text && parts[0].voice.empty(),
                "plain text unchanged");
    }
    return 0;
}
