// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/measurement_recorder.h"

#include <cmath>

#include <QDateTime>

#include "app/base/elements.h"
#include "app/base/platform.h"
#include "app/base/window_state.h"
#include "core/cell_database.h"
#include "core/cell_learning.h"
#include "core/ini_file.h"

namespace {

// The cells of a read as rows: the serving cell (its identity from the
// registration where the read did not give it) and each neighbour, which
// without an identity of its own is kept by its code and channel in the
// serving cell's network and area.
std::vector<funkor::MeasuredCell> measuredCells(const funkor::Observation& obs,
                                                const funkor::MeasuredCell& serving) {
    const auto row = [&serving](const funkor::ObservedCell& c, bool isServing) {
        funkor::MeasuredCell m;
        m.radio = funkor::radioName(c.radio);
        m.mcc = c.mcc.value_or(serving.mcc);
        m.mnc = c.mnc.value_or(serving.mnc);
        m.area = c.area.value_or(serving.area);
        m.cell = c.cell;
        m.pci = c.unit;
        m.channel = c.channel;
        if (c.signalDbm) m.signalDbm = static_cast<int>(std::lround(*c.signalDbm));
        m.timingAdvance = c.timingAdvance;
        m.serving = isServing;
        return m;
    };
    std::vector<funkor::MeasuredCell> cells;
    if (obs.serving) {
        funkor::MeasuredCell s = row(*obs.serving, true);
        if (!s.cell) s.cell = serving.cell;
        cells.push_back(s);
    } else {
        cells.push_back(serving);
    }
    for (const funkor::ObservedCell& n : obs.neighbours) cells.push_back(row(n, false));
    return cells;
}

}  // namespace

MeasurementRecorder::MeasurementRecorder(
    Elements elements, const NetworkState& network, const OutputState& output, Platform& platform,
    std::function<void(const QString&)> trace,
    std::function<std::optional<funkor::Observation>()> observation)
    : elements_(elements),
      network_(network),
      output_(output),
      platform_(platform),
      trace_(std::move(trace)),
      observation_(std::move(observation)) {
    timer_.setInterval(kTickMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
}

std::optional<funkor::LearnedCell> MeasurementRecorder::learnedCell(const funkor::CellDbKey& key) {
    if (store_) return funkor::findLearned(*store_, key);
    if (!readerTried_ && !path_.empty()) {
        readerTried_ = true;
        std::string error;
        reader_ = funkor::MeasurementStore::openReadOnly(path_, error);
    }
    if (!reader_) return std::nullopt;
    return funkor::findLearned(*reader_, key);
}

bool MeasurementRecorder::start(const std::string& settingsPath, const std::string& path) {
    path_ = path;
    if (funkor::ini::getInt(settingsPath, "Measurements", "Record", 0) != 1) return false;
    exclusions_ = funkor::parseExclusions(
        funkor::ini::getString(settingsPath, "Measurements", "Exclude").value_or(""));
    if (!exclusions_.valid)
        trace_(QStringLiteral("Messungen: Ausschlussgebiet \"%1\" unlesbar, nichts wird "
                              "aufgezeichnet")
                   .arg(QString::fromStdString(exclusions_.problem)));
    const int maxMb = funkor::ini::getInt(settingsPath, "Measurements", "MaxMB", 1000);
    std::string error;
    store_ = funkor::MeasurementStore::open(
        path, error, static_cast<std::int64_t>(std::max(1, maxMb)) * 1000 * 1000);
    if (!store_) {
        trace_(QStringLiteral("Messungen: %1").arg(QString::fromStdString(error)));
        return false;
    }
    timer_.start();
    showCount();
    return true;
}

void MeasurementRecorder::showCount() {
    if (!elements_.counter) return;
    const auto cells = static_cast<qulonglong>(cellsSeen_.size());
    elements_.counter->setText(
        QStringLiteral("Messungen: %1 (%2 %3)")
            .arg(recorded_)
            .arg(cells)
            .arg(cells == 1 ? QStringLiteral("Zelle") : QStringLiteral("Zellen")));
    elements_.counter->setToolTip(
        QStringLiteral("Seit dem Start aufgezeichnete Messwerte mit GPS-Position und die Zellen "
                       "darin (%1)")
            .arg(QString::fromStdString(path_)));
    elements_.counter->setVisible(true);
}

MeasurementRecorder::~MeasurementRecorder() {
    stop();
}

void MeasurementRecorder::stop() {
    timer_.stop();
    if (store_ && !heard_.empty()) {
        std::vector<funkor::CellDbKey> keys;
        for (const auto& [radio, mcc, mnc, area, cell] : heard_)
            keys.push_back({radio, mcc, mnc, area, cell});
        const funkor::LearnResult r =
            funkor::learnCellsOf(*store_, keys, platform_.Now().toSecsSinceEpoch());
        if (!r.ok) trace_(QStringLiteral("Messungen: %1").arg(QString::fromStdString(r.error)));
        heard_.clear();
    }
    store_.reset();
}

funkor::RecordGate MeasurementRecorder::tick() {
    const qint64 now = platform_.Now().toMSecsSinceEpoch();
    if (output_.gpsRmc != lastRmc_) {
        lastRmc_ = output_.gpsRmc;
        rmcArrivedMs_ = now;
    }
    funkor::RecordGateInput in;
    in.gps = funkor::readGpsFix(output_.gpsRmc, output_.gpsGga);
    in.fixAgeMs = lastRmc_.empty() ? funkor::kMaxFixAgeMs + 1 : now - rmcArrivedMs_;
    in.previous = previous_;
    const auto key = funkor::cellDbKey(network_.cellRadio, network_.operatorCode, network_.cellLac,
                                       network_.cellCi);
    in.registered = network_.onNetwork && !network_.operatorCode.empty();
    in.cells = key && !network_.cellRadio.empty() && network_.cellCi > 0 ? 1 : 0;
    in.exclusions = &exclusions_;
    const funkor::RecordGate gate = gateRecording(in);
    if (in.gps.fix) previous_ = in.gps.fix;
    // One row per fix: the receiver's second and the tick need not agree.
    if (gate != funkor::RecordGate::Record || !store_ || in.gps.fix->timeMs == lastRecordedFix_)
        return gate;
    funkor::MeasuredCell cell;
    cell.radio = key->radio;
    cell.mcc = key->mcc;
    cell.mnc = key->net;
    cell.area = key->area;
    cell.cell = key->cell;
    cell.serving = true;
    std::vector<funkor::MeasuredCell> cells{cell};
    if (const auto obs = observation_ ? observation_() : std::nullopt)
        cells = measuredCells(*obs, cell);
    const funkor::RecordResult r = store_->record(*in.gps.fix, cells);
    if (!r.ok) {
        trace_(QStringLiteral("Messungen: %1").arg(QString::fromStdString(r.error)));
        return gate;
    }
    lastRecordedFix_ = in.gps.fix->timeMs;
    for (const funkor::MeasuredCell& c : cells) {
        if (!c.cell) continue;
        heard_.insert({c.radio, c.mcc, c.mnc, c.area, *c.cell});
        cellsSeen_.insert({c.radio, c.mcc, c.mnc, c.area, *c.cell});
    }
    recorded_ += r.stored;
    showCount();
    if (r.boundReached)
        trace_(QStringLiteral("Messungen: Größengrenze erreicht, die ältesten werden gelöscht"));
    return gate;
}
