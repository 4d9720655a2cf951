// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The engine binding: where the engine is found, how its library is named,
// what every operation yields without it, and the packed encodings.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "speech_support.h"
#include "speechctl/engine_binding.h"
#include "speechctl/packing.h"
#include "speechctl/registry.h"

using namespace sprelo;
using speechtest::RegistryRoot;

namespace {

struct PathCase {
    const char* legend;
    const char* serverFile;
    const char* library;
};

TEST(EngineLibraryPath, ExtensionBecomesSo) {
    const PathCase cases[] = {
        {"a Windows engine name", "/opt/tts/engine.exe", "/opt/tts/engine.so"},
        {"already a shared object", "/opt/tts/libengine.so", "/opt/tts/libengine.so"},
        {"only the last extension counts", "/opt/tts/engine.v2.dll", "/opt/tts/engine.v2.so"},
        {"no extension: appended", "/opt/tts/engine", "/opt/tts/engine.so"},
        {"dot in a folder is no extension", "/opt/tts.d/engine", "/opt/tts.d/engine.so"},
        {"hidden file keeps its name", "/opt/.engine", "/opt/.engine.so"},
        {"bare name", "engine.exe", "engine.so"},
    };
    for (const auto& c : cases) EXPECT_EQ(engineLibraryPath(c.serverFile), c.library) << c.legend;
}

std::string copyTo(const std::string& dir, const char* from, const char* name) {
    const std::string to = dir + "/" + name;
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing);
    return to;
}

TEST(EngineBinding, ServerFileNamedExeLoadsSoFromSameFolder) {
    RegistryRoot root;
    copyTo(root.dir(), FAKE_ENGINE, "engine.so");
    root.setServerFile(root.dir() + "/engine.exe");
    EngineBinding binding;
    EXPECT_EQ(binding.noArg("SpreloDLLVersion", 0), 0x0401);
    EXPECT_EQ(binding.loadedPath(), root.dir() + "/engine.so");
}

TEST(EngineBinding, MachineValueUsedWhenUserHasNone) {
    RegistryRoot root;
    root.setServerFile(FAKE_ENGINE, "HKEY_LOCAL_MACHINE");
    root.write("HKEY_CURRENT_USER", "[SOFTWARE\\Tembrik\\Other]\n\"ServerFile\"=\"/nowhere.so\"\n");
    EngineBinding binding;
    EXPECT_EQ(binding.noArg("SpreloServerVersion", 0), 0x0203);
}

TEST(EngineBinding, UserValueWinsOverMachineValue) {
    RegistryRoot root;
    root.setServerFile(EMPTY_ENGINE, "HKEY_LOCAL_MACHINE");
    root.setServerFile(FAKE_ENGINE);
    EngineBinding binding;
    EXPECT_EQ(binding.loadedPath(), "");
    EXPECT_EQ(binding.noArg("SpreloDLLVersion", 0), 0x0401);
    EXPECT_EQ(binding.loadedPath(), FAKE_ENGINE);
}

TEST(EngineBinding, EngineInstalledLaterIsFoundWithoutRestart) {
    RegistryRoot root;
    EngineBinding binding;
    EXPECT_EQ(binding.noArg("SpreloDLLVersion", 0), 0);
    EXPECT_EQ(binding.text("SpreloFindFontAliasA", "SPR.DE.MAREN", -1), -1);
    root.setServerFile(FAKE_ENGINE);
    EXPECT_EQ(binding.noArg("SpreloDLLVersion", 0), 0x0401);
    // Once loaded it stays, whatever the registry says afterwards.
    root.write("HKEY_CURRENT_USER", "");
    EXPECT_EQ(binding.noArg("SpreloDLLVersion", 0), 0x0401);
}

// Every entry point of the table yields its missing value without an engine.
TEST(EngineBinding, MissingValuesWithoutEngine) {
    RegistryRoot root;
    EngineBinding binding;
    char buffer[129] = "untouched";
    unsigned char uuid[16] = {};
    EXPECT_EQ(binding.noArg("SpreloInitialize", 0), 0);
    EXPECT_EQ(binding.speak("Hallo", 0), 0);
    EXPECT_EQ(binding.record("/tmp/x.wav", "Hallo", 0), 0);
    EXPECT_EQ(binding.buffer("SpreloGetFontNameA", 0, buffer, 128, -1), -1);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(binding.uuid(0, uuid, 16), 0);
    EXPECT_EQ(binding.uintIntArg("SpreloGetFontDate", 0), 0u);
    EXPECT_EQ(binding.uintNoArg("SpreloGetAudioFormat"), 0u);
    EXPECT_EQ(binding.notify("SpreloNotifyMark", 5, 5121), 0);
    binding.release();  // nothing happens
}

TEST(EngineBinding, BrokenEnginesYieldMissingValues) {
    RegistryRoot root;
    const std::string notElf = root.dir() + "/engine.so";
    std::ofstream(notElf) << "this is not a shared object\n";
    const struct {
        const char* legend;
        std::string file;
    } cases[] = {
        {"not a shared object", notElf},
        {"lacks every entry point", EMPTY_ENGINE},
        {"file does not exist", root.dir() + "/missing.exe"},
        {"empty value", ""},
    };
    for (const auto& c : cases) {
        root.setServerFile(c.file);
        EngineBinding binding;
        EXPECT_EQ(binding.noArg("SpreloDLLVersion", 0), 0) << c.legend;
        EXPECT_EQ(binding.text("SpreloFindFontAliasA", "x", -1), -1) << c.legend;
        EXPECT_EQ(binding.noArg("SpreloGetLocalFont", -1), -1) << c.legend;
    }
}

TEST(EngineBinding, OverlongServerFileIsCutNeverOverrun) {
    RegistryRoot root;
    const std::string longName = "/" + std::string(299, 'a');
    root.setServerFile(longName);
    EngineBinding binding;
    EXPECT_FALSE(binding.EnsureEngine());
    // A value too long for the buffer counts as a failed read: the
    // machine-wide value takes over.
    root.setServerFile(FAKE_ENGINE, "HKEY_LOCAL_MACHINE");
    EXPECT_EQ(binding.noArg("SpreloDLLVersion", 0), 0x0401);
}

TEST(EngineBinding, GarbledHiveFilesAreReadAsFarAsTheyMakeSense) {
    RegistryRoot root;
    const std::string valid =
        "[SOFTWARE\\Tembrik\\Sprelo]\n\"ServerFile\"=\"" + std::string(FAKE_ENGINE) + "\"\n";
    const struct {
        const char* legend;
        std::string text;
        bool found;
    } cases[] = {
        {"empty file", "", false},
        {"truncated in the value", valid.substr(0, valid.size() - 12), false},
        {"truncated after the key", "[SOFTWARE\\Tembrik\\Sprelo]\n\"Serv", false},
        {"binary junk", std::string("\0\xff\x01[\n=\"\"\\", 10), false},
        {"junk around a good entry", "garbage\n[\n]]]\n=\n" + valid + "\nmore = junk\n", true},
        {"CRLF line ends",
         "[SOFTWARE\\Tembrik\\Sprelo]\r\n\"ServerFile\"=\"" + std::string(FAKE_ENGINE) + "\"\r\n",
         true},
        {"other case, unquoted name",
         "[software\\TEMBRIK\\sprelo]\nServerFile = \"" + std::string(FAKE_ENGINE) + "\"\n", true},
    };
    for (const auto& c : cases) {
        root.write("HKEY_CURRENT_USER", c.text);
        EngineBinding binding;
        EXPECT_EQ(binding.EnsureEngine(), c.found) << c.legend;
    }
}

TEST(Registry, ReadStringNeverWritesPastItsBuffer) {
    RegistryRoot root;
    root.setServerFile(std::string(300, 'x'));
    char buffer[262];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(registry::readString(registry::Hive::CurrentUser, "SOFTWARE\\Tembrik\\Sprelo",
                                   "ServerFile", buffer, 260),
              registry::ReadResult::TooLong);
    EXPECT_EQ(std::string(buffer), std::string(259, 'x'));
    EXPECT_EQ(buffer[260], '#');
    EXPECT_EQ(registry::readString(registry::Hive::CurrentUser, "SOFTWARE\\Tembrik\\Sprelo",
                                   "Other", buffer, 260),
              registry::ReadResult::NoValue);
    EXPECT_EQ(registry::readString(registry::Hive::LocalMachine, "SOFTWARE\\Tembrik\\Sprelo",
                                   "ServerFile", buffer, 260),
              registry::ReadResult::NoKey);
}

TEST(Registry, ValuesSurviveWritingAndReading) {
    registry::Keys keys;
    keys["A\\B"]["plain"] = "value";
    keys["A\\B"][""] = "default";
    keys["A\\B"]["quote\"back\\slash"] = "line\nbreak \"quoted\" \\ end";
    keys["Empty"];
    const registry::Keys back = registry::parseHive(registry::formatHive(keys));
    EXPECT_EQ(back, keys);
}

TEST(Packing, FontDateFields) {
    const struct {
        const char* legend;
        std::uint32_t packed;
        FontDate date;
    } cases[] = {
        {"no date", 0, {0, 0, 0, 0, 0}},
        {"one minute", 1, {0, 0, 0, 0, 1}},
        {"minute, hour, day", 59 + 23 * 60 + 31 * 1440, {31, 0, 0, 23, 59}},
        {"12 Dec 2004 14:50",
         2004u * 599040 + 12 * 46080 + 12 * 1440 + 14 * 60 + 50,
         {12, 12, 2004, 14, 50}},
        {"all bits", 0xFFFFFFFFu, {24, 9, 169, 4, 15}},
    };
    for (const auto& c : cases) {
        const FontDate d = unpackFontDate(c.packed);
        EXPECT_EQ(d.day, c.date.day) << c.legend;
        EXPECT_EQ(d.month, c.date.month) << c.legend;
        EXPECT_EQ(d.year, c.date.year) << c.legend;
        EXPECT_EQ(d.hour, c.date.hour) << c.legend;
        EXPECT_EQ(d.minute, c.date.minute) << c.legend;
    }
    EXPECT_EQ(packFontDate({12, 12, 2004, 14, 50}),
              2004u * 599040 + 12 * 46080 + 12 * 1440 + 14 * 60 + 50);
}

TEST(Packing, AudioFormatFields) {
    const struct {
        std::uint32_t rate, bits, channels, packed;
    } cases[] = {
        {22050, 16, 1, (22050u << 8) | (16u << 2) | 1u},
        {44100, 16, 2, (44100u << 8) | (16u << 2) | 2u},
        {8000, 8, 1, (8000u << 8) | (8u << 2) | 1u},
        {0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(packAudioFormat(c.rate, c.bits, c.channels), c.packed);
        const AudioFormat f = unpackAudioFormat(c.packed);
        EXPECT_EQ(f.samplesPerSec, c.rate);
        EXPECT_EQ(f.bitsPerSample, c.bits);
        EXPECT_EQ(f.channels, c.channels);
    }
    // Bits of 64 or more spill into the rate, as the packed form has it.
    EXPECT_EQ(unpackAudioFormat(packAudioFormat(8000, 64, 0)).samplesPerSec, 8001u);
}

TEST(Packing, HimetricAndGuidText) {
    EXPECT_EQ(himetricFromPixels(32, 96), 847u);
    EXPECT_EQ(himetricFromPixels(32, 120), 677u);
    EXPECT_EQ(himetricFromPixels(32, 123), 661u);
    EXPECT_EQ(guidText(IID_IDispatch), "00020400-0000-0000-C000-000000000046");
    const unsigned char bytes[16] = {0x00, 0x04, 0x02, 0x00, 0, 0, 0, 0,
                                     0xC0, 0,    0,    0,    0, 0, 0, 0x46};
    EXPECT_EQ(guidFromBytes(bytes), IID_IDispatch);
}

}  // namespace
