// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

// Character sets at the edges of the program: the serial line and the data
// files carry 8-bit Windows-1252 text, terminals and scenario files UTF-8.
namespace funkor::charset {

// Unicode code point of a Windows-1252 byte. The five codes the code page
// leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) keep their own value.
char32_t fromCp1252(unsigned char c);
// Windows-1252 byte of a code point; '?' where the code page has none.
char toCp1252(char32_t cp);

// Code points of a UTF-8 text; a byte that does not start a valid sequence
// is taken as the code point of the same value (Latin-1), so nothing is lost.
std::u32string decodeUtf8(std::string_view s);
void appendUtf8(std::string& out, char32_t cp);

std::string utf8ToCp1252(std::string_view text);

}  // namespace funkor::charset
