// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>

#include "app/output/nmea_sink.h"

class Form1;
class HardwarePortSink;

// The NMEA output cycle: every 2 s (Timer2) the position pair of the chosen
// source goes to the output the NMEA list names, through one sink per kind
// of output.
class NmeaOutput {
  public:
    explicit NmeaOutput(Form1& form);
    ~NmeaOutput();

    void Timer2_Timer();
    // The output choice changed: a LAN output that is no longer chosen is
    // closed, so its port is free again.
    void NMEA_Click();

    // The sink that writes `kind`; tests put their own in place.
    void setSink(funkor::OutputKind kind, NmeaSink* sink);
    HardwarePortSink& hardwarePort() { return *hardwarePort_; }

  private:
    // The phone left the position network: the output stops and the
    // position display is put away.
    void leavePositionNetwork();
    void trace(const funkor::OutputPair& pair);

    Form1& f;
    std::unique_ptr<NmeaSink> serial_;
    std::unique_ptr<HardwarePortSink> hardwarePort_;
    std::unique_ptr<NmeaSink> printer_;
    NmeaSink* sinks_[5] = {};
};
