// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// funkor-tool's measurement commands, run as built: exports against golden
// files, learning and lookup, and the upload against a local geosubmit
// server of the test's own (tests/core/geosubmit_server.py).

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "core/measurements.h"

using namespace funkor;

extern char** environ;

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out, err;
};

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

ToolRun tool(const std::vector<std::string>& args) {
    std::string cmd = quoted(FUNKOR_BINARY_DIR "/tools/funkor-tool/funkor-tool");
    for (const auto& a : args) cmd += " " + quoted(a);
    const std::string errPath =
        ::testing::TempDir() + "funkor_meas_tool_err_" + std::to_string(getpid());
    cmd += " 2>" + quoted(errPath);
    ToolRun r;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    const int status = pclose(p);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.err = slurp(errPath);
    std::remove(errPath.c_str());
    return r;
}

class Folder {
  public:
    Folder() : path_(::testing::TempDir() + "funkor_meas_tool_" + std::to_string(getpid())) {
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~Folder() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// A small fixed set of ticks: one before 2 December 2026, then GSM with a
// UMTS neighbour (and one known only by its PSC), LTE with NR and CDMA
// cells, and a fix without accuracy, speed and heading.
void writeFixedDatabase(const std::string& path) {
    std::string error;
    auto store = MeasurementStore::open(path, error);
    ASSERT_TRUE(store) << error;
    const MeasuredCell gsm{"GSM", 262, 7, 1234, 4711, {}, 62, -71, 2, true};
    const MeasuredCell umts{"UMTS", 262, 7, 40000, 13172231, 311, 10788, -95, {}, false};
    const MeasuredCell pscOnly{"UMTS", 262, 7, 40000, {}, 100, 10788, -101, {}, false};
    const MeasuredCell lte{"LTE", 262, 2, 46001, 26881025, 77, 6300, -98, 5, true};
    const MeasuredCell nr{"NR", 262, 1, 46001, 68719476735, 501, 636666, -90, {}, false};
    const MeasuredCell cdma{"CDMA", 310, 4, 12, 345, {}, {}, -80, {}, false};
    store->record({1796112000000, 48.4, 9.4, 5.0, 1.0, 10.0}, {gsm});  // 2026-12-01
    store->record({1796817600500, 48.5012345, 9.4987654, 6.0, 13.9, 271.3}, {gsm, umts, pscOnly});
    store->record({1796817601500, -33.75, -70.5, 4.5, 0.0, 0.0}, {lte, nr, cdma});
    store->record({1796817602500, 48.5, 9.5, {}, {}, {}},
                  {{"LTE", 262, 2, 46001, 26881026, {}, {}, {}, {}, true}});
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The local server, started for one test and stopped at its end.
class GeosubmitServer {
  public:
    GeosubmitServer(const Folder& folder, const std::string& plan, const std::string& refuse)
        : portFile_(folder / "port"), log_(folder / "server.log") {
        std::vector<std::string> args = {
            "python3",  FUNKOR_SOURCE_DIR "/tests/core/geosubmit_server.py",
            portFile_,  log_,
            "--plan",   plan,
            "--refuse", refuse};
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, "python3", nullptr, nullptr, argv.data(), environ) != 0) pid_ = 0;
        for (int i = 0; i < 200 && port_.empty(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            port_ = slurp(portFile_);
        }
    }
    ~GeosubmitServer() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    std::string url() const { return "http://127.0.0.1:" + port_ + "/v2/geosubmit"; }
    bool running() const { return pid_ > 0 && !port_.empty(); }
    std::vector<std::string> log() const { return splitLines(slurp(log_)); }

  private:
    std::string portFile_, log_, port_;
    pid_t pid_ = 0;
};

}  // namespace

TEST(MeasurementsTool, ExportsMatchTheGoldenFiles) {
    Folder dir;
    const std::string db = dir / "m.db";
    writeFixedDatabase(db);
    struct Case {
        const char* option;
        const char* golden;
    };
    for (const Case& c : {Case{"--ocid", "measurements.ocid.csv"},
                          Case{"--geosubmit", "measurements.geosubmit.json"}}) {
        const std::string out = dir / c.golden;
        const ToolRun r =
            tool({"measurements", "export", c.option, out, "--since", "2026-12-02", "--db", db});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(slurp(out),
                  slurp(FUNKOR_SOURCE_DIR "/tests/core/golden/" + std::string(c.golden)))
            << c.option;
    }
    // Every line has the upload layout's 19 columns.
    const auto lines = splitLines(slurp(dir / "measurements.ocid.csv"));
    ASSERT_EQ(lines.size(), 7u);  // header, GSM, UMTS, LTE, NR, CDMA, LTE without signal
    for (const auto& line : lines) EXPECT_EQ(std::count(line.begin(), line.end(), ','), 18) << line;

    const ToolRun all = tool({"measurements", "export", "--ocid", "-", "--db", db});
    EXPECT_EQ(splitLines(all.out).size(), 8u);  // the December 1 row as well
    const ToolRun badDate =
        tool({"measurements", "export", "--ocid", "-", "--since", "2026-13-01", "--db", db});
    EXPECT_EQ(badDate.exitCode, 2);
    const ToolRun missing =
        tool({"measurements", "export", "--ocid", "-", "--db", dir / "none.db"});
    EXPECT_EQ(missing.exitCode, 1);
}

TEST(MeasurementsTool, LearnsCellsAndLookupNamesTheSource) {
    Folder dir;
    const std::string cells = dir / "Funkor-cells.db";
    const std::string csv = dir / "cells.csv";
    // Cell 4711 is imported from 3 samples, 4712 from 50, 4713 not at all.
    std::ofstream(csv) << "radio,mcc,net,area,cell,unit,lon,lat,range,samples,changeable,created,"
                          "updated,averageSignal\n"
                          "GSM,262,7,1234,4711,,9.6,48.6,4000,3,1,0,1700000000,\n"
                          "GSM,262,7,1234,4712,,9.6,48.6,4000,50,1,0,1700000000,\n";
    ASSERT_EQ(tool({"celldb", "import", csv, "--db", cells}).exitCode, 0);
    {
        std::string error;
        auto store = MeasurementStore::open(dir / "Funkor-measurements.db", error);
        ASSERT_TRUE(store) << error;
        for (int i = 0; i < 12; ++i) {
            const double a = 2 * M_PI * i / 12;
            const MeasuredFix fix{1796817600000 + i * 1000,
                                  48.5 + 0.009 * std::sin(a),
                                  9.5 + 0.0136 * std::cos(a),
                                  5.0,
                                  {},
                                  {}};
            std::vector<MeasuredCell> heard;
            for (std::int64_t id : {4711, 4712, 4713})
                heard.push_back({"GSM", 262, 7, 1234, id, {}, {}, -80, {}, id == 4711});
            store->record(fix, heard);
        }
    }
    const ToolRun learned = tool({"celldb", "learn", "--db", cells});
    ASSERT_EQ(learned.exitCode, 0) << learned.err;
    EXPECT_NE(learned.out.find("cells=3\nlearned=3\n"), std::string::npos) << learned.out;

    struct Case {
        const char* cell;
        int exitCode;
        std::string source, start;
    };
    const Case cases[] = {
        // A ring of 1 km around the cell: its centre, range about 1 km.
        {"4711", 0, "source=learned", "lat=48.5000000\nlon=9.5000000\nrange=100"},
        {"4712", 0, "source=imported", "lat=48.6000000\nlon=9.6000000\nrange=4000\nsamples=50\n"},
        {"4713", 0, "source=learned", "lat=48.5000000\n"},
        {"4714", 1, "", ""},
    };
    for (const auto& c : cases) {
        const ToolRun r =
            tool({"celldb", "lookup", "GSM", "262", "7", "1234", c.cell, "--db", cells});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.cell << r.err;
        EXPECT_EQ(r.out.substr(0, c.start.size()), c.start) << c.cell;
        EXPECT_NE(r.out.find(c.source), std::string::npos) << c.cell << ": " << r.out;
    }
}

TEST(MeasurementsTool, UploadRetriesSplitsRefusedBatchesAndNeverSendsTwice) {
    Folder dir;
    const std::string db = dir / "m.db";
    constexpr std::int64_t kStart = 1796817600000;
    constexpr std::int64_t kRefused = kStart + 7000;  // the server refuses this report
    {
        std::string error;
        auto store = MeasurementStore::open(db, error);
        ASSERT_TRUE(store) << error;
        for (int i = 0; i < 12; ++i)
            store->record({kStart + i * 1000, 48.5 + i * 1e-4, 9.5, 5.0, 12.0, 90.0},
                          {{"GSM", 262, 7, 1234, 100 + i, {}, {}, -70, 1, true},
                           {"LTE", 262, 7, 4321, 9000 + i, 17, 6300, -99, {}, false}});
        // No report for the server: a neighbour known only by its PSC.
        store->record({kStart + 20000, 48.6, 9.5, 5.0, {}, {}},
                      {{"UMTS", 262, 7, 40000, {}, 311, 10788, -95, {}, false}});
    }
    // The first request meets a dropped connection, the second a 503.
    GeosubmitServer server(dir, "drop,503", std::to_string(kRefused));
    ASSERT_TRUE(server.running());
    const std::vector<std::string> upload = {"measurements", "upload", "--geosubmit", server.url(),
                                             "--batch",      "5",      "--backoff",   "10",
                                             "--db",         db};
    const ToolRun first = tool(upload);
    EXPECT_EQ(first.exitCode, 1) << first.err;  // one report stays
    // Qt itself sends again once over a connection dropped before the
    // answer, so the drop costs one retry of ours or none.
    EXPECT_TRUE(first.out == "sent=11\nrows=22\nrefused=1\nretries=2\n" ||
                first.out == "sent=11\nrows=22\nrefused=1\nretries=1\n")
        << first.out;
    EXPECT_NE(first.err.find("2026-12-09T12:00:07.000Z"), std::string::npos) << first.err;

    // A second upload sends the refused report only, and the server never
    // sees a report twice.
    const ToolRun second = tool(upload);
    EXPECT_EQ(second.out, "sent=0\nrows=0\nrefused=1\nretries=0\n");
    std::map<std::string, int> seen;
    for (const std::string& line : server.log()) {
        EXPECT_EQ(line.find("schema_error"), std::string::npos) << line;
        ++seen[line.substr(0, line.find(','))];
    }
    EXPECT_EQ(seen.size(), 11u);
    for (const auto& [report, times] : seen) EXPECT_EQ(times, 1) << report;
    EXPECT_EQ(seen.count("{\"timestamp\": " + std::to_string(kRefused)), 0u);

    std::string error;
    auto store = MeasurementStore::openReadOnly(db, error);
    ASSERT_TRUE(store);
    MeasurementQuery pending;
    pending.notUploadedOnly = true;
    EXPECT_EQ(store->rows(pending).size(), 3u);  // the refused report's 2 rows, the PSC row
}

TEST(MeasurementsTool, UploadStopsWhenTheServerStaysAway) {
    Folder dir;
    const std::string db = dir / "m.db";
    {
        std::string error;
        auto store = MeasurementStore::open(db, error);
        ASSERT_TRUE(store) << error;
        store->record({1796817600000, 48.5, 9.5, 5.0, {}, {}},
                      {{"GSM", 262, 7, 1234, 100, {}, {}, -70, {}, true}});
    }
    GeosubmitServer server(dir, "503,503,503", "");
    ASSERT_TRUE(server.running());
    const ToolRun r = tool({"measurements", "upload", "--geosubmit", server.url(), "--tries", "3",
                            "--backoff", "5", "--db", db});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "sent=0\nrows=0\nrefused=0\nretries=2\n");
    EXPECT_NE(r.err.find("HTTP 503 3 times"), std::string::npos) << r.err;
    // The next try, with the server back, sends it.
    const ToolRun again = tool({"measurements", "upload", "--geosubmit", server.url(), "--db", db});
    EXPECT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.out, "sent=1\nrows=1\nrefused=0\nretries=0\n");
}
