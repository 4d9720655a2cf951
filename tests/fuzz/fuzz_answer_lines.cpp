// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Phone answers: the input is a stream of bytes from the phone. It goes
// through the line framer, and every line it yields goes through the
// dispatch order and every answer parser. Each parser must give a value in
// its documented range or nothing.

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/at_device.h"
#include "core/at_dispatch.h"
#include "core/at_network.h"
#include "core/at_phonebook.h"
#include "core/at_sms.h"
#include "core/cell_observation.h"
#include "core/data_files.h"
#include "core/line_framer.h"
#include "fuzz_input.h"

using namespace funkor;
using funkor::fuzz::require;

namespace {

const CountryTable& countries() {
    static const CountryTable table = [] {
        CountryTable t;
        t[262] = "262 DE Deutschland";
        t[232] = "232 AT Österreich";
        return t;
    }();
    return table;
}

void readLine(const std::string& line, std::uint8_t steer) {
    DispatchFlags flags;
    flags.ussdPending = UssdPending{steer % 3};
    flags.smsSendPending = steer & 4;
    flags.smsListPending = steer & 8;
    flags.cbPending = steer & 16;
    flags.smsReadState = SmsRead{(steer & 32) ? 3 : 0};
    const auto steps = answerSteps(line, flags);
    require(steps.size() <= 40, "dispatch order lists each step at most once");

    if (const auto b = parseCbc(line); b && b->charge)
        require(*b->charge >= 0 && *b->charge <= 100, "battery charge within 0..100");
    if (const auto s = parseCsq(line)) {
        require(s->gaugeValue >= 0 && s->gaugeValue <= 31, "signal gauge within 0..31");
    }
    parseCpasReady(line);
    DeviceIdentity identity;
    identity.manufacturerStep = 1 + steer % 4;
    identity.identityStep = 1 + (steer >> 2) % 3;
    takeIdentityLine(identity, line);
    takeScid(identity, line);
    starCodeAnswer(line);
    ussdQuotedText(line);
    if (const auto c = parseClip(line))
        require(c->number.size() <= line.size(), "caller number is part of the line");

    const SimZoneFile zones = parseCrsmZones(line);
    for (const auto* z : {&zones.home, &zones.city}) {
        if (*z) require((*z)->radius >= 0 && std::isfinite((*z)->radius), "zone radius finite");
    }
    if (const auto ta = parseSstk(line)) {
        require(ta->value >= 0 && ta->value <= 255, "timing advance is one octet");
        require(ta->distanceMetres == ta->value * 546 + 273, "distance follows the value");
        timingAdvanceCaption(ta->distanceMetres, "26207", "B", ',');
    }
    if (const auto r = parseRegistration(line); r && r->hasCell()) {
        const std::string key = makeCellKey(r->ci, r->lac, "26207");
        require(splitCellKey(key).has_value(), "a cell key has a layout of its own");
        sectorOf(key);
        regionText(key);
        areaText(key);
        networkTooltip(key, "26207");
    }
    if (const auto code = parseCopsNumeric(line)) isRoaming("26207", *code, "o2 - de");
    parseCopsName(line);
    const auto operators = parseCopsList(line);
    const auto slots = operatorSlots(operators, countries());
    for (std::size_t i = operators.size(); i < slots.size(); ++i)
        require(!slots[i].visible, "slots past the list stay hidden");

    if (const auto h = parseCmglHeader(line))
        require(h->index >= 0 && h->index <= 50, "SMS list index within 0..50");
    if (const auto n = parseCmgrLength(line)) require(*n >= 0, "SMS length not negative");
    if (const auto n = parseCmti(line); n) smsCacheSlot(n->index);
    smsCacheSlot(line);
    parseCpbs(line);
    if (const auto e = parseCpbr(line)) ownNumberTooltip(e->display, "26207");
    unescapeGsmText(line);

    // The cells heard: every value read is in its field's range or unknown.
    Observation obs;
    const auto reports = parseCellReports(line);
    for (const CellReport& r : reports) {
        if (r.cell.mcc) require(*r.cell.mcc >= 0 && *r.cell.mcc <= 999, "MCC three digits");
        if (r.cell.signalDbm) require(std::isfinite(*r.cell.signalDbm), "signal finite");
        if (const auto metres = r.cell.timingAdvanceMetres())
            require(*metres >= 0 && std::isfinite(*metres), "advance a distance");
    }
    addReports(obs, reports);
    require(obs.neighbours.size() <= reports.size(), "no neighbour out of nothing");
    if (const auto cesq = parseCesq(line); cesq && cesq->signalDbm())
        require(*cesq->signalDbm() >= -141 && *cesq->signalDbm() <= 0, "CESQ level in dBm");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text = fuzz::asText(data, size);
    const std::uint8_t steer = fuzz::takeByte(text);
    LineFramer framer;
    // Half the input arrives byte by byte, the rest in one piece, as serial
    // reads deliver what has come in so far.
    const std::size_t half = text.size() / 2;
    for (std::size_t i = 0; i < half; ++i) {
        if (auto line = framer.feed(text[i])) readLine(*line, steer);
    }
    for (const std::string& line : framer.feed(text.substr(half))) {
        require(line.size() <= LineFramer::kMaxLine + 2, "framed line within its cap");
        readLine(line, steer);
    }
    require(framer.pending().size() <= LineFramer::kMaxLine + 2, "pending bytes within the cap");
    return 0;
}
