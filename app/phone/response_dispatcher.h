// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QString>
#include <string>

class Form1;

// Applies every line the phone sends to the window: device state, network
// and cell, SMS, phone book and broadcast pages.
//
// The lines are recognised in a fixed order (core/at_dispatch.h); one line
// may run through several steps. Each step reads its answer with a parser
// from core/ and only then touches the window, so a line that cannot be read
// leaves the display as it was.
class ResponseDispatcher {
  public:
    explicit ResponseDispatcher(Form1& form);
    ~ResponseDispatcher();

    // `line` is one line from the phone without CR/LF, 8-bit as received.
    void InterpretResponse(const std::string& line);

  private:
    // Device (response_dispatcher.cpp)
    void starCodeAnswer(const std::string& line);
    void ussdText(const std::string& line);
    void finalOk(const std::string& line);
    void finalError(const std::string& line);
    void ring();
    void callerId(const std::string& line);
    void battery(const std::string& line);
    void simCardNumber(const std::string& line);
    void identityLine(const std::string& line);
    void signal(const std::string& line);
    void activity(const std::string& line);

    // Network (response_dispatcher_network.cpp)
    void simZoneFile(const std::string& line);
    void timingAdvance(const std::string& line);
    void registration(const std::string& line);
    void cellChange();
    void operatorNumeric(const std::string& line);
    void operatorName(const std::string& line);
    void operatorList(const std::string& line);

    // SMS, broadcast and phone book (response_dispatcher_sms.cpp)
    void smsListData(const std::string& line);
    void smsListHeader(const std::string& line);
    void broadcastData(const std::string& line);
    void broadcastHeader();
    void smsReadData(const std::string& line);
    void smsReadHeader(const std::string& line);
    void newMessage(const std::string& line);
    void phoneBookStatus(const std::string& line);
    void phoneBookReadEcho();
    void phoneBookEntry(const std::string& line);

    // The command cycle's next step waits for the phone to be quiet: its
    // interval counts again from now. `intervalMs` > 0 sets a new interval
    // first. A cycle that is switched off stays off.
    void restartCycle(int intervalMs = 0);
    bool heldTooLong();
    void operatorScanEnded(const std::string& line);
    // A device without a battery answers the connection step's "AT+CBC"
    // with OK or an error: it is found all the same.
    void linkProbeAnswered();
    void phoneFound();
    // A registration query of another maker's device got its final answer.
    void registrationQueryEnded(const std::string& line);
    // "hh:mm" of the window's clock.
    std::string timeOfDay() const;
    // An 8-bit text for a caption or tooltip; the line break of the phone's
    // texts ("\r") becomes a real line break.
    static QString shown(const std::string& text);
    // A caption or tooltip back as 8-bit text, line breaks as "\r".
    static std::string held(const QString& text);

    Form1& f;
    // Since when received lines have postponed Timer1's next tick, and the
    // tick count at that moment.
    QDateTime heldSince_;
    long long heldSinceTick_ = -1;
    // Twice the longest step of the regular pass (5 s).
    static constexpr qint64 kLongestHoldMs = 10000;
};
