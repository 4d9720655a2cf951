// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/nmea_output.h"

#include <QComboBox>
#include <algorithm>

#include "app/base/elements.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/output/lan_output.h"
#include "app/output/map_link.h"
#include "app/output/output_sinks.h"
#include "app/output/source_selection.h"
#include "core/ini_file.h"

namespace {

std::string deviceSetting(const std::string& ini, const char* key, const char* def) {
    auto value = funkor::ini::getString(ini, "Devices", key);
    return value && !value->empty() ? *value : std::string(def);
}

// A sentence as the trace shows it: without its line end.
QString traceText(const std::string& sentence) {
    std::string s = sentence;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return fromCp1252(s);
}

}  // namespace

NmeaOutput::NmeaOutput(const Elements& elements, const NetworkState& network,
                       const PositionState& position, OutputState& output, const SmsState& sms,
                       const std::string& settingsPath, const Topics& topics, TraceList trace,
                       std::function<bool()> cellDatabase, std::function<void()> leaveNetwork)
    : e_(elements),
      network_(network),
      position_(position),
      output_(output),
      sms_(sms),
      topics_(topics),
      trace_(std::move(trace)),
      cellDatabase_(std::move(cellDatabase)),
      leaveNetwork_(std::move(leaveNetwork)) {
    // Readers of the output count on the 2 s period; a coarse timer may be
    // off by a tenth of it.
    e_.Timer2->setTimerType(Qt::PreciseTimer);
    const std::string ini = settingsPath;
    serial_ = std::make_unique<SerialSink>(e_.Comm2, e_.TCPstat, output_);
    hardwarePort_ = std::make_unique<HardwarePortSink>(
        [ini] { return deviceSetting(ini, "Port", "/dev/port"); });
    printer_ =
        std::make_unique<PrinterSink>([ini] { return deviceSetting(ini, "LPT1", "/dev/lp0"); });
    setSink(funkor::OutputKind::Serial, serial_.get());
    setSink(funkor::OutputKind::HardwarePort, hardwarePort_.get());
    setSink(funkor::OutputKind::Printer, printer_.get());
    setSink(funkor::OutputKind::Lan, &topics_.lanOutput);
}

NmeaOutput::~NmeaOutput() = default;

void NmeaOutput::setSink(funkor::OutputKind kind, NmeaSink* sink) {
    sinks_[static_cast<int>(kind)] = sink;
}

void NmeaOutput::setChoiceEnabled(bool enabled) {
    e_.NMEA->setEnabled(enabled);
}

void NmeaOutput::start() {
    e_.Timer2->setEnabled(true);
}

void NmeaOutput::stop() {
    e_.Timer2->setEnabled(false);
}

funkor::OutputTarget NmeaOutput::chosenTarget() const {
    return funkor::parseOutputTarget(toCp1252(e_.NMEA->currentText()));
}

void NmeaOutput::Timer2_Timer() {
    const std::string phonePort = e_.GSM->currentText().toStdString();
    const funkor::OutputTickGate gate =
        funkor::gateOutputTick({topics_.mapLink.replaying(), e_.NMEA->currentIndex(), phonePort,
                                network_.operatorCode, cellDatabase_()});
    if (gate == funkor::OutputTickGate::Idle) return;
    if (gate == funkor::OutputTickGate::LeaveOutput) {
        leaveNetwork_();
        return;
    }

    // The pair is copied: events let run while writing may replace the
    // stored sentences, not what this tick sends.
    funkor::OutputPair pair = funkor::chooseOutputPair(
        {topics_.sources.boxes(), output_.sourceRotation, position_.gsmRmc, position_.gsmGga,
         output_.gpsRmc, output_.gpsGga, sms_.smsRmc, sms_.smsGga});
    output_.sourceRotation = pair.sourceRotation;
    if (pair.first.empty()) return;
    // An estimated cell position tells its error after the pair.
    if (pair.source == funkor::PositionSource::Gsm && !position_.gsmGst.empty())
        pair.second += position_.gsmGst;

    if (trace_.visible()) trace(pair);

    const funkor::OutputTarget target = chosenTarget();
    if (NmeaSink* sink = sinks_[static_cast<int>(target.kind)]) sink->Write(target, pair);
}

void NmeaOutput::trace(const funkor::OutputPair& pair) {
    if (!pair.identification.empty()) trace_.add(traceText(pair.identification), false);
    trace_.add(traceText(pair.first), false);
    // The second part may hold two sentences (GGA and an estimate's GST).
    const std::string& second = pair.second;
    for (std::size_t start = 0, end; start < second.size(); start = end + 2) {
        end = std::min(second.find("\r\n", start), second.size());
        trace_.add(traceText(second.substr(start, end - start)), false);
    }
    trace_.showLast();
}

void NmeaOutput::replayLogged(const std::string& rmc, const std::string& gga) {
    // The other outputs (hardware port, printer, LAN) are no serial port.
    const funkor::OutputTarget target = chosenTarget();
    if (e_.NMEA->currentIndex() > 0 && target.kind == funkor::OutputKind::Serial)
        serial_->replay(target.port, bytesOf(rmc + "\r\n" + gga + "\r\n"));
}

void NmeaOutput::NMEA_Click() {
    if (e_.NMEA->currentText() != QLatin1String("LAN")) topics_.lanOutput.LanStop();
    topics_.lanOutput.resetListenError();
}
