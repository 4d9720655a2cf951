// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <ctime>

namespace funkor {

// Offset of the system's local time from UTC at `now` in minutes, taken
// from the system's time-zone rules (so the switch to and from summer time
// falls on the real dates). For German local time this is 60 in winter and
// 120 in summer; India gives 330, Nepal 345, Newfoundland -210 in winter.
int utcOffsetMinutes(std::time_t now);
// The whole hours of that offset, cut towards zero (India: 5).
int utcOffsetHours(std::time_t now);

}  // namespace funkor
