// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class Platform;
class CellSiteFiles;
class DisplaySwitches;
class GpsInput;
class MapLink;
class NmeaOutput;
class PositionLog;
class PositionPanel;
struct ProgramFolder;
struct NetworkState;
struct PositionState;

// The position engine on the window: gathers the page, the cell and the
// switches from the window state, has the position computed and spreads it
// over the labels, the sentence pair, the map, the output timer and the log.
class PositionEngine {
  public:
    // The topics a position goes to, and the display switches it is shown
    // by.
    struct Topics {
        const DisplaySwitches& switches;
        PositionPanel& panel;
        CellSiteFiles& cellNames;
        NmeaOutput& nmeaOutput;
        GpsInput& gpsInput;
        MapLink& mapLink;
        PositionLog& positionLog;
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
