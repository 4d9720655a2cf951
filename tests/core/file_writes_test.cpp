// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/file_writes.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/ini_file.h"
#include "core/position_log.h"

using namespace funkor;
namespace fs = std::filesystem;

namespace {

class FileWrites : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("funkor_writes_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        unlimit();
        fs::remove_all(dir_);
    }

    std::string path(const char* name) const { return (dir_ / name).string(); }
    static void put(const std::string& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    static std::string get(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    // A full disk as `ulimit -f` makes one: files of this process cannot grow
    // beyond `bytes`, and the write fails with EFBIG instead of the signal.
    void limit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit l = saved_;
        l.rlim_cur = bytes;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &l), 0);
        limited_ = true;
    }
    void unlimit() {
        if (limited_) setrlimit(RLIMIT_FSIZE, &saved_);
        limited_ = false;
    }

    fs::path dir_;
    rlimit saved_{};
    bool limited_ = false;
};

}  // namespace

TEST_F(FileWrites, AppendStartsARecordOnALineOfItsOwn) {
    const struct {
        const char* legend;
        const char* before;  // nullptr: no file
        const char* after;
    } cases[] = {
        {"no file: created", nullptr, "B\r\n"},
        {"empty file", "", "B\r\n"},
        {"ended last line", "A\r\n", "A\r\nB\r\n"},
        {"LF only, as an editor may leave it", "A\n", "A\nB\r\n"},
        {"torn last record (a program stopped mid-write): ended first", "$GPTXT,4E21",
         "$GPTXT,4E21\r\nB\r\n"},
        {"a CR without its LF counts as open", "A\r", "A\r\r\nB\r\n"},
    };
    for (const auto& c : cases) {
        const std::string p = path("Funkor.log");
        fs::remove(p);
        if (c.before) put(p, c.before);
        EXPECT_EQ(appendWhole(p, "B\r\n"), 0) << c.legend;
        EXPECT_EQ(get(p), c.after) << c.legend;
    }
}

TEST_F(FileWrites, AfterATornEntryTheNextEntryIsReadWhole) {
    const std::string p = path("Funkor.log");
    const std::string entry =
        positionLogEntry("4E21C67C26207", "459870581994", "", "$GPRMC,R*00\r\n", "$GPGGA,G*00\r\n");
    put(p, entry + entry.substr(0, 50));  // killed inside the second entry
    ASSERT_EQ(appendWhole(p, entry), 0);
    const auto entries = readPositionLog(get(p));
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].header, entries[0].header);
    EXPECT_EQ(entries[2].rmc, "$GPRMC,R*00");
    EXPECT_EQ(entries[2].gga, "$GPGGA,G*00");
}

TEST_F(FileWrites, FullDiskLeavesWhatWasWritten) {
    const std::string log = path("Funkor.log");
    const std::string ini = path("Funkor.ini");
    const std::string names = path("Funkor.txt");
    put(log, std::string(100, 'L') + "\r\n");
    put(ini, "[Ports]\r\nGSM=3\r\n");
    put(names, "451818 582197 Tow");  // torn, and the disk full after it
    const std::string logBefore = get(log);
    limit(150);

    // Half the record would fit: it is taken back whole.
    EXPECT_EQ(appendWhole(log, std::string(80, 'x') + "\r\n"), EFBIG);
    EXPECT_EQ(get(log), logBefore);
    // A record far beyond the room: the torn line before it is not even ended.
    EXPECT_EQ(appendWhole(names, std::string(200, 'n')), EFBIG);
    EXPECT_EQ(get(names), "451818 582197 Tow");
    // The settings stay the old ones, and no temporary file is left.
    EXPECT_EQ(replaceWhole(ini, "[Ports]\r\nGSM=5\r\n" + std::string(300, ';') + "\r\n"), EFBIG);
    EXPECT_FALSE(ini::writeStrings(ini, {{"Ports", "GSM", std::string(300, '5')}}));
    EXPECT_EQ(get(ini), "[Ports]\r\nGSM=3\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);

    unlimit();
    EXPECT_EQ(appendWhole(log, "E\r\n"), 0);
    EXPECT_EQ(get(log), logBefore + "E\r\n");
}

TEST_F(FileWrites, ReplaceKeepsPermissionsAndFollowsALink) {
    const std::string real = path("real.ini");
    const std::string link = path("Funkor.ini");
    put(real, "old\n");
    fs::permissions(real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(real, link);
    ASSERT_EQ(replaceWhole(link, "new\n"), 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(get(real), "new\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(replaceWhole(path("no/such/folder/Funkor.ini"), "x"), ENOENT);
}

TEST_F(FileWrites, SeveralKeysGoInOneSave) {
    const std::string ini = path("Funkor.ini");
    put(ini, "[Devices]\r\nCOM1=/dev/ttyUSB0\r\n[Ports]\r\nGSM=1\r\n");
    ASSERT_TRUE(ini::writeStrings(
        ini, {{"Ports", "GSM", "3"}, {"Ports", "Baud", "1"}, {"Trace", "on", "1"}}));
    EXPECT_EQ(
        get(ini),
        "[Devices]\r\nCOM1=/dev/ttyUSB0\r\n[Ports]\r\nGSM=3\r\nBaud=1\r\n[Trace]\r\non=1\r\n");
    // One key that cannot be stored: none is.
    EXPECT_FALSE(ini::writeStrings(ini, {{"Ports", "GSM", "4"}, {"Ports", "Baud", "1\n[X]"}}));
    EXPECT_EQ(ini::getInt(ini, "Ports", "GSM", 0), 3);
}

TEST(FileWriteReasons, SayWhyInTheUsersWords) {
    const struct {
        int error;
        const char* reason;
    } cases[] = {
        {ENOSPC, "Datentr\xE4ger voll"},
        {EFBIG, "Datentr\xE4ger voll"},
        {EDQUOT, "Datentr\xE4ger voll"},
        {EACCES, "keine Berechtigung"},
        {EROFS, "Datentr\xE4ger schreibgesch\xFCtzt"},
        {ENOENT, "Ordner nicht vorhanden"},
        {EMFILE, "Fehler 24"},
    };
    for (const auto& c : cases) EXPECT_EQ(writeErrorReason(c.error), c.reason) << c.error;
}
