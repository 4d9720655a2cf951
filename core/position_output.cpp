// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_output.h"

#include "core/fields.h"
#include "core/nmea.h"

namespace funkor {

namespace {

bool startsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// "$" + talker + sentence name: "$GPRMC", "$GNRMC", "$BDGGA" ...
bool isSentence(std::string_view line, std::string_view name) {
    if (line.size() < 6 || line[0] != '$' || line.substr(3, 3) != name) return false;
    const std::string_view talker = line.substr(1, 2);
    for (const std::string_view t : kGpsTalkers)
        if (talker == t) return true;
    return false;
}

}  // namespace

GpsInputResult frameGpsInput(const GpsInputFrame& in) {
    GpsInputResult out;
    out.buffer = in.buffer;
    for (const char c : in.bytes) {
        if (c == '\r') {
            // A line that hit the limit lost its end: it is no sentence.
            if (out.buffer.size() < kMaxGpsLine) {
                if (isSentence(out.buffer, "RMC")) {
                    out.rmc = out.buffer + "\r\n";
                    out.sentenceTaken = true;
                    out.indicator = Indicator::Green;
                } else if (isSentence(out.buffer, "GGA")) {
                    out.gga = out.buffer + "\r\n";
                    out.sentenceTaken = true;
                    out.indicator = Indicator::Idle;
                }
            }
            out.buffer.clear();
        } else if (c == '$') {
            // A sentence starts here: what the line held before is the
            // beginning of one cut short (a receiver reset, a port opened
            // mid-sentence) and would otherwise go out glued to this one.
            out.buffer.assign(1, c);
        } else if (c != '\n' && out.buffer.size() < kMaxGpsLine) {
            out.buffer += c;
        }
    }
    return out;
}

SourceBoxes applySourceClick(SourceBox clicked, SourceBoxes now) {
    switch (clicked) {
        case SourceBox::Gsm:
            if (now.gsm && !now.multi) now.gps = now.sms = false;
            break;
        case SourceBox::Gps:
            if (now.gps && !now.multi) now.gsm = now.sms = false;
            break;
        case SourceBox::Sms:
            if (now.sms && !now.multi) now.gsm = now.gps = false;
            break;
        case SourceBox::Multi:
            if (!now.multi) now.gsm = now.gps = now.sms = false;
            break;
    }
    return now;
}

AutoSendMinute countAutoSendMinute(int minutesCounted, int interval) {
    // The count never needs to pass the largest interval; capping it keeps
    // it in the 16-bit range however long the timer runs without a limit.
    constexpr int kMaxCount = 32767;
    AutoSendMinute out;
    out.minutes = minutesCounted < kMaxCount ? minutesCounted + 1 : kMaxCount;
    if (interval > 0 && out.minutes >= interval) {
        out.minutes = 0;
        out.send = true;
    }
    return out;
}

std::string autoSendCaption(int interval) {
    return interval != 0 ? std::to_string(interval) : std::string("-");
}

OutputTickGate gateOutputTick(const OutputTickState& in) {
    if (in.replayRunning) return OutputTickGate::Idle;
    if (in.outputIndex <= 0 || in.phonePort == "STOP") return OutputTickGate::Idle;
    if (in.cellDatabase ? in.operatorCode.empty() : in.operatorCode != kO2Germany)
        return OutputTickGate::LeaveOutput;
    return OutputTickGate::Send;
}

OutputPair chooseOutputPair(const OutputSources& in) {
    OutputPair out;
    out.sourceRotation = in.sourceRotation;
    const SourceBoxes& b = in.boxes;
    auto take = [&out](PositionSource source, std::string_view rmc, std::string_view gga) {
        out.source = source;
        out.first = std::string(rmc);
        out.second = std::string(gga);
    };
    if (!b.multi) {
        if (b.gsm) take(PositionSource::Gsm, in.gsmRmc, in.gsmGga);
        if (b.gps) take(PositionSource::Gps, in.gpsRmc, in.gpsGga);
        if (b.sms) take(PositionSource::Sms, in.smsRmc, in.smsGga);
        return out;
    }
    namespace R = SourceRotation;
    int r = in.sourceRotation + 1;
    if (r == R::Sms + 1) r = R::Gsm;
    if (!b.gsm && r == R::Gsm) r = R::Gps;
    if (!b.gps && r == R::Gps) r = R::Sms;
    if (!b.sms && r == R::Sms) r = R::Gsm;
    out.sourceRotation = r;
    switch (r) {
        case R::Gsm:
            out.identification = std::string(kGsmSourceSentence);
            take(PositionSource::Gsm, in.gsmRmc, in.gsmGga);
            break;
        case R::Gps:
            out.identification = std::string(kGpsSourceSentence);
            take(PositionSource::Gps, in.gpsRmc, in.gpsGga);
            break;
        case R::Sms:
            out.identification = std::string(kSmsSourceSentence);
            take(PositionSource::Sms, in.smsRmc, in.smsGga);
            break;
        default:
            // A counter outside 1..3 (never set so by the rotation itself)
            // names no source and sends nothing.
            break;
    }
    return out;
}

OutputTarget parseOutputTarget(std::string_view itemText) {
    OutputTarget t;
    if (startsWith(itemText, "Port")) {
        t.kind = OutputKind::HardwarePort;
        t.address = itemText == "Port2" ? 0x2F8u : 0x3F8u;
    } else if (itemText == "LPT1") {
        t.kind = OutputKind::Printer;
    } else if (startsWith(itemText, "COM")) {
        t.kind = OutputKind::Serial;
        t.port = fields::valInt(fields::mid(itemText, 5));
    } else if (itemText == "LAN") {
        t.kind = OutputKind::Lan;
    }
    return t;
}

Indicator serialOutputIndicator(int sourceRotation) {
    return sourceRotation < SourceRotation::Gps ? Indicator::Orange : Indicator::Yellow;
}

int traceTopIndex(int count) {
    return count > 10 ? count - 10 : -1;
}

LanSendPlan planLanSend(int socketState) {
    LanSendPlan p;
    switch (socketState) {
        case kLanClosed:
            p.paint = true;
            p.indicator = Indicator::Red;
            p.lanClose = true;
            break;
        case kLanListening:
            p.paint = true;
            p.indicator = Indicator::Yellow;
            break;
        case kLanClosing:
            p.paint = true;
            p.indicator = Indicator::Black;
            p.closeSocket = true;
            break;
        case kLanConnected:
            p.paint = true;
            p.indicator = Indicator::Green;
            p.send = true;
            break;
        default:
            break;
    }
    return p;
}

std::string lanErrorMessage(int number, std::string_view description) {
    if (number == kLanErrorConnectionAborted || number == kLanErrorConnectionReset) return {};
    return "Winsock-Error No: " + std::to_string(number) + "   " + std::string(description);
}

std::string lanSendErrorMessage(int number, std::string_view description) {
    if (number == kLanErrorWrongState) return {};
    return "Unknown sending error No: " + std::to_string(number) + "   " + std::string(description);
}

}  // namespace funkor
