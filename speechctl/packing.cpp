// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "speechctl/packing.h"

#include <cstdio>

namespace sprelo {

FontDate unpackFontDate(std::uint32_t v) {
    FontDate d;
    d.day = static_cast<std::uint16_t>((v / 1440u) & 31u);
    d.month = static_cast<std::uint16_t>((v / 46080u) % 13u);
    d.year = static_cast<std::uint16_t>((v / 599040u) % 7000u);
    d.hour = static_cast<std::uint16_t>((v / 60u) % 24u);
    d.minute = static_cast<std::uint16_t>(v % 60u);
    return d;
}

std::uint32_t packFontDate(const FontDate& d) {
    return static_cast<std::uint32_t>(d.year) * 599040u +
           static_cast<std::uint32_t>(d.month) * 46080u +
           static_cast<std::uint32_t>(d.day) * 1440u + static_cast<std::uint32_t>(d.hour) * 60u +
           d.minute;
}

AudioFormat unpackAudioFormat(std::uint32_t v) {
    AudioFormat f;
    f.samplesPerSec = v >> 8;
    f.bitsPerSample = static_cast<std::uint16_t>((v >> 2) & 63u);
    f.channels = static_cast<std::uint16_t>(v & 3u);
    return f;
}

std::uint32_t packAudioFormat(std::uint32_t samplesPerSec, std::uint32_t bitsPerSample,
                              std::uint32_t channels) {
    return (samplesPerSec << 8) | (bitsPerSample << 2) | channels;
}

std::uint32_t himetricFromPixels(std::uint32_t pixels, std::uint32_t ppi) {
    if (ppi == 0) ppi = 96;
    return (pixels * 2540u + ppi / 2u) / ppi;
}

std::string guidText(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                  g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

GUID guidFromBytes(const unsigned char* b) {
    GUID g{};
    g.Data1 = static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
              static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
    g.Data2 = static_cast<std::uint16_t>(b[4] | b[5] << 8);
    g.Data3 = static_cast<std::uint16_t>(b[6] | b[7] << 8);
    for (int i = 0; i < 8; ++i) g.Data4[i] = b[8 + i];
    return g;
}

}  // namespace sprelo
