// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QtGlobal>
#include <map>

#include "app/base/elements.h"

// Drives the window's timers by hand: time stands still until `advance`
// moves it, and every timer that is on ticks once for each period that ends
// on the way, in the order the periods end. Installed for its lifetime.
class ManualTimers : public TimerDriver {
  public:
    ManualTimers() { TimerElement::setDriver(this); }
    ~ManualTimers() override { TimerElement::setDriver(nullptr); }
    ManualTimers(const ManualTimers&) = delete;
    ManualTimers& operator=(const ManualTimers&) = delete;

    void start(TimerElement& timer, int intervalMs) override {
        running_[&timer] = {now_ + intervalMs, intervalMs, ++started_};
    }
    void stop(TimerElement& timer) override { running_.erase(&timer); }

    qint64 now() const { return now_; }

    // Moves the time on by `ms`. A tick's handler may move it on as well, as
    // a handler that lets events run would see time pass.
    void advance(qint64 ms) {
        const qint64 until = now_ + ms;
        for (;;) {
            auto next = running_.end();
            for (auto it = running_.begin(); it != running_.end(); ++it) {
                if (it->second.due > until) continue;
                if (next == running_.end() || it->second.due < next->second.due ||
                    (it->second.due == next->second.due && it->second.order < next->second.order))
                    next = it;
            }
            if (next == running_.end()) break;
            now_ = next->second.due;
            next->second.due += next->second.interval;
            next->first->tick();
        }
        if (until > now_) now_ = until;
    }

  private:
    struct Period {
        qint64 due;
        int interval;
        int order;
    };
    std::map<TimerElement*, Period> running_;
    qint64 now_ = 0;
    int started_ = 0;
};
