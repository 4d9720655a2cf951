// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/support/stall_probe.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <algorithm>

#include "app/base/window_view.h"

StallProbe::StallProbe(const WindowView& window, const QString& file, QObject* parent)
    : QObject(parent), window_(window), file_(file) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &StallProbe::tick);
    clock_.start();
    lastNs_ = clock_.nsecsElapsed();
    timer_.start(kPeriodMs);
}

QString StallProbe::fileFromEnvironment() {
    return qEnvironmentVariable("FUNKOR_STALL_PROBE");
}

void StallProbe::tick() {
    const qint64 now = clock_.nsecsElapsed();
    const double lateMs = std::max(0.0, static_cast<double>(now - lastNs_) / 1e6 - kPeriodMs);
    lastNs_ = now;
    ++ticks_;
    worst_ = std::max(worst_, lateMs);
    if (firstPassDone_) return;
    firstPassWorst_ = std::max(firstPassWorst_, lateMs);
    // The schedule wraps from the phone books or the SMS list back to the
    // regular pass; seen from here the step drops from one to the other.
    const funkor::PollStep step = window_.phoneState().pollStep;
    if (funkor::readsBooksOrList(lastStep_) && step <= funkor::PollStep::Operator) {
        firstPassDone_ = true;
        firstPassSeconds_ = static_cast<double>(now) / 1e9;
        write();
    }
    lastStep_ = step;
}

bool StallProbe::write() const {
    QJsonObject o;
    o[QStringLiteral("worstStallMs")] = worst_;
    o[QStringLiteral("firstPassWorstStallMs")] = firstPassWorst_;
    o[QStringLiteral("firstPassDone")] = firstPassDone_;
    o[QStringLiteral("firstPassSeconds")] = firstPassSeconds_;
    o[QStringLiteral("ticks")] = ticks_;
    QSaveFile out(file_);
    if (!out.open(QIODevice::WriteOnly)) return false;
    out.write(QJsonDocument(o).toJson(QJsonDocument::Compact));
    out.write("\n");
    return out.commit();
}
