// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/map_link.h"

#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/position_output.h"
#include "core/position_texts.h"

void MapLink::MBlast_Click() {
    if (!f.MBlast->isChecked()) return;
    openAddress(f.cSMS->isChecked() ? f.sms.smsMapLink : f.position.mapAddress);
}

void MapLink::Timer5_Timer() {
    // The logged position goes to the serial output the NMEA list names;
    // the other outputs (hardware port, printer, LAN) are no serial port
    // and are left alone.
    const funkor::OutputTarget target = funkor::parseOutputTarget(toCp1252(f.NMEA->currentText()));
    if (f.NMEA->currentIndex() > 0 && target.kind == funkor::OutputKind::Serial) {
        // After the output tick's bytes, as that tick's after this one's.
        SerialPortComponent* port = f.Comm2;
        const QByteArray bytes =
            bytesOf(f.position.reviewRmc + "\r\n" + f.position.reviewGga + "\r\n");
        port->whenClosed([port, n = target.port, bytes] {
            port->setCommPort(n);
            if (!port->PortOpen()) port->setPortOpen(true);
            port->Output(bytes);
            port->closeWhenSent();
        });
    }
    if (f.MBlast->isChecked()) {
        // A logged sentence whose position cannot be read shows no map.
        if (const auto at = funkor::rmcMapPosition(f.position.reviewRmc))
            openAddress(funkor::mapAddress(f.position.mapBase, at->latitude, at->longitude, "Log"));
    }
}

void MapLink::openAddress(const std::string& address) {
    if (address.empty()) return;
    f.platform().OpenUrl(fromCp1252(address));
}
