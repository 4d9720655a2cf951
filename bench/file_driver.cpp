// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Writes and reads the program's files through the program's own code:
// position log entries, cell and site names appended as the window appends
// them, settings saved as the window saves them. bench/kill_files runs it,
// kills it at random moments and checks the files after each kill.
//
//   funkor-file-driver write DIR RUN [COUNT]
//       appends entries numbered 0, 1, 2 ... of run RUN to "Funkor.log",
//       "Funkor.clf" and "Funkor.txt" and saves the settings every 25th
//       entry; prints "ready" once it starts writing. Without COUNT it runs
//       until it is killed; with COUNT it stops after COUNT entries and
//       prints what failed as JSON (for a full disk).
//   funkor-file-driver check DIR
//       reads the files with the program's readers and prints as JSON what
//       they found: entries whole and torn, whether every run's entries are
//       complete up to the last one, and whether the settings are one save.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/cell_files.h"
#include "core/data_files.h"
#include "core/fields.h"
#include "core/file_writes.h"
#include "core/ini_file.h"
#include "core/log_export.h"
#include "core/nmea.h"
#include "core/position_log.h"
#include "core/position_texts.h"

namespace {

std::string hex4(long v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04lX", v & 0xFFFF);
    return buf;
}

std::string digits6(long v) {
    char buf[12];
    std::snprintf(buf, sizeof buf, "%06ld", v % 1000000);
    return buf;
}

// What entry `index` of run `run` holds; the check recognises it again.
struct Record {
    std::string cellKey;
    std::string positionKey;
    std::string name;
    funkor::SentencePair sentences;
};

Record recordOf(long run, long index) {
    Record r;
    r.cellKey = hex4(index) + hex4(run) + "26207";
    r.positionKey = digits6(400000 + index % 200000) + digits6(500000 + run % 400000);
    // 8-bit text as the files hold it: "Lauf 3 Nr 17 Straße".
    r.name = "Lauf " + std::to_string(run) + " Nr " + std::to_string(index) + " Stra\xDF" + "e";
    // Every sixteenth name is long: a write of several pages is where a kill
    // can land in the middle of a record (the system copies page by page and
    // gives up at a page boundary when the process is being killed).
    if (index % 16 == 15) r.name.append(16 * 1024, '.');
    funkor::CivilTime t{2026, 12, 8, 8, 0, 0};
    t.second = static_cast<int>(index % 60);
    t.minute = static_cast<int>((index / 60) % 60);
    r.sentences =
        funkor::buildPositionSentences(52.0 + static_cast<double>(index % 100000) * 1e-5,
                                       13.0 + static_cast<double>(run % 1000) * 1e-3, t, 1);
    return r;
}

// The keys the window's "save settings" writes, plus the generation twice,
// first and last, so that a mixture of two saves shows.
std::vector<funkor::ini::Entry> settingsOf(long generation) {
    const auto v = [](long x) { return std::to_string(x); };
    return {{"Check", "Generation", v(generation)},
            {"Ports", "GSM", "17"},
            {"Ports", "GPS", "0"},
            {"Ports", "NMEA", "0"},
            {"Ports", "Baud", v(generation % 3)},
            {"Trace", "on", v(generation % 2)},
            {"Trace", "new", v((generation / 2) % 2)},
            {"Sources", "GSM", v((generation / 4) % 2)},
            {"Check", "Copy", v(generation)}};
}

std::string inFolder(const std::string& dir, const char* name) {
    return dir + "/" + name;
}

int write(const std::string& dir, long run, long count) {
    const std::string log = inFolder(dir, funkor::kPositionLogFile);
    const std::string clf = inFolder(dir, funkor::kCellNameFile);
    const std::string txt = inFolder(dir, funkor::kSiteNameFile);
    const std::string ini = inFolder(dir, "Funkor.ini");
    std::map<std::string, int> failures;
    std::map<int, int> errors;
    const auto note = [&](const char* what, int error) {
        if (error == 0) return;
        ++failures[what];
        ++errors[error];
    };
    std::puts("ready");
    std::fflush(stdout);
    for (long i = 0; count < 0 || i < count; ++i) {
        const Record r = recordOf(run, i);
        note("log",
             funkor::appendWhole(log, funkor::positionLogEntry(r.cellKey, r.positionKey, r.name,
                                                               r.sentences.rmc, r.sentences.gga)));
        note("cellNames", funkor::appendRecord(clf, funkor::cellNameLine(r.cellKey, r.name)));
        note("siteNames", funkor::appendRecord(txt, funkor::siteNameLine(r.positionKey, r.name)));
        if (i % 25 == 0 && !funkor::ini::writeStrings(ini, settingsOf(run * 100000 + i)))
            ++failures["settings"];
    }
    std::printf("{\"entries\": %ld, \"failed\": {", count);
    const char* sep = "";
    for (const auto& [what, n] : failures) {
        std::printf("%s\"%s\": %d", sep, what.c_str(), n);
        sep = ", ";
    }
    std::printf("}, \"errors\": {");
    sep = "";
    for (const auto& [error, n] : errors) {
        std::printf("%s\"%s\": %d", sep, std::strerror(error), n);
        sep = ", ";
    }
    std::printf("}}\n");
    return 0;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Run and index from a cell key written by `recordOf`; false for anything
// else.
bool keyNumbers(const std::string& cellKey, long& run, long& index) {
    if (cellKey.size() != 13 || cellKey.substr(8) != "26207") return false;
    char* end = nullptr;
    index = std::strtol(cellKey.substr(0, 4).c_str(), &end, 16);
    if (*end != '\0') return false;
    run = std::strtol(cellKey.substr(4, 4).c_str(), &end, 16);
    return *end == '\0';
}

// Counts of one file's records: whole ones, torn ones, and whether every
// run's records go 0, 1, 2 ... without a gap and the last one is the only
// torn one.
struct Tally {
    long whole = 0;
    long torn = 0;
    bool lastTorn = false;
    bool inOrder = true;
    std::map<long, long> next;  // next index expected per run

    void add(bool isWhole, long run, long index, bool last) {
        if (!isWhole) {
            ++torn;
            lastTorn = last;
            return;
        }
        ++whole;
        // An entry lost to a kill is the one being written; the next run
        // starts its own numbering.
        auto [it, fresh] = next.emplace(run, 0);
        if (it->second != index) inOrder = false;
        it->second = index + 1;
        (void)fresh;
    }
    std::string json() const {
        std::ostringstream o;
        o << "{\"whole\": " << whole << ", \"torn\": " << torn
          << ", \"lastTorn\": " << (lastTorn ? "true" : "false")
          << ", \"inOrder\": " << (inOrder ? "true" : "false") << "}";
        return o.str();
    }
};

int check(const std::string& dir) {
    // The log, as the merge and the export read it.
    const std::string logText = readAll(inFolder(dir, funkor::kPositionLogFile));
    const auto entries = funkor::readPositionLog(logText);
    Tally log;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        long run = 0;
        long index = 0;
        bool whole = keyNumbers(e.cellKey, run, index) && e.siteKeyValid;
        if (whole) {
            const Record r = recordOf(run, index);
            whole = e.header == "$GPTXT," + r.cellKey + "," + r.positionKey + "," + r.name &&
                    e.rmc + "\r\n" == r.sentences.rmc && e.gga + "\r\n" == r.sentences.gga;
        }
        log.add(whole, run, index, i + 1 == entries.size());
    }
    const funkor::LogWaypoints waypoints = funkor::readLogWaypoints(logText);

    // The name files, as the lookups read them.
    const auto tallyNames = [&](const char* file, bool cells) {
        Tally t;
        const auto lines = funkor::readLines(inFolder(dir, file));
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& line = lines[i];
            long run = 0;
            long index = 0;
            bool whole = false;
            if (cells) {
                whole = keyNumbers(funkor::fields::left(line, 13), run, index) &&
                        line == funkor::cellNameLine(recordOf(run, index).cellKey,
                                                     recordOf(run, index).name);
            } else if (line.size() > 14) {
                // Site lines carry the index in the easting, the run in the
                // northing.
                const long e = std::strtol(line.substr(0, 6).c_str(), nullptr, 10) - 400000;
                const long n = std::strtol(line.substr(7, 6).c_str(), nullptr, 10) - 500000;
                const Record r = recordOf(n, e);
                whole = line == funkor::siteNameLine(r.positionKey, r.name);
                run = n;
                index = e;
            }
            t.add(whole, run, index, i + 1 == lines.size());
        }
        return t;
    };
    const Tally cells = tallyNames(funkor::kCellNameFile, true);
    const Tally sites = tallyNames(funkor::kSiteNameFile, false);

    // The settings, as the start-up reads them.
    const std::string ini = inFolder(dir, "Funkor.ini");
    const int generation = funkor::ini::getInt(ini, "Check", "Generation", -1);
    bool oneSave = true;
    if (generation >= 0) {
        for (const auto& e : settingsOf(generation))
            oneSave = oneSave && funkor::ini::getString(ini, e.section, e.key) == e.value;
    } else {
        // Killed before the first save: the file as it was, without a key
        // of a save.
        for (const auto& e : settingsOf(0))
            oneSave = oneSave && !funkor::ini::getString(ini, e.section, e.key);
    }
    const bool othersKept = funkor::ini::getString(ini, "Devices", "COM1") == "/dev/null";

    std::printf(
        "{\"log\": %s, \"logWaypoints\": %zu, \"logSkipped\": %d, \"cellNames\": %s, "
        "\"siteNames\": %s, \"settings\": {\"generation\": %d, \"oneSave\": %s, "
        "\"otherKeysKept\": %s}}\n",
        log.json().c_str(), waypoints.points.size(), waypoints.skipped, cells.json().c_str(),
        sites.json().c_str(), generation, oneSave ? "true" : "false",
        othersKept ? "true" : "false");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    // As the program: a file at its size limit fails the write, which is
    // counted, instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc >= 4 && std::strcmp(argv[1], "write") == 0)
        return write(argv[2], std::atol(argv[3]), argc >= 5 ? std::atol(argv[4]) : -1);
    if (argc == 3 && std::strcmp(argv[1], "check") == 0) return check(argv[2]);
    std::fputs("usage: funkor-file-driver write DIR RUN [COUNT] | check DIR\n", stderr);
    return 2;
}
