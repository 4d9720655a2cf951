// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A Sprelo speech engine on espeak-ng.
//
// Texts are spoken on a thread of the engine's own, one after the other, so
// that SpreloSpeakA returns at once. Speech goes to the sound device
// (through pcaudiolib, the library espeak-ng itself plays with) or, when
// FUNKOR_SPEECH_WAV names a file, into that WAV file: the first text of the
// process starts the file, later ones are appended while the name stays
// the same. SpreloRecordA always writes a new WAV file of its own. With no
// sound device the engine writes nothing and reports the end of speech at
// once.
//
// Notifications, in the host's channel:
//   action   (ActionID, 1) when a text starts, (ActionID, 0) when it has
//            ended, been stopped or skipped
//   sentence (byte offset in the text as passed, 0)
//   word     (byte offset, length in bytes)
// Offsets count in the text as the caller passed it, markup included.
//
// Voices ("fonts"): 0 SPR.DE.MAREN, a German woman's voice; 1 SPR.DE.OSKAR,
// a German man's voice (the default).

#include <espeak-ng/espeak_ng.h>
#include <pcaudiolib/audio.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engines/espeak/markup.h"
#include "engines/espeak/wav_file.h"
#include "speechctl/packing.h"
#include "speechctl/sprelo_engine.h"

namespace {

using sprelo::espeak::Part;

struct Voice {
    const char* alias;
    const char* name;
    const char* espeakName;
};
const Voice kVoices[] = {
    {"SPR.DE.MAREN", "Maren (Deutsch, weiblich)", "de+f2"},
    {"SPR.DE.OSKAR", "Oskar (Deutsch, m\xC3\xA4nnlich)", "de+m3"},
};
constexpr std::int32_t kVoiceCount = 2;
constexpr std::int32_t kDefaultVoice = 1;

struct Settings {
    std::int32_t volume = 0;        // added to espeak-ng's 100 (0..200)
    std::int32_t pitch = 0;         // added to espeak-ng's 50 (0..100)
    std::int32_t speed = 100;       // percent of 175 words a minute
    std::int32_t intonation = 100;  // percent of espeak-ng's pitch range 50
    std::int32_t roughness = 0;     // kept, espeak-ng has no such parameter
    std::int32_t font = kDefaultVoice;
};

std::int32_t clamp(std::int64_t v, std::int32_t lo, std::int32_t hi) {
    return static_cast<std::int32_t>(std::min<std::int64_t>(hi, std::max<std::int64_t>(lo, v)));
}

struct Job {
    std::string text;
    std::int32_t action = 0;
    std::string wavFile;  // empty: the sound device
    bool record = false;  // a file of its own (SpreloRecordA)
};

// Where a running Synth call reports to.
struct SynthContext;

class Engine {
  public:
    ~Engine() { shutdown(); }

    std::int32_t initialize();
    void shutdown();
    bool connected() const { return connected_; }
    std::int32_t enqueue(Job job);
    std::int32_t stop();
    std::int32_t skip();
    std::int32_t pause(bool on);
    bool busy() const { return busy_; }
    bool paused() const { return paused_; }
    std::int32_t notify(int kind, std::intptr_t channel, std::uint32_t message);
    void post(int kind, std::int32_t w, std::int32_t l);

    std::mutex settingsMutex;
    Settings local, global;

    // Used on the worker thread by the synthesis callback.
    bool cancelled() const { return cancel_ || skip_ || quit_; }
    void waitWhilePaused();
    bool playSamples(const std::int16_t* data, std::size_t count);

  private:
    void run();
    void speakJob(const Job& job);
    bool speakPart(const Part& part, const Settings& s, std::vector<std::int16_t>* samples);
    bool openDevice();
    void writeOut(const Job& job, const std::vector<std::int16_t>& samples);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> queue_;
    std::thread worker_;
    std::atomic<bool> quit_{false};
    std::atomic<bool> connected_{false};
    std::atomic<bool> busy_{false};
    std::atomic<bool> paused_{false};
    std::atomic<bool> cancel_{false};
    std::atomic<bool> skip_{false};
    std::atomic<int> dropQueued_{0};

    struct Channel {
        std::intptr_t fd = -1;
        std::uint32_t message = 0;
    };
    std::mutex channelMutex_;
    Channel channels_[8];

    // Worker thread only.
    bool espeakReady_ = false;
    std::uint32_t rate_ = 22050;
    enum class Device { Unknown, Open, None } device_ = Device::Unknown;
    audio_object* audio_ = nullptr;
    std::string appendingTo_;
};

Engine& engine() {
    static Engine instance;
    return instance;
}

enum Kind { kAction, kMark, kChunk, kParam, kSentence, kWord, kMouth, kViseme };

struct SynthContext {
    Engine* engine;
    const Part* part;
    std::vector<std::int16_t>* samples;  // null: play on the device
};

// Byte offset in `text` of the character at 1-based position `chars`.
std::size_t byteOfChar(const std::string& text, int chars) {
    std::size_t i = 0;
    for (int c = 1; c < chars && i < text.size(); ++c) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) ++i;
    }
    return std::min(i, text.size() ? text.size() - 1 : 0);
}

int synthCallback(short* wav, int count, espeak_EVENT* events) {
    if (!events) return 0;
    auto* ctx = static_cast<SynthContext*>(events->user_data);
    if (!ctx) return 0;
    Engine& e = *ctx->engine;
    e.waitWhilePaused();
    if (e.cancelled()) return 1;
    for (espeak_EVENT* ev = events; ev->type != espeakEVENT_LIST_TERMINATED; ++ev) {
        const Part& p = *ctx->part;
        if (p.text.empty() || p.from.empty()) continue;
        if (ev->type == espeakEVENT_WORD || ev->type == espeakEVENT_SENTENCE) {
            const std::size_t first = byteOfChar(p.text, ev->text_position);
            const std::size_t offset = p.from[first];
            if (ev->type == espeakEVENT_WORD) {
                const std::size_t last =
                    byteOfChar(p.text, ev->text_position + std::max(ev->length, 1) - 1);
                const std::size_t end = p.from[std::max(first, last)];
                e.post(kWord, static_cast<std::int32_t>(offset),
                       static_cast<std::int32_t>(end - offset + 1));
            } else {
                e.post(kSentence, static_cast<std::int32_t>(offset), 0);
            }
        }
    }
    // Samples go to the file's buffer, or to the device, whose pace this
    // call then takes on.
    if (wav && count > 0) {
        if (ctx->samples)
            ctx->samples->insert(ctx->samples->end(), wav, wav + count);
        else if (!e.playSamples(wav, static_cast<std::size_t>(count)))
            return 1;
    }
    return 0;
}

// Whether a sound device could be there at all; without one, trying it
// would only print errors (or wait on a sound server that is not running).
bool soundDeviceLikely() {
    if (const char* server = std::getenv("PULSE_SERVER"); server && *server) return true;
    struct stat st {};
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) {
        if (stat((std::string(run) + "/pulse/native").c_str(), &st) == 0) return true;
        if (stat((std::string(run) + "/pipewire-0").c_str(), &st) == 0) return true;
    }
    return stat("/dev/snd/controlC0", &st) == 0;
}

std::int32_t Engine::initialize() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!worker_.joinable()) {
        quit_ = false;
        worker_ = std::thread([this] { run(); });
    }
    connected_ = true;
    return 1;
}

void Engine::shutdown() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
        cancel_ = true;
        paused_ = false;
        connected_ = false;
    }
    wake_.notify_all();
    if (worker_.joinable()) worker_.join();
    std::lock_guard<std::mutex> lock(channelMutex_);
    for (Channel& c : channels_) c = Channel{};
}

std::int32_t Engine::enqueue(Job job) {
    if (!connected_) return 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(job));
        busy_ = true;
    }
    wake_.notify_all();
    return 1;
}

std::int32_t Engine::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dropQueued_ = static_cast<int>(queue_.size());
        cancel_ = true;
        paused_ = false;
    }
    wake_.notify_all();
    return 1;
}

std::int32_t Engine::skip() {
    skip_ = true;
    paused_ = false;
    wake_.notify_all();
    return 1;
}

std::int32_t Engine::pause(bool on) {
    paused_ = on;
    wake_.notify_all();
    return 1;
}

void Engine::waitWhilePaused() {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait(lock, [this] { return !paused_ || quit_ || cancel_ || skip_; });
}

std::int32_t Engine::notify(int kind, std::intptr_t channel, std::uint32_t message) {
    std::lock_guard<std::mutex> lock(channelMutex_);
    channels_[kind] = {channel, message};
    return 1;
}

void Engine::post(int kind, std::int32_t w, std::int32_t l) {
    Channel c;
    {
        std::lock_guard<std::mutex> lock(channelMutex_);
        c = channels_[kind];
    }
    if (c.fd < 0) return;
    SpreloNotification n{c.message, w, l};
    // One write keeps the record whole; a full channel drops it.
    if (write(static_cast<int>(c.fd), &n, sizeof n) < 0) return;
}

void Engine::run() {
    // The host may close its end of the channel; writing to it must then
    // fail quietly instead of ending the process.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || !queue_.empty() || cancel_; });
            if (quit_) break;
            if (cancel_) {
                // Stop: every text still waiting ends unspoken.
                const int drop = std::min(dropQueued_.exchange(0), static_cast<int>(queue_.size()));
                std::vector<std::int32_t> dropped;
                for (int i = 0; i < drop; ++i) {
                    dropped.push_back(queue_.front().action);
                    queue_.pop_front();
                }
                cancel_ = false;
                busy_ = !queue_.empty();
                lock.unlock();
                for (std::int32_t action : dropped) post(kAction, action, 0);
                continue;
            }
            job = std::move(queue_.front());
            queue_.pop_front();
        }
        skip_ = false;
        post(kAction, job.action, 1);
        speakJob(job);
        post(kAction, job.action, 0);
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = !queue_.empty();
    }
    if (audio_) {
        audio_object_close(audio_);
        audio_object_destroy(audio_);
        audio_ = nullptr;
    }
    if (espeakReady_) espeak_ng_Terminate();
    espeakReady_ = false;
    device_ = Device::Unknown;
}

bool Engine::openDevice() {
    if (device_ == Device::Unknown) {
        device_ = Device::None;
        if (soundDeviceLikely()) {
            audio_ = create_audio_device_object(nullptr, "Funkor", "Sprelo speech");
            if (audio_ && audio_object_open(audio_, AUDIO_OBJECT_FORMAT_S16LE, rate_, 1) == 0) {
                device_ = Device::Open;
            } else if (audio_) {
                audio_object_destroy(audio_);
                audio_ = nullptr;
            }
        }
    }
    return device_ == Device::Open;
}

bool Engine::playSamples(const std::int16_t* data, std::size_t count) {
    // In pieces of a tenth of a second, so that Stop and Pause take hold
    // within one piece.
    const std::size_t piece = rate_ / 10;
    for (std::size_t i = 0; i < count; i += piece) {
        waitWhilePaused();
        if (cancelled()) {
            audio_object_flush(audio_);
            return false;
        }
        const std::size_t n = std::min(piece, count - i);
        if (audio_object_write(audio_, data + i, n * sizeof(std::int16_t)) != 0) return false;
    }
    return true;
}

bool Engine::speakPart(const Part& part, const Settings& s, std::vector<std::int16_t>* samples) {
    if (part.kind == Part::Kind::Pause) {
        const std::size_t count = static_cast<std::size_t>(part.pauseMs) * rate_ / 1000u;
        if (samples) {
            samples->insert(samples->end(), count, 0);
            return !cancelled();
        }
        std::vector<std::int16_t> silence(count, 0);
        return playSamples(silence.data(), silence.size());
    }
    // The part's voice: a known alias, or the voice chosen as the font.
    const char* voiceName = kVoices[clamp(s.font, 0, kVoiceCount - 1)].espeakName;
    for (const Voice& v : kVoices)
        if (part.voice == v.alias) voiceName = v.espeakName;
    espeak_SetVoiceByName(voiceName);
    espeak_SetParameter(espeakRATE,
                        clamp(175LL * s.speed / 100, espeakRATE_MINIMUM, espeakRATE_MAXIMUM), 0);
    espeak_SetParameter(espeakVOLUME, clamp(100LL + s.volume, 0, 200), 0);
    espeak_SetParameter(espeakPITCH, clamp(50LL + s.pitch, 0, 100), 0);
    espeak_SetParameter(espeakRANGE, clamp(50LL * s.intonation / 100, 0, 100), 0);

    SynthContext ctx{this, &part, samples};
    espeak_Synth(part.text.c_str(), part.text.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8,
                 nullptr, &ctx);
    return !cancelled();
}

void Engine::speakJob(const Job& job) {
    if (!espeakReady_) {
        espeak_ng_InitializePath(nullptr);
        espeak_ng_ERROR_CONTEXT context = nullptr;
        if (espeak_ng_Initialize(&context) != ENS_OK) {
            espeak_ng_ClearErrorContext(&context);
            return;
        }
        espeak_ng_InitializeOutput(ENOUTPUT_MODE_SYNCHRONOUS, 0, nullptr);
        espeak_SetSynthCallback(synthCallback);
        rate_ = static_cast<std::uint32_t>(espeak_ng_GetSampleRate());
        espeakReady_ = true;
    }
    const bool toFile = !job.wavFile.empty();
    // No sound device and no file: nothing to do, the end is reported now.
    if (!toFile && !openDevice()) return;
    Settings s;
    {
        std::lock_guard<std::mutex> lock(settingsMutex);
        s = local;
    }
    std::vector<std::int16_t> samples;
    for (const Part& part : sprelo::espeak::translateMarkup(job.text)) {
        if (!speakPart(part, s, toFile ? &samples : nullptr)) break;
    }
    if (toFile) writeOut(job, samples);
    if (!toFile && !cancelled()) audio_object_drain(audio_);
}

void Engine::writeOut(const Job& job, const std::vector<std::int16_t>& samples) {
    if (job.record) {
        sprelo::espeak::writeWav(job.wavFile, samples, rate_);
        return;
    }
    if (appendingTo_ == job.wavFile) {
        sprelo::espeak::appendWav(job.wavFile, samples, rate_);
    } else {
        sprelo::espeak::writeWav(job.wavFile, samples, rate_);
        appendingTo_ = job.wavFile;
    }
}

// ---- settings kept by the engine ----

std::int32_t* field(Settings& s, int which) {
    switch (which) {
        case 0:
            return &s.volume;
        case 1:
            return &s.pitch;
        case 2:
            return &s.speed;
        case 3:
            return &s.intonation;
        case 4:
            return &s.roughness;
        default:
            return &s.font;
    }
}

std::int32_t setValue(bool isLocal, int which, std::int32_t value) {
    Engine& e = engine();
    std::lock_guard<std::mutex> lock(e.settingsMutex);
    *field(isLocal ? e.local : e.global, which) = value;
    return 1;
}

std::int32_t getValue(bool isLocal, int which) {
    Engine& e = engine();
    std::lock_guard<std::mutex> lock(e.settingsMutex);
    return *field(isLocal ? e.local : e.global, which);
}

// The file of an application's saved voice settings; empty for a name
// that is not a plain file name.
std::string settingsFile(const char* application) {
    if (!application || !*application) return {};
    std::string name;
    for (const char* p = application; *p && name.size() < 64; ++p) {
        const char c = *p;
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_';
        name.push_back(plain ? c : '_');
    }
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string dir = xdg && *xdg ? std::string(xdg) : std::string(home ? home : ".") + "/.config";
    dir += "/Sprelo4Cntrl";
    mkdir(dir.c_str(), 0755);
    return dir + "/espeak-" + name + ".conf";
}

std::string fill(char* buffer, std::int32_t size, const std::string& text) {
    if (buffer && size > 0) {
        const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size) - 1);
        std::memcpy(buffer, text.data(), n);
        buffer[n] = '\0';
    }
    return text;
}

}  // namespace

// ---- entry points ----

SPRELO_ENGINE_API int32_t SpreloDLLVersion(void) {
    return 0x0100;
}
SPRELO_ENGINE_API int32_t SpreloServerVersion(void) {
    const char* version = espeak_Info(nullptr);  // "1.51" and so on
    int major = 0, minor = 0;
    if (!version || std::sscanf(version, "%d.%d", &major, &minor) < 1) return 0;
    return major * 256 + minor;
}
SPRELO_ENGINE_API int32_t SpreloInitialize(void) {
    return engine().initialize();
}
SPRELO_ENGINE_API int32_t SpreloIsConnected(void) {
    return engine().connected() ? 1 : 0;
}
SPRELO_ENGINE_API void SpreloRelease(void) {
    engine().shutdown();
}

SPRELO_ENGINE_API int32_t SpreloSpeakA(const char* text, int32_t action) {
    if (!text) return 0;
    Job job;
    job.text = text;
    job.action = action;
    if (const char* wav = std::getenv("FUNKOR_SPEECH_WAV"); wav && *wav) job.wavFile = wav;
    return engine().enqueue(std::move(job));
}

SPRELO_ENGINE_API int32_t SpreloRecordA(const char* file, const char* text, int32_t action) {
    if (!file || !*file || !text) return 0;
    Job job;
    job.text = text;
    job.action = action;
    job.wavFile = file;
    job.record = true;
    return engine().enqueue(std::move(job));
}

SPRELO_ENGINE_API int32_t SpreloPause(void) {
    return engine().pause(true);
}
SPRELO_ENGINE_API int32_t SpreloResume(void) {
    return engine().pause(false);
}
SPRELO_ENGINE_API int32_t SpreloStop(void) {
    return engine().stop();
}
SPRELO_ENGINE_API int32_t SpreloSkip(void) {
    return engine().skip();
}
SPRELO_ENGINE_API int32_t SpreloIsBusy(void) {
    return engine().busy() ? 1 : 0;
}
SPRELO_ENGINE_API int32_t SpreloIsPaused(void) {
    return engine().paused() ? 1 : 0;
}

SPRELO_ENGINE_API int32_t SpreloGetNumberOfFonts(void) {
    return kVoiceCount;
}
SPRELO_ENGINE_API int32_t SpreloFindFontAliasA(const char* alias) {
    for (std::int32_t i = 0; alias && i < kVoiceCount; ++i)
        if (std::strcmp(alias, kVoices[i].alias) == 0) return i;
    return -1;
}
SPRELO_ENGINE_API int32_t SpreloGetFontNameA(int32_t nth, char* buffer, int32_t size) {
    if (nth < 0 || nth >= kVoiceCount) return -1;
    fill(buffer, size, kVoices[nth].name);
    return nth;
}
SPRELO_ENGINE_API int32_t SpreloGetFontAliasA(int32_t nth, char* buffer, int32_t size) {
    if (nth < 0 || nth >= kVoiceCount) return -1;
    fill(buffer, size, kVoices[nth].alias);
    return nth;
}
SPRELO_ENGINE_API int32_t SpreloGetFontUUID(int32_t nth, unsigned char* buffer, int32_t size) {
    if (nth < 0 || nth >= kVoiceCount || !buffer || size < 16) return 0;
    // A name-based identity: FNV-1a over the alias, spread over 16 bytes.
    std::uint64_t h = 1469598103934665603ULL;
    for (int round = 0; round < 2; ++round) {
        for (const char* p = kVoices[nth].alias; *p; ++p) {
            h ^= static_cast<unsigned char>(*p);
            h *= 1099511628211ULL;
        }
        for (int i = 0; i < 8; ++i)
            buffer[round * 8 + i] = static_cast<unsigned char>(h >> (8 * i));
    }
    buffer[7] = static_cast<unsigned char>((buffer[7] & 0x0F) | 0x50);  // version 5
    buffer[8] = static_cast<unsigned char>((buffer[8] & 0x3F) | 0x80);  // variant
    return 1;
}
SPRELO_ENGINE_API uint32_t SpreloGetFontDate(int32_t nth) {
    // The voices come with espeak-ng 1.51 (2 April 2022).
    if (nth < 0 || nth >= kVoiceCount) return 0;
    return sprelo::packFontDate({2, 4, 2022, 0, 0});
}
SPRELO_ENGINE_API int32_t SpreloGetFontVersion(int32_t nth) {
    return nth >= 0 && nth < kVoiceCount ? SpreloServerVersion() : 0;
}
SPRELO_ENGINE_API int32_t SpreloGetFontFlags(int32_t nth) {
    // Bit 0: female voice.
    return nth == 0 ? 1 : 0;
}

SPRELO_ENGINE_API int32_t SpreloLoadSettingsA(const char* application) {
    const std::string path = settingsFile(application);
    std::ifstream in(path);
    if (path.empty() || !in) return 0;
    Settings s;
    in >> s.volume >> s.pitch >> s.speed >> s.intonation >> s.roughness >> s.font;
    if (!in) return 0;
    std::lock_guard<std::mutex> lock(engine().settingsMutex);
    engine().local = s;
    return 1;
}
SPRELO_ENGINE_API int32_t SpreloSaveSettingsA(const char* application) {
    const std::string path = settingsFile(application);
    if (path.empty()) return 0;
    Settings s;
    {
        std::lock_guard<std::mutex> lock(engine().settingsMutex);
        s = engine().local;
    }
    std::ofstream out(path);
    out << s.volume << ' ' << s.pitch << ' ' << s.speed << ' ' << s.intonation << ' ' << s.roughness
        << ' ' << s.font << '\n';
    return out.good() ? 1 : 0;
}
SPRELO_ENGINE_API int32_t SpreloResetLocal(void) {
    std::lock_guard<std::mutex> lock(engine().settingsMutex);
    engine().local = engine().global;
    return 1;
}
SPRELO_ENGINE_API int32_t SpreloResetGlobal(void) {
    std::lock_guard<std::mutex> lock(engine().settingsMutex);
    engine().global = Settings{};
    return 1;
}

// The engine speaks 16-bit mono at espeak-ng's rate; it takes no other
// format.
SPRELO_ENGINE_API uint32_t SpreloGetAudioFormat(void) {
    return sprelo::packAudioFormat(22050, 16, 1);
}
SPRELO_ENGINE_API int32_t SpreloSetAudioFormat(uint32_t packed) {
    return packed == SpreloGetAudioFormat() ? 1 : 0;
}

SPRELO_ENGINE_API int32_t SpreloSetLocalFont(int32_t nth) {
    return nth >= 0 && nth < kVoiceCount ? setValue(true, 5, nth) : 0;
}
SPRELO_ENGINE_API int32_t SpreloSetGlobalFont(int32_t nth) {
    return nth >= 0 && nth < kVoiceCount ? setValue(false, 5, nth) : 0;
}
SPRELO_ENGINE_API int32_t SpreloGetLocalFont(void) {
    return getValue(true, 5);
}
SPRELO_ENGINE_API int32_t SpreloGetGlobalFont(void) {
    return getValue(false, 5);
}

#define SPRELO_SETTING(Name, which)                              \
    SPRELO_ENGINE_API int32_t SpreloSetLocal##Name(int32_t v) {  \
        return setValue(true, which, v);                         \
    }                                                            \
    SPRELO_ENGINE_API int32_t SpreloSetGlobal##Name(int32_t v) { \
        return setValue(false, which, v);                        \
    }                                                            \
    SPRELO_ENGINE_API int32_t SpreloGetLocal##Name(void) {       \
        return getValue(true, which);                            \
    }                                                            \
    SPRELO_ENGINE_API int32_t SpreloGetGlobal##Name(void) {      \
        return getValue(false, which);                           \
    }
SPRELO_SETTING(Volume, 0)
SPRELO_SETTING(Pitch, 1)
SPRELO_SETTING(Speed, 2)
SPRELO_SETTING(Intonation, 3)
SPRELO_SETTING(Roughness, 4)

SPRELO_ENGINE_API int32_t SpreloNotifyModeLocal(void) {
    return 1;
}
SPRELO_ENGINE_API int32_t SpreloNotifyModeGlobal(void) {
    return 1;
}

#define SPRELO_NOTIFY(Name, kind)                                                               \
    SPRELO_ENGINE_API int32_t SpreloNotify##Name(intptr_t channel, uint32_t message, int32_t) { \
        return engine().notify(kind, channel, message);                                         \
    }
SPRELO_NOTIFY(Action, kAction)
SPRELO_NOTIFY(Mark, kMark)
SPRELO_NOTIFY(Chunk, kChunk)
SPRELO_NOTIFY(Param, kParam)
SPRELO_NOTIFY(Sentence, kSentence)
SPRELO_NOTIFY(Word, kWord)
SPRELO_NOTIFY(Mouth, kMouth)
SPRELO_NOTIFY(Viseme, kViseme)
