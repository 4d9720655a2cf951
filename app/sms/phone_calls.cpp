// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/sms/phone_calls.h"

#include <QCheckBox>
#include <QPushButton>
#include <algorithm>
#include <span>

#include "app/base/elements.h"
#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/phone/phone_line.h"
#include "app/sms/sms_sending.h"
#include "core/announcements.h"
#include "core/outgoing_sms.h"
#include "core/pdu.h"

PhoneCalls::PhoneCalls(const Elements& e, CallState& calls, PhoneLinkState& phone,
                       Platform& platform, PhoneLine& phoneLine, SmsSending& smsSending,
                       std::function<void(int)> restartCycle, std::function<void()> clearSmsText)
    : Check1_(e.Check1),
      CALLb_(e.CALLb),
      RingL_(e.RingL),
      Timer3_(e.Timer3),
      Timer4_(e.Timer4),
      Sprelo_(e.Sprelo),
      SpreloI_(e.SpreloI),
      calls_(calls),
      phone_(phone),
      platform_(platform),
      phoneLine_(phoneLine),
      smsSending_(smsSending),
      restartCycle_(std::move(restartCycle)),
      clearSmsText_(std::move(clearSmsText)) {}

void PhoneCalls::Check1_Click() {
    if (calls_.callActive) {
        phoneLine_.SendCommand("AT+CHUP");
        calls_.callActive = false;
    }
    RingL_->hide();
    if (Check1_->isChecked()) {
        smsSending_.openEntryList();
        CALLb_->show();
        smsSending_.showControls();
    } else {
        hidePhoneBookControls();
        Check1_->setToolTip(QStringLiteral("Telefonbuch"));
    }
}

void PhoneCalls::hidePhoneBookControls() {
    CALLb_->hide();
    smsSending_.hideControls();
}

void PhoneCalls::CALLb_Click() {
    const std::string text = toCp1252(smsSending_.chosenEntry());
    if (text.empty()) {
        platform_.Beep();
        return;
    }
    const std::string number = funkor::dialNumber(text);
    // A ";" or line end in a phone-book entry would end the dial command and
    // hand the rest to the phone as a command of its own.
    if (!funkor::isDialable(number)) {
        platform_.Beep();
        platform_.MsgBox(
            QStringLiteral("Diese Nummer kann nicht gewählt werden: %1").arg(fromCp1252(number)),
            QStringLiteral(" wählen ?"));
        return;
    }
    if (!platform_.YesNo(fromCp1252(number), QStringLiteral(" wählen ?"))) {
        Check1_->setChecked(false);
        hidePhoneBookControls();
        return;
    }
    if (funkor::isStarCode(number)) {
        // The network's answer takes a while; the cycle waits for it. A
        // stopped cycle stays stopped.
        restartCycle_(5000);
        phone_.ussdPending = UssdPending::UserCode;
        clearSmsText_();
    } else {
        // Set before the dial command goes out, so that no poll follows it.
        calls_.callActive = true;
    }
    phoneLine_.SendCommand("ATD" + number + ";");
    Check1_->setToolTip(QStringLiteral("auflegen"));
}

void PhoneCalls::RingL_Click() {
    Timer3_->setInterval(100);
    Timer3_->setEnabled(true);
}

void PhoneCalls::Timer3_Timer() {
    Timer3_->setEnabled(false);
    std::string label = toCp1252(RingL_->text());
    for (char& c : label)
        if (c == '\n') c = '\r';
    funkor::CallerAnnouncementInput in;
    in.label = label;
    in.nowMs = platform_.Now().toMSecsSinceEpoch();
    in.nextAnnounceMs = calls_.nextAnnounceTime;
    const funkor::CallerAnnouncement said = funkor::announceCaller(in);
    if (!said.speak) return;
    Sprelo_->Speak(fromCp1252(said.text), 0);
    showSpeaking();
    calls_.nextAnnounceTime = said.nextAnnounceMs;
}

void PhoneCalls::Timer4_Timer() {
    SpreloI_->hide();
    Timer4_->setEnabled(false);
}

void PhoneCalls::SpeakSms(const std::string& text, const std::string& sender, bool senderShown) {
    funkor::SmsAnnouncementInput in;
    in.senderShown = senderShown;
    in.callerName = calls_.callerName;
    in.sender = sender;
    in.text = text;
    Sprelo_->Speak(fromCp1252(funkor::smsAnnouncement(in)), 0);
    if (in.senderShown) showSpeaking();
}

void PhoneCalls::showSpeaking() {
    SpreloI_->show();
    // Shown for five seconds after the last announcement.
    Timer4_->setEnabled(false);
    Timer4_->setEnabled(true);
}

const std::string& PhoneCalls::FindCallerName(const std::string& number) {
    // Entries 1..phoneBookCount of the table are the phone books read so far.
    const int count =
        std::clamp(calls_.phoneBookCount, 0, static_cast<int>(calls_.phoneBook.size()) - 1);
    calls_.callerName = funkor::findCallerName(
        number,
        std::span<const std::string>(calls_.phoneBook.data() + 1, static_cast<std::size_t>(count)));
    return calls_.callerName;
}

void PhoneCalls::showRinging(const QString& caption) {
    RingL_->show();
    RingL_->setText(caption);
}

void PhoneCalls::announceCaller(const QString& caption) {
    RingL_->setText(caption);
    Timer3_->setInterval(3000);
    Timer3_->setEnabled(true);
}

void PhoneCalls::showTestCall(const QString& caption) {
    RingL_->show();
    RingL_->setText(caption);
    Check1_->show();
}

void PhoneCalls::addCallerName(const QString& name) {
    RingL_->setText(RingL_->text() + QLatin1Char('\n') + name);
}

void PhoneCalls::phoneGone() {
    // No call outlives its phone: its pause of the cycle ends, instead of
    // waiting for a hang-up nobody can give.
    if (!calls_.callActive) return;
    calls_.callActive = false;
    Check1_->setToolTip(QStringLiteral("Telefonbuch"));
}

void PhoneCalls::enableCalling() {
    CALLb_->setEnabled(true);
}

void PhoneCalls::showPhoneBookSwitch() {
    Check1_->show();
}
