// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "speechctl/control.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "speechctl/packing.h"
#include "speechctl/sprelo_engine.h"
#include "speechctl/strings.h"

namespace sprelo {

std::atomic<long>& liveObjects() {
    static std::atomic<long> count{0};
    return count;
}

namespace {
// Size of the buffers that receive texts from the engine. The buffer has
// one byte more than the engine is told, so that what it wrote is always
// terminated.
constexpr std::int32_t kTextBuffer = 128;
constexpr std::int32_t kUuidBuffer = 16;
// Records read per DispatchNotifications, so that an engine that floods the
// channel cannot hold the host's thread; the rest waits for the next turn.
constexpr int kRecordsPerTurn = 256;

struct Registration {
    const char* entry;
    std::uint32_t message;
};
constexpr Registration kRegistrations[] = {
    {"SpreloNotifyAction", SPRELO_MSG_ACTION},     {"SpreloNotifyMark", SPRELO_MSG_MARK},
    {"SpreloNotifyChunk", SPRELO_MSG_CHUNK},       {"SpreloNotifyParam", SPRELO_MSG_PARAM},
    {"SpreloNotifySentence", SPRELO_MSG_SENTENCE}, {"SpreloNotifyWord", SPRELO_MSG_WORD},
    {"SpreloNotifyMouth", SPRELO_MSG_MOUTH},       {"SpreloNotifyViseme", SPRELO_MSG_VISEME},
};

void setOut(std::int32_t* out, std::int32_t value) {
    if (out) *out = value;
}
}  // namespace

// The control's one connection point, for _ISprelo4ControlEvents. It shares
// the control's reference count.
class Sprelo4Control::EventPoint final : public IConnectionPoint {
  public:
    explicit EventPoint(Sprelo4Control& owner) : owner_(owner) {}
    HRESULT QueryInterface(const GUID& iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
            *object = static_cast<IConnectionPoint*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return owner_.AddRef(); }
    std::uint32_t Release() override { return owner_.Release(); }
    HRESULT GetConnectionInterface(GUID* iid) override {
        if (!iid) return E_POINTER;
        *iid = DIID_ISprelo4ControlEvents;
        return S_OK;
    }
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override {
        if (!container) return E_POINTER;
        *container = static_cast<IConnectionPointContainer*>(&owner_);
        owner_.AddRef();
        return S_OK;
    }
    HRESULT Advise(IUnknown* sink, std::uint32_t* cookie) override {
        if (!sink || !cookie) return E_POINTER;
        void* found = nullptr;
        if (!Succeeded(sink->QueryInterface(DIID_ISprelo4ControlEvents, &found)) &&
            !Succeeded(sink->QueryInterface(IID_IDispatch, &found)))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = owner_.nextCookie_++;
        owner_.sinks_.push_back({*cookie, static_cast<IDispatch*>(found)});
        return S_OK;
    }
    HRESULT Unadvise(std::uint32_t cookie) override {
        for (auto it = owner_.sinks_.begin(); it != owner_.sinks_.end(); ++it) {
            if (it->cookie == cookie) {
                IDispatch* sink = it->sink;
                owner_.sinks_.erase(it);
                sink->Release();
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }

  private:
    Sprelo4Control& owner_;
};

Sprelo4Control* Sprelo4Control::create(EngineBinding& engine) {
    return new Sprelo4Control(engine);
}

Sprelo4Control::Sprelo4Control(EngineBinding& engine)
    : engine_(engine), point_(new EventPoint(*this)) {
    ++liveObjects();
    // 32 x 32 screen pixels; without a screen to ask, 96 pixels per inch.
    extent_.cx = himetricFromPixels(32, 96);
    extent_.cy = himetricFromPixels(32, 96);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        readFd_ = fds[0];
        writeFd_ = fds[1];
    }
}

Sprelo4Control::~Sprelo4Control() {
    for (const Sink& s : sinks_) s.sink->Release();
    if (readFd_ >= 0) close(readFd_);
    if (writeFd_ >= 0) {
        if (channelGiven_) {
            // The engine still holds this descriptor and may write to it at
            // any time. Closing it would let the number be reused for some
            // other file that the engine would then write into; it is
            // turned into /dev/null instead and stays open.
            int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
            if (null >= 0) {
                dup2(null, writeFd_);
                close(null);
            }
        } else {
            close(writeFd_);
        }
    }
    delete point_;
    --liveObjects();
}

HRESULT Sprelo4Control::QueryInterface(const GUID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_ISprelo4Control)
        *object = static_cast<ISprelo4Control*>(this);
    else if (iid == IID_IConnectionPointContainer)
        *object = static_cast<IConnectionPointContainer*>(this);
    else if (iid == IID_IPersistStreamInit || iid == IID_IPersist)
        *object = static_cast<IPersistStreamInit*>(this);
    else if (iid == IID_IPersistPropertyBag)
        *object = static_cast<IPersistPropertyBag*>(this);
    else if (iid == IID_IOleObject)
        *object = static_cast<IOleObject*>(this);
    else if (iid == IID_ISpreloNotifyChannel)
        *object = static_cast<ISpreloNotifyChannel*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

std::uint32_t Sprelo4Control::AddRef() {
    return ++refs_;
}

std::uint32_t Sprelo4Control::Release() {
    const std::uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
}

// ---- methods forwarded to the engine ----

HRESULT Sprelo4Control::DLLVersion(std::int32_t* v) {
    setOut(v, engine_.noArg("SpreloDLLVersion", 0));
    return S_OK;
}
HRESULT Sprelo4Control::ServerVersion(std::int32_t* v) {
    setOut(v, engine_.noArg("SpreloServerVersion", 0));
    return S_OK;
}

HRESULT Sprelo4Control::Initialize(std::int32_t* state) {
    const std::int32_t ready = engine_.noArg("SpreloInitialize", 0);
    setOut(state, ready);
    if (ready == 0) return S_OK;
    if (writeFd_ >= 0) {
        for (const Registration& r : kRegistrations) engine_.notify(r.entry, writeFd_, r.message);
        channelGiven_ = true;
    }
    engine_.intArg("SpreloSetLocalVolume", volume_, 0);
    engine_.intArg("SpreloSetLocalPitch", pitch_, 0);
    engine_.intArg("SpreloSetLocalSpeed", speed_, 0);
    engine_.intArg("SpreloSetLocalIntonation", intonation_, 0);
    engine_.intArg("SpreloSetLocalRoughness", roughness_, 0);
    return S_OK;
}

HRESULT Sprelo4Control::IsConnected(std::int32_t* s) {
    setOut(s, engine_.noArg("SpreloIsConnected", 0));
    return S_OK;
}
HRESULT Sprelo4Control::Disconnect() {
    engine_.release();
    return S_OK;
}

HRESULT Sprelo4Control::Speak(const char16_t* text, std::int32_t action, std::int32_t* state) {
    std::string narrow;
    setOut(state, toNarrow(text, &narrow) ? engine_.speak(narrow.c_str(), action) : 0);
    return S_OK;
}

HRESULT Sprelo4Control::Pause(std::int32_t* s) {
    setOut(s, engine_.noArg("SpreloPause", 0));
    return S_OK;
}
HRESULT Sprelo4Control::Resume(std::int32_t* s) {
    setOut(s, engine_.noArg("SpreloResume", 0));
    return S_OK;
}
HRESULT Sprelo4Control::Stop(std::int32_t* s) {
    setOut(s, engine_.noArg("SpreloStop", 0));
    return S_OK;
}
HRESULT Sprelo4Control::Skip(std::int32_t* s) {
    setOut(s, engine_.noArg("SpreloSkip", 0));
    return S_OK;
}

HRESULT Sprelo4Control::Record(const char16_t* fileName, const char16_t* text, std::int32_t action,
                               std::int32_t* state) {
    std::string file, narrow;
    const bool converted = toNarrow(fileName, &file) && toNarrow(text, &narrow);
    setOut(state, converted ? engine_.record(file.c_str(), narrow.c_str(), action) : 0);
    return S_OK;
}

HRESULT Sprelo4Control::IsBusy(std::int32_t* s) {
    setOut(s, engine_.noArg("SpreloIsBusy", 0));
    return S_OK;
}
HRESULT Sprelo4Control::IsPaused(std::int32_t* s) {
    setOut(s, engine_.noArg("SpreloIsPaused", 0));
    return S_OK;
}
HRESULT Sprelo4Control::GetNumberOfFonts(std::int32_t* n) {
    setOut(n, engine_.noArg("SpreloGetNumberOfFonts", 0));
    return S_OK;
}

HRESULT Sprelo4Control::FindFontAlias(const char16_t* alias, std::int32_t* nth) {
    std::string narrow;
    setOut(nth, toNarrow(alias, &narrow) ? engine_.text("SpreloFindFontAliasA", narrow.c_str(), -1)
                                         : -1);
    return S_OK;
}

// A voice's name or alias. When the engine reports failure (-1) the
// buffer is not trusted and the result is the empty string.
HRESULT Sprelo4Control::fontText(const char* entry, std::int32_t nth, BSTR* out) {
    if (!out) return S_OK;
    char buffer[kTextBuffer + 1];
    std::memset(buffer, 0, sizeof buffer);
    const std::int32_t result = engine_.buffer(entry, nth, buffer, kTextBuffer, -1);
    buffer[kTextBuffer] = '\0';
    *out = result == -1 ? allocString(u"") : allocFromNarrow(buffer, kTextBuffer);
    return S_OK;
}

HRESULT Sprelo4Control::GetFontName(std::int32_t nth, BSTR* name) {
    return fontText("SpreloGetFontNameA", nth, name);
}
HRESULT Sprelo4Control::GetFontAlias(std::int32_t nth, BSTR* alias) {
    return fontText("SpreloGetFontAliasA", nth, alias);
}

HRESULT Sprelo4Control::GetFontUUID(std::int32_t nth, BSTR* uuid) {
    if (!uuid) return S_OK;
    unsigned char bytes[kUuidBuffer];
    std::memset(bytes, 0, sizeof bytes);
    engine_.uuid(nth, bytes, kUuidBuffer);
    const std::string text = guidText(guidFromBytes(bytes));
    *uuid = allocFromNarrow(text.data(), text.size());
    return S_OK;
}

HRESULT Sprelo4Control::GetFontDate(std::int32_t nth, std::int16_t* day, std::int16_t* month,
                                    std::int16_t* year, std::int16_t* hour, std::int16_t* minute,
                                    std::int32_t* state) {
    const std::uint32_t packed = engine_.uintIntArg("SpreloGetFontDate", nth);
    const FontDate d = unpackFontDate(packed);
    if (day) *day = static_cast<std::int16_t>(d.day);
    if (month) *month = static_cast<std::int16_t>(d.month);
    if (year) *year = static_cast<std::int16_t>(d.year);
    if (hour) *hour = static_cast<std::int16_t>(d.hour);
    if (minute) *minute = static_cast<std::int16_t>(d.minute);
    setOut(state, packed != 0 ? 1 : 0);
    return S_OK;
}

HRESULT Sprelo4Control::GetFontVersion(std::int32_t nth, std::int32_t* v) {
    setOut(v, engine_.intArg("SpreloGetFontVersion", nth, 0));
    return S_OK;
}
HRESULT Sprelo4Control::GetFontFlags(std::int32_t nth, std::int32_t* v) {
    setOut(v, engine_.intArg("SpreloGetFontFlags", nth, 0));
    return S_OK;
}

HRESULT Sprelo4Control::LoadSettings(const char16_t* application, std::int32_t* state) {
    std::string narrow;
    setOut(state, toNarrow(application, &narrow)
                      ? engine_.text("SpreloLoadSettingsA", narrow.c_str(), 0)
                      : 0);
    return S_OK;
}
HRESULT Sprelo4Control::SaveSettings(const char16_t* application, std::int32_t* state) {
    std::string narrow;
    setOut(state, toNarrow(application, &narrow)
                      ? engine_.text("SpreloSaveSettingsA", narrow.c_str(), 0)
                      : 0);
    return S_OK;
}

HRESULT Sprelo4Control::ResetLocal(std::int32_t* s) {
    setOut(s, engine_.noArg("SpreloResetLocal", 0));
    return S_OK;
}
HRESULT Sprelo4Control::ResetGlobal(std::int32_t* s) {
    setOut(s, engine_.noArg("SpreloResetGlobal", 0));
    return S_OK;
}

HRESULT Sprelo4Control::SetAudioFormat(std::int32_t samplesPerSec, std::int16_t bitsPerSample,
                                       std::int16_t channels, std::int32_t* state) {
    // The fields are combined as they come; out-of-range bits or channels
    // spill into the neighbouring field, as the packed form defines.
    const std::uint32_t packed = packAudioFormat(static_cast<std::uint32_t>(samplesPerSec),
                                                 static_cast<std::uint16_t>(bitsPerSample),
                                                 static_cast<std::uint16_t>(channels));
    setOut(state, engine_.uintArg("SpreloSetAudioFormat", packed));
    return S_OK;
}

HRESULT Sprelo4Control::GetAudioFormat(std::int32_t* samplesPerSec, std::int16_t* bitsPerSample,
                                       std::int16_t* channels, std::int32_t* state) {
    const std::uint32_t packed = engine_.uintNoArg("SpreloGetAudioFormat");
    const AudioFormat f = unpackAudioFormat(packed);
    setOut(samplesPerSec, static_cast<std::int32_t>(f.samplesPerSec));
    if (bitsPerSample) *bitsPerSample = static_cast<std::int16_t>(f.bitsPerSample);
    if (channels) *channels = static_cast<std::int16_t>(f.channels);
    setOut(state, packed != 0 ? 1 : 0);
    return S_OK;
}

HRESULT Sprelo4Control::setVoice(const char* entry, std::int32_t value, std::int32_t* state) {
    setOut(state, engine_.intArg(entry, value, 0));
    return S_OK;
}
HRESULT Sprelo4Control::getVoice(const char* entry, std::int32_t* value) {
    setOut(value, engine_.noArg(entry, 0));
    return S_OK;
}

HRESULT Sprelo4Control::SetLocalFont(std::int32_t nth, std::int32_t* s) {
    return setVoice("SpreloSetLocalFont", nth, s);
}
HRESULT Sprelo4Control::GetLocalFont(std::int32_t* nth) {
    setOut(nth, engine_.noArg("SpreloGetLocalFont", -1));
    return S_OK;
}
HRESULT Sprelo4Control::SetGlobalFont(std::int32_t nth, std::int32_t* s) {
    return setVoice("SpreloSetGlobalFont", nth, s);
}
HRESULT Sprelo4Control::GetGlobalFont(std::int32_t* nth) {
    setOut(nth, engine_.noArg("SpreloGetGlobalFont", -1));
    return S_OK;
}

HRESULT Sprelo4Control::SetLocalVolume(std::int32_t v, std::int32_t* s) {
    return setVoice("SpreloSetLocalVolume", v, s);
}
HRESULT Sprelo4Control::GetLocalVolume(std::int32_t* v) {
    return getVoice("SpreloGetLocalVolume", v);
}
HRESULT Sprelo4Control::SetGlobalVolume(std::int32_t v, std::int32_t* s) {
    return setVoice("SpreloSetGlobalVolume", v, s);
}
HRESULT Sprelo4Control::GetGlobalVolume(std::int32_t* v) {
    return getVoice("SpreloGetGlobalVolume", v);
}
HRESULT Sprelo4Control::SetLocalPitch(std::int32_t v, std::int32_t* s) {
    return setVoice("SpreloSetLocalPitch", v, s);
}
HRESULT Sprelo4Control::GetLocalPitch(std::int32_t* v) {
    return getVoice("SpreloGetLocalPitch", v);
}
HRESULT Sprelo4Control::SetGlobalPitch(std::int32_t v, std::int32_t* s) {
    return setVoice("SpreloSetGlobalPitch", v, s);
}
HRESULT Sprelo4Control::GetGlobalPitch(std::int32_t* v) {
    return getVoice("SpreloGetGlobalPitch", v);
}
HRESULT Sprelo4Control::SetLocalSpeed(std::int32_t v, std::int32_t* s) {
    return setVoice("SpreloSetLocalSpeed", v, s);
}
HRESULT Sprelo4Control::GetLocalSpeed(std::int32_t* v) {
    return getVoice("SpreloGetLocalSpeed", v);
}
HRESULT Sprelo4Control::SetGlobalSpeed(std::int32_t v, std::int32_t* s) {
    return setVoice("SpreloSetGlobalSpeed", v, s);
}
HRESULT Sprelo4Control::GetGlobalSpeed(std::int32_t* v) {
    return getVoice("SpreloGetGlobalSpeed", v);
}
HRESULT Sprelo4Control::SetLocalIntonation(std::int32_t v, std::int32_t* s) {
    return setVoice("SpreloSetLocalIntonation", v, s);
}
HRESULT Sprelo4Control::GetLocalIntonation(std::int32_t* v) {
    return getVoice("SpreloGetLocalIntonation", v);
}
HRESULT Sprelo4Control::SetGlobalIntonation(std::int32_t v, std::int32_t* s) {
    return setVoice("SpreloSetGlobalIntonation", v, s);
}
HRESULT Sprelo4Control::GetGlobalIntonation(std::int32_t* v) {
    return getVoice("SpreloGetGlobalIntonation", v);
}
HRESULT Sprelo4Control::SetLocalRoughness(std::int32_t v, std::int32_t* s) {
    return setVoice("SpreloSetLocalRoughness", v, s);
}
HRESULT Sprelo4Control::GetLocalRoughness(std::int32_t* v) {
    return getVoice("SpreloGetLocalRoughness", v);
}
HRESULT Sprelo4Control::SetGlobalRoughness(std::int32_t v, std::int32_t* s) {
    return setVoice("SpreloSetGlobalRoughness", v, s);
}
HRESULT Sprelo4Control::GetGlobalRoughness(std::int32_t* v) {
    return getVoice("SpreloGetGlobalRoughness", v);
}
HRESULT Sprelo4Control::NotifyModeLocal(std::int32_t* s) {
    setOut(s, engine_.noArg("SpreloNotifyModeLocal", 0));
    return S_OK;
}
HRESULT Sprelo4Control::NotifyModeGlobal(std::int32_t* s) {
    setOut(s, engine_.noArg("SpreloNotifyModeGlobal", 0));
    return S_OK;
}

// ---- the control's own voice settings (the engine is not called) ----

HRESULT Sprelo4Control::get_Volume(std::int32_t* v) {
    if (!v) return E_POINTER;
    *v = volume_;
    return S_OK;
}
HRESULT Sprelo4Control::put_Volume(std::int32_t v) {
    volume_ = v;
    dirty_ = true;
    return S_OK;
}
HRESULT Sprelo4Control::get_Pitch(std::int32_t* v) {
    if (!v) return E_POINTER;
    *v = pitch_;
    return S_OK;
}
HRESULT Sprelo4Control::put_Pitch(std::int32_t v) {
    pitch_ = v;
    dirty_ = true;
    return S_OK;
}
HRESULT Sprelo4Control::get_Speed(std::int32_t* v) {
    if (!v) return E_POINTER;
    *v = speed_;
    return S_OK;
}
HRESULT Sprelo4Control::put_Speed(std::int32_t v) {
    speed_ = v;
    dirty_ = true;
    return S_OK;
}
HRESULT Sprelo4Control::get_Intonation(std::int32_t* v) {
    if (!v) return E_POINTER;
    *v = intonation_;
    return S_OK;
}
HRESULT Sprelo4Control::put_Intonation(std::int32_t v) {
    intonation_ = v;
    dirty_ = true;
    return S_OK;
}
HRESULT Sprelo4Control::get_Roughness(std::int32_t* v) {
    if (!v) return E_POINTER;
    *v = roughness_;
    return S_OK;
}
HRESULT Sprelo4Control::put_Roughness(std::int32_t v) {
    roughness_ = v;
    dirty_ = true;
    return S_OK;
}

// ---- events ----

HRESULT Sprelo4Control::FindConnectionPoint(const GUID& iid, IConnectionPoint** point) {
    if (!point) return E_POINTER;
    *point = nullptr;
    if (!(iid == DIID_ISprelo4ControlEvents)) return CONNECT_E_NOCONNECTION;
    *point = point_;
    AddRef();
    return S_OK;
}

void Sprelo4Control::fire(DISPID dispid, std::int32_t first, std::int32_t second, int count) {
    // The sinks are taken as they are now: one that connects or leaves
    // during an event changes the list, not this round.
    std::vector<IDispatch*> sinks;
    sinks.reserve(sinks_.size());
    for (const Sink& s : sinks_) {
        s.sink->AddRef();
        sinks.push_back(s.sink);
    }
    for (IDispatch* sink : sinks) {
        VARIANT args[2];
        // Last argument first.
        if (count == 2) {
            args[0].vt = VT_I4;
            args[0].lVal = second;
            args[1].vt = VT_I4;
            args[1].lVal = first;
        } else {
            args[0].vt = VT_I4;
            args[0].lVal = first;
        }
        DISPPARAMS params{args, static_cast<std::uint32_t>(count)};
        VARIANT result;
        sink->Invoke(dispid, DISPATCH_METHOD, &params, &result);  // failures do not stop the rest
        sink->Release();
    }
}

HRESULT Sprelo4Control::HandleMessage(std::uint32_t message, std::int32_t w, std::int32_t l) {
    switch (message) {
        case SPRELO_MSG_ACTION:
            fire(DISPID_NotifyAction, w, l, 2);
            break;
        case SPRELO_MSG_MARK:
            fire(DISPID_NotifyMark, w, 0, 1);
            break;
        case SPRELO_MSG_CHUNK:
            fire(DISPID_NotifyChunk, w, l, 2);
            break;
        case SPRELO_MSG_PARAM:
            fire(DISPID_NotifyParam, w, l, 2);
            break;
        case SPRELO_MSG_SENTENCE:
            fire(DISPID_NotifySentence, w, l, 2);
            break;
        case SPRELO_MSG_WORD:
            fire(DISPID_NotifyWord, w, l, 2);
            break;
        case SPRELO_MSG_MOUTH:
            fire(DISPID_NotifyMouth, w, l, 2);
            break;
        case SPRELO_MSG_VISEME:
            fire(DISPID_NotifyViseme, w, 0, 1);
            break;
        default:
            return S_FALSE;  // not one of ours: nothing happens
    }
    return S_OK;
}

HRESULT Sprelo4Control::GetDescriptor(std::int32_t* fd) {
    if (!fd) return E_POINTER;
    *fd = readFd_;
    return readFd_ >= 0 ? S_OK : E_FAIL;
}

HRESULT Sprelo4Control::DispatchNotifications() {
    if (readFd_ < 0) return E_FAIL;
    AddRef();  // a sink may release the host's last reference
    for (int n = 0; n < kRecordsPerTurn; ++n) {
        const ssize_t got =
            read(readFd_, pending_ + pendingBytes_, sizeof pending_ - pendingBytes_);
        if (got <= 0) {
            if (got < 0 && errno == EINTR) continue;
            break;
        }
        pendingBytes_ += static_cast<std::size_t>(got);
        if (pendingBytes_ < sizeof pending_) continue;
        SpreloNotification record;
        std::memcpy(&record, pending_, sizeof record);
        pendingBytes_ = 0;
        HandleMessage(record.message, record.wParam, record.lParam);
    }
    Release();
    return S_OK;
}

// ---- embedding ----

HRESULT Sprelo4Control::SetExtent(std::uint32_t aspect, const SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    extent_ = *size;
    dirty_ = true;
    return S_OK;
}
HRESULT Sprelo4Control::GetExtent(std::uint32_t aspect, SIZEL* size) {
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return E_INVALIDARG;
    *size = extent_;
    return S_OK;
}
HRESULT Sprelo4Control::GetMiscStatus(std::uint32_t, std::uint32_t* status) {
    if (!status) return E_POINTER;
    *status = kMiscStatus;
    return S_OK;
}

HRESULT Sprelo4Control::GetTypeInfoCount(std::uint32_t* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT Sprelo4Control::Invoke(DISPID dispid, std::uint16_t flags, DISPPARAMS* params,
                               VARIANT* result) {
    DISPPARAMS none;
    return invokeMember(dispid, flags, params ? params : &none, result);
}

}  // namespace sprelo
