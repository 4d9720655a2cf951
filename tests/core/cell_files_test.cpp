// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/cell_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace funkor;
namespace fs = std::filesystem;

TEST(CellFiles, CellNameLookup) {
    const std::vector<std::string> lines = {"4E21C67C26207 Bahnhof", "4E21C67C26207 Zweiter Name",
                                            "9C40C67C26207 ", "1234C67C26201 Fremdnetz", ""};
    const struct {
        const char* key;
        std::optional<std::string> caption;
    } cases[] = {
        {"4E21C67C26207", " Bahnhof"},  // the first line of a key wins
        {"9C40C67C26207", " "},         // key and blank only: a name of one blank
        {"1234C67C26201", " Fremdnetz"}, {"4E21C67C26201", std::nullopt},
        {"4e21c67c26207", std::nullopt},  // exact comparison
    };
    for (const auto& c : cases) EXPECT_EQ(findCellName(lines, c.key), c.caption) << c.key;
}

TEST(CellFiles, SiteNameLookup) {
    const std::vector<std::string> lines = {"451818 582197 Tower", "459870 581994 Fernsehturm",
                                            "451818 582197 Sp\xE4ter", "4518"};
    EXPECT_EQ(findSiteName(lines, "451818582197"), " Tower");
    EXPECT_EQ(findSiteName(lines, "459870581994"), " Fernsehturm");
    EXPECT_EQ(findSiteName(lines, "451818582198"), std::nullopt);
    EXPECT_EQ(findSiteName(lines, ""), std::nullopt);
}

TEST(CellFiles, RecordLines) {
    EXPECT_EQ(cellNameLine("4E21C67C26207", "Bahnhof"), "4E21C67C26207 Bahnhof");
    EXPECT_EQ(siteNameLine("451818582197", "Tower"), "451818 582197 Tower");
    EXPECT_EQ(cellNameLine("4E21C67C26207", "Zwei\r\nZeilen"), "4E21C67C26207 Zwei  Zeilen");
}

TEST(CellFiles, AppendedRecordsAreFoundAndMissingFilesMatchNothing) {
    const fs::path dir =
        fs::temp_directory_path() / ("funkor_cell_files_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string clf = (dir / kCellNameFile).string();
    const std::string txt = (dir / kSiteNameFile).string();

    EXPECT_EQ(findCellNameInFile(clf, "4E21C67C26207"), std::nullopt);  // file missing
    EXPECT_EQ(findSiteNameInFile(txt, "451818582197"), std::nullopt);

    EXPECT_EQ(appendRecord(clf, cellNameLine("4E21C67C26207", "Bahnhof")), 0);
    EXPECT_EQ(appendRecord(clf, cellNameLine("4E21C67C26207", "Sp\xE4ter")), 0);
    EXPECT_EQ(appendRecord(txt, siteNameLine("451818582197", "Tower")), 0);
    EXPECT_EQ(findCellNameInFile(clf, "4E21C67C26207"), " Bahnhof");
    EXPECT_EQ(findSiteNameInFile(txt, "451818582197"), " Tower");

    std::ifstream in(clf, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), "4E21C67C26207 Bahnhof\r\n4E21C67C26207 Sp\xE4ter\r\n");

    EXPECT_EQ(appendRecord((dir / "no" / "such" / "dir.clf").string(), "x"), ENOENT);
    fs::remove_all(dir);
}

TEST(CellFiles, NamingChoice) {
    constexpr const char* kCell = "4E21C67C26207";
    constexpr const char* kSite = "451818582197";
    const struct {
        const char* legend;
        bool left;
        const char* op;
        const char* caption;
        const char* cellKey;
        const char* positionKey;
        NamingChoice::File file;
        bool beep;
    } cases[] = {
        {"left on O2 names the site", true, "26207", "", kCell, kSite, NamingChoice::SiteFile,
         false},
        {"left elsewhere beeps and names the cell", true, "26201", "", kCell, kSite,
         NamingChoice::CellFile, true},
        {"right names the cell", false, "26207", "", kCell, kSite, NamingChoice::CellFile, false},
        {"named cell is left alone", false, "26207", " Bahnhof", kCell, kSite, NamingChoice::None,
         false},
        {"home display is left alone", true, "26207", " Home", kCell, kSite, NamingChoice::None,
         false},
        {"a single blank is a name", true, "26207", " ", kCell, kSite, NamingChoice::None, false},
        {"left on O2 before the first broadcast: beep, the cell", true, "26207", "", kCell, "",
         NamingChoice::CellFile, true},
        {"left on O2 with a garbled position: beep, the cell", true, "26207", "", kCell,
         "45181858219x", NamingChoice::CellFile, true},
        {"right without a registered cell: beep, nothing", false, "26207", "", "", kSite,
         NamingChoice::None, true},
        {"right before the operator code came: beep, nothing", false, "", "", "4E21C67C", kSite,
         NamingChoice::None, true},
        {"left off O2 without a cell: one beep, nothing", true, "26201", "", "", kSite,
         NamingChoice::None, true},
    };
    for (const auto& c : cases) {
        const auto n = chooseNamingFile(c.left, c.op, c.caption, c.cellKey, c.positionKey);
        EXPECT_EQ(n.file, c.file) << c.legend;
        EXPECT_EQ(n.beep, c.beep) << c.legend;
    }
}

TEST(CellFiles, AppendingToAFileWithoutFinalLineEndKeepsBothRecords) {
    const fs::path dir =
        fs::temp_directory_path() / ("funkor_cell_files_end_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    const struct {
        const char* legend;
        const char* before;
        const char* after;
    } cases[] = {
        {"last record without line end", "1111C67C26207 Markt",
         "1111C67C26207 Markt\r\n4E21C67C26207 Bahnhof\r\n"},
        {"last record with LF only", "1111C67C26207 Markt\n",
         "1111C67C26207 Markt\n4E21C67C26207 Bahnhof\r\n"},
        {"last record with CR LF", "1111C67C26207 Markt\r\n",
         "1111C67C26207 Markt\r\n4E21C67C26207 Bahnhof\r\n"},
        {"empty file", "", "4E21C67C26207 Bahnhof\r\n"},
    };
    for (const auto& c : cases) {
        const std::string clf = (dir / kCellNameFile).string();
        std::ofstream(clf, std::ios::binary | std::ios::trunc) << c.before;
        ASSERT_EQ(appendRecord(clf, cellNameLine("4E21C67C26207", "Bahnhof")), 0) << c.legend;
        std::ifstream in(clf, std::ios::binary);
        std::stringstream bytes;
        bytes << in.rdbuf();
        EXPECT_EQ(bytes.str(), c.after) << c.legend;
        EXPECT_EQ(findCellNameInFile(clf, "4E21C67C26207"), " Bahnhof") << c.legend;
        EXPECT_EQ(
            findCellNameInFile(clf, "1111C67C26207"),
            std::string(c.before).empty() ? std::nullopt : std::optional<std::string>(" Markt"))
            << c.legend;
    }
    fs::remove_all(dir);
}

// Long cell identities (UMTS, LTE) are filed under their 17-character key;
// the key of a record is its text up to the first blank, so a long key and
// a 13-character key never stand for each other.
TEST(CellFiles, LongKeysAreFoundWholeUpToTheBlank) {
    const std::vector<std::string> lines = {
        "0079D9031F0026201 Rathaus", "0079D9031F0026202 Anderes Netz", "4E21C67C26207 Bahnhof",
        "0079D903 kein Schluessel", "079D90311F0026201"};
    const struct {
        const char* key;
        std::optional<std::string> caption;
    } cases[] = {
        {"0079D9031F0026201", " Rathaus"},
        {"0079D9031F0026202", " Anderes Netz"},
        {"4E21C67C26207", " Bahnhof"},
        {"0079D9031F002620", std::nullopt},  // a key cut short matches nothing
        {"0079D903", " kein Schluessel"},    // the whole key up to the blank
        {"079D90311F0026201", " "},          // a key alone on its line
    };
    for (const auto& c : cases) EXPECT_EQ(findCellName(lines, c.key), c.caption) << c.key;
    EXPECT_EQ(cellNameLine("0079D9031F0026201", "Rathaus"), "0079D9031F0026201 Rathaus");
    EXPECT_EQ(chooseNamingFile(false, "26201", "", "0079D9031F0026201", "").file,
              NamingChoice::CellFile);
    EXPECT_EQ(chooseNamingFile(false, "26201", "", "0079D9031F00262", "").file, NamingChoice::None);
}
