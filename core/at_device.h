// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Answers about the phone itself: battery, signal, activity, identity, the
// SIM card number, caller identification and star-code answers. Each parser
// takes one answer line (without CR/LF) and returns plain data plus the exact
// display texts; a line that cannot be read gives no result, so the display
// keeps its last good state.
namespace funkor {

// The line break the window's captions use between two lines of text.
inline constexpr char kCaptionBreak = '\r';

// +CBC: <bcs>,<bcl>            battery connection status, charge in percent
//   Siemens S45i: "+CBC: 0,80" (on battery), "+CBC: 1,100" (charging)
struct BatteryReading {
    bool onBattery = false;     // status 0: powered by the battery
    std::optional<int> charge;  // 0..100; absent when out of range (255: unknown)
    std::string tooltip;        // "Batterie: 80%"; empty when charge is absent
};
// Nothing when the status digit is missing.
std::optional<BatteryReading> parseCbc(std::string_view line);

// The baud option (0: 19200, 1: 57600, 2: 115200) that the port settings
// text "19200,n,8,1" selects; nothing for other rates.
std::optional<int> baudOptionFromSettings(std::string_view settings);

// +CSQ: <rssi>,<ber>           rssi 0..31, 99 = not detectable
//   Siemens S45i: "+CSQ: 17,99", "+CSQ: 7,99", "+CSQ: 99,99"
struct SignalReading {
    int rssi = 0;         // as reported
    int gaugeValue = 0;   // rssi when below 32, otherwise 0
    std::string tooltip;  // "Pegel: 28%": 3 * rssi + 7; "Pegel: unbekannt" above 31
};
// Nothing when the level has no digits.
std::optional<SignalReading> parseCsq(std::string_view line);

// +CPAS: <pas>                 0 ready, 3 ringing, 4 call in progress ...
// True when the phone is ready (last character "0"); nothing when the line
// does not end in a digit.
std::optional<bool> parseCpasReady(std::string_view line);

// The identity dialogue: after "AT+CGMI;+CGMM;+CGMR" and "AT+CGSN;+CIMI;^SCID"
// the phone sends plain lines (no "+") for maker, model, revision, IMEI and
// IMSI, then "^SCID: <card number>". The two step counters say which answer
// the next plain line is; the command cycle sets them, the lines advance them.
//   Siemens S45i: "SIEMENS", "S45i", "21", "350123451234560", "262071234567890"
struct DeviceIdentity {
    int manufacturerStep = 0;  // 1 maker next, 2 model, 3 revision, 4 done
    int identityStep = 0;      // 1 IMEI next, 2 IMSI, 3 done
    std::string manufacturer;
    std::string model;
    std::string homeNetwork;  // the IMSI's MCC and MNC (homeNetworkOfImsi)
    std::string infoCaption;  // maker, line break, model
    std::string infoTooltip;  // "SW:21 IMEI:... IMSI:... SIM:..."
};
// Takes a plain line; returns false (and changes nothing) for a line that
// contains "+", a result code or "RING", or when neither counter expects a
// line. The IMEI (14 to 17 digits) and the IMSI (6 to 15) are known by their
// shape, whatever maker lines are still awaited.
bool takeIdentityLine(DeviceIdentity& identity, std::string_view line);
// ^SCID: <card number>         appends " SIM:" + number to the tooltip;
// false for a line without a number, and when the tooltip would grow past
// kInfoTooltipLimit characters.
inline constexpr std::size_t kInfoTooltipLimit = 400;
bool takeScid(DeviceIdentity& identity, std::string_view line);
// The SIM card number of other makers' devices, asked with "AT+CCID" or
// "AT+ICCID": "+CCID: <number>" (u-blox), "+ICCID: <number>" (Telit,
// SIMCom SIM7600), the number alone (SIMCom SIM800), quoted or not. The
// number is 18 to 22 digits, the last one may be the filler "F". Nothing for
// any other line.
//   SIM800: "89492071234567890123"   SIM7600: "+ICCID: 89490200001234567890"
std::optional<std::string> parseIccid(std::string_view line);

// Answers to star codes dialled by the user: lines that are neither echoes
// ("AT...") nor answers ("+...") and are shorter than 60 characters.
struct StarCodeAnswer {
    enum Kind { Ignored, Done, Text } kind = Ignored;
    std::string append;  // for Text: the line and one blank, appended to the answer box
};
StarCodeAnswer starCodeAnswer(std::string_view line);
// The answer box holds at most this many characters of a star code's answer
// (a network answer is at most 182 characters; several fit with room).
inline constexpr int kStarCodeTextLimit = 2000;

// The answer to the network's own code "ATD*122#;" arrives as a line that
// begins with a double quote: the text up to the next quote (or to the end
// of the line). Nothing for a line that does not begin with a quote.
std::optional<std::string> ussdQuotedText(std::string_view line);

// +CLIP: "<number>",<type>[,...]   caller identification after RING
//   Siemens S45i: "+CLIP: \"+491711234567\",145", withheld: "+CLIP: \"\",128"
// The number is the text inside the first pair of quotes; a line without
// quotes takes the text from the first blank to the next comma (or the end).
struct CallerId {
    std::string number;  // empty when the caller is not shown
};
// Nothing when the line has neither quotes nor a blank after "+CLIP:".
std::optional<CallerId> parseClip(std::string_view line);

// Caption of the incoming-call label: "hh:mm" + "  Anruf !".
std::string ringCaption(std::string_view timeOfDay);
// Caption after caller identification: "hh:mm" + "  " + number, and when a
// phone-book name was found, a line break and the name.
std::string callerCaption(std::string_view timeOfDay, std::string_view number,
                          std::string_view callerName);

// What a line says about the SIM: a problem as German text ("keine
// SIM-Karte", "SIM-PIN erforderlich", ...), an empty text for a ready SIM
// ("+CPIN: READY"), nothing for any other line. Numeric and verbose
// "+CME ERROR:" forms and "+CPIN:" answers are read.
std::optional<std::string> simStateOf(std::string_view line);

}  // namespace funkor
