// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QTimer>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "core/cell_learning.h"
#include "core/cell_observation.h"
#include "core/measurements.h"

class LabelElement;
class Platform;
struct NetworkState;
struct OutputState;

// Records the cells the phone hears together with the GPS receiver's fix,
// once a second while the program runs, into the measurements file
// (core/measurements). Off unless the settings say "Measurements"/"Record"
// = 1. Nothing is recorded while the receiver has no valid or only an old
// fix, the position jumps, the phone is on no network or names no cell, or
// the position lies in one of the "Measurements"/"Exclude" circles. The
// file is "Measurements"/"File" (relative to the program folder), else
// Funkor-measurements.db beside the cell database; "Measurements"/"MaxMB"
// bounds it (default 1000 MB, the oldest rows go first).
//
// It owns the counter `MessN`, shown while recording: the rows and cells
// recorded since the program started. What goes wrong goes to the trace.
class MeasurementRecorder {
  public:
    static constexpr int kTickMs = 1000;

    struct Elements {
        LabelElement* counter = nullptr;  // may be left out
    };

    // `observation` gives the cells of the device's last read with their
    // signals and timing advance, when one is fresh (may be left empty):
    // they are recorded instead of the serving cell alone.
    MeasurementRecorder(Elements elements, const NetworkState& network, const OutputState& output,
                        Platform& platform, std::function<void(const QString&)> trace,
                        std::function<std::optional<funkor::Observation>()> observation = {});

    // Reads the settings and, when recording is on, opens the file at
    // `path` and starts the ticks. False when recording is off or the file
    // cannot be used (the trace says why).
    bool start(const std::string& settingsPath, const std::string& path);
    // Stops the ticks and learns the cells recorded since the start afresh
    // (core/cell_learning), so that a drive's cells are placed when the
    // program ends.
    void stop();
    ~MeasurementRecorder();
    bool recording() const { return store_.has_value() && timer_.isActive(); }

    // One tick: records the serving cell with the current fix when the
    // gate lets it through. Returns the gate's decision.
    funkor::RecordGate tick();
    // Rows recorded since the program started.
    std::int64_t recorded() const { return recorded_; }
    // Cells with an identity among them.
    std::size_t cellsRecorded() const { return cellsSeen_.size(); }
    // The cell's learned row in the measurements file named at start,
    // recording or not; nothing when the file or the row is missing.
    std::optional<funkor::LearnedCell> learnedCell(const funkor::CellDbKey& key);

  private:
    void showCount();

    Elements elements_;
    const NetworkState& network_;
    const OutputState& output_;
    Platform& platform_;
    std::function<void(const QString&)> trace_;
    std::function<std::optional<funkor::Observation>()> observation_;
    std::optional<funkor::MeasurementStore> store_;
    std::string path_;
    // The file opened for reading learned rows while nothing is recorded.
    std::optional<funkor::MeasurementStore> reader_;
    bool readerTried_ = false;
    funkor::ExclusionList exclusions_;
    QTimer timer_;
    std::string lastRmc_;
    qint64 rmcArrivedMs_ = 0;  // platform time at which lastRmc_ came
    std::optional<funkor::MeasuredFix> previous_;
    std::int64_t lastRecordedFix_ = -1;
    std::int64_t recorded_ = 0;
    // The cells recorded since the start: radio, MCC, MNC, area, cell;
    // `heard_` until they are learned, `cellsSeen_` for the counter.
    using CellId = std::tuple<std::string, int, int, std::int64_t, std::int64_t>;
    std::set<CellId> heard_;
    std::set<CellId> cellsSeen_;
};
