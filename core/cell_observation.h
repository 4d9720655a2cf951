// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/at_network.h"

// What a device tells about the cells around it in one tick: the serving
// cell with its signal and timing advance, and the neighbours it hears,
// read from the answers of each maker's engineering query. Every field a
// device leaves empty, writes as "-", "FFFF" or out of its range is unknown
// (an empty optional), never zero: a zero would be a real cell, channel or
// signal to the estimator.
namespace funkor {

// Metres per timing-advance step: GSM counts bit periods (48/13 µs, the
// round trip of 553.5 m one way), LTE counts 16 Ts (0.52 µs, 78.12 m).
inline constexpr double kGsmTimingAdvanceStep = 553.5;
inline constexpr double kLteTimingAdvanceStep = 78.12;
double timingAdvanceStep(Radio radio);

// One cell as heard. Identity where the device gives it (MCC, MNC, LAC/TAC,
// CI in decimal, as the cell database keys it); otherwise only the radio,
// the physical code (`unit`: PSC for UMTS, PCI for LTE/NR), the channel
// (ARFCN, UARFCN, EARFCN) and, for GSM, the BSIC.
struct ObservedCell {
    Radio radio = Radio::Gsm;
    std::optional<int> mcc;
    std::optional<int> mnc;
    std::optional<std::int64_t> area;
    std::optional<std::int64_t> cell;
    std::optional<int> unit;
    std::optional<int> channel;
    std::optional<int> bsic;
    // RSSI (GSM), RSCP (UMTS) or RSRP (LTE/NR) in dBm.
    std::optional<double> signalDbm;
    // Serving cell only: the advance in steps of timingAdvanceStep(radio).
    std::optional<int> timingAdvance;

    bool hasIdentity() const { return mcc && mnc && area && cell; }
    // The advance in metres (the middle of its step); none without one.
    std::optional<double> timingAdvanceMetres() const;
};

// One row of an answer: a serving cell or a neighbour.
struct CellReport {
    bool serving = false;
    ObservedCell cell;
};

// Everything one tick learned. `time` is the tick's time in seconds (any
// epoch, the same for a whole run).
struct Observation {
    double time = 0;
    std::optional<ObservedCell> serving;
    std::vector<ObservedCell> neighbours;
};
// Adds the reports of one answer line: a serving cell fills the blanks of
// the one already there (the registration gave the identity, the family
// query the signal), neighbours are appended.
void addReports(Observation& obs, const std::vector<CellReport>& reports);
// The serving cell's identity from a registration answer and the
// registered network's numeric code ("26207"); nothing without a cell.
std::optional<ObservedCell> servingFromRegistration(const Registration& reg,
                                                    std::string_view operatorCode);

// --- 27.007 -----------------------------------------------------------------

// +CESQ: <rxlev>,<ber>,<rscp>,<ecno>,<rsrq>,<rsrp>   answer to "AT+CESQ"
// 99 (rxlev, ber) and 255 (the others) mean not known or not measured.
struct CesqAnswer {
    std::optional<int> rxlev;  // 0..63
    std::optional<int> ber;    // 0..7
    std::optional<int> rscp;   // 0..96
    std::optional<int> ecno;   // 0..49
    std::optional<int> rsrq;   // 0..34
    std::optional<int> rsrp;   // 0..97
    // The serving cell's signal in dBm, from the newest technology given:
    // RSRP (index - 141), RSCP (index - 121), RxLev (index - 111).
    std::optional<double> signalDbm() const;
};
std::optional<CesqAnswer> parseCesq(std::string_view line);

// --- The makers' engineering queries ---------------------------------------

// ^SMONC: (<MCC>,<MNC>,<LAC>,<cell>,<BSIC>,<chann>,<RSSI>,<C1>,<C2>) x 7
// Siemens phones and modules (S45i, TC35i, MC35i): the serving cell first,
// then up to six neighbours, nine fields each on one line. LAC and cell in
// hex, RSSI the receive level 0..63. A cell "0000" was heard but its
// identity not decoded: a neighbour with channel and signal only. Empty
// slots are "000,00,0000,0000,00,0,0,-,-".
std::vector<CellReport> parseSmonc(std::string_view line);

// +QENG: answers of Quectel modules (EC2x, EG9x, BG9x, RM5xx) to
// AT+QENG="servingcell" and AT+QENG="neighbourcell":
//   "servingcell",<state>,"GSM",<mcc>,<mnc>,<lac>,<ci>,<bsic>,<arfcn>,<band>,
//       <rxlev dBm>,<txp>,<rla>,<drx>,<c1>,<c2>,<gprs>,<tch>,<ts>,<ta>,...
//   "servingcell",<state>,"WCDMA",<mcc>,<mnc>,<lac>,<ci>,<uarfcn>,<psc>,<rac>,
//       <rscp>,<ecio>,...
//   "servingcell",<state>,"LTE",<FDD|TDD>,<mcc>,<mnc>,<ci>,<pci>,<earfcn>,
//       <band>,<ul bw>,<dl bw>,<tac>,<rsrp>,<rsrq>,<rssi>,<sinr>,...
//   "neighbourcell","GSM",<mcc>,<mnc>,<lac>,<ci>,<bsic>,<arfcn>,<rxlev dBm>,<c1>,...
//   "neighbourcell","GSM",<arfcn>,<prio>,<high>,<low>,<ncc>,<band>,<bsic>,<rssi>,<srxlev>
//       (heard from an LTE cell: no identity)
//   "neighbourcell","WCDMA",<uarfcn>,<prio>,<high>,<low>,<psc>,<rscp>,<ecno>,<srxlev>
//   "neighbourcell","WCDMA",<uarfcn>,<psc>,<rscp>,<ecno>   (heard from a UMTS cell)
//   "neighbourcell intra"|"neighbourcell inter","LTE",<earfcn>,<pci>,<rsrq>,<rsrp>,...
// A serving cell without cell ("SEARCH", "LIMSRV" with no fields) gives nothing.
std::vector<CellReport> parseQeng(std::string_view line);

// +CENG: <cell>,"<fields>"   SIMCom answers to "AT+CENG?" after "AT+CENG=1,1":
//   SIM800/SIM900 serving (cell 0): <arfcn>,<rxl>,<rxq>,<mcc>,<mnc>,<bsic>,<ci>,
//       <rla>,<txp>,<lac>,<TA>   (TA 255: none)
//   neighbour with CI:    <arfcn>,<rxl>,<bsic>,<ci>,<mcc>,<mnc>,<lac>
//   neighbour without CI: <arfcn>,<rxl>,<bsic>,<mcc>,<mnc>,<lac>
//   mode 3 (AT+CENG=3):   <mcc>,<mnc>,<lac>,<ci>,<bsic>,<rxl>
//   SIM7000 on LTE serving: <earfcn>,<pci>,<rsrp>,<rssi>,<rsrq>,<sinr>,<tac>,<ci>,
//       <mcc>,<mnc>,<txpower>; neighbour: <earfcn>,<pci>,<rsrp>,<rssi>,<rsrq>,<sinr>
// GSM ids in hex, rxl the receive level 0..63; the SIM7000 writes TAC and CI
// in decimal. The mode line ("+CENG: 1,1") gives nothing.
std::vector<CellReport> parseCeng(std::string_view line);

// +UCELLINFO: <mode>,<type>,...   u-blox answers to "AT+UCELLINFO?":
//   type 0/1 (GSM serving/neighbour): <MCC>,<MNC>,<LAC>,<CI>,<RxLev>[,<t_adv>,...]
//   type 2/3/4 (UMTS serving, virtual active set, detected): <MCC>,<MNC>,<LAC>,
//       <CI>,<scrambling_code>,<dl_frequency>,<rscp_lev>,<ecn0_lev>[,...]
//   type 5/6 (LTE serving/neighbour): <MCC>,<MNC>,<CI>,<PhysCellID>,<TAC>,<RSRP>,
//       <RSRQ>[,<LTE_rrc>,<TA_abs>,...]
// LAC, TAC and CI in hex; levels as the 27.007 indexes (RxLev 0..63, RSCP
// 0..91, RSRP 0..97); CI FFFF/FFFFFFFF, PCI 65535 and t_adv 255 are unknown.
std::vector<CellReport> parseUcellinfo(std::string_view line);

// Any of the above by the line's prefix.
std::vector<CellReport> parseCellReports(std::string_view line);

// --- Which queries a device gets -------------------------------------------

enum class DeviceFamily { Generic, Siemens, Quectel, Simcom, Ublox };
// From the +CGMI text: "SIEMENS", "Quectel", "SIMCOM_Ltd", "u-blox".
DeviceFamily deviceFamilyOf(std::string_view manufacturer);
// Commands sent once when the device is known (switching the engineering
// mode on), and those sent every tick for the neighbours; AT+CESQ goes to
// every family (a device that refuses it is not asked again).
std::vector<std::string> familySetupCommands(DeviceFamily family);
std::vector<std::string> familyTickCommands(DeviceFamily family);
const char* deviceFamilyName(DeviceFamily family);

}  // namespace funkor
