// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <utility>
#include <vector>

#include "core/position_output.h"

class Form1;

// The position sources cGSM, cGPS, cSMS and the rotation cMULTI, and the
// automatic position SMS every AsendS minutes (Timer6 counts the minutes).
//
// The boxes and the interval are kept in the settings file, section
// "Sources": "GSM", "GPS", "SMS", "MULTI" (0 or 1) and "AutoSend" (minutes,
// 0 to 120).
class SourceSelection {
  public:
    explicit SourceSelection(Form1& form) : f(form) {}

    void cGSM_Click() { apply(funkor::SourceBox::Gsm); }
    void cGPS_Click() { apply(funkor::SourceBox::Gps); }
    void cSMS_Click() { apply(funkor::SourceBox::Sms); }
    void cMULTI_Click() { apply(funkor::SourceBox::Multi); }
    void AsendS_Change();
    void Timer6_Timer();

    // Sets the saved boxes and interval through their handlers, as clicks
    // would. A saved GPS source stays unticked while no GPS port is chosen,
    // a saved GSM source while the phone link is off.
    void restoreSettings();
    // Section "Sources" as SAVE writes it: key and value.
    std::vector<std::pair<const char*, int>> settingsToSave() const;

  private:
    void apply(funkor::SourceBox clicked);

    Form1& f;
};
