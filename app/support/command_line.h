// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>
#include <string_view>

// What the program was started with. The classic command line ("T" for test
// mode, "3" or "3,57600" for the phone's port and rate) is everything that is
// not an option, joined by blanks; the options are the program's own.
struct StartOptions {
    QString commandLine;           // the classic command line, "" when none
    QString dataDir;               // --data-dir DIR: the program folder
    QString snapshotFile;          // --snapshot FILE: window state written at exit
    double quitAfterSeconds = -1;  // --quit-after SECONDS; below 0: never
    QString recipient;             // --recipient ENTRY: the phone-book entry chosen once read
    QStringList otherOptions;      // options this parser does not know, kept for others
    QStringList problems;          // German messages about unusable options
};

// Reads the arguments after the program name. Options may be written
// "--name value" or "--name=value". Unknown options are collected, not
// rejected, so that later options can be added without breaking start-up.
StartOptions parseStartOptions(const QStringList& arguments);

// "--help" or "-h" before any "--": the program prints helpText() and ends.
// Checked on the raw arguments, before the application object exists, so
// that it needs no display.
bool helpRequested(int argc, char** argv);

// The usage text of --help: the classic command line, every option and the
// environment variables the program reads.
const char* helpText();

// The phone port fixed on the command line: "n" selects port n at the rate
// chosen in the window, "n,b" selects port n with the settings "b,n,8,1".
struct PortCommand {
    int port = 0;
    std::string settings;  // "" when the rate is not fixed
};

// Reads "n" or "n,b" (blanks around the parts allowed). A port outside 1..99
// or a rate that is not a positive whole number gives nothing, so a mistyped
// command line cannot send the search to a port 0 or an odd settings text.
std::optional<PortCommand> parsePortCommand(std::string_view commandLine);
