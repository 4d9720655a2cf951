// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QTimer>

class Form1;

// The GPS receiver on its own serial port (Comm3, 4800 baud): the port
// choice in the GPS list, and the receiver's sentences framed into lines,
// of which the last "$GPRMC" and "$GPGGA" are kept whole for the output.
//
// A receive event waits kBurstWaitMs before reading, so that the whole
// burst of the receiver is there; the wait does not hold up the window, and
// further receive events during it add nothing but their bytes.
class GpsInput {
  public:
    static constexpr int kBurstWaitMs = 150;
    // After the port broke, how often it is tried again.
    static constexpr int kReopenMs = 1000;

    explicit GpsInput(Form1& form);

    void GPS_Click();
    void Comm3_OnComm();
    // Opens Comm3 on the port chosen in the GPS list, unless it is open,
    // nothing is chosen or the choice is the phone's own port.
    void openChosenPort();

    // Reads and frames every byte waiting in Comm3 now.
    void drainInput();
    // Whether a receive event waits for the rest of its burst.
    bool receivePending() const { return burstTimer_.isActive(); }
    // Bytes taken from Comm3 so far.
    qint64 bytesTaken() const { return bytesTaken_; }
    // A receive error: the port failed or vanished. It is opened again as
    // soon as it is back (a receiver plugged in again under the same name).
    void receiveError();
    // Whether the broken port is being tried again.
    bool reopenPending() const { return reopenTimer_.isActive(); }

  private:
    void tryReopen();

    Form1& f;
    QTimer burstTimer_;
    QTimer reopenTimer_;
    qint64 bytesTaken_ = 0;
};
