// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class Platform;
class CellSiteFiles;
class DisplaySwitches;
class PositionFeed;
class PositionPanel;
struct ProgramFolder;
struct NetworkState;
struct PositionState;

// The position engine on the window: gathers the page, the cell and the
// switches from the window state, has the position computed and hands it to
// the position feed.
class PositionEngine {
  public:
    // The display switches a position is shown by, the cell's name and the
    // feed a position goes to.
    struct Topics {
        const DisplaySwitches& switches;
        CellSiteFiles& cellNames;
        PositionFeed& feed;
    };
    PositionEngine(NetworkState& network, PositionState& position, Platform& platform,
                   const ProgramFolder& folder, const Topics& topics);
    ~PositionEngine();

    // Runs after each broadcast page and after the cell display switch.
    void ComputeCellPosition();

  private:
    NetworkState& network_;
    PositionState& position_;
    Platform& platform_;
    const ProgramFolder& folder_;
    Topics topics_;
};
