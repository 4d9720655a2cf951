// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QTimer>

class QComboBox;
class SerialPortComponent;
class ShapeElement;
class SourceSelection;
struct OutputState;

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

    struct Elements {
        QComboBox* GPS;
        SerialPortComponent* Comm3;
        ShapeElement* GPSstat;
        // Read only: the phone's port, which the receiver cannot share.
        const QComboBox* GSM;
    };
    GpsInput(const Elements& elements, OutputState& output, SourceSelection& sources);

    void GPS_Click();
    void Comm3_OnComm();
    // Opens Comm3 on the port chosen in the GPS list, unless it is open,
    // nothing is chosen or the choice is the phone's own port.
    void openChosenPort();
    // Opens Comm3 on port `portNumber`. A port that does not exist or that
    // another program holds is passed over without a message; false then.
    bool openPort(int portNumber);
    // The GPS list can be chosen from (once the phone is on a position
    // network) or not.
    void setChoiceEnabled(bool enabled);

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

    Elements e_;
    OutputState& output_;
    SourceSelection& sources_;
    QTimer burstTimer_;
    QTimer reopenTimer_;
    qint64 bytesTaken_ = 0;
};
