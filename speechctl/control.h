// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Sprelo4Control: the speech control object. It forwards its methods to the
// engine binding, keeps five voice settings of its own that it hands to the
// engine on Initialize, and turns the engine's notifications, which arrive
// through a pipe (the control's "window"), into the events of
// _ISprelo4ControlEvents, fired on the host's thread when the host calls
// DispatchNotifications. It also offers what a host needs to embed and save
// it: extent, miscellaneous status, stream and property-bag persistence.

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "speechctl/engine_binding.h"
#include "speechctl/sprelo_abi.h"

namespace sprelo {

// Objects and server locks alive in the library (for DllCanUnloadNow).
std::atomic<long>& liveObjects();

// Miscellaneous status of the control: set client site first, invisible at
// run time, activate when visible, inside-out, cannot link inside, recompose
// on resize.
constexpr std::uint32_t kMiscStatus = 132497;
// Version word at the start of the saved settings.
constexpr std::uint32_t kStreamVersion = 0x300;
constexpr std::uint32_t kStreamSize = 42;

class Sprelo4Control final : public ISprelo4Control,
                             public IConnectionPointContainer,
                             public IPersistStreamInit,
                             public IPersistPropertyBag,
                             public IOleObject,
                             public ISpreloNotifyChannel {
  public:
    // Created with one reference. `engine` must outlive the control.
    static Sprelo4Control* create(EngineBinding& engine);

    // IUnknown
    HRESULT QueryInterface(const GUID& iid, void** object) override;
    std::uint32_t AddRef() override;
    std::uint32_t Release() override;

    // IDispatch
    HRESULT GetTypeInfoCount(std::uint32_t* count) override;
    HRESULT GetIDsOfNames(const char16_t* const* names, std::uint32_t count,
                          DISPID* dispids) override;
    HRESULT Invoke(DISPID dispid, std::uint16_t flags, DISPPARAMS* params,
                   VARIANT* result) override;

    // ISprelo4Control
    HRESULT DLLVersion(std::int32_t* version) override;
    HRESULT ServerVersion(std::int32_t* version) override;
    HRESULT Initialize(std::int32_t* state) override;
    HRESULT IsConnected(std::int32_t* state) override;
    HRESULT Disconnect() override;
    HRESULT Speak(const char16_t* text, std::int32_t action, std::int32_t* state) override;
    HRESULT Pause(std::int32_t* state) override;
    HRESULT Resume(std::int32_t* state) override;
    HRESULT Stop(std::int32_t* state) override;
    HRESULT Record(const char16_t* fileName, const char16_t* text, std::int32_t action,
                   std::int32_t* state) override;
    HRESULT IsBusy(std::int32_t* state) override;
    HRESULT IsPaused(std::int32_t* state) override;
    HRESULT GetNumberOfFonts(std::int32_t* number) override;
    HRESULT FindFontAlias(const char16_t* alias, std::int32_t* nth) override;
    HRESULT GetFontName(std::int32_t nth, BSTR* name) override;
    HRESULT GetFontAlias(std::int32_t nth, BSTR* alias) override;
    HRESULT GetFontUUID(std::int32_t nth, BSTR* uuid) override;
    HRESULT GetFontDate(std::int32_t nth, std::int16_t* day, std::int16_t* month,
                        std::int16_t* year, std::int16_t* hour, std::int16_t* minute,
                        std::int32_t* state) override;
    HRESULT GetFontVersion(std::int32_t nth, std::int32_t* value) override;
    HRESULT GetFontFlags(std::int32_t nth, std::int32_t* value) override;
    HRESULT LoadSettings(const char16_t* application, std::int32_t* state) override;
    HRESULT SaveSettings(const char16_t* application, std::int32_t* state) override;
    HRESULT ResetLocal(std::int32_t* state) override;
    HRESULT ResetGlobal(std::int32_t* state) override;
    HRESULT SetAudioFormat(std::int32_t samplesPerSec, std::int16_t bitsPerSample,
                           std::int16_t channels, std::int32_t* state) override;
    HRESULT GetAudioFormat(std::int32_t* samplesPerSec, std::int16_t* bitsPerSample,
                           std::int16_t* channels, std::int32_t* state) override;
    HRESULT SetLocalFont(std::int32_t nth, std::int32_t* state) override;
    HRESULT GetLocalFont(std::int32_t* nth) override;
    HRESULT SetGlobalFont(std::int32_t nth, std::int32_t* state) override;
    HRESULT GetGlobalFont(std::int32_t* nth) override;
    HRESULT SetLocalVolume(std::int32_t value, std::int32_t* state) override;
    HRESULT GetLocalVolume(std::int32_t* value) override;
    HRESULT SetGlobalVolume(std::int32_t value, std::int32_t* state) override;
    HRESULT GetGlobalVolume(std::int32_t* value) override;
    HRESULT SetLocalPitch(std::int32_t value, std::int32_t* state) override;
    HRESULT GetLocalPitch(std::int32_t* value) override;
    HRESULT SetGlobalPitch(std::int32_t value, std::int32_t* state) override;
    HRESULT GetGlobalPitch(std::int32_t* value) override;
    HRESULT SetLocalSpeed(std::int32_t value, std::int32_t* state) override;
    HRESULT GetLocalSpeed(std::int32_t* value) override;
    HRESULT SetGlobalSpeed(std::int32_t value, std::int32_t* state) override;
    HRESULT GetGlobalSpeed(std::int32_t* value) override;
    HRESULT SetLocalIntonation(std::int32_t value, std::int32_t* state) override;
    HRESULT GetLocalIntonation(std::int32_t* value) override;
    HRESULT SetGlobalIntonation(std::int32_t value, std::int32_t* state) override;
    HRESULT GetGlobalIntonation(std::int32_t* value) override;
    HRESULT SetLocalRoughness(std::int32_t value, std::int32_t* state) override;
    HRESULT GetLocalRoughness(std::int32_t* value) override;
    HRESULT SetGlobalRoughness(std::int32_t value, std::int32_t* state) override;
    HRESULT GetGlobalRoughness(std::int32_t* value) override;
    HRESULT NotifyModeLocal(std::int32_t* state) override;
    HRESULT NotifyModeGlobal(std::int32_t* state) override;
    HRESULT get_Volume(std::int32_t* value) override;
    HRESULT put_Volume(std::int32_t value) override;
    HRESULT get_Pitch(std::int32_t* value) override;
    HRESULT put_Pitch(std::int32_t value) override;
    HRESULT get_Speed(std::int32_t* value) override;
    HRESULT put_Speed(std::int32_t value) override;
    HRESULT get_Intonation(std::int32_t* value) override;
    HRESULT put_Intonation(std::int32_t value) override;
    HRESULT get_Roughness(std::int32_t* value) override;
    HRESULT put_Roughness(std::int32_t value) override;
    HRESULT Skip(std::int32_t* state) override;

    // IConnectionPointContainer
    HRESULT FindConnectionPoint(const GUID& iid, IConnectionPoint** point) override;

    // IPersist, IPersistStreamInit, IPersistPropertyBag
    HRESULT GetClassID(GUID* clsid) override;
    HRESULT IsDirty() override;
    HRESULT Load(IStream* stream) override;
    HRESULT Save(IStream* stream, bool clearDirty) override;
    HRESULT GetSizeMax(std::uint64_t* size) override;
    HRESULT InitNew() override;
    HRESULT Load(IPropertyBag* bag) override;
    HRESULT Save(IPropertyBag* bag, bool clearDirty, bool saveAll) override;

    // IOleObject
    HRESULT SetExtent(std::uint32_t aspect, const SIZEL* size) override;
    HRESULT GetExtent(std::uint32_t aspect, SIZEL* size) override;
    HRESULT GetMiscStatus(std::uint32_t aspect, std::uint32_t* status) override;

    // ISpreloNotifyChannel
    HRESULT GetDescriptor(std::int32_t* fd) override;
    HRESULT DispatchNotifications() override;
    HRESULT HandleMessage(std::uint32_t message, std::int32_t wParam, std::int32_t lParam) override;

  private:
    explicit Sprelo4Control(EngineBinding& engine);
    ~Sprelo4Control();

    class EventPoint;
    friend class EventPoint;

    void fire(DISPID dispid, std::int32_t first, std::int32_t second, int count);
    HRESULT setVoice(const char* entry, std::int32_t value, std::int32_t* state);
    HRESULT getVoice(const char* entry, std::int32_t* value);
    HRESULT fontText(const char* entry, std::int32_t nth, BSTR* out);
    HRESULT invokeMember(DISPID dispid, std::uint16_t flags, DISPPARAMS* params, VARIANT* result);

    std::atomic<std::uint32_t> refs_{1};
    EngineBinding& engine_;
    std::int32_t volume_ = 0;
    std::int32_t pitch_ = 0;
    std::int32_t speed_ = 100;
    std::int32_t intonation_ = 100;
    std::int32_t roughness_ = 0;
    SIZEL extent_{};
    bool dirty_ = false;

    // Notification pipe: the engine writes into writeFd_, the host reads.
    int readFd_ = -1;
    int writeFd_ = -1;
    bool channelGiven_ = false;
    unsigned char pending_[sizeof(std::uint32_t) * 3] = {};
    std::size_t pendingBytes_ = 0;

    struct Sink {
        std::uint32_t cookie;
        IDispatch* sink;
    };
    std::vector<Sink> sinks_;
    std::uint32_t nextCookie_ = 1;
    EventPoint* point_;
};

}  // namespace sprelo
