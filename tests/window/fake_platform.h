// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QStringList>
#include <deque>

#include "app/base/platform.h"

// Test double for Platform: answers from queues and records every call.
class FakePlatform : public Platform {
  public:
    std::deque<bool> yesNoAnswers;     // answers to YesNo; false when empty
    std::deque<QString> inputAnswers;  // answers to InputBox; "" when empty
    QStringList messages;              // texts shown by MsgBox
    QStringList questions;             // texts asked by YesNo
    QStringList prompts;               // prompts of InputBox
    QStringList urls;                  // addresses given to OpenUrl
    int beeps = 0;
    QDateTime now;         // returned by Now(); the real time when invalid
    bool onScreen = true;  // returned by OnScreen()

    void MsgBox(const QString& text, const QString& = QString()) override { messages << text; }
    bool YesNo(const QString& text, const QString& = QString()) override {
        questions << text;
        if (yesNoAnswers.empty()) return false;
        bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }
    QString InputBox(const QString& prompt, const QString& = QString(),
                     const QString& = QString()) override {
        prompts << prompt;
        if (inputAnswers.empty()) return QString();
        QString answer = inputAnswers.front();
        inputAnswers.pop_front();
        return answer;
    }
    void Beep() override { ++beeps; }
    void OpenUrl(const QString& url) override { urls << url; }
    QDateTime Now() override { return now.isValid() ? now : QDateTime::currentDateTime(); }
    bool OnScreen() override { return onScreen; }
};
