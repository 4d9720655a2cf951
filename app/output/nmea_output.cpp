// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/nmea_output.h"

#include "app/output/lan_output.h"
#include "app/output/output_sinks.h"
#include "app/phone/phone_line.h"
#include "app/position/cell_db_position.h"
#include "app/window/form1.h"
#include "app/window/text_codec.h"
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

NmeaOutput::NmeaOutput(Form1& form) : f(form) {
    // Readers of the output count on the 2 s period; a coarse timer may be
    // off by a tenth of it.
    f.Timer2->setTimerType(Qt::PreciseTimer);
    const std::string ini = f.settingsPath();
    serial_ = std::make_unique<SerialSink>(f);
    hardwarePort_ = std::make_unique<HardwarePortSink>(
        [ini] { return deviceSetting(ini, "Port", "/dev/port"); });
    printer_ =
        std::make_unique<PrinterSink>([ini] { return deviceSetting(ini, "LPT1", "/dev/lp0"); });
    setSink(funkor::OutputKind::Serial, serial_.get());
    setSink(funkor::OutputKind::HardwarePort, hardwarePort_.get());
    setSink(funkor::OutputKind::Printer, printer_.get());
    setSink(funkor::OutputKind::Lan, f.lanOutput.get());
}

NmeaOutput::~NmeaOutput() = default;

void NmeaOutput::setSink(funkor::OutputKind kind, NmeaSink* sink) {
    sinks_[static_cast<int>(kind)] = sink;
}

void NmeaOutput::Timer2_Timer() {
    const std::string phonePort = f.GSM->currentText().toStdString();
    const funkor::OutputTickGate gate =
        funkor::gateOutputTick({f.Timer5->Enabled(), f.NMEA->currentIndex(), phonePort,
                                f.network.operatorCode, f.cellDbPosition->hasDatabase()});
    if (gate == funkor::OutputTickGate::Idle) return;
    if (gate == funkor::OutputTickGate::LeaveOutput) {
        leavePositionNetwork();
        return;
    }

    // The pair is copied: events let run while writing may replace the
    // stored sentences, not what this tick sends.
    const funkor::OutputPair pair = funkor::chooseOutputPair(
        {{f.cGSM->isChecked(), f.cGPS->isChecked(), f.cSMS->isChecked(), f.cMULTI->isChecked()},
         f.output.sourceRotation,
         f.position.gsmRmc,
         f.position.gsmGga,
         f.output.gpsRmc,
         f.output.gpsGga,
         f.sms.smsRmc,
         f.sms.smsGga});
    f.output.sourceRotation = pair.sourceRotation;
    if (pair.first.empty()) return;

    if (f.phoneLine->traceVisible()) trace(pair);

    const funkor::OutputTarget target = funkor::parseOutputTarget(toCp1252(f.NMEA->currentText()));
    if (NmeaSink* sink = sinks_[static_cast<int>(target.kind)]) sink->Write(target, pair);
}

void NmeaOutput::trace(const funkor::OutputPair& pair) {
    if (!pair.identification.empty()) f.phoneLine->addTrace(traceText(pair.identification), false);
    f.phoneLine->addTrace(traceText(pair.first), false);
    f.phoneLine->addTrace(traceText(pair.second), false);
    const int top = funkor::traceTopIndex(f.List2->count());
    if (top >= 0) f.List2->scrollToItem(f.List2->item(top), QAbstractItemView::PositionAtTop);
}

void NmeaOutput::leavePositionNetwork() {
    f.Timer2->setEnabled(false);
    f.PosL->setText(QString());
    f.Zone->setText(QString());
    f.NMEA->setEnabled(false);
    f.GPS->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{f.PosL, f.Zone, f.MBlast, f.SendPos,
                                                      f.CallPos, f.ReqPosEn, f.Cell, f.TAV, f.Entf})
        w->hide();
    f.Trace->setChecked(false);
    for (QWidget* w : std::initializer_list<QWidget*>{f.GsmL, f.ShHome, f.ShCell}) w->hide();
    for (auto* line : f.Line1) line->hide();
    f.Shape2->hide();
    // Closes a started LAN output, and its announcement and local socket
    // even while it waits between two clients.
    f.lanOutput->LanStop();
}

void NmeaOutput::NMEA_Click() {
    if (f.NMEA->currentText() != QLatin1String("LAN")) f.lanOutput->LanStop();
    f.lanOutput->resetListenError();
}
