// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QLocale>

#include "app/base/text_codec.h"
#include "app/window/form1.h"
#include "app/window/form2.h"
#include "core/state_report.h"
#include "core/version.h"

// The window's title in each state, and the phone-state report in the second
// window while the main window is maximized.

QString Form1::titleText() {
    return fromCp1252(funkor::programTitle(funkor::programVersion()));
}

void Form1::Form_Resize() {
    // Minimized, the task bar tells where the phone is registered.
    if (isMinimized())
        setWindowTitle(QLatin1Char(' ') + Netz->text());
    else
        setWindowTitle(titleText());

    if (!isMaximized()) {
        form2->unload();
        List2->hide();
        relaxPanel();
        return;
    }

    // Maximized: the panel keeps its compact size at the top left, the
    // report stands beside it and the trace list below the SMS text.
    compactPanel();
    placeTraceList();
    placeForm2();

    const QDateTime now = platform_->Now();
    funkor::StateReportInputs in;
    in.dateTime = toCp1252(QLocale().toString(now.date(), QLocale::ShortFormat) +
                           QStringLiteral("  ") + now.time().toString(QStringLiteral("HH:mm:ss")));
    in.infoTooltip = toCp1252(Info->toolTip());
    in.batteryTooltip = toCp1252(BattA->toolTip());
    in.levelTooltip = toCp1252(Level->toolTip());
    in.networkTooltip = toCp1252(Netz->toolTip());
    in.zoneCaption = toCp1252(Zone->text());
    in.positionTooltip = toCp1252(PosL->toolTip());
    in.zoneTooltip = toCp1252(Zone->toolTip());
    in.homeTooltip = toCp1252(Entf->toolTip());
    const std::vector<std::string> lines = funkor::stateReportLines(in);

    // Each maximizing lists the state afresh.
    QListWidget* list = form2->List1;
    list->clear();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        list->addItem(fromCp1252(lines[i]));
        if (i == 1) list->setCurrentRow(0);
    }
    form2->show();
}
