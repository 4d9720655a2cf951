// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/source_selection.h"

#include <QCheckBox>
#include <QScrollBar>

#include "app/base/elements.h"
#include "app/base/window_state.h"
#include "core/ini_file.h"

SourceSelection::SourceSelection(const Elements& elements, OutputState& output,
                                 std::string settingsPath, std::function<void()> sendPosition)
    : e_(elements),
      output_(output),
      settingsPath_(std::move(settingsPath)),
      sendPosition_(std::move(sendPosition)) {}

funkor::SourceBoxes SourceSelection::boxes() const {
    return {e_.cGSM->isChecked(), e_.cGPS->isChecked(), e_.cSMS->isChecked(),
            e_.cMULTI->isChecked()};
}

void SourceSelection::selectSmsSource() {
    e_.cSMS->setChecked(true);
}

void SourceSelection::showAutoSendControls() {
    e_.AsendL->show();
    e_.AsendS->show();
}

void SourceSelection::setGpsAvailable(bool available) {
    if (!available) e_.cGPS->setChecked(false);
    e_.cGPS->setEnabled(available);
}

void SourceSelection::setGsmAvailable(bool available) {
    if (!available) e_.cGSM->setChecked(false);
    e_.cGSM->setEnabled(available);
}

void SourceSelection::apply(funkor::SourceBox clicked) {
    const funkor::SourceBoxes now = boxes();
    const funkor::SourceBoxes after = funkor::applySourceClick(clicked, now);
    // Each box set here runs its own handler, which finds nothing more to do.
    if (after.gsm != now.gsm) e_.cGSM->setChecked(after.gsm);
    if (after.gps != now.gps) e_.cGPS->setChecked(after.gps);
    if (after.sms != now.sms) e_.cSMS->setChecked(after.sms);
}

void SourceSelection::AsendS_Change() {
    const int interval = e_.AsendS->value();
    e_.AsendL->setText(QString::fromStdString(funkor::autoSendCaption(interval)));
    e_.Timer6->setEnabled(interval != 0);
}

void SourceSelection::Timer6_Timer() {
    const funkor::AutoSendMinute m =
        funkor::countAutoSendMinute(output_.autoSendMinutes, e_.AsendS->value());
    output_.autoSendMinutes = m.minutes;
    // A send still running keeps SendPos ticked; ticking it again then
    // raises nothing, and this minute sends nothing.
    if (m.send) sendPosition_();
}

void SourceSelection::restoreSettings() {
    const std::string& ini = settingsPath_;
    auto flag = [&ini](const char* key) {
        return funkor::ini::getInt(ini, "Sources", key, 0) == 1;
    };
    // The rotation first, so that several saved sources are all kept.
    if (flag("MULTI")) e_.cMULTI->setChecked(true);
    if (flag("GSM") && e_.cGSM->isEnabled()) e_.cGSM->setChecked(true);
    if (flag("GPS") && e_.cGPS->isEnabled()) e_.cGPS->setChecked(true);
    if (flag("SMS")) e_.cSMS->setChecked(true);
    const int interval = funkor::ini::getInt(ini, "Sources", "AutoSend", 0);
    if (interval >= e_.AsendS->minimum() && interval <= e_.AsendS->maximum())
        e_.AsendS->setValue(interval);
}

std::vector<std::pair<const char*, int>> SourceSelection::settingsToSave() const {
    return {{"GSM", e_.cGSM->isChecked() ? 1 : 0},
            {"GPS", e_.cGPS->isChecked() ? 1 : 0},
            {"SMS", e_.cSMS->isChecked() ? 1 : 0},
            {"MULTI", e_.cMULTI->isChecked() ? 1 : 0},
            {"AutoSend", e_.AsendS->value()}};
}
