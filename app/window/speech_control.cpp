// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/window/speech_control.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QThread>

#include "app/support/worker_threads.h"
#include "speechctl/sprelo_abi.h"

using namespace sprelo;

namespace {

// The control's saved settings as the window keeps them: version 0x300,
// extent 661 x 661 HIMETRIC, Volume 0, Pitch 0, Speed 100, Intonation 100,
// Roughness 0.
const unsigned char kSavedControl[42] = {
    0x00, 0x03, 0x00, 0x00, 0x95, 0x02, 0x00, 0x00, 0x95, 0x02, 0x00, 0x00, 0x03, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x64, 0x00,
    0x00, 0x00, 0x03, 0x00, 0x64, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00};

class SavedStream final : public IStream {
  public:
    HRESULT QueryInterface(const GUID&, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t AddRef() override { return 1; }
    std::uint32_t Release() override { return 1; }
    HRESULT Read(void* data, std::uint32_t size, std::uint32_t* read) override {
        std::uint32_t n = 0;
        while (n < size && pos_ < sizeof kSavedControl)
            static_cast<unsigned char*>(data)[n++] = kSavedControl[pos_++];
        *read = n;
        return S_OK;
    }
    HRESULT Write(const void*, std::uint32_t, std::uint32_t*) override { return E_NOTIMPL; }

  private:
    std::uint32_t pos_ = 0;
};

// The library path the control registered for itself (HKEY_CLASSES_ROOT,
// CLSID\{...}\InprocServer32), read straight from the hive file.
QString registeredLibrary() {
    QString root = qEnvironmentVariable("SPRELO_REGISTRY");
    if (root.isEmpty()) {
        QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        if (config.isEmpty()) config = QDir::homePath() + QStringLiteral("/.config");
        root = config + QStringLiteral("/Sprelo4Cntrl");
    }
    QFile hive(root + QStringLiteral("/HKEY_CLASSES_ROOT.reg"));
    if (!hive.open(QIODevice::ReadOnly | QIODevice::Text)) return {};
    const QString key =
        QStringLiteral("[CLSID\\{3E8F2A41-6C1B-4D7E-9A35-710CB24E8819}\\InprocServer32]");
    bool inKey = false;
    // A hive is small; a longer file is not one of ours.
    for (int lines = 0; !hive.atEnd() && lines < 10000; ++lines) {
        const QString line = QString::fromUtf8(hive.readLine(4096)).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inKey = line.compare(key, Qt::CaseInsensitive) == 0;
        } else if (inKey && line.startsWith(QLatin1String("@=\"")) &&
                   line.endsWith(QLatin1Char('"'))) {
            return line.mid(3, line.size() - 4).replace(QLatin1String("\\\\"), QLatin1String("\\"));
        }
    }
    return {};
}

}  // namespace

// Receives the control's events and passes them on as signals.
class SpreloControlElement::Sink final : public IDispatch {
  public:
    explicit Sink(SpreloControlElement& owner) : owner_(owner) {}
    HRESULT QueryInterface(const GUID& iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_ISprelo4ControlEvents) {
            *object = static_cast<IDispatch*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Owned by the element, which outlives its connection.
    std::uint32_t AddRef() override { return 2; }
    std::uint32_t Release() override { return 1; }
    HRESULT GetTypeInfoCount(std::uint32_t* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT GetIDsOfNames(const char16_t* const*, std::uint32_t, DISPID*) override {
        return E_NOTIMPL;
    }
    HRESULT Invoke(DISPID dispid, std::uint16_t, DISPPARAMS* params, VARIANT*) override {
        // Arguments come last first.
        auto arg = [params](std::uint32_t i) {
            return params && i < params->cArgs && params->rgvarg[params->cArgs - 1 - i].vt == VT_I4
                       ? params->rgvarg[params->cArgs - 1 - i].lVal
                       : 0;
        };
        switch (dispid) {
            case DISPID_NotifyAction:
                emit owner_.NotifyAction(arg(0), arg(1));
                break;
            case DISPID_NotifyMark:
                emit owner_.NotifyMark(arg(0));
                break;
            case DISPID_NotifySentence:
                emit owner_.NotifySentence(arg(0), arg(1));
                break;
            case DISPID_NotifyWord:
                emit owner_.NotifyWord(arg(0), arg(1));
                break;
            default:
                break;
        }
        return S_OK;
    }

  private:
    SpreloControlElement& owner_;
};

QStringList speechControlCandidates(const QString& executableDir) {
    const QString name = QStringLiteral("libSprelo4Cntrl.so");
    QStringList candidates;
    // A library named in the environment is the only one tried; a name
    // that is none ("none") switches speech off.
    if (const QString forced = qEnvironmentVariable("FUNKOR_SPRELO4CNTRL"); !forced.isEmpty())
        return {forced};
    candidates << executableDir + QLatin1Char('/') + name
               << QDir::cleanPath(executableDir + QStringLiteral("/../speechctl/") + name)
               << QDir::cleanPath(executableDir + QStringLiteral("/../lib/funkor/") + name);
    if (const QString registered = registeredLibrary(); !registered.isEmpty())
        candidates << registered;
    candidates << name;  // the system's library path
    return candidates;
}

SpreloControlElement::SpreloControlElement(QWidget* parent) : SpeechElement(parent) {
    void* library = nullptr;
    for (const QString& candidate :
         speechControlCandidates(QCoreApplication::applicationDirPath())) {
        if (candidate.contains(QLatin1Char('/')) && !QFileInfo::exists(candidate)) continue;
        library = dlopen(QFile::encodeName(candidate).constData(), RTLD_NOW | RTLD_LOCAL);
        if (library) {
            libraryPath_ = candidate;
            break;
        }
    }
    if (!library) return;
    // The library stays loaded for the rest of the process, as the engine
    // it binds does.
    auto getClassObject =
        reinterpret_cast<SpreloDllGetClassObjectFn>(dlsym(library, "DllGetClassObject"));
    void* object = nullptr;
    if (!getClassObject ||
        !Succeeded(getClassObject(&CLSID_Sprelo4Control, &IID_IClassFactory, &object))) {
        libraryPath_.clear();
        return;
    }
    auto* factory = static_cast<IClassFactory*>(object);
    void* made = nullptr;
    const HRESULT hr = factory->CreateInstance(nullptr, IID_ISprelo4Control, &made);
    factory->Release();
    if (!Succeeded(hr)) {
        libraryPath_.clear();
        return;
    }
    control_ = static_cast<ISprelo4Control*>(made);

    // The settings saved with the window.
    void* persist = nullptr;
    if (Succeeded(control_->QueryInterface(IID_IPersistStreamInit, &persist))) {
        SavedStream saved;
        static_cast<IPersistStreamInit*>(persist)->Load(&saved);
        static_cast<IPersistStreamInit*>(persist)->Release();
    }

    // Events: the sink, and the channel watched on this (the GUI) thread.
    sink_ = std::make_unique<Sink>(*this);
    void* container = nullptr;
    if (Succeeded(control_->QueryInterface(IID_IConnectionPointContainer, &container))) {
        IConnectionPoint* point = nullptr;
        auto* c = static_cast<IConnectionPointContainer*>(container);
        if (Succeeded(c->FindConnectionPoint(DIID_ISprelo4ControlEvents, &point))) {
            point->Advise(sink_.get(), &cookie_);
            point->Release();
        }
        c->Release();
    }
    // The engine is loaded away from this thread; the calls wait for it.
    if (auto preload =
            reinterpret_cast<SpreloPreloadEngineFn>(dlsym(library, "SpreloPreloadEngine"))) {
        loading_ = true;
        preload_ = QThread::create([preload] { preload(); });
        preload_->setObjectName(QString::fromLatin1(kSpeechLoaderThreadName));
        connect(preload_, &QThread::finished, this, &SpreloControlElement::engineLoaded);
        preload_->start();
    }

    void* channel = nullptr;
    std::int32_t fd = -1;
    if (Succeeded(control_->QueryInterface(IID_ISpreloNotifyChannel, &channel))) {
        channel_ = static_cast<ISpreloNotifyChannel*>(channel);
        if (Succeeded(channel_->GetDescriptor(&fd)) && fd >= 0) {
            notifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
            connect(notifier_, &QSocketNotifier::activated, this,
                    [this] { channel_->DispatchNotifications(); });
        }
    }
}

SpreloControlElement::~SpreloControlElement() {
    if (preload_) {
        preload_->wait();
        delete preload_;
    }
    delete notifier_;
    if (control_ && cookie_) {
        void* container = nullptr;
        if (Succeeded(control_->QueryInterface(IID_IConnectionPointContainer, &container))) {
            IConnectionPoint* point = nullptr;
            auto* c = static_cast<IConnectionPointContainer*>(container);
            if (Succeeded(c->FindConnectionPoint(DIID_ISprelo4ControlEvents, &point))) {
                point->Unadvise(cookie_);
                point->Release();
            }
            c->Release();
        }
    }
    if (channel_) channel_->Release();
    if (control_) control_->Release();
}

void SpreloControlElement::engineLoaded() {
    loading_ = false;
    if (initializePending_) initializeNow();
    initializePending_ = false;
    const auto pending = pendingSpeech_;
    pendingSpeech_.clear();
    for (const auto& [text, action] : pending) speakNow(text, action);
}

long SpreloControlElement::initializeNow() {
    std::int32_t state = 0;
    control_->Initialize(&state);
    return state;
}

long SpreloControlElement::speakNow(const QString& text, int action) {
    std::int32_t state = 0;
    control_->Speak(reinterpret_cast<const char16_t*>(text.utf16()), action, &state);
    return state;
}

long SpreloControlElement::Initialize() {
    if (!control_) return SpeechElement::Initialize();
    if (loading_) {
        // Reported as not ready yet; it is done once the engine is loaded.
        initializePending_ = true;
        return 0;
    }
    return initializeNow();
}

long SpreloControlElement::Speak(const QString& text, int action) {
    SpeechElement::Speak(text, action);
    if (!control_) return 0;
    if (loading_) {
        // Texts that come while the engine is still loading wait for it (a
        // few at most: announcements do not pile up in that time).
        if (pendingSpeech_.size() >= 8) return 0;
        pendingSpeech_.append({text, action});
        return 1;
    }
    return speakNow(text, action);
}
