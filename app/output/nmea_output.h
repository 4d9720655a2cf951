// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/output/nmea_sink.h"
#include "app/output/trace_list.h"

class QComboBox;
class SerialPortComponent;
class ShapeElement;
class TimerElement;
class HardwarePortSink;
class LanOutput;
class MapLink;
class SerialSink;
class SourceSelection;
struct NetworkState;
struct OutputState;
struct PositionState;
struct SmsState;

// The NMEA output cycle: every 2 s (Timer2) the position pair of the chosen
// source goes to the output the NMEA list names, through one sink per kind
// of output.
class NmeaOutput {
  public:
    struct Elements {
        QComboBox* NMEA;
        TimerElement* Timer2;
        SerialPortComponent* Comm2;  // the serial output
        ShapeElement* TCPstat;       // shared with the LAN output
        // Read only: the phone's port ("STOP" holds the output).
        const QComboBox* GSM;
    };
    // The topics an output tick reads or writes to.
    struct Topics {
        const SourceSelection& sources;
        LanOutput& lanOutput;
        const MapLink& mapLink;
    };
    // `cellDatabase` tells whether the offline cell database is open;
    // `leaveNetwork` puts the position displays and outputs away when the
    // position network is left.
    NmeaOutput(const Elements& elements, const NetworkState& network, const PositionState& position,
               OutputState& output, const SmsState& sms, const std::string& settingsPath,
               const Topics& topics, TraceList trace, std::function<bool()> cellDatabase,
               std::function<void()> leaveNetwork);
    ~NmeaOutput();

    void Timer2_Timer();
    // The output choice changed: a LAN output that is no longer chosen is
    // closed, so its port is free again.
    void NMEA_Click();

    // A position arrived: the output list can be chosen from, and the cycle
    // runs.
    void setChoiceEnabled(bool enabled);
    void start();
    // The position network was left: the cycle stops.
    void stop();
    // A logged sentence pair (without line ends) goes to the serial output
    // the NMEA list names, after the tick's bytes; other outputs are left
    // alone.
    void replayLogged(const std::string& rmc, const std::string& gga);

    // The sink that writes `kind`; tests put their own in place.
    void setSink(funkor::OutputKind kind, NmeaSink* sink);
    HardwarePortSink& hardwarePort() { return *hardwarePort_; }

  private:
    void trace(const funkor::OutputPair& pair);
    funkor::OutputTarget chosenTarget() const;

    Elements e_;
    const NetworkState& network_;
    const PositionState& position_;
    OutputState& output_;
    const SmsState& sms_;
    Topics topics_;
    TraceList trace_;
    std::function<bool()> cellDatabase_;
    std::function<void()> leaveNetwork_;
    std::unique_ptr<SerialSink> serial_;
    std::unique_ptr<HardwarePortSink> hardwarePort_;
    std::unique_ptr<NmeaSink> printer_;
    NmeaSink* sinks_[5] = {};
};
