// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <ctime>

namespace funkor {

// Offset of the system's local time from UTC at `now`, in whole hours, taken
// from the system's time-zone rules (so the switch to and from summer time
// falls on the real dates). For German local time this is 1 in winter and 2
// in summer.
int utcOffsetHours(std::time_t now);

}  // namespace funkor
