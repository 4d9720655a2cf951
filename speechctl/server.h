// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// The control's registration in HKEY_CLASSES_ROOT, as DllRegisterServer
// writes it and DllUnregisterServer removes it.

#include <string>

#include "speechctl/registry.h"

namespace sprelo {

// Adds the registration for a library at `modulePath` to `keys`.
void addRegistration(registry::Keys& keys, const std::string& modulePath);
// Removes the registration from `keys`; keys it does not own ("CLSID",
// "TypeLib", "Interface" and everything of other classes) stay.
void removeRegistration(registry::Keys& keys);

// The full path of the library holding this code.
std::string modulePath();

}  // namespace sprelo
