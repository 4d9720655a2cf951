// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <array>
#include <functional>
#include <string>

#include "app/base/async_wait.h"
#include "core/cycle_state.h"

struct PhoneSideState;
class PhoneCalls;
class PhoneLine;
class Platform;
class QComboBox;
class QRadioButton;
class SmsReception;
class SmsSending;
class TimerElement;
struct CallState;
struct NetworkState;
struct PhoneLinkState;
struct PositionState;
struct SmsState;

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

    // The window's elements: the cycle's timer, and the port list and rate
    // choice (the window's own) that the search reads and annotates.
    struct Elements {
        TimerElement* Timer1;
        QComboBox* GSM;
        std::array<QRadioButton*, 3> Baud;
    };
    // The state it reads and writes, by topic.
    using State = PhoneSideState;
    // The topics whose elements a step changes.
    struct Topics {
        PhoneLine& phoneLine;
        SmsSending& smsSending;
        SmsReception& smsReception;
        PhoneCalls& phoneCalls;
    };
    // `cellRead` gives the line that reads the cells heard between the
    // steps of the regular pass, empty when none is due (may be left empty).
    CommandCycle(const Elements& elements, const State& state, Platform& platform,
                 const Topics& topics, std::function<std::string()> cellRead = {});
    ~CommandCycle();

    void Timer1_Timer();
    // The phone's port broke (unplugged): the search for the phone starts
    // within kSearchAfterLossMs, not after the step's interval, which can
    // be a minute after the operator scan.
    void portBroken();

    // A link that serves some ports without AT commands (ModemManager):
    // while `takesTick` returns true the tick is its, and the schedule sends
    // nothing.
    void setOtherLink(std::function<bool()> takesTick) { otherLink_ = std::move(takesTick); }

    // Whether a tick is under way (possibly paused in a wait).
    bool busy() const { return busy_; }

    // Whether the cycle runs (Timer1 is on).
    bool running() const;
    void start();
    void stop();
    // Starts or stops it.
    void setRunning(bool on);
    // The next tick counts its interval from now when the cycle runs; a
    // stopped cycle stays stopped. `intervalMs` > 0 sets a new interval
    // first, also for a stopped cycle.
    void restartIfRunning(int intervalMs = 0);
    // A line came from the phone: the next step waits for it to be quiet
    // (restartIfRunning()), but lines postpone a tick by at most twice the
    // longest step of the regular pass in all.
    void waitForQuiet();

    // A pause of `seconds` by the window's clock, during which the window
    // runs. It ends after at most `seconds` of real time, also when the clock
    // passes midnight or is set back meanwhile.
    class WaitSecondsClock {
      public:
        WaitSecondsClock(Platform& platform, double seconds);
        bool over() const;

      private:
        Platform& platform_;
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
    // The step that chooses a phone book: the book's counts start afresh.
    void choosePhoneBook(const char* command);
    // The step after it: asks for the next entry of the chosen book while
    // entries remain and stays on it (true), else goes on (false).
    bool readNextPhoneBookEntry();
    // Steps of the schedule that send without waiting; each returns the
    // factor of the next tick's interval (one second).
    double noticesStep(bool otherMaker);
    double operatorScanStep();
    double phoneBookStep(funkor::PollStep step);
    // Seconds since midnight of the window's clock.
    double timeOfDay();

    TimerElement* Timer1_;
    QComboBox* GSM_;
    std::array<QRadioButton*, 3> Baud_;
    PhoneLinkState& phone_;
    NetworkState& network_;
    PositionState& position_;
    SmsState& sms_;
    CallState& calls_;
    Platform& platform_;
    PhoneLine& phoneLine_;
    SmsSending& smsSending_;
    SmsReception& smsReception_;
    PhoneCalls& phoneCalls_;
    std::function<std::string()> cellRead_;
    bool busy_ = false;
    std::function<bool()> otherLink_;
    // Since when received lines have postponed the next tick, and the tick
    // count at that moment.
    QDateTime heldSince_;
    long long heldSinceTick_ = -1;
    // Twice the longest step of the regular pass (5 s).
    static constexpr qint64 kLongestHoldMs = 10000;
    // Owner of suspended waits: destroyed first, so no wait resumes on a
    // half-destroyed cycle.
    QObject waitOwner_;
};
