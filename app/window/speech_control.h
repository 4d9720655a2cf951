// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <memory>

#include "app/base/elements.h"

class QSocketNotifier;
class QThread;
namespace sprelo {
struct ISprelo4Control;
struct ISpreloNotifyChannel;
}  // namespace sprelo

// Hosts the speech control Sprelo4Cntrl as the window's `Sprelo`: loads the
// control library at run time, makes the control through its class factory,
// gives it the settings saved with the window, forwards Initialize and
// Speak to it, and turns the engine's notifications into Qt signals on the
// GUI thread (a socket notifier watches the control's channel). Without the
// library, or without an engine behind it, the program goes on silently.
//
// The engine, with its audio libraries, is loaded on a thread of its own
// when the element is made, so that the window never waits for it: an
// Initialize or Speak that comes earlier is carried out once it is loaded.
class SpreloControlElement : public SpeechElement {
    Q_OBJECT
  public:
    explicit SpreloControlElement(QWidget* parent = nullptr);
    ~SpreloControlElement() override;

    long Initialize() override;
    long Speak(const QString& text, int action) override;

    // Whether the control library was found and the control made.
    bool hosted() const { return control_ != nullptr; }
    // Where the library was loaded from (empty when not hosted).
    QString libraryPath() const { return libraryPath_; }

  signals:
    void NotifyAction(int actionId, int value);
    void NotifyMark(int number);
    void NotifySentence(int offset, int length);
    void NotifyWord(int offset, int length);

  private:
    class Sink;
    friend class Sink;

    void engineLoaded();
    long initializeNow();
    long speakNow(const QString& text, int action);

    sprelo::ISprelo4Control* control_ = nullptr;
    sprelo::ISpreloNotifyChannel* channel_ = nullptr;
    QSocketNotifier* notifier_ = nullptr;
    std::unique_ptr<Sink> sink_;
    std::uint32_t cookie_ = 0;
    QString libraryPath_;
    QThread* preload_ = nullptr;
    bool loading_ = false;
    bool initializePending_ = false;
    QList<QPair<QString, int>> pendingSpeech_;
};

// Where the control library is looked for, in order: beside the program,
// the build tree (speechctl/ beside app/), the installation (lib/funkor/
// beside bin/), the path the control registered for itself, and the
// system's library path. FUNKOR_SPRELO4CNTRL=FILE tries that file only
// (FUNKOR_SPRELO4CNTRL=none: no speech).
QStringList speechControlCandidates(const QString& executableDir);
