// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>

// The trace list as the output topics write to it; the phone line keeps
// the list and gives these.
struct TraceList {
    // Whether the list is switched on (shown on the window).
    std::function<bool()> visible;
    // Adds one entry; with `follow` the list scrolls so that the last five
    // or six entries stay in view.
    std::function<void(const QString& entry, bool follow)> add;
    // Scrolls so that the last ten entries are in view.
    std::function<void()> showLast;
};
