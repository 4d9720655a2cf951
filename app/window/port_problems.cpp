// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/window/port_problems.h"

#include <QComboBox>

#include "app/base/serial_port_component.h"
#include "app/phone/phone_line.h"

namespace {

// The list's usual tooltip is its first line ("Handy-Port", or "COM 3" while
// the phone is searched for).
QString usualTip(const QComboBox* list) {
    return list->toolTip().section(QLatin1Char('\n'), 0, 0);
}

}  // namespace

PortProblemDisplay::PortProblemDisplay(const Elements& e, PhoneLine& phoneLine, QObject* parent)
    : QObject(parent), phoneLine_(phoneLine) {
    watches_.reserve(3);
    watches_.push_back({e.GSM, e.Comm1, {}});
    watches_.push_back({e.GPS, e.Comm3, {}});
    watches_.push_back({e.NMEA, e.Comm2, {}});
    for (std::size_t i = 0; i < watches_.size(); ++i) {
        SerialPortComponent* port = watches_[i].port;
        connect(port, &SerialPortComponent::portProblem, this,
                [this, i](const QString& reason) { problem(watches_[i], reason); });
        connect(port, &SerialPortComponent::portOpened, this, [this, i] { opened(watches_[i]); });
    }
}

void PortProblemDisplay::problem(Watch& w, const QString& reason) {
    w.list->setToolTip(usualTip(w.list) + QLatin1Char('\n') + reason);
    const QString device = w.port->devicePath();
    auto known = w.traced.constFind(device);
    if (known != w.traced.constEnd() && *known == reason) return;
    w.traced.insert(device, reason);
    phoneLine_.addTrace(reason, true);
}

void PortProblemDisplay::opened(Watch& w) {
    w.list->setToolTip(usualTip(w.list));
    w.traced.remove(w.port->devicePath());
}
