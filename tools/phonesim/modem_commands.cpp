// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Device, call, network, SIM file and broadcast commands of the phone.
#include <algorithm>
#include <ctime>

#include "tools/phonesim/gsm_text.h"
#include "tools/phonesim/modem.h"
#include "tools/phonesim/modem_util.h"

namespace phonesim {
namespace {

constexpr double kServiceAnswerSeconds = 1.5;
constexpr double kDataDialSeconds = 3.0;
constexpr int kPositionChannel = 221;

// IMSI as stored in EF 6F07: length, then the digits as swapped
// semi-octets behind the parity nibble.
std::string imsiFile(const std::string& imsi) {
    std::string digits = (imsi.size() % 2 == 1 ? "9" : "1") + imsi;
    std::string out(1, static_cast<char>((digits.size() + 1) / 2));
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int lo = digits[i] == '9' && i == 0 ? 9 : digits[i] - '0';
        const int hi = i + 1 < digits.size() ? digits[i + 1] - '0' : 0xF;
        out += static_cast<char>((hi << 4) | (lo & 0xF));
    }
    out.resize(9, '\xFF');
    return out;
}

std::string iccidFile(const std::string& iccid) {
    std::string out;
    for (std::size_t i = 0; i < iccid.size(); i += 2) {
        const int lo = iccid[i] - '0';
        const int hi = i + 1 < iccid.size() ? iccid[i + 1] - '0' : 0xF;
        out += static_cast<char>((hi << 4) | (lo & 0xF));
    }
    out.resize(10, '\xFF');
    return out;
}

// "221,300-310": message identifiers and ranges of identifiers.
bool parseIdList(const std::string& text, std::vector<std::pair<int, int>>& out) {
    out.clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(start, end - start);
        const std::size_t dash = item.find('-');
        int from = 0, to = 0;
        if (dash == std::string::npos) {
            if (!parseNumber(item, from)) return false;
            to = from;
        } else if (!parseNumber(item.substr(0, dash), from) ||
                   !parseNumber(item.substr(dash + 1), to)) {
            return false;
        }
        if (from > to || to > 65535) return false;
        out.emplace_back(from, to);
        start = end + 1;
    }
    return true;
}

}  // namespace

void Modem::basicCommand(const Command& c, Reply& r, double now) {
    (void)now;
    const std::string& n = c.name;
    const std::string& v = c.raw;
    auto flag = [&](bool& target) {
        if (v.empty() || v == "0") {
            target = false;
        } else if (v == "1") {
            target = true;
        } else {
            r.result = Result::Error;
        }
    };
    if (n == "E") {
        flag(echo_);
    } else if (n == "V") {
        flag(verbose_);
    } else if (n == "Q") {
        flag(quiet_);
    } else if (n == "Z" || n == "&F") {
        resetSettings();
    } else if (n == "I") {
        r.info = {sc_.manufacturer, sc_.model, "REVISION " + sc_.revision};
    } else if (n == "H") {
        call_ = Call::Idle;
    } else if (n == "A") {
        if (call_ == Call::Ringing) {
            call_ = Call::Voice;
        } else {
            r.result = Result::NoCarrier;
        }
    } else if (n == "O") {
        r.result = Result::NoCarrier;
    } else if (n == "S") {
        int reg = 0, value = 0;
        const std::size_t sep = v.find_first_of("?=");
        if (sep == std::string::npos || !parseNumber(v.substr(0, sep), reg) || reg > 12) {
            r.result = Result::Error;
        } else if (v[sep] == '?') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "%03d", sRegs_[reg]);
            r.info.push_back(buf);
        } else if (parseNumber(v.substr(sep + 1), value) && value < 256) {
            sRegs_[reg] = value;
        } else {
            r.result = Result::Error;
        }
    } else if (n == "&C" || n == "&D" || n == "&W" || n == "&V" || n == "L" || n == "M" ||
               n == "X") {
        // Line and speaker settings: accepted, nothing to do on this line.
    } else {
        r.result = Result::Error;
    }
}

void Modem::dial(const std::string& raw, Reply& r, double now) {
    std::string number;
    for (char ch : raw) {
        if (ch != ' ' && ch != '-' && ch != '(' && ch != ')') number += ch;
    }
    if (!number.empty() &&
        (number[0] == 'T' || number[0] == 't' || number[0] == 'P' || number[0] == 'p')) {
        number.erase(0, 1);
    }
    const bool voice = !number.empty() && number.back() == ';';
    if (voice) number.pop_back();
    if (number.empty()) {
        r.result = Result::Error;
        return;
    }
    if (number[0] == '>') {
        // Dialling a phone-book location of the selected book: ATD>5;
        int index = 0;
        const auto book = sc_.phoneBooks.find(phoneBookStorage_);
        if (book == sc_.phoneBooks.end() || !parseNumber(number.substr(1), index) ||
            !book->second.entries.count(index)) {
            r.result = Result::Cme;
            r.code = 22;
            return;
        }
        number = book->second.entries.at(index).number;
    }
    if (!registered_) {
        r.result = Result::NoCarrier;
        return;
    }
    const bool serviceCode = (number[0] == '*' || number[0] == '#') && number.back() == '#';
    if (serviceCode) {
        // A supplementary-service or USSD code: accepted at once, the
        // network's answer follows as a quoted line.
        auto it = sc_.services.find(number);
        std::string text = it != sc_.services.end() ? it->second : sc_.unknownServiceAnswer;
        const std::size_t mark = text.find("%CELL%");
        if (mark != std::string::npos) {
            const std::string where = !cell().name.empty()
                                          ? cell().name
                                          : "LAC " + hex4(cell().lac) + " CI " + hex4(cell().ci);
            text.replace(mark, 6, where);
        }
        serviceAnswers_.emplace_back(now + kServiceAnswerSeconds, quoted(teText(utf8ToGsm(text))));
        return;
    }
    if (call_ != Call::Idle) {
        r.result = Result::Cme;
        r.code = 3;
        return;
    }
    if (voice) {
        call_ = Call::Voice;
    } else {
        // A data call: the far end never answers on this line.
        call_ = Call::DataDial;
        dataDialEnd_ = now + kDataDialSeconds;
        r.result = Result::Deferred;
    }
}

void Modem::identity(const Command& c, Reply& r) {
    const std::string& n = c.name;
    const bool exec = c.kind == Command::Exec;
    const bool test = c.kind == Command::Test;
    const bool read = c.kind == Command::Read;
    const bool set = c.kind == Command::Set;
    auto plain = [&](const std::string& text) {
        if (exec) {
            r.info.push_back(text);
        } else if (!test) {
            r.result = Result::Error;
        }
    };
    auto setting = [&](int& target, int max, const std::string& name, const std::string& range) {
        int v = 0;
        if (read) {
            r.info.push_back(name + ": " + std::to_string(target));
        } else if (test) {
            r.info.push_back(name + ": " + range);
        } else if (set && !c.args.empty() && parseNumber(c.args[0].text, v) && v <= max) {
            target = v;
        } else {
            r.result = Result::Error;
        }
    };
    if (n == "+CGMI" || n == "+GMI") {
        plain(sc_.manufacturer);
    } else if (n == "+CGMM" || n == "+GMM") {
        plain(sc_.model);
    } else if (n == "+CGMR" || n == "+GMR") {
        plain(sc_.revision);
    } else if (n == "+CGSN" || n == "+GSN") {
        plain(sc_.imei);
    } else if (n == "+CIMI") {
        plain(sc_.imsi);
    } else if (n == "^SCID") {
        plain("^SCID: " + sc_.iccid);
    } else if (n == "+CCID" && sc_.device == Device::GsmModule) {
        plain(sc_.iccid);  // SIM800: the number alone
    } else if (n == "+CCID" && sc_.device == Device::UbloxModule) {
        plain("+CCID: " + sc_.iccid);
    } else if (n == "+ICCID" && sc_.device == Device::LteModem) {
        plain("+ICCID: " + sc_.iccid);
    } else if (n == "+CPIN") {
        if (read) {
            r.info.push_back("+CPIN: READY");
        } else if (set) {
            r.result = Result::Cme;
            r.code = 3;
        } else if (!test) {
            r.result = Result::Error;
        }
    } else if (n == "+CCLK") {
        if (read) {
            const std::time_t t = std::time(nullptr);
            std::tm tm{};
            localtime_r(&t, &tm);
            char buf[40];
            std::strftime(buf, sizeof buf, "+CCLK: \"%y/%m/%d,%H:%M:%S\"", &tm);
            r.info.push_back(buf);
        } else if (!set && !test) {
            r.result = Result::Error;
        }
    } else if (n == "+CFUN") {
        int fun = 1;
        setting(fun, 1, "+CFUN", "(0,1)");
    } else if (n == "+CMEE") {
        setting(cmee_, 2, "+CMEE", "(0-2)");
    } else if (n == "+CLIP") {
        if (read) {
            r.info.push_back("+CLIP: " + std::to_string(clip_) + ",1");
        } else {
            setting(clip_, 1, "+CLIP", "(0,1)");
        }
    } else if (n == "+CSCS") {
        if (read) {
            r.info.push_back("+CSCS: " + quoted(charset_));
        } else if (test) {
            r.info.push_back("+CSCS: (\"GSM\",\"UCS2\")");
        } else if (set && !c.args.empty() &&
                   (c.args[0].text == "GSM" || c.args[0].text == "UCS2")) {
            charset_ = c.args[0].text;
        } else {
            r.result = Result::Cme;
            r.code = 4;
        }
    } else if (n == "+CPAS") {
        const int state = call_ == Call::Ringing ? 3 : (call_ == Call::Idle ? 0 : 4);
        if (test) {
            r.info.push_back("+CPAS: (0,3,4)");
        } else {
            plain("+CPAS: " + std::to_string(state));
        }
    } else if (n == "+CBC") {
        if (test) {
            r.info.push_back("+CBC: (0-3),(0-100)");
        } else {
            // SIM800 adds the battery voltage in millivolts.
            plain("+CBC: " + std::to_string(charging_ ? 1 : 0) + "," + std::to_string(battery_) +
                  (sc_.device == Device::GsmModule ? ",3900" : ""));
        }
    } else if (n == "+CSQ") {
        const int level = !registered_ ? 99 : (cell().signal >= 0 ? cell().signal : signal_);
        if (test) {
            r.info.push_back("+CSQ: (0-31,99),(99)");
        } else {
            plain("+CSQ: " + std::to_string(level) + ",99");
        }
    } else if (n == "+GCAP") {
        // Every device here is a GSM device; a client (ModemManager) asks
        // before it looks for more.
        plain("+GCAP: +CGSM");
    } else if (n == "+WS46" && sc_.device == Device::LteModem) {
        // The radio choices of a GSM/UMTS/LTE module; 25 is all three.
        if (test) {
            r.info.push_back("+WS46: (12,22,25,28,29,30,31)");
        } else if (read) {
            r.info.push_back("+WS46: 25");
        } else if (!set) {
            r.result = Result::Error;
        }
    } else if (n == "+CESQ" && sc_.device == Device::LteModem) {
        // LTE only: RSRQ and RSRP, the GSM and UMTS values unknown (99, 255).
        // The RSRP index (-140 dBm + index) follows the +CSQ level.
        const int level = !registered_ ? 99 : (cell().signal >= 0 ? cell().signal : signal_);
        const int rsrp = level == 99 ? 255 : std::min(97, 2 * level + 20);
        const int rsrq = level == 99 ? 255 : 20;
        if (test) {
            r.info.push_back(
                "+CESQ: (0-63,99),(0-7,99),(0-96,255),(0-49,255),(0-34,255),(0-97,255)");
        } else {
            plain("+CESQ: 99,99,255,255," + std::to_string(rsrq) + "," + std::to_string(rsrp));
        }
    } else if (n == "^SMSO") {
        plain("^SMSO: MS OFF");
        if (exec) offAfterOutput_ = true;
    } else if (n == "+CHUP") {
        if (exec) {
            call_ = Call::Idle;
        } else if (!test) {
            r.result = Result::Error;
        }
    } else {
        r.result = Result::Error;
    }
}

void Modem::network(const Command& c, Reply& r, double now) {
    if (c.name == "+CREG" || c.name == "+CGREG" || c.name == "+CEREG") {
        const char domain = c.name == "+CGREG" ? 'G' : (c.name == "+CEREG" ? 'E' : 'C');
        int mode = 0;
        if (sc_.device == Device::S45i && domain != 'C') {
            r.result = Result::Error;  // a phone without packet data
        } else if (c.kind == Command::Read) {
            r.info.push_back(registrationLine(domain, false));
        } else if (c.kind == Command::Test) {
            r.info.push_back(c.name + ": (0-2)");
        } else if (c.kind == Command::Set && !c.args.empty() && parseNumber(c.args[0].text, mode) &&
                   mode <= 2) {
            domainMode(domain) = mode;
        } else {
            r.result = Result::Error;
        }
        return;
    }
    // +COPS
    auto nameOf = [this](const std::string& code) {
        for (const auto& n : sc_.networks) {
            if (n.code == code) return n.longName;
        }
        return code;
    };
    if (c.kind == Command::Read) {
        std::string line = "+COPS: " + std::to_string(copsMode_);
        if (registered_) {
            const std::string& code = cell().operatorCode;
            line += "," + std::to_string(copsFormat_) + "," +
                    quoted(copsFormat_ == 2 ? code : nameOf(code));
        }
        r.info.push_back(line);
        return;
    }
    if (c.kind == Command::Test) {
        // The scan takes its time on a real phone.
        r.extraDelay = sc_.operatorScanSeconds;
        std::string line = "+COPS: ";
        if (coverage_) {
            for (const auto& n : sc_.networks) {
                const int stat =
                    (registered_ && n.code == cell().operatorCode) ? 2 : (n.forbidden ? 3 : 1);
                line += "(" + std::to_string(stat) + "," + quoted(n.longName) + ",," +
                        quoted(n.code) + "),";
            }
        }
        line += ",(0-4),(0,2)";
        r.info.push_back(line);
        return;
    }
    int mode = 0, format = copsFormat_;
    if (c.kind != Command::Set || c.args.empty() || !parseNumber(c.args[0].text, mode) ||
        mode > 4 ||
        (c.args.size() > 1 && !c.args[1].text.empty() && !parseNumber(c.args[1].text, format)) ||
        (format != 0 && format != 2)) {
        r.result = Result::Error;
        return;
    }
    switch (mode) {
        case 3:
            copsFormat_ = format;
            break;
        case 0:
            copsMode_ = 0;
            detached_ = false;
            setRegistered(coverage_, now);
            break;
        case 2:
            detached_ = true;
            setRegistered(false, now);
            break;
        default: {
            // Manual selection: only the operator of the cells in reach works.
            const std::string oper = c.args.size() > 2 ? c.args[2].text : "";
            if (format != 2 || oper.empty()) {
                r.result = Result::Error;
            } else if (!coverage_ || oper != cell().operatorCode) {
                r.result = Result::Cme;
                r.code = 30;
            } else {
                copsMode_ = mode == 4 ? 0 : 1;
                detached_ = false;
                setRegistered(true, now);
            }
        }
    }
}

void Modem::simAccess(const Command& c, Reply& r) {
    if (c.kind == Command::Test) return;
    int command = 0, file = 0, p1 = 0, p2 = 0, p3 = 0;
    auto arg = [&c](std::size_t i, int& out) {
        return i >= c.args.size() || c.args[i].text.empty() || parseNumber(c.args[i].text, out);
    };
    if (c.kind != Command::Set || c.args.size() < 2 || !parseNumber(c.args[0].text, command) ||
        !parseNumber(c.args[1].text, file) || !arg(2, p1) || !arg(3, p2) || !arg(4, p3)) {
        r.result = Result::Error;
        return;
    }
    std::string data;
    bool found = true;
    switch (file) {
        case 0x6F60:
            data = buildZoneFile(sc_.zones);
            break;
        case 0x6F07:
            data = imsiFile(sc_.imsi);
            break;
        case 0x2FE2:
            data = iccidFile(sc_.iccid);
            break;
        default:
            found = false;
    }
    if (command != 176 && command != 178 && command != 192 && command != 214 && command != 220 &&
        command != 242) {
        r.result = Result::Cme;
        r.code = 3;
        return;
    }
    if (!found) {
        r.info.push_back("+CRSM: 148,4");  // file not found
        return;
    }
    if (command != 176) {
        r.info.push_back("+CRSM: 109,0");  // instruction not supported here
        return;
    }
    const std::size_t offset = static_cast<std::size_t>(p1) * 256 + static_cast<std::size_t>(p2);
    const std::size_t length = p3 == 0 ? 256 : static_cast<std::size_t>(p3);
    if (offset >= data.size()) {
        r.info.push_back("+CRSM: 107,0");  // wrong offset
    } else if (offset + length > data.size()) {
        r.info.push_back("+CRSM: 103," + std::to_string(data.size() - offset));  // wrong length
    } else {
        r.info.push_back("+CRSM: 144,0," + toHex(data.substr(offset, length)));
    }
}

void Modem::broadcastSelect(const Command& c, Reply& r, double now) {
    if (c.kind == Command::Read) {
        r.info.push_back("+CSCB: " + std::to_string(cscbMode_) + "," + quoted(cscbText_) + "," +
                         quoted(cscbDcs_));
        return;
    }
    if (c.kind == Command::Test) {
        r.info.push_back("+CSCB: (0,1)");
        return;
    }
    int mode = 0;
    std::vector<std::pair<int, int>> ids;
    if (c.kind != Command::Set || c.args.empty() || !parseNumber(c.args[0].text, mode) ||
        mode > 1 || (c.args.size() > 1 && !parseIdList(c.args[1].text, ids))) {
        r.result = Result::Error;
        return;
    }
    const bool wasAccepted = broadcastAccepted(kPositionChannel);
    cscbMode_ = mode;
    if (c.args.size() > 1) {
        cscbIds_ = ids;
        cscbText_ = c.args[1].text;
    }
    if (c.args.size() > 2) cscbDcs_ = c.args[2].text;
    // Reception starts with the next repetition of the page.
    if (!wasAccepted && broadcastAccepted(kPositionChannel)) {
        nextBroadcast_ = std::min(nextBroadcast_, now + firstPageDelay());
    }
}

}  // namespace phonesim
