// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/measurement_recorder.h"

#include <QDateTime>

#include "app/base/platform.h"
#include "app/base/window_state.h"
#include "core/cell_database.h"
#include "core/cell_learning.h"
#include "core/ini_file.h"

MeasurementRecorder::MeasurementRecorder(const NetworkState& network, const OutputState& output,
                                         Platform& platform,
                                         std::function<void(const QString&)> trace)
    : network_(network), output_(output), platform_(platform), trace_(std::move(trace)) {
    timer_.setInterval(kTickMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
}

bool MeasurementRecorder::start(const std::string& settingsPath, const std::string& path) {
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
    return true;
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
    const funkor::RecordResult r = store_->record(*in.gps.fix, {cell});
    if (!r.ok) {
        trace_(QStringLiteral("Messungen: %1").arg(QString::fromStdString(r.error)));
        return gate;
    }
    lastRecordedFix_ = in.gps.fix->timeMs;
    heard_.insert({cell.radio, cell.mcc, cell.mnc, cell.area, *cell.cell});
    recorded_ += r.stored;
    if (r.boundReached)
        trace_(QStringLiteral("Messungen: Größengrenze erreicht, die ältesten werden gelöscht"));
    return gate;
}
