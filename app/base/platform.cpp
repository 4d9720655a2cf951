// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/base/platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUrl>
#include <QWidget>

namespace {

// Dialog title when the caller gives none, as the program's name.
QString titleOr(const QString& title) {
    return title.isEmpty() ? QStringLiteral("Funkor") : title;
}

class QtPlatform : public Platform {
  public:
    explicit QtPlatform(QWidget* parent) : parent_(parent) {}

    void MsgBox(const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::NoIcon, titleOr(title), text, QMessageBox::Ok, parent_);
        box.exec();
    }

    bool YesNo(const QString& text, const QString& title) override {
        QMessageBox box(QMessageBox::Question, titleOr(title), text, QMessageBox::NoButton,
                        parent_);
        // German captions whether or not Qt's translations are installed.
        QPushButton* yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
        QPushButton* no = box.addButton(QStringLiteral("Nein"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
        box.exec();
        return box.clickedButton() == yes;
    }

    QString InputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override {
        QInputDialog dialog(parent_);
        dialog.setWindowTitle(titleOr(title));
        dialog.setLabelText(prompt);
        dialog.setTextValue(defaultText);
        dialog.setOkButtonText(QStringLiteral("OK"));
        dialog.setCancelButtonText(QStringLiteral("Abbrechen"));
        if (dialog.exec() != QDialog::Accepted) return QString();
        return dialog.textValue();
    }

    void Beep() override { QApplication::beep(); }

    void OpenUrl(const QString& url) override {
        // Map addresses carry characters such as "|" that a strict parse
        // refuses; the tolerant parse escapes them.
        QDesktopServices::openUrl(QUrl(url, QUrl::TolerantMode));
    }

    QDateTime Now() override { return QDateTime::currentDateTime(); }

    bool OnScreen() override {
        const QString name = QGuiApplication::platformName();
        return name != QLatin1String("offscreen") && name != QLatin1String("minimal");
    }

  private:
    QPointer<QWidget> parent_;
};

}  // namespace

std::unique_ptr<Platform> makeQtPlatform(QWidget* parent) {
    return std::make_unique<QtPlatform>(parent);
}
