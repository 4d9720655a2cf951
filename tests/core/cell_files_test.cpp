#include "core/cell_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

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
    for (const auto& c : cases) EXPECT_EQ(FindCellName(lines, c.key), c.caption) << c.key;
}

TEST(CellFiles, SiteNameLookup) {
    const std::vector<std::string> lines = {"451818 582197 Tower", "459870 581994 Fernsehturm",
                                            "451818 582197 Sp\xE4ter", "4518"};
    EXPECT_EQ(FindSiteName(lines, "451818582197"), " Tower");
    EXPECT_EQ(FindSiteName(lines, "459870581994"), " Fernsehturm");
    EXPECT_EQ(FindSiteName(lines, "451818582198"), std::nullopt);
    EXPECT_EQ(FindSiteName(lines, ""), std::nullopt);
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

    EXPECT_EQ(FindCellNameInFile(clf, "4E21C67C26207"), std::nullopt);  // file missing
    EXPECT_EQ(FindSiteNameInFile(txt, "451818582197"), std::nullopt);

    EXPECT_TRUE(appendRecordLine(clf, cellNameLine("4E21C67C26207", "Bahnhof")));
    EXPECT_TRUE(appendRecordLine(clf, cellNameLine("4E21C67C26207", "Sp\xE4ter")));
    EXPECT_TRUE(appendRecordLine(txt, siteNameLine("451818582197", "Tower")));
    EXPECT_EQ(FindCellNameInFile(clf, "4E21C67C26207"), " Bahnhof");
    EXPECT_EQ(FindSiteNameInFile(txt, "451818582197"), " Tower");

    std::ifstream in(clf, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    EXPECT_EQ(bytes.str(), "4E21C67C26207 Bahnhof\r\n4E21C67C26207 Sp\xE4ter\r\n");

    EXPECT_FALSE(appendRecordLine((dir / "no" / "such" / "dir.clf").string(), "x"));
    fs::remove_all(dir);
}

TEST(CellFiles, NamingChoice) {
    const struct {
        const char* legend;
        bool left;
        const char* op;
        const char* caption;
        NamingChoice::File file;
        bool beep;
    } cases[] = {
        {"left on O2 names the site", true, "26207", "", NamingChoice::SiteFile, false},
        {"left elsewhere beeps and names the cell", true, "26201", "", NamingChoice::CellFile,
         true},
        {"right names the cell", false, "26207", "", NamingChoice::CellFile, false},
        {"named cell is left alone", false, "26207", " Bahnhof", NamingChoice::None, false},
        {"home display is left alone", true, "26207", " Home", NamingChoice::None, false},
        {"a single blank is a name", true, "26207", " ", NamingChoice::None, false},
    };
    for (const auto& c : cases) {
        const auto n = chooseNamingFile(c.left, c.op, c.caption);
        EXPECT_EQ(n.file, c.file) << c.legend;
        EXPECT_EQ(n.beep, c.beep) << c.legend;
    }
}
