// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The speech engine binding: finds the engine library through the registry
// value "ServerFile" (HKEY_CURRENT_USER first, then HKEY_LOCAL_MACHINE, key
// SOFTWARE\Tembrik\Sprelo), loads it on first use and keeps it loaded for
// the rest of the process. Every operation looks the engine up again while
// it is missing (so an engine installed later is found without a restart)
// and looks its entry point up by name on every call; when either is
// missing the operation yields its "missing" value and calls nothing.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

namespace sprelo {

// The library a "ServerFile" value names: the extension of the file name
// (from its last ".") becomes ".so"; a file name without one gets ".so"
// appended. Dots in folder names and a leading dot of the file name do not
// count as an extension.
std::string engineLibraryPath(const std::string& serverFile);

class EngineBinding {
  public:
    static constexpr std::size_t kPathSize = 260;

    // True when the engine is loaded (loading it now if it can be).
    bool EnsureEngine();
    // The entry point `name`, or nullptr when the engine or it is missing.
    void* entryPoint(const char* name);

    std::int32_t noArg(const char* name, std::int32_t missing);
    void release();
    std::int32_t intArg(const char* name, std::int32_t arg, std::int32_t missing);
    std::uint32_t uintIntArg(const char* name, std::int32_t arg);
    std::uint32_t uintNoArg(const char* name);
    std::int32_t uintArg(const char* name, std::uint32_t arg);
    std::int32_t text(const char* name, const char* text, std::int32_t missing);
    std::int32_t speak(const char* text, std::int32_t action);
    std::int32_t record(const char* file, const char* text, std::int32_t action);
    // Calls an entry point that fills `buffer` of `size` bytes.
    std::int32_t buffer(const char* name, std::int32_t nth, char* buffer, std::int32_t size,
                        std::int32_t missing);
    std::int32_t uuid(std::int32_t nth, unsigned char* buffer, std::int32_t size);
    std::int32_t notify(const char* name, std::intptr_t channel, std::uint32_t message);

    // The path the engine was loaded from, empty while none is.
    std::string loadedPath();

  private:
    std::mutex mutex_;
    void* handle_ = nullptr;
    std::string loadedPath_;
};

// The binding shared by every control of the process.
EngineBinding& processEngine();

}  // namespace sprelo
