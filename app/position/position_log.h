// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

class Form1;

// The position log "Funkor.log": appending an entry for each new position
// while logging is on, and taking the unnamed sites of a drive over into
// the site-name file afterwards.
class PositionLog {
  public:
    explicit PositionLog(Form1& form);

    // The logging switch, and the engine after each new position.
    void Trace_Click();
    // Asks a name for each logged site that has none yet, then offers to
    // delete the log.
    void NewL_Click();

  private:
    std::string path(const char* name) const;

    Form1& f;
};
