// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/position_panel.h"

#include "app/base/elements.h"

void PositionPanel::showPosition(const QString& caption, const QString& toolTip) {
    e_.PosL->setText(caption);
    e_.PosL->setToolTip(toolTip);
}

void PositionPanel::clearCaption() {
    e_.PosL->setText(QString());
}

void PositionPanel::showZone(const QString& caption, const QString& toolTip) {
    e_.Zone->setToolTip(toolTip);
    e_.Zone->setText(caption);
}

void PositionPanel::clearZone() {
    e_.Zone->setText(QString());
}

void PositionPanel::showZoneName(const QString& name) {
    e_.Netz2->setText(name);
}

void PositionPanel::showDistance(const QString& caption) {
    e_.Entf->setText(caption);
}

void PositionPanel::setDistanceToolTip(const QString& toolTip) {
    e_.Entf->setToolTip(toolTip);
}

void PositionPanel::setZoneNameToolTip(const QString& toolTip) {
    e_.Netz2->setToolTip(toolTip);
}

void PositionPanel::showCellFrame() {
    for (QWidget* w : e_.cellFrame) w->show();
}

void PositionPanel::clearForNoNetwork() {
    for (LabelElement* label : {e_.Netz2, e_.PosL, e_.Zone}) label->setText(QString());
    e_.Zone->setToolTip(QStringLiteral("City-Zone"));
}

void PositionPanel::showForBroadcast() {
    for (QWidget* w : e_.positionControls) w->setVisible(true);
    for (QWidget* w : e_.broadcastControls) w->setVisible(true);
}

void PositionPanel::showForDatabase() {
    for (QWidget* w : e_.positionControls) w->setVisible(true);
}

void PositionPanel::hideAll() {
    for (QWidget* w : e_.positionControls) w->hide();
    for (QWidget* w : e_.broadcastControls) w->hide();
    for (QWidget* w : e_.leaveHides) w->hide();
}
