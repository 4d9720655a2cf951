#include "app/sms/sms_sending.h"

#include <QSignalBlocker>

#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/outgoing_sms.h"
#include "core/position_sms.h"

SmsSending::SmsSending(Form1& form) : f(form) {}

bool SmsSending::queue(const std::string& text) {
    const std::string recipient = funkor::smsRecipient(toCp1252(f.Combo1->currentText()));
    const funkor::OutgoingSms sms = funkor::prepareSms(text, recipient);
    if (!sms.ok()) {
        f.platform().Beep();
        f.platform().MsgBox(fromCp1252(sms.message), QStringLiteral(" SMS"));
        return false;
    }
    f.sms.pduPending = sms.pdu;
    return true;
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
        // Not a message box: automatic sending ticks this box from a timer.
        f.platform().Beep();
        f.Text1->setText(fromCp1252(position.refusal));
        f.Text1->setToolTip(QStringLiteral("SMS-Sendestatus"));
        f.Text1->show();
    } else if (position.text.empty()) {
        f.platform().Beep();
        f.platform().MsgBox(fromCp1252(std::string(funkor::kNoPositionMessage)),
                            QStringLiteral(" SMS"));
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
