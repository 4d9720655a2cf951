// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>
#include <string>

class ImageElement;
class LabelElement;
class PhoneLine;
class Platform;
class QCheckBox;
class QPushButton;
class SmsSending;
class SpeechElement;
class TimerElement;
struct CallState;
struct PhoneLinkState;

// The window as a small phone: the phone-book mode, dialling and hanging
// up, star codes, and the spoken announcements of callers and received
// messages through the speech control.
class PhoneCalls {
  public:
    // The window's elements this topic owns.
    struct Elements {
        QCheckBox* Check1;  // the phone-book mode
        QPushButton* CALLb;
        LabelElement* RingL;  // the caller
        TimerElement* Timer3;
        TimerElement* Timer4;
        SpeechElement* Sprelo;
        ImageElement* SpreloI;
    };
    // `restartCycle(ms)` gives the command cycle the interval `ms` and
    // restarts it when it runs; `clearSmsText` empties the message text
    // that a star code's answer fills.
    PhoneCalls(const Elements& elements, CallState& calls, PhoneLinkState& phone,
               Platform& platform, PhoneLine& phoneLine, SmsSending& smsSending,
               std::function<void(int)> restartCycle, std::function<void()> clearSmsText);

    // Phone-book mode on or off; hangs up a call dialled here.
    void Check1_Click();
    // Dials the chosen entry after a yes/no question.
    void CALLb_Click();
    // Hear the caller again.
    void RingL_Click();
    // Speaks the caller on the caller label (one announcement per enable).
    void Timer3_Timer();
    // Hides the speaking image.
    void Timer4_Timer();
    // Reads a message aloud, `text` as shown, with its sender when the
    // sender line is shown.
    void SpeakSms(const std::string& text, const std::string& sender, bool senderShown);

    // Looks a caller's number up in the phone book; the name (also in
    // calls.callerName) is "" when not found.
    const std::string& FindCallerName(const std::string& number);
    // A ring: the caller label shows `caption`.
    void showRinging(const QString& caption);
    // The caller's number came: `caption` is shown and announced shortly.
    void announceCaller(const QString& caption);
    // The test button's caller: `caption` on the label, the phone-book
    // switch shown; addCallerName() adds the name under it.
    void showTestCall(const QString& caption);
    void addCallerName(const QString& name);
    // The phone was lost: a call dialled here is over.
    void phoneGone();
    // A recipient is chosen: the dial button works.
    void enableCalling();
    // The books are read: the phone-book mode can be switched on.
    void showPhoneBookSwitch();

  private:
    // Leaves the phone-book mode's list and buttons hidden.
    void hidePhoneBookControls();
    void showSpeaking();

    QCheckBox* Check1_;
    QPushButton* CALLb_;
    LabelElement* RingL_;
    TimerElement* Timer3_;
    TimerElement* Timer4_;
    SpeechElement* Sprelo_;
    ImageElement* SpreloI_;
    CallState& calls_;
    PhoneLinkState& phone_;
    Platform& platform_;
    PhoneLine& phoneLine_;
    SmsSending& smsSending_;
    std::function<void(int)> restartCycle_;
    std::function<void()> clearSmsText_;
};
