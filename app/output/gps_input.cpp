// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/gps_input.h"

#include "app/output/indicator.h"
#include "app/window/form1.h"
#include "core/position_output.h"

GpsInput::GpsInput(Form1& form) : f(form) {
    burstTimer_.setSingleShot(true);
    burstTimer_.setTimerType(Qt::PreciseTimer);
    burstTimer_.setInterval(kBurstWaitMs);
    QObject::connect(&burstTimer_, &QTimer::timeout, [this] { drainInput(); });
    reopenTimer_.setInterval(kReopenMs);
    QObject::connect(&reopenTimer_, &QTimer::timeout, [this] { tryReopen(); });
}

void GpsInput::GPS_Click() {
    if (!f.GPS->isEnabled() || f.GPS->currentIndex() < 0) return;
    if (f.Comm3->PortOpen()) f.Comm3->setPortOpen(false);
    burstTimer_.stop();
    reopenTimer_.stop();
    openChosenPort();
    if (f.GPS->currentIndex() == 0) {
        f.cGPS->setChecked(false);
        f.cGPS->setEnabled(false);
    } else {
        f.cGPS->setEnabled(true);
    }
}

void GpsInput::openChosenPort() {
    const int chosen = f.GPS->currentIndex();
    if (chosen <= 0 || chosen == f.GSM->currentIndex() || f.Comm3->PortOpen()) return;
    // A port that is missing or busy stays closed; the list shows why.
    f.OpenGpsPort(chosen);
}

void GpsInput::Comm3_OnComm() {
    if (f.Comm3->CommEvent() != 2) return;
    if (!burstTimer_.isActive()) burstTimer_.start();
}

void GpsInput::drainInput() {
    burstTimer_.stop();
    std::string bytes;
    while (f.Comm3->InBufferCount() > 0) {
        const QByteArray one = f.Comm3->Input();
        if (one.isEmpty()) break;
        bytes += one.at(0);
    }
    bytesTaken_ += static_cast<qint64>(bytes.size());
    const funkor::GpsInputResult r = funkor::frameGpsInput({f.output.gpsLineBuffer, bytes});
    f.output.gpsLineBuffer = r.buffer;
    if (!r.rmc.empty()) f.output.gpsRmc = r.rmc;
    if (!r.gga.empty()) f.output.gpsGga = r.gga;
    if (r.sentenceTaken) paintIndicator(f.GPSstat, r.indicator);
}

void GpsInput::receiveError() {
    // What came before the failure is still taken. The line it leaves
    // unfinished is dropped: the receiver's next bytes on a port opened
    // again do not continue it, and glued to them it would go out as one
    // torn sentence.
    drainInput();
    f.output.gpsLineBuffer.clear();
    paintIndicator(f.GPSstat, funkor::Indicator::Red);
    reopenTimer_.start();
}

void GpsInput::tryReopen() {
    const int chosen = f.GPS->currentIndex();
    if (f.Comm3->PortOpen() || chosen <= 0 || chosen == f.GSM->currentIndex()) {
        reopenTimer_.stop();
        return;
    }
    if (f.OpenGpsPort(chosen)) reopenTimer_.stop();
}
