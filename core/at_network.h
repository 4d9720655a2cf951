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

// +CREG: <n>,<stat>[,"<lac>","<ci>"]   answer to "AT+CREG?"
// +CREG: <stat>[,"<lac>","<ci>"]       unsolicited after a cell change
//   S45i: "+CREG: 2,1,\"C67C\",\"4E21\"", "+CREG: 1,\"C67C\",\"4E21\"", "+CREG: 0,1"
struct Registration {
    char state = '0';         // '1' home, '5' roaming, '0'/'2'/'3'/'4' not registered
    bool registered = false;  // state 1 or 5
    std::string lac;          // 4 hex digits as reported; empty when not given
    std::string ci;           // 4 hex digits as reported; empty when not given
    bool hasCell() const { return !lac.empty() && !ci.empty(); }
};
// Nothing when the line has no registration state.
std::optional<Registration> parseCreg(std::string_view line);

// The 13-character cell key: CI, LAC, operator code.
std::string makeCellKey(std::string_view ci, std::string_view lac, std::string_view operatorCode);

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
std::string networkTooltip(std::string_view cellKey, std::string_view operatorCode);

// +COPS: <mode>,2,"<numeric>"   answer to "AT+COPS=3,2;+COPS?"
//   S45i: "+COPS: 0,2,\"26207\""
std::optional<std::string> parseCopsNumeric(std::string_view line);
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
