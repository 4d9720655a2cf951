// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The speech control's registry files, edited by hand or left half-written
// by another program. Reading never fails; what is read and written again
// reads back the same and is written the same; a value read into a caller's
// buffer never goes past it.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "speechctl/registry.h"

using funkor::fuzz::require;
namespace reg = sprelo::registry;

namespace {

// A registry folder of this process's own, set once as the registry root
// and removed at exit. (Kept on the heap: it must outlive the exit handler.)
const std::string& registryDir() {
    static const std::string* dir = [] {
        const char* tmp = std::getenv("TMPDIR");
        auto* d = new std::string(std::string(tmp && *tmp ? tmp : "/tmp") +
                                  "/funkor-fuzz-registry-" + std::to_string(::getpid()));
        std::filesystem::create_directories(*d);
        ::setenv("SPRELO_REGISTRY", d->c_str(), 1);
        std::atexit([] { std::filesystem::remove_all(registryDir()); });
        return d;
    }();
    return *dir;
}

void checkKeyPath(const std::string& key) {
    const std::string n = reg::normaliseKey(key);
    require(reg::normaliseKey(n) == n, "normalising twice changes nothing");
    require(n.empty() || (n.front() != '\\' && n.back() != '\\'), "no separator at the ends");
    require(n.find("\\\\") == std::string::npos && n.find('/') == std::string::npos,
            "one kind of separator, never doubled");
    require(reg::isAtOrBelow(n, n), "a key lies at itself");
    if (!n.empty()) require(reg::isAtOrBelow(n + "\\x", n), "a subkey lies below its key");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text = funkor::fuzz::asText(data, size);
    const std::uint8_t steer = funkor::fuzz::takeByte(text);

    const reg::Keys keys = reg::parseHive(std::string(text));
    const std::string formatted = reg::formatHive(keys);
    const reg::Keys again = reg::parseHive(formatted);
    require(again == keys, "written hive reads back the same");
    require(reg::formatHive(again) == formatted, "written hive is written the same");
    for (const auto& [key, values] : keys) {
        require(!key.empty() && reg::normaliseKey(key) == key, "keys stored normalised");
        checkKeyPath(key);
    }
    checkKeyPath(std::string(text.substr(0, 300)));

    // The first value of the first key, read from the file into a buffer of
    // a size the steering byte gives, with guard bytes behind it.
    if (keys.empty() || keys.begin()->second.empty()) return 0;
    const std::string path = registryDir() + "/HKEY_CURRENT_USER.reg";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    const auto& [key, values] = *keys.begin();
    const auto& [name, value] = *values.begin();
    const std::size_t room = steer % 64;
    std::vector<char> buffer(room + 16, '\x5A');
    const reg::ReadResult r =
        reg::readString(reg::Hive::CurrentUser, key, name, buffer.data(), room);
    for (std::size_t i = room; i < buffer.size(); ++i)
        require(buffer[i] == '\x5A', "nothing written past the buffer");
    if (room == 0) {
        require(r == reg::ReadResult::TooLong, "no room, too long");
        return 0;
    }
    const std::size_t n = std::strlen(buffer.data());
    require(n < room, "terminated within the buffer");
    require(r == (value.size() < room ? reg::ReadResult::Ok : reg::ReadResult::TooLong),
            "too long exactly when it does not fit");
    require(std::memcmp(buffer.data(), value.data(), std::min(value.size(), room - 1)) == 0,
            "the value's first bytes");
    std::remove(path.c_str());
    return 0;
}
