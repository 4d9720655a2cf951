// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Value encodings shared by the control and its engines: the packed voice
// date, the packed audio format, extents in HIMETRIC and GUID texts.

#include <cstdint>
#include <string>

#include "speechctl/sprelo_abi.h"

namespace sprelo {

// A voice's date, packed as a count of minutes in mixed radix: minute
// (60), hour (24), day (32), month (13), year. 0 means "no date".
struct FontDate {
    std::uint16_t day = 0, month = 0, year = 0, hour = 0, minute = 0;
};
FontDate unpackFontDate(std::uint32_t packed);
// The inverse for dates that fit (year below 7000): day 0..31, month 0..12.
std::uint32_t packFontDate(const FontDate& date);

// Audio format: samples per second << 8 | bits per sample << 2 | channels.
// 0 means "no format".
struct AudioFormat {
    std::uint32_t samplesPerSec = 0;
    std::uint16_t bitsPerSample = 0;  // 0..63
    std::uint16_t channels = 0;       // 0..3
};
AudioFormat unpackAudioFormat(std::uint32_t packed);
std::uint32_t packAudioFormat(std::uint32_t samplesPerSec, std::uint32_t bitsPerSample,
                              std::uint32_t channels);

// Screen pixels to HIMETRIC with the screen's pixels per inch, rounded.
std::uint32_t himetricFromPixels(std::uint32_t pixels, std::uint32_t ppi);

// "1B4E28BA-2FA1-11D2-883F-0016D3CCA427": 36 characters, upper case, no braces.
std::string guidText(const GUID& guid);
// The 16 bytes of a GUID as it lies in memory (little-endian fields).
GUID guidFromBytes(const unsigned char* bytes);

}  // namespace sprelo
