// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/support/program_folder.h"

namespace {

TEST(ProgramFolder, ChosenInOrderOfPrecedence) {
    QTemporaryDir root;
    const QString r = root.path();
    QDir().mkpath(r + "/exe");
    // "usr/bin" is not made: a folder that cannot be written to stands for
    // an installed program (a read-only folder would not do when running
    // as root).

    struct Case {
        const char* label;
        ProgramFolderInputs in;
        QString dir;
        QString shipped;
    };
    std::vector<Case> cases = {
        {"option wins", {r + "/opt", r + "/home", r + "/exe", "", r}, r + "/opt", ""},
        {"environment next", {"", r + "/home", r + "/exe", "", r}, r + "/home", ""},
        {"writable executable folder", {"", "", r + "/exe", "", r}, r + "/exe", ""},
    };
    cases.push_back({"installed: XDG data folder",
                     {"", "", r + "/usr/bin", r + "/xdg", r},
                     r + "/xdg/funkor",
                     r + "/usr/share/funkor"});
    cases.push_back({"installed without XDG_DATA_HOME",
                     {"", "", r + "/usr/bin", "", r + "/user"},
                     r + "/user/.local/share/funkor",
                     r + "/usr/share/funkor"});
    // An installed tree unpacked where its user may write (a package
    // unpacked into a folder of one's own) keeps no settings in its "bin".
    QDir().mkpath(r + "/unpacked/usr/bin");
    QDir().mkpath(r + "/unpacked/usr/share/funkor");
    cases.push_back({"installed tree in a writable folder",
                     {"", "", r + "/unpacked/usr/bin", r + "/xdg", r},
                     r + "/xdg/funkor",
                     r + "/unpacked/usr/share/funkor"});
    // A portable copy in a folder named "bin" without the shipped tree.
    QDir().mkpath(r + "/portable/bin");
    cases.push_back({"writable bin folder alone",
                     {"", "", r + "/portable/bin", "", r},
                     r + "/portable/bin",
                     ""});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ProgramFolder f = findProgramFolder(c.in);
        EXPECT_EQ(f.dir, c.dir);
        EXPECT_EQ(f.shippedDir, c.shipped);
        EXPECT_TRUE(QFileInfo(f.dir).isDir());
        EXPECT_EQ(f.file("Funkor.ini"), c.dir + "/Funkor.ini");
    }
}

TEST(ProgramFolder, OwnCopyOfADataFileWinsOverTheShippedOne) {
    QTemporaryDir own, shipped;
    ProgramFolder f{own.path(), shipped.path()};
    auto touch = [](const QString& p) {
        QFile file(p);
        file.open(QIODevice::WriteOnly);
    };
    EXPECT_EQ(f.dataFile("O2.txt"), own.path() + "/O2.txt");  // neither exists
    touch(shipped.path() + "/O2.txt");
    EXPECT_EQ(f.dataFile("O2.txt"), shipped.path() + "/O2.txt");
    touch(own.path() + "/O2.txt");
    EXPECT_EQ(f.dataFile("O2.txt"), own.path() + "/O2.txt");
    ProgramFolder noShipped{own.path(), ""};
    EXPECT_EQ(noShipped.dataFile("GSMcodes.txt"), own.path() + "/GSMcodes.txt");
}

}  // namespace
