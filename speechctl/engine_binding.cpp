// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "speechctl/engine_binding.h"

#include <dlfcn.h>

#include <cstring>

#include "speechctl/registry.h"
#include "speechctl/sprelo_engine.h"

namespace sprelo {

namespace {
const char kEngineKey[] = "SOFTWARE\\Tembrik\\Sprelo";
const char kServerFile[] = "ServerFile";

template <class Fn>
Fn as(void* p) {
    return reinterpret_cast<Fn>(p);
}
}  // namespace

std::string engineLibraryPath(const std::string& serverFile) {
    const auto slash = serverFile.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = serverFile.find_last_of('.');
    if (dot != std::string::npos && dot > nameStart) return serverFile.substr(0, dot) + ".so";
    return serverFile + ".so";
}

bool EngineBinding::EnsureEngine() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (handle_) return true;
    char path[kPathSize];
    std::memset(path, 0, sizeof path);
    using registry::Hive;
    using registry::ReadResult;
    // A value too long for the buffer counts as a failed read, as the
    // system's registry would have it: it is cut within the buffer and
    // the machine-wide value is read instead.
    if (registry::readString(Hive::CurrentUser, kEngineKey, kServerFile, path, sizeof path) !=
        ReadResult::Ok) {
        std::memset(path, 0, sizeof path);
        registry::readString(Hive::LocalMachine, kEngineKey, kServerFile, path, sizeof path);
    }
    if (path[0] == '\0') return false;
    const std::string library = engineLibraryPath(path);
    handle_ = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle_) loadedPath_ = library;
    return handle_ != nullptr;
}

void* EngineBinding::entryPoint(const char* name) {
    if (!EnsureEngine()) return nullptr;
    return dlsym(handle_, name);
}

std::string EngineBinding::loadedPath() {
    std::lock_guard<std::mutex> lock(mutex_);
    return loadedPath_;
}

std::int32_t EngineBinding::noArg(const char* name, std::int32_t missing) {
    void* p = entryPoint(name);
    return p ? as<SpreloNoArgFn>(p)() : missing;
}

void EngineBinding::release() {
    if (void* p = entryPoint("SpreloRelease")) as<SpreloVoidFn>(p)();
}

std::int32_t EngineBinding::intArg(const char* name, std::int32_t arg, std::int32_t missing) {
    void* p = entryPoint(name);
    return p ? as<SpreloIntArgFn>(p)(arg) : missing;
}

std::uint32_t EngineBinding::uintIntArg(const char* name, std::int32_t arg) {
    void* p = entryPoint(name);
    return p ? as<SpreloUIntArgResultFn>(p)(arg) : 0u;
}

std::uint32_t EngineBinding::uintNoArg(const char* name) {
    void* p = entryPoint(name);
    return p ? as<SpreloUIntResultFn>(p)() : 0u;
}

std::int32_t EngineBinding::uintArg(const char* name, std::uint32_t arg) {
    void* p = entryPoint(name);
    return p ? as<SpreloSetUIntFn>(p)(arg) : 0;
}

std::int32_t EngineBinding::text(const char* name, const char* value, std::int32_t missing) {
    void* p = entryPoint(name);
    return p ? as<SpreloTextFn>(p)(value) : missing;
}

std::int32_t EngineBinding::speak(const char* value, std::int32_t action) {
    void* p = entryPoint("SpreloSpeakA");
    return p ? as<SpreloSpeakFn>(p)(value, action) : 0;
}

std::int32_t EngineBinding::record(const char* file, const char* value, std::int32_t action) {
    void* p = entryPoint("SpreloRecordA");
    return p ? as<SpreloRecordFn>(p)(file, value, action) : 0;
}

std::int32_t EngineBinding::buffer(const char* name, std::int32_t nth, char* out, std::int32_t size,
                                   std::int32_t missing) {
    void* p = entryPoint(name);
    return p ? as<SpreloBufferFn>(p)(nth, out, size) : missing;
}

std::int32_t EngineBinding::uuid(std::int32_t nth, unsigned char* out, std::int32_t size) {
    void* p = entryPoint("SpreloGetFontUUID");
    return p ? as<SpreloUuidFn>(p)(nth, out, size) : 0;
}

std::int32_t EngineBinding::notify(const char* name, std::intptr_t channel, std::uint32_t message) {
    void* p = entryPoint(name);
    return p ? as<SpreloNotifyFn>(p)(channel, message, 0) : 0;
}

EngineBinding& processEngine() {
    static EngineBinding* binding = new EngineBinding;  // lives as long as the engine
    return *binding;
}

}  // namespace sprelo
