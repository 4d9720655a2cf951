// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The offline cell database against real SQLite files: import of the
// OpenCellID sample (plain and gzip), malformed input, a killed import,
// imports that must not replace the database (cut short, without cells,
// a second one at once), damaged and foreign files, lookups in every
// hemisphere, the serving cell's key and the round trip of the position
// log's cells.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "core/cell_database.h"
#include "core/log_export.h"
#include "core/nmea.h"
#include "core/position_log.h"

using namespace funkor;

namespace {

// Real OpenCellID rows (CC BY-SA 4.0, see the README beside them).
std::string samplePath() {
    return std::string(FUNKOR_SOURCE_DIR) + "/tests/data/opencellid/cells-sample.csv";
}

struct TempDir {
    std::filesystem::path dir;
    TempDir() {
        char tmpl[] = "/tmp/funkor-celldb-XXXXXX";
        dir = mkdtemp(tmpl);
    }
    ~TempDir() { std::filesystem::remove_all(dir); }
    std::string file(const std::string& name) const { return (dir / name).string(); }
};

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

CellDatabase openDb(const std::string& path) {
    std::string error;
    auto d = CellDatabase::open(path, error);
    EXPECT_TRUE(d) << error;
    return std::move(*d);
}

std::string gzipped(const std::string& text) {
    TempDir t;
    gzFile out = gzopen(t.file("x.gz").c_str(), "wb");
    gzwrite(out, text.data(), static_cast<unsigned>(text.size()));
    gzclose(out);
    return readFile(t.file("x.gz"));
}

// The first scratch file of an import beside `db` ("cells.db.import..."),
// empty when there is none.
std::string scratchFile(const std::string& db) {
    const std::filesystem::path p(db);
    const std::string prefix = p.filename().string() + ".import";
    for (const auto& e : std::filesystem::directory_iterator(p.parent_path()))
        if (e.path().filename().string().starts_with(prefix)) return e.path().string();
    return {};
}

// Starts funkor-tool importing from the named pipe `fifo` (made here) into
// `db`; it waits for the pipe's writer.
pid_t importFromPipe(const std::string& fifo, const std::string& db) {
    if (mkfifo(fifo.c_str(), 0600) != 0) return -1;
    const std::string tool = std::string(FUNKOR_BINARY_DIR) + "/tools/funkor-tool/funkor-tool";
    const pid_t child = fork();
    if (child == 0) {
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr))
            _exit(126);
        execl(tool.c_str(), tool.c_str(), "celldb", "import", fifo.c_str(), "--db", db.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

std::int64_t rowCount(const std::string& db) {
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    std::int64_t n = -1;
    if (sqlite3_prepare_v2(h, "SELECT count(*) FROM cells", -1, &s, nullptr) == SQLITE_OK &&
        sqlite3_step(s) == SQLITE_ROW)
        n = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(h);
    return n;
}

// Rows of the sample, one per hemisphere and radio.
struct SampleCell {
    const char* label;
    CellDbKey key;
    double lat, lon;
    int range;
};
const SampleCell kSampleCells[] = {
    {"France GSM, north-east", {"GSM", 208, 1, 1795, 33036}, 45.699417, 4.835367, 2901},
    {"USA LTE, north-west", {"LTE", 310, 410, 36881, 84687375}, 45.465898, -122.578852, 7695},
    {"Australia LTE, south-east", {"LTE", 505, 1, 12403, 135919105}, -37.148576, 146.449074, 20467},
    {"Australia NR, south-east", {"NR", 505, 3, 50533, 901136446}, -34.950257, 138.659363, 1000},
    {"Japan UMTS, north-east", {"UMTS", 440, 10, 259, 72368306}, 35.802713, 139.697361, 3324},
};

void expectSampleCells(const CellDatabase& d) {
    for (const auto& c : kSampleCells) {
        const auto p = d.lookup(c.key);
        ASSERT_TRUE(p) << c.label;
        EXPECT_DOUBLE_EQ(p->latitude, c.lat) << c.label;
        EXPECT_DOUBLE_EQ(p->longitude, c.lon) << c.label;
        EXPECT_EQ(p->range, c.range) << c.label;
    }
}

}  // namespace

TEST(CellDatabase, SampleImportsPlainAndGzippedToTheSameCells) {
    TempDir t;
    const std::string csv = readFile(samplePath());
    ASSERT_FALSE(csv.empty());
    const std::string gz = t.file("cells.csv.gz");
    gzFile out = gzopen(gz.c_str(), "wb");
    gzwrite(out, csv.data(), static_cast<unsigned>(csv.size()));
    gzclose(out);

    for (const std::string& input : {samplePath(), gz}) {
        const std::string db = t.file("cells.db");
        const CellImportResult r = importCellCsv(input, db);
        ASSERT_TRUE(r.ok) << input << ": " << r.error;
        EXPECT_EQ(r.read, 5475) << input;
        EXPECT_EQ(r.stored, 5475) << input;
        EXPECT_EQ(r.skipped, 0) << input;
        EXPECT_EQ(rowCount(db), 5475) << input;
        expectSampleCells(openDb(db));
        // Nothing of the import is left beside the database.
        EXPECT_EQ(scratchFile(db), "");
    }
}

TEST(CellDatabase, CountryFilterKeepsOnlyTheNamedCountries) {
    TempDir t;
    CellImportOptions o;
    o.mccs = {505, 440};
    const CellImportResult r = importCellCsv(samplePath(), t.file("au-jp.db"), o);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.stored, 502);  // 202 Australian and 300 Japanese rows
    EXPECT_EQ(r.filtered, 5475 - 502);
    const CellDatabase d = openDb(t.file("au-jp.db"));
    EXPECT_FALSE(d.lookup(kSampleCells[0].key));
    EXPECT_TRUE(d.lookup(kSampleCells[2].key));
    EXPECT_TRUE(d.lookup(kSampleCells[4].key));
}

TEST(CellDatabase, MalformedLinesAreSkippedAndReportedWithTheirLineNumbers) {
    TempDir t;
    const std::string csv = t.file("bad.csv");
    // Line 1 is an empty header; CRLF line ends throughout.
    writeFile(csv,
              "\r\n"                                                         // 1
              "GSM,262,7,100,200,0,13.4,52.5,1000,5,1,1,1600000000,0\r\n"    // 2 ok
              "GSM,262,7,100\r\n"                                            // 3 short
              "GSM,262,7,1x0,201,0,13.4,52.5,1000,5,1,1,1600000000,0\r\n"    // 4
              "GSM,262,7,100,202,0,13.4,92.5,1000,5,1,1,1600000000,0\r\n"    // 5 lat
              "GSM,262,7,100,203,0,-181,52.5,1000,5,1,1,1600000000,0\r\n"    // 6 lon
              "WIMAX,262,7,100,204,0,13.4,52.5,1000,5,1,1,1600000000,0\r\n"  // 7
              "GSM,262,7,100,200,0,13.9,52.9,500,9,1,1,1700000000,0\r\n"     // 8 newer
              "GSM,262,7,100,200,0,10.0,50.0,500,9,1,1,1500000000,0\r\n"     // 9 older
              "GSM,262,7,100,205,0,-58.38,-34.6,,,0,,1600000000,\r\n"        // 10 ok
              "radio,mcc,net,area,cell,unit,lon,lat,range,samples,changeable,created,"
              "updated,averageSignal\r\n"                                // 11
              "GSM,262,7,100,206,0,13.4,52.5,1000,5,1,1,1600000000,0");  // 12 ok
    CellImportOptions o;
    o.problemsKept = 3;
    const CellImportResult r = importCellCsv(csv, t.file("bad.db"), o);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.skipped, 6);
    EXPECT_EQ(r.stored, 3);
    ASSERT_EQ(r.problems.size(), 3u);
    const CellImportProblem expected[] = {
        {1, CsvRowError::Empty}, {3, CsvRowError::TooFewFields}, {4, CsvRowError::NotANumber}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(r.problems[i].line, expected[i].line);
        EXPECT_EQ(r.problems[i].error, expected[i].error) << csvRowErrorText(r.problems[i].error);
    }

    const CellDatabase d = openDb(t.file("bad.db"));
    // The newest row of cell 200 wins, wherever it stands in the file.
    const auto p = d.lookup({"GSM", 262, 7, 100, 200});
    ASSERT_TRUE(p);
    EXPECT_DOUBLE_EQ(p->latitude, 52.9);
    EXPECT_DOUBLE_EQ(p->longitude, 13.9);
    EXPECT_EQ(p->updated, 1700000000);
    // Empty range and samples read as 0; a site position is not changeable.
    const auto q = d.lookup({"GSM", 262, 7, 100, 205});
    ASSERT_TRUE(q);
    EXPECT_EQ(q->range, 0);
    EXPECT_FALSE(q->changeable);
    EXPECT_DOUBLE_EQ(q->latitude, -34.6);
    EXPECT_TRUE(d.lookup({"GSM", 262, 7, 100, 206}));  // after a second header
    EXPECT_FALSE(d.lookup({"GSM", 262, 7, 100, 202}));
}

TEST(CellDatabase, RowParserTellsEachFault) {
    const struct {
        const char* line;
        CsvRowError error;
    } rows[] = {
        {"GSM,208,1,1795,33036,0,4.835367,45.699417,2901,200,1,1310453371,1662739338,0",
         CsvRowError::None},
        {"GSM,208,1,1795,33036,0,4.835367,45.699417,2901,200,1,1310453371,1662739338",
         CsvRowError::None},  // without averageSignal
        {"GSM,208,1,1795,33036,0,4.835367,45.699417,2901,200,1,1310453371",
         CsvRowError::TooFewFields},
        {"", CsvRowError::Empty},
        {"\r", CsvRowError::Empty},
        {"gsm,208,1,1795,33036,0,4.8,45.6,2901,200,1,1,1,0", CsvRowError::BadRadio},
        {"GSM,-208,1,1795,33036,0,4.8,45.6,2901,200,1,1,1,0", CsvRowError::NotANumber},
        {"GSM,208,1,1795,33036,0,4.8,,2901,200,1,1,1,0", CsvRowError::NotANumber},
        {"GSM,208,1,1795,33036,0,4.8,45.6,2901,200,2,1,1,0", CsvRowError::NotANumber},
        {"GSM,208,1,1795,33036,0,nan,45.6,2901,200,1,1,1,0", CsvRowError::NotANumber},
        // Empty figures are unknown, not malformed; letters stay malformed.
        {"GSM,208,1,1795,33036,,4.8,45.6,,,,,,", CsvRowError::None},
        {"GSM,208,1,1795,33036,0,4.8,45.6,2901,200,1,1,,0", CsvRowError::None},
        {"GSM,208,1,1795,33036,0,4.8,45.6,2901,200,,1,1,0", CsvRowError::None},
        {"GSM,208,1,1795,33036,0,4.8,45.6,x,200,1,1,1,0", CsvRowError::NotANumber},
        {"GSM,208,1,1795,33036,0,4.8,45.6,2901,200,1,1,y,0", CsvRowError::NotANumber},
        {"GSM,208,1,1795,33036,0,4.8,45.6,2901,200,yes,1,1,0", CsvRowError::NotANumber},
        {"GSM,208,1,1795,33036,0,4.8,-90.01,2901,200,1,1,1,0", CsvRowError::OffTheEarth},
        {"GSM,208,1,1795,33036,0,180.5,45.6,2901,200,1,1,1,0", CsvRowError::OffTheEarth},
    };
    for (const auto& r : rows) {
        CellDbRow row;
        EXPECT_EQ(parseCellCsvRow(r.line, row), r.error) << r.line;
    }
    CellDbRow row;
    EXPECT_EQ(parseCellCsvRow(std::string(5000, 'G'), row), CsvRowError::TooLong);

    ASSERT_EQ(parseCellCsvRow("UMTS,310,410,1,2,,-80.5,25.75,,,,,", row), CsvRowError::None);
    EXPECT_EQ(row.key.net, 410);
    EXPECT_EQ(row.range, 0);
    EXPECT_EQ(row.samples, 0);
    EXPECT_TRUE(row.changeable);
    EXPECT_EQ(row.updated, 0);
}

TEST(CellDatabase, AKilledImportLeavesThePreviousDatabaseWhole) {
    TempDir t;
    const std::string db = t.file("cells.db");
    ASSERT_TRUE(importCellCsv(samplePath(), db).ok);
    const std::string before = readFile(db);

    // The import reads a pipe that the test fills, so that it is killed
    // for certain in the middle of its rows.
    const std::string fifo = t.file("feed.csv");
    const pid_t child = importFromPipe(fifo, db);
    std::FILE* feed = std::fopen(fifo.c_str(), "w");
    ASSERT_TRUE(feed);
    std::fputs(std::string(kCellCsvHeader).c_str(), feed);
    std::fputs("\n", feed);
    for (int i = 0; i < 200000; ++i)
        std::fprintf(feed, "GSM,262,7,%d,%d,0,13.4,52.5,1000,5,1,1,1600000000,0\n", i % 999, i);
    std::fflush(feed);
    // Its new file exists once rows are going in.
    for (int i = 0; i < 500 && scratchFile(db).empty(); ++i) usleep(10000);
    EXPECT_NE(scratchFile(db), "");
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    std::fclose(feed);
    EXPECT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(readFile(db), before);
    expectSampleCells(openDb(db));
    // The next import starts afresh over what the killed one left.
    const CellImportResult again = importCellCsv(samplePath(), db);
    EXPECT_TRUE(again.ok) << again.error;
    EXPECT_EQ(scratchFile(db), "");
    EXPECT_EQ(rowCount(db), 5475);
}

TEST(CellDatabase, InputCutShortOrWithoutCellsLeavesThePreviousDatabase) {
    TempDir t;
    const std::string db = t.file("cells.db");
    ASSERT_TRUE(importCellCsv(samplePath(), db).ok);
    const std::string before = readFile(db);
    const std::string gz = gzipped(readFile(samplePath()));
    const std::string header = std::string(kCellCsvHeader) + "\n";
    const struct {
        std::string bytes;
        const char* says;
    } cases[] = {
        {gz.substr(0, gz.size() / 2), "unvollständig"},
        {gz.substr(0, gz.size() - 8), "unvollständig"},  // without its trailer
        {gz.substr(0, 10), "unvollständig"},             // its header alone
        {"", "enthält keine Zellen;"},
        {header, "enthält keine Zellen;"},
        {header + "GSM,262,7\n", "enthält keine Zellen;"},
    };
    for (const auto& c : cases) {
        writeFile(t.file("in.csv"), c.bytes);
        const CellImportResult r = importCellCsv(t.file("in.csv"), db);
        EXPECT_FALSE(r.ok) << c.says << " " << c.bytes.size();
        EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
        EXPECT_TRUE(readFile(db) == before) << c.says << " " << c.bytes.size();
        EXPECT_EQ(scratchFile(db), "");
    }
}

TEST(CellDatabase, ByteOrderMarkBeforeTheFirstLineIsPassedOver) {
    const std::string rows =
        "GSM,262,7,100,200,0,13.4,52.5,1000,5,1,1,1600000000,0\n"
        "GSM,262,7,100,201,0,13.5,52.6,1000,5,1,1,1600000000,0\n";
    TempDir t;
    for (const std::string& text : {std::string(kCellCsvHeader) + "\r\n" + rows, rows}) {
        writeFile(t.file("bom.csv"), "\xEF\xBB\xBF" + text);
        const CellImportResult r = importCellCsv(t.file("bom.csv"), t.file("bom.db"));
        EXPECT_EQ(r.skipped, 0) << text;
        EXPECT_EQ(r.stored, 2) << r.error;
    }
}

TEST(CellDatabase, ASecondImportWhileOneRunsIsRefusedAndTheFirstCompletes) {
    TempDir t;
    const std::string db = t.file("cells.db");
    ASSERT_TRUE(importCellCsv(samplePath(), db).ok);
    const std::string before = readFile(db);
    // Once the pipe is open at both ends, the first import holds its lock.
    const std::string fifo = t.file("feed.csv");
    const pid_t child = importFromPipe(fifo, db);
    std::FILE* feed = std::fopen(fifo.c_str(), "w");
    ASSERT_TRUE(feed);
    std::fprintf(feed, "%s\n", std::string(kCellCsvHeader).c_str());
    for (int i = 0; i < 1000; ++i)
        std::fprintf(feed, "GSM,262,7,100,%d,0,13.4,52.5,1000,5,1,1,1600000000,0\n", i);

    const CellImportResult second = importCellCsv(samplePath(), db);
    EXPECT_NE(second.error.find("Ein anderer Import"), std::string::npos) << second.error;
    EXPECT_TRUE(readFile(db) == before);

    std::fclose(feed);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(rowCount(db), 1000);
    EXPECT_EQ(scratchFile(db), "");
}

TEST(CellDatabase, UnusableFolderOrInputIsNamedInTheMessage) {
    TempDir t;
    std::filesystem::permissions(t.dir, std::filesystem::perms(0755));
    std::filesystem::create_directory(t.file("ro"));
    std::filesystem::permissions(t.file("ro"), std::filesystem::perms(0555));
    const std::string csv = samplePath();
    const struct {
        std::string input, db, says;
    } cases[] = {
        {csv, t.file("ro/cells.db"), "Der Ordner " + t.file("ro") + " ist nicht beschreibbar"},
        {csv, t.file("none/cells.db"), "Der Ordner " + t.file("none") + " fehlt"},
        {t.file("ro"), t.file("cells.db"), "Die Eingabe " + t.file("ro") + " ist ein Ordner"},
    };
    for (const auto& c : cases) {
        // Root writes into any folder: the import runs as nobody then.
        const pid_t child = fork();
        if (child == 0) {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
            const std::string error = importCellCsv(c.input, c.db).error;
            std::fprintf(stderr, "%s\n", error.c_str());
            _exit(error.find(c.says) == std::string::npos ? 1 : 0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_EQ(status, 0) << c.says;
    }
}

TEST(CellDatabase, DamagedOrForeignFilesGiveOneGermanMessage) {
    TempDir t;
    const std::string good = t.file("good.db");
    ASSERT_TRUE(importCellCsv(samplePath(), good).ok);
    const std::string whole = readFile(good);

    writeFile(t.file("noise.db"), std::string(8192, '\x5A'));
    writeFile(t.file("half.db"), whole.substr(0, 100) + std::string(whole.size() - 100, '\0'));
    writeFile(t.file("empty.db"), "");
    sqlite3* h = nullptr;
    sqlite3_open(t.file("other.db").c_str(), &h);
    sqlite3_exec(h, "CREATE TABLE cells(x); INSERT INTO cells VALUES(1);", nullptr, nullptr,
                 nullptr);
    sqlite3_close(h);
    std::filesystem::create_directory(t.file("folder.db"));

    const struct {
        const char* file;
        const char* says;
    } cases[] = {
        {"missing.db", "fehlt"},
        {"folder.db", "ist ein Ordner, keine Datenbankdatei"},
        {"noise.db", "beschädigt"},
        {"half.db", "beschädigt"},
        {"empty.db", "keine Zellen-Datenbank"},
        {"other.db", "keine Zellen-Datenbank"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(CellDatabase::open(t.file(c.file), error)) << c.file;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.file << ": " << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    // A file damaged after the header pages still answers every lookup
    // without a crash (found or not).
    std::string torn = whole;
    for (std::size_t i = 8192; i < torn.size(); i += 7) torn[i] = '\x7F';
    writeFile(t.file("torn.db"), torn);
    std::string error;
    if (auto d = CellDatabase::open(t.file("torn.db"), error))
        for (const auto& c : kSampleCells) (void)d->lookup(c.key);
}

TEST(CellDatabase, ADamagedPageFailsTheLookupsThatMeetIt) {
    TempDir t;
    const std::string db = t.file("torn.db");
    ASSERT_TRUE(importCellCsv(samplePath(), db).ok);
    std::string bytes = readFile(db);  // the last page holds Japan's last UMTS cells
    std::fill(bytes.end() - 4096, bytes.end(), '\x7F');
    writeFile(db, bytes);
    const CellDatabase d = openDb(db);
    const std::string damaged =
        "Die Zellen-Datenbank " + db +
        " ist beschädigt (database disk image is malformed); bitte neu importieren.";
    const struct {
        CellDbKey key;
        CellLookupStatus status;
        std::string error;
    } cases[] = {
        {{"UMTS", 440, 53, 2305, 56279338}, CellLookupStatus::Failed, damaged},
        {{"UMTS", 440, 53, 2305, 1}, CellLookupStatus::Failed, damaged},  // would lie there
        {kSampleCells[0].key, CellLookupStatus::Found, ""},
        {{"GSM", 208, 1, 1795, 33037}, CellLookupStatus::Unknown, ""},
    };
    for (const auto& c : cases) {
        const CellLookup r = d.find(c.key);
        EXPECT_EQ(r.status, c.status) << c.key.cell;
        EXPECT_EQ(r.error, c.error) << c.key.cell;
        EXPECT_EQ(r.damaged, !c.error.empty()) << c.key.cell;
    }
}

TEST(CellDatabase, ServingCellKeyFromThePhonesHexFields) {
    const struct {
        const char *radio, *op, *lac, *ci;
        bool ok;
        int mcc, net;
        std::int64_t area, cell;
    } rows[] = {
        {"GSM", "26207", "1A2B", "0C3D", true, 262, 7, 6699, 3133},
        {"GSM", "20801", "0703", "810C", true, 208, 1, 1795, 33036},  // France, in the sample
        {"LTE", "310410", "9011", "50C3A0F", true, 310, 410, 36881, 84687375},  // 28-bit ECI
        {"LTE", "26201", "FFFF", "FFFFFFF", true, 262, 1, 65535, 268435455},
        {"GSM", "2620", "1A2B", "0C3D", false, 0, 0, 0, 0},   // code too short
        {"GSM", "26207", "", "0C3D", false, 0, 0, 0, 0},      // no LAC
        {"GSM", "26207", "1A2G", "0C3D", false, 0, 0, 0, 0},  // not hex
        {"GSM", "262O7", "1A2B", "0C3D", false, 0, 0, 0, 0},  // letter O
        {"GSM", "26207", "1A2B", "-C3D", false, 0, 0, 0, 0},
        {"GSM", "26207", "1A2B", "123456789", false, 0, 0, 0, 0},  // over 8 digits
    };
    for (const auto& r : rows) {
        const auto k = cellDbKeyFromPhone(r.radio, r.op, r.lac, r.ci);
        ASSERT_EQ(k.has_value(), r.ok) << r.op << " " << r.lac << " " << r.ci;
        if (!k) continue;
        EXPECT_EQ(k->radio, r.radio);
        EXPECT_EQ(k->mcc, r.mcc);
        EXPECT_EQ(k->net, r.net);
        EXPECT_EQ(k->area, r.area);
        EXPECT_EQ(k->cell, r.cell);
    }
}

TEST(CellDatabase, LoggedCellsExportAndImportBackToTheSamePositions) {
    // Two broadcast positions of one cell (the newer wins), one of another
    // cell south of the equator, a database position and a home centre,
    // which are not measurements of the cell and stay out.
    const CivilTime t1{2026, 12, 2, 8, 20, 5}, t2{2026, 12, 2, 9, 0, 0};
    const SentencePair a1 = buildPositionSentences(52.5, 13.4, t1, 0);
    const SentencePair a2 = buildPositionSentences(52.5037951, 13.4522282, t2, 0);
    const SentencePair b = buildEstimatedSentences(-33.8687, 151.2093, 0, t1, 0);
    SentencePair bSite = b;
    bSite.gga = buildPositionSentences(1, 1, t1, 0).gga;  // a site (quality 1)
    const SentencePair est = buildEstimatedSentences(48.1, 11.5, 1200, t1, 0);
    const std::string log =
        positionLogEntry("0C3D1A2B26207", "459870581994", "", a1.rmc, a1.gga) +
        positionLogEntry("0001000250501", "459870581994", "", b.rmc, b.gga) +
        positionLogEntry("0C3D1A2B26207", "459870581994", "Alex", a2.rmc, a2.gga) +
        positionLogEntry("0001000250501", "459870581994", "", bSite.rmc, bSite.gga) +
        positionLogEntry("0C3E1A2B26207", "", "", est.rmc, est.gga) +
        positionLogEntry("0C3F1A2B26207", "459870581994", "Home", a1.rmc, a1.gga);
    const LogCells cells = readLogCells(log);
    EXPECT_EQ(cells.rows.size(), 2u);
    EXPECT_EQ(cells.estimated, 2);  // the database positions, whatever their cell key
    EXPECT_EQ(cells.home, 1);
    ASSERT_EQ(cells.rows.size(), 2u);
    EXPECT_EQ(cells.rows[0].samples, 2);
    EXPECT_EQ(cells.rows[0].created, 1796199605);  // 2026-12-02T08:20:05Z
    EXPECT_EQ(cells.rows[0].updated, 1796202000);  // 2026-12-02T09:00:00Z

    TempDir t;
    const std::string csv = t.file("log.csv");
    writeFile(csv, writeCellCsv(cells.rows));
    const CellImportResult r = importCellCsv(csv, t.file("log.db"));
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.skipped, 0);
    const CellDatabase d = openDb(t.file("log.db"));
    const auto berlin = d.lookup({"GSM", 262, 7, 0x1A2B, 0x0C3D});
    ASSERT_TRUE(berlin);
    // The sentences' four decimals of the minute: within 0.2 m.
    EXPECT_NEAR(berlin->latitude, 52.5037951, 2e-6);
    EXPECT_NEAR(berlin->longitude, 13.4522282, 2e-6);
    EXPECT_FALSE(berlin->changeable);
    EXPECT_EQ(berlin->range, 0);
    const auto sydney = d.lookup({"GSM", 505, 1, 2, 1});
    ASSERT_TRUE(sydney);
    EXPECT_NEAR(sydney->latitude, -33.8687, 2e-6);
    EXPECT_NEAR(sydney->longitude, 151.2093, 2e-6);
}

namespace {

// Every row of the view, in key order, as text: two databases with the
// same cells give the same dump.
std::string dumpCells(const std::string& db) {
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    std::string out;
    if (sqlite3_prepare_v2(h, "SELECT * FROM cells ORDER BY radio, mcc, net, area, cell", -1, &s,
                           nullptr) == SQLITE_OK)
        while (sqlite3_step(s) == SQLITE_ROW) {
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                const unsigned char* t = sqlite3_column_text(s, i);
                out += t ? reinterpret_cast<const char*>(t) : "NULL";
                out += i + 1 < sqlite3_column_count(s) ? ',' : '\n';
            }
        }
    sqlite3_finalize(s);
    sqlite3_close(h);
    return out;
}

std::vector<std::int64_t> cellIds(const CellAreaLookup& r) {
    std::vector<std::int64_t> ids;
    for (const auto& row : r.rows) ids.push_back(row.key.cell);
    return ids;
}

}  // namespace

TEST(CellDatabase, ImportSortedInManyRunsGivesTheSameCells) {
    TempDir t;
    // The sample with each of its first thousand cells again, older, at
    // the end: the newest row must win across the runs too.
    std::string csv = readFile(samplePath());
    std::istringstream lines(csv);
    std::string l;
    std::getline(lines, l);
    for (int i = 0; i < 1000 && std::getline(lines, l);) {
        CellDbRow row;
        if (parseCellCsvRow(l, row) != CsvRowError::None) continue;
        row.updated -= 1000;
        row.latitude = 1;
        csv += cellCsvRow(row) + "\n";
        ++i;
    }
    writeFile(t.file("twice.csv"), csv);
    const std::string reference = t.file("one-run.db");
    ASSERT_TRUE(importCellCsv(t.file("twice.csv"), reference).ok);
    const std::string expected = dumpCells(reference);
    ASSERT_NE(expected, "");
    for (const std::size_t runRows : {std::size_t{50}, std::size_t{1000}}) {
        CellImportOptions o;
        o.runRows = runRows;
        const std::string db = t.file("runs.db");
        const CellImportResult r = importCellCsv(t.file("twice.csv"), db, o);
        ASSERT_TRUE(r.ok) << runRows << ": " << r.error;
        EXPECT_EQ(r.read, 6475) << runRows;
        EXPECT_EQ(r.stored, 5475) << runRows;
        EXPECT_EQ(dumpCells(db), expected) << runRows;
        expectSampleCells(openDb(db));
        EXPECT_EQ(scratchFile(db), "") << runRows;  // the run files are gone
    }
}

TEST(CellDatabase, UpdateMergesTheNewestRowOfEachCell) {
    TempDir t;
    const std::string db = t.file("cells.db");
    ASSERT_TRUE(importCellCsv(samplePath(), db).ok);
    // France GSM 208-1 1795/33036 is updated 1662739338 in the sample.
    writeFile(t.file("diff.csv"),
              std::string(kCellCsvHeader) +
                  "\n"
                  "GSM,208,1,1795,33036,-1,4.9,45.7,100,1,1,1,1700000000,0\n"  // newer: replaces
                  "GSM,208,1,1795,9014,-1,4.0,40.0,100,1,1,1,1500000000,0\n"   // older: kept
                  "LTE,262,2,7,1000,17,13.4,52.5,500,3,1,1,1700000000,0\n"     // new cell
                  "LTE,262,2,7,1000,18,13.5,52.6,500,3,1,1,1800000000,0\n"     // newer again
                  "LTE,262,2,7,1000,19,13.6,52.7,500,3,1,1,1600000000,0\n"     // older in the file
                  "LTE,262,2,7\n"                                              // malformed
                  "NR,505,3,50533,901136446,5,138.6,-34.9,900,2,0,1,1662700000,0\n");  // older
    CellImportOptions o;
    o.runRows = 2;
    const CellImportResult r = updateCellDb(t.file("diff.csv"), db, o);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.read, 7);
    EXPECT_EQ(r.skipped, 1);
    ASSERT_EQ(r.problems.size(), 1u);
    EXPECT_EQ(r.problems[0].line, 7);
    EXPECT_EQ(r.stored, 2);
    EXPECT_EQ(r.older, 2);
    EXPECT_EQ(rowCount(db), 5476);
    EXPECT_EQ(scratchFile(db), "");

    const CellDatabase d = openDb(db);
    const struct {
        const char* label;
        CellDbKey key;
        double lat;
        std::int64_t updated;
        int unit;
    } cases[] = {
        {"replaced", {"GSM", 208, 1, 1795, 33036}, 45.7, 1700000000, -1},
        {"kept", {"GSM", 208, 1, 1795, 9014}, 45.677833, 1662719451, 0},
        {"added, newest of the file", {"LTE", 262, 2, 7, 1000}, 52.6, 1800000000, 18},
        {"kept, the file's row older", {"NR", 505, 3, 50533, 901136446}, -34.950257, 1662748240, 0},
    };
    for (const auto& c : cases) {
        const auto p = d.lookup(c.key);
        ASSERT_TRUE(p) << c.label;
        EXPECT_DOUBLE_EQ(p->latitude, c.lat) << c.label;
        EXPECT_EQ(p->updated, c.updated) << c.label;
        EXPECT_EQ(p->unit, c.unit) << c.label;
    }
}

TEST(CellDatabase, AKilledUpdateLeavesTheDatabaseAsItWas) {
    TempDir t;
    const std::string db = t.file("cells.db");
    ASSERT_TRUE(importCellCsv(samplePath(), db).ok);
    const std::string before = dumpCells(db);
    std::string diff = std::string(kCellCsvHeader) + "\n";
    for (int i = 0; i < 20000; ++i)
        diff += "LTE,262,7," + std::to_string(i % 500) + "," + std::to_string(i) +
                ",1,13.4,52.5,1000,5,1,1,1900000000,0\n";
    writeFile(t.file("diff.csv"), diff);
    // Killed in the middle of writing its rows.
    const pid_t child = fork();
    if (child == 0) {
        CellImportOptions o;
        o.progressEvery = 1000;
        o.progress = [](const CellImportProgress& p) {
            if (p.written >= 10000) raise(SIGKILL);
        };
        updateCellDb(t.file("diff.csv"), db, o);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    const CellDatabase d = openDb(db);
    expectSampleCells(d);
    EXPECT_FALSE(d.lookup({"LTE", 262, 7, 0, 0}));
    EXPECT_EQ(dumpCells(db), before);
    // The next update goes through.
    const CellImportResult again = updateCellDb(t.file("diff.csv"), db);
    EXPECT_TRUE(again.ok) << again.error;
    EXPECT_EQ(again.stored, 20000);
    EXPECT_EQ(rowCount(db), 5475 + 20000);
}

TEST(CellDatabase, AreaAndUnitScans) {
    TempDir t;
    const std::string db = t.file("cells.db");
    ASSERT_TRUE(importCellCsv(samplePath(), db).ok);
    const CellDatabase d = openDb(db);
    const std::vector<std::int64_t> firstFive = {67633202, 67633264, 67633301, 67633390, 67731482};
    const struct {
        const char* label;
        CellAreaLookup r;
        CellLookupStatus status;
        std::size_t count;
        std::vector<std::int64_t> first;
    } cases[] = {
        {"area", d.findInArea("UMTS", 440, 10, 259), CellLookupStatus::Found, 17, firstFive},
        {"area, limited", d.findInArea("UMTS", 440, 10, 259, 5), CellLookupStatus::Found, 5,
         firstFive},
        {"unit 88",
         d.findByUnit("UMTS", 440, 10, 259, 88),
         CellLookupStatus::Found,
         2,
         {67633264, 67846511}},
        {"unit nobody sends",
         d.findByUnit("UMTS", 440, 10, 259, 500),
         CellLookupStatus::Unknown,
         0,
         {}},
        {"unknown unit", d.findByUnit("UMTS", 440, 10, 259, -1), CellLookupStatus::Unknown, 0, {}},
        {"other net", d.findInArea("UMTS", 440, 11, 259), CellLookupStatus::Unknown, 0, {}},
        {"area beyond 24 bits",
         d.findInArea("LTE", 262, 1, kCellDbAreaLimit),
         CellLookupStatus::Unknown,
         0,
         {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.r.status, c.status) << c.label;
        ASSERT_EQ(c.r.rows.size(), c.count) << c.label;
        const auto ids = cellIds(c.r);
        EXPECT_TRUE(std::equal(c.first.begin(), c.first.end(), ids.begin())) << c.label;
    }
    // A row carries its position and unit.
    const CellDbRow& r = cases[2].r.rows[1];
    EXPECT_EQ(r.key.radio, "UMTS");
    EXPECT_EQ(r.key.area, 259);
    EXPECT_DOUBLE_EQ(r.latitude, 35.89727);
    EXPECT_DOUBLE_EQ(r.longitude, 139.630529);
    EXPECT_EQ(r.range, 1000);
    EXPECT_EQ(r.unit, 88);
}

TEST(CellDatabase, UnitAndAreaFieldsOfTheRow) {
    const struct {
        const char* unit;
        const char* area;
        CsvRowError error;
        int expected;
    } rows[] = {
        {"-1", "1795", CsvRowError::None, -1},
        {"", "1795", CsvRowError::None, -1},
        {"0", "1795", CsvRowError::None, 0},
        {"503", "1795", CsvRowError::None, 503},
        {"1007", "1795", CsvRowError::None, 1007},
        {"x", "1795", CsvRowError::None, -1},     // older files' other uses of the field
        {"5000", "1795", CsvRowError::None, -1},  // no PSC or PCI
        {"1", "16777215", CsvRowError::None, 1},  // NR's 24-bit TAC
        {"1", "16777216", CsvRowError::NotANumber, 0},
    };
    for (const auto& r : rows) {
        CellDbRow row;
        const std::string line =
            std::string("NR,208,1,") + r.area + ",33036," + r.unit + ",4.8,45.6,1,2,1,1,1,0";
        ASSERT_EQ(parseCellCsvRow(line, row), r.error) << line;
        if (r.error == CsvRowError::None) {
            EXPECT_EQ(row.unit, r.expected) << line;
        }
    }
}

TEST(CellDatabase, VersionOneFilesAreStillRead) {
    TempDir t;
    const std::string db = t.file("old.db");
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(
                  h,
                  "PRAGMA application_id=1182101099; PRAGMA user_version=1;"
                  "CREATE TABLE cells(radio TEXT NOT NULL, mcc INTEGER NOT NULL,"
                  " net INTEGER NOT NULL, area INTEGER NOT NULL, cell INTEGER NOT NULL,"
                  " lon REAL NOT NULL, lat REAL NOT NULL, range INTEGER NOT NULL,"
                  " samples INTEGER NOT NULL, changeable INTEGER NOT NULL,"
                  " updated INTEGER NOT NULL, PRIMARY KEY(radio, mcc, net, area, cell))"
                  " WITHOUT ROWID;"
                  "INSERT INTO cells VALUES('GSM', 262, 7, 100, 200, 13.4, 52.5, 1000, 5, 1, 1600),"
                  " ('GSM', 262, 7, 100, 201, -58.38, -34.6, 0, 9, 0, 1700),"
                  " ('GSM', 262, 7, 101, 200, 1, 1, 1, 1, 1, 1);",
                  nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(h);

    const CellDatabase d = openDb(db);
    EXPECT_EQ(d.version(), 1);
    const auto p = d.lookup({"GSM", 262, 7, 100, 201});
    ASSERT_TRUE(p);
    EXPECT_DOUBLE_EQ(p->latitude, -34.6);
    EXPECT_DOUBLE_EQ(p->longitude, -58.38);
    EXPECT_EQ(p->samples, 9);
    EXPECT_FALSE(p->changeable);
    EXPECT_EQ(p->updated, 1700);
    EXPECT_EQ(p->unit, -1);
    EXPECT_FALSE(d.lookup({"GSM", 262, 7, 100, 202}));
    EXPECT_EQ(cellIds(d.findInArea("GSM", 262, 7, 100)), (std::vector<std::int64_t>{200, 201}));
    EXPECT_EQ(d.findByUnit("GSM", 262, 7, 100, 0).status, CellLookupStatus::Unknown);

    // An update needs the new layout and leaves the old file alone.
    const std::string bytes = readFile(db);
    writeFile(t.file("diff.csv"), "GSM,262,7,100,200,0,13.4,52.5,1000,5,1,1,1800,0\n");
    const CellImportResult r = updateCellDb(t.file("diff.csv"), db);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("hat das Format 1"), std::string::npos) << r.error;
    EXPECT_TRUE(readFile(db) == bytes);
}

namespace {

// The view's row of one cell: unit, lon, lat, range, samples, changeable,
// updated; empty when the view does not have it.
struct ViewRow {
    int unit = 0;
    double lon = 0, lat = 0;
    std::int64_t range = 0, samples = 0, changeable = 0, updated = 0;
};
std::optional<ViewRow> viewRow(const std::string& db, const CellDbKey& k) {
    sqlite3* h = nullptr;
    sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* s = nullptr;
    std::optional<ViewRow> out;
    sqlite3_prepare_v2(h,
                       "SELECT unit, lon, lat, range, samples, changeable, updated FROM cells"
                       " WHERE radio=?1 AND mcc=?2 AND net=?3 AND area=?4 AND cell=?5",
                       -1, &s, nullptr);
    sqlite3_bind_text(s, 1, k.radio.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 2, k.mcc);
    sqlite3_bind_int(s, 3, k.net);
    sqlite3_bind_int64(s, 4, k.area);
    sqlite3_bind_int64(s, 5, k.cell);
    if (sqlite3_step(s) == SQLITE_ROW)
        out = ViewRow{sqlite3_column_int(s, 0),    sqlite3_column_double(s, 1),
                      sqlite3_column_double(s, 2), sqlite3_column_int64(s, 3),
                      sqlite3_column_int64(s, 4),  sqlite3_column_int64(s, 5),
                      sqlite3_column_int64(s, 6)};
    sqlite3_finalize(s);
    sqlite3_close(h);
    return out;
}

}  // namespace

TEST(CellDatabase, EveryStoredLayoutKeepsTheValuesAtItsLimitsExactly) {
    // Each row at the edge of one way the file keeps a cell: the figures in
    // 15, 16, 17 or 26 bytes (0: the cell is keyed wide).
    const struct {
        const char* label;
        const char* row;
        int bytes;
    } rows[] = {
        {"15 at its limits",
         "LTE,262,1,65535,268435455,1022,180.000000,90.000000,8191,255,0,1,4294967295", 15},
        {"smallest key", "GSM,1,0,0,0,,-180.000000,-90.000000,,,1,1,0", 15},
        {"16: range past 15", "LTE,262,1,5,1,1022,1.5,2.5,8192,255,1,1,1", 16},
        {"16: unit past 15", "LTE,262,1,5,2,1023,1.5,2.5,8191,255,1,1,1", 16},
        {"16 at its limits", "LTE,262,1,5,3,2046,-0.000001,0.000001,131071,2047,1,1,1", 16},
        {"17 at its limits", "UMTS,262,1,5,4,511,1.5,2.5,1048575,65535,0,1,1", 17},
        {"26: range past 17", "UMTS,262,1,5,5,511,1.5,2.5,1048576,1,1,1,1", 26},
        {"26: samples past 17", "UMTS,262,1,5,6,511,1.5,2.5,1,65536,1,1,1", 26},
        {"26: seven decimals", "GSM,262,1,5,7,,13.4050001,-33.8687009,1,1,1,1,1", 26},
        {"26: seconds past 32 bits", "GSM,262,1,5,8,,1.5,2.5,1,1,1,1,4294967296", 26},
        {"26: before 1970", "GSM,262,1,5,9,,1.5,2.5,1,1,1,1,-1", 26},
        {"26 at the row's limits",
         "GSM,262,1,5,10,2046,-179.9999999,89.9999999,100000000,2000000000,0,1,"
         "9223372036854775807",
         26},
        {"26, earliest time", "GSM,262,1,5,11,,1.5,2.5,1,1,1,1,-9223372036854775808", 26},
        {"wide: area past 16 bits", "NR,505,3,65536,1,1007,138.6,-34.9,900,2,1,1,1662700000", 0},
        {"wide: id past 28 bits, beside a narrow one",
         "LTE,262,1,65535,268435456,7,1.5,2.5,1,1,1,1,1", 0},
        {"wide at its limits", "NR,999,999,16777215,9223372036854775807,0,1.5,2.5,1,1,1,1,1", 0},
    };
    TempDir t;
    std::string csv = std::string(kCellCsvHeader) + "\n";
    for (const auto& r : rows) csv += std::string(r.row) + ",0\n";
    writeFile(t.file("limits.csv"), csv);
    const std::string db = t.file("limits.db");
    const CellImportResult imported = importCellCsv(t.file("limits.csv"), db);
    ASSERT_TRUE(imported.ok) << imported.error;
    ASSERT_EQ(imported.stored, static_cast<std::int64_t>(std::size(rows)));
    const CellDatabase d = openDb(db);
    EXPECT_EQ(d.version(), 3);

    sqlite3* h = nullptr;
    sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READONLY, nullptr);
    for (const auto& r : rows) {
        CellDbRow want;
        ASSERT_EQ(parseCellCsvRow(r.row, want), CsvRowError::None) << r.label;
        const CellLookup got = d.find(want.key);
        ASSERT_EQ(got.status, CellLookupStatus::Found) << r.label;
        const CellDbPosition& p = got.position;
        EXPECT_EQ(p.latitude, want.latitude) << r.label;
        EXPECT_EQ(p.longitude, want.longitude) << r.label;
        EXPECT_EQ(p.range, want.range) << r.label;
        EXPECT_EQ(p.samples, want.samples) << r.label;
        EXPECT_EQ(p.unit, want.unit) << r.label;
        EXPECT_EQ(p.changeable, want.changeable) << r.label;
        EXPECT_EQ(p.updated, want.updated) << r.label;
        const auto v = viewRow(db, want.key);
        ASSERT_TRUE(v) << r.label;
        EXPECT_EQ(v->lat, want.latitude) << r.label;
        EXPECT_EQ(v->lon, want.longitude) << r.label;
        EXPECT_EQ(v->range, want.range) << r.label;
        EXPECT_EQ(v->samples, want.samples) << r.label;
        EXPECT_EQ(v->unit, want.unit) << r.label;
        EXPECT_EQ(v->changeable, want.changeable ? 1 : 0) << r.label;
        EXPECT_EQ(v->updated, want.updated) << r.label;
        // The layout the row took: the blob's length, 0 in wide_cells.
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(h,
                           "SELECT length(data) FROM packed_cells WHERE k&268435455=?1"
                           " AND k>>28&65535=?2",
                           -1, &s, nullptr);
        sqlite3_bind_int64(s, 1, want.key.cell);
        sqlite3_bind_int64(s, 2, want.key.area);
        const int bytes = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : 0;
        sqlite3_finalize(s);
        EXPECT_EQ(bytes, r.bytes) << r.label;
    }
    sqlite3_close(h);

    // One area's narrow and wide cells come in the order of their ids.
    EXPECT_EQ(cellIds(d.findInArea("LTE", 262, 1, 65535)),
              (std::vector<std::int64_t>{268435455, 268435456}));
    EXPECT_EQ(cellIds(d.findInArea("LTE", 262, 1, 65535, 1)),
              (std::vector<std::int64_t>{268435455}));
    EXPECT_EQ(cellIds(d.findByUnit("LTE", 262, 1, 65535, 7)),
              (std::vector<std::int64_t>{268435456}));
    EXPECT_EQ(cellIds(d.findByUnit("LTE", 262, 1, 5, 511)), (std::vector<std::int64_t>{}));
    EXPECT_EQ(cellIds(d.findByUnit("UMTS", 262, 1, 5, 511)), (std::vector<std::int64_t>{4, 5, 6}));
    EXPECT_EQ(d.find({"LTE", 262, 2, 5, 1}).status, CellLookupStatus::Unknown);  // no such net
}

TEST(CellDatabase, VersionTwoFilesAreStillRead) {
    TempDir t;
    const std::string db = t.file("v2.db");
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &h), SQLITE_OK);
    // GSM 262-7 area 100: cells 200 (unit 5) and 201 (south-west, unit unknown).
    ASSERT_EQ(sqlite3_exec(
                  h,
                  "PRAGMA application_id=1182101099; PRAGMA user_version=2;"
                  "CREATE TABLE packed_cells(netarea INTEGER NOT NULL, cell INTEGER NOT NULL,"
                  " pos INTEGER NOT NULL, updated INTEGER NOT NULL, info INTEGER NOT NULL,"
                  " samples INTEGER NOT NULL, PRIMARY KEY(netarea, cell)) WITHOUT ROWID;"
                  "INSERT INTO packed_cells VALUES"
                  " ((2262007 << 24) | 100, 200, ((525000000 + 900000000) << 32) | (134000000 +"
                  " 1800000000), 1600, (1000 << 12) | (6 << 1) | 1, 5),"
                  " ((2262007 << 24) | 100, 201, ((-346000000 + 900000000) << 32) | (-583800000 +"
                  " 1800000000), 1700, (0 << 12) | (0 << 1) | 0, 9);",
                  nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(h);

    const CellDatabase d = openDb(db);
    EXPECT_EQ(d.version(), 2);
    const auto p = d.lookup({"GSM", 262, 7, 100, 201});
    ASSERT_TRUE(p);
    EXPECT_EQ(p->latitude, -34.6);
    EXPECT_EQ(p->longitude, -58.38);
    EXPECT_EQ(p->samples, 9);
    EXPECT_FALSE(p->changeable);
    EXPECT_EQ(p->updated, 1700);
    EXPECT_EQ(p->unit, -1);
    EXPECT_FALSE(d.lookup({"GSM", 262, 7, 100, 202}));
    EXPECT_EQ(cellIds(d.findInArea("GSM", 262, 7, 100)), (std::vector<std::int64_t>{200, 201}));
    EXPECT_EQ(cellIds(d.findByUnit("GSM", 262, 7, 100, 5)), (std::vector<std::int64_t>{200}));

    // An update needs the new layout and leaves the file alone.
    const std::string bytes = readFile(db);
    writeFile(t.file("diff.csv"), "GSM,262,7,100,200,0,13.4,52.5,1000,5,1,1,1800,0\n");
    const CellImportResult r = updateCellDb(t.file("diff.csv"), db);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("hat das Format 2"), std::string::npos) << r.error;
    EXPECT_TRUE(readFile(db) == bytes);
}

TEST(CellDatabase, NetworksPastTheKeysRoomStayInTheView) {
    // More networks than the narrow key numbers (2^19): the later ones are
    // keyed wide, and every cell stays in the view and is found.
    const char* radios[] = {"CDMA", "GSM", "LTE", "NR", "UMTS"};
    const int networks = (1 << 19) + 10;
    std::string csv = std::string(kCellCsvHeader) + "\n";
    csv.reserve(static_cast<std::size_t>(networks) * 48);
    for (int i = 0; i < networks; ++i)
        csv += std::string(radios[i % 5]) + "," + std::to_string(i / 5 % 1000) + "," +
               std::to_string(i / 5000) + ",1,1,,1.5,2.5,1,1,1,1," + std::to_string(i) + ",0\n";
    TempDir t;
    writeFile(t.file("nets.csv"), csv);
    const std::string db = t.file("nets.db");
    const CellImportResult r = importCellCsv(t.file("nets.csv"), db);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(rowCount(db), networks);
    const CellDatabase d = openDb(db);
    for (const int i : {0, networks - 1}) {
        const auto p = d.lookup({radios[i % 5], i / 5 % 1000, i / 5000, 1, 1});
        ASSERT_TRUE(p) << i;
        EXPECT_EQ(p->updated, i);
    }
}
