// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/cell_database.h"

class Platform;
class PositionFeed;
struct NetworkState;
struct PositionState;

// Positions from the offline cell database: on every new serving cell the
// cell is looked up; a known cell goes to the position feed as a broadcast
// position would, an unknown one leaves no position at all. A broadcast page
// of the same cell replaces the database's position later.
class CellDbPosition {
  public:
    // `feed` takes the positions; `trace` adds a line to the trace list; `problem` tells the user
    // why the database that was open can be used no more.
    CellDbPosition(NetworkState& network, PositionState& position, Platform& platform,
                   PositionFeed& feed, std::function<void(const QString&)> trace,
                   std::function<void(const QString&)> problem);
    ~CellDbPosition();

    // Opens the database at `path`; a missing file means no database
    // (quietly), for a damaged or foreign one, or a folder, `problem` gets
    // the message. True when open.
    bool openDatabase(const std::string& path, QString* problem);
    bool hasDatabase() const { return db_.has_value(); }
    // The open database, null without one.
    const funkor::CellDatabase* database() const { return db_ ? &*db_ : nullptr; }

    // The serving cell changed (network.cellRadio, cellLac, cellCi and
    // operatorCode): look it up. A database that fails to read the cell is
    // told once and closed: the program goes on as without one.
    void ServingCellChanged();

  private:
    NetworkState& network_;
    PositionState& position_;
    Platform& platform_;
    PositionFeed& feed_;
    std::function<void(const QString&)> trace_;
    std::function<void(const QString&)> problem_;
    std::optional<funkor::CellDatabase> db_;
};
