// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Helpers for the speech control's tests: a private registry root, the
// fake engine's hooks, a recording event sink and in-memory stream and
// property bag.

#include <dlfcn.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "speechctl/sprelo_abi.h"

namespace speechtest {

// A fresh folder that holds the registry hives while the object lives.
class RegistryRoot {
  public:
    RegistryRoot() {
        char templ[] = "/tmp/sprelo-test-XXXXXX";
        dir_ = mkdtemp(templ);
        setenv("SPRELO_REGISTRY", dir_.c_str(), 1);
    }
    ~RegistryRoot() {
        unsetenv("SPRELO_REGISTRY");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    const std::string& dir() const { return dir_; }
    std::string hive(const char* name) const { return dir_ + "/" + name + ".reg"; }
    void write(const char* hiveName, const std::string& text) const {
        std::ofstream(hive(hiveName), std::ios::binary) << text;
    }
    std::string read(const char* hiveName) const {
        std::ifstream in(hive(hiveName), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Points HKEY_CURRENT_USER (or another hive) at an engine file.
    void setServerFile(const std::string& file, const char* hiveName = "HKEY_CURRENT_USER") const {
        write(hiveName, "[SOFTWARE\\Tembrik\\Sprelo]\n\"ServerFile\"=\"" + file + "\"\n");
    }

  private:
    std::string dir_;
};

// The fake engine's test hooks, reached through its own handle.
struct FakeEngine {
    void* handle = dlopen(FAKE_ENGINE, RTLD_NOW | RTLD_LOCAL);
    template <class Fn>
    Fn hook(const char* name) const {
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }
    std::string takeLog() const { return hook<const char* (*)()>("FakeEngineTakeLog")(); }
    void reset() const { hook<void (*)()>("FakeEngineReset")(); }
    void set(const char* name, long long value) const {
        hook<void (*)(const char*, long long)>("FakeEngineSet")(name, value);
    }
    void setText(const char* text) const { hook<void (*)(const char*)>("FakeEngineSetText")(text); }
    int post(int kind, std::int32_t w, std::int32_t l) const {
        return hook<int (*)(int, std::int32_t, std::int32_t)>("FakeEnginePost")(kind, w, l);
    }
    int postRaw(std::intptr_t channel, std::uint32_t message, std::int32_t w,
                std::int32_t l) const {
        return hook<int (*)(std::intptr_t, std::uint32_t, std::int32_t, std::int32_t)>(
            "FakeEnginePostRaw")(channel, message, w, l);
    }
    std::intptr_t channel(int kind) const {
        return hook<std::intptr_t (*)(int)>("FakeEngineChannel")(kind);
    }
};

// An event sink that writes down every event it gets: "NotifyMark(7)".
class RecordingSink final : public sprelo::IDispatch {
  public:
    std::vector<std::string> events;
    sprelo::HRESULT result = sprelo::S_OK;

    sprelo::HRESULT QueryInterface(const sprelo::GUID& iid, void** object) override {
        if (iid == sprelo::IID_IUnknown || iid == sprelo::IID_IDispatch ||
            iid == sprelo::DIID_ISprelo4ControlEvents) {
            *object = this;
            AddRef();
            return sprelo::S_OK;
        }
        *object = nullptr;
        return sprelo::E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return ++refs; }
    std::uint32_t Release() override { return --refs; }
    sprelo::HRESULT GetTypeInfoCount(std::uint32_t* count) override {
        *count = 0;
        return sprelo::S_OK;
    }
    sprelo::HRESULT GetIDsOfNames(const char16_t* const*, std::uint32_t, sprelo::DISPID*) override {
        return sprelo::E_NOTIMPL;
    }
    sprelo::HRESULT Invoke(sprelo::DISPID dispid, std::uint16_t, sprelo::DISPPARAMS* params,
                           sprelo::VARIANT*) override {
        static const char* const names[] = {"?",           "NotifyAction", "NotifyMark",
                                            "NotifyChunk", "NotifyParam",  "NotifySentence",
                                            "NotifyWord",  "NotifyMouth",  "NotifyViseme"};
        std::string e = dispid >= 1 && dispid <= 8 ? names[dispid] : "?";
        e += "(";
        for (std::uint32_t i = params->cArgs; i > 0; --i) {
            const sprelo::VARIANT& v = params->rgvarg[i - 1];
            e += (v.vt == sprelo::VT_I4 ? std::to_string(v.lVal) : std::string("bad type"));
            if (i > 1) e += ",";
        }
        events.push_back(e + ")");
        return result;
    }
    std::uint32_t refs = 1;
};

// Stream over a byte vector.
class MemoryStream final : public sprelo::IStream {
  public:
    std::vector<unsigned char> bytes;
    std::size_t pos = 0;
    sprelo::HRESULT QueryInterface(const sprelo::GUID&, void** object) override {
        *object = nullptr;
        return sprelo::E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return 1; }
    std::uint32_t Release() override { return 1; }
    sprelo::HRESULT Read(void* data, std::uint32_t size, std::uint32_t* read) override {
        std::uint32_t n = 0;
        while (n < size && pos < bytes.size())
            static_cast<unsigned char*>(data)[n++] = bytes[pos++];
        *read = n;
        return sprelo::S_OK;
    }
    sprelo::HRESULT Write(const void* data, std::uint32_t size, std::uint32_t* written) override {
        const auto* p = static_cast<const unsigned char*>(data);
        bytes.insert(bytes.end(), p, p + size);
        *written = size;
        return sprelo::S_OK;
    }
};

// Property bag over a map of numbers.
class MemoryBag final : public sprelo::IPropertyBag {
  public:
    std::map<std::u16string, std::int32_t> values;
    sprelo::HRESULT QueryInterface(const sprelo::GUID&, void** object) override {
        *object = nullptr;
        return sprelo::E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return 1; }
    std::uint32_t Release() override { return 1; }
    sprelo::HRESULT Read(const char16_t* name, sprelo::VARIANT* value) override {
        auto it = values.find(name);
        if (it == values.end()) return sprelo::E_INVALIDARG;
        value->vt = sprelo::VT_I4;
        value->lVal = it->second;
        return sprelo::S_OK;
    }
    sprelo::HRESULT Write(const char16_t* name, const sprelo::VARIANT* value) override {
        values[name] = value->lVal;
        return sprelo::S_OK;
    }
};

// Waits (generously) until `fd` is readable; false when it never became so.
inline bool waitReadable(int fd, int timeoutMs = 60000) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, timeoutMs) == 1;
}

}  // namespace speechtest
