// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "app/base/text_codec.h"

#include <QJsonObject>
#include <QString>
#include <string>

class Form1;

// The window's state as JSON, for tests, benchmarks and bug reports:
// {"title": ..., "elements": {NAME: {...}}, "variables": {NAME: value}}.
// Every element carries its kind and, where they apply, caption, text,
// tooltip, visible, enabled, value, index and items.
QJsonObject windowSnapshot(Form1& form);

// Writes the snapshot to `path`; false when the file cannot be written.
bool writeSnapshot(Form1& form, const QString& path);
