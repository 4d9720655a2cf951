// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <vector>

class PhoneLine;
class QComboBox;
class SerialPortComponent;

// Says why a port cannot be used where the user chooses it: while opening
// the port fails, its list's tooltip carries the reason under its usual
// text, and the trace list gets each reason once (again only when the reason
// for that device changes, or after the device was opened in between). Once
// the port opens, the tooltip is back to its usual text.
//
// Watches the phone port (list GSM), the GPS port (GPS) and the NMEA output
// port (NMEA).
class PortProblemDisplay : public QObject {
    Q_OBJECT
  public:
    // Each port with the list it is chosen in.
    struct Elements {
        QComboBox* GSM;
        SerialPortComponent* Comm1;
        QComboBox* GPS;
        SerialPortComponent* Comm3;
        QComboBox* NMEA;
        SerialPortComponent* Comm2;
    };
    // The reasons are traced on `phoneLine`; `parent` owns the display.
    PortProblemDisplay(const Elements& elements, PhoneLine& phoneLine, QObject* parent);

  private:
    struct Watch {
        QComboBox* list;
        SerialPortComponent* port;
        QHash<QString, QString> traced;  // device -> last reason traced
    };
    void problem(Watch& w, const QString& reason);
    void opened(Watch& w);

    PhoneLine& phoneLine_;
    std::vector<Watch> watches_;
};
