#pragma once

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

// 8-bit text of the serial line and the data files (Windows-1252) as Unicode.
QString fromCp1252(const std::string& text);
