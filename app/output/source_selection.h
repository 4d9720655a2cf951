// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/position_output.h"

class QCheckBox;
class QScrollBar;
class LabelElement;
class TimerElement;
struct OutputState;

// The position sources cGSM, cGPS, cSMS and the rotation cMULTI, and the
// automatic position SMS every AsendS minutes (Timer6 counts the minutes).
//
// The boxes and the interval are kept in the settings file, section
// "Sources": "GSM", "GPS", "SMS", "MULTI" (0 or 1) and "AutoSend" (minutes,
// 0 to 120).
class SourceSelection {
  public:
    struct Elements {
        QCheckBox* cGSM;
        QCheckBox* cGPS;
        QCheckBox* cSMS;
        QCheckBox* cMULTI;
        QScrollBar* AsendS;
        LabelElement* AsendL;
        TimerElement* Timer6;
    };
    // `sendPosition` sends the position SMS of an automatic minute (no
    // question asked).
    SourceSelection(const Elements& elements, OutputState& output, std::string settingsPath,
                    std::function<void()> sendPosition);

    void cGSM_Click() { apply(funkor::SourceBox::Gsm); }
    void cGPS_Click() { apply(funkor::SourceBox::Gps); }
    void cSMS_Click() { apply(funkor::SourceBox::Sms); }
    void cMULTI_Click() { apply(funkor::SourceBox::Multi); }
    void AsendS_Change();
    void Timer6_Timer();

    // The boxes as they are ticked now.
    funkor::SourceBoxes boxes() const;
    // A position SMS came in: it becomes the source (through cSMS's handler).
    void selectSmsSource();
    // A position SMS went out: the automatic-sending interval is offered.
    void showAutoSendControls();
    // A GPS port is chosen (or none): without one the GPS source is unticked
    // and cannot be ticked.
    void setGpsAvailable(bool available);
    // The phone link is switched off ("STOP") or on again: the GSM source
    // goes unticked and greyed, or can be chosen again.
    void setGsmAvailable(bool available);

    // Sets the saved boxes and interval through their handlers, as clicks
    // would. A saved GPS source stays unticked while no GPS port is chosen,
    // a saved GSM source while the phone link is off.
    void restoreSettings();
    // Section "Sources" as SAVE writes it: key and value.
    std::vector<std::pair<const char*, int>> settingsToSave() const;

  private:
    void apply(funkor::SourceBox clicked);

    Elements e_;
    OutputState& output_;
    std::string settingsPath_;
    std::function<void()> sendPosition_;
};
