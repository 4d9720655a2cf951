// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/phonesim/modem.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

#include "tools/phonesim/gsm_text.h"

namespace phonesim {
namespace {

constexpr double kNever = std::numeric_limits<double>::max();
constexpr double kRingPeriod = 3.0;
constexpr double kFirstPageSeconds = 2.0;
constexpr std::uint16_t kPositionChannel = 221;

bool isNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '!' || c == '%' || c == '-' ||
           c == '.' || c == '/' || c == ':' || c == '_';
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// Removes blanks outside quoted strings, as the command line parser ignores
// them.
std::string stripBlanks(std::string_view s) {
    std::string out;
    bool quoted = false;
    for (char c : s) {
        if (c == '"') quoted = !quoted;
        if (c == ' ' && !quoted) continue;
        out += c;
    }
    return out;
}

const char* cmeText(int code) {
    switch (code) {
        case 3:
            return "operation not allowed";
        case 4:
            return "operation not supported";
        case 10:
            return "SIM not inserted";
        case 21:
            return "invalid index";
        case 22:
            return "not found";
        case 24:
            return "text string too long";
        case 30:
            return "no network service";
        default:
            return "unknown";
    }
}

}  // namespace

double Modem::firstPageDelay() const {
    return std::min(kFirstPageSeconds, sc_.broadcastEvery);
}

Modem::Modem(Scenario scenario, ModemOptions options) : sc_(std::move(scenario)), opt_(options) {
    cell_ = sc_.startCell;
    signal_ = sc_.signal;
    battery_ = sc_.battery;
    charging_ = sc_.charging;
    if (!sc_.phoneBookOrder.empty()) phoneBookStorage_ = sc_.phoneBookOrder.front();
    if (sc_.radio.on) {
        // The network's cells take the scenario's place; the device starts
        // where the track does.
        drive_ = std::make_unique<DriveRadio>(sc_.radio);
        sc_.cells = drive_->scenarioCells();
        if (sc_.cells.empty()) sc_.cells.push_back(Cell{});
        cell_ = sc_.startCell = std::max(0, drive_->serving());
        coverage_ = registered_ = drive_->serving() >= 0;
    }
}

Modem::~Modem() = default;

void Modem::resetSettings() {
    echo_ = true;
    verbose_ = true;
    quiet_ = false;
    cmee_ = 0;
    cregMode_ = 0;
    cgregMode_ = 0;
    ceregMode_ = 0;
    clip_ = 0;
    const int cnmi[5] = {0, 0, 0, 0, 1};
    std::copy(cnmi, cnmi + 5, cnmi_);
    charset_ = "GSM";
    copsFormat_ = 0;
    cengMode_ = 0;
}

void Modem::powerOn() {
    resetSettings();
    powered_ = true;
    detached_ = false;
    registered_ = coverage_;
    copsMode_ = 0;
    cscbMode_ = 0;
    cscbIds_.clear();
    cscbText_.clear();
    cscbDcs_.clear();
    call_ = Call::Idle;
    serviceAnswers_.clear();
}

void Modem::setConnected(bool connected, double now) {
    if (connected == connected_) return;
    connected_ = connected;
    line_.clear();
    lineOverflow_ = false;
    prompt_ = Prompt::None;
    pdu_.clear();
    heldUnsolicited_.clear();
    out_.clear();
    outBytes_ = 0;
    lastRelease_ = now;
    if (!connected) return;
    // Switched off with AT^SMSO, the phone is back on when the port is
    // opened again (the user has pressed the power key meanwhile).
    if (!powered_) powerOn();
    if (!started_) {
        started_ = true;
        epoch_ = now;
        nextBroadcast_ = now + firstPageDelay();
    }
}

// ---- Line input -----------------------------------------------------------

void Modem::receive(std::string_view bytes, double now) {
    for (char c : bytes) {
        if (!powered_) return;
        if (prompt_ != Prompt::None) {
            receivePromptByte(c, now);
        } else {
            receiveCommandByte(c, now);
        }
    }
}

void Modem::receiveCommandByte(char c, double now) {
    const auto u = static_cast<unsigned char>(c);
    if (u == static_cast<unsigned char>(sRegs_[3])) {
        if (echo_) queue(std::string(1, c), now);
        const std::string line = line_;
        const bool overflow = lineOverflow_;
        line_.clear();
        lineOverflow_ = false;
        if (overflow) {
            if (onCommandLine)
                onCommandLine("(line of more than " + std::to_string(opt_.maxCommandLine) +
                              " characters)");
            queue(finalCode(Result::Error, 0), now + opt_.answerDelay);
            return;
        }
        executeLine(line, now);
        return;
    }
    if (u == static_cast<unsigned char>(sRegs_[5])) {
        if (!line_.empty()) line_.pop_back();
        if (echo_) queue(std::string(1, c), now);
        return;
    }
    // Other control characters (line feed, Ctrl-Z or ESC outside a prompt)
    // are neither stored nor echoed.
    if (u < 0x20 || u == 0x7F) return;
    if (line_.size() < opt_.maxCommandLine) {
        line_ += c;
    } else {
        lineOverflow_ = true;
    }
    if (echo_) queue(std::string(1, c), now);
}

void Modem::receivePromptByte(char c, double now) {
    if (c == '\x1A') {
        finishPrompt(now);
    } else if (c == '\x1B') {
        if (onCommandLine) onCommandLine("> (cancelled)");
        prompt_ = Prompt::None;
        pdu_.clear();
        pduOverflow_ = false;
        queue(finalCode(Result::Ok, 0), now + opt_.answerDelay);
        for (const auto& text : heldUnsolicited_) queueLine(text, now);
        heldUnsolicited_.clear();
    } else if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) {
        if (pdu_.size() < opt_.maxPduInput) {
            pdu_ += c;
        } else {
            pduOverflow_ = true;
        }
        if (echo_) queue(std::string(1, c), now);
    }
}

void Modem::finishPrompt(double now) {
    if (onCommandLine) onCommandLine("> " + pdu_);
    Reply r;
    if (pduOverflow_) {
        r.result = prompt_ == Prompt::Sms ? Result::Cms : Result::Error;
        r.code = 304;
    } else if (prompt_ == Prompt::Sms) {
        submitSms(pdu_, r);
    } else {
        toolkitResponse(pdu_, r);
    }
    prompt_ = Prompt::None;
    pdu_.clear();
    pduOverflow_ = false;
    const double t = std::max(now, lastRelease_) + opt_.answerDelay;
    for (const auto& line : r.info) queue(formatInfo(line), t);
    queue(finalCode(r.result, r.code), t);
    for (const auto& text : heldUnsolicited_) queueLine(text, t);
    heldUnsolicited_.clear();
}

bool Modem::parseLine(std::string_view body, std::vector<Command>& commands) const {
    std::size_t i = 0;
    while (i < body.size()) {
        const char c = body[i];
        if (c == ' ' || c == ';') {
            ++i;
            continue;
        }
        Command cmd;
        if (c == '+' || c == '^') {
            std::size_t j = i + 1;
            while (j < body.size() && isNameChar(body[j])) ++j;
            if (j == i + 1) return false;
            cmd.name = upper(std::string(body.substr(i, j - i)));
            std::size_t k = j;
            bool quoted = false;
            while (k < body.size() && (quoted || body[k] != ';')) {
                if (body[k] == '"') quoted = !quoted;
                ++k;
            }
            if (quoted) return false;
            const std::string suffix = stripBlanks(body.substr(j, k - j));
            cmd.raw = suffix;
            if (suffix.empty()) {
                cmd.kind = Command::Exec;
            } else if (suffix == "?") {
                cmd.kind = Command::Read;
            } else if (suffix == "=?") {
                cmd.kind = Command::Test;
            } else if (suffix[0] == '=') {
                cmd.kind = Command::Set;
                std::string current;
                bool inQuotes = false, wasQuoted = false;
                for (std::size_t p = 1; p <= suffix.size(); ++p) {
                    if (p == suffix.size() || (suffix[p] == ',' && !inQuotes)) {
                        cmd.args.push_back({current, wasQuoted});
                        current.clear();
                        wasQuoted = false;
                    } else if (suffix[p] == '"') {
                        inQuotes = !inQuotes;
                        wasQuoted = true;
                    } else {
                        current += suffix[p];
                    }
                }
            } else {
                return false;
            }
            i = k;
        } else if (std::isalpha(static_cast<unsigned char>(c)) || c == '&') {
            const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (letter == 'D') {
                cmd.name = "D";
                cmd.raw = std::string(body.substr(i + 1));
                commands.push_back(cmd);
                return true;
            }
            std::size_t j = i + 1;
            cmd.name = std::string(1, letter);
            if (letter == '&') {
                if (j >= body.size() || !std::isalpha(static_cast<unsigned char>(body[j])))
                    return false;
                cmd.name += static_cast<char>(std::toupper(static_cast<unsigned char>(body[j])));
                ++j;
            }
            std::size_t k = j;
            while (k < body.size() && std::isdigit(static_cast<unsigned char>(body[k]))) ++k;
            if (letter == 'S') {
                // S registers: Sn?, Sn=v
                if (k < body.size() && body[k] == '?') {
                    ++k;
                } else if (k < body.size() && body[k] == '=') {
                    ++k;
                    while (k < body.size() && std::isdigit(static_cast<unsigned char>(body[k])))
                        ++k;
                } else {
                    return false;
                }
            }
            cmd.raw = std::string(body.substr(j, k - j));
            i = k;
        } else {
            return false;
        }
        commands.push_back(cmd);
    }
    return true;
}

void Modem::executeLine(const std::string& line, double now) {
    // Anything in front of the "AT" prefix (line noise) is passed over; a
    // line without the prefix is ignored as a real modem does.
    std::size_t at = std::string::npos;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        if ((line[i] == 'A' || line[i] == 'a') && (line[i + 1] == 'T' || line[i + 1] == 't')) {
            at = i;
            break;
        }
    }
    if (at == std::string::npos) return;
    const std::string command = line.substr(at);
    if (onCommandLine) onCommandLine(command);

    std::vector<Command> commands;
    double t = std::max(now, lastRelease_);
    bool valid = parseLine(std::string_view(command).substr(2), commands);
    for (const auto& c : commands) valid = valid && knows(c);
    if (!valid) {
        queue(finalCode(Result::Error, 0), t + opt_.answerDelay);
        return;
    }
    if (commands.empty()) t += opt_.answerDelay;
    for (const auto& c : commands) {
        Reply r;
        execute(c, r, now);
        t += opt_.answerDelay + r.extraDelay;
        for (const auto& info : r.info) queue(formatInfo(info), t);
        switch (r.result) {
            case Result::Ok:
                continue;
            case Result::Prompt:
                queue(verbose_ ? "\r\n> " : "> ", t);
                return;
            case Result::Deferred:
                return;
            default:
                queue(finalCode(r.result, r.code), t);
                return;
        }
    }
    queue(finalCode(Result::Ok, 0), t);
    if (offAfterOutput_) {
        offAfterOutput_ = false;
        powered_ = false;
        call_ = Call::Idle;
    }
}

void Modem::execute(const Command& c, Reply& r, double now) {
    const std::string& n = c.name;
    if (n == "D") {
        dial(c.raw, r, now);
    } else if (n.size() <= 2 && n[0] != '+' && n[0] != '^') {
        basicCommand(c, r, now);
    } else if (n == "+COPS" || n == "+CREG" || n == "+CGREG" || n == "+CEREG") {
        network(c, r, now);
    } else if (n == "+CRSM") {
        simAccess(c, r);
    } else if (n == "+CSCB") {
        broadcastSelect(c, r, now);
    } else if (n == "+CPBS" || n == "+CPBR" || n == "+CPBW") {
        phoneBook(c, r);
    } else if (drive_ && cellQuery(c, r)) {
        // answered from the drive's readings
    } else if (n == "+CPMS" || n == "+CMGF" || n == "+CMGL" || n == "+CMGR" || n == "+CMGD" ||
               n == "+CMGS" || n == "+CSCA" || n == "+CSMS" || n == "+CNMI" || n == "^SSTK") {
        messages(c, r);
    } else {
        identity(c, r);
    }
}

// ---- Output ---------------------------------------------------------------

void Modem::queue(std::string bytes, double release) {
    if (!connected_ || bytes.empty()) return;
    if (outBytes_ + bytes.size() > opt_.maxPendingOutput) return;  // a stalled reader
    release = std::max(release, lastRelease_);
    lastRelease_ = release;
    outBytes_ += bytes.size();
    if (!out_.empty() && out_.back().release >= release) {
        out_.back().bytes += bytes;
    } else {
        out_.push_back({release, std::move(bytes)});
    }
}

void Modem::queueLine(const std::string& text, double release) {
    queue(formatInfo(text), release);
}

void Modem::unsolicited(const std::string& text, double now) {
    if (!powered_ || !connected_) return;
    if (prompt_ != Prompt::None) {
        // Never in the middle of a prompt; sent once the input is done.
        heldUnsolicited_.push_back(text);
        return;
    }
    queueLine(text, now);
}

std::string Modem::formatInfo(const std::string& line) const {
    return verbose_ ? "\r\n" + line + "\r\n" : line + "\r\n";
}

std::string Modem::finalCode(Result result, int code) const {
    if (quiet_) return {};
    std::string text;
    switch (result) {
        case Result::Ok:
            return verbose_ ? "\r\nOK\r\n" : "0\r";
        case Result::Cme:
            if (cmee_ == 1) text = "+CME ERROR: " + std::to_string(code);
            if (cmee_ == 2) text = std::string("+CME ERROR: ") + cmeText(code);
            break;
        case Result::Cms:
            if (cmee_ >= 1) text = "+CMS ERROR: " + std::to_string(code);
            break;
        case Result::NoCarrier:
            return verbose_ ? "\r\nNO CARRIER\r\n" : "3\r";
        default:
            break;
    }
    if (text.empty()) return verbose_ ? "\r\nERROR\r\n" : "4\r";
    return verbose_ ? "\r\n" + text + "\r\n" : text + "\r\n";
}

std::string Modem::takeDue(double now) {
    std::string bytes;
    while (!out_.empty() && out_.front().release <= now) {
        bytes += out_.front().bytes;
        outBytes_ -= out_.front().bytes.size();
        out_.pop_front();
    }
    return bytes;
}

double Modem::nextWakeup() const {
    double t = kNever;
    if (!out_.empty()) t = out_.front().release;
    if (!started_ || !powered_) return t;
    if (nextEvent_ < sc_.timeline.size()) {
        t = std::min(t, epoch_ + cycle_ * sc_.repeatEvery + sc_.timeline[nextEvent_].at);
    } else if (sc_.repeatEvery > 0 && !sc_.timeline.empty()) {
        t = std::min(t, epoch_ + (cycle_ + 1) * sc_.repeatEvery + sc_.timeline.front().at);
    }
    if (call_ == Call::Ringing) t = std::min(t, nextRing_);
    if (call_ == Call::DataDial) t = std::min(t, dataDialEnd_);
    for (const auto& a : serviceAnswers_) t = std::min(t, a.first);
    if (drive_) t = std::min(t, epoch_ + drive_->nextReading());
    return std::min(t, nextBroadcast_);
}

// ---- Time line and unsolicited messages -----------------------------------

void Modem::tick(double now) {
    if (!started_ || !powered_) return;
    if (drive_) driveTo(now);
    while (!sc_.timeline.empty()) {
        if (nextEvent_ >= sc_.timeline.size()) {
            if (sc_.repeatEvery <= 0) break;
            ++cycle_;
            nextEvent_ = 0;
        }
        const Event& e = sc_.timeline[nextEvent_];
        if (epoch_ + cycle_ * sc_.repeatEvery + e.at > now) break;
        ++nextEvent_;
        runEvent(e, now);
    }
    if (call_ == Call::Ringing && now >= nextRing_) {
        if (ringsLeft_ > 0) {
            --ringsLeft_;
            nextRing_ = now + kRingPeriod;
            unsolicited("RING", now);
            if (clip_ == 1) {
                const int type = !caller_.empty() && caller_[0] == '+' ? 145 : 129;
                unsolicited("+CLIP: \"" + caller_ + "\"," + std::to_string(type), now);
            }
        } else {
            call_ = Call::Idle;  // the caller gave up
        }
    }
    if (call_ == Call::DataDial && now >= dataDialEnd_) {
        call_ = Call::Idle;
        queue(finalCode(Result::NoCarrier, 0), now);
    }
    for (auto it = serviceAnswers_.begin(); it != serviceAnswers_.end();) {
        if (it->first <= now) {
            unsolicited(it->second, now);
            it = serviceAnswers_.erase(it);
        } else {
            ++it;
        }
    }
    if (now >= nextBroadcast_) {
        sendBroadcast(now);
        nextBroadcast_ = now + std::max(0.2, sc_.broadcastEvery);
    }
}

void Modem::runEvent(const Event& e, double now) {
    switch (e.kind) {
        case EventKind::Cell:
            changeCell(e.cell, now);
            break;
        case EventKind::Ring:
            if (!registered_ || call_ != Call::Idle) break;
            call_ = Call::Ringing;
            caller_ = e.number;
            ringsLeft_ = std::max(1, e.rings);
            nextRing_ = now;
            break;
        case EventKind::Sms:
            if (registered_) deliverSms(e.sms, now);
            break;
        case EventKind::NetworkLost:
            coverage_ = false;
            setRegistered(false, now);
            break;
        case EventKind::NetworkBack:
            coverage_ = true;
            setRegistered(!detached_, now);
            break;
        case EventKind::Battery:
            battery_ = std::clamp(e.value, 0, 100);
            charging_ = e.charging;
            break;
        case EventKind::Signal:
            signal_ = e.value;
            break;
    }
}

void Modem::changeCell(int cell, double now) {
    if (cell == cell_) return;
    cell_ = cell;
    if (!registered_) return;
    reportRegistration(2, now);
    nextBroadcast_ = now + firstPageDelay();
}

void Modem::setRegistered(bool registered, double now) {
    if (registered == registered_) return;
    registered_ = registered;
    if (!registered) {
        if (call_ == Call::Voice) queue(finalCode(Result::NoCarrier, 0), now);
        call_ = Call::Idle;
    } else {
        nextBroadcast_ = now + firstPageDelay();
    }
    reportRegistration(1, now);
}

int Modem::registrationState() const {
    if (!registered_) return 2;
    return cell().operatorCode == sc_.imsi.substr(0, 5) ? 1 : 5;
}

bool Modem::knows(const Command& c) const {
    const std::string& n = c.name;
    switch (sc_.device) {
        case Device::LteModem:
            // No battery: "+CBC" is unknown, and a line with it is refused
            // whole, as the modules do.
            return n[0] != '^' && n != "+CCID" && n != "+CBC";
        case Device::GsmModule:
        case Device::UbloxModule:
            return n[0] != '^' && n != "+CEREG" && n != "+ICCID";
        default:
            return true;
    }
}

int& Modem::domainMode(char domain) {
    return domain == 'G' ? cgregMode_ : (domain == 'E' ? ceregMode_ : cregMode_);
}

// The LTE modem is attached for data only: neither circuit- nor
// packet-switched registration, its serving cell comes with +CEREG.
int Modem::domainState(char domain) const {
    if (sc_.device == Device::LteModem && domain != 'E') return registered_ ? 0 : 2;
    return registrationState();
}

void Modem::reportRegistration(int minimumMode, double now) {
    if (sc_.device == Device::S45i) {
        if (cregMode_ >= minimumMode) unsolicited(cregLine(true), now);
        return;
    }
    for (const char domain : {'C', 'G', 'E'}) {
        if (domainMode(domain) < minimumMode) continue;
        if (minimumMode == 2 && domainState(domain) == 0) continue;  // no cell to report
        unsolicited(registrationLine(domain, true), now);
    }
}

// +CREG: 2,1,4CA,81DE               SIM800: unquoted, no leading zeros
// +CEREG: 2,1,"1F00","79D9031",7    EC25: TAC and the 28-bit cell, AcT E-UTRAN
// +CREG: 2,1,"04CA","81DE"           SARA-G350: quoted, four digits
std::string Modem::registrationLine(char domain, bool unsolicitedForm) const {
    if (sc_.device == Device::S45i) return cregLine(unsolicitedForm);
    const int mode = domain == 'G' ? cgregMode_ : (domain == 'E' ? ceregMode_ : cregMode_);
    std::string s = domain == 'G' ? "+CGREG: " : (domain == 'E' ? "+CEREG: " : "+CREG: ");
    if (!unsolicitedForm) s += std::to_string(mode) + ",";
    const int state = domainState(domain);
    s += std::to_string(state);
    if (mode == 2 && (state == 1 || state == 5)) {
        char buf[48];
        if (sc_.device == Device::LteModem) {
            std::snprintf(buf, sizeof buf, ",\"%04X\",\"%07X\",7", cell().lac, cell().ci);
        } else if (sc_.device == Device::UbloxModule) {
            std::snprintf(buf, sizeof buf, ",\"%04X\",\"%04X\"", cell().lac, cell().ci);
        } else {
            std::snprintf(buf, sizeof buf, ",%X,%X", cell().lac, cell().ci);
        }
        s += buf;
    }
    return s;
}

std::string Modem::cregLine(bool unsolicitedForm) const {
    std::string s = "+CREG: ";
    if (!unsolicitedForm) s += std::to_string(cregMode_) + ",";
    s += std::to_string(registrationState());
    if (cregMode_ == 2 && registered_) {
        char buf[32];
        std::snprintf(buf, sizeof buf, ",\"%04X\",\"%04X\"", cell().lac, cell().ci);
        s += buf;
    }
    return s;
}

bool Modem::broadcastAccepted(int messageId) const {
    bool listed = false;
    for (const auto& [from, to] : cscbIds_)
        listed = listed || (messageId >= from && messageId <= to);
    return cscbMode_ == 0 ? listed : !listed;
}

void Modem::sendBroadcast(double now) {
    if (!registered_ || cell().positionKey.empty()) return;
    if (!broadcastAccepted(kPositionChannel) || cnmi_[0] == 0 || (cnmi_[2] != 2 && cnmi_[2] != 3)) {
        return;
    }
    // Geographical scope "cell wide", one message code per cell; the page
    // text is the 12 digits of the site's grid position.
    const auto serial =
        static_cast<std::uint16_t>(0xC000 | ((cell_ & 0x3FF) << 4) | (broadcastUpdate_ & 0xF));
    const std::string page = buildCbsPage(serial, kPositionChannel, 0x00, cell().positionKey);
    unsolicited("+CBM: 88\r\n" + page, now);
}

void Modem::deliverSms(const StoredSms& sms, double now) {
    if (cnmi_[0] != 0 && cnmi_[1] == 2) {
        unsolicited("+CMT: ," + std::to_string(sms.tpduLength) + "\r\n" + sms.pdu, now);
        return;
    }
    for (int i = 1; i <= sc_.smsCapacity; ++i) {
        if (sc_.sms.count(i)) continue;
        StoredSms stored = sms;
        stored.status = SmsStatus::Unread;
        sc_.sms[i] = stored;
        if (cnmi_[0] != 0 && (cnmi_[1] == 1 || cnmi_[1] == 3)) {
            unsolicited("+CMTI: \"SM\"," + std::to_string(i), now);
        }
        return;
    }
    if (onCommandLine) onCommandLine("(SIM full: incoming SMS lost)");
}

}  // namespace phonesim
