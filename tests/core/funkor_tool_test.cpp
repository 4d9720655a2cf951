// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string slurp(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
        std::fclose(f);
    }
    return text;
}

ToolRun tool(const std::vector<std::string>& args) {
    std::string cmd = quoted(FUNKOR_BINARY_DIR "/tools/funkor-tool/funkor-tool");
    for (const auto& a : args) cmd += " " + quoted(a);
    // One file per test process: CTest runs the tests of this file in parallel.
    const std::string errPath =
        ::testing::TempDir() + "funkor_tool_stderr_" + std::to_string(getpid()) + ".txt";
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

}  // namespace

TEST(FunkorTool, AnswersTheKnownExamples) {
    struct Case {
        std::vector<std::string> args;
        const char* out;
    };
    const Case cases[] = {
        {{"grid", "4598700", "5819940"},
         "bessel_lat=52.5051989\nbessel_lon=13.4539755\nlat=52.5037951\nlon=13.4522282\n"},
        {{"nmea", "48.5", "9.5", "--utc", "2004-11-12T14:50:00"},
         "$GPRMC,145000,A,4830.0000,N,00930.0000,E,,,121104,0,E*6A\n"
         "$GPGGA,145000,4830.0000,N,00930.0000,E,1,12,,,M,,M,,,*76\n"},
        {{"pdu-encode", "+49123456789", "abc"}, "0001000B919421436587F91FF00361F118\n"},
        {{"pdu-encode", "0123456789", "\xC3\xA4"}, "0001000A8110325476981FF0017B\n"},  // ä (UTF-8)
        {{"pdu-decode", "07919471060040F9040B919421436587F90000401121410500800361F118", "22"},
         "sender=+49123456789\ntime=12.11.04 14:50:00\ntext=abc\n"},
        {{"pdu-decode", "040A811032547698000040112141050080037BBE1F", "21"},
         "sender=0123456789\ntime=12.11.04 14:50:00\ntext=\xC3\xA4\xC3\xB6\xC3\xBC\n"},
        {{"septets", "61F1985C369F01"}, "abcdefg\\x00\n"},
        {{"septets", "1E"}, "\xC3\x9F\n"},  // septet 30 is ß
        {{"cb-position", "001000DD0111B45A0E7783D570B15C8E06"}, "459870581994\n"},
    };
    for (const auto& c : cases) {
        const ToolRun r = tool(c.args);
        EXPECT_EQ(r.exitCode, 0) << c.args[0] << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.args[0];
        EXPECT_EQ(r.err, "") << c.args[0];
    }
}

TEST(FunkorTool, RefusesBadInputOnStderr) {
    struct Case {
        std::vector<std::string> args;
        int exitCode;
    };
    const Case cases[] = {
        {{"cb-position", "001000DC0111B45A0E7783D570B15C8E06"}, 1},  // channel 220
        {{"cb-position", "001000DD0111B45A"}, 1},
        {{"pdu-encode", "01234567890123456", "x"}, 1},
        {{"pdu-encode", "0123", std::string(161, 'x')}, 1},
        {{"pdu-encode", "0171-123", "x"}, 1},
        {{"pdu-decode", "04XY", "2"}, 1},
        {{"pdu-decode", "0400", "9"}, 1},
        {{"septets", "61F"}, 1},
        {{"grid", "x", "5819940"}, 1},
        {{"nmea", "-48", "9"}, 1},
        {{"nmea", "48", "9", "--utc", "2023-02-29T00:00:00"}, 1},
        {{"grid", "1"}, 2},
        {{"frobnicate"}, 2},
        {{}, 2},
    };
    for (const auto& c : cases) {
        const ToolRun r = tool(c.args);
        const std::string label = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(r.exitCode, c.exitCode) << label;
        EXPECT_EQ(r.out, "") << label;
        EXPECT_NE(r.err.find("funkor-tool"), std::string::npos) << label;
    }
}

TEST(FunkorTool, GridFarOutsideStillPrintsNumbers) {
    for (const char* e : {"0", "-1e9", "9999999999"}) {
        const ToolRun r = tool({"grid", e, "0"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.find("nan"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("inf"), std::string::npos) << r.out;
    }
}

namespace {

// A logged drive: two entries with positions, one of them named.
const char* kDriveLog =
    "$GPTXT,4E21C67C26207,459870581994,Fernsehturm & Co\r\n"
    "$GPRMC,082005,A,5230.2277,N,01327.1337,E,,,021226,0,E*4D\r\n"
    "$GPGGA,082005,5230.2277,N,01327.1337,E,1,12,,,M,,M,,,*53\r\n"
    "$GPTXT,0407526E26207,451818582197,\r\n"
    "$GPRMC,082205,A,5232.5106,N,01314.5136,E,,,021226,0,E*4F\r\n"
    "$GPGGA,082205,5232.5106,N,01314.5136,E,1,12,,,M,,M,,,*51\r\n";

}  // namespace

TEST(FunkorTool, LogExportReadsBackInGpsbabel) {
    const std::string dir = ::testing::TempDir() + "funkor_export_" + std::to_string(getpid());
    ASSERT_EQ(std::system(("mkdir -p " + quoted(dir)).c_str()), 0);
    {
        FILE* f = std::fopen((dir + "/Funkor.log").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs(kDriveLog, f);
        std::fclose(f);
    }
    const ToolRun r = tool({"log-export", dir + "/Funkor.log", "--gpx", dir + "/drive.gpx", "--kml",
                            dir + "/drive.kml"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "waypoints=2\nskipped=0\n");

    // Readers that know nothing of this program.
    auto run = [](const std::string& cmd) {
        std::string out;
        FILE* p = popen(cmd.c_str(), "r");
        if (!p) return std::string("<popen>");
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
        return pclose(p) == 0 ? out : out + "<failed>";
    };
    for (const char* file : {"/drive.gpx", "/drive.kml"})
        EXPECT_EQ(run("xmllint --noout " + quoted(dir + file) + " 2>&1"), "") << file;
    for (const char* format : {"gpx", "kml"}) {
        const std::string file = dir + "/drive." + format;
        const std::string csv = run(std::string("gpsbabel -i ") + format + " -f " + quoted(file) +
                                    " -o unicsv -F - 2>&1");
        // One header line and one line per waypoint: number, position, name,
        // (KML: altitude,) description, date and time.
        const std::string want[] = {
            "1,52.503795,13.452228,\"Fernsehturm & Co\",",
            "\"Zelle 4E21C67C26207, Position 459870 581994\",2026/12/02,08:20:05\r\n",
            "2,52.541843,13.241893,\"0407526E26207\",",
            "\"Zelle 0407526E26207, Position 451818 582197\",2026/12/02,08:22:05\r\n"};
        std::size_t at = csv.find("\r\n1,");
        for (const auto& w : want) {
            at = csv.find(w, at);
            EXPECT_NE(at, std::string::npos) << format << ": " << w << "\n" << csv;
        }
        EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3) << format << "\n" << csv;
    }
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

TEST(FunkorTool, CellDatabaseImportLookupAndExport) {
    const std::string dir = ::testing::TempDir() + "funkor_celldb_" + std::to_string(getpid());
    const std::string db = dir + ".db";
    const std::string sample = FUNKOR_SOURCE_DIR "/tests/data/opencellid/cells-sample.csv";
    const ToolRun imported = tool({"celldb", "import", sample, "--db", db, "--mcc", "208,505"});
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_NE(imported.out.find("imported=4775\nskipped=0\nfiltered=700\n"), std::string::npos)
        << imported.out;
    // Not a terminal: the summary only, no progress lines.
    EXPECT_EQ(imported.err, "");

    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;  // start of stdout, or of stderr for a failure
    };
    const Case cases[] = {
        {{"celldb", "lookup", "GSM", "208", "1", "1795", "33036", "--db", db},
         0,
         "lat=45.6994170\nlon=4.8353670\nrange=2901\n"},
        {{"celldb", "lookup", "LTE", "505", "1", "12403", "135919105", "--db", db},
         0,
         "lat=-37.1485760\nlon=146.4490740\nrange=20467\n"},
        {{"celldb", "lookup", "GSM", "208", "1", "1795", "33037", "--db", db},
         1,
         "funkor-tool: cell not in"},
        {{"celldb", "lookup", "GSM", "208", "x", "1795", "33036", "--db", db},
         1,
         "funkor-tool: MCC, MNC"},
        {{"celldb", "lookup", "GSM", "208", "--db", db}, 2, "funkor-tool: celldb lookup needs"},
        {{"celldb", "lookup", "GSM", "208", "1", "1795", "33036", "--db", sample},
         1,
         "funkor-tool: Die Zellen-Datenbank"},
        {{"celldb", "import", dir + "-missing.csv", "--db", db}, 1, "funkor-tool: Die Datei"},
        {{"celldb", "import", sample, "--mcc", "2x"}, 2, "funkor-tool: --mcc needs"},
        {{"celldb", "import", sample, "--db", db, "--mcc", "262"},
         1,
         "funkor-tool: Die Datei " + sample + " enthält keine Zellen der gewählten Länder"},
        {{"celldb", "import", "/dev/null", "--db", db},
         1,
         "funkor-tool: Die Datei /dev/null enthält keine Zellen;"},
        // Asked for, an empty database replaces the cells (the last case).
        {{"celldb", "import", "/dev/null", "--db", db, "--allow-empty"},
         0,
         "db=" + db + "\nimported=0\n"},
    };
    for (const auto& c : cases) {
        const ToolRun r = tool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1] << " " << c.args.back();
        const std::string& text = c.exitCode == 0 ? r.out : r.err;
        EXPECT_EQ(text.substr(0, c.out.size()), c.out) << text;
    }
    std::remove(db.c_str());
    std::remove((db + ".lock").c_str());
}

TEST(FunkorTool, CellDatabaseUpdateMergesADifferenceFile) {
    const std::string dir =
        ::testing::TempDir() + "funkor_celldb_update_" + std::to_string(getpid());
    const std::string db = dir + ".db";
    const std::string diff = dir + ".csv";
    const std::string sample = FUNKOR_SOURCE_DIR "/tests/data/opencellid/cells-sample.csv";
    ASSERT_EQ(tool({"celldb", "import", sample, "--db", db}).exitCode, 0);
    if (FILE* f = std::fopen(diff.c_str(), "wb")) {
        std::fputs(
            "radio,mcc,net,area,cell,unit,lon,lat,range,samples,changeable,created,updated,"
            "averageSignal\n"
            "UMTS,440,10,259,72368306,28,139.7,35.8,3000,13,1,1,1700000000,0\n"
            "UMTS,440,10,259,1,5,139.7,35.8,3000,13,1,1,1700000000,0\n"
            "GSM,208,1,1795,33036,-1,4.9,45.7,100,1,1,1,1500000000,0\n",
            f);
        std::fclose(f);
    }
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;  // start of stdout, or of stderr for a failure
    };
    const Case cases[] = {
        {{"celldb", "import", "--update", diff, "--db", db},
         0,
         "db=" + db + "\nimported=2\nskipped=0\nfiltered=0\nduplicates=0\nolder=1\n"},
        {{"celldb", "lookup", "UMTS", "440", "10", "259", "72368306", "--db", db},
         0,
         "lat=35.8000000\nlon=139.7000000\nrange=3000\nsamples=13\nchangeable=1\n"
         "updated=1700000000\nsource=imported\nunit=28\n"},
        {{"celldb", "lookup", "GSM", "208", "1", "1795", "33036", "--db", db},
         0,
         "lat=45.6994170\n"},
        {{"celldb", "import", "--update", diff, "--db", dir + "-missing.db"},
         1,
         "funkor-tool: Die Zellen-Datenbank " + dir + "-missing.db fehlt"},
    };
    for (const auto& c : cases) {
        const ToolRun r = tool(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args[1] << " " << c.args[3];
        const std::string& text = c.exitCode == 0 ? r.out : r.err;
        EXPECT_EQ(text.substr(0, c.out.size()), c.out) << text;
    }
    for (const std::string& f : {db, db + ".lock", diff, dir + "-missing.db.lock"})
        std::remove(f.c_str());
}
