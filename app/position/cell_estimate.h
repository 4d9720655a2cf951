// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <functional>
#include <optional>
#include <string>

#include "core/cell_learning.h"
#include "core/cell_observation.h"
#include "core/position_estimate.h"

namespace funkor {
class CellDatabase;
}
class Platform;
class PositionFeed;
struct NetworkState;
struct PhoneLinkState;
struct PositionState;

// The position from every cell the device hears: with a cell database open,
// the command cycle asks between its steps, every few seconds, for the
// serving cell, its neighbours and their signals (the query the device's
// maker knows, and AT+CESQ); the answers of one read become one observation,
// and the next read first estimates the position from it and hands it to the
// position feed. A query the device refuses is left out for the run. A
// broadcast position of the cell is never replaced.
class CellEstimate {
  public:
    // Milliseconds between two reads.
    static constexpr int kReadEveryMs = 3500;

    // `database` gives the open cell database, null without one; `learned`
    // a cell's row learned from the user's own measurements (may be left
    // empty). Of the two rows of a cell the one with more evidence is used.
    CellEstimate(
        const PhoneLinkState& phone, const NetworkState& network, PositionState& position,
        Platform& platform, PositionFeed& feed,
        std::function<const funkor::CellDatabase*()> database,
        std::function<std::optional<funkor::LearnedCell>(const funkor::CellDbKey&)> learned = {});

    // The command line the cycle sends now to read the cells, empty when no
    // read is due. Estimates the position from the last read's answers
    // first.
    std::string nextRead();
    // A line of the cells heard ("^SMONC:", "+QENG:", "+CENG:",
    // "+UCELLINFO:", "+CESQ:").
    void report(const std::string& line);
    // A line that ends a query: a refused read is asked with less next time.
    void queryEnded(const std::string& line);
    // Estimates the position from the answers gathered since the last read
    // (the next read does it first) and hands it on.
    void estimate();

    // The estimate last handed on (invalid before the first).
    const funkor::PositionEstimate& last() const { return last_; }
    // The cells of the last read that was estimated, when it is at most
    // `maxAgeMs` old.
    std::optional<funkor::Observation> recentObservation(qint64 maxAgeMs) const;

  private:
    std::string readLine() const;
    void publish(const funkor::PositionEstimate& e);

    const PhoneLinkState& phone_;
    const NetworkState& network_;
    PositionState& position_;
    Platform& platform_;
    PositionFeed& feed_;
    std::function<const funkor::CellDatabase*()> database_;
    std::function<std::optional<funkor::LearnedCell>(const funkor::CellDbKey&)> learned_;

    QElapsedTimer clock_;
    qint64 lastReadMs_ = -1;
    std::string device_;  // the maker the reads are made for
    bool setupSent_ = false;
    bool pending_ = false;
    // Refusals of the read line: 0 asks everything, 1 without AT+CESQ,
    // 2 AT+CESQ alone, 3 (or more) only what needs no maker's query.
    int refusals_ = 0;
    funkor::Observation observation_;
    bool heard_ = false;
    funkor::TrackState track_;
    funkor::PositionEstimate last_;
    funkor::Observation lastObservation_;
    qint64 lastObservationMs_ = -1;
    double publishedLat_ = 0, publishedLon_ = 0;
    int publishedCells_ = -1;
};
