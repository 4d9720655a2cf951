// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QFile>

#include "app/phone/response_dispatcher.h"
#include "app/position/cell_db_position.h"
#include "app/window/form1.h"
#include "app/window/text_codec.h"
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
        f.network.homeZone = *zones.home;
        f.network.homeKey = zones.homeKey;
        f.Entf->setToolTip(fromCp1252(zones.distanceTooltip));
    }
    if (zones.city) f.network.cityZone = *zones.city;
}

void ResponseDispatcher::timingAdvance(const std::string& line) {
    const auto ta = funkor::parseSstk(line);
    if (!ta) return;
    f.network.taDistance = ta->distanceMetres;
    f.TAV->setText(
        fromCp1252(funkor::timingAdvanceCaption(ta->distanceMetres, f.network.operatorCode,
                                                f.network.sectorLetter, localDecimalSeparator())));
}

void ResponseDispatcher::registration(const std::string& line) {
    const auto answer = funkor::parseRegistration(line);
    if (!answer) return;
    // Each domain keeps its last answer: a data-only LTE modem is not
    // registered for calls, yet it is on the network. The serving cell is
    // that of the first domain registered with a cell: circuit-switched
    // first, then packet, then LTE. A Siemens phone answers +CREG only.
    NetworkState& n = f.network;
    const auto domain = static_cast<std::size_t>(answer->kind);
    n.registrations[domain] = *answer;
    n.registrationKnown[domain] = 1;
    const funkor::Registration* reg = nullptr;
    bool registered = false;
    for (std::size_t i = 0; i < n.registrations.size(); ++i) {
        const funkor::Registration& r = n.registrations[i];
        if (!n.registrationKnown[i] || !r.registered) continue;
        registered = true;
        if (!reg && r.hasCell()) reg = &r;
    }
    if (!registered) {
        // No network: the operator displays are emptied. The cell key is
        // kept, so that coming back to the same cell does not look it up
        // again.
        f.Netz->setToolTip(QStringLiteral("kein Netz"));
        f.Netz->setText(QStringLiteral("---"));
        f.Level->setValue(0);
        for (auto* label : {f.Netz2, f.PosL, f.Zone, f.Cell}) label->setText(QString());
        f.network.operatorCode.clear();
        f.network.zoneName.clear();
        f.network.networkText.clear();
        f.network.sectorLetter.clear();
        f.Zone->setToolTip(QStringLiteral("City-Zone"));
        // Leaving the network ends the output; back in the same cell, its
        // page is the one last taken and would be passed over as a repeat,
        // so the output would stay off until the next cell. The position is
        // taken afresh instead.
        f.position.lastCbPosition.clear();
        return;
    }
    // Registered, but the phone did not say where ("+CREG: 0,1" before the
    // location reports are switched on): the serving cell stays as it was.
    if (!reg) return;
    f.network.cellKey = funkor::makeCellKey(reg->ci, reg->lac, f.network.operatorCode);
    n.cellRadio = funkor::radioName(reg->radio);
    n.cellLac = reg->lacValue;
    n.cellCi = reg->ciValue;
    if (f.network.cellKey == f.network.lastCellKey) return;
    cellChange();
}

void ResponseDispatcher::cellChange() {
    NetworkState& n = f.network;
    f.Cell->setText(QString());
    f.TAV->setText(QStringLiteral("*"));
    f.phone.ussdDone = 0;

    // The user's name for the cell; a missing file names nothing.
    const std::string path =
        QFile::encodeName(f.folderFile(QString::fromLatin1(funkor::kCellNameFile))).toStdString();
    if (const auto caption = funkor::findCellNameInFile(path, n.cellKey))
        f.Cell->setText(fromCp1252(*caption));
    f.Cell->show();
    f.TAV->show();
    for (int i = 0; i < 3; ++i) f.Line1[static_cast<std::size_t>(i)]->show();
    n.lastCellKey = n.cellKey;

    n.sectorLetter = funkor::sectorOf(n.cellKey).letter;
    n.regionText = funkor::regionText(n.cellKey);
    f.Netz->setToolTip(fromCp1252(funkor::networkTooltip(n.cellKey, n.operatorCode)));
    // With a cell database the new cell's position is looked up at once.
    f.cellDbPosition->ServingCellChanged();
}

void ResponseDispatcher::operatorNumeric(const std::string& line) {
    const auto code = funkor::parseCopsNumeric(line);
    if (!code) return;
    f.network.operatorCode = *code;
    if (funkor::isRoaming(f.phone.homeNetwork, f.network.operatorCode, held(f.Netz->text())))
        f.Netz2->setText(QStringLiteral("roaming"));
}

void ResponseDispatcher::operatorName(const std::string& line) {
    const auto name = funkor::parseCopsName(line);
    if (!name) return;
    f.network.networkText = *name;
    f.Netz->setText(fromCp1252(*name));
    if (f.network.operatorCode == funkor::kO2Germany)
        f.Netz2->setText(fromCp1252(f.network.zoneName));
}

void ResponseDispatcher::operatorList(const std::string& line) {
    const std::vector<std::string> entries = funkor::parseCopsList(line);
    // The scan took long; the cycle goes on two seconds after the answer.
    f.phone.operatorScanPending = 0;
    restartCycle(2000);
    // A list cut off before its first operator is no answer: a real scan
    // that finds nothing has no "(" up front.
    if (entries.empty()) return;
    f.List1->clear();
    for (const auto& e : entries) f.List1->addItem(fromCp1252(e));

    const auto operatorSlots = funkor::operatorSlots(entries, f.network.countryTable);
    for (std::size_t i = 0; i < operatorSlots.size(); ++i) {
        const funkor::OperatorSlot& s = operatorSlots[i];
        const std::uint32_t rgb = funkor::operatorStateColour(s.state);
        f.Sta[i]->setFillColor(QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
        f.Netze[i]->setText(fromCp1252(s.caption));
        f.Netze[i]->setVisible(s.visible);
        f.Sta[i]->setVisible(s.visible);
        f.Land[i]->setVisible(s.visible);
        if (!s.visible) continue;
        f.Netze[i]->setToolTip(fromCp1252(s.tooltip));
        f.Land[i]->setText(fromCp1252(s.countryCaption));
        f.Land[i]->setToolTip(fromCp1252(s.countryTooltip));
    }
}
