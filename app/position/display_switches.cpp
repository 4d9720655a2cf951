// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/display_switches.h"

#include <QCheckBox>

#include "app/base/elements.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/position/cell_site_files.h"
#include "app/position/position_panel.h"
#include "core/position_texts.h"

DisplaySwitches::DisplaySwitches(const Elements& elements, NetworkState& network,
                                 PositionState& position, PositionPanel& panel,
                                 CellSiteFiles& cellNames, Calls calls)
    : e_(elements),
      network_(network),
      position_(position),
      panel_(panel),
      cellNames_(cellNames),
      calls_(std::move(calls)) {}

bool DisplaySwitches::homeShown() const {
    return e_.ShHome->isChecked();
}

bool DisplaySwitches::cellShown() const {
    return e_.ShCell->isChecked();
}

void DisplaySwitches::putNetworkAway(std::string& networkText, std::string& zoneName) {
    networkText = network_.networkText;
    zoneName = network_.zoneName;
    e_.Netz->setText(QString());
    panel_.showZoneName(QString());
}

void DisplaySwitches::bringNetworkBack(const std::string& networkText,
                                       const std::string& zoneName) {
    network_.networkText = networkText;
    network_.zoneName = zoneName;
    e_.Netz->setText(fromCp1252(network_.networkText));
    panel_.showZoneName(fromCp1252(network_.zoneName));
}

void DisplaySwitches::ShCell_Click() {
    PositionState& p = position_;
    if (e_.ShCell->isChecked()) {
        putNetworkAway(p.shCellNetworkText, p.shCellZoneName);
        // Runs ShHome_Click now when home display was on.
        e_.ShHome->setChecked(false);
    } else {
        bringNetworkBack(p.shCellNetworkText, p.shCellZoneName);
    }
    // The next position is shown in the new mode even when unchanged.
    p.lastCbPosition.clear();
    calls_.recomputePosition();
    calls_.moveFocusAway();
}

void DisplaySwitches::ShHome_Click() {
    PositionState& p = position_;
    if (e_.ShHome->isChecked()) {
        p.shHomeCellCaption = toCp1252(cellNames_.caption());
        cellNames_.showCaption(QStringLiteral(" Home"));
        panel_.setDistanceToolTip(QStringLiteral("Home (%1)").arg(fromCp1252(network_.homeKey)));
        // Runs ShCell_Click now when cell display was on: it restores its
        // texts and shows the home position at once.
        e_.ShCell->setChecked(false);
        putNetworkAway(p.shHomeNetworkText, p.shHomeZoneName);
        // The phone is not polled while home is shown.
        calls_.setPolling(false);
    } else {
        panel_.setDistanceToolTip(
            QStringLiteral("Entfernung Home (r=%1m)")
                .arg(QString::fromStdString(funkor::mapNumber(network_.homeZone.radius))));
        cellNames_.showCaption(fromCp1252(p.shHomeCellCaption));
        bringNetworkBack(p.shHomeNetworkText, p.shHomeZoneName);
        calls_.setPolling(true);
    }
    calls_.moveFocusAway();
}
