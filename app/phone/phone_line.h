#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>

#include "app/window/async_wait.h"
#include "core/line_framer.h"

class Form1;

// The phone's serial line: command lines out, answer bytes framed into lines
// and handed to the response dispatcher, the trace list, and the small user
// actions on the link (trace toggle, switch-off, timing-advance probe).
//
// Received bytes are not read at once: the first receive event arms a short
// wait, so that the rest of an answer can arrive, and the bytes are then read
// in one go. The wait does not hold up the window; only one read is pending
// at a time, and receive events meanwhile only tell it more has come.
class PhoneLine {
  public:
    // Time given to an answer to arrive before its bytes are read.
    static constexpr int kReceiveWaitMs = 150;
    // Trace entries kept at most; the oldest go first, so that a trace left
    // open for days cannot eat the memory.
    static constexpr int kTraceLimit = 5000;
    // The timing-advance probe keeps the call up this long.
    static constexpr int kProbeCallMs = 2000;

    explicit PhoneLine(Form1& form);
    ~PhoneLine();

    void SendCommand(const std::string& command);
    void Comm1_OnComm();
    void List2_MouseDown(int button);
    void BattA_Click();
    void BattA_MouseDown(int button);
    void TAV_Click();

    // Whether the trace list is switched on (shown on the window).
    bool traceVisible() const;
    // Adds one entry to the trace list; with `follow` the list scrolls so
    // that the last five or six entries stay in view.
    void addTrace(const QString& entry, bool follow);

    // Reads and frames every byte waiting in Comm1 now.
    void drainInput();
    // Whether a read of received bytes is armed.
    bool receivePending() const { return drainTimer_.isActive(); }
    // Whether the timing-advance probe is running.
    bool probeRunning() const { return probeRunning_; }

    // How the program ends after the phone was switched off; by default the
    // application's event loop is left. Tests put a recorder here.
    void setQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }

  private:
    Async timingAdvanceProbe();

    Form1& f;
    funkor::LineFramer framer_;
    QTimer drainTimer_;
    bool probeRunning_ = false;
    std::function<void()> quit_;
    // Owner of suspended waits: destroyed first, so no wait resumes on a
    // half-destroyed line.
    QObject waitOwner_;
};
