// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/source_selection.h"

#include "app/sms/sms_sending.h"
#include "app/window/form1.h"
#include "core/ini_file.h"

void SourceSelection::apply(funkor::SourceBox clicked) {
    const funkor::SourceBoxes now{f.cGSM->isChecked(), f.cGPS->isChecked(), f.cSMS->isChecked(),
                                  f.cMULTI->isChecked()};
    const funkor::SourceBoxes after = funkor::applySourceClick(clicked, now);
    // Each box set here runs its own handler, which finds nothing more to do.
    if (after.gsm != now.gsm) f.cGSM->setChecked(after.gsm);
    if (after.gps != now.gps) f.cGPS->setChecked(after.gps);
    if (after.sms != now.sms) f.cSMS->setChecked(after.sms);
}

void SourceSelection::AsendS_Change() {
    const int interval = f.AsendS->value();
    f.AsendL->setText(QString::fromStdString(funkor::autoSendCaption(interval)));
    f.Timer6->setEnabled(interval != 0);
}

void SourceSelection::Timer6_Timer() {
    const funkor::AutoSendMinute m =
        funkor::countAutoSendMinute(f.output.autoSendMinutes, f.AsendS->value());
    f.output.autoSendMinutes = m.minutes;
    // A send still running keeps SendPos ticked; ticking it again then
    // raises nothing, and this minute sends nothing.
    if (m.send) f.smsSending->sendPositionUnattended();
}

void SourceSelection::restoreSettings() {
    const std::string ini = f.settingsPath();
    auto flag = [&ini](const char* key) {
        return funkor::ini::getInt(ini, "Sources", key, 0) == 1;
    };
    // The rotation first, so that several saved sources are all kept.
    if (flag("MULTI")) f.cMULTI->setChecked(true);
    if (flag("GSM") && f.cGSM->isEnabled()) f.cGSM->setChecked(true);
    if (flag("GPS") && f.cGPS->isEnabled()) f.cGPS->setChecked(true);
    if (flag("SMS")) f.cSMS->setChecked(true);
    const int interval = funkor::ini::getInt(ini, "Sources", "AutoSend", 0);
    if (interval >= f.AsendS->minimum() && interval <= f.AsendS->maximum())
        f.AsendS->setValue(interval);
}

std::vector<std::pair<const char*, int>> SourceSelection::settingsToSave() const {
    return {{"GSM", f.cGSM->isChecked() ? 1 : 0},
            {"GPS", f.cGPS->isChecked() ? 1 : 0},
            {"SMS", f.cSMS->isChecked() ? 1 : 0},
            {"MULTI", f.cMULTI->isChecked() ? 1 : 0},
            {"AutoSend", f.AsendS->value()}};
}
