// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class Form1;

// The two switches beside the position: cell display (the phone's own
// approximate position, moved from the site by the timing advance) and
// home display (the SIM's home zone centre, polling paused). At most one is
// ticked; ticking one unticks the other, whose handler runs at that point.
class DisplaySwitches {
  public:
    explicit DisplaySwitches(Form1& form);

    void ShCell_Click();
    void ShHome_Click();

  private:
    Form1& f;
};
