// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/phone/phone_line.h"

#include "core/position_output.h"

#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

#include "app/base/elements.h"
#include "app/base/platform.h"
#include "app/base/serial_port_component.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/phone/timed_pause.h"
#include "core/at_dispatch.h"

namespace {

// Marks a command line sent to the phone in the trace (a right-pointing
// double angle quotation mark on both sides).
const QChar kSentMark(0x00BB);

}  // namespace

PhoneLine::PhoneLine(const Elements& e, PhoneLinkState& phone, Platform& platform,
                     std::function<void(const std::string&)> lineReceived,
                     std::function<void()> stopCycle)
    : window_(e.window),
      Comm1_(e.Comm1),
      List2_(e.List2),
      SMSc_(e.SMSc),
      BattA_(e.BattA),
      BattE_(e.BattE),
      BattL_(e.BattL),
      TAV_(e.TAV),
      traceTop_(e.traceTop),
      phone_(phone),
      platform_(platform),
      lineReceived_(std::move(lineReceived)),
      stopCycle_(std::move(stopCycle)) {
    drainTimer_.setInterval(kReceiveWaitMs);
    QObject::connect(&drainTimer_, &TimerElement::Timer, [this] { drainInput(); });
    quit_ = [this] {
        window_->close();
        QCoreApplication::quit();
    };
}

PhoneLine::~PhoneLine() = default;

bool PhoneLine::traceVisible() const {
    return List2_->isVisibleTo(window_);
}

void PhoneLine::addTrace(const QString& entry, bool follow) {
    QListWidget* list = List2_;
    list->addItem(entry);
    if (list->count() > kTraceLimit) {
        const int surplus = list->count() - kTraceLimit;
        for (int i = 0; i < surplus; ++i) delete list->takeItem(0);
    }
    if (follow && list->count() >= 6) {
        list->scrollToItem(list->item(list->count() - 5), QAbstractItemView::PositionAtTop);
    }
}

void PhoneLine::showLastTraceEntries() {
    const int top = funkor::traceTopIndex(List2_->count());
    if (top >= 0) List2_->scrollToItem(List2_->item(top), QAbstractItemView::PositionAtTop);
}

void PhoneLine::SendCommand(const std::string& command) {
    // A closed port refuses the line; the caller goes on regardless.
    Comm1_->Output(bytesOf(command + '\r'));
    if (traceVisible()) addTrace(kSentMark + fromCp1252(command) + kSentMark, false);
}

void PhoneLine::Comm1_OnComm() {
    if (Comm1_->CommEvent() != 2) return;
    takeInput();
    if (ready_.empty()) return;
    if (funkor::isFinalResult(ready_.back())) {
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
    phone_.lineBuffer.clear();
}

void PhoneLine::takeInput() {
    while (Comm1_->InBufferCount() > 0) {
        const QByteArray one = Comm1_->Input();
        if (one.isEmpty()) break;
        ++bytesTaken_;
        if (std::optional<std::string> line = framer_.feed(one.at(0)))
            ready_.push_back(std::move(*line));
    }
    phone_.lineBuffer = framer_.pending();
}

void PhoneLine::handOver() {
    drainTimer_.setEnabled(false);
    // The dispatcher may let events run, and a receive event in there may
    // hand on later lines first; each line is still taken exactly once.
    while (!ready_.empty()) {
        const std::string line = std::move(ready_.front());
        ready_.pop_front();
        if (traceVisible()) addTrace(fromCp1252(line), true);
        lineReceived_(line);
    }
}

void PhoneLine::List2_MouseDown(int button) {
    if (button == 1) {
        List2_->clear();
        return;
    }
    // Any other button stops the phone link until the port choice changes.
    stopCycle_();
    if (Comm1_->PortOpen()) Comm1_->setPortOpen(false);
}

void PhoneLine::takeFocus() {
    BattA_->setFocus();
}

void PhoneLine::BattA_Click() {
    if (!SMSc_->isVisibleTo(window_)) {
        List2_->show();
        SMSc_->show();
        List2_->setGeometry(List2_->x(), traceTop_->y(), List2_->width(), twipsToPixels(3960));
        List2_->raise();
    } else {
        List2_->hide();
        SMSc_->hide();
    }
}

void PhoneLine::BattA_MouseDown(int button) {
    if (button == 1) return;
    if (!platform_.YesNo(QStringLiteral("Handy Ausschalten ?"), QStringLiteral("  AUS ?"))) return;
    stopCycle_();
    SendCommand("AT^SMSO");
    // The command must be with the device before the port closes with the
    // program.
    Comm1_->flush();
    if (quit_) quit_();
}

void PhoneLine::TAV_Click() {
    // A second click while the probe runs would only cut the call short.
    if (probeRunning_) return;
    timingAdvanceProbe();
}

Async PhoneLine::timingAdvanceProbe() {
    probeRunning_ = true;
    TAV_->setText(QString());
    // A short call makes the phone measure the timing advance afresh; the
    // value itself comes with the next registration query of the cycle.
    Comm1_->Output(QByteArrayLiteral("ATD0\r"));
    for (TimedPause p(kProbeCallMs); !p.over();) co_await waitMs(&waitOwner_, p.left());
    Comm1_->Output(QByteArrayLiteral("ATH0\r"));
    platform_.Beep();
    probeRunning_ = false;
}

bool PhoneLine::portOpen() const {
    return Comm1_->PortOpen();
}

QString PhoneLine::lineSettings() const {
    return Comm1_->Settings();
}

void PhoneLine::setLineSettings(const QString& settings) {
    Comm1_->setSettings(settings);
}

void PhoneLine::reopenPort(int portNumber) {
    if (Comm1_->PortOpen()) Comm1_->setPortOpen(false);
    Comm1_->setCommPort(portNumber);
    Comm1_->setPortOpen(true);
}

bool PhoneLine::writeRaw(const QByteArray& bytes) {
    return Comm1_->Output(bytes);
}

void PhoneLine::hideTrace() {
    List2_->hide();
}

void PhoneLine::showBattery(std::optional<int> charge, const QString& tooltip, bool onBattery) {
    if (charge) {
        BattA_->setValue(*charge);
        BattA_->setToolTip(tooltip);
    }
    BattE_->setVisible(onBattery);
    BattL_->setVisible(!onBattery);
}

void PhoneLine::setTimingAdvanceCaption(const QString& caption) {
    TAV_->setText(caption);
}

void PhoneLine::showTimingAdvanceLabel() {
    TAV_->show();
}
