// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The component ABI of Sprelo4Cntrl, as a host sees it: interfaces with
// QueryInterface/AddRef/Release, methods that return a 32-bit status and
// carry their results in out parameters, a dispatch entry Invoke(dispid,
// args) for script-like callers, connection points for events, and the
// library's four exported entry points.
//
// Strings are length-prefixed UTF-16 strings (BSTR) allocated with
// SysAllocString and freed with SysFreeString, both exported by the library.
// A caller keeps ownership of every string it passes in; every string handed
// out is newly allocated and belongs to the caller.
//
// The header is plain C++ with no dependency, so a host can include it and
// load the library with dlopen.

#include <cstddef>
#include <cstdint>

namespace sprelo {

using HRESULT = std::int32_t;
using DISPID = std::int32_t;
using BSTR = char16_t*;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_ACCESSDENIED = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
constexpr HRESULT DISP_E_MEMBERNOTFOUND = static_cast<HRESULT>(0x80020003u);
constexpr HRESULT DISP_E_TYPEMISMATCH = static_cast<HRESULT>(0x80020005u);
constexpr HRESULT DISP_E_UNKNOWNNAME = static_cast<HRESULT>(0x80020006u);
constexpr HRESULT DISP_E_BADPARAMCOUNT = static_cast<HRESULT>(0x8002000Eu);
constexpr HRESULT CONNECT_E_NOCONNECTION = static_cast<HRESULT>(0x80040200u);
constexpr HRESULT CONNECT_E_CANNOTCONNECT = static_cast<HRESULT>(0x80040202u);
constexpr HRESULT STG_E_READFAULT = static_cast<HRESULT>(0x8003001Eu);
constexpr HRESULT STG_E_WRITEFAULT = static_cast<HRESULT>(0x8003001Du);
constexpr HRESULT SELFREG_E_CLASS = static_cast<HRESULT>(0x80040201u);

inline bool Succeeded(HRESULT hr) {
    return hr >= 0;
}

struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

// Identities of the library, fixed once.
constexpr GUID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID IID_IConnectionPointContainer = {
    0xB196B284, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
constexpr GUID IID_IConnectionPoint = {
    0xB196B286, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
constexpr GUID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID IID_IPersistStreamInit = {
    0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};
constexpr GUID IID_IPersistPropertyBag = {
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
constexpr GUID IID_IOleObject = {0x00000112, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID IID_ISpreloNotifyChannel = {
    0x5C1D7E21, 0x93A4, 0x4F0B, {0x8E, 0x61, 0x2A, 0xD4, 0x17, 0x90, 0xC3, 0x5B}};
constexpr GUID CLSID_Sprelo4Control = {
    0x3E8F2A41, 0x6C1B, 0x4D7E, {0x9A, 0x35, 0x71, 0x0C, 0xB2, 0x4E, 0x88, 0x19}};
constexpr GUID IID_ISprelo4Control = {
    0x3E8F2A42, 0x6C1B, 0x4D7E, {0x9A, 0x35, 0x71, 0x0C, 0xB2, 0x4E, 0x88, 0x19}};
constexpr GUID DIID_ISprelo4ControlEvents = {
    0x3E8F2A43, 0x6C1B, 0x4D7E, {0x9A, 0x35, 0x71, 0x0C, 0xB2, 0x4E, 0x88, 0x19}};
constexpr GUID LIBID_SPRELO4CNTRLLib = {
    0x3E8F2A40, 0x6C1B, 0x4D7E, {0x9A, 0x35, 0x71, 0x0C, 0xB2, 0x4E, 0x88, 0x19}};

// Variant values: the kinds the control's methods and events use.
enum VARTYPE : std::uint16_t {
    VT_EMPTY = 0,
    VT_I2 = 2,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_BYREF = 0x4000,
};
struct VARIANT {
    std::uint16_t vt = VT_EMPTY;
    union {
        std::int16_t iVal;
        std::int32_t lVal;
        BSTR bstrVal;
        std::int16_t* piVal;
        std::int32_t* plVal;
        BSTR* pbstrVal;
    };
    VARIANT() : lVal(0) {}
};
// Arguments of Invoke, last argument first (as the dispatch convention
// has it).
struct DISPPARAMS {
    VARIANT* rgvarg = nullptr;
    std::uint32_t cArgs = 0;
};
enum : std::uint16_t {
    DISPATCH_METHOD = 1,
    DISPATCH_PROPERTYGET = 2,
    DISPATCH_PROPERTYPUT = 4,
};

// Interfaces are released through Release only, hence the protected,
// non-virtual destructors.
struct IUnknown {
    virtual HRESULT QueryInterface(const GUID& iid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

  protected:
    ~IUnknown() = default;
};

struct IDispatch : IUnknown {
    // Number of type descriptions offered (always 0 here).
    virtual HRESULT GetTypeInfoCount(std::uint32_t* count) = 0;
    virtual HRESULT GetIDsOfNames(const char16_t* const* names, std::uint32_t count,
                                  DISPID* dispids) = 0;
    virtual HRESULT Invoke(DISPID dispid, std::uint16_t flags, DISPPARAMS* params,
                           VARIANT* result) = 0;

  protected:
    ~IDispatch() = default;
};

struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, const GUID& iid, void** object) = 0;
    virtual HRESULT LockServer(bool lock) = 0;

  protected:
    ~IClassFactory() = default;
};

struct IConnectionPointContainer;
struct IConnectionPoint : IUnknown {
    virtual HRESULT GetConnectionInterface(GUID* iid) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
    virtual HRESULT Advise(IUnknown* sink, std::uint32_t* cookie) = 0;
    virtual HRESULT Unadvise(std::uint32_t cookie) = 0;

  protected:
    ~IConnectionPoint() = default;
};
struct IConnectionPointContainer : IUnknown {
    virtual HRESULT FindConnectionPoint(const GUID& iid, IConnectionPoint** point) = 0;

  protected:
    ~IConnectionPointContainer() = default;
};

// Byte stream the host's document offers for saving and loading.
struct IStream : IUnknown {
    virtual HRESULT Read(void* data, std::uint32_t size, std::uint32_t* read) = 0;
    virtual HRESULT Write(const void* data, std::uint32_t size, std::uint32_t* written) = 0;

  protected:
    ~IStream() = default;
};
// Named values the host's document offers for saving and loading.
struct IPropertyBag : IUnknown {
    virtual HRESULT Read(const char16_t* name, VARIANT* value) = 0;
    virtual HRESULT Write(const char16_t* name, const VARIANT* value) = 0;

  protected:
    ~IPropertyBag() = default;
};

struct IPersist : IUnknown {
    virtual HRESULT GetClassID(GUID* clsid) = 0;

  protected:
    ~IPersist() = default;
};
struct IPersistStreamInit : IPersist {
    virtual HRESULT IsDirty() = 0;
    virtual HRESULT Load(IStream* stream) = 0;
    virtual HRESULT Save(IStream* stream, bool clearDirty) = 0;
    virtual HRESULT GetSizeMax(std::uint64_t* size) = 0;
    virtual HRESULT InitNew() = 0;

  protected:
    ~IPersistStreamInit() = default;
};
struct IPersistPropertyBag : IPersist {
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(IPropertyBag* bag) = 0;
    virtual HRESULT Save(IPropertyBag* bag, bool clearDirty, bool saveAll) = 0;

  protected:
    ~IPersistPropertyBag() = default;
};

// The part of the embedding object this platform needs: the control's
// extent in HIMETRIC (1/100 mm) and its miscellaneous status.
struct SIZEL {
    std::uint32_t cx;
    std::uint32_t cy;
};
struct IOleObject : IUnknown {
    virtual HRESULT SetExtent(std::uint32_t aspect, const SIZEL* size) = 0;
    virtual HRESULT GetExtent(std::uint32_t aspect, SIZEL* size) = 0;
    virtual HRESULT GetMiscStatus(std::uint32_t aspect, std::uint32_t* status) = 0;

  protected:
    ~IOleObject() = default;
};
constexpr std::uint32_t DVASPECT_CONTENT = 1;

// The control's notification channel, in place of a hidden window: the host
// watches the descriptor for reading in its event loop and calls
// DispatchNotifications on its own thread when it is readable; the
// engine's notifications become events there.
struct ISpreloNotifyChannel : IUnknown {
    virtual HRESULT GetDescriptor(std::int32_t* fd) = 0;
    virtual HRESULT DispatchNotifications() = 0;
    // Handles one message as if it had come through the channel.
    virtual HRESULT HandleMessage(std::uint32_t message, std::int32_t wParam,
                                  std::int32_t lParam) = 0;

  protected:
    ~ISpreloNotifyChannel() = default;
};

// The control's automation interface. The methods follow the dispatch ids
// (given with each); every one reports S_OK, and the engine's result travels
// in the last, out parameter.
struct ISprelo4Control : IDispatch {
    virtual HRESULT DLLVersion(std::int32_t* version) = 0;     // 1
    virtual HRESULT ServerVersion(std::int32_t* version) = 0;  // 2
    virtual HRESULT Initialize(std::int32_t* state) = 0;       // 4
    virtual HRESULT IsConnected(std::int32_t* state) = 0;      // 5
    virtual HRESULT Disconnect() = 0;                          // 6
    virtual HRESULT Speak(const char16_t* text, std::int32_t action,
                          std::int32_t* state) = 0;   // 7
    virtual HRESULT Pause(std::int32_t* state) = 0;   // 8
    virtual HRESULT Resume(std::int32_t* state) = 0;  // 9
    virtual HRESULT Stop(std::int32_t* state) = 0;    // 10
    virtual HRESULT Record(const char16_t* fileName, const char16_t* text, std::int32_t action,
                           std::int32_t* state) = 0;                              // 11
    virtual HRESULT IsBusy(std::int32_t* state) = 0;                              // 12
    virtual HRESULT IsPaused(std::int32_t* state) = 0;                            // 13
    virtual HRESULT GetNumberOfFonts(std::int32_t* number) = 0;                   // 14
    virtual HRESULT FindFontAlias(const char16_t* alias, std::int32_t* nth) = 0;  // 15
    virtual HRESULT GetFontName(std::int32_t nth, BSTR* name) = 0;                // 16
    virtual HRESULT GetFontAlias(std::int32_t nth, BSTR* alias) = 0;              // 17
    virtual HRESULT GetFontUUID(std::int32_t nth, BSTR* uuid) = 0;                // 18
    virtual HRESULT GetFontDate(std::int32_t nth, std::int16_t* day, std::int16_t* month,
                                std::int16_t* year, std::int16_t* hour, std::int16_t* minute,
                                std::int32_t* state) = 0;                                // 19
    virtual HRESULT GetFontVersion(std::int32_t nth, std::int32_t* value) = 0;           // 20
    virtual HRESULT GetFontFlags(std::int32_t nth, std::int32_t* value) = 0;             // 21
    virtual HRESULT LoadSettings(const char16_t* application, std::int32_t* state) = 0;  // 22
    virtual HRESULT SaveSettings(const char16_t* application, std::int32_t* state) = 0;  // 23
    virtual HRESULT ResetLocal(std::int32_t* state) = 0;                                 // 24
    virtual HRESULT ResetGlobal(std::int32_t* state) = 0;                                // 25
    virtual HRESULT SetAudioFormat(std::int32_t samplesPerSec, std::int16_t bitsPerSample,
                                   std::int16_t channels, std::int32_t* state) = 0;  // 26
    virtual HRESULT GetAudioFormat(std::int32_t* samplesPerSec, std::int16_t* bitsPerSample,
                                   std::int16_t* channels, std::int32_t* state) = 0;   // 27
    virtual HRESULT SetLocalFont(std::int32_t nth, std::int32_t* state) = 0;           // 28
    virtual HRESULT GetLocalFont(std::int32_t* nth) = 0;                               // 29
    virtual HRESULT SetGlobalFont(std::int32_t nth, std::int32_t* state) = 0;          // 30
    virtual HRESULT GetGlobalFont(std::int32_t* nth) = 0;                              // 31
    virtual HRESULT SetLocalVolume(std::int32_t value, std::int32_t* state) = 0;       // 32
    virtual HRESULT GetLocalVolume(std::int32_t* value) = 0;                           // 33
    virtual HRESULT SetGlobalVolume(std::int32_t value, std::int32_t* state) = 0;      // 34
    virtual HRESULT GetGlobalVolume(std::int32_t* value) = 0;                          // 35
    virtual HRESULT SetLocalPitch(std::int32_t value, std::int32_t* state) = 0;        // 36
    virtual HRESULT GetLocalPitch(std::int32_t* value) = 0;                            // 37
    virtual HRESULT SetGlobalPitch(std::int32_t value, std::int32_t* state) = 0;       // 38
    virtual HRESULT GetGlobalPitch(std::int32_t* value) = 0;                           // 39
    virtual HRESULT SetLocalSpeed(std::int32_t value, std::int32_t* state) = 0;        // 40
    virtual HRESULT GetLocalSpeed(std::int32_t* value) = 0;                            // 41
    virtual HRESULT SetGlobalSpeed(std::int32_t value, std::int32_t* state) = 0;       // 42
    virtual HRESULT GetGlobalSpeed(std::int32_t* value) = 0;                           // 43
    virtual HRESULT SetLocalIntonation(std::int32_t value, std::int32_t* state) = 0;   // 44
    virtual HRESULT GetLocalIntonation(std::int32_t* value) = 0;                       // 45
    virtual HRESULT SetGlobalIntonation(std::int32_t value, std::int32_t* state) = 0;  // 46
    virtual HRESULT GetGlobalIntonation(std::int32_t* value) = 0;                      // 47
    virtual HRESULT SetLocalRoughness(std::int32_t value, std::int32_t* state) = 0;    // 48
    virtual HRESULT GetLocalRoughness(std::int32_t* value) = 0;                        // 49
    virtual HRESULT SetGlobalRoughness(std::int32_t value, std::int32_t* state) = 0;   // 50
    virtual HRESULT GetGlobalRoughness(std::int32_t* value) = 0;                       // 51
    virtual HRESULT NotifyModeLocal(std::int32_t* state) = 0;                          // 52
    virtual HRESULT NotifyModeGlobal(std::int32_t* state) = 0;                         // 53
    virtual HRESULT get_Volume(std::int32_t* value) = 0;                               // 54
    virtual HRESULT put_Volume(std::int32_t value) = 0;
    virtual HRESULT get_Pitch(std::int32_t* value) = 0;  // 55
    virtual HRESULT put_Pitch(std::int32_t value) = 0;
    virtual HRESULT get_Speed(std::int32_t* value) = 0;  // 56
    virtual HRESULT put_Speed(std::int32_t value) = 0;
    virtual HRESULT get_Intonation(std::int32_t* value) = 0;  // 57
    virtual HRESULT put_Intonation(std::int32_t value) = 0;
    virtual HRESULT get_Roughness(std::int32_t* value) = 0;  // 58
    virtual HRESULT put_Roughness(std::int32_t value) = 0;
    virtual HRESULT Skip(std::int32_t* state) = 0;  // 59

  protected:
    ~ISprelo4Control() = default;
};

// Event dispatch ids of the outgoing interface _ISprelo4ControlEvents.
enum : DISPID {
    DISPID_NotifyAction = 1,
    DISPID_NotifyMark = 2,
    DISPID_NotifyChunk = 3,
    DISPID_NotifyParam = 4,
    DISPID_NotifySentence = 5,
    DISPID_NotifyWord = 6,
    DISPID_NotifyMouth = 7,
    DISPID_NotifyViseme = 8,
};

}  // namespace sprelo

// Exported by the library (C linkage, looked up with dlsym).
extern "C" {
using SpreloDllGetClassObjectFn = sprelo::HRESULT (*)(const sprelo::GUID* clsid,
                                                      const sprelo::GUID* iid, void** object);
using SpreloDllSimpleFn = sprelo::HRESULT (*)();
using SpreloSysAllocStringFn = sprelo::BSTR (*)(const char16_t* text);
using SpreloSysFreeStringFn = void (*)(sprelo::BSTR text);
using SpreloSysStringLenFn = std::uint32_t (*)(const char16_t* text);
// SpreloPreloadEngine: finds and loads the speech engine now, from any
// thread, so that a host can have it loaded away from its own thread before
// the control's first call (loading an engine with its audio libraries can
// take a noticeable fraction of a second). 1 when the engine is loaded.
using SpreloPreloadEngineFn = std::int32_t (*)();
}
