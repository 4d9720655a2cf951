// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <vector>

class QWidget;
class LabelElement;

// The position's part of the window: the caption PosL, the zone Zone, the
// zone name Netz2 and the home distance Entf, and the controls that only
// make sense while positions come. The position topics write these labels
// through it, and show and hide the controls as one group.
class PositionPanel {
  public:
    struct Elements {
        LabelElement* PosL;
        LabelElement* Zone;
        LabelElement* Netz2;
        LabelElement* Entf;
        // Shown with any position, from the broadcast or the cell database:
        // the caption, the map and sending switches and the cell.
        std::vector<QWidget*> positionControls;
        // Shown with a broadcast position as well: zone, timing advance,
        // distance, the display switches and their frame.
        std::vector<QWidget*> broadcastControls;
        // Put away with the others when the position network is left.
        std::vector<QWidget*> leaveHides;
        // The lines framing the cell's name, shown with each new cell.
        std::vector<QWidget*> cellFrame;
    };
    explicit PositionPanel(const Elements& elements) : e_(elements) {}

    void showPosition(const QString& caption, const QString& toolTip);
    void clearCaption();
    void showZone(const QString& caption, const QString& toolTip);
    void clearZone();
    void showZoneName(const QString& name);
    void showDistance(const QString& caption);
    void setDistanceToolTip(const QString& toolTip);
    void setZoneNameToolTip(const QString& toolTip);
    void showCellFrame();
    // The phone is on no network: caption, zone and zone name are emptied.
    void clearForNoNetwork();

    // A broadcast position arrived: every control is shown.
    void showForBroadcast();
    // A position from the cell database: the caption, map, sending and cell.
    void showForDatabase();
    // The phone left the position network: every control goes.
    void hideAll();

  private:
    Elements e_;
};
