// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The radio mode of the phone: its serving cell follows the drive, and the
// makers' cell queries and the LTE modem's +CESQ answer from the drive's
// latest reading.
#include <algorithm>
#include <cmath>

#include "tools/phonesim/modem.h"
#include "tools/phonesim/modem_util.h"

namespace phonesim {
namespace {

// A +CSQ level (0..31) from the serving cell's GSM RSSI or LTE RSRP, so
// that the bars follow the drive as well.
int csqFromReading(const funkor::ObservedCell& s) {
    if (!s.signalDbm) return 99;
    const double dbm = *s.signalDbm;
    // An RSRP of -140 + i dBm is shown as the level (i - 20) / 2, as the
    // serving-cell-only LTE modem counts it the other way round.
    const double level = s.radio == funkor::Radio::Lte ? (dbm + 141 - 20) / 2 : (dbm + 113) / 2;
    return std::clamp(static_cast<int>(std::lround(level)), 0, 31);
}

const char* const kEmptySmoncSlot = "000,00,0000,0000,00,0,0,-,-";

}  // namespace

void Modem::driveTo(double now) {
    drive_->advanceTo(now - epoch_);
    const int serving = drive_->serving();
    Event coverage;
    if (serving < 0) {
        coverage.kind = EventKind::NetworkLost;
        if (coverage_) runEvent(coverage, now);
        return;
    }
    signal_ = csqFromReading(*drive_->observation().serving);
    changeCell(serving, now);
    coverage.kind = EventKind::NetworkBack;
    if (!coverage_) runEvent(coverage, now);
}

bool Modem::cellQuery(const Command& c, Reply& r) {
    const std::string& n = c.name;
    const funkor::Observation& obs = drive_->observation();
    // A device out of coverage hears no cell; one detached from the network
    // (AT+COPS=2) still measures the cells around it.
    const bool heard = coverage_ && obs.serving;
    const bool exec = c.kind == Command::Exec;
    const bool test = c.kind == Command::Test;
    const bool read = c.kind == Command::Read;
    const bool set = c.kind == Command::Set;

    if (n == "+CESQ") {
        // Of the devices only the LTE modem knows it; the others refuse it
        // in radio mode as they do otherwise.
        if (sc_.device != Device::LteModem) return false;
        if (test) {
            r.info.push_back(
                "+CESQ: (0-63,99),(0-7,99),(0-96,255),(0-49,255),(0-34,255),(0-97,255)");
        } else if (exec) {
            r.info.push_back(heard ? funkor::radiosim::cesqLine(obs)
                                   : "+CESQ: 99,99,255,255,255,255");
        } else {
            r.result = Result::Error;
        }
        return true;
    }
    std::vector<std::string> lines;
    switch (sc_.device) {
        case Device::S45i:
            if (n != "^SMONC") return false;
            // The serving cell and six neighbours on one line; empty slots
            // out of coverage.
            if (exec) {
                lines =
                    heard ? funkor::radiosim::familyAnswerLines(funkor::DeviceFamily::Siemens, obs)
                          : std::vector<std::string>{};
                if (lines.empty()) {
                    std::string line = "^SMONC: ";
                    for (int i = 0; i < 7; ++i) line += std::string(i ? "," : "") + kEmptySmoncSlot;
                    lines.push_back(line);
                }
                r.info = lines;
            } else if (!test) {
                r.result = Result::Error;
            }
            return true;
        case Device::LteModem: {
            if (n != "+QENG") return false;
            if (test) {
                r.info.push_back("+QENG: \"servingcell\",\"neighbourcell\"");
                return true;
            }
            const std::string what = set && !c.args.empty() ? c.args[0].text : "";
            if (what != "servingcell" && what != "neighbourcell") {
                r.result = Result::Cme;
                r.code = 4;
                return true;
            }
            if (heard)
                lines = funkor::radiosim::familyAnswerLines(funkor::DeviceFamily::Quectel, obs);
            // The serving cell's line first, the neighbours' after it.
            if (what == "servingcell") {
                r.info.push_back(lines.empty() ? "+QENG: \"servingcell\",\"SEARCH\"" : lines[0]);
            } else if (lines.size() > 1) {
                r.info.assign(lines.begin() + 1, lines.end());
            }
            return true;
        }
        case Device::GsmModule: {
            if (n != "+CENG") return false;
            // AT+CENG=<mode>[,<Ncell>]; only mode 1 with the neighbours'
            // CI is reported in full here, and nothing comes unasked.
            int mode = 0, withCi = 0;
            if (set) {
                if (c.args.empty() || !parseNumber(c.args[0].text, mode) || mode > 4 ||
                    (c.args.size() > 1 && (!parseNumber(c.args[1].text, withCi) || withCi > 1))) {
                    r.result = Result::Error;
                } else {
                    cengMode_ = mode * 2 + withCi;
                }
            } else if (test) {
                r.info.push_back("+CENG: (0-4),(0-1)");
            } else if (read) {
                if (heard && cengMode_ == 3)
                    lines = funkor::radiosim::familyAnswerLines(funkor::DeviceFamily::Simcom, obs);
                if (lines.empty())
                    lines.push_back("+CENG: " + std::to_string(cengMode_ / 2) + "," +
                                    std::to_string(cengMode_ % 2));
                r.info = lines;
            } else {
                r.result = Result::Error;
            }
            return true;
        }
        case Device::UbloxModule:
            if (n != "+UCELLINFO") return false;
            if (test) {
                r.info.push_back("+UCELLINFO: (0-2)");
            } else if (read) {
                if (heard)
                    r.info = funkor::radiosim::familyAnswerLines(funkor::DeviceFamily::Ublox, obs);
            } else if (!set) {
                r.result = Result::Error;
            }
            return true;
    }
    return false;
}

}  // namespace phonesim
