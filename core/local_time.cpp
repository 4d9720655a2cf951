// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/local_time.h"

#include <cmath>

namespace funkor {

int utcOffsetHours(std::time_t now) {
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return 0;
    // Zones with a half-hour offset get the nearest whole hour.
    return static_cast<int>(std::lround(static_cast<double>(local.tm_gmtoff) / 3600.0));
}

}  // namespace funkor
