// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class Form1;

// Received short messages: showing one with its sender and phone-book name,
// taking a position SMS as the SMS position source, answering a position
// request when the user allows it, reading other texts aloud; browsing the
// message cache, deleting a message, and the test button.
class SmsReception {
  public:
    explicit SmsReception(Form1& form);

    // Shows the message in sms.smsPdu (TPDU length sms.smsLength, storage
    // index sms.smsIndex).
    void ShowReceivedSms();
    // The read button and a click on the sender line show the next cached
    // message.
    void SMSrd_Click();
    void Text1_Click();
    // Left button: the message is read again; any other: delete it.
    void Text2_MouseDown(int button);
    void SMSc_Click();

  private:
    void showNextCached();
    void answerPositionRequest();

    Form1& f;
};
