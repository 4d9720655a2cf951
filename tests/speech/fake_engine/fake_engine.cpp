// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A speech engine for the binding's tests: exports every Sprelo entry point,
// records each call with its arguments, returns what the test set, and posts
// any notification kind through the channel it was given.
//
// Test hooks (C linkage):
//   FakeEngineTakeLog()          the calls since the last take, one per line
//   FakeEngineSet(name, value)   result of the entry point `name`
//   FakeEngineSetText(text)      what GetFontNameA/GetFontAliasA write (cut at
//                                the buffer size, unterminated when it fills it)
//   FakeEnginePost(kind, w, l)   writes the notification registered as kind
//                                0..7 (Action..Viseme) to its channel
//   FakeEnginePostRaw(channel, message, w, l)

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "speechctl/sprelo_engine.h"

namespace {

std::mutex mutex;
std::string callLog;
std::map<std::string, long long> results;
std::string fontText = "Fake Voice";
struct Registered {
    intptr_t channel = -1;
    uint32_t message = 0;
};
Registered registered[8];

long long resultOf(const char* name, long long fallback) {
    auto it = results.find(name);
    return it == results.end() ? fallback : it->second;
}

void record(const std::string& line) {
    callLog += line + "\n";
}

int32_t call0(const char* name, int32_t fallback) {
    std::lock_guard<std::mutex> lock(mutex);
    record(std::string(name) + "()");
    return static_cast<int32_t>(resultOf(name, fallback));
}

int32_t call1(const char* name, int32_t arg, int32_t fallback) {
    std::lock_guard<std::mutex> lock(mutex);
    record(std::string(name) + "(" + std::to_string(arg) + ")");
    return static_cast<int32_t>(resultOf(name, fallback));
}

int32_t callText(const char* name, const char* text, int32_t fallback) {
    std::lock_guard<std::mutex> lock(mutex);
    record(std::string(name) + "(\"" + (text ? text : "(null)") + "\")");
    return static_cast<int32_t>(resultOf(name, fallback));
}

int32_t fillText(const char* name, int32_t nth, char* buffer, int32_t size) {
    std::lock_guard<std::mutex> lock(mutex);
    record(std::string(name) + "(" + std::to_string(nth) + "," + std::to_string(size) + ")");
    const int32_t result = static_cast<int32_t>(resultOf(name, 0));
    if (result == -1) {
        // Reports failure and leaves junk in the buffer.
        if (buffer && size > 0) std::memset(buffer, 'X', static_cast<size_t>(size));
        return -1;
    }
    if (buffer && size > 0) {
        const size_t n = std::min(fontText.size() + 1, static_cast<size_t>(size));
        std::memcpy(buffer, fontText.c_str(), n);  // no 0 when the text fills the buffer
    }
    return result;
}

int32_t notify(int kind, const char* name, intptr_t channel, uint32_t message, int32_t reserved) {
    std::lock_guard<std::mutex> lock(mutex);
    registered[kind] = {channel, message};
    record(std::string(name) + "(channel," + std::to_string(message) + "," +
           std::to_string(reserved) + ")");
    return static_cast<int32_t>(resultOf(name, 1));
}

int postRaw(intptr_t channel, uint32_t message, int32_t w, int32_t l) {
    SpreloNotification n{message, w, l};
    return write(static_cast<int>(channel), &n, sizeof n) == static_cast<ssize_t>(sizeof n) ? 1 : 0;
}

}  // namespace

#define NOARG(fn, fallback)              \
    SPRELO_ENGINE_API int32_t fn(void) { \
        return call0(#fn, fallback);     \
    }
#define INTARG(fn, fallback)                  \
    SPRELO_ENGINE_API int32_t fn(int32_t v) { \
        return call1(#fn, v, fallback);       \
    }

NOARG(SpreloDLLVersion, 0x0401)
NOARG(SpreloServerVersion, 0x0203)
NOARG(SpreloInitialize, 1)
NOARG(SpreloIsConnected, 1)
NOARG(SpreloPause, 1)
NOARG(SpreloResume, 1)
NOARG(SpreloStop, 1)
NOARG(SpreloSkip, 1)
NOARG(SpreloIsBusy, 0)
NOARG(SpreloIsPaused, 0)
NOARG(SpreloGetNumberOfFonts, 2)
NOARG(SpreloResetLocal, 1)
NOARG(SpreloResetGlobal, 1)
NOARG(SpreloGetLocalFont, 0)
NOARG(SpreloGetGlobalFont, 0)
NOARG(SpreloGetLocalVolume, 0)
NOARG(SpreloGetGlobalVolume, 0)
NOARG(SpreloGetLocalPitch, 0)
NOARG(SpreloGetGlobalPitch, 0)
NOARG(SpreloGetLocalSpeed, 100)
NOARG(SpreloGetGlobalSpeed, 100)
NOARG(SpreloGetLocalIntonation, 100)
NOARG(SpreloGetGlobalIntonation, 100)
NOARG(SpreloGetLocalRoughness, 0)
NOARG(SpreloGetGlobalRoughness, 0)
NOARG(SpreloNotifyModeLocal, 1)
NOARG(SpreloNotifyModeGlobal, 1)
INTARG(SpreloGetFontVersion, 1)
INTARG(SpreloGetFontFlags, 0)
INTARG(SpreloSetLocalFont, 1)
INTARG(SpreloSetGlobalFont, 1)
INTARG(SpreloSetLocalVolume, 1)
INTARG(SpreloSetGlobalVolume, 1)
INTARG(SpreloSetLocalPitch, 1)
INTARG(SpreloSetGlobalPitch, 1)
INTARG(SpreloSetLocalSpeed, 1)
INTARG(SpreloSetGlobalSpeed, 1)
INTARG(SpreloSetLocalIntonation, 1)
INTARG(SpreloSetGlobalIntonation, 1)
INTARG(SpreloSetLocalRoughness, 1)
INTARG(SpreloSetGlobalRoughness, 1)

SPRELO_ENGINE_API void SpreloRelease(void) {
    call0("SpreloRelease", 0);
}

SPRELO_ENGINE_API int32_t SpreloSpeakA(const char* text, int32_t action) {
    std::lock_guard<std::mutex> lock(mutex);
    record(std::string("SpreloSpeakA(\"") + (text ? text : "(null)") + "\"," +
           std::to_string(action) + ")");
    return static_cast<int32_t>(resultOf("SpreloSpeakA", 1));
}

SPRELO_ENGINE_API int32_t SpreloRecordA(const char* file, const char* text, int32_t action) {
    std::lock_guard<std::mutex> lock(mutex);
    record(std::string("SpreloRecordA(\"") + (file ? file : "(null)") + "\",\"" +
           (text ? text : "(null)") + "\"," + std::to_string(action) + ")");
    return static_cast<int32_t>(resultOf("SpreloRecordA", 1));
}

SPRELO_ENGINE_API int32_t SpreloFindFontAliasA(const char* alias) {
    return callText("SpreloFindFontAliasA", alias, 1);
}
SPRELO_ENGINE_API int32_t SpreloLoadSettingsA(const char* app) {
    return callText("SpreloLoadSettingsA", app, 1);
}
SPRELO_ENGINE_API int32_t SpreloSaveSettingsA(const char* app) {
    return callText("SpreloSaveSettingsA", app, 1);
}
SPRELO_ENGINE_API int32_t SpreloGetFontNameA(int32_t nth, char* buffer, int32_t size) {
    return fillText("SpreloGetFontNameA", nth, buffer, size);
}
SPRELO_ENGINE_API int32_t SpreloGetFontAliasA(int32_t nth, char* buffer, int32_t size) {
    return fillText("SpreloGetFontAliasA", nth, buffer, size);
}
SPRELO_ENGINE_API int32_t SpreloGetFontUUID(int32_t nth, unsigned char* buffer, int32_t size) {
    std::lock_guard<std::mutex> lock(mutex);
    record("SpreloGetFontUUID(" + std::to_string(nth) + "," + std::to_string(size) + ")");
    for (int32_t i = 0; i < size && i < 16; ++i) buffer[i] = static_cast<unsigned char>(0x10 + i);
    return 1;
}
SPRELO_ENGINE_API uint32_t SpreloGetFontDate(int32_t nth) {
    std::lock_guard<std::mutex> lock(mutex);
    record("SpreloGetFontDate(" + std::to_string(nth) + ")");
    return static_cast<uint32_t>(resultOf("SpreloGetFontDate", 0));
}
SPRELO_ENGINE_API int32_t SpreloSetAudioFormat(uint32_t packed) {
    std::lock_guard<std::mutex> lock(mutex);
    record("SpreloSetAudioFormat(" + std::to_string(packed) + ")");
    return static_cast<int32_t>(resultOf("SpreloSetAudioFormat", 1));
}
SPRELO_ENGINE_API uint32_t SpreloGetAudioFormat(void) {
    std::lock_guard<std::mutex> lock(mutex);
    record("SpreloGetAudioFormat()");
    return static_cast<uint32_t>(resultOf("SpreloGetAudioFormat", 0));
}

#define NOTIFY(kind, fn)                                                          \
    SPRELO_ENGINE_API int32_t fn(intptr_t channel, uint32_t message, int32_t r) { \
        return notify(kind, #fn, channel, message, r);                            \
    }
NOTIFY(0, SpreloNotifyAction)
NOTIFY(1, SpreloNotifyMark)
NOTIFY(2, SpreloNotifyChunk)
NOTIFY(3, SpreloNotifyParam)
NOTIFY(4, SpreloNotifySentence)
NOTIFY(5, SpreloNotifyWord)
NOTIFY(6, SpreloNotifyMouth)
NOTIFY(7, SpreloNotifyViseme)

// ---- test hooks ----

SPRELO_ENGINE_API const char* FakeEngineTakeLog(void) {
    static std::string taken;
    std::lock_guard<std::mutex> lock(mutex);
    taken.swap(callLog);
    callLog.clear();
    return taken.c_str();
}

SPRELO_ENGINE_API void FakeEngineReset(void) {
    std::lock_guard<std::mutex> lock(mutex);
    callLog.clear();
    results.clear();
    fontText = "Fake Voice";
    for (auto& r : registered) r = Registered{};
}

SPRELO_ENGINE_API void FakeEngineSet(const char* name, long long value) {
    std::lock_guard<std::mutex> lock(mutex);
    results[name] = value;
}

SPRELO_ENGINE_API void FakeEngineSetText(const char* text) {
    std::lock_guard<std::mutex> lock(mutex);
    fontText = text;
}

SPRELO_ENGINE_API int FakeEnginePost(int kind, int32_t w, int32_t l) {
    Registered r;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (kind < 0 || kind > 7) return 0;
        r = registered[kind];
    }
    if (r.channel < 0) return 0;
    return postRaw(r.channel, r.message, w, l);
}

SPRELO_ENGINE_API int FakeEnginePostRaw(intptr_t channel, uint32_t message, int32_t w, int32_t l) {
    return postRaw(channel, message, w, l);
}

SPRELO_ENGINE_API intptr_t FakeEngineChannel(int kind) {
    std::lock_guard<std::mutex> lock(mutex);
    return kind >= 0 && kind < 8 ? registered[kind].channel : -1;
}
