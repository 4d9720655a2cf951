// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The library's exported entry points: the class factory, the unload
// check, self-registration, and the string allocator hosts use for the
// control's strings.

#include "speechctl/server.h"

#include <dlfcn.h>

#include <atomic>
#include <new>

#include "speechctl/control.h"
#include "speechctl/packing.h"
#include "speechctl/strings.h"

#define SPRELO_EXPORT extern "C" __attribute__((visibility("default")))

namespace sprelo {

namespace {

const char kDescription[] = "Sprelo4Control Class";
const char kProgId[] = "Sprelo4Cntrl.Sprelo4Control.1";
const char kIndependentProgId[] = "Sprelo4Cntrl.Sprelo4Control";
const char kTypeLibName[] = "Sprelo4Cntrl 1.0 Type Library";

std::string braced(const GUID& g) {
    return "{" + guidText(g) + "}";
}

std::atomic<long>& serverLocks() {
    static std::atomic<long> locks{0};
    return locks;
}

class ClassFactory final : public IClassFactory {
  public:
    HRESULT QueryInterface(const GUID& iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is one static object; its references are counted as
    // locks on the library.
    std::uint32_t AddRef() override { return static_cast<std::uint32_t>(++serverLocks()); }
    std::uint32_t Release() override { return static_cast<std::uint32_t>(--serverLocks()); }
    HRESULT CreateInstance(IUnknown* outer, const GUID& iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        Sprelo4Control* control = nullptr;
        try {
            control = Sprelo4Control::create(processEngine());
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        const HRESULT hr = control->QueryInterface(iid, object);
        control->Release();
        return hr;
    }
    HRESULT LockServer(bool lock) override {
        if (lock)
            ++serverLocks();
        else
            --serverLocks();
        return S_OK;
    }
};

ClassFactory theFactory;

}  // namespace

std::string modulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&modulePath), &info) && info.dli_fname)
        return info.dli_fname;
    return {};
}

void addRegistration(registry::Keys& keys, const std::string& module) {
    const std::string clsid = braced(CLSID_Sprelo4Control);
    const std::string libid = braced(LIBID_SPRELO4CNTRLLib);
    keys[kProgId][""] = kDescription;
    keys[std::string(kProgId) + "\\CLSID"][""] = clsid;
    keys[kIndependentProgId][""] = kDescription;
    keys[std::string(kIndependentProgId) + "\\CLSID"][""] = clsid;
    keys[std::string(kIndependentProgId) + "\\CurVer"][""] = kProgId;
    const std::string c = "CLSID\\" + clsid;
    keys[c][""] = kDescription;
    keys[c + "\\ProgID"][""] = kProgId;
    keys[c + "\\VersionIndependentProgID"][""] = kIndependentProgId;
    keys[c + "\\Programmable"];
    keys[c + "\\InprocServer32"][""] = module;
    keys[c + "\\InprocServer32"]["ThreadingModel"] = "Apartment";
    keys[c + "\\Control"];
    keys[c + "\\Insertable"];
    keys[c + "\\ToolboxBitmap32"][""] = module + ", 101";
    keys[c + "\\MiscStatus"][""] = "0";
    keys[c + "\\MiscStatus\\1"][""] = std::to_string(kMiscStatus);
    keys[c + "\\TypeLib"][""] = libid;
    keys[c + "\\Version"][""] = "1.0";
    // The type library: version 1.0, locale 0x409, held in the library.
    const std::string t = "TypeLib\\" + libid + "\\1.0";
    keys[t][""] = kTypeLibName;
    keys[t + "\\409\\linux"][""] = module;
    keys[t + "\\FLAGS"][""] = "0";
    const auto slash = module.find_last_of('/');
    keys[t + "\\HELPDIR"][""] = slash == std::string::npos ? "" : module.substr(0, slash);
    const struct {
        GUID iid;
        const char* name;
    } interfaces[] = {{IID_ISprelo4Control, "ISprelo4Control"},
                      {DIID_ISprelo4ControlEvents, "_ISprelo4ControlEvents"}};
    for (const auto& i : interfaces) {
        const std::string k = "Interface\\" + braced(i.iid);
        keys[k][""] = i.name;
        keys[k + "\\TypeLib"][""] = libid;
        keys[k + "\\TypeLib"]["Version"] = "1.0";
    }
}

void removeRegistration(registry::Keys& keys) {
    const std::string roots[] = {
        kProgId,
        kIndependentProgId,
        "CLSID\\" + braced(CLSID_Sprelo4Control),
        "TypeLib\\" + braced(LIBID_SPRELO4CNTRLLib),
        "Interface\\" + braced(IID_ISprelo4Control),
        "Interface\\" + braced(DIID_ISprelo4ControlEvents),
    };
    for (auto it = keys.begin(); it != keys.end();) {
        bool owned = false;
        for (const std::string& root : roots)
            owned = owned || registry::isAtOrBelow(it->first, root);
        it = owned ? keys.erase(it) : std::next(it);
    }
}

}  // namespace sprelo

using namespace sprelo;

SPRELO_EXPORT HRESULT DllGetClassObject(const GUID* clsid, const GUID* iid, void** object) {
    if (!clsid || !iid || !object) return E_POINTER;
    *object = nullptr;
    if (!(*clsid == CLSID_Sprelo4Control)) return CLASS_E_CLASSNOTAVAILABLE;
    return theFactory.QueryInterface(*iid, object);
}

SPRELO_EXPORT HRESULT DllCanUnloadNow() {
    return liveObjects() == 0 && serverLocks() == 0 ? S_OK : S_FALSE;
}

SPRELO_EXPORT HRESULT DllRegisterServer() {
    const std::string module = modulePath();
    if (module.empty()) return SELFREG_E_CLASS;
    registry::Keys keys = registry::loadHive(registry::Hive::ClassesRoot);
    addRegistration(keys, module);
    return registry::saveHive(registry::Hive::ClassesRoot, keys) ? S_OK : E_ACCESSDENIED;
}

SPRELO_EXPORT HRESULT DllUnregisterServer() {
    registry::Keys keys = registry::loadHive(registry::Hive::ClassesRoot);
    removeRegistration(keys);
    return registry::saveHive(registry::Hive::ClassesRoot, keys) ? S_OK : E_ACCESSDENIED;
}

SPRELO_EXPORT std::int32_t SpreloPreloadEngine() {
    return processEngine().EnsureEngine() ? 1 : 0;
}

SPRELO_EXPORT BSTR SysAllocString(const char16_t* text) {
    return allocString(text);
}
SPRELO_EXPORT void SysFreeString(BSTR text) {
    freeString(text);
}
SPRELO_EXPORT std::uint32_t SysStringLen(const char16_t* text) {
    return stringLen(text);
}
