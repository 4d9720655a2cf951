// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string_view>

namespace funkor {

// MCC and MNC of O2 Germany: the network whose cells broadcast the grid
// position of their site, whose SIM holds home and city zones and whose
// sectors the cell key names.
inline constexpr std::string_view kO2Germany = "26207";

}  // namespace funkor
