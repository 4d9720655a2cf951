// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/base/text_codec.h"

#include <QLocale>

#include "core/charset.h"

QString fromCp1252(const std::string& text) {
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (unsigned char c : text)
        out.append(QChar(static_cast<char16_t>(funkor::charset::fromCp1252(c))));
    return out;
}

std::string toCp1252(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar ch : text) out += funkor::charset::toCp1252(ch.unicode());
    return out;
}

char localDecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    if (point.size() != 1) return '.';
    const char c = funkor::charset::toCp1252(point.at(0).unicode());
    // toCp1252 gives "?" for what it cannot hold; no locale's separator is "?".
    return c == '?' || static_cast<unsigned char>(c) < 0x20 ? '.' : c;
}
