// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/sms/sms_sending.h"

#include <QSignalBlocker>

#include "app/phone/phone_line.h"
#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/outgoing_sms.h"
#include "core/position_sms.h"

SmsSending::SmsSending(Form1& form) : f(form) {}

bool SmsSending::queue(const std::string& text) {
    // The list has no choice (index -1, no text) until the user picks an
    // entry: the program never chooses a recipient on its own.
    const std::string recipient = funkor::smsRecipient(toCp1252(f.Combo1->currentText()));
    const funkor::OutgoingSms sms = funkor::prepareSms(text, recipient);
    if (!sms.ok()) {
        refuse(sms.message);
        return false;
    }
    f.sms.pduPending = sms.pdu;
    return true;
}

void SmsSending::refuse(const std::string& reason) {
    const QString message = fromCp1252(reason);
    if (!unattended_) {
        f.platform().Beep();
        f.platform().MsgBox(message, QStringLiteral(" SMS"));
        return;
    }
    // Nobody need be at the window: a box would wait there for a click, and
    // the next minute's or request's would pile up on it.
    const QString status = QStringLiteral("SMS: ") + message;
    f.Text1->setText(status);
    f.Text1->setToolTip(QStringLiteral("SMS-Sendestatus"));
    f.Text1->show();
    if (f.phoneLine->traceVisible()) f.phoneLine->addTrace(status, true);
}

void SmsSending::sendPositionUnattended() {
    unattended_ = true;
    f.SendPos->setChecked(true);
    unattended_ = false;
}

void SmsSending::SMSb_Click() {
    if (f.Combo1->currentText().isEmpty()) {
        f.platform().Beep();
        f.platform().MsgBox(fromCp1252(funkor::prepareSms({}, {}).message), QStringLiteral(" SMS"));
        return;
    }
    const QString text = f.platform().InputBox(QStringLiteral("\nText:"), QStringLiteral("  SMS"));
    if (text.isEmpty()) return;
    queue(toCp1252(text));
}

void SmsSending::SendPos_Click() {
    if (!f.SendPos->isChecked()) return;
    const funkor::OutgoingPosition position =
        funkor::buildPositionSms(f.output.gpsRmc, f.position.gsmRmc);
    bool queued = false;
    if (!position.refusal.empty()) {
        // The SMS cannot carry this position: the reason stands in the send
        // status, never a wrong text, and no box (a timer may have asked).
        if (!unattended_) f.platform().Beep();
        f.Text1->setText(fromCp1252(position.refusal));
        f.Text1->setToolTip(QStringLiteral("SMS-Sendestatus"));
        f.Text1->show();
    } else if (position.text.empty()) {
        refuse(std::string(funkor::kNoPositionMessage));
    } else {
        f.GsmL->setText(QString::fromLatin1(position.source.c_str()));
        f.GsmL->show();
        queued = queue(position.text);
        if (queued) {
            f.AsendL->show();
            f.AsendS->show();
        }
    }
    // No send status will come for a message that was never queued; the
    // box must not stay ticked and block every later position.
    if (!queued) {
        QSignalBlocker block(f.SendPos);
        f.SendPos->setChecked(false);
    }
}

void SmsSending::CallPos_Click() {
    if (!f.CallPos->isChecked()) return;
    f.CallPos->setChecked(false);
    queue(std::string(funkor::kPositionRequestText));
}

void SmsSending::Combo1_Click() {
    f.CALLb->setEnabled(true);
    f.SMSb->setEnabled(true);
    f.SendPos->setEnabled(true);
    f.CallPos->setEnabled(true);
}
