// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class Form1;

// The window as a small phone: the phone-book mode, dialling and hanging
// up, star codes, and the spoken announcements of callers and received
// messages through the speech control.
class PhoneCalls {
  public:
    explicit PhoneCalls(Form1& form);

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
    // Reads the shown message aloud, with its sender when the sender line
    // is shown.
    void SpeakSms();

  private:
    // Leaves the phone-book mode's list and buttons hidden.
    void hidePhoneBookControls();
    void showSpeaking();

    Form1& f;
};
