// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window's speech control: the control library hosted as `Sprelo`,
// over the test engine that records every call.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "app/window/speech_control.h"

namespace {

const QString kFakeEngine =
    QStringLiteral(FUNKOR_BINARY_DIR "/tests/speech/libsprelo-fake-engine.so");

// A registry of its own whose user hive names `engine` (none when empty).
class SpeechRegistry {
  public:
    explicit SpeechRegistry(const QString& engine) {
        qputenv("SPRELO_REGISTRY", dir_.path().toUtf8());
        if (engine.isEmpty()) return;
        QFile hive(dir_.path() + QStringLiteral("/HKEY_CURRENT_USER.reg"));
        hive.open(QIODevice::WriteOnly);
        hive.write("[SOFTWARE\\Tembrik\\Sprelo]\n\"ServerFile\"=\"" + engine.toUtf8() + "\"\n");
    }
    ~SpeechRegistry() { qunsetenv("SPRELO_REGISTRY"); }

  private:
    QTemporaryDir dir_;
};

template <class Fn>
Fn fakeHook(const char* name) {
    void* handle = dlopen(kFakeEngine.toUtf8().constData(), RTLD_NOW | RTLD_LOCAL);
    return reinterpret_cast<Fn>(dlsym(handle, name));
}

// The engine, once loaded, stays for the rest of the process, and other
// window tests load the user's engine: this test runs in a process of its
// own, started by itself.
TEST(SpeechControlElement, ForwardsToTheEngineAndDeliversItsNotificationsAsSignals) {
    if (!qEnvironmentVariableIsSet("FUNKOR_SPEECH_TEST_CHILD")) {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("FUNKOR_SPEECH_TEST_CHILD"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QFile::symLinkTarget(QStringLiteral("/proc/self/exe")),
                    {QStringLiteral("--gtest_filter=SpeechControlElement."
                                    "ForwardsToTheEngineAndDeliversItsNotificationsAsSignals")});
        ASSERT_TRUE(child.waitForFinished(120000));
        EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
        return;
    }
    SpeechRegistry registry(kFakeEngine);
    fakeHook<void (*)()>("FakeEngineReset")();
    SpreloControlElement sprelo;
    ASSERT_TRUE(sprelo.hosted()) << "control library not found";
    // Called as start-up calls them, while the engine may still be loading.
    sprelo.Initialize();
    EXPECT_EQ(sprelo.Speak(QStringLiteral("Anruf von Jürgen"), 0), 1);
    std::string log;
    QDeadlineTimer loaded(60000);
    while (log.find("SpreloSpeakA") == std::string::npos && !loaded.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        log += fakeHook<const char* (*)()>("FakeEngineTakeLog")();
    }
    EXPECT_EQ(log.find("SpreloInitialize()"), 0u) << log;
    // The settings saved with the window reach the engine on Initialize.
    EXPECT_NE(log.find("SpreloSetLocalSpeed(100)\nSpreloSetLocalIntonation(100)"),
              std::string::npos);
    EXPECT_NE(log.find("SpreloSpeakA(\"Anruf von J\xC3\xBCrgen\",0)"), std::string::npos);

    QList<QPair<int, int>> words;
    QObject::connect(&sprelo, &SpreloControlElement::NotifyWord, [&words](int offset, int length) {
        words.append({offset, length});
    });
    ASSERT_EQ(fakeHook<int (*)(int, std::int32_t, std::int32_t)>("FakeEnginePost")(5, 10, 6), 1);
    QDeadlineTimer deadline(60000);
    while (words.isEmpty() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    EXPECT_EQ(words, (QList<QPair<int, int>>{{10, 6}}));
}

TEST(SpeechControlElement, WithoutLibraryEveryCallYieldsZero) {
    SpeechRegistry registry(kFakeEngine);
    qputenv("FUNKOR_SPRELO4CNTRL", "none");
    SpreloControlElement sprelo;
    qunsetenv("FUNKOR_SPRELO4CNTRL");
    EXPECT_FALSE(sprelo.hosted());
    EXPECT_EQ(sprelo.Initialize(), 0);
    EXPECT_EQ(sprelo.Speak(QStringLiteral("unbekannter Anruf"), 0), 0);
}

TEST(SpeechControlElement, LooksForTheLibraryBesideTheProgramFirst) {
    const QStringList c = speechControlCandidates(QStringLiteral("/usr/bin"));
    ASSERT_GE(c.size(), 4);
    EXPECT_EQ(c[0], QStringLiteral("/usr/bin/libSprelo4Cntrl.so"));
    EXPECT_EQ(c[1], QStringLiteral("/usr/speechctl/libSprelo4Cntrl.so"));
    EXPECT_EQ(c[2], QStringLiteral("/usr/lib/funkor/libSprelo4Cntrl.so"));
    EXPECT_EQ(c.last(), QStringLiteral("libSprelo4Cntrl.so"));
    qputenv("FUNKOR_SPRELO4CNTRL", "/opt/x/libSprelo4Cntrl.so");
    EXPECT_EQ(speechControlCandidates(QStringLiteral("/usr/bin")),
              QStringList{QStringLiteral("/opt/x/libSprelo4Cntrl.so")});
    qunsetenv("FUNKOR_SPRELO4CNTRL");
}

}  // namespace
