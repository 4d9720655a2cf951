// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <functional>
#include <string>

#include "core/incoming_sms.h"

class PhoneCalls;
class PhoneLine;
class Platform;
class QPushButton;
class SmsSending;
class TextBoxElement;
struct CallState;
struct PositionState;
struct SmsState;

// Received short messages: showing one with its sender and phone-book name,
// taking a position SMS as the SMS position source, answering a position
// request when the user allows it, reading other texts aloud; browsing the
// message cache, deleting a message, and the test button.
//
// Text1 is the message line (sender, or the send status), Text2 the
// message's text (or a star code's answer).
class SmsReception {
  public:
    // The window's elements this topic owns.
    struct Elements {
        TextBoxElement* Text1;
        TextBoxElement* Text2;
        QPushButton* SMSrd;
    };
    // `useSmsPosition` makes the SMS the position source (ticks cSMS) and
    // hands its map address to the map link.
    SmsReception(const Elements& elements, SmsState& sms, CallState& calls,
                 const PositionState& position, Platform& platform, PhoneLine& phoneLine,
                 SmsSending& smsSending, PhoneCalls& phoneCalls,
                 std::function<void(const std::string& mapAddress)> useSmsPosition);

    // Shows the message in sms.smsPdu (TPDU length sms.smsLength, storage
    // index sms.smsIndex).
    void ShowReceivedSms();
    // Shows a message that came decoded (through ModemManager) as a PDU's
    // is shown: sender line, text, and what the text asks for.
    void showDecodedSms(const std::string& sender, const std::string& timeStamp,
                        const std::string& text);
    // The read button and a click on the sender line show the next cached
    // message.
    void SMSrd_Click();
    void Text1_Click();
    // Left button: the message is read again; any other: delete it.
    void Text2_MouseDown(int button);
    void SMSc_Click();
    // Reads the shown message aloud (with its sender while the sender line
    // is shown).
    void SpeakSms();

    // A send status in the message line.
    void showSendStatus(const QString& status);
    // A status of another part of the program in the message line, its
    // tooltip naming that part.
    void showStatus(const QString& status, const QString& toolTip);
    // The regular pass is through: a send status shown goes, with the text.
    void clearSendStatus();
    // More of a star code's answer: the text box shows it; lines that no
    // longer fit are dropped.
    void appendStarCodeText(const QString& more);
    // Empties the text box for a star code's answer.
    void clearText();
    // Messages are in the cache: the read button is shown.
    void showReadButton();

  private:
    funkor::IncomingSmsInput incomingInput(const std::string& receivedAt) const;
    void show(const funkor::IncomingSms& sms);
    void showNextCached();
    void answerPositionRequest();

    TextBoxElement* Text1_;
    TextBoxElement* Text2_;
    QPushButton* SMSrd_;
    SmsState& sms_;
    CallState& calls_;
    const PositionState& position_;
    Platform& platform_;
    PhoneLine& phoneLine_;
    SmsSending& smsSending_;
    PhoneCalls& phoneCalls_;
    std::function<void(const std::string&)> useSmsPosition_;
};
