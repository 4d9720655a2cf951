// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "app/window/form1.h"
#include "app/window/form2.h"
#include "tests/window/fake_platform.h"

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
