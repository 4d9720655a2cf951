// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/cell_database.h"

class QCheckBox;
class QComboBox;
class QWidget;
class LabelElement;
class TimerElement;
class Platform;
struct NetworkState;
struct PositionState;

// Positions from the offline cell database: on every new serving cell the
// cell is looked up; a known cell becomes the GSM-cell position as a
// broadcast position would (PosL, the sentence pair, the map address, the
// output timer, the log), an unknown one leaves no position at all. A
// broadcast page of the same cell replaces the database's position later.
class CellDbPosition {
  public:
    // The window's elements this topic writes.
    struct Elements {
        LabelElement* PosL;
        LabelElement* Cell;
        QComboBox* NMEA;
        QComboBox* GPS;
        QCheckBox* MBlast;
        TimerElement* Timer2;
        // Shown while a database position is: the sending and map controls.
        std::vector<QWidget*> positionControls;
    };
    // `trace` adds a line to the trace list; `logPosition` appends the shown
    // position to the position log when logging is on (Trace_Click).
    CellDbPosition(NetworkState& network, PositionState& position, Platform& platform,
                   const Elements& elements, std::function<void(const QString&)> trace,
                   std::function<void()> logPosition);
    ~CellDbPosition();

    // Opens the database at `path`; a missing file means no database (quietly),
    // a damaged or foreign one gives its message once. True when open.
    bool openDatabase(const std::string& path, QString* problem);
    bool hasDatabase() const { return db_.has_value(); }

    // The serving cell changed (network.cellRadio, cellLac, cellCi and
    // operatorCode): look it up.
    void ServingCellChanged();

  private:
    NetworkState& network_;
    PositionState& position_;
    Platform& platform_;
    LabelElement* PosL_;
    LabelElement* Cell_;
    QComboBox* NMEA_;
    QComboBox* GPS_;
    QCheckBox* MBlast_;
    TimerElement* Timer2_;
    std::vector<QWidget*> controls_;
    std::function<void(const QString&)> trace_;
    std::function<void()> logPosition_;
    std::optional<funkor::CellDatabase> db_;
};
