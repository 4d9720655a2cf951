// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/operators.h"

// The decisions of the position output: which sentences a GPS receiver's
// bytes complete, which source the output sends, where the output goes, how
// the source boxes and the automatic sending behave, and how the LAN socket
// reacts in each state. The window applies them; nothing here touches a port.
namespace funkor {

// Colours of the indicators GPSstat and TCPstat.
enum class Indicator {
    Idle,    // the window's background colour
    Green,   // data taken, client connected and sending
    Yellow,  // listening; serial output after a rotation past the GSM source
    Orange,  // serial output
    Red,     // error or closed
    Black,   // the peer is closing
};

// --- GPS receiver input -----------------------------------------------------

// A receiver's bytes framed into lines: CR ends a line, LF is dropped. An
// RMC or GGA sentence of any satellite system's talker ("$GPRMC", and from
// receivers that combine several systems "$GNRMC", "$GLGGA", "$BDRMC" ...;
// case as written) is kept whole with CR LF appended; every other line is
// dropped. Checksums are not checked:
// the receiver's sentences go on as it sent them.
//
// A line that reaches kMaxGpsLine characters without CR is no sentence (an
// NMEA sentence has at most 82): its further characters are dropped and the
// line itself is dropped at its CR, so a receiver that babbles without CR
// cannot make the buffer grow without bound.
//
// A "$" starts a sentence afresh: the part of a line before it is a
// sentence cut short and is dropped, not glued to the one that follows.
inline constexpr std::size_t kMaxGpsLine = 4096;
// GPS, combined systems, GLONASS, Galileo, BeiDou (both spellings), QZSS.
inline constexpr std::string_view kGpsTalkers[] = {"GP", "GN", "GL", "GA", "GB", "BD", "GQ"};

struct GpsInputFrame {
    std::string buffer;  // gpsLineBuffer before the bytes
    std::string_view bytes;
};
struct GpsInputResult {
    std::string buffer;  // gpsLineBuffer after them
    std::string rmc;     // the last RMC line completed, with CR LF; "" when none
    std::string gga;     // the same for GGA
    // Colour of GPSstat after the last sentence taken: Green after RMC,
    // Idle after GGA; unchanged (Red is never set here) when none was taken.
    bool sentenceTaken = false;
    Indicator indicator = Indicator::Idle;
};
GpsInputResult frameGpsInput(const GpsInputFrame& in);

// --- Source boxes and automatic sending ---------------------------------------

struct SourceBoxes {
    bool gsm = false;
    bool gps = false;
    bool sms = false;
    bool multi = false;
};
enum class SourceBox { Gsm, Gps, Sms, Multi };

// The boxes after the click handler of `clicked` has run on `now` (which
// already holds the clicked box's new value). In single-source mode a ticked
// source unticks the two others; unticking Multi unticks all three sources.
SourceBoxes applySourceClick(SourceBox clicked, SourceBoxes now);

// One minute counted by the auto-send timer. The count is compared with
// "at least" the interval, so that lowering the interval below the minutes
// already counted sends at the next minute instead of never again.
struct AutoSendMinute {
    int minutes = 0;  // autoSendMinutes afterwards
    bool send = false;
};
AutoSendMinute countAutoSendMinute(int minutesCounted, int interval);
// The interval as AsendL shows it: its digits, or "-" when off (0).
std::string autoSendCaption(int interval);

// --- NMEA output cycle --------------------------------------------------------

// What one output tick does before it chooses a pair.
enum class OutputTickGate {
    Idle,         // a logged position is replayed, the output is off or the phone link stopped
    LeaveOutput,  // the phone is not on the position network: stop and hide
    Send,
};
struct OutputTickState {
    bool replayRunning = false;  // Timer5 on
    int outputIndex = 0;         // NMEA list position
    std::string_view phonePort;  // text of the GSM list
    std::string_view operatorCode;
    // With a cell database positions come on any network: the output stops
    // only when the phone is on none ("" operator code).
    bool cellDatabase = false;
};
OutputTickGate gateOutputTick(const OutputTickState& in);

// The source the multi-source rotation sent last (OutputSources and
// OutputPair::sourceRotation). The counter keeps its last value while a
// single source is chosen.
namespace SourceRotation {
enum : int { NotYet = 0, Gsm = 1, Gps = 2, Sms = 3 };
}  // namespace SourceRotation

struct OutputSources {
    SourceBoxes boxes;
    int sourceRotation = SourceRotation::NotYet;
    std::string_view gsmRmc, gsmGga;
    std::string_view gpsRmc, gpsGga;
    std::string_view smsRmc, smsGga;
};
// The source a tick's pair comes from.
enum class PositionSource { None, Gsm, Gps, Sms };

struct OutputPair {
    int sourceRotation = SourceRotation::NotYet;  // afterwards
    PositionSource source = PositionSource::None;
    std::string identification;  // "$PHSMID,..." CR LF in rotation, else ""
    std::string first;           // RMC
    std::string second;          // GGA
};
// The pair a tick sends. Single source: the last ticked of GSM, GPS, SMS
// (in that order). Rotation: the counter moves on by one and skips an
// unticked source in one pass GSM -> GPS -> SMS -> GSM only, so that with
// SMS unticked it falls back to GSM even when GSM is unticked too.
OutputPair chooseOutputPair(const OutputSources& in);

enum class OutputKind { Off, Serial, HardwarePort, Printer, Lan };
struct OutputTarget {
    OutputKind kind = OutputKind::Off;
    int port = 0;          // serial: the number after "COM "
    unsigned address = 0;  // hardware port: 0x3F8 for "Port1", 0x2F8 for "Port2"
};
// The output the NMEA list's item text names ("COM 3", "Port1", "LPT1", "LAN").
OutputTarget parseOutputTarget(std::string_view itemText);

// Colour of TCPstat while the serial output writes: orange while the
// rotation counter is below 2 (also in single-source mode, where it keeps its
// last rotation value), yellow after.
Indicator serialOutputIndicator(int sourceRotation);

// Top row of a trace list of `count` items that shows its last ten;
// -1 when all fit.
int traceTopIndex(int count);

// --- LAN output -----------------------------------------------------------------

// Socket states as the window uses them.
enum LanSocketState { kLanClosed = 0, kLanListening = 2, kLanConnected = 7, kLanClosing = 8 };

struct LanSendPlan {
    bool paint = false;
    Indicator indicator = Indicator::Idle;
    bool closeSocket = false;  // closing: close it, the text is dropped
    bool lanClose = false;     // closed: give the output up until the next tick
    bool send = false;         // connected: write the text
};
LanSendPlan planLanSend(int socketState);

// Socket error numbers of the window's socket control.
inline constexpr int kLanErrorAddressInUse = 10048;
inline constexpr int kLanErrorAccess = 10013;
inline constexpr int kLanErrorConnectionAborted = 10053;
inline constexpr int kLanErrorConnectionReset = 10054;
inline constexpr int kLanErrorWrongState = 40006;

// "Winsock-Error No: <n>   <description>", or "" for a client that went
// away (10053, 10054), which is not shown.
std::string lanErrorMessage(int number, std::string_view description);
// "Unknown sending error No: <n>   <description>", or "" for 40006 (the
// socket in the wrong state for sending), which is passed over.
std::string lanSendErrorMessage(int number, std::string_view description);

}  // namespace funkor
