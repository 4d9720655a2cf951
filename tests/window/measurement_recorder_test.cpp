// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The recorder between the GPS input, the serving cell and the
// measurements file: a real file, the receiver's sentences as the GPS
// input keeps them, the clock from the platform.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QStringList>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "app/base/window_state.h"
#include "app/position/measurement_recorder.h"
#include "core/cell_learning.h"
#include "core/nmea.h"
#include "tests/window/fake_platform.h"
#include "tests/window/window_test_support.h"

namespace {

struct Recording {
    std::string dir = ::testing::TempDir() + "funkor_recorder_" + std::to_string(getpid());
    std::string ini = dir + "/Funkor.ini";
    std::string db = dir + "/Funkor-measurements.db";
    NetworkState network;
    OutputState output;
    FakePlatform platform;
    QStringList traced;
    std::optional<funkor::Observation> heard;  // the device's last read
    MeasurementRecorder recorder{{},
                                 network,
                                 output,
                                 platform,
                                 [this](const QString& line) { traced << line; },
                                 [this] { return heard; }};

    explicit Recording(const std::string& settings) {
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        std::ofstream(ini) << settings;
        platform.now = QDateTime::fromMSecsSinceEpoch(1796817600000, Qt::UTC);
        network.operatorCode = "26207";
        network.onNetwork = true;
        network.cellRadio = "GSM";
        network.cellLac = 1234;
        network.cellCi = 4711;
    }
    ~Recording() {
        recorder.stop();
        std::filesystem::remove_all(dir);
    }
    // The receiver's pair for a fix at `second` past 12:00:00 UTC.
    void fix(int second, const char* lat, char status = 'A', int quality = 1) {
        char time[16];
        std::snprintf(time, sizeof time, "1200%02d", second);
        output.gpsRmc = funkor::nmeaSentence(std::string("GPRMC,") + time + "," + status + "," +
                                             lat + ",N,00930.0000,E,20.0,90.0,091226,,");
        output.gpsGga =
            funkor::nmeaSentence(std::string("GPGGA,") + time + "," + lat + ",N,00930.0000,E," +
                                 std::to_string(quality) + ",08,1.0,,M,,M,,");
    }
};

}  // namespace

TEST(MeasurementRecorder, RecordsFreshFixesWithTheServingCellOnly) {
    Recording r("[Measurements]\nRecord=1\nExclude=48.6,9.5,300\n");
    ASSERT_TRUE(r.recorder.start(r.ini, r.db));
    struct Step {
        const char* label;
        int second;  // of the receiver's fix; -1: no new sentence
        const char* lat;
        int advanceMs;  // platform clock before the tick
        bool registered;
        funkor::RecordGate gate;
        std::int64_t recorded;  // rows so far
    };
    const Step steps[] = {
        {"fresh fix", 0, "4836.3000", 0, true, funkor::RecordGate::Record, 1},
        {"the same fix a tick later", -1, "", 1000, true, funkor::RecordGate::Record, 1},
        {"next fix", 2, "4836.3050", 1000, true, funkor::RecordGate::Record, 2},
        {"receiver silent 2.5 s", -1, "", 2500, true, funkor::RecordGate::StaleFix, 2},
        {"185 m from home", 6, "4836.1000", 500, true, funkor::RecordGate::Excluded, 2},
        {"jump of 11 km", 7, "4842.0000", 1000, true, funkor::RecordGate::Jump, 2},
        {"no network", 8, "4842.0050", 1000, false, funkor::RecordGate::NotRegistered, 2},
        {"fix lost", 9, "4842.0100", 1000, true, funkor::RecordGate::NoFix, 2},
    };
    for (const Step& s : steps) {
        if (s.second >= 0) r.fix(s.second, s.lat, s.gate == funkor::RecordGate::NoFix ? 'V' : 'A');
        r.platform.now = r.platform.now.addMSecs(s.advanceMs);
        r.network.onNetwork = s.registered;
        EXPECT_EQ(r.recorder.tick(), s.gate) << s.label;
        EXPECT_EQ(r.recorder.recorded(), s.recorded) << s.label;
    }
    r.recorder.stop();
    std::string error;
    auto store = funkor::MeasurementStore::openReadOnly(r.db, error);
    ASSERT_TRUE(store) << error;
    const auto rows = store->rows({});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1].fix.timeMs, 1796817602000);
    EXPECT_EQ(rows[1].cell.mcc, 262);
    EXPECT_EQ(rows[1].cell.mnc, 7);
    EXPECT_EQ(*rows[1].cell.cell, 4711);
    EXPECT_DOUBLE_EQ(*rows[1].fix.accuracyMetres, 5);
    EXPECT_TRUE(r.traced.isEmpty()) << r.traced.join("\n").toStdString();
}

TEST(MeasurementRecorder, StaysOffWithoutTheSettingAndRefusesUnreadableExclusions) {
    {
        Recording r("[Measurements]\nRecord=0\n");
        EXPECT_FALSE(r.recorder.start(r.ini, r.db));
        EXPECT_FALSE(std::filesystem::exists(r.db));
    }
    Recording r("[Measurements]\nRecord=1\nExclude=48.5;9.5\n");
    ASSERT_TRUE(r.recorder.start(r.ini, r.db));
    r.fix(0, "4836.0000");
    EXPECT_EQ(r.recorder.tick(), funkor::RecordGate::ExclusionsInvalid);
    EXPECT_EQ(r.recorder.recorded(), 0);
    ASSERT_EQ(r.traced.size(), 1);
    EXPECT_TRUE(r.traced[0].contains("\"48.5\"")) << r.traced[0].toStdString();
}

TEST(MeasurementRecorder, LearnsTheDrivesCellsWhenItStops) {
    Recording r("[Measurements]\nRecord=1\n");
    ASSERT_TRUE(r.recorder.start(r.ini, r.db));
    const char* lats[] = {"4836.0000", "4836.0500", "4836.1000",
                          "4836.1500", "4836.2000", "4836.2500"};  // 93 m apart, 460 m in all
    for (int i = 0; i < 6; ++i) {
        r.fix(i, lats[i]);
        r.platform.now = r.platform.now.addMSecs(1000);
        EXPECT_EQ(r.recorder.tick(), funkor::RecordGate::Record) << i;
    }
    r.recorder.stop();
    std::string error;
    auto store = funkor::MeasurementStore::openReadOnly(r.db, error);
    ASSERT_TRUE(store) << error;
    const auto learned = funkor::findLearned(*store, {"GSM", 262, 7, 1234, 4711});
    ASSERT_TRUE(learned);
    EXPECT_EQ(learned->samples, 6);
    EXPECT_NEAR(learned->latitude, 48.602083, 1e-4);
}

// A fresh read of the device is recorded whole: the serving cell with its
// signal and timing advance, and each neighbour, one without an identity by
// its code in the serving cell's network and area.
TEST(MeasurementRecorder, RecordsTheNeighboursOfTheDevicesLastRead) {
    Recording r("[Measurements]\nRecord=1\n");
    ASSERT_TRUE(r.recorder.start(r.ini, r.db));
    funkor::Observation obs;
    funkor::ObservedCell serving;
    serving.signalDbm = -71.4;
    serving.timingAdvance = 3;
    obs.serving = serving;
    funkor::ObservedCell known;
    known.mcc = 262;
    known.mnc = 7;
    known.area = 1234;
    known.cell = 4712;
    known.signalDbm = -88;
    funkor::ObservedCell coded;
    coded.radio = funkor::Radio::Lte;
    coded.unit = 301;
    coded.channel = 6300;
    obs.neighbours = {known, coded};
    r.heard = obs;
    r.fix(0, "4836.3000");
    EXPECT_EQ(r.recorder.tick(), funkor::RecordGate::Record);
    EXPECT_EQ(r.recorder.recorded(), 3);
    r.recorder.stop();
    std::string error;
    auto store = funkor::MeasurementStore::openReadOnly(r.db, error);
    ASSERT_TRUE(store) << error;
    const auto rows = store->rows({});
    ASSERT_EQ(rows.size(), 3u);
    struct Want {
        std::string radio;
        std::optional<std::int64_t> cell;
        std::optional<int> pci, signal, ta;
        bool serving;
    } const want[] = {{"GSM", 4711, {}, -71, 3, true},
                      {"GSM", 4712, {}, -88, {}, false},
                      {"LTE", {}, 301, {}, {}, false}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rows[i].cell.radio, want[i].radio);
        EXPECT_EQ(rows[i].cell.area, 1234);
        EXPECT_EQ(rows[i].cell.cell, want[i].cell);
        EXPECT_EQ(rows[i].cell.pci, want[i].pci);
        EXPECT_EQ(rows[i].cell.signalDbm, want[i].signal);
        EXPECT_EQ(rows[i].cell.timingAdvance, want[i].ta);
        EXPECT_EQ(rows[i].cell.serving, want[i].serving);
    }
}

// The window's counter beside the logging switches shows what was recorded
// since the start, and stays hidden while nothing is recorded.
TEST(MeasurementRecorder, TheWindowsCounterFollowsTheRecordedRows) {
    {
        WindowFixture fx;
        Form1& f = fx.make();
        EXPECT_TRUE(f.MessN->isHidden());
    }
    WindowFixture fx;
    fx.writeFile(QStringLiteral("Funkor.ini"), "[Measurements]\nRecord=1\n");
    Form1& f = fx.make();
    fx.platform->now = QDateTime::fromMSecsSinceEpoch(1796817600000, Qt::UTC);
    f.network.operatorCode = "26207";
    f.network.onNetwork = true;
    f.network.cellRadio = "GSM";
    f.network.cellLac = 1234;
    struct Step {
        const char* label;
        int second;  // of the receiver's fix; -1: the receiver fell silent
        std::int64_t cell;
        const char* counter;
    } const steps[] = {
        {"first fix", 0, 4711, "Messungen: 1 (1 Zelle)"},
        {"next fix, same cell", 1, 4711, "Messungen: 2 (1 Zelle)"},
        {"next cell", 2, 4712, "Messungen: 3 (2 Zellen)"},
        {"receiver silent", -1, 4713, "Messungen: 3 (2 Zellen)"},
    };
    EXPECT_FALSE(f.MessN->isHidden());
    EXPECT_EQ(f.MessN->text(), QStringLiteral("Messungen: 0 (0 Zellen)"));
    for (const Step& s : steps) {
        f.network.cellCi = s.cell;
        fx.platform->now = fx.platform->now.addMSecs(s.second < 0 ? 3000 : 1000);
        if (s.second >= 0) {
            const std::string t = "12000" + std::to_string(s.second);
            f.output.gpsRmc =
                funkor::nmeaSentence("GPRMC," + t + ",A,4836.3000,N,00930.0000,E,0.0,0.0,091226,,");
            f.output.gpsGga =
                funkor::nmeaSentence("GPGGA," + t + ",4836.3000,N,00930.0000,E,1,08,1.0,,M,,M,,");
        }
        f.measurementRecorder->tick();
        EXPECT_EQ(f.MessN->text(), QString::fromUtf8(s.counter)) << s.label;
    }
}
