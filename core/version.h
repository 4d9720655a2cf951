// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace funkor {

// Version shown in the window title and by the command-line tools.
const char* programVersion();

}  // namespace funkor
