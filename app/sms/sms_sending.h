// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

class Form1;

// Messages to the entry chosen in the phone-book list: a typed text, this
// window's position, and a request for the other side's position. Each goes
// into sms.pduPending (one message waits at most; a newer one replaces it),
// which the command cycle hands to the phone.
class SmsSending {
  public:
    explicit SmsSending(Form1& form);

    void SMSb_Click();
    // Sends when the box becomes ticked; it stays ticked until the phone's
    // send status arrives, so ticking it again sends nothing before that.
    void SendPos_Click();
    // Works as a push button: unticks itself and sends the request.
    void CallPos_Click();
    // The position sent with nobody at the window (the auto-send minute, the
    // answer to a position request): ticks SendPos as a click does, but what
    // cannot be sent only shows in Text1 and the trace list, never in a box.
    void sendPositionUnattended();
    // An entry chosen (by the user or from code): sending and calling work.
    void Combo1_Click();

  private:
    // Queues `text` for the chosen recipient; false (with the reason told by
    // refuse()) when there is none or the encoder refuses.
    bool queue(const std::string& text);
    // Why nothing was sent: a beep and a message box after the user's own
    // click; the send status in Text1 and a trace line when unattended.
    void refuse(const std::string& reason);

    Form1& f;
    bool unattended_ = false;
};
