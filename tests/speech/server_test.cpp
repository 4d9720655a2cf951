// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The built library as a host meets it: loaded with dlopen, the control
// made through its class factory, and its registration written and removed.

#include <gtest/gtest.h>

#include <cstdlib>

#include "speech_support.h"
#include "speechctl/registry.h"

using namespace sprelo;
using speechtest::RegistryRoot;

namespace {

struct Library {
    void* handle = dlopen(SPRELO4CNTRL_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    template <class Fn>
    Fn entry(const char* name) const {
        return reinterpret_cast<Fn>(dlsym(handle, name));
    }
};

TEST(ControlLibrary, ExportsItsEntryPoints) {
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    for (const char* name :
         {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer",
          "SysAllocString", "SysFreeString", "SysStringLen"})
        EXPECT_NE(lib.entry<void*>(name), nullptr) << name;
    // Nothing of its inner workings leaks out.
    EXPECT_EQ(lib.entry<void*>("_ZN6sprelo13processEngineEv"), nullptr);
}

TEST(ControlLibrary, FactoryMakesTheControlAndUnloadWaitsForIt) {
    RegistryRoot root;
    root.setServerFile(FAKE_ENGINE);
    Library lib;
    auto getClass = lib.entry<SpreloDllGetClassObjectFn>("DllGetClassObject");
    auto canUnload = lib.entry<SpreloDllSimpleFn>("DllCanUnloadNow");
    ASSERT_NE(getClass, nullptr);

    void* object = nullptr;
    EXPECT_EQ(getClass(&IID_IDispatch, &IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);

    ASSERT_EQ(getClass(&CLSID_Sprelo4Control, &IID_IClassFactory, &object), S_OK);
    auto* factory = static_cast<IClassFactory*>(object);
    EXPECT_EQ(canUnload(), S_FALSE) << "the factory is held";
    void* made = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_ISprelo4Control, &made), S_OK);
    factory->Release();
    auto* control = static_cast<ISprelo4Control*>(made);
    EXPECT_EQ(canUnload(), S_FALSE) << "a control is alive";

    std::int32_t speed = 0, version = 0;
    control->get_Speed(&speed);
    control->DLLVersion(&version);
    EXPECT_EQ(speed, 100);
    EXPECT_EQ(version, 0x0401);
    control->Release();
    EXPECT_EQ(canUnload(), S_OK);
}

TEST(ControlLibrary, RegistrationAddsItsKeysAndUnregistrationRemovesOnlyThose) {
    RegistryRoot root;
    const std::string before =
        "[CLSID]\n"
        "[CLSID\\{00000000-1111-2222-3333-444444444444}]\n@=\"Other Class\"\n"
        "[CLSID\\{00000000-1111-2222-3333-444444444444}\\InprocServer32]\n@=\"/usr/lib/other.so\"\n"
        "[Other.Thing.1]\n@=\"Other Class\"\n"
        "[TypeLib]\n[Interface]\n";
    root.write("HKEY_CLASSES_ROOT", before);
    const registry::Keys original = registry::parseHive(before);

    Library lib;
    ASSERT_EQ(lib.entry<SpreloDllSimpleFn>("DllRegisterServer")(), S_OK);
    const registry::Keys keys = registry::loadHive(registry::Hive::ClassesRoot);
    const std::string clsid = "CLSID\\{3E8F2A41-6C1B-4D7E-9A35-710CB24E8819}";
    const struct {
        std::string key, name, value;
    } expected[] = {
        {"Sprelo4Cntrl.Sprelo4Control.1", "", "Sprelo4Control Class"},
        {"Sprelo4Cntrl.Sprelo4Control.1\\CLSID", "", "{3E8F2A41-6C1B-4D7E-9A35-710CB24E8819}"},
        {"Sprelo4Cntrl.Sprelo4Control", "", "Sprelo4Control Class"},
        {"Sprelo4Cntrl.Sprelo4Control\\CurVer", "", "Sprelo4Cntrl.Sprelo4Control.1"},
        {clsid, "", "Sprelo4Control Class"},
        {clsid + "\\ProgID", "", "Sprelo4Cntrl.Sprelo4Control.1"},
        {clsid + "\\VersionIndependentProgID", "", "Sprelo4Cntrl.Sprelo4Control"},
        {clsid + "\\InprocServer32", "", SPRELO4CNTRL_LIBRARY},
        {clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {clsid + "\\ToolboxBitmap32", "", std::string(SPRELO4CNTRL_LIBRARY) + ", 101"},
        {clsid + "\\MiscStatus", "", "0"},
        {clsid + "\\MiscStatus\\1", "", "132497"},
        {clsid + "\\TypeLib", "", "{3E8F2A40-6C1B-4D7E-9A35-710CB24E8819}"},
        {clsid + "\\Version", "", "1.0"},
    };
    for (const auto& e : expected) {
        auto k = keys.find(e.key);
        ASSERT_NE(k, keys.end()) << e.key;
        auto v = k->second.find(e.name);
        ASSERT_NE(v, k->second.end()) << e.key << " " << e.name;
        EXPECT_EQ(v->second, e.value) << e.key;
    }
    for (const char* empty : {"\\Programmable", "\\Control", "\\Insertable"})
        EXPECT_EQ(keys.count(clsid + empty), 1u) << empty;

    ASSERT_EQ(lib.entry<SpreloDllSimpleFn>("DllUnregisterServer")(), S_OK);
    EXPECT_EQ(registry::loadHive(registry::Hive::ClassesRoot), original);
}

TEST(ControlLibrary, RegistrationFailureIsReported) {
    RegistryRoot root;
    // The registry folder is a plain file: nothing can be written below it.
    const std::string blocked = root.dir() + "/blocked";
    std::ofstream(blocked) << "x";
    setenv("SPRELO_REGISTRY", blocked.c_str(), 1);
    Library lib;
    EXPECT_NE(lib.entry<SpreloDllSimpleFn>("DllRegisterServer")(), S_OK);
    EXPECT_NE(lib.entry<SpreloDllSimpleFn>("DllUnregisterServer")(), S_OK);
}

TEST(RegistrationTool, SetsTheEngineForTheUserAndTheMachine) {
    RegistryRoot root;
    const std::string tool = SPRELO_REGSVR;
    ASSERT_EQ(std::system((tool + " --engine " FAKE_ENGINE " >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system((tool + " --engine " EMPTY_ENGINE " --machine >/dev/null").c_str()), 0);
    char path[260];
    EXPECT_EQ(registry::readString(registry::Hive::CurrentUser, "SOFTWARE\\Tembrik\\Sprelo",
                                   "ServerFile", path, sizeof path),
              registry::ReadResult::Ok);
    EXPECT_STREQ(path, FAKE_ENGINE);
    EXPECT_EQ(registry::readString(registry::Hive::LocalMachine, "SOFTWARE\\Tembrik\\Sprelo",
                                   "ServerFile", path, sizeof path),
              registry::ReadResult::Ok);
    EXPECT_STREQ(path, EMPTY_ENGINE);
    EXPECT_EQ(std::system((tool + " --show >/dev/null").c_str()), 0);
    EXPECT_EQ(std::system((tool + " --engine-remove >/dev/null").c_str()), 0);
    EXPECT_EQ(registry::readString(registry::Hive::CurrentUser, "SOFTWARE\\Tembrik\\Sprelo",
                                   "ServerFile", path, sizeof path),
              registry::ReadResult::NoValue);
    EXPECT_NE(std::system((tool + " --engine /no/such/engine.so 2>/dev/null").c_str()), 0);
}

}  // namespace
