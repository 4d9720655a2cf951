// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QElapsedTimer>

// A pause of at least a given length. The window's timers may fire a little
// early (coarse timers round to save wake-ups); a wait that must not be
// shorter waits again for what is left:
//
//     for (TimedPause p(200); !p.over();) co_await waitMs(owner, p.left());
class TimedPause {
  public:
    explicit TimedPause(int ms) : ms_(ms) { elapsed_.start(); }
    bool over() const { return elapsed_.elapsed() >= ms_; }
    int left() const {
        const qint64 rest = ms_ - elapsed_.elapsed();
        return rest > 0 ? static_cast<int>(rest) : 0;
    }

  private:
    QElapsedTimer elapsed_;
    int ms_;
};
