// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QString>
#include <memory>

class QWidget;

// The desktop services the window uses: message boxes, questions, input
// boxes, the beep, the browser, the clock and the screen. Behind this interface so that
// tests can answer the dialogs and fix the time.
class Platform {
  public:
    virtual ~Platform() = default;
    virtual void MsgBox(const QString& text, const QString& title = QString()) = 0;
    // True when the user answers "Ja".
    virtual bool YesNo(const QString& text, const QString& title = QString()) = 0;
    // The text entered; "" when the user cancels.
    virtual QString InputBox(const QString& prompt, const QString& title = QString(),
                             const QString& defaultText = QString()) = 0;
    virtual void Beep() = 0;
    virtual void OpenUrl(const QString& url) = 0;
    virtual QDateTime Now() = 0;
    // The window is on a screen someone can see; not on the offscreen or
    // minimal platform of a headless run, where a box waits for nobody.
    virtual bool OnScreen() = 0;
};

// The real services: Qt's message and input dialogs owned by `parent`, the
// application beep, the desktop's URL opener and the system clock.
std::unique_ptr<Platform> makeQtPlatform(QWidget* parent);
