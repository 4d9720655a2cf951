// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace funkor {

// Cuts the phone's byte stream into answer lines.
//
// A carriage return ends a line, line feeds are dropped. A carriage return
// after at most one character ends nothing: that character stays and starts
// the next line (a lone digit before CR is joined to what follows). A prompt
// sent without CR, such as the SMS prompt "> ", stays in the buffer and is
// prefixed to the next line. The buffer persists across calls, so a line
// arriving in several pieces comes out whole.
//
// A line longer than kMaxLine bytes keeps its first kMaxLine bytes; the rest
// up to the next CR is dropped, so a device that never sends CR cannot make
// the buffer grow without bound.
class LineFramer {
  public:
    static constexpr std::size_t kMaxLine = 4096;

    // Takes one received byte; returns the line it completes, if any.
    std::optional<std::string> feed(char byte);
    // Takes several bytes in order; returns the lines they complete.
    std::vector<std::string> feed(std::string_view bytes);

    // The characters received since the last line end.
    const std::string& pending() const { return buffer_; }

  private:
    std::string buffer_;
};

}  // namespace funkor
