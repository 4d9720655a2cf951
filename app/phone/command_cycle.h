// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <string>

#include "app/window/async_wait.h"

class Form1;

// The command cycle driven by Timer1: finds the phone, walks the schedule of
// AT commands and carries out the SMS read, delete and send requests.
//
// A tick may pause (the connection step waits for the phone's answer, some
// steps give the phone time between two blocks); the window keeps running
// meanwhile, and ticks that come while one is paused are skipped, so that
// the steps never interleave.
class CommandCycle {
  public:
    // Seconds between two scans for the operators in reach.
    static constexpr double kOperatorScanPeriod = 300;
    // Longest wait for the next search once the port broke under the phone.
    static constexpr int kSearchAfterLossMs = 1000;

    explicit CommandCycle(Form1& form);
    ~CommandCycle();

    void Timer1_Timer();
    // The phone's port broke (unplugged): the search for the phone starts
    // within kSearchAfterLossMs, not after the step's interval, which can
    // be a minute after the operator scan.
    void portBroken();

    // Whether a tick is under way (possibly paused in a wait).
    bool busy() const { return busy_; }

    // A pause of `seconds` by the window's clock, during which the window
    // runs. It ends after at most `seconds` of real time, also when the clock
    // passes midnight or is set back meanwhile.
    class WaitSecondsClock {
      public:
        WaitSecondsClock(Form1& form, double seconds);
        bool over() const;

      private:
        Form1& f;
        QDateTime start_;
        QElapsedTimer elapsed_;
        qint64 ms_;
    };

  private:
    Async runTick();
    // First half of the connection step: port number and line settings from
    // the command line, the "Auto" search or the window's choice.
    void choosePortAndSettings();
    void registrationQueries();
    // The port closed under the linked phone: what was on its way is lost,
    // so the phone is read afresh once it is found again.
    void phoneLost();
    // The end of the books read anew: their entries replace the list's
    // (unless they are the same), and an entry the user chose stays chosen
    // when the new list has it.
    void renewPhoneBookList();
    // The SMS requests taken before the next schedule step; true when one
    // was carried out (the tick ends then).
    bool takeSmsRequest();
    // Steps 10, 12 and 14: asks for the next entry of the selected phone book
    // while entries remain; true when one was asked for.
    bool readNextPhoneBookEntry(int repeatStep);
    // Seconds since midnight of the window's clock.
    double timeOfDay();

    Form1& f;
    bool busy_ = false;
    // Owner of suspended waits: destroyed first, so no wait resumes on a
    // half-destroyed cycle.
    QObject waitOwner_;
};
