// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/cell_estimate.h"

#include <QDateTime>
#include <cmath>

#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/position/position_feed.h"
#include "core/at_dispatch.h"
#include "core/cell_database.h"
#include "core/cell_db_position.h"
#include "core/measurements.h"

namespace {

funkor::Radio radioOf(const std::string& name) {
    if (name == "UMTS") return funkor::Radio::Umts;
    if (name == "LTE") return funkor::Radio::Lte;
    if (name == "NR") return funkor::Radio::Nr;
    return funkor::Radio::Gsm;
}

// "AT^SMONC", "AT+CESQ" joined into one line: "AT^SMONC;+CESQ".
std::string joined(const std::vector<std::string>& commands) {
    std::string line;
    for (const std::string& c : commands) {
        const std::string body = c.rfind("AT", 0) == 0 ? c.substr(2) : c;
        line += line.empty() ? "AT" + body : ";" + body;
    }
    return line;
}

}  // namespace

CellEstimate::CellEstimate(
    const PhoneLinkState& phone, const NetworkState& network, PositionState& position,
    Platform& platform, PositionFeed& feed, std::function<const funkor::CellDatabase*()> database,
    std::function<std::optional<funkor::LearnedCell>(const funkor::CellDbKey&)> learned)
    : phone_(phone),
      network_(network),
      position_(position),
      platform_(platform),
      feed_(feed),
      database_(std::move(database)),
      learned_(std::move(learned)) {
    clock_.start();
}

std::string CellEstimate::readLine() const {
    const funkor::DeviceFamily family = funkor::deviceFamilyOf(phone_.manufacturer);
    std::vector<std::string> commands;
    // A device without a maker's query tells its cell by the registration,
    // asked for the radio it is on.
    if (family == funkor::DeviceFamily::Generic) {
        const std::string& radio = network_.cellRadio;
        commands.push_back(radio == "LTE"  ? "AT+CEREG?"
                           : radio == "NR" ? "AT+C5GREG?"
                                           : "AT+CREG?");
    }
    const std::vector<std::string> familyQueries = funkor::familyTickCommands(family);
    if (refusals_ == 0 || refusals_ == 1)
        commands.insert(commands.end(), familyQueries.begin(), familyQueries.end());
    if (refusals_ == 0 || refusals_ == 2) commands.push_back("AT+CESQ");
    return joined(commands);
}

std::string CellEstimate::nextRead() {
    if (!database_ || !database_() || !phone_.phoneLinked || phone_.manufacturer.empty()) return {};
    const qint64 now = clock_.elapsed();
    if (lastReadMs_ >= 0 && now - lastReadMs_ < kReadEveryMs) return {};
    if (device_ != phone_.manufacturer + phone_.model) {
        // Another device: its queries and refusals are learned afresh, and
        // the track starts anew.
        device_ = phone_.manufacturer + phone_.model;
        setupSent_ = false;
        refusals_ = 0;
        track_ = {};
        observation_ = {};
        heard_ = false;
    }
    estimate();
    lastReadMs_ = now;
    if (!setupSent_) {
        setupSent_ = true;
        const auto setup = funkor::familySetupCommands(funkor::deviceFamilyOf(phone_.manufacturer));
        if (!setup.empty()) return joined(setup);
    }
    const std::string line = readLine();
    pending_ = !line.empty();
    return line;
}

void CellEstimate::report(const std::string& line) {
    if (line.rfind("+CESQ:", 0) == 0) {
        const auto cesq = funkor::parseCesq(line);
        if (!cesq || !cesq->signalDbm()) return;
        if (!observation_.serving) observation_.serving = funkor::ObservedCell{};
        observation_.serving->signalDbm = *cesq->signalDbm();
        heard_ = true;
        return;
    }
    const auto reports = funkor::parseCellReports(line);
    if (reports.empty()) return;
    funkor::addReports(observation_, reports);
    heard_ = true;
}

void CellEstimate::queryEnded(const std::string& line) {
    if (!pending_) return;
    pending_ = false;
    if (funkor::isErrorResult(line)) ++refusals_;
}

void CellEstimate::estimate() {
    if (!heard_) return;
    funkor::Observation obs = observation_;
    observation_ = {};
    heard_ = false;
    const funkor::CellDatabase* db = database_();
    if (!db) return;

    // The registration names the serving cell where the maker's answer did
    // not (or no maker's query is known).
    if (!obs.serving) obs.serving = funkor::ObservedCell{};
    funkor::ObservedCell& serving = *obs.serving;
    if (!serving.hasIdentity()) {
        const auto key =
            funkor::cellDbKey(network_.cellRadio.empty() ? "GSM" : network_.cellRadio,
                              network_.operatorCode, network_.cellLac, network_.cellCi);
        if (!key) return;
        serving.radio = radioOf(key->radio);
        serving.mcc = key->mcc;
        serving.mnc = key->net;
        serving.area = key->area;
        serving.cell = key->cell;
    }
    obs.time = static_cast<double>(clock_.elapsed()) / 1000.0;
    lastObservation_ = obs;
    lastObservationMs_ = clock_.elapsed();

    funkor::CellLookups lookups;
    lookups.find = [this, db](const funkor::CellDbKey& key) -> std::optional<funkor::KnownCell> {
        const funkor::CellLookup found = db->find(key);
        std::optional<funkor::CellDbPosition> imported;
        if (found.status == funkor::CellLookupStatus::Found) imported = found.position;
        const auto chosen =
            funkor::choosePosition(imported, learned_ ? learned_(key) : std::nullopt);
        if (!chosen) return std::nullopt;
        return funkor::knownCellFrom(
            key, *chosen,
            imported && imported->unit >= 0 ? std::optional<int>(imported->unit) : std::nullopt);
    };
    lookups.findByUnit = [db](const std::string& radio, int mcc, int net, std::int64_t area,
                              int unit) {
        std::vector<funkor::KnownCell> cells;
        for (const funkor::CellDbRow& row : db->findByUnit(radio, mcc, net, area, unit).rows) {
            funkor::KnownCell k;
            k.key = row.key;
            if (row.unit >= 0) k.unit = row.unit;
            k.latitude = row.latitude;
            k.longitude = row.longitude;
            k.range = row.range;
            k.samples = row.samples;
            cells.push_back(k);
        }
        return cells;
    };
    const funkor::PositionEstimate e = funkor::estimatePosition(obs, lookups, track_);
    if (!e.valid) return;
    last_ = e;
    publish(e);
}

std::optional<funkor::Observation> CellEstimate::recentObservation(qint64 maxAgeMs) const {
    if (lastObservationMs_ < 0 || clock_.elapsed() - lastObservationMs_ > maxAgeMs) return {};
    return lastObservation_;
}

void CellEstimate::publish(const funkor::PositionEstimate& e) {
    // A broadcast position of the cell stays: it is the site itself.
    if (!position_.gsmFromDatabase && !position_.positionKey.empty() && !position_.gsmRmc.empty())
        return;
    const QDateTime now = platform_.Now();
    const QDate day = now.date();
    const QTime time = now.time();
    funkor::EstimatedPositionInput in;
    in.estimate = e;
    in.cellKey = network_.cellKey;
    in.localTime = {day.year(), day.month(), day.day(), time.hour(), time.minute(), time.second()};
    in.utcOffset = std::chrono::minutes(position_.utcOffsetMinutes);
    in.mapBase = position_.mapBase;
    in.decimalSeparator = localDecimalSeparator();
    const funkor::EstimatedPositionResult r = funkor::computeEstimatedPosition(in);

    FeedPosition p;
    p.origin = PositionOrigin::Estimate;
    p.caption = fromCp1252(r.position.caption);
    p.toolTip = fromCp1252(r.position.toolTip);
    p.sentences = r.position.sentences;
    p.gst = r.gst;
    p.mapAddress = r.position.mapAddress;
    // A position that moved, or rests on other cells, is handed on whole
    // (map, log); otherwise only its sentences and caption are renewed, so
    // that they carry the time of the tick that sends them. Where another
    // origin was published meanwhile (the serving cell's row after a cell
    // change), the estimate takes the map and the log back.
    const bool moved = publishedCells_ < 0 || e.cellsUsed != publishedCells_ ||
                       feed_.shownOrigin() != PositionOrigin::Estimate ||
                       funkor::distanceMetres(publishedLat_, publishedLon_, e.latitude,
                                              e.longitude) > std::max(25.0, e.r68 / 2);
    if (!moved && position_.gsmFromDatabase) {
        feed_.refresh(p);
        return;
    }
    publishedLat_ = e.latitude;
    publishedLon_ = e.longitude;
    publishedCells_ = e.cellsUsed;
    feed_.offer(PositionOrigin::Estimate);
    feed_.publish(p);
}
