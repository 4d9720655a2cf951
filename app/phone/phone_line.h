// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <optional>
#include <string>

#include "app/base/async_wait.h"
#include "app/base/elements.h"
#include "core/line_framer.h"

class Platform;
class QListWidget;
class QPushButton;
class SerialPortComponent;
struct PhoneLinkState;

// The phone's serial line: command lines out, answer bytes framed into lines
// and handed to the response dispatcher, the trace list, and the small user
// actions on the link (trace toggle, switch-off, timing-advance probe).
//
// Received bytes are framed into lines as they come. A line is handed on
// once the answer it belongs to is complete (a final result such as "OK" or
// "ERROR" has come) or at the latest a short wait after it, so that lines
// the phone sends on its own (a ring, a broadcast page) are not held up
// either. The wait does not hold up the window; one is pending at a time.
class PhoneLine {
  public:
    // Longest time a received line waits for the rest of its answer.
    static constexpr int kReceiveWaitMs = 150;
    // Trace entries kept at most; the oldest go first, so that a trace left
    // open for days cannot eat the memory.
    static constexpr int kTraceLimit = 5000;
    // The timing-advance probe keeps the call up this long.
    static constexpr int kProbeCallMs = 2000;

    // The window's elements this topic owns.
    struct Elements {
        QWidget* window;  // the main window: what is shown on it, and closed at switch-off
        SerialPortComponent* Comm1;
        QListWidget* List2;  // the trace list
        QPushButton* SMSc;   // shown with the trace list
        GaugeElement* BattA;
        ImageElement* BattE;
        ImageElement* BattL;
        LabelElement* TAV;
        // The trace list opens at this element's height (read only).
        QWidget* traceTop;
    };
    // `lineReceived` takes every line the phone sends (the response
    // dispatcher); `stopCycle` switches the command cycle off.
    PhoneLine(const Elements& elements, PhoneLinkState& phone, Platform& platform,
              std::function<void(const std::string&)> lineReceived,
              std::function<void()> stopCycle);
    ~PhoneLine();

    void SendCommand(const std::string& command);
    void Comm1_OnComm();
    void List2_MouseDown(int button);
    void BattA_Click();
    void BattA_MouseDown(int button);
    void TAV_Click();
    // The battery gauge takes the keyboard focus (from a switch just used).
    void takeFocus();

    // Whether the trace list is switched on (shown on the window).
    bool traceVisible() const;
    // Adds one entry to the trace list; with `follow` the list scrolls so
    // that the last five or six entries stay in view.
    void addTrace(const QString& entry, bool follow);
    // Scrolls the trace list so that its last ten entries are in view.
    void showLastTraceEntries();

    // Reads and frames every byte waiting in Comm1 and hands every complete
    // line on now.
    void drainInput();
    // The port broke: the lines that came whole are handed on, the line it
    // cut off is dropped, so that it is not glued to the first line of the
    // next opening.
    void portBroken();
    // Whether received lines wait to be handed on.
    bool receivePending() const { return drainTimer_.Enabled(); }
    // Bytes taken from Comm1 so far.
    qint64 bytesTaken() const { return bytesTaken_; }
    // Whether the timing-advance probe is running.
    bool probeRunning() const { return probeRunning_; }

    // The phone's port, for the command cycle's search and its raw lines.
    bool portOpen() const;
    QString lineSettings() const;
    void setLineSettings(const QString& settings);
    // Closes the port if open and opens port `portNumber`; a port that is
    // missing or busy stays closed.
    void reopenPort(int portNumber);
    // Bytes as they are, without the trace; false when the port refused them.
    bool writeRaw(const QByteArray& bytes);
    // Hides the trace list (the test button stays).
    void hideTrace();

    // The battery reading: the gauge's value and tooltip when the phone
    // gives a charge, and the picture of mains or battery.
    void showBattery(std::optional<int> charge, const QString& tooltip, bool onBattery);
    // The timing-advance label's caption, and showing the label.
    void setTimingAdvanceCaption(const QString& caption);
    void showTimingAdvanceLabel();

    // How the program ends after the phone was switched off; by default the
    // application's event loop is left. Tests put a recorder here.
    void setQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }

  private:
    // Moves the waiting bytes into the framer; complete lines queue up.
    void takeInput();
    // Hands the queued lines to the dispatcher, oldest first.
    void handOver();
    Async timingAdvanceProbe();

    QWidget* window_;
    SerialPortComponent* Comm1_;
    QListWidget* List2_;
    QPushButton* SMSc_;
    GaugeElement* BattA_;
    ImageElement* BattE_;
    ImageElement* BattL_;
    LabelElement* TAV_;
    QWidget* traceTop_;
    PhoneLinkState& phone_;
    Platform& platform_;
    std::function<void(const std::string&)> lineReceived_;
    std::function<void()> stopCycle_;
    funkor::LineFramer framer_;
    std::deque<std::string> ready_;
    qint64 bytesTaken_ = 0;
    // Runs while received lines wait for the rest of their answer.
    TimerElement drainTimer_;
    bool probeRunning_ = false;
    std::function<void()> quit_;
    // Owner of suspended waits: destroyed first, so no wait resumes on a
    // half-destroyed line.
    QObject waitOwner_;
};
