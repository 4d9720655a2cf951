// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Files a user may have edited by hand: the settings file, the country and
// region files and the cell and site name files. Reading them never fails
// hard, and a value written to the settings file reads back as written,
// whatever else the file held.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>

#include "core/cell_files.h"
#include "core/data_files.h"
#include "core/ini_file.h"
#include "core/log_export.h"
#include "core/position_log.h"
#include "fuzz_input.h"

using namespace funkor;
using funkor::fuzz::require;

namespace {

std::string scratchFile() {
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        return std::string(dir && *dir ? dir : "/tmp") + "/funkor-fuzz-" +
               std::to_string(::getpid()) + ".txt";
    }();
    return path;
}

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text = fuzz::asText(data, size);
    const std::uint8_t steer = fuzz::takeByte(text);
    const std::string path = scratchFile();
    writeFile(path, text);

    CountryTable countries;
    readCountryTable(path, countries);
    O2Lines regions;
    readO2Lines(path, regions);
    require(regions.count >= 0 && regions.count <= 300, "at most 300 region lines");
    const auto lines = readLines(path);
    findCellName(lines, "5217526D26207");
    findCellNameInFile(path, "5217526D26207");
    findSiteNameInFile(path, "459916582072");

    // The same text as a position log, as the merge and the export read it.
    for (const auto& e : readPositionLog(text))
        require(e.siteKey.size() <= 13 && e.cellKey.size() <= 13, "log keys within the layout");
    logHoldsCell(text, "5217526D26207");
    const LogWaypoints w = readLogWaypoints(text);
    for (const auto& p : w.points)
        require(p.latitude >= -90 && p.latitude <= 90 && p.longitude >= -180 && p.longitude <= 180,
                "waypoint on the globe");
    writeGpx(w.points);
    writeKml(w.points, "Funkor.log");

    ini::getInt(path, "Ports", "GSM", 0);
    ini::getString(path, "Funkor", "Trace");
    // Sections and keys a user could have typed; the value is one of the
    // program's own.
    const char* sections[] = {"Ports", "Devices", "Funkor", "LAN"};
    const char* keys[] = {"GSM", "COM1", "Trace", "Port"};
    const std::string section = sections[steer % 4];
    const std::string key = keys[(steer / 4) % 4];
    const std::string value = std::to_string(steer);
    if (ini::writeString(path, section, key, value)) {
        require(ini::getString(path, section, key) == value, "written value reads back");
        require(ini::getInt(path, section, key, -1) == steer, "written number reads back");
    }
    std::remove(path.c_str());
    return 0;
}
