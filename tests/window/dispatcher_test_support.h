// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QJsonObject>
#include <QString>
#include <initializer_list>
#include <string>

#include "app/base/text_codec.h"
#include "app/window/snapshot.h"
#include "tests/window/window_test_support.h"

// A loaded window whose clock stands at 09:20:05, fed lines as the phone
// sends them.
struct DispatcherFixture : WindowFixture {
    Form1& f;

    DispatcherFixture() : f(make()) {
        platform->now = QDateTime(QDate(2026, 12, 2), QTime(9, 20, 5));
    }

    void feed(std::initializer_list<const char*> lines) {
        for (const char* line : lines) f.InterpretResponse(line);
    }
    void feed(const std::string& line) { f.InterpretResponse(line); }

    // Everything the window shows and holds, for "nothing changed" checks.
    QJsonObject state() { return windowSnapshot(f); }

    // Shown as part of the window (the window itself is on screen).
    static bool shown(const QWidget* w) { return !w->isHidden(); }
    // A caption or tooltip as the 8-bit text the parsers work with.
    static std::string text(const QString& s) { return toCp1252(s); }
};
