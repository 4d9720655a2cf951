// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The position estimate over cell rows laid out in metres around a point
// in Berlin; the database is a table in memory behind the two lookups.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

#include "core/position_estimate.h"

using namespace funkor;

namespace {

constexpr double kLat0 = 52.52, kLon0 = 13.405;
constexpr double kDeg = M_PI / 180;

void latLonOf(double east, double north, double& lat, double& lon) {
    lat = kLat0 + north / 6371000.0 / kDeg;
    lon = kLon0 + east / (6371000.0 * std::cos(kLat0 * kDeg)) / kDeg;
}
void metresOf(double lat, double lon, double& east, double& north) {
    north = (lat - kLat0) * kDeg * 6371000.0;
    east = (lon - kLon0) * kDeg * 6371000.0 * std::cos(kLat0 * kDeg);
}

struct Row {
    const char* radio;
    std::int64_t area, cell;
    int unit;  // -1: none
    double east, north;
    int range;
};

CellLookups lookupsOf(const std::vector<Row>& rows) {
    auto table = std::make_shared<std::vector<KnownCell>>();
    for (const Row& r : rows) {
        KnownCell c;
        c.key = {r.radio, 262, 1, r.area, r.cell};
        if (r.unit >= 0) c.unit = r.unit;
        latLonOf(r.east, r.north, c.latitude, c.longitude);
        c.range = r.range;
        c.samples = 10;
        table->push_back(c);
    }
    CellLookups l;
    l.find = [table](const CellDbKey& k) -> std::optional<KnownCell> {
        for (const KnownCell& c : *table) {
            if (c.key.radio == k.radio && c.key.mcc == k.mcc && c.key.net == k.net &&
                c.key.area == k.area && c.key.cell == k.cell) {
                return c;
            }
        }
        return std::nullopt;
    };
    l.findByUnit = [table](const std::string& radio, int mcc, int net, std::int64_t area,
                           int unit) {
        std::vector<KnownCell> out;
        for (const KnownCell& c : *table) {
            if (c.key.radio == radio && c.key.mcc == mcc && c.key.net == net &&
                c.key.area == area && c.unit == unit) {
                out.push_back(c);
            }
        }
        return out;
    };
    return l;
}

ObservedCell cell(Radio radio, std::int64_t area, std::int64_t ci, double dbm) {
    ObservedCell c;
    c.radio = radio;
    c.mcc = 262;
    c.mnc = 1;
    c.area = area;
    c.cell = ci;
    c.signalDbm = dbm;
    return c;
}
ObservedCell byCode(Radio radio, int unit, double dbm) {
    ObservedCell c;
    c.radio = radio;
    c.unit = unit;
    c.channel = 1300;
    c.signalDbm = dbm;
    return c;
}

struct Tick {
    ObservedCell serving;
    std::vector<ObservedCell> neighbours;
};

struct EstimateRow {
    const char* label;
    std::vector<Row> db;
    std::vector<Tick> ticks;  // 4 s apart; the last one is checked
    int cellsUsed;
    int unmatched;
    bool cellIdOnly;
    bool timingAdvance;
    double east, north;  // expected position
    double within;       // metres
};

const Radio G = Radio::Gsm;
const Radio L = Radio::Lte;

ObservedCell withTa(ObservedCell c, int ta) {
    c.timingAdvance = ta;
    return c;
}

const EstimateRow kRows[] = {
    {"one cell: its row, cell-ID only",
     {{"GSM", 100, 11, -1, 300, -200, 1200}},
     {{cell(G, 100, 11, -70), {}}},
     1,
     0,
     true,
     false,
     300,
     -200,
     1},
    {"two cells of equal level: halfway",
     {{"GSM", 100, 11, -1, 0, 0, 800}, {"GSM", 100, 12, -1, 600, 0, 800}},
     {{cell(G, 100, 11, -75), {cell(G, 100, 12, -75)}}},
     2,
     0,
     false,
     false,
     300,
     0,
     5},
    {"two cells, the neighbour 15 dB weaker counts a sixth as much: near the serving row",
     {{"GSM", 100, 11, -1, 0, 0, 800}, {"GSM", 100, 12, -1, 600, 0, 800}},
     {{cell(G, 100, 11, -70), {cell(G, 100, 12, -85)}}},
     2,
     0,
     false,
     false,
     80,
     0,
     10},
    {"a neighbour unknown to the database is left out",
     {{"GSM", 100, 11, -1, 0, 0, 800}},
     {{cell(G, 100, 11, -70), {cell(G, 100, 99, -70)}}},
     1,
     0,
     true,
     false,
     0,
     0,
     1},
    {"a PCI with one match in reach is used",
     {{"LTE", 7, 2561, 10, 0, 0, 800}, {"LTE", 7, 2817, 77, 600, 0, 800}},
     {{cell(L, 7, 2561, -90), {byCode(L, 77, -90)}}},
     2,
     0,
     false,
     false,
     300,
     0,
     5},
    {"a PCI with two matches in reach is not used",
     {{"LTE", 7, 2561, 10, 0, 0, 800},
      {"LTE", 7, 2817, 77, 600, 0, 800},
      {"LTE", 7, 3073, 77, -700, 200, 800}},
     {{cell(L, 7, 2561, -90), {byCode(L, 77, -90)}}},
     1,
     1,
     true,
     false,
     0,
     0,
     1},
    {"a PCI whose only match is out of reach is not used",
     {{"LTE", 7, 2561, 10, 0, 0, 800}, {"LTE", 7, 2817, 77, 30000, 0, 800}},
     {{cell(L, 7, 2561, -90), {byCode(L, 77, -90)}}},
     1,
     1,
     true,
     false,
     0,
     0,
     1},
    {"the serving cell listed again among the neighbours by its PCI",
     {{"LTE", 7, 2561, 10, 0, 0, 800}, {"LTE", 7, 2817, 10, 500, 0, 800}},
     {{[] {
           ObservedCell s = cell(L, 7, 2561, -90);
           s.unit = 10;
           s.channel = 1300;
           return s;
       }(),
       {byCode(L, 10, -90)}}},
     1,
     0,
     true,
     false,
     0,
     0,
     1},
    // Three sectors of one site (cell ids 2561..2563, eNodeB 10): rows 300 m
    // out from the mast at (0, 0); the serving sector points north. An
    // advance of 12 LTE steps puts the device about 980 m from the mast.
    {"an LTE advance pulls the estimate onto its ring around the mast",
     {{"LTE", 7, 2561, 1, 0, 300, 1000},
      {"LTE", 7, 2562, 2, 260, -150, 1000},
      {"LTE", 7, 2563, 3, -260, -150, 1000}},
     std::vector<Tick>(10, Tick{withTa(cell(L, 7, 2561, -95), 12), {}}),
     1,
     0,
     false,
     true,
     0,
     980,
     150},
    // GSM sectors numbered in the last digit (CI 11..13): their rows 600 m
    // out from the mast at (0, 0). An advance of 3 GSM steps is 1660..2214 m
    // from the mast, the neighbour to the north gives the direction.
    {"a GSM advance pulls the estimate onto its ring around the sectors' mast",
     {{"GSM", 100, 11, -1, 0, 600, 2500},
      {"GSM", 100, 12, -1, 520, -300, 2500},
      {"GSM", 100, 13, -1, -520, -300, 2500},
      {"GSM", 100, 21, -1, 0, 4000, 2500}},
     std::vector<Tick>(10, Tick{withTa(cell(G, 100, 11, -80), 3), {cell(G, 100, 21, -88)}}),
     2,
     0,
     false,
     true,
     0,
     1940,
     250},
    // The same site with an advance of 0: within 553 m of the mast. The
    // rows alone put the device about 1.4 km north; it is pulled inside.
    {"a GSM advance of 0 pulls a track beyond the first step inside it",
     {{"GSM", 100, 11, -1, 0, 600, 2500},
      {"GSM", 100, 12, -1, 520, -300, 2500},
      {"GSM", 100, 13, -1, -520, -300, 2500},
      {"GSM", 100, 21, -1, 0, 4000, 2500}},
     std::vector<Tick>(10, Tick{withTa(cell(G, 100, 11, -80), 0), {cell(G, 100, 21, -88)}}),
     2,
     0,
     false,
     true,
     0,
     470,
     150},
    // CI 12 shares the number of the serving cell's site but lies 20 km
    // away: another site. Taken for a sector, it would put the mast 10 km
    // east; without it the mast is no better known than the serving row, too
    // vague for the ring: the estimate stays between the two rows.
    {"a cell numbered like a sector but far away is not taken for the mast",
     {{"GSM", 100, 11, -1, 0, 0, 2500},
      {"GSM", 100, 12, -1, 20000, 0, 2500},
      {"GSM", 100, 21, -1, 0, 4000, 2500}},
     std::vector<Tick>(10, Tick{withTa(cell(G, 100, 11, -80), 3), {cell(G, 100, 21, -88)}}),
     2,
     0,
     false,
     false,
     0,
     1400,
     300},
};

TEST(PositionEstimate, Table) {
    for (const EstimateRow& row : kRows) {
        SCOPED_TRACE(row.label);
        const CellLookups db = lookupsOf(row.db);
        TrackState track;
        PositionEstimate e;
        double t = 1000;
        for (const Tick& tick : row.ticks) {
            Observation obs;
            obs.time = t;
            obs.serving = tick.serving;
            obs.neighbours = tick.neighbours;
            e = estimatePosition(obs, db, track);
            t += 4;
        }
        ASSERT_TRUE(e.valid);
        EXPECT_EQ(e.cellsUsed, row.cellsUsed);
        EXPECT_EQ(e.neighboursUnmatched, row.unmatched);
        EXPECT_EQ(e.cellIdOnly, row.cellIdOnly);
        EXPECT_EQ(e.timingAdvanceUsed, row.timingAdvance);
        double east = 0, north = 0;
        metresOf(e.latitude, e.longitude, east, north);
        EXPECT_NEAR(east, row.east, row.within);
        EXPECT_NEAR(north, row.north, row.within);
        EXPECT_GT(e.r68, 0);
        EXPECT_GT(e.r95, e.r68);
    }
}

// Readings that wobble by a few dB around the same levels: the estimate
// settles, its radius shrinks but keeps what averaging cannot remove.
TEST(PositionEstimate, StandingStillConverges) {
    const CellLookups db = lookupsOf({{"GSM", 100, 11, -1, 0, 0, 800},
                                      {"GSM", 100, 12, -1, 700, 0, 800},
                                      {"GSM", 100, 13, -1, 0, 700, 800},
                                      {"GSM", 100, 14, -1, -600, -400, 800}});
    TrackState track;
    std::vector<PositionEstimate> est;
    for (int i = 0; i < 60; ++i) {
        const double wobble = 4 * std::sin(i * 1.7);
        Observation obs;
        obs.time = 4.0 * i;
        obs.serving = cell(G, 100, 11, -70 + wobble);
        obs.neighbours = {cell(G, 100, 12, -78 - wobble), cell(G, 100, 13, -80 + wobble),
                          cell(G, 100, 14, -85)};
        est.push_back(estimatePosition(obs, db, track));
    }
    double e1 = 0, n1 = 0, e2 = 0, n2 = 0;
    metresOf(est[58].latitude, est[58].longitude, e1, n1);
    metresOf(est[59].latitude, est[59].longitude, e2, n2);
    EXPECT_LT(std::hypot(e2 - e1, n2 - n1), 10);
    EXPECT_LT(est.back().r68, est.front().r68 * 0.8);
    EXPECT_GT(est.back().r68, 30);
    // Between the serving row and its strongest neighbours.
    EXPECT_GT(e2, 0);
    EXPECT_GT(n2, 0);
    EXPECT_LT(std::hypot(e2, n2), 400);
}

// What the radio simulator taught, each against the same ticks without it:
// among small cells an advance reads long (the first path is a reflection),
// so the ring is drawn in; a device standing still takes its readings'
// shared shadowing into the radius.
TEST(PositionEstimate, TownAdvanceAndStillReadings) {
    const CellLookups town = lookupsOf({{"LTE", 7, 2561, 1, 0, 120, 400},
                                        {"LTE", 7, 2562, 2, 104, -60, 400},
                                        {"LTE", 7, 2563, 3, -104, -60, 400}});
    const CellLookups still = lookupsOf({{"GSM", 100, 11, -1, 0, 0, 800},
                                         {"GSM", 100, 12, -1, 700, 0, 800},
                                         {"GSM", 100, 13, -1, 0, 700, 800}});
    auto run = [](const CellLookups& db, const ObservedCell& serving,
                  const std::vector<ObservedCell>& neighbours, const EstimatorTuning& tu) {
        TrackState track;
        PositionEstimate e;
        for (int i = 0; i < 20; ++i) {
            Observation obs;
            obs.time = 4.0 * i;
            obs.serving = serving;
            obs.neighbours = neighbours;
            e = estimatePosition(obs, db, track, tu);
        }
        return e;
    };
    EstimatorTuning plain;
    plain.ringBias = 0;
    plain.decorrelationMetres = 0;
    double e1 = 0, n1 = 0, e2 = 0, n2 = 0;
    const ObservedCell ta5 = withTa(cell(L, 7, 2561, -80), 5);  // 391..469 m
    const PositionEstimate drawnIn = run(town, ta5, {}, {}), asRead = run(town, ta5, {}, plain);
    metresOf(drawnIn.latitude, drawnIn.longitude, e1, n1);
    metresOf(asRead.latitude, asRead.longitude, e2, n2);
    EXPECT_LT(n1, n2 - 15);
    EXPECT_GT(n1, 250);
    const std::vector<ObservedCell> heard = {cell(G, 100, 12, -78), cell(G, 100, 13, -80)};
    const double r68 = run(still, cell(G, 100, 11, -70), heard, {}).r68;
    const double r68Plain = run(still, cell(G, 100, 11, -70), heard, plain).r68;
    EXPECT_GT(r68, r68Plain * 1.05);
    EXPECT_LT(r68, r68Plain * 1.5);
}

// Twenty ticks in one place, one reading of a cell 6 km away, then the
// first place again: the track does not follow the single reading. When
// the far cell stays, the track gets there within a minute or two.
TEST(PositionEstimate, OneOutlierDoesNotMoveTheTrack) {
    const CellLookups db =
        lookupsOf({{"GSM", 100, 11, -1, 0, 0, 800}, {"GSM", 100, 21, -1, 6000, 0, 800}});
    TrackState track;
    auto at = [&](int i, std::int64_t ci) {
        Observation obs;
        obs.time = 4.0 * i;
        obs.serving = cell(G, 100, ci, -70);
        return estimatePosition(obs, db, track);
    };
    for (int i = 0; i < 20; ++i) at(i, 11);
    double east = 0, north = 0;
    const PositionEstimate jump = at(20, 21);
    metresOf(jump.latitude, jump.longitude, east, north);
    EXPECT_LT(east, 1500) << "one reading 6 km away moved the track too far";
    const PositionEstimate back = at(21, 11);
    metresOf(back.latitude, back.longitude, east, north);
    EXPECT_LT(std::hypot(east, north), 400);
    // A real move: the far cell from now on.
    PositionEstimate moved;
    for (int i = 22; i < 60; ++i) moved = at(i, 21);
    metresOf(moved.latitude, moved.longitude, east, north);
    EXPECT_NEAR(east, 6000, 500);
}

TEST(PositionEstimate, NothingKnownGivesNoEstimate) {
    const CellLookups db = lookupsOf({{"GSM", 100, 11, -1, 0, 0, 800}});
    TrackState track;
    Observation obs;
    obs.serving = cell(G, 100, 99, -70);
    EXPECT_FALSE(estimatePosition(obs, db, track).valid);
    EXPECT_FALSE(track.valid);
}

TEST(PositionEstimate, RangeEstimatedWhereTheRowHasNone) {
    // Range 0: from the distance to the other row (1000 m), said so.
    const CellLookups db =
        lookupsOf({{"GSM", 100, 11, -1, 0, 0, 0}, {"GSM", 100, 12, -1, 1000, 0, 900}});
    TrackState track;
    Observation obs;
    obs.serving = cell(G, 100, 11, -70);
    obs.neighbours = {cell(G, 100, 12, -80)};
    const PositionEstimate e = estimatePosition(obs, db, track);
    ASSERT_TRUE(e.valid);
    EXPECT_TRUE(e.rangeEstimated);
    EXPECT_TRUE(e.cells[0].rangeEstimated);
    EXPECT_NEAR(e.cells[0].rangeMetres, 1000, 1);
    EXPECT_FALSE(e.cells[1].rangeEstimated);
}

TEST(PositionEstimate, IchnaeaWeightsByInverseSquareLevel) {
    // -50 dBm weighs (90/50)² = 3.24 times as much as -90 dBm.
    UsedCell a, b;
    a.row.key.radio = b.row.key.radio = "GSM";
    latLonOf(0, 0, a.row.latitude, a.row.longitude);
    latLonOf(1000, 0, b.row.latitude, b.row.longitude);
    a.signalDbm = -50;
    b.signalDbm = -90;
    const PositionEstimate e = ichnaeaEstimate({a, b}, 0);
    double east = 0, north = 0;
    metresOf(e.latitude, e.longitude, east, north);
    EXPECT_NEAR(east, 1000 / 4.24, 2);
}

TEST(PositionEstimate, OutputTexts) {
    PositionEstimate e;
    e.valid = true;
    e.latitude = 52.52;
    e.longitude = 13.405;
    struct TipRow {
        int cells;
        double r68;
        const char* tip;
    } rows[] = {
        {5, 238, "Zellen-Datenbank, 5 Zellen, \xB1 240 m"},
        {1, 1840, "Zellen-Datenbank, 1 Zelle, \xB1 1,8 km"},
    };
    for (const TipRow& r : rows) {
        e.cellsUsed = r.cells;
        e.r68 = r.r68;
        EXPECT_EQ(estimateToolTip(e, ','), r.tip);
    }
    // HDOP r95 / 19 m; σ of latitude and longitude r68 / 1.5 in GST fields 6, 7.
    e.r68 = 240;
    e.r95 = 380;
    EXPECT_EQ(estimateHdop(e), "20.0");
    const CivilTime tick{2026, 12, 9, 18, 39, 16};
    const auto s = estimateSentences(e, tick, std::chrono::minutes(60));
    EXPECT_EQ(s.gst, nmeaSentence("GPGST,173916.00,,160.0,160.0,0.0,160.0,160.0,"));
    // The pair carries the tick's own time (UTC) and the HDOP.
    EXPECT_EQ(s.pair.rmc.substr(7, 6), "173916");
    EXPECT_NE(s.pair.gga.find(",6,03,20.0,"), std::string::npos);
}

}  // namespace
