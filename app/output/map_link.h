// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

class Form1;

// The web map: MBlast opens the current position's map address in the
// browser, and Timer5 replays a logged position (to the serial output and
// to the map) while the user names a new site from the position log.
class MapLink {
  public:
    explicit MapLink(Form1& form) : f(form) {}

    void MBlast_Click();
    void Timer5_Timer();
    // Hands a map address to the browser; an empty one opens nothing.
    void openAddress(const std::string& address);

  private:
    Form1& f;
};
