// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "core/at_device.h"
#include "core/at_network.h"

// The values ModemManager (org.freedesktop.ModemManager1) reports, turned
// into what the AT dialogue gets from its answers: the serving cell as a
// registration (so that the cell key, radio, LAC/TAC and CI come out as
// from a "+CEREG:" answer), the signal as a "+CSQ:" reading, the timing
// advance as a distance. The D-Bus side hands its values over as plain
// data; nothing here knows the bus.
namespace funkor {

// One value of a D-Bus dictionary (a{sv}) as far as ModemManager uses them:
// booleans, integers of any width, doubles and strings.
using MmValue = std::variant<bool, std::int64_t, double, std::string>;
using MmDict = std::map<std::string, MmValue>;

// The 3GPP location (Modem.Location, source MM_MODEM_LOCATION_SOURCE_3GPP_LAC_CI):
// "MCC,MNC,LAC,CI,TAC", LAC, CI and TAC in hex without leading zeros, an
// unknown LAC or TAC as "0" (on LTE the LAC is 0, on GSM and UMTS the TAC).
//   "262,01,0,79D9031,1F00" (LTE), "310,260,8BE3,2BAF" (GSM, before 1.10: no TAC)
struct MmLocation {
    std::string operatorCode;  // MCC and MNC: "26201", "310260"
    std::uint32_t lac = 0;
    std::uint32_t tac = 0;
    std::uint64_t ci = 0;
};
// Nothing for a text of another layout, a character outside [0-9A-Fa-f,],
// an MCC that is not 3 digits, an MNC not 2 or 3, a LAC above 4 hex digits,
// a TAC above 6, a CI above 9 (an NR cell has 36 bits), or a CI of 0.
std::optional<MmLocation> parseMmLocation(std::string_view text);

// The device's identity from Modem (Manufacturer, Model, Revision,
// EquipmentIdentifier) and Sim (Imsi, SimIdentifier), with the caption and
// tooltip of the identity dialogue: "Quectel" line break "EC25",
// "SW:EC25EFAR06A03M4G IMEI:866758041234567 IMSI:262011234567890 SIM:8949...".
// An empty value leaves its part out; the IMSI gives the home network.
struct MmIdentityInput {
    std::string manufacturer, model, revision, imei, imsi, iccid;
};
DeviceIdentity mmIdentity(const MmIdentityInput& in);

// The radio of the access technologies (Modem.AccessTechnologies, a bit
// mask of MMModemAccessTechnology). LTE wins over 5G NR: a modem on a
// non-standalone 5G network reports both, and its serving cell is the LTE
// anchor. Nothing for none of GSM, UMTS, LTE or NR (unknown, POTS, CDMA).
std::optional<Radio> radioOfAccessTechnologies(std::uint32_t mask);

// Registered with a network (MMModem3gppRegistrationState, whose numbers are
// those of <stat> in 27.007): home, roaming, SMS only, CSFB not preferred.
bool mmRegistered(std::uint32_t registrationState);

// The serving cell as a registration answer of the domain that carries it:
// a TAC makes it an LTE cell (NR when the technologies say NR alone, or the
// CI has more than 28 bits) reported with +CEREG (+C5GREG for NR), a LAC a
// GSM cell (UMTS when the technologies say UMTS or the CI has more than 16
// bits) reported with +CREG. LAC/TAC and CI in the digits parseRegistration
// gives them. `registrationState` fills status and registered.
Registration mmServingCell(const MmLocation& location, std::uint32_t registrationState,
                           std::uint32_t accessTechnologies);

// The signal gauge from Modem.SignalQuality (percent, 0..100), in the
// "+CSQ:" reading's terms: rssi and gauge 0..31, tooltip "Pegel: 58%".
SignalReading mmSignalQuality(std::uint32_t percent);

// The signal dictionaries of Modem.Signal (after Setup(rate)), one per
// technology; a dictionary that is empty or lacks every known key is
// not there. Values in dBm (rssi, rsrp, rscp) and dB (rsrq, ecio, snr).
struct MmSignalDicts {
    MmDict gsm, umts, lte, nr;
};
// The gauge from the dictionary of `radio` (the others when that one says
// nothing): an RSSI as 27.007's <rssi> ((dBm + 113) / 2, 0..31), else an
// RSRP (-140..-44 dBm) or RSCP (-120..-25 dBm) spread over the same scale.
// The tooltip names the value it came from: "Pegel: 45% (RSRP -95 dBm)".
// Nothing when no dictionary has a usable value.
std::optional<SignalReading> mmSignal(const MmSignalDicts& dicts, Radio radio);

// One entry of Modem.GetCellInfo (aa{sv}): "cell-type" (MMCellType),
// "serving", and per type "operator-id", "lac" or "tac", "ci", "physical-ci",
// "timing-advance", "rsrp", "rssi" ...
struct MmCellInfo {
    bool serving = false;
    Radio radio = Radio::Gsm;
    std::string operatorCode;  // empty when not given
    Registration cell;         // lac/ci as parseRegistration gives them; empty when not given
    std::string cellKey;       // makeCellKey of the above; empty without CI, LAC/TAC or operator
    std::string physicalCi;    // LTE/NR physical cell id (hex), neighbours often have only this
    std::optional<int> timingAdvance;
    // Metres from the timing advance: GSM 546 m a step (as parseSstk), LTE
    // 78 m (16 Ts); the middle of the step. None for other radios.
    std::optional<int> distanceMetres;
    std::optional<double> signalDbm;  // rsrp (LTE, NR), rscp (UMTS) or rxlev-derived rssi (GSM)
};
// The GSM, UMTS, LTE and NR entries, serving cell first, in the answer's
// order otherwise; CDMA, TD-SCDMA and unknown types are left out.
std::vector<MmCellInfo> mmCellInfo(const std::vector<MmDict>& entries);

// The time stamp of an Sms object ("2026-12-09T21:30:05+01:00", the
// service centre's local time and zone) as the window shows a PDU's:
// "09.12.26 21:30:05". Empty for a text of another layout.
std::string mmSmsTimeStamp(std::string_view iso);

// The text of an Sms object (8-bit) as the window reads a PDU's. Another
// Funkor, as the program it follows, packs its texts as ASCII codes, which
// ModemManager decodes as the GSM alphabet: "$" arrives as "\xA4" (the GSM
// currency sign), "[" as "\xC4" ... Such a text (it begins with "\xA4")
// gets its ASCII back, and with it the German letters the AT dialogue reads
// there (mapGsmUmlauts); any other text stays as it came.
std::string mmSmsText(std::string_view text);

// The number and text of an SMS-SUBMIT PDU as encodeSmsPdu builds it (the
// program's own outgoing messages), for Messaging.Create, which takes them
// decoded. Nothing for a PDU of another layout.
struct MmOutgoingSms {
    std::string number;  // "+49..." when international
    std::string text;    // 8-bit, the German letters as themselves
};
std::optional<MmOutgoingSms> mmOutgoingSms(std::string_view pdu);

}  // namespace funkor
