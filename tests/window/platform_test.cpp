// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/base/platform.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

namespace {

QApplication* widgetsApp() {
    static int argc = 1;
    static char arg0[] = "platform_test";
    static char* argv[] = {arg0, nullptr};
    if (!QCoreApplication::instance()) new QApplication(argc, argv);
    return qobject_cast<QApplication*>(QCoreApplication::instance());
}

// Once the dialog is up, hands it to `act` (which answers it).
void whenDialogShows(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            act(w);
        }
    });
    timer->start();
}

QPushButton* buttonCaptioned(QWidget* dialog, const QString& caption) {
    for (auto* b : dialog->findChildren<QPushButton*>())
        if (b->text().remove(QLatin1Char('&')) == caption) return b;
    return nullptr;
}

}  // namespace

TEST(QtPlatform, YesNoAnswersWithGermanButtons) {
    ASSERT_TRUE(widgetsApp());
    QWidget owner;
    auto platform = makeQtPlatform(&owner);
    const struct {
        const char* button;
        bool expected;
    } cases[] = {{"Ja", true}, {"Nein", false}};
    for (const auto& c : cases) {
        QString shown;
        whenDialogShows([&](QWidget* w) {
            shown = static_cast<QMessageBox*>(w)->text();
            QPushButton* b = buttonCaptioned(w, QString::fromLatin1(c.button));
            ASSERT_NE(b, nullptr) << c.button;
            b->click();
        });
        EXPECT_EQ(platform->YesNo(QStringLiteral("Zelle benennen?")), c.expected) << c.button;
        EXPECT_EQ(shown, QStringLiteral("Zelle benennen?"));
    }
    // Closing the box without an answer counts as "Nein".
    whenDialogShows([](QWidget* w) { static_cast<QDialog*>(w)->reject(); });
    EXPECT_FALSE(platform->YesNo(QStringLiteral("Zelle benennen?")));
}

TEST(QtPlatform, InputBoxGivesTheTextOrEmptyOnCancel) {
    ASSERT_TRUE(widgetsApp());
    auto platform = makeQtPlatform(nullptr);
    const struct {
        const char* typed;
        const char* button;
        const char* expected;
    } cases[] = {
        {"Funkturm", "OK", "Funkturm"},
        {"Funkturm", "Abbrechen", ""},
        {nullptr, "OK", "Vorgabe"},  // the default text taken as it is
    };
    for (const auto& c : cases) {
        QString prompt;
        whenDialogShows([&](QWidget* w) {
            auto* dialog = static_cast<QInputDialog*>(w);
            prompt = dialog->labelText();
            if (c.typed) dialog->setTextValue(QString::fromLatin1(c.typed));
            QPushButton* b = buttonCaptioned(w, QString::fromLatin1(c.button));
            ASSERT_NE(b, nullptr) << c.button;
            b->click();
        });
        const QString got = platform->InputBox(QStringLiteral("Name des Senders:"), QString(),
                                               QStringLiteral("Vorgabe"));
        EXPECT_EQ(got, QString::fromLatin1(c.expected)) << c.button;
        EXPECT_EQ(prompt, QStringLiteral("Name des Senders:"));
    }
}

TEST(QtPlatform, NowIsTheSystemClock) {
    auto platform = makeQtPlatform(nullptr);
    const QDateTime before = QDateTime::currentDateTime();
    const QDateTime now = platform->Now();
    const QDateTime after = QDateTime::currentDateTime();
    EXPECT_LE(before, now);
    EXPECT_LE(now, after);
}
