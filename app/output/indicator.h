// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QColor>
#include <QWidget>

#include "app/base/elements.h"
#include "core/position_output.h"

// Paints the indicator GPSstat or TCPstat; Idle is the window's own
// background colour.
inline void paintIndicator(ShapeElement* shape, funkor::Indicator indicator) {
    QColor c;
    switch (indicator) {
        case funkor::Indicator::Green:
            c = QColor(0, 255, 0);
            break;
        case funkor::Indicator::Yellow:
            c = QColor(255, 255, 0);
            break;
        case funkor::Indicator::Orange:
            c = QColor(255, 128, 0);
            break;
        case funkor::Indicator::Red:
            c = QColor(255, 0, 0);
            break;
        case funkor::Indicator::Black:
            c = QColor(0, 0, 0);
            break;
        case funkor::Indicator::Idle:
            c = shape->window()->palette().color(QPalette::Window);
            break;
    }
    shape->setFillColor(c);
}
