// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/local_time.h"

namespace funkor {

int utcOffsetMinutes(std::time_t now) {
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return 0;
    // Every zone in use today is a whole number of minutes off UTC.
    return static_cast<int>(local.tm_gmtoff / 60);
}

int utcOffsetHours(std::time_t now) {
    return utcOffsetMinutes(now) / 60;
}

}  // namespace funkor
