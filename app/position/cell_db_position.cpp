// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/cell_db_position.h"

#include <QFile>
#include <QFileInfo>

#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/position/position_feed.h"
#include "core/cell_db_position.h"

CellDbPosition::CellDbPosition(NetworkState& network, PositionState& position, Platform& platform,
                               PositionFeed& feed, std::function<void(const QString&)> trace,
                               std::function<void(const QString&)> problem)
    : network_(network),
      position_(position),
      platform_(platform),
      feed_(feed),
      trace_(std::move(trace)),
      problem_(std::move(problem)) {}

CellDbPosition::~CellDbPosition() = default;

bool CellDbPosition::openDatabase(const std::string& path, QString* problem) {
    db_.reset();
    std::string error;
    if (!QFileInfo::exists(QFile::decodeName(path.c_str()))) return false;
    db_ = funkor::CellDatabase::open(path, error);
    if (!db_ && problem) *problem = QString::fromUtf8(error.c_str());
    return db_.has_value();
}

void CellDbPosition::ServingCellChanged() {
    if (!db_) return;
    // Nothing of the last cell's position is carried to the new one: until
    // this cell has a position of its own, no sentences go out.
    feed_.leave();

    const std::string& key = network_.cellKey;
    const std::string radio = network_.cellRadio.empty() ? "GSM" : network_.cellRadio;
    const auto dbKey =
        funkor::cellDbKey(radio, network_.operatorCode, network_.cellLac, network_.cellCi);
    if (!dbKey) return;
    const funkor::CellLookup found = db_->find(*dbKey);
    if (found.status == funkor::CellLookupStatus::Failed && !found.damaged) {
        // Busy or locked by a writer: no position this time, the next
        // lookup tries again.
        trace_(QString::fromUtf8(found.error.c_str()));
        return;
    }
    if (found.status == funkor::CellLookupStatus::Failed) {
        // A page that cannot be read is no unknown cell. What else the file
        // holds is no longer trusted either: it is told once, like a
        // database that does not open, and no position comes from it.
        db_.reset();
        problem_(QString::fromUtf8(found.error.c_str()));
        return;
    }
    if (found.status == funkor::CellLookupStatus::Unknown) {
        trace_(fromCp1252(funkor::unknownCellTrace(*dbKey)));
        return;
    }

    const QDateTime now = platform_.Now();
    const QDate day = now.date();
    const QTime time = now.time();
    funkor::DbPositionInput in;
    in.cell = found.position;
    in.cellKey = key;
    in.localTime = {day.year(), day.month(), day.day(), time.hour(), time.minute(), time.second()};
    in.utcOffset = std::chrono::minutes(position_.utcOffsetMinutes);
    in.mapBase = position_.mapBase;
    in.decimalSeparator = localDecimalSeparator();
    const funkor::DbPositionResult r = funkor::computeDbPosition(in);

    feed_.offer(PositionOrigin::CellDatabase);
    FeedPosition p;
    p.origin = PositionOrigin::CellDatabase;
    p.caption = fromCp1252(r.caption);
    p.toolTip = fromCp1252(r.toolTip);
    p.sentences = r.sentences;
    p.mapAddress = r.mapAddress;
    feed_.publish(p);
}
