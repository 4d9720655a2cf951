// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/position_engine.h"

#include <QFile>

#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/position/cell_site_files.h"
#include "app/position/display_switches.h"
#include "app/position/position_feed.h"
#include "app/support/program_folder.h"
#include "core/cell_files.h"
#include "core/position_engine.h"

PositionEngine::PositionEngine(NetworkState& network, PositionState& position, Platform& platform,
                               const ProgramFolder& folder, const Topics& topics)
    : network_(network),
      position_(position),
      platform_(platform),
      folder_(folder),
      topics_(topics) {}

PositionEngine::~PositionEngine() = default;

void PositionEngine::ComputeCellPosition() {
    const QDateTime now = platform_.Now();
    const QDate day = now.date();
    const QTime time = now.time();

    funkor::PositionEngineInput in;
    in.cbPage = position_.cbPage;
    in.lastCbPosition = position_.lastCbPosition;
    in.sectorLetter = network_.sectorLetter;
    in.taDistance = network_.taDistance;
    in.homeDisplay = topics_.switches.homeShown();
    in.cellDisplay = topics_.switches.cellShown();
    in.homeKey = network_.homeKey;
    in.home = network_.homeZone;
    in.city = network_.cityZone;
    in.cellKey = network_.cellKey;
    in.regionLines = std::span<const std::string>(
        position_.o2Lines.lines.data() + 1, static_cast<std::size_t>(position_.o2Lines.count));
    in.regionText = network_.regionText;
    in.localTime = {day.year(), day.month(), day.day(), time.hour(), time.minute(), time.second()};
    in.utcOffset = std::chrono::minutes(position_.utcOffsetMinutes);
    in.mapBase = position_.mapBase;
    in.decimalSeparator = localDecimalSeparator();

    const funkor::PositionEngineResult r = funkor::computeCellPosition(in);
    using Stage = funkor::PositionStage;
    if (r.stage == Stage::NotReady || r.stage == Stage::OtherChannel) return;

    if (in.homeDisplay) {
        position_.positionKey = r.positionKey;
        position_.lastCbPosition.clear();
    } else {
        topics_.feed.offer(PositionOrigin::Broadcast);
        if (r.stage != Stage::Computed) return;
        position_.lastCbPosition = r.lastCbPosition;
        position_.positionKey = r.positionKey;
        // A cell without a name of its own may stand on a named site.
        if (topics_.cellNames.caption().isEmpty()) {
            const auto site = funkor::findSiteNameInFile(
                QFile::encodeName(folder_.file(QString::fromLatin1(funkor::kSiteNameFile)))
                    .toStdString(),
                position_.positionKey);
            if (site) topics_.cellNames.showCaption(fromCp1252(*site));
        }
    }

    FeedPosition p;
    p.origin = PositionOrigin::Broadcast;
    p.caption = fromCp1252(r.caption);
    p.toolTip = fromCp1252(r.toolTip);
    p.sentences = r.sentences;
    p.mapAddress = r.mapAddress;
    p.zone = ZoneDisplay{fromCp1252(r.zoneCaption), fromCp1252(r.zoneToolTip), r.zones.zoneName,
                         fromCp1252(r.distanceCaption)};
    topics_.feed.publish(p);
}
