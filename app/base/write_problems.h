// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <set>
#include <string>

class Platform;

// Tells the user when one of the program's files cannot be written: once
// per file, and again only after a write to it has succeeded in between. A
// full disk must not bury the window under a message box for every position
// the log could not take, while the program goes on working.
class WriteProblems {
  public:
    // The outcome of a write to the file `fileName` (a name in the program
    // folder such as "Funkor.log"): 0 when written, else the errno. A write
    // the user asked for (a name typed) is answered each time it fails.
    void report(Platform& platform, const std::string& fileName, int error, bool userAsked = false);
    bool failing(const std::string& fileName) const { return failing_.count(fileName) > 0; }

  private:
    std::set<std::string> failing_;
};
