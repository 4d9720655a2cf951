// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/display_switches.h"

#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/position_texts.h"

DisplaySwitches::DisplaySwitches(Form1& form) : f(form) {}

void DisplaySwitches::ShCell_Click() {
    PositionState& p = f.position;
    if (f.ShCell->isChecked()) {
        p.shCellNetworkText = f.network.networkText;
        p.shCellZoneName = f.network.zoneName;
        f.Netz->setText(QString());
        f.Netz2->setText(QString());
        // Runs ShHome_Click now when home display was on.
        f.ShHome->setChecked(false);
    } else {
        f.network.networkText = p.shCellNetworkText;
        f.network.zoneName = p.shCellZoneName;
        f.Netz->setText(fromCp1252(f.network.networkText));
        f.Netz2->setText(fromCp1252(f.network.zoneName));
    }
    // The next position is shown in the new mode even when unchanged.
    p.lastCbPosition.clear();
    f.ComputeCellPosition();
    f.BattA->setFocus();
}

void DisplaySwitches::ShHome_Click() {
    PositionState& p = f.position;
    if (f.ShHome->isChecked()) {
        p.shHomeCellCaption = toCp1252(f.Cell->text());
        f.Cell->setText(QStringLiteral(" Home"));
        f.Entf->setToolTip(QStringLiteral("Home (%1)").arg(fromCp1252(f.network.homeKey)));
        // Runs ShCell_Click now when cell display was on: it restores its
        // texts and shows the home position at once.
        f.ShCell->setChecked(false);
        p.shHomeNetworkText = f.network.networkText;
        p.shHomeZoneName = f.network.zoneName;
        f.Netz->setText(QString());
        f.Netz2->setText(QString());
        // The phone is not polled while home is shown.
        f.Timer1->setEnabled(false);
    } else {
        f.Entf->setToolTip(
            QStringLiteral("Entfernung Home (r=%1m)")
                .arg(QString::fromStdString(funkor::mapNumber(f.network.homeZone.radius))));
        f.Cell->setText(fromCp1252(p.shHomeCellCaption));
        f.network.networkText = p.shHomeNetworkText;
        f.network.zoneName = p.shHomeZoneName;
        f.Netz->setText(fromCp1252(f.network.networkText));
        f.Netz2->setText(fromCp1252(f.network.zoneName));
        f.Timer1->setEnabled(true);
    }
    f.BattA->setFocus();
}
