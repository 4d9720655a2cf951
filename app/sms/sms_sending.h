// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <string>

class LabelElement;
class PhoneLine;
class Platform;
class QCheckBox;
class QComboBox;
class QPushButton;
struct OutputState;
struct PositionState;
struct SmsState;
struct StartOptions;

// Messages to the entry chosen in the phone-book list: a typed text, this
// window's position, and a request for the other side's position. Each goes
// into sms.pduPending (one message waits at most; a newer one replaces it),
// which the command cycle hands to the phone.
class SmsSending {
  public:
    // The window's elements this topic owns.
    struct Elements {
        QComboBox* Combo1;  // the phone-book list: the recipient
        QCheckBox* SendPos;
        QCheckBox* CallPos;
        QCheckBox* ReqPosEn;  // position requests are answered
        QPushButton* SMSb;
        LabelElement* GsmL;
    };
    // The topics made after this one, each reached through one call.
    struct Calls {
        // Puts a send status into the message line (the SMS reception's).
        std::function<void(const QString&)> showStatus;
        // Tells the calls that a recipient is chosen.
        std::function<void()> entryChosen;
        // A position SMS was queued: the source selection offers automatic
        // sending then.
        std::function<void()> positionWentOut;
    };
    SmsSending(const Elements& elements, SmsState& sms, const PositionState& position,
               const OutputState& output, Platform& platform, const StartOptions& options,
               PhoneLine& phoneLine, Calls calls);

    void SMSb_Click();
    // Sends when the box becomes ticked; it stays ticked until the phone's
    // send status arrives, so ticking it again sends nothing before that.
    void SendPos_Click();
    // Works as a push button: unticks itself and sends the request.
    void CallPos_Click();
    // The position sent with nobody at the window (the auto-send minute, the
    // answer to a position request): ticks SendPos as a click does, but what
    // cannot be sent only shows in Text1 and the trace list, never in a box.
    // True when the position went into the queue (the box stays ticked).
    bool sendPositionUnattended();
    // An entry chosen (by the user or from code): sending and calling work.
    void Combo1_Click();

    // A position is on its way (SendPos stays ticked until its status).
    bool sendingPosition() const;
    // The user lets position requests be answered.
    bool positionRequestsAllowed() const;
    // The phone's send status of the queued message came, or it will never
    // come: it is shown, SendPos is free again, and a failure beeps.
    void sendStatusArrived(const QString& status, bool failed);

    // The phone-book list: the chosen entry's text ("" without a choice).
    QString chosenEntry() const;
    // Shows the list, opens it and gives it the focus.
    void openEntryList();
    // The sending controls of the phone-book mode.
    void showControls();
    void hideControls();
    // Adds an entry read from the phone; the choice stays, and the entry
    // named by --recipient is chosen once it comes.
    void addEntry(const QString& text);
    // The books read anew: their entries replace the list's (unless they
    // are the same), and an entry the user chose stays chosen when the new
    // list has it.
    void replaceEntries(const QStringList& items);

  private:
    // Queues `text` for the chosen recipient; false (with the reason told by
    // refuse()) when there is none or the encoder refuses.
    bool queue(const std::string& text);
    // Why nothing was sent: a beep and a message box after the user's own
    // click; the send status in Text1 and a trace line when unattended.
    void refuse(const std::string& reason);

    QComboBox* Combo1_;
    QCheckBox* SendPos_;
    QCheckBox* CallPos_;
    QCheckBox* ReqPosEn_;
    QPushButton* SMSb_;
    LabelElement* GsmL_;
    SmsState& sms_;
    const PositionState& position_;
    const OutputState& output_;
    Platform& platform_;
    const StartOptions& options_;
    PhoneLine& phoneLine_;
    Calls calls_;
    bool unattended_ = false;
};
