// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/at_network.h"
#include "core/cycle_state.h"
#include "core/data_files.h"
#include "core/position_output.h"

// The state the window's handlers share, grouped by topic. Texts are 8-bit
// (one byte per character, as on the serial line and in the data files);
// numbers are plain ints; a flag is a bool, which the snapshot writes as 0/1.
//
// Every group lists its members in visit(), by the names the handlers use, so
// that the snapshot can write them all; a member added to a group must be
// added to its visit() as well.

// One zone read from the SIM (home zone, city zone): centre in 10 m units,
// radius in metres, name.
using ZoneArea = funkor::ZoneArea;

// The cycle's and the answers' positions, shared with the answer table.
using funkor::IccidStep;
using funkor::PollStep;
using funkor::RegistrationQuery;
using funkor::SmsRead;
using funkor::UssdPending;

// Phone link, command cycle and device identity.
struct PhoneLinkState {
    int portNumber = 0;        // serial port number used for the phone
    bool phoneLinked = false;  // the phone has answered on the current port
    // The command line as given ("3", "3,57600"); emptied in test mode.
    std::string commandLine;
    std::string lineBuffer;                      // characters received since the last line end
    PollStep pollStep = PollStep::Manufacturer;  // next step of the command schedule
    int manufacturerStep = 0;
    int identityStep = 0;
    std::string manufacturer;
    std::string model;
    std::string homeNetwork;  // first five IMSI digits
    UssdPending ussdPending = UssdPending::None;
    bool ussdDone = false;  // the balance was asked in this cell
    bool homeZoneReadDone = false;
    bool autoSearchToggle = false;     // the "Auto" search tries the port's second rate next
    double lastOperatorScanTime = -1;  // seconds since midnight; -1: none yet
    bool operatorScanPending = false;  // "AT+COPS=?" sent, its answer not yet in
    bool linkProbePending = false;     // the connection step's "AT+CBC" awaits its final answer
    // The device refused that "AT+CBC" (no battery): another maker's device
    // then gets the status line without it, since such a device refuses a
    // line with an unknown command whole.
    bool cbcRefused = false;
    // Other makers' devices: where the asking for the SIM card number stands.
    IccidStep iccidStep = IccidStep::NotAsked;
    // Other makers' devices: the next registration query of step 6 (0 "+CREG",
    // 1 "+CGREG", 2 "+CEREG", 3 "+C5GREG"); the query whose answer is
    // awaited; and the queries the device refused, not asked again in this run.
    int registrationStep = 0;
    RegistrationQuery registrationQuery = RegistrationQuery::None;
    bool cgregRefused = false;
    bool ceregRefused = false;
    bool c5gregRefused = false;
    // Ticks the identity step has waited for the maker's lines.
    int identityWaits = 0;
    // Why the device cannot use the network for want of a SIM or its PIN
    // ("keine SIM-Karte"); empty when the SIM is ready.
    std::string simProblem;
    // The last battery charge in percent and signal gauge value (0..31) the
    // device answered; -1 until it answered.
    int batteryCharge = -1;
    int signalLevel = -1;

    template <class V>
    void visit(V&& v) {
        v("portNumber", portNumber);
        v("phoneLinked", phoneLinked);
        v("commandLine", commandLine);
        v("lineBuffer", lineBuffer);
        v("pollStep", pollStep);
        v("manufacturerStep", manufacturerStep);
        v("identityStep", identityStep);
        v("manufacturer", manufacturer);
        v("model", model);
        v("homeNetwork", homeNetwork);
        v("ussdPending", ussdPending);
        v("ussdDone", ussdDone);
        v("homeZoneReadDone", homeZoneReadDone);
        v("autoSearchToggle", autoSearchToggle);
        v("lastOperatorScanTime", lastOperatorScanTime);
        v("operatorScanPending", operatorScanPending);
        v("linkProbePending", linkProbePending);
        v("cbcRefused", cbcRefused);
        v("iccidStep", iccidStep);
        v("registrationStep", registrationStep);
        v("registrationQuery", registrationQuery);
        v("cgregRefused", cgregRefused);
        v("ceregRefused", ceregRefused);
        v("c5gregRefused", c5gregRefused);
        v("identityWaits", identityWaits);
        v("simProblem", simProblem);
        v("batteryCharge", batteryCharge);
        v("signalLevel", signalLevel);
    }
};

// Registered network, serving cell and the operators in reach.
struct NetworkState {
    std::string operatorCode;  // MCC and MNC, such as "26207"; "" without network
    std::string networkText;   // name of the registered operator
    std::string zoneName;      // text of Netz2 on the O2 network
    std::string cellKey;       // CI, LAC/TAC and operatorCode (funkor::makeCellKey)
    // The serving cell of cellKey: its radio ("GSM", "UMTS", "LTE", "NR") and
    // its LAC (TAC on LTE and NR) and CI as numbers, for the cell database.
    std::string cellRadio;
    std::int64_t cellLac = 0;
    std::int64_t cellCi = 0;
    // The last registration answer of each domain (+CREG, +CGREG, +CEREG, +C5GREG).
    std::array<funkor::Registration, funkor::kRegistrationKinds> registrations{};
    std::array<int, funkor::kRegistrationKinds> registrationKnown{};
    // The domain whose answer named the serving cell; -1 for none.
    int cellDomain = -1;
    // Whether the last registration answers left the device on a network.
    bool onNetwork = false;
    // Whether that has been judged since the phone was found: a device that
    // is not registered for calls may be on the network in a domain not yet
    // asked, so the first "not registered" waits for the first round.
    bool registrationJudged = false;
    std::string lastCellKey;
    std::string sectorLetter;  // "A", "B", "C" or ""
    std::string regionText;
    int taDistance = 0;  // metres from the timing advance (up to 34671)
    ZoneArea homeZone;
    ZoneArea cityZone;
    std::string homeKey;
    funkor::CountryTable countryTable;  // country lines by mobile country code

    template <class V>
    void visit(V&& v) {
        v("operatorCode", operatorCode);
        v("networkText", networkText);
        v("zoneName", zoneName);
        v("cellKey", cellKey);
        v("cellRadio", cellRadio);
        v("cellLac", cellLac);
        v("cellCi", cellCi);
        v("lastCellKey", lastCellKey);
        v("sectorLetter", sectorLetter);
        v("regionText", regionText);
        v("taDistance", taDistance);
        v("homeZone", homeZone);
        v("cityZone", cityZone);
        v("homeKey", homeKey);
        v("countryTable", countryTable);
    }
};

// Cell position, display switches, position log and map link.
struct PositionState {
    std::string cbPage;          // hex text of the last cell-broadcast page
    bool cbPending = false;      // the next line is a broadcast page
    std::string lastCbPosition;  // 22 hex digits of the last processed position
    std::string positionKey;     // 12 digits: easting, northing in 10 m
    std::string gsmRmc;          // GSM-cell sentence pair, each ending in CR LF
    std::string gsmGga;
    // An estimated position's error sentence ("$GPGST"), sent after the
    // pair; empty for other positions.
    std::string gsmGst;
    std::string mapAddress;
    // The pair above came from the offline cell database, not from the
    // network's broadcast (which replaces it when the cell sends one).
    bool gsmFromDatabase = false;
    // Address of the map page the map addresses lead to (settings "Map",
    // "Base").
    std::string mapBase = "http://127.0.0.1:8787";
    funkor::O2Lines o2Lines;  // region circles, lines 1..count
    // Local time minus UTC today, in minutes (India 330), and its whole
    // hours (India 5).
    int utcOffsetMinutes = 60;
    int utcOffsetHours = 1;
    // Texts saved by the display switches while they are on.
    std::string shCellNetworkText;
    std::string shCellZoneName;
    std::string shHomeNetworkText;
    std::string shHomeZoneName;
    std::string shHomeCellCaption;
    std::string reviewRmc;  // logged position under review, without line ends
    std::string reviewGga;

    template <class V>
    void visit(V&& v) {
        v("cbPage", cbPage);
        v("cbPending", cbPending);
        v("lastCbPosition", lastCbPosition);
        v("positionKey", positionKey);
        v("gsmRmc", gsmRmc);
        v("gsmGga", gsmGga);
        v("gsmGst", gsmGst);
        v("mapAddress", mapAddress);
        v("gsmFromDatabase", gsmFromDatabase);
        v("mapBase", mapBase);
        v("o2Lines", o2Lines);
        v("utcOffsetMinutes", utcOffsetMinutes);
        v("utcOffsetHours", utcOffsetHours);
        v("shCellNetworkText", shCellNetworkText);
        v("shCellZoneName", shCellZoneName);
        v("shHomeNetworkText", shHomeNetworkText);
        v("shHomeZoneName", shHomeZoneName);
        v("shHomeCellCaption", shHomeCellCaption);
        v("reviewRmc", reviewRmc);
        v("reviewGga", reviewGga);
    }
};

// GPS input, NMEA output, LAN output and automatic sending.
struct OutputState {
    std::string gpsRmc;  // last "$GPRMC" line with CR LF appended
    std::string gpsGga;
    std::string gpsLineBuffer;
    int sourceRotation = funkor::SourceRotation::NotYet;  // the source the rotation sent last
    bool lanStarted = false;  // the LAN output listens; reset when it is closed
    int autoSendMinutes = 0;

    template <class V>
    void visit(V&& v) {
        v("gpsRmc", gpsRmc);
        v("gpsGga", gpsGga);
        v("gpsLineBuffer", gpsLineBuffer);
        v("sourceRotation", sourceRotation);
        v("lanStarted", lanStarted);
        v("autoSendMinutes", autoSendMinutes);
    }
};

// Stored, incoming and outgoing SMS.
struct SmsState {
    SmsRead smsReadState = SmsRead::Idle;
    std::string smsStorage;
    std::string smsIndex;
    bool smsDeletePending = false;
    std::array<std::string, 51> smsCache;  // "length:PDU" per storage index
    std::string pduPending;                // PDU waiting to be sent
    bool smsSendPending = false;           // a PDU went to the phone; its send status is awaited
    bool smsListPending = false;           // the next line is the PDU of a "+CMGL:" header
    std::string smsListIndex;
    std::string smsListLength;
    int smsLength = 0;
    std::string smsPdu;
    std::string smsSender;
    std::string smsRmc;  // sentence pair of the last position SMS
    std::string smsGga;
    std::string smsMapLink;
    int smsCursor = 0;
    // Notices ("+CMTI:" lines) that came while a read message waited to be
    // shown, oldest first; each is read once that one is shown.
    std::vector<std::string> smsNoticesWaiting;

    template <class V>
    void visit(V&& v) {
        v("smsReadState", smsReadState);
        v("smsStorage", smsStorage);
        v("smsIndex", smsIndex);
        v("smsDeletePending", smsDeletePending);
        v("smsCache", smsCache);
        v("pduPending", pduPending);
        v("smsSendPending", smsSendPending);
        v("smsListPending", smsListPending);
        v("smsListIndex", smsListIndex);
        v("smsListLength", smsListLength);
        v("smsLength", smsLength);
        v("smsPdu", smsPdu);
        v("smsSender", smsSender);
        v("smsRmc", smsRmc);
        v("smsGga", smsGga);
        v("smsMapLink", smsMapLink);
        v("smsCursor", smsCursor);
        v("smsNoticesWaiting", smsNoticesWaiting);
    }
};

// Phone books, calls and announcements.
struct CallState {
    bool callActive = false;                 // a call dialled here is up; the command cycle waits
    std::array<std::string, 201> phoneBook;  // entries from index 1
    int phoneBookCount = 0;
    int phoneBookIndex = 0;
    int phoneBookSum = 0;
    int phoneBookUsed = 0;
    int phoneBookTotal = 0;
    int phoneBookReceived = 0;
    int pbMissCount = 0;
    bool ownNumberPending = false;
    // Set while the books are read anew after the phone was lost: the entries
    // go into the table and into phoneBookRenewed, and replace the list
    // only when the read is through, so that the entry chosen in it stays
    // chosen meanwhile (an automatic position SMS may go at any moment).
    bool phoneBookRenew = false;
    std::array<std::string, 201> phoneBookRenewed;  // list texts from index 1
    std::string callerName;
    // Milliseconds since the epoch before which no caller is announced;
    // 0 when none was announced yet.
    std::int64_t nextAnnounceTime = 0;

    template <class V>
    void visit(V&& v) {
        v("callActive", callActive);
        v("phoneBook", phoneBook);
        v("phoneBookCount", phoneBookCount);
        v("phoneBookIndex", phoneBookIndex);
        v("phoneBookSum", phoneBookSum);
        v("phoneBookUsed", phoneBookUsed);
        v("phoneBookTotal", phoneBookTotal);
        v("phoneBookReceived", phoneBookReceived);
        v("pbMissCount", pbMissCount);
        v("ownNumberPending", ownNumberPending);
        v("phoneBookRenew", phoneBookRenew);
        v("phoneBookRenewed", phoneBookRenewed);
        v("callerName", callerName);
        v("nextAnnounceTime", nextAnnounceTime);
    }
};

// The state of the phone's side, as the command cycle and the response
// dispatcher both read and write it.
struct PhoneSideState {
    PhoneLinkState& phone;
    NetworkState& network;
    PositionState& position;
    SmsState& sms;
    CallState& calls;
};
