// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

class QCheckBox;
class QPushButton;
class Platform;
class WriteProblems;
class CellSiteFiles;
class MapLink;
struct ProgramFolder;
struct NetworkState;
struct PositionState;

// The position log "Funkor.log": appending an entry for each new position
// while logging is on, and taking the unnamed sites of a drive over into
// the site-name file afterwards.
class PositionLog {
  public:
    struct Elements {
        QCheckBox* Trace;  // logging on
        QCheckBox* TrNew;  // only cells without a name
        QPushButton* NewL;
    };
    // `cellNames` gives the cell label's name; `mapLink` replays a logged
    // position while its name is asked.
    PositionLog(const Elements& elements, const NetworkState& network, PositionState& position,
                Platform& platform, const ProgramFolder& folder, WriteProblems& writeProblems,
                const CellSiteFiles& cellNames, MapLink& mapLink);

    // The logging switch.
    void Trace_Click();
    // Asks a name for each logged site that has none yet, then offers to
    // delete the log.
    void NewL_Click();

    // A new position: it is logged when logging is on (as Trace_Click).
    void logPosition();
    // Logging goes off (its switch unticked, through its handler).
    void stopLogging();

  private:
    std::string path(const char* name) const;

    QCheckBox* Trace_;
    QCheckBox* TrNew_;
    QPushButton* NewL_;
    const NetworkState& network_;
    PositionState& position_;
    Platform& platform_;
    const ProgramFolder& folder_;
    WriteProblems& writeProblems_;
    const CellSiteFiles& cellNames_;
    MapLink& mapLink_;
};
