// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The espeak-ng engine: its markup translation, and what it writes as
// heard through sox.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "engines/espeak/markup.h"
#include "engines/espeak/wav_file.h"
#include "speech_support.h"
#include "speechctl/control.h"
#include "speechctl/sprelo_engine.h"
#include "speechctl/strings.h"

using namespace sprelo;
using sprelo::espeak::Part;
using sprelo::espeak::translateMarkup;

namespace {

// ---- markup ----

struct MarkupCase {
    const char* legend;
    const char* input;
    // Parts as "voice|text" for speech and "pause:n" for pauses.
    std::vector<std::string> parts;
};

std::vector<std::string> describe(const std::vector<Part>& parts) {
    std::vector<std::string> out;
    for (const Part& p : parts) {
        if (p.kind == Part::Kind::Pause)
            out.push_back("pause:" + std::to_string(p.pauseMs));
        else
            out.push_back(p.voice + "|" + p.text);
    }
    return out;
}

TEST(SpeechMarkup, TranslatesToPartsEspeakCanSpeak) {
    const MarkupCase cases[] = {
        {"plain text", "Anruf von Anna", {"|Anruf von Anna"}},
        {"caller number, plus stays inside the spelled part",
         "Anruf von plus #CTX=SPELL#+49123#CTX#",
         {"|Anruf von plus  4 9 1 2 3  "}},
        {"SMS announcement",
         "#VOICE=NAME:SPR.DE.MAREN#SMS von Anna#PAU=1000##VOICE=NAME:SPR.DE.OSKAR#Bin gleich da",
         {"SPR.DE.MAREN|SMS von Anna", "pause:1000", "SPR.DE.OSKAR|Bin gleich da"}},
        {"star code spelled", "#CTX=SPELL#*100##CTX#", {"| Stern 1 0 0 Raute  "}},
        {"letters spelled, signs left out", "#CTX=SPELL#a-B 7#CTX#", {"| a B 7  "}},
        {"unknown tag is text", "Raute #5# und #FOO=1#", {"|Raute #5# und #FOO=1#"}},
        {"unterminated tag is text", "Preis #PAU=100", {"|Preis #PAU=100"}},
        {"pause without digits", "a#PAU=x#b", {"|a", "pause:0", "|b"}},
        {"pause capped at a minute", "a#PAU=99999999999#b", {"|a", "pause:60000", "|b"}},
        {"voice without NAME: prefix", "#VOICE=SPR.DE.MAREN#Hallo", {"SPR.DE.MAREN|Hallo"}},
        {"only markup", "#PAU=5##VOICE=NAME:X#", {"pause:5"}},
        {"empty", "", {}},
        {"spelling left open runs to the end", "#CTX=SPELL#12", {"| 1 2 "}},
    };
    for (const auto& c : cases) EXPECT_EQ(describe(translateMarkup(c.input)), c.parts) << c.legend;
}

TEST(SpeechMarkup, EveryByteKnowsWhereItCameFrom) {
    const std::string input = "Anruf von plus #CTX=SPELL#+49#CTX#";
    const auto parts = translateMarkup(input);
    ASSERT_EQ(parts.size(), 1u);
    const Part& p = parts[0];
    ASSERT_EQ(p.text.size(), p.from.size());
    EXPECT_EQ(p.from[0], 0u);  // "A"
    const auto four = p.text.find('4');
    EXPECT_EQ(input[p.from[four]], '4');
    EXPECT_EQ(input[p.from[p.text.find('9')]], '9');
    for (std::size_t f : p.from) EXPECT_LT(f, input.size());
}

// ---- WAV files ----

struct Wav {
    std::uint32_t rate = 0;
    std::vector<std::int16_t> samples;
};

Wav readWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> b((std::istreambuf_iterator<char>(in)), {});
    Wav w;
    if (b.size() < 44) return w;
    w.rate = static_cast<std::uint32_t>(b[24] | b[25] << 8 | b[26] << 16 | b[27] << 24);
    for (std::size_t i = 44; i + 1 < b.size(); i += 2)
        w.samples.push_back(static_cast<std::int16_t>(b[i] | b[i + 1] << 8));
    return w;
}

TEST(WavFile, AppendingKeepsTheHeaderRight) {
    speechtest::RegistryRoot root;
    const std::string path = root.dir() + "/out.wav";
    ASSERT_TRUE(sprelo::espeak::writeWav(path, {1, -2, 3}, 22050));
    ASSERT_TRUE(sprelo::espeak::appendWav(path, {4, 5}, 22050));
    Wav w = readWav(path);
    EXPECT_EQ(w.rate, 22050u);
    EXPECT_EQ(w.samples, (std::vector<std::int16_t>{1, -2, 3, 4, 5}));
    // A file that is not ours is started afresh, not appended to.
    std::ofstream(path, std::ios::binary) << "not a wav file at all, longer than a header......";
    ASSERT_TRUE(sprelo::espeak::appendWav(path, {7}, 22050));
    EXPECT_EQ(readWav(path).samples, (std::vector<std::int16_t>{7}));
}

// ---- the engine, heard through sox ----

struct SoxStat {
    double seconds = 0, rms = 0, maximum = 0;
};

SoxStat soxStat(const std::string& path) {
    SoxStat s;
    std::FILE* p = popen(("sox '" + path + "' -n stat 2>&1").c_str(), "r");
    if (!p) return s;
    char line[256];
    while (std::fgets(line, sizeof line, p)) {
        double v = 0;
        if (std::sscanf(line, "Length (seconds): %lf", &v) == 1) s.seconds = v;
        if (std::sscanf(line, "RMS amplitude: %lf", &v) == 1) s.rms = v;
        if (std::sscanf(line, "Maximum amplitude: %lf", &v) == 1) s.maximum = v;
    }
    pclose(p);
    return s;
}

// Median fundamental frequency over the loud 40 ms frames, by
// autocorrelation between 70 and 400 Hz.
double medianPitch(const Wav& w) {
    const std::size_t frame = w.rate / 25;
    std::vector<double> pitches;
    for (std::size_t start = 0; start + frame < w.samples.size(); start += frame) {
        const std::int16_t* x = &w.samples[start];
        double energy = 0;
        for (std::size_t i = 0; i < frame; ++i) energy += double(x[i]) * x[i];
        if (energy < double(frame) * 1500.0 * 1500.0) continue;
        double best = 0;
        std::size_t bestLag = 0;
        for (std::size_t lag = w.rate / 400; lag < w.rate / 70; ++lag) {
            double c = 0;
            for (std::size_t i = 0; i + lag < frame; ++i) c += double(x[i]) * x[i + lag];
            if (c > best) {
                best = c;
                bestLag = lag;
            }
        }
        if (bestLag) pitches.push_back(double(w.rate) / double(bestLag));
    }
    if (pitches.empty()) return 0;
    std::sort(pitches.begin(), pitches.end());
    return pitches[pitches.size() / 2];
}

class EspeakEngine : public ::testing::Test {
  protected:
    void SetUp() override {
        root.setServerFile(ESPEAK_ENGINE);
        control = Sprelo4Control::create(binding);
        IConnectionPoint* point = nullptr;
        control->FindConnectionPoint(DIID_ISprelo4ControlEvents, &point);
        point->Advise(&sink, &cookie);
        point->Release();
        std::int32_t state = 0;
        control->Initialize(&state);
        ASSERT_EQ(state, 1);
    }
    void TearDown() override {
        std::int32_t state = 0;
        control->Stop(&state);
        control->Release();
    }
    // Waits for the end of the text with `action`, delivering events as
    // the host would. False when it never came.
    bool waitForEnd(std::int32_t action) {
        const std::string end = "NotifyAction(" + std::to_string(action) + ",0)";
        std::int32_t fd = -1;
        control->GetDescriptor(&fd);
        while (std::find(sink.events.begin(), sink.events.end(), end) == sink.events.end()) {
            if (!speechtest::waitReadable(fd, 120000)) return false;
            control->DispatchNotifications();
        }
        return true;
    }
    std::string record(const char16_t* text, std::int32_t action) {
        const std::string file = root.dir() + "/rec" + std::to_string(action) + ".wav";
        std::u16string wide(file.begin(), file.end());
        std::int32_t state = 0;
        control->Record(wide.c_str(), text, action, &state);
        EXPECT_EQ(state, 1);
        EXPECT_TRUE(waitForEnd(action));
        return file;
    }

    speechtest::RegistryRoot root;
    EngineBinding binding;
    Sprelo4Control* control = nullptr;
    speechtest::RecordingSink sink;
    std::uint32_t cookie = 0;
};

TEST_F(EspeakEngine, SpelledCallerNumberIsAudibleAndOfPlausibleLength) {
    const std::string file = record(u"Anruf von plus #CTX=SPELL#+49123#CTX#", 11);
    const SoxStat s = soxStat(file);
    EXPECT_GT(s.rms, 0.02) << "not silent";
    EXPECT_GE(s.seconds, 1.0);
    EXPECT_LE(s.seconds, 8.0);
    // Words were reported against the text as passed: "Anruf" at 0, and
    // the spelled digits inside the number's place (from 26 on).
    EXPECT_NE(std::find(sink.events.begin(), sink.events.end(), "NotifyWord(0,5)"),
              sink.events.end());
    EXPECT_NE(std::find(sink.events.begin(), sink.events.end(), "NotifyWord(27,1)"),
              sink.events.end())
        << "the 4 of +49123";
    EXPECT_NE(std::find(sink.events.begin(), sink.events.end(), "NotifyAction(11,1)"),
              sink.events.end());
}

TEST_F(EspeakEngine, TheTwoVoicesDifferInPitch) {
    const std::string maren = record(u"#VOICE=NAME:SPR.DE.MAREN#Sie haben eine neue Nachricht.", 1);
    const std::string oskar = record(u"#VOICE=NAME:SPR.DE.OSKAR#Sie haben eine neue Nachricht.", 2);
    const double high = medianPitch(readWav(maren));
    const double low = medianPitch(readWav(oskar));
    EXPECT_GT(low, 70.0);
    EXPECT_GT(high, low * 1.4) << "Maren " << high << " Hz, Oskar " << low << " Hz";
    EXPECT_GT(soxStat(maren).rms, 0.02);
    EXPECT_GT(soxStat(oskar).rms, 0.02);
}

TEST_F(EspeakEngine, PauseMarkupLengthensTheAudioByItsTime) {
    const double without = soxStat(record(u"Anruf von Anna", 3)).seconds;
    const double with = soxStat(record(u"Anruf von#PAU=1000# Anna", 4)).seconds;
    EXPECT_NEAR(with - without, 1.0, 0.25);
}

TEST_F(EspeakEngine, SpeakWritesTheWavFileNamedInTheEnvironment) {
    const std::string file = root.dir() + "/speech.wav";
    setenv("FUNKOR_SPEECH_WAV", file.c_str(), 1);
    std::int32_t state = 0;
    control->Speak(u"Erster Text", 21, &state);
    control->Speak(u"Zweiter Text", 22, &state);
    EXPECT_EQ(state, 1);
    ASSERT_TRUE(waitForEnd(22));
    unsetenv("FUNKOR_SPEECH_WAV");
    const SoxStat both = soxStat(file);
    EXPECT_GT(both.rms, 0.02);
    // Both texts are in the file, one after the other.
    const double first = soxStat(record(u"Erster Text", 23)).seconds;
    const double second = soxStat(record(u"Zweiter Text", 24)).seconds;
    EXPECT_NEAR(both.seconds, first + second, 0.05);
}

TEST_F(EspeakEngine, WithoutSoundDeviceTheEndComesAtOnceAndNothingIsWritten) {
    // No sound server here; a machine with a sound card would play it.
    unsetenv("FUNKOR_SPEECH_WAV");
    unsetenv("PULSE_SERVER");
    setenv("XDG_RUNTIME_DIR", root.dir().c_str(), 1);
    std::int32_t state = 0;
    control->Speak(u"Anruf von Anna", 31, &state);
    EXPECT_EQ(state, 1);
    EXPECT_TRUE(waitForEnd(31));
    EXPECT_FALSE(std::filesystem::exists(root.dir() + "/speech.wav"));
}

TEST_F(EspeakEngine, VoicesAreListedByAlias) {
    std::int32_t count = 0, maren = -1, oskar = -1, unknown = 0;
    control->GetNumberOfFonts(&count);
    control->FindFontAlias(u"SPR.DE.MAREN", &maren);
    control->FindFontAlias(u"SPR.DE.OSKAR", &oskar);
    control->FindFontAlias(u"SPR.XX", &unknown);
    EXPECT_EQ((std::vector<int>{count, maren, oskar, unknown}), (std::vector<int>{2, 0, 1, -1}));
    BSTR alias = nullptr;
    control->GetFontAlias(1, &alias);
    EXPECT_EQ(std::u16string(alias), u"SPR.DE.OSKAR");
    freeString(alias);
    std::int16_t d = 0, m = 0, y = 0, h = 0, mi = 0;
    std::int32_t state = 0;
    control->GetFontDate(0, &d, &m, &y, &h, &mi, &state);
    EXPECT_EQ((std::vector<int>{d, m, y, state}), (std::vector<int>{2, 4, 2022, 1}));
}

TEST_F(EspeakEngine, StopEndsTheTextAndEveryWaitingOne) {
    const std::string file = root.dir() + "/stopped.wav";
    setenv("FUNKOR_SPEECH_WAV", file.c_str(), 1);
    std::int32_t state = 0;
    const char16_t* longText =
        u"Dies ist ein langer Text, der gleich nach dem Anfang abgebrochen wird, damit "
        u"niemand auf sein Ende warten muss, auch nicht auf die Texte nach ihm.";
    for (std::int32_t action = 41; action <= 43; ++action) control->Speak(longText, action, &state);
    control->Stop(&state);
    EXPECT_EQ(state, 1);
    for (std::int32_t action = 41; action <= 43; ++action) EXPECT_TRUE(waitForEnd(action));
    unsetenv("FUNKOR_SPEECH_WAV");
    std::int32_t busy = 1;
    control->IsBusy(&busy);
    EXPECT_EQ(busy, 0);
}

TEST(EspeakEngineEntryPoints, TextsNeverOverrunTheBuffer) {
    void* engine = dlopen(ESPEAK_ENGINE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(engine, nullptr) << dlerror();
    auto name = reinterpret_cast<SpreloBufferFn>(dlsym(engine, "SpreloGetFontNameA"));
    char buffer[8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(name(0, buffer, 4), 0);
    EXPECT_STREQ(buffer, "Mar");
    EXPECT_EQ(buffer[4], '#');
    EXPECT_EQ(name(2, buffer, 4), -1) << "no third voice";
    EXPECT_EQ(name(-1, buffer, 4), -1);
    EXPECT_EQ(name(0, nullptr, 0), 0);
}

}  // namespace
