// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The simulated radio network's answers in each family's layout read back
// by the program's own parsers: what the simulated device measured is what
// the program learns, for a drive through a city on GSM and on LTE.
#include <gtest/gtest.h>

#include <cmath>

#include "core/cell_observation.h"
#include "tools/phonesim/radio/radio_network.h"

using namespace funkor;
using namespace funkor::radiosim;

namespace {

struct FamilyRow {
    const char* label;
    DeviceFamily family;
    Radio radio;
    bool neighbourIdentity;  // the layout names neighbours' cells
    bool neighbourCode;      // the layout names neighbours' PCI
    bool timingAdvance;      // the layout carries the serving cell's advance
};

const FamilyRow kFamilies[] = {
    {"Siemens on GSM", DeviceFamily::Siemens, Radio::Gsm, true, false, false},
    {"Quectel on GSM", DeviceFamily::Quectel, Radio::Gsm, true, false, true},
    {"Quectel on LTE", DeviceFamily::Quectel, Radio::Lte, false, true, false},
    {"SIMCom on GSM", DeviceFamily::Simcom, Radio::Gsm, true, false, true},
    {"SIMCom on LTE", DeviceFamily::Simcom, Radio::Lte, false, true, false},
    {"u-blox on GSM", DeviceFamily::Ublox, Radio::Gsm, true, false, true},
    {"u-blox on LTE", DeviceFamily::Ublox, Radio::Lte, false, true, true},
};

// A GSM receive level counts up to 63, -48 dBm and above.
double inLayout(const FamilyRow& row, double dbm) {
    const bool rxlev = row.radio == Radio::Gsm && row.family != DeviceFamily::Quectel;
    return rxlev ? std::min(dbm, -48.0) : dbm;
}

TEST(RadioAnswers, EachFamilyReadsBackWhatTheDeviceMeasured) {
    for (const FamilyRow& row : kFamilies) {
        SCOPED_TRACE(row.label);
        RadioNetwork net({Density::City, row.radio, 4});
        DeviceOptions opt;
        opt.neighboursWithIdentity = row.radio == Radio::Gsm;
        Device dev(net, opt, 4);
        int ticks = 0;
        for (const TrackPoint& p : roadTrack(net, 9, 120, 4, 4)) {
            const Observation truth = dev.observe(p);
            if (!truth.serving) continue;
            ++ticks;
            Observation read;
            for (const std::string& line : familyAnswerLines(row.family, truth)) {
                addReports(read, parseCellReports(line));
            }
            ASSERT_TRUE(read.serving);
            const ObservedCell& s = *read.serving;
            EXPECT_EQ(s.cell, truth.serving->cell);
            EXPECT_EQ(s.area, truth.serving->area);
            EXPECT_EQ(s.mnc, truth.serving->mnc);
            ASSERT_TRUE(s.signalDbm);
            EXPECT_NEAR(*s.signalDbm, inLayout(row, *truth.serving->signalDbm), 1.0);
            if (row.timingAdvance && *truth.serving->timingAdvance > 0) {
                EXPECT_EQ(s.timingAdvance, truth.serving->timingAdvance);
            }
            // ^SMONC has room for six neighbours.
            const std::size_t room = row.family == DeviceFamily::Siemens ? 6 : 99;
            ASSERT_EQ(read.neighbours.size(), std::min(truth.neighbours.size(), room));
            for (std::size_t i = 0; i < read.neighbours.size(); ++i) {
                const ObservedCell& n = read.neighbours[i];
                if (row.neighbourIdentity) {
                    EXPECT_EQ(n.cell, truth.neighbours[i].cell);
                }
                if (row.neighbourCode) {
                    EXPECT_EQ(n.unit, truth.neighbours[i].unit);
                }
                ASSERT_TRUE(n.signalDbm);
                EXPECT_NEAR(*n.signalDbm, inLayout(row, *truth.neighbours[i].signalDbm), 1.0);
            }
        }
        EXPECT_GT(ticks, 20);
    }
}

TEST(RadioAnswers, CesqCarriesTheServingLevel) {
    Observation obs;
    ObservedCell s;
    s.radio = Radio::Lte;
    s.signalDbm = -97;
    obs.serving = s;
    EXPECT_EQ(parseCesq(cesqLine(obs))->signalDbm(), -97);
    obs.serving->radio = Radio::Gsm;
    obs.serving->signalDbm = -80;
    EXPECT_EQ(parseCesq(cesqLine(obs))->signalDbm(), -80);
}

}  // namespace
