// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "app/support/command_line.h"

namespace {

struct OptionsCase {
    QStringList args;
    const char* commandLine;
    const char* dataDir;
    const char* snapshot;
    double quitAfter;
    QStringList other;
    int problems;
};

TEST(CommandLine, OptionsAndTheClassicCommandLineAreSeparated) {
    const OptionsCase cases[] = {
        {{}, "", "", "", -1, {}, 0},
        {{"T"}, "T", "", "", -1, {}, 0},
        {{"3,57600"}, "3,57600", "", "", -1, {}, 0},
        {{"--data-dir", "/tmp/x", "--snapshot", "s.json", "--quit-after", "1"},
         "",
         "/tmp/x",
         "s.json",
         1,
         {},
         0},
        {{"--data-dir=/d", "T", "--quit-after=0.5"}, "T", "/d", "", 0.5, {}, 0},
        {{"--demo", "3"}, "3", "", "", -1, {"--demo"}, 0},
        {{"--quit-after", "soon"}, "", "", "", -1, {}, 1},
        {{"--snapshot"}, "", "", "", -1, {}, 1},
        {{"3,", "57600"}, "3, 57600", "", "", -1, {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        StartOptions o = parseStartOptions(c.args);
        EXPECT_EQ(o.commandLine, QString::fromLatin1(c.commandLine));
        EXPECT_EQ(o.dataDir, QString::fromLatin1(c.dataDir));
        EXPECT_EQ(o.snapshotFile, QString::fromLatin1(c.snapshot));
        EXPECT_DOUBLE_EQ(o.quitAfterSeconds, c.quitAfter);
        EXPECT_EQ(o.otherOptions, c.other);
        EXPECT_EQ(o.problems.size(), c.problems);
    }
}

TEST(CommandLine, RecipientNamesAPhoneBookEntry) {
    for (const QStringList& args : {QStringList{"--recipient", "Anna : +4917612345678", "3"},
                                    QStringList{"3", "--recipient=Anna : +4917612345678"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const StartOptions o = parseStartOptions(args);
        EXPECT_EQ(o.recipient, QStringLiteral("Anna : +4917612345678"));
        EXPECT_EQ(o.commandLine, QStringLiteral("3"));
        EXPECT_TRUE(o.otherOptions.isEmpty());
    }
    EXPECT_EQ(parseStartOptions({"--recipient"}).problems.size(), 1);
}

struct PortCase {
    const char* text;
    bool valid;
    int port;
    const char* settings;
};

TEST(CommandLine, PortFormsGivePortAndSettings) {
    const PortCase cases[] = {
        {"3", true, 3, ""},
        {"3,57600", true, 3, "57600,n,8,1"},
        {" 12 , 115200 ", true, 12, "115200,n,8,1"},
        {"16,19200", true, 16, "19200,n,8,1"},
        {"0", false, 0, ""},
        {"", false, 0, ""},
        {"T", false, 0, ""},
        {"3,", false, 0, ""},
        {"3,0", false, 0, ""},
        {"3,-9600", false, 0, ""},
        {"3,9600,e", false, 0, ""},
        {"123", false, 0, ""},
        {"3,99999999", false, 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto pc = parsePortCommand(c.text);
        ASSERT_EQ(pc.has_value(), c.valid);
        if (!pc) continue;
        EXPECT_EQ(pc->port, c.port);
        EXPECT_EQ(pc->settings, c.settings);
    }
}

}  // namespace
