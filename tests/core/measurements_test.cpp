// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/measurements.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>

#include <sqlite3.h>

#include "core/nmea.h"

using namespace funkor;

namespace {

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "funkor_meas_" + std::to_string(getpid()) + "_" + name;
}

void removeDb(const std::string& path) {
    for (const char* tail : {"", "-wal", "-shm"}) std::remove((path + tail).c_str());
}

MeasuredCell gsmCell(std::int64_t id, int signal, bool serving) {
    MeasuredCell c;
    c.radio = "GSM";
    c.mcc = 262;
    c.mnc = 7;
    c.area = 1234;
    c.cell = id;
    c.signalDbm = signal;
    c.serving = serving;
    return c;
}

}  // namespace

TEST(Measurements, ReadsTheFixFromRmcAndGga) {
    struct Case {
        const char* label;
        std::string rmc, gga;
        bool active;
        int quality;
        bool fix;
        double lat, lon;
    };
    const Case cases[] = {
        {"north east",
         nmeaSentence("GPRMC,120000.50,A,4830.0000,N,00930.0000,E,10.0,90.0,091226,,"),
         nmeaSentence("GPGGA,120000.50,4830.0000,N,00930.0000,E,1,08,1.2,300,M,48,M,,"), true, 1,
         true, 48.5, 9.5},
        {"south west, combined talker",
         nmeaSentence("GNRMC,235959,A,3345.0000,S,07030.0000,W,0,,010126,,"),
         nmeaSentence("GNGGA,235959,3345.0000,S,07030.0000,W,2,10,0.8,,M,,M,,"), true, 2, true,
         -33.75, -70.5},
        {"void status", nmeaSentence("GPRMC,120000,V,4830.0000,N,00930.0000,E,,,091226,,"),
         nmeaSentence("GPGGA,120000,4830.0000,N,00930.0000,E,0,00,,,M,,M,,"), false, 0, true, 48.5,
         9.5},
        {"wrong checksum", "$GPRMC,120000,A,4830.0000,N,00930.0000,E,,,091226,,*00\r\n",
         nmeaSentence("GPGGA,120000,4830.0000,N,00930.0000,E,1,08,1.0,,M,,M,,"), false, 1, false, 0,
         0},
        {"no date", nmeaSentence("GPRMC,120000,A,4830.0000,N,00930.0000,E,,,,,"), "", true, 0,
         false, 0, 0},
        {"minutes beyond 60", nmeaSentence("GPRMC,120000,A,4875.0000,N,00930.0000,E,,,091226,,"),
         "", true, 0, false, 0, 0},
    };
    for (const auto& c : cases) {
        const GpsFixReading r = readGpsFix(c.rmc, c.gga);
        EXPECT_EQ(r.rmcActive, c.active) << c.label;
        EXPECT_EQ(r.ggaQuality, c.quality) << c.label;
        ASSERT_EQ(r.fix.has_value(), c.fix) << c.label;
        if (!c.fix) continue;
        EXPECT_NEAR(r.fix->latitude, c.lat, 1e-9) << c.label;
        EXPECT_NEAR(r.fix->longitude, c.lon, 1e-9) << c.label;
    }
    const GpsFixReading full = readGpsFix(cases[0].rmc, cases[0].gga);
    EXPECT_EQ(full.fix->timeMs, 1796817600500);  // 2026-12-09T12:00:00.5Z
    EXPECT_NEAR(*full.fix->speedMps, 5.144, 0.001);
    EXPECT_DOUBLE_EQ(*full.fix->headingDeg, 90);
    EXPECT_DOUBLE_EQ(*full.fix->accuracyMetres, 6);  // HDOP 1.2 x 5 m
}

TEST(Measurements, GateRecordsOnlyFreshPlausibleFixesOutsideExcludedAreas) {
    const ExclusionList home = parseExclusions("48.5,9.5,300; 52.0,13.0,1000;");
    const ExclusionList broken = parseExclusions("48.5,9.5");
    MeasuredFix fix;
    fix.timeMs = 1'000'000;
    fix.latitude = 48.6;
    fix.longitude = 9.6;
    fix.accuracyMetres = 5;
    auto moved = [&](double dLat, std::int64_t dMs) {
        MeasuredFix p = fix;
        p.latitude -= dLat;
        p.timeMs -= dMs;
        return p;
    };
    struct Case {
        const char* label;
        bool active;
        int quality;
        std::int64_t age;
        std::optional<MeasuredFix> previous;
        bool registered;
        std::size_t cells;
        double lat;
        const ExclusionList* exclusions;
        RecordGate expected;
    };
    const Case cases[] = {
        {"fresh fix", true, 1, 900, std::nullopt, true, 3, 48.6, &home, RecordGate::Record},
        {"driving 30 m/s", true, 1, 900, moved(0.00027, 1000), true, 3, 48.6, &home,
         RecordGate::Record},
        {"after a gap of an hour", true, 1, 0, moved(0.5, 3'600'000), true, 3, 48.6, &home,
         RecordGate::Record},
        {"status V", false, 1, 0, std::nullopt, true, 3, 48.6, &home, RecordGate::NoFix},
        {"quality 0", true, 0, 0, std::nullopt, true, 3, 48.6, &home, RecordGate::NoFix},
        {"estimated position", true, 6, 0, std::nullopt, true, 3, 48.6, &home, RecordGate::NoFix},
        {"fix 2.5 s old", true, 1, 2500, std::nullopt, true, 3, 48.6, &home, RecordGate::StaleFix},
        {"5 km in a second", true, 1, 0, moved(0.045, 1000), true, 3, 48.6, &home,
         RecordGate::Jump},
        {"not registered", true, 1, 0, std::nullopt, false, 3, 48.6, &home,
         RecordGate::NotRegistered},
        {"no cell", true, 1, 0, std::nullopt, true, 0, 48.6, &home, RecordGate::NoCell},
        {"250 m from home", true, 1, 0, std::nullopt, true, 3, 48.50225, &home,
         RecordGate::Excluded},
        {"350 m from home", true, 1, 0, std::nullopt, true, 3, 48.50315, &home, RecordGate::Record},
        {"unreadable exclusions", true, 1, 0, std::nullopt, true, 3, 48.6, &broken,
         RecordGate::ExclusionsInvalid},
    };
    for (const auto& c : cases) {
        RecordGateInput in;
        in.gps.rmcActive = c.active;
        in.gps.ggaQuality = c.quality;
        in.gps.fix = fix;
        in.gps.fix->latitude = c.lat;
        if (c.lat != 48.6) in.gps.fix->longitude = 9.5;
        in.fixAgeMs = c.age;
        in.previous = c.previous;
        in.registered = c.registered;
        in.cells = c.cells;
        in.exclusions = c.exclusions;
        EXPECT_EQ(gateRecording(in), c.expected)
            << c.label << ": " << recordGateText(gateRecording(in));
    }
}

TEST(Measurements, ParsesExclusionCircles) {
    struct Case {
        const char* setting;
        bool valid;
        std::size_t circles;
    };
    const Case cases[] = {
        {"", true, 0},
        {"48.5,9.5,300", true, 1},
        {" 48.5 , 9.5 , 300 ;-33.9,-70.1,50;", true, 2},
        {"48.5,9.5", false, 0},
        {"48.5;9.5;300", false, 0},
        {"91,9.5,300", false, 0},
        {"48.5,9.5,-1", false, 0},
        {"48.5,9.5,300;home", false, 1},
    };
    for (const auto& c : cases) {
        const ExclusionList l = parseExclusions(c.setting);
        EXPECT_EQ(l.valid, c.valid) << c.setting;
        EXPECT_EQ(l.circles.size(), c.circles) << c.setting;
    }
}

TEST(Measurements, StoresRowsPerCellAndReadsThemBack) {
    const std::string path = tempPath("rows.db");
    removeDb(path);
    std::string error;
    auto store = MeasurementStore::open(path, error);
    ASSERT_TRUE(store) << error;
    MeasuredFix fix{1796817600000, 48.5, 9.5, 6.0, 12.5, 270.0};
    MeasuredCell neighbour;
    neighbour.radio = "UMTS";
    neighbour.mcc = 262;
    neighbour.mnc = 2;
    neighbour.area = 40000;
    neighbour.pci = 311;
    neighbour.channel = 10788;
    MeasuredCell foreign = neighbour;
    foreign.radio = "WIMAX";
    const RecordResult r = store->record(fix, {gsmCell(4711, -71, true), neighbour, foreign});
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.stored, 2);
    const auto rows = store->rows({});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].fix.timeMs, fix.timeMs);
    EXPECT_EQ(*rows[0].fix.headingDeg, 270.0);
    EXPECT_EQ(*rows[0].cell.cell, 4711);
    EXPECT_TRUE(rows[0].cell.serving);
    EXPECT_FALSE(rows[1].cell.cell.has_value());
    EXPECT_EQ(*rows[1].cell.pci, 311);
    EXPECT_FALSE(rows[1].cell.signalDbm.has_value());
    EXPECT_TRUE(store->markUploaded({rows[0].id}));
    MeasurementQuery pending;
    pending.notUploadedOnly = true;
    EXPECT_EQ(store->rows(pending).size(), 1u);
    store.reset();
    removeDb(path);
}

TEST(Measurements, KilledRecorderKeepsEveryCommittedTick) {
    const std::string path = tempPath("killed.db");
    removeDb(path);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string error;
        auto store = MeasurementStore::open(path, error);
        if (!store) _exit(3);
        for (int i = 0; i < 20; ++i)
            store->record({1796817600000 + i * 1000, 48.5 + i * 1e-4, 9.5, 5.0, {}, {}},
                          {gsmCell(1, -70, true), gsmCell(2, -90, false)});
        raise(SIGKILL);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    std::string error;
    auto store = MeasurementStore::open(path, error);
    ASSERT_TRUE(store) << error;
    EXPECT_EQ(store->rowCount(), 40);
    store.reset();
    removeDb(path);
}

TEST(Measurements, SizeBoundDropsTheOldestRowsAndSaysSoOnce) {
    const std::string path = tempPath("bound.db");
    removeDb(path);
    std::string error;
    constexpr std::int64_t kBound = 96 * 1024;
    auto store = MeasurementStore::open(path, error, kBound);
    ASSERT_TRUE(store) << error;
    int told = 0;
    std::int64_t deleted = 0;
    for (int i = 0; i < 3000; ++i) {
        const RecordResult r = store->record(
            {1796817600000 + i * 1000, 48.5, 9.5, 5.0, 10.0, 45.0},
            {gsmCell(i, -70, true), gsmCell(i + 1, -80, false), gsmCell(i + 2, -90, false)});
        ASSERT_TRUE(r.ok) << r.error;
        told += r.boundReached ? 1 : 0;
        deleted += r.deleted;
    }
    EXPECT_EQ(told, 1);
    EXPECT_GT(deleted, 0);
    EXPECT_EQ(store->rowCount() + deleted, 9000);
    const auto rows = store->rows({});
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().fix.timeMs, 1796817600000 + 2999 * 1000);  // the newest stay
    EXPECT_GT(rows.front().fix.timeMs, 1796817600000);               // the oldest went
    store.reset();
    std::ifstream file(path, std::ios::binary | std::ios::ate);
    EXPECT_LE(static_cast<std::int64_t>(file.tellg()), kBound + 8 * 4096);
    removeDb(path);
}

TEST(Measurements, RefusesAForeignDatabase) {
    const std::string path = tempPath("foreign.db");
    removeDb(path);
    {
        std::string error;
        auto other = MeasurementStore::open(path, error);
        ASSERT_TRUE(other);
        sqlite3_exec(other->handle(), "PRAGMA application_id=7", nullptr, nullptr, nullptr);
    }
    std::string error;
    EXPECT_FALSE(MeasurementStore::open(path, error));
    EXPECT_NE(error.find("gehört nicht"), std::string::npos) << error;
    removeDb(path);
}

TEST(Measurements, ReadsAndWritesUtcDates) {
    EXPECT_EQ(parseUtcDate("2026-12-09"), 1796774400000);
    EXPECT_EQ(parseUtcDate("2026-12-09T12:00:00Z"), 1796817600000);
    EXPECT_EQ(parseUtcDate("2026-04-31"), std::nullopt);
    EXPECT_EQ(parseUtcDate("2026-12-09 12:00"), std::nullopt);
    EXPECT_EQ(isoUtc(1796817600500), "2026-12-09T12:00:00.500Z");
}
