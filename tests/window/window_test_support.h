// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>

#include "app/window/form1.h"
#include "app/window/form2.h"
#include "tests/window/fake_platform.h"

// The O2 broadcast page of a Berlin cell (position key 459870581994) and a GPS
// sentence in Munich, which several tables feed the window.
inline constexpr const char* kBerlinPage = "001000DD0111B45A0E7783D570B15C8E06";
inline constexpr const char* kGsmRmc =
    "$GPRMC,101500,A,4807.1234,N,01134.5678,E,,,021226,0,E*00\r\n";

// A main window on its own empty program folder, with a platform double that
// records messages and beeps.
struct WindowFixture {
    QTemporaryDir dir;
    FakePlatform* platform = nullptr;
    std::unique_ptr<Form1> form;

    QString path(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }

    void writeFile(const QString& name, const QByteArray& content) const {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
    }

    QByteArray readFile(const QString& name) const {
        QFile f(path(name));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

    // Builds the window; `load` runs the start-up as the program does.
    Form1& make(const QString& commandLine = QString(), bool load = true) {
        StartOptions options;
        options.commandLine = commandLine;
        return make(options, load);
    }
    Form1& make(const StartOptions& options, bool load = true) {
        auto fake = std::make_unique<FakePlatform>();
        platform = fake.get();
        form =
            std::make_unique<Form1>(options, ProgramFolder{dir.path(), QString()}, std::move(fake));
        if (load) form->Form_Load();
        return *form;
    }
};

// A platform whose input box runs `whileAsked` before it answers, as the
// phone's lines arrive while the user types; it keeps the dialogs' titles.
class AskingPlatform : public FakePlatform {
  public:
    std::function<void()> whileAsked;
    QStringList titles;
    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override {
        titles << title;
        if (whileAsked) whileAsked();
        return FakePlatform::InputBox(prompt, title, defaultText);
    }
};

// A started window on its own program folder, with an asking platform whose
// clock shows `now` (when given), and the folder's files by name.
struct AskingWindow {
    QTemporaryDir dir;
    AskingPlatform* platform = nullptr;
    std::unique_ptr<Form1> form;

    explicit AskingWindow(const QDateTime& now = QDateTime()) {
        auto p = std::make_unique<AskingPlatform>();
        platform = p.get();
        if (now.isValid()) p->now = now;
        form = std::make_unique<Form1>(StartOptions{}, ProgramFolder{dir.path(), QString()},
                                       std::move(p));
        form->Form_Load();
    }
    QString path(const char* name) const { return dir.path() + QLatin1Char('/') + name; }
    // The file's bytes, "<none>" when it does not exist.
    QByteArray read(const char* name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<none>");
    }
    void write(const char* name, const QByteArray& content) const {
        QFile f(path(name));
        f.open(QIODevice::WriteOnly);
        f.write(content);
    }
};
