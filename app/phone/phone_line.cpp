// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/phone/phone_line.h"

#include <QCoreApplication>
#include <QScrollBar>

#include "app/phone/timed_pause.h"
#include "app/window/form1.h"
#include "app/window/text_codec.h"

namespace {

// Marks a command line sent to the phone in the trace (a right-pointing
// double angle quotation mark on both sides).
const QChar kSentMark(0x00BB);

// Lines that end the phone's answer to a command line.
bool isFinalResult(const std::string& line) {
    static const char* const whole[] = {"OK",   "ERROR",     "NO CARRIER",
                                        "BUSY", "NO ANSWER", "NO DIALTONE"};
    for (const char* w : whole) {
        if (line == w) return true;
    }
    return line.rfind("+CME ERROR", 0) == 0 || line.rfind("+CMS ERROR", 0) == 0;
}

}  // namespace

PhoneLine::PhoneLine(Form1& form) : f(form) {
    drainTimer_.setInterval(kReceiveWaitMs);
    QObject::connect(&drainTimer_, &TimerElement::Timer, [this] { drainInput(); });
    quit_ = [this] {
        f.close();
        QCoreApplication::quit();
    };
}

PhoneLine::~PhoneLine() = default;

bool PhoneLine::traceVisible() const {
    return f.List2->isVisibleTo(&f);
}

void PhoneLine::addTrace(const QString& entry, bool follow) {
    QListWidget* list = f.List2;
    list->addItem(entry);
    if (list->count() > kTraceLimit) {
        const int surplus = list->count() - kTraceLimit;
        for (int i = 0; i < surplus; ++i) delete list->takeItem(0);
    }
    if (follow && list->count() >= 6) {
        list->scrollToItem(list->item(list->count() - 5), QAbstractItemView::PositionAtTop);
    }
}

void PhoneLine::SendCommand(const std::string& command) {
    // A closed port refuses the line; the caller goes on regardless.
    f.Comm1->Output(bytesOf(command + '\r'));
    if (traceVisible()) addTrace(kSentMark + fromCp1252(command) + kSentMark, false);
}

void PhoneLine::Comm1_OnComm() {
    if (f.Comm1->CommEvent() != 2) return;
    takeInput();
    if (ready_.empty()) return;
    if (isFinalResult(ready_.back())) {
        // The answer is complete: nothing more to wait for.
        handOver();
    } else if (!drainTimer_.Enabled()) {
        // The first lines of an answer give the rest a moment to arrive.
        drainTimer_.setEnabled(true);
    }
}

void PhoneLine::drainInput() {
    takeInput();
    handOver();
}

void PhoneLine::portBroken() {
    takeInput();
    handOver();
    framer_ = funkor::LineFramer();
    f.phone.lineBuffer.clear();
}

void PhoneLine::takeInput() {
    while (f.Comm1->InBufferCount() > 0) {
        const QByteArray one = f.Comm1->Input();
        if (one.isEmpty()) break;
        ++bytesTaken_;
        if (std::optional<std::string> line = framer_.feed(one.at(0)))
            ready_.push_back(std::move(*line));
    }
    f.phone.lineBuffer = framer_.pending();
}

void PhoneLine::handOver() {
    drainTimer_.setEnabled(false);
    // The dispatcher may let events run, and a receive event in there may
    // hand on later lines first; each line is still taken exactly once.
    while (!ready_.empty()) {
        const std::string line = std::move(ready_.front());
        ready_.pop_front();
        if (traceVisible()) addTrace(fromCp1252(line), true);
        f.InterpretResponse(line);
    }
}

void PhoneLine::List2_MouseDown(int button) {
    if (button == 1) {
        f.List2->clear();
        return;
    }
    // Any other button stops the phone link until the port choice changes.
    f.Timer1->setEnabled(false);
    if (f.Comm1->PortOpen()) f.Comm1->setPortOpen(false);
}

void PhoneLine::BattA_Click() {
    if (!f.SMSc->isVisibleTo(&f)) {
        f.List2->show();
        f.SMSc->show();
        f.List2->setGeometry(f.List2->x(), f.Netze[1]->y(), f.List2->width(),
                             Form1::twipsToPixels(3960));
        f.List2->raise();
    } else {
        f.List2->hide();
        f.SMSc->hide();
    }
}

void PhoneLine::BattA_MouseDown(int button) {
    if (button == 1) return;
    if (!f.platform().YesNo(QStringLiteral("Handy Ausschalten ?"), QStringLiteral("  AUS ?")))
        return;
    f.Timer1->setEnabled(false);
    SendCommand("AT^SMSO");
    // The command must be with the device before the port closes with the
    // program.
    f.Comm1->flush();
    if (quit_) quit_();
}

void PhoneLine::TAV_Click() {
    // A second click while the probe runs would only cut the call short.
    if (probeRunning_) return;
    timingAdvanceProbe();
}

Async PhoneLine::timingAdvanceProbe() {
    probeRunning_ = true;
    f.TAV->setText(QString());
    // A short call makes the phone measure the timing advance afresh; the
    // value itself comes with the next registration query of the cycle.
    f.Comm1->Output(QByteArrayLiteral("ATD0\r"));
    for (TimedPause p(kProbeCallMs); !p.over();) co_await waitMs(&waitOwner_, p.left());
    f.Comm1->Output(QByteArrayLiteral("ATH0\r"));
    f.platform().Beep();
    probeRunning_ = false;
}
