// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/data_files.h"
#include "core/position_texts.h"

// Answers about the network: the SIM's zone file, the timing advance, the
// registration with the serving cell, and the registered and available
// operators; plus the texts derived from a cell key (sector, region, area).
namespace funkor {

// One zone read from the SIM: centre in 10 m units, radius in metres, name.
// The same record the zone-distance check takes.
using ZoneArea = ZoneCentre;

// +CRSM: 144,0,<246 hex digits>   answer to "AT+CRSM=176,28512,0,0,123"
// The data holds four 26-byte zone records from data byte 18: 4 bytes
// easting, 4 bytes northing, 4 bytes squared radius (in 10 m units), one
// byte, the name. Record 1 is the home zone, record 4 the city zone.
//   S45i with an O2 SIM: the data begins at position 14, without quotes.
struct SimZoneFile {
    std::optional<ZoneArea> home;  // absent when unreadable or its squared radius is negative
    std::optional<ZoneArea> city;
    std::string homeKey;          // home easting then northing as decimal texts
    std::string distanceTooltip;  // "Entfernung Home (r=1500m)"
};
SimZoneFile parseCrsmZones(std::string_view line);

// ^SSTK: <terminal response in hex>   answer to the SIM-toolkit request for
// local information (timing advance); the last two characters are the
// advance as a hex octet.
//   S45i: "^SSTK: 8103012605820282818301002E02000B" (advance 0B = 11)
struct TimingAdvance {
    int value = 0;           // 0..255 as reported (GSM uses 0..63)
    int distanceMetres = 0;  // value * 546 + 273; 63 gives 34671
};
std::optional<TimingAdvance> parseSstk(std::string_view line);
// "~0.8 km", with " N" / " S/O" / " S/W" for sectors A / B / C on O2 ("26207").
std::string timingAdvanceCaption(int distanceMetres, std::string_view operatorCode,
                                 std::string_view sectorLetter, char decimalSeparator = '.');

// The registration answers of the three domains, solicited (the answer to
// "AT+CREG?", with the mode first) and unsolicited (after a change, without
// it), in every layout 3GPP TS 27.007 allows:
// +CREG: [<n>,]<stat>[,[<lac>],[<ci>][,[<AcT>][,<cause_type>,<reject_cause>]]]
// +CGREG: [<n>,]<stat>[,[<lac>],[<ci>][,[<AcT>][,<rac>][,<cause_type>,<reject_cause>]]]
// +CEREG: [<n>,]<stat>[,[<tac>],[<ci>][,[<AcT>][,<cause_type>,<reject_cause>[,...]]]]
// +C5GREG: [<n>,]<stat>[,[<tac>],[<ci>],[<AcT>][,<Allowed_NSSAI_length>,...]]
// Fields may be quoted or not, with or without leading zeros and blanks,
// hex digits in either case; LAC/TAC up to 4 hex digits, CI up to 8 (UMTS
// and LTE cells have 28 bits); an NR cell (AcT 11 or 12, or any +C5GREG)
// has a TAC of up to 6 hex digits and a 36-bit CI of up to 9.
//   S45i: "+CREG: 2,1,\"C67C\",\"4E21\"", "+CREG: 1,\"C67C\",\"4E21\"", "+CREG: 0,1"
//   SIM800: "+CREG: 2,1,4CA,81DE" (unquoted, no leading zeros)
//   Novatel E362: "+CEREG: 2,1, 1F00, 20 ,79D903 ,7" (an extra field before the CI)
enum class RegistrationKind { Cs, Ps, Eps, Fivegs };  // +CREG, +CGREG, +CEREG, +C5GREG
inline constexpr std::size_t kRegistrationKinds = 4;
enum class Radio { Gsm, Umts, Lte, Nr };
// "GSM", "UMTS", "LTE", "NR": the radio names of the cell databases.
const char* radioName(Radio radio);
struct Registration {
    RegistrationKind kind = RegistrationKind::Cs;
    char state = '0';  // <stat> as a digit ('1' home, '5' roaming ...); 'X' above 9
    int status = 0;    // <stat> as a number
    // Registered with a serving cell: home or roaming (1, 5), also for SMS
    // only (6, 7) and with CSFB not preferred (9, 10).
    bool registered = false;
    // LAC/TAC and CI as upper-case hex: the LAC in 4 digits, the CI in 4 when
    // it fits them (every Siemens cell), otherwise in 8; an NR cell's TAC in
    // 6 and its CI in 9. Empty when not given.
    std::string lac;
    std::string ci;
    std::uint32_t lacValue = 0;
    std::uint64_t ciValue = 0;
    std::optional<int> accessTechnology;  // <AcT> when given
    // From <AcT>; without it GSM (+CREG, +CGREG), LTE (+CEREG) or NR (+C5GREG).
    Radio radio = Radio::Gsm;
    bool hasCell() const { return !lac.empty() && !ci.empty(); }
};
// Nothing when the line is not of the named kind or has no registration state.
std::optional<Registration> parseCreg(std::string_view line);
std::optional<Registration> parseCgreg(std::string_view line);
std::optional<Registration> parseCereg(std::string_view line);
std::optional<Registration> parseC5greg(std::string_view line);
// Any of the four, by the line's prefix.
std::optional<Registration> parseRegistration(std::string_view line);

// The cell key: CI, LAC, operator code. Cells whose CI fits 4 hex digits get
// the 13 characters every existing cell file holds; a longer CI gives 17
// (CI in 8 hex digits, LAC/TAC in 4, the operator code), an NR cell 20 (CI
// in 9, TAC in 6). An operator code of 6 digits (a three-digit MNC, as in
// North America and India) adds one: 14, 18, 21. Each length belongs to one
// layout, so a key read back from a file splits without doubt.
std::string makeCellKey(std::string_view ci, std::string_view lac, std::string_view operatorCode);
inline constexpr std::size_t kCellKeyLength = 13;
inline constexpr std::size_t kLongCellKeyLength = 17;
struct CellKeyParts {
    std::string ci, lac, operatorCode;
};
// Nothing for a length no layout has.
std::optional<CellKeyParts> splitCellKey(std::string_view cellKey);
// Any key with a CI longer than 4 hex digits.
bool isLongCellKey(std::string_view cellKey);

// The antenna sector from the CI (cell key characters 1-4): below 20000 "A",
// below 40000 "B" (base station CI - 20000), above "C" (CI - 40000).
struct Sector {
    std::string letter;
    int baseStation = 0;
};
Sector sectorOf(std::string_view cellKey);
// "Region: " + area letter from the LAC's first decimal digit (1 N, 2 O,
// 3 W, 4 M, 5 S) + "-BYN" / "-BW" / "-BYS" for its first digits 508 / 509 / 510.
std::string regionText(std::string_view cellKey);
// The LAC in decimal split after three digits: LAC 50812 gives "508-12".
std::string areaText(std::string_view cellKey);
// Tooltip of the operator label: "CC=262 NC=07 LAC=C67C CI=4E21 LA=508-12 BS=1 SK=B".
// Sector and base station mean something only for the 4-digit CIs of O2
// Germany; a long key gives "CC=262 NC=01 LAC=1F00 CI=0079D903 LA=793-36".
std::string networkTooltip(std::string_view cellKey, std::string_view operatorCode);

// +COPS: <mode>,2,"<numeric>"   answer to "AT+COPS=3,2;+COPS?"; the code
// has 5 digits, or 6 where the MNC has three (AT&T "310410").
//   S45i: "+COPS: 0,2,\"26207\""
std::optional<std::string> parseCopsNumeric(std::string_view line);
// How many digits the MNC has in the country `mcc`: 3 in North America,
// India's 405 and a few others, 2 elsewhere.
int mncDigits(int mcc);
// The home network (MCC and MNC) of an IMSI, by its country's MNC length;
// empty when the IMSI is not 6 to 15 digits.
std::string homeNetworkOfImsi(std::string_view imsi);
// True when the caption of the network-zone label should read "roaming".
bool isRoaming(std::string_view homeNetwork, std::string_view operatorCode,
               std::string_view networkCaption);

// +COPS: <mode>,0,"<long name>"   answer to "AT+COPS?"
//   S45i: "+COPS: 0,0,\"o2 - de\""
std::optional<std::string> parseCopsName(std::string_view line);

// +COPS: (<stat>,"<long>",[<short>],"<numeric>"),...,,(modes),(formats)
//   S45i: "+COPS: (2,\"o2 - de\",,\"26207\"),(3,\"T-Mobile D\",,\"26201\"),,(0-4),(0,2)"
// Each entry is the list line "<numeric> <stat> <long name>".
std::vector<std::string> parseCopsList(std::string_view line);

// One of the eight operator slots of the window.
enum class OperatorState { Other, Available, Current, Forbidden };
struct OperatorSlot {
    bool visible = false;
    std::string caption;  // " " + long name
    std::string tooltip;  // the numeric code
    OperatorState state = OperatorState::Other;
    std::string countryCaption;  // country name from the country table
    std::string countryTooltip;  // short country code
};
inline constexpr int kOperatorSlots = 8;
// Fills the slots from the list entries; entries beyond the eighth are not shown.
std::array<OperatorSlot, kOperatorSlots> operatorSlots(const std::vector<std::string>& entries,
                                                       const CountryTable& countries);
// Colour of a state marker as 0xRRGGBB: green current, red forbidden,
// yellow available, grey otherwise.
std::uint32_t operatorStateColour(OperatorState state);

}  // namespace funkor
