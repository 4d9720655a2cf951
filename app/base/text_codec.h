// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

#include <string>

// The serial line and the data files carry 8-bit Windows-1252 text, one byte
// per character; the window shows Unicode. These convert between the two.

QString fromCp1252(const std::string& text);
// Characters that Windows-1252 cannot hold become "?".
std::string toCp1252(const QString& text);
// The user's decimal separator as one 8-bit character; "." when the 8-bit
// text cannot hold it (U+066B under Arabic or Persian locales).
char localDecimalSeparator();
inline QByteArray bytesOf(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}
