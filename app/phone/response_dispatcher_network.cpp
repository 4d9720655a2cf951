// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QFile>
#include <QListWidget>

#include "app/base/elements.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/phone/command_cycle.h"
#include "app/phone/phone_line.h"
#include "app/phone/response_dispatcher.h"
#include "app/position/cell_site_files.h"
#include "app/position/position_panel.h"
#include "app/support/program_folder.h"
#include "core/at_network.h"
#include "core/cell_files.h"
#include "core/operators.h"

// Answers about the network: the SIM's zones, the timing advance, the
// registration with the serving cell, and the operators.

void ResponseDispatcher::simZoneFile(const std::string& line) {
    const funkor::SimZoneFile zones = funkor::parseCrsmZones(line);
    // A zone that cannot be read (short answer, odd hex, a squared radius
    // without a square root) keeps what was known before.
    if (zones.home) {
        network_.homeZone = *zones.home;
        network_.homeKey = zones.homeKey;
        panel_.setDistanceToolTip(fromCp1252(zones.distanceTooltip));
    }
    if (zones.city) network_.cityZone = *zones.city;
}

void ResponseDispatcher::timingAdvance(const std::string& line) {
    const auto ta = funkor::parseSstk(line);
    if (!ta) return;
    network_.taDistance = ta->distanceMetres;
    phoneLine_.setTimingAdvanceCaption(
        fromCp1252(funkor::timingAdvanceCaption(ta->distanceMetres, network_.operatorCode,
                                                network_.sectorLetter, localDecimalSeparator())));
}

void ResponseDispatcher::registration(const std::string& line) {
    if (const auto answer = funkor::parseRegistration(line)) takeRegistration(*answer);
}

void ResponseDispatcher::takeRegistration(const funkor::Registration& answer) {
    // Each domain keeps its last answer: a data-only LTE modem is not
    // registered for calls, yet it is on the network. The serving cell is
    // that of the first domain registered with a cell: circuit-switched
    // first, then packet, then LTE, then 5G. A Siemens phone answers +CREG
    // only.
    NetworkState& n = network_;
    const auto domain = static_cast<std::size_t>(answer.kind);
    n.registrations[domain] = answer;
    n.registrationKnown[domain] = 1;
    servingCellFromRegistrations();
}

void ResponseDispatcher::servingCellFromRegistrations() {
    NetworkState& n = network_;
    const funkor::Registration* reg = nullptr;
    int regDomain = -1;
    bool registered = false;
    for (std::size_t i = 0; i < n.registrations.size(); ++i) {
        const funkor::Registration& r = n.registrations[i];
        if (!n.registrationKnown[i] || !r.registered) continue;
        registered = true;
        if (!reg && r.hasCell()) {
            reg = &r;
            regDomain = static_cast<int>(i);
        }
    }
    // An LTE modem answers "+CREG: 2,0" (not registered for calls) before
    // its "+CEREG:" has been asked: that is not yet "no network". Until
    // each domain has been asked once, only a registration is taken.
    if (!registered && !n.registrationJudged && phone_.registrationStep != 0) return;
    n.registrationJudged = true;
    const bool cameBack = registered && !n.onNetwork;
    n.onNetwork = registered;
    if (!registered) {
        // No network: the operator displays are emptied. The cell key is
        // kept, so that coming back to the same cell does not look it up
        // again.
        e_.Netz->setToolTip(QStringLiteral("kein Netz"));
        e_.Netz->setText(QStringLiteral("---"));
        e_.Level->setValue(0);
        panel_.clearForNoNetwork();
        cellNames_.showCaption(QString());
        network_.operatorCode.clear();
        network_.zoneName.clear();
        network_.networkText.clear();
        network_.sectorLetter.clear();
        // Leaving the network ends the output; back in the same cell, its
        // page is the one last taken and would be passed over as a repeat,
        // so the output would stay off until the next cell. The position is
        // taken afresh instead.
        position_.lastCbPosition.clear();
        return;
    }
    // Registered, but the phone did not say where ("+CREG: 0,1" before the
    // location reports are switched on): the serving cell stays as it was,
    // unless the domain that named it has left the network (a modem moving
    // from LTE to 5G says "+CREG: 1", then "+CEREG: 0"). That cell is no
    // longer served, and its position must not go on being sent.
    if (!reg) {
        const auto from = static_cast<std::size_t>(n.cellDomain);
        if (n.cellDomain >= 0 && n.registrationKnown[from] && !n.registrations[from].registered)
            leaveServingCell();
        return;
    }
    n.cellDomain = regDomain;
    network_.cellKey = funkor::makeCellKey(reg->ci, reg->lac, network_.operatorCode);
    n.cellRadio = funkor::radioName(reg->radio);
    n.cellLac = reg->lacValue;
    n.cellCi = static_cast<std::int64_t>(reg->ciValue);
    if (network_.cellKey == network_.lastCellKey) {
        // Back on the network in the cell it left: a device that is only
        // polled reports no change, so its position is looked up again.
        if (cameBack && position_.gsmRmc.empty()) positionHooks_.servingCellChanged();
        return;
    }
    cellChange();
}

void ResponseDispatcher::leaveServingCell() {
    NetworkState& n = network_;
    n.cellDomain = -1;
    n.cellKey.clear();
    n.lastCellKey.clear();
    position_.gsmRmc.clear();
    position_.gsmGga.clear();
    position_.gsmFromDatabase = false;
    position_.lastCbPosition.clear();
    panel_.showPosition(QString(), QString());
    cellNames_.showCaption(QString());
}

void ResponseDispatcher::cellChange() {
    NetworkState& n = network_;
    phoneLine_.setTimingAdvanceCaption(QStringLiteral("*"));
    phone_.ussdDone = false;
    cellNames_.showNameOf(n.cellKey);
    phoneLine_.showTimingAdvanceLabel();
    panel_.showCellFrame();
    n.lastCellKey = n.cellKey;

    n.sectorLetter = funkor::sectorOf(n.cellKey).letter;
    n.regionText = funkor::regionText(n.cellKey);
    e_.Netz->setToolTip(fromCp1252(funkor::networkTooltip(n.cellKey, n.operatorCode)));
    // With a cell database the new cell's position is looked up at once.
    positionHooks_.servingCellChanged();
}

void ResponseDispatcher::operatorNumeric(const std::string& line) {
    if (const auto code = funkor::parseCopsNumeric(line)) takeOperatorCode(*code);
}

void ResponseDispatcher::takeOperatorCode(const std::string& code) {
    const bool changed = network_.operatorCode != code;
    network_.operatorCode = code;
    operatorMissingTold_ = false;
    // A cell reported before its operator (back on the network, the
    // operator code is asked only at the next pass) gets its key now.
    if (changed && network_.onNetwork) servingCellFromRegistrations();
    if (funkor::isRoaming(phone_.homeNetwork, network_.operatorCode, held(e_.Netz->text())))
        panel_.showZoneName(QStringLiteral("roaming"));
}

void ResponseDispatcher::operatorName(const std::string& line) {
    if (const auto name = funkor::parseCopsName(line)) takeOperatorName(*name);
}

void ResponseDispatcher::takeOperatorName(const std::string& name) {
    network_.networkText = name;
    e_.Netz->setText(fromCp1252(name));
    if (network_.operatorCode.empty()) operatorFromSim();
    if (network_.operatorCode == funkor::kO2Germany)
        panel_.showZoneName(fromCp1252(network_.zoneName));
}

void ResponseDispatcher::operatorFromSim() {
    // A device that names its operator only by name gives no code, and
    // without one no cell can be looked up. Registered in the home network
    // (not roaming), the network is the SIM's own.
    NetworkState& n = network_;
    bool home = false;
    for (std::size_t i = 0; i < n.registrations.size(); ++i)
        home = home || (n.registrationKnown[i] && n.registrations[i].status == 1);
    if (!home || phone_.homeNetwork.empty()) {
        // The name comes with every pass: the trace says it once.
        if (!operatorMissingTold_)
            phoneLine_.addTrace(
                QStringLiteral("Keine Betreiberkennung (MCC/MNC): keine Position aus der Zelle"),
                true);
        operatorMissingTold_ = true;
        return;
    }
    n.operatorCode = phone_.homeNetwork;
    phoneLine_.addTrace(
        QStringLiteral("Betreiberkennung aus der SIM: %1").arg(fromCp1252(n.operatorCode)), true);
    servingCellFromRegistrations();
}

void ResponseDispatcher::operatorList(const std::string& line) {
    const std::vector<std::string> entries = funkor::parseCopsList(line);
    // The scan took long; the cycle goes on two seconds after the answer.
    phone_.operatorScanPending = false;
    commandCycle_.restartIfRunning(2000);
    // A list cut off before its first operator is no answer: a real scan
    // that finds nothing has no "(" up front.
    if (entries.empty()) return;
    e_.List1->clear();
    for (const auto& e : entries) e_.List1->addItem(fromCp1252(e));

    const auto operatorSlots = funkor::operatorSlots(entries, network_.countryTable);
    for (std::size_t i = 0; i < operatorSlots.size(); ++i) {
        const funkor::OperatorSlot& s = operatorSlots[i];
        const std::uint32_t rgb = funkor::operatorStateColour(s.state);
        e_.Sta[i]->setFillColor(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
        e_.Netze[i]->setText(fromCp1252(s.caption));
        e_.Netze[i]->setVisible(s.visible);
        e_.Sta[i]->setVisible(s.visible);
        e_.Land[i]->setVisible(s.visible);
        if (!s.visible) continue;
        e_.Netze[i]->setToolTip(fromCp1252(s.tooltip));
        e_.Land[i]->setText(fromCp1252(s.countryCaption));
        e_.Land[i]->setToolTip(fromCp1252(s.countryTooltip));
    }
}

void ResponseDispatcher::cellReport(const std::string& line) {
    if (positionHooks_.cellReport) positionHooks_.cellReport(line);
}

void ResponseDispatcher::cellSignal(const std::string& line) {
    if (positionHooks_.cellReport) positionHooks_.cellReport(line);
}
