// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include "core/cycle_state.h"

class WindowView;

// Measures how long the window's event thread is kept from running its
// timers: a 10 ms timer notes how late each of its ticks comes. The worst
// lateness overall and during the first full pass of the command schedule
// (from start until the schedule wraps around to step 3 after the SMS list)
// are written as JSON to a file when the first pass ends and at exit:
// {"worstStallMs", "firstPassWorstStallMs", "firstPassDone", "firstPassSeconds", "ticks"}.
// Switched on by the environment variable FUNKOR_STALL_PROBE=FILE.
class StallProbe : public QObject {
    Q_OBJECT
  public:
    StallProbe(const WindowView& window, const QString& file, QObject* parent = nullptr);

    // The file named by FUNKOR_STALL_PROBE, "" when unset.
    static QString fileFromEnvironment();

    // Writes the figures now; false when the file cannot be written.
    bool write() const;

    double worstStallMs() const { return worst_; }
    double firstPassWorstStallMs() const { return firstPassWorst_; }
    bool firstPassDone() const { return firstPassDone_; }

  private:
    void tick();

    static constexpr int kPeriodMs = 10;
    const WindowView& window_;
    QString file_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastNs_ = 0;
    double worst_ = 0;
    double firstPassWorst_ = 0;
    bool firstPassDone_ = false;
    double firstPassSeconds_ = 0;
    funkor::PollStep lastStep_ = funkor::PollStep::Manufacturer;
    qint64 ticks_ = 0;
};
