// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/gps_input.h"

#include <QComboBox>

#include "app/base/serial_port_component.h"
#include "app/base/window_state.h"
#include "app/output/indicator.h"
#include "app/output/source_selection.h"
#include "core/position_output.h"

GpsInput::GpsInput(const Elements& elements, OutputState& output, SourceSelection& sources)
    : e_(elements), output_(output), sources_(sources) {
    burstTimer_.setSingleShot(true);
    burstTimer_.setTimerType(Qt::PreciseTimer);
    burstTimer_.setInterval(kBurstWaitMs);
    QObject::connect(&burstTimer_, &QTimer::timeout, [this] { drainInput(); });
    reopenTimer_.setInterval(kReopenMs);
    QObject::connect(&reopenTimer_, &QTimer::timeout, [this] { tryReopen(); });
}

void GpsInput::GPS_Click() {
    if (!e_.GPS->isEnabled() || e_.GPS->currentIndex() < 0) return;
    if (e_.Comm3->PortOpen()) e_.Comm3->setPortOpen(false);
    burstTimer_.stop();
    reopenTimer_.stop();
    openChosenPort();
    sources_.setGpsAvailable(e_.GPS->currentIndex() != 0);
}

bool GpsInput::openPort(int portNumber) {
    e_.Comm3->setCommPort(portNumber);
    return e_.Comm3->setPortOpen(true);
}

void GpsInput::setChoiceEnabled(bool enabled) {
    e_.GPS->setEnabled(enabled);
}

void GpsInput::openChosenPort() {
    const int chosen = e_.GPS->currentIndex();
    if (chosen <= 0 || chosen == e_.GSM->currentIndex() || e_.Comm3->PortOpen()) return;
    // A port that is missing or busy stays closed; the list shows why.
    openPort(chosen);
}

void GpsInput::Comm3_OnComm() {
    if (e_.Comm3->CommEvent() != 2) return;
    if (!burstTimer_.isActive()) burstTimer_.start();
}

void GpsInput::drainInput() {
    burstTimer_.stop();
    std::string bytes;
    while (e_.Comm3->InBufferCount() > 0) {
        const QByteArray one = e_.Comm3->Input();
        if (one.isEmpty()) break;
        bytes += one.at(0);
    }
    bytesTaken_ += static_cast<qint64>(bytes.size());
    const funkor::GpsInputResult r = funkor::frameGpsInput({output_.gpsLineBuffer, bytes});
    output_.gpsLineBuffer = r.buffer;
    if (!r.rmc.empty()) output_.gpsRmc = r.rmc;
    if (!r.gga.empty()) output_.gpsGga = r.gga;
    if (r.sentenceTaken) paintIndicator(e_.GPSstat, r.indicator);
}

void GpsInput::receiveError() {
    // What came before the failure is still taken. The line it leaves
    // unfinished is dropped: the receiver's next bytes on a port opened
    // again do not continue it, and glued to them it would go out as one
    // torn sentence.
    drainInput();
    output_.gpsLineBuffer.clear();
    paintIndicator(e_.GPSstat, funkor::Indicator::Red);
    reopenTimer_.start();
}

void GpsInput::tryReopen() {
    const int chosen = e_.GPS->currentIndex();
    if (e_.Comm3->PortOpen() || chosen <= 0 || chosen == e_.GSM->currentIndex()) {
        reopenTimer_.stop();
        return;
    }
    if (openPort(chosen)) reopenTimer_.stop();
}
