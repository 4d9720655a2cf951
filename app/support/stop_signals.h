// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>

// Runs `onStop` on the event thread when the process gets SIGINT or SIGTERM,
// so that Ctrl+C or a plain `kill` ends the program the way closing its
// window does (the snapshot is written, the demo's phone is stopped). A
// second signal while the first is handled ends the process at once.
void stopOnTerminationSignals(std::function<void()> onStop);
