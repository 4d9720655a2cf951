// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engines/espeak/wav_file.h"

#include <cstdio>
#include <cstring>

namespace sprelo::espeak {

namespace {

constexpr std::uint32_t kHeaderSize = 44;
constexpr std::uint64_t kMaxData = 0x7FFFFFFFu - kHeaderSize;

void put16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}
void put32(unsigned char* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
std::uint32_t get32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void header(unsigned char* h, std::uint32_t dataBytes, std::uint32_t rate) {
    std::memcpy(h, "RIFF", 4);
    put32(h + 4, 36 + dataBytes);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put32(h + 16, 16);
    put16(h + 20, 1);  // PCM
    put16(h + 22, 1);  // mono
    put32(h + 24, rate);
    put32(h + 28, rate * 2);
    put16(h + 32, 2);
    put16(h + 34, 16);
    std::memcpy(h + 36, "data", 4);
    put32(h + 40, dataBytes);
}

bool writeSamples(std::FILE* f, const std::vector<std::int16_t>& samples) {
    // Little-endian on disk whatever the machine.
    std::vector<unsigned char> bytes(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        put16(&bytes[2 * i], static_cast<std::uint16_t>(samples[i]));
    return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
}

}  // namespace

bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples,
              std::uint32_t rate) {
    if (samples.size() * 2 > kMaxData) return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    unsigned char h[kHeaderSize];
    header(h, static_cast<std::uint32_t>(samples.size() * 2), rate);
    bool ok = std::fwrite(h, 1, sizeof h, f) == sizeof h && writeSamples(f, samples);
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

bool appendWav(const std::string& path, const std::vector<std::int16_t>& samples,
               std::uint32_t rate) {
    std::FILE* f = std::fopen(path.c_str(), "r+b");
    if (!f) return writeWav(path, samples, rate);
    unsigned char h[kHeaderSize];
    unsigned char expected[kHeaderSize];
    const bool read = std::fread(h, 1, sizeof h, f) == sizeof h;
    const std::uint32_t have = read ? get32(h + 40) : 0;
    header(expected, have, rate);
    const bool ours = read && std::memcmp(h, expected, 4) == 0 &&
                      std::memcmp(h + 8, expected + 8, 32) == 0 && get32(h + 4) == 36 + have &&
                      std::fseek(f, 0, SEEK_END) == 0 && std::ftell(f) == kHeaderSize + have;
    if (!ours || have + samples.size() * 2 > kMaxData) {
        std::fclose(f);
        return writeWav(path, samples, rate);
    }
    bool ok = writeSamples(f, samples);
    header(h, have + static_cast<std::uint32_t>(samples.size() * 2), rate);
    ok = ok && std::fseek(f, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, f) == sizeof h;
    ok = std::fclose(f) == 0 && ok;
    return ok;
}

}  // namespace sprelo::espeak
