// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/position_engine.h"

#include <QFile>

#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/cell_files.h"
#include "core/position_engine.h"

PositionEngine::PositionEngine(Form1& form) : f(form) {}
PositionEngine::~PositionEngine() = default;

void PositionEngine::showPositionControls() {
    for (QWidget* w :
         std::initializer_list<QWidget*>{f.PosL, f.Zone, f.MBlast, f.SendPos, f.CallPos, f.ReqPosEn,
                                         f.Cell, f.TAV, f.Entf, f.ShHome, f.ShCell, f.Shape2})
        w->setVisible(true);
    for (auto* line : f.Line1) line->setVisible(true);
}

void PositionEngine::ComputeCellPosition() {
    const QDateTime now = f.platform().Now();
    const QDate day = now.date();
    const QTime time = now.time();

    funkor::PositionEngineInput in;
    in.cbPage = f.position.cbPage;
    in.lastCbPosition = f.position.lastCbPosition;
    in.sectorLetter = f.network.sectorLetter;
    in.taDistance = f.network.taDistance;
    in.homeDisplay = f.ShHome->isChecked();
    in.cellDisplay = f.ShCell->isChecked();
    in.homeKey = f.network.homeKey;
    in.home = f.network.homeZone;
    in.city = f.network.cityZone;
    in.cellKey = f.network.cellKey;
    in.regionLines = std::span<const std::string>(
        f.position.o2Lines.lines.data() + 1, static_cast<std::size_t>(f.position.o2Lines.count));
    in.regionText = f.network.regionText;
    in.localTime = {day.year(), day.month(), day.day(), time.hour(), time.minute(), time.second()};
    in.utcOffsetHours = f.position.utcOffsetHours;
    in.mapBase = f.position.mapBase;
    in.decimalSeparator = localDecimalSeparator();

    const funkor::PositionEngineResult r = funkor::computeCellPosition(in);
    using Stage = funkor::PositionStage;
    if (r.stage == Stage::NotReady || r.stage == Stage::OtherChannel) return;

    if (in.homeDisplay) {
        f.position.positionKey = r.positionKey;
        f.position.lastCbPosition.clear();
    } else {
        f.NMEA->setEnabled(true);
        f.GPS->setEnabled(true);
        // A GPS receiver chosen before the phone was found gets its port now,
        // unless it is the phone's own port.
        const int gpsPort = f.GPS->currentIndex();
        if (gpsPort > 0 && gpsPort != f.GSM->currentIndex() && !f.Comm3->PortOpen())
            f.OpenGpsPort(gpsPort);
        showPositionControls();
        if (r.stage != Stage::Computed) return;
        f.position.lastCbPosition = r.lastCbPosition;
        f.position.positionKey = r.positionKey;
        // A cell without a name of its own may stand on a named site.
        if (f.Cell->text().isEmpty()) {
            const auto site = funkor::findSiteNameInFile(
                QFile::encodeName(f.folderFile(QString::fromLatin1(funkor::kSiteNameFile)))
                    .toStdString(),
                f.position.positionKey);
            if (site) f.Cell->setText(fromCp1252(*site));
        }
    }

    f.position.mapAddress = r.mapAddress;
    if (f.MBlast->isChecked()) f.platform().OpenUrl(fromCp1252(r.mapAddress));

    if (!r.caption.empty()) {
        f.PosL->setText(fromCp1252(r.caption));
        f.PosL->setToolTip(fromCp1252(r.toolTip));
    }
    f.position.gsmRmc = r.sentences.rmc;
    f.position.gsmGga = r.sentences.gga;
    f.position.gsmFromDatabase = false;

    f.Zone->setToolTip(fromCp1252(r.zoneToolTip));
    f.Zone->setText(fromCp1252(r.zoneCaption));

    f.network.zoneName = r.zones.zoneName;
    f.Netz2->setText(fromCp1252(f.network.zoneName));
    f.Entf->setText(fromCp1252(r.distanceCaption));

    f.Timer2->setEnabled(true);
    if (f.Trace->isChecked()) f.Trace_Click();
}
