// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/sms/sms_sending.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>

#include "app/base/elements.h"
#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/phone/phone_line.h"
#include "app/support/command_line.h"
#include "core/outgoing_sms.h"
#include "core/position_sms.h"

SmsSending::SmsSending(const Elements& e, SmsState& sms, const PositionState& position,
                       const OutputState& output, Platform& platform, const StartOptions& options,
                       PhoneLine& phoneLine, Calls calls)
    : Combo1_(e.Combo1),
      SendPos_(e.SendPos),
      CallPos_(e.CallPos),
      ReqPosEn_(e.ReqPosEn),
      SMSb_(e.SMSb),
      GsmL_(e.GsmL),
      sms_(sms),
      position_(position),
      output_(output),
      platform_(platform),
      options_(options),
      phoneLine_(phoneLine),
      calls_(std::move(calls)) {}

bool SmsSending::queue(const std::string& text) {
    // The list has no choice (index -1, no text) until the user picks an
    // entry: the program never chooses a recipient on its own.
    const std::string recipient = funkor::smsRecipient(toCp1252(Combo1_->currentText()));
    const funkor::OutgoingSms sms = funkor::prepareSms(text, recipient);
    if (!sms.ok()) {
        refuse(sms.message);
        return false;
    }
    sms_.pduPending = sms.pdu;
    return true;
}

void SmsSending::refuse(const std::string& reason) {
    const QString message = fromCp1252(reason);
    if (!unattended_) {
        platform_.Beep();
        platform_.MsgBox(message, QStringLiteral(" SMS"));
        return;
    }
    // Nobody need be at the window: a box would wait there for a click, and
    // the next minute's or request's would pile up on it.
    const QString status = QStringLiteral("SMS: ") + message;
    calls_.showStatus(status);
    if (phoneLine_.traceVisible()) phoneLine_.addTrace(status, true);
}

bool SmsSending::sendPositionUnattended() {
    unattended_ = true;
    SendPos_->setChecked(true);
    unattended_ = false;
    return SendPos_->isChecked();
}

void SmsSending::SMSb_Click() {
    if (Combo1_->currentText().isEmpty()) {
        platform_.Beep();
        platform_.MsgBox(fromCp1252(funkor::prepareSms({}, {}).message), QStringLiteral(" SMS"));
        return;
    }
    const QString text = platform_.InputBox(QStringLiteral("\nText:"), QStringLiteral("  SMS"));
    if (text.isEmpty()) return;
    queue(toCp1252(text));
}

void SmsSending::SendPos_Click() {
    if (!SendPos_->isChecked()) return;
    const funkor::OutgoingPosition position =
        funkor::buildPositionSms(output_.gpsRmc, position_.gsmRmc);
    bool queued = false;
    if (!position.refusal.empty()) {
        // The SMS cannot carry this position: the reason stands in the send
        // status, never a wrong text, and no box (a timer may have asked).
        if (!unattended_) platform_.Beep();
        calls_.showStatus(fromCp1252(position.refusal));
    } else if (position.text.empty()) {
        refuse(std::string(funkor::kNoPositionMessage));
    } else {
        GsmL_->setText(QString::fromLatin1(position.source.c_str()));
        GsmL_->show();
        queued = queue(position.text);
        if (queued) calls_.positionWentOut();
    }
    // No send status will come for a message that was never queued; the
    // box must not stay ticked and block every later position.
    if (!queued) {
        QSignalBlocker block(SendPos_);
        SendPos_->setChecked(false);
    }
}

void SmsSending::CallPos_Click() {
    if (!CallPos_->isChecked()) return;
    CallPos_->setChecked(false);
    queue(std::string(funkor::kPositionRequestText));
}

void SmsSending::Combo1_Click() {
    calls_.entryChosen();
    SMSb_->setEnabled(true);
    SendPos_->setEnabled(true);
    CallPos_->setEnabled(true);
}

bool SmsSending::sendingPosition() const {
    return SendPos_->isChecked();
}

bool SmsSending::positionRequestsAllowed() const {
    return ReqPosEn_->isChecked();
}

void SmsSending::sendStatusArrived(const QString& status, bool failed) {
    calls_.showStatus(status);
    SendPos_->setChecked(false);
    if (failed) platform_.Beep();
}

QString SmsSending::chosenEntry() const {
    return Combo1_->currentText();
}

void SmsSending::openEntryList() {
    Combo1_->show();
    if (Combo1_->isVisible()) Combo1_->showPopup();
    Combo1_->setFocus();
}

void SmsSending::showControls() {
    SMSb_->show();
    SendPos_->show();
    CallPos_->show();
    ReqPosEn_->show();
}

void SmsSending::hideControls() {
    Combo1_->hide();
    SMSb_->hide();
    SendPos_->hide();
    CallPos_->hide();
    GsmL_->hide();
    ReqPosEn_->hide();
}

void SmsSending::addEntry(const QString& text) {
    // Adding to an empty list would choose its first entry, and with it the
    // recipient of every automatic SMS: only the user chooses one (in the
    // list, or before it was read with --recipient), and a choice made stays
    // as the list grows.
    const int chosen = Combo1_->currentIndex();
    {
        QSignalBlocker block(Combo1_);
        Combo1_->addItem(text);
        Combo1_->setCurrentIndex(chosen);
    }
    if (chosen < 0 && !text.isEmpty() && text == options_.recipient)
        Combo1_->setCurrentIndex(Combo1_->count() - 1);
}

void SmsSending::replaceEntries(const QStringList& items) {
    QStringList listed;
    for (int i = 0; i < Combo1_->count(); ++i) listed << Combo1_->itemText(i);
    // The same phone again: the list and its choice stay as they are.
    if (items == listed) return;
    // Only the user chooses an entry (in the list, or before with
    // --recipient); the new list keeps that choice when it holds the entry,
    // and has none otherwise.
    const bool hadChoice = Combo1_->currentIndex() >= 0;
    const QString chosen = hadChoice ? Combo1_->currentText() : options_.recipient;
    const int at = chosen.isEmpty() ? -1 : static_cast<int>(items.indexOf(chosen));
    {
        QSignalBlocker block(Combo1_);
        Combo1_->clear();
        Combo1_->addItems(items);
        Combo1_->setCurrentIndex(at);
    }
    // The entry named at start, found only now, is chosen as a pick would be.
    if (at >= 0 && !hadChoice) Combo1_Click();
}
