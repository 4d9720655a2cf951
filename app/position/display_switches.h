// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <string>

class QCheckBox;
class LabelElement;
class CellSiteFiles;
class PositionPanel;
struct NetworkState;
struct PositionState;

// The two switches beside the position: cell display (the phone's own
// approximate position, moved from the site by the timing advance) and
// home display (the SIM's home zone centre, polling paused). At most one is
// ticked; ticking one unticks the other, whose handler runs at that point.
class DisplaySwitches {
  public:
    struct Elements {
        QCheckBox* ShCell;
        QCheckBox* ShHome;
        // The network's name, which the switches put away and bring back
        // (the answers from the phone write it otherwise).
        LabelElement* Netz;
    };
    // What a switch has done elsewhere: the position computed again in the
    // new mode, the phone's polling paused or resumed, and the focus taken
    // off the switch.
    struct Calls {
        std::function<void()> recomputePosition;
        std::function<void(bool on)> setPolling;
        std::function<void()> moveFocusAway;
    };
    DisplaySwitches(const Elements& elements, NetworkState& network, PositionState& position,
                    PositionPanel& panel, CellSiteFiles& cellNames, Calls calls);

    void ShCell_Click();
    void ShHome_Click();

    bool homeShown() const;
    bool cellShown() const;

  private:
    // The network texts are kept in `networkText` and `zoneName` while a
    // switch is on and the labels stand empty.
    void putNetworkAway(std::string& networkText, std::string& zoneName);
    void bringNetworkBack(const std::string& networkText, const std::string& zoneName);

    Elements e_;
    NetworkState& network_;
    PositionState& position_;
    PositionPanel& panel_;
    CellSiteFiles& cellNames_;
    Calls calls_;
};
