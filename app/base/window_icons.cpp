// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/base/window_icons.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <QWidget>
#include <cmath>

QString picturePath(WindowPicture picture) {
    switch (picture) {
        case WindowPicture::Program:
            return QStringLiteral(":/icons/funkor.svg");
        case WindowPicture::Gsm:
            return QStringLiteral(":/icons/gsm.svg");
        case WindowPicture::Gps:
            return QStringLiteral(":/icons/gps.svg");
        case WindowPicture::Sms:
            return QStringLiteral(":/icons/sms.svg");
        case WindowPicture::Home:
            return QStringLiteral(":/icons/home.svg");
        case WindowPicture::Cell:
            return QStringLiteral(":/icons/cell.svg");
        case WindowPicture::BatteryDischarging:
            return QStringLiteral(":/icons/battery-discharging.svg");
        case WindowPicture::BatteryCharging:
            return QStringLiteral(":/icons/battery-charging.svg");
        case WindowPicture::Speaking:
            return QStringLiteral(":/icons/speaking.svg");
        case WindowPicture::Sending:
            return QStringLiteral(":/icons/sending.svg");
        case WindowPicture::NewEntries:
            return QStringLiteral(":/icons/new-entries.svg");
        case WindowPicture::Save:
            return QStringLiteral(":/icons/save.svg");
    }
    return QString();
}

namespace {

QPixmap render(const QString& path, int size, qreal ratio) {
    QSvgRenderer svg(path);
    if (!svg.isValid() || size <= 0) return QPixmap();
    const int pixels = static_cast<int>(std::lround(size * ratio));
    QPixmap pm(pixels, pixels);
    pm.fill(Qt::transparent);
    {
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        svg.render(&p);
    }
    pm.setDevicePixelRatio(ratio);
    return pm;
}

}  // namespace

QPixmap picturePixmap(WindowPicture picture, int size, const QWidget* widget) {
    const qreal ratio = widget ? widget->devicePixelRatioF() : qApp->devicePixelRatio();
    return render(picturePath(picture), size, std::max<qreal>(1, ratio));
}

QIcon pictureIcon(WindowPicture picture) {
    QIcon icon;
    const QString path = picturePath(picture);
    for (int size : {16, 20, 24, 32, 48, 64, 128})
        for (qreal ratio : {1.0, 2.0}) {
            QPixmap pm = render(path, size, ratio);
            if (!pm.isNull()) icon.addPixmap(pm);
        }
    return icon;
}
