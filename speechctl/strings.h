// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Strings across the control's interface: length-prefixed UTF-16 strings
// (BSTR) and their conversion to and from the engine's narrow text, which is
// UTF-8 (the system code page here).

#include <cstddef>
#include <cstdint>
#include <string>

#include "speechctl/sprelo_abi.h"

namespace sprelo {

// Allocates a copy of `text` (up to its terminating 0); nullptr for lack of
// memory. SysAllocString(nullptr) gives an empty string.
BSTR allocString(const char16_t* text);
BSTR allocStringLen(const char16_t* text, std::uint32_t length);
void freeString(BSTR text);
std::uint32_t stringLen(const char16_t* text);

// UTF-16 (up to its 0) to UTF-8; unpaired surrogates become U+FFFD. False
// only for lack of memory. A null text is the empty string.
bool toNarrow(const char16_t* text, std::string* out);
// At most `size` bytes of UTF-8, up to the first 0, to UTF-16; bytes that
// are not UTF-8 become U+FFFD.
std::u16string fromNarrow(const char* bytes, std::size_t size);
// A new BSTR holding `bytes` converted as above; nullptr for lack of memory.
BSTR allocFromNarrow(const char* bytes, std::size_t size);

}  // namespace sprelo
