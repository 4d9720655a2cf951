// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

class QWidget;

// The window's pictures, drawn as SVG and built into the program, rendered
// sharp at every scale.
enum class WindowPicture {
    Program,             // the program's icon
    Gsm,                 // position source: GSM cell
    Gps,                 // position source: GPS receiver
    Sms,                 // position source: received SMS
    Home,                // show the home position
    Cell,                // show the cell position
    BatteryDischarging,  // the phone runs on its battery
    BatteryCharging,     // the phone is powered from outside
    Speaking,            // an announcement is spoken
    Sending,             // the phone is busy
    NewEntries,          // take new log entries into the name files
    Save,                // store the settings
};

// Resource path of the picture's SVG, ":/icons/...".
QString picturePath(WindowPicture picture);

// The picture `size` pixels square at the device pixel ratio `widget` is
// shown at (the application's when null); a null pixmap when the picture
// cannot be read.
QPixmap picturePixmap(WindowPicture picture, int size, const QWidget* widget = nullptr);

// An icon with the picture at the usual sizes and scales.
QIcon pictureIcon(WindowPicture picture);
