// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/sms/phone_calls.h"

#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/announcements.h"
#include "core/outgoing_sms.h"

PhoneCalls::PhoneCalls(Form1& form) : f(form) {}

void PhoneCalls::Check1_Click() {
    if (f.calls.callActive == 1) {
        f.SendCommand("AT+CHUP");
        f.calls.callActive = 0;
    }
    f.RingL->hide();
    if (f.Check1->isChecked()) {
        f.Combo1->show();
        if (f.Combo1->isVisible()) f.Combo1->showPopup();
        f.Combo1->setFocus();
        f.CALLb->show();
        f.SMSb->show();
        f.SendPos->show();
        f.CallPos->show();
        f.ReqPosEn->show();
    } else {
        hidePhoneBookControls();
        f.Check1->setToolTip(QStringLiteral("Telefonbuch"));
    }
}

void PhoneCalls::hidePhoneBookControls() {
    f.Combo1->hide();
    f.CALLb->hide();
    f.SMSb->hide();
    f.SendPos->hide();
    f.CallPos->hide();
    f.GsmL->hide();
    f.ReqPosEn->hide();
}

void PhoneCalls::CALLb_Click() {
    const std::string text = toCp1252(f.Combo1->currentText());
    if (text.empty()) {
        f.platform().Beep();
        return;
    }
    const std::string number = funkor::dialNumber(text);
    // A ";" or line end in a phone-book entry would end the dial command and
    // hand the rest to the phone as a command of its own.
    if (!funkor::isDialable(number)) {
        f.platform().Beep();
        f.platform().MsgBox(
            QStringLiteral("Diese Nummer kann nicht gewählt werden: %1").arg(fromCp1252(number)),
            QStringLiteral(" wählen ?"));
        return;
    }
    if (!f.platform().YesNo(fromCp1252(number), QStringLiteral(" wählen ?"))) {
        f.Check1->setChecked(false);
        hidePhoneBookControls();
        return;
    }
    if (funkor::isStarCode(number)) {
        // The network's answer takes a while; the cycle waits for it. A
        // stopped cycle stays stopped.
        f.Timer1->setInterval(5000);
        if (f.Timer1->Enabled()) {
            f.Timer1->setEnabled(false);
            f.Timer1->setEnabled(true);
        }
        f.phone.ussdPending = 1;
        f.Text2->setText(QString());
    } else {
        // Set before the dial command goes out, so that no poll follows it.
        f.calls.callActive = 1;
    }
    f.SendCommand("ATD" + number + ";");
    f.Check1->setToolTip(QStringLiteral("auflegen"));
}

void PhoneCalls::RingL_Click() {
    f.Timer3->setInterval(100);
    f.Timer3->setEnabled(true);
}

void PhoneCalls::Timer3_Timer() {
    f.Timer3->setEnabled(false);
    std::string label = toCp1252(f.RingL->text());
    for (char& c : label)
        if (c == '\n') c = '\r';
    funkor::CallerAnnouncementInput in;
    in.label = label;
    in.nowMs = f.platform().Now().toMSecsSinceEpoch();
    in.nextAnnounceMs = f.calls.nextAnnounceTime;
    const funkor::CallerAnnouncement said = funkor::announceCaller(in);
    if (!said.speak) return;
    f.Sprelo->Speak(fromCp1252(said.text), 0);
    showSpeaking();
    f.calls.nextAnnounceTime = said.nextAnnounceMs;
}

void PhoneCalls::Timer4_Timer() {
    f.SpreloI->hide();
    f.Timer4->setEnabled(false);
}

void PhoneCalls::SpeakSms() {
    const std::string text = toCp1252(f.Text2->text());
    funkor::SmsAnnouncementInput in;
    in.senderShown = !f.Text1->isHidden();
    in.callerName = f.calls.callerName;
    in.sender = f.sms.smsSender;
    in.text = text;
    f.Sprelo->Speak(fromCp1252(funkor::smsAnnouncement(in)), 0);
    if (in.senderShown) showSpeaking();
}

void PhoneCalls::showSpeaking() {
    f.SpreloI->show();
    // Shown for five seconds after the last announcement.
    f.Timer4->setEnabled(false);
    f.Timer4->setEnabled(true);
}
