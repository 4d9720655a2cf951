// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/at_network.h"
#include "core/data_files.h"

// The state the window's handlers share, grouped by topic. Texts are 8-bit
// (one byte per character, as on the serial line and in the data files);
// numbers and flags are plain ints (0/1 for flags).
//
// Every group lists its members in visit(), by the names the handlers use, so
// that the snapshot can write them all; a member added to a group must be
// added to its visit() as well.

// One zone read from the SIM (home zone, city zone): centre in 10 m units,
// radius in metres, name.
using ZoneArea = funkor::ZoneArea;

// Phone link, command cycle and device identity.
struct PhoneLinkState {
    int portNumber = 0;   // serial port number used for the phone
    int phoneLinked = 0;  // the phone has answered on the current port
    // The command line as given ("3", "3,57600"); emptied in test mode.
    std::string commandLine;
    std::string lineBuffer;  // characters received since the last line end
    int pollStep = 0;        // next step of the command schedule
    int manufacturerStep = 0;
    int identityStep = 0;
    std::string manufacturer;
    std::string model;
    std::string homeNetwork;  // first five IMSI digits
    int ussdPending = 0;      // 1 user star code, 2 automatic balance request
    int ussdDone = 0;
    int homeZoneReadDone = 0;
    int autoSearchToggle = 0;
    double lastOperatorScanTime = -1;  // seconds since midnight; -1: none yet
    int operatorScanPending = 0;       // "AT+COPS=?" sent, its answer not yet in
    int linkProbePending = 0;          // the connection step's "AT+CBC" awaits its final answer
    // Other makers' devices: the SIM card number is asked with "AT+CCID" (1),
    // then "AT+ICCID" (2); 3 when it has come or neither was answered.
    int iccidStep = 0;
    // Other makers' devices: the next registration query of step 6 (0 "+CREG",
    // 1 "+CGREG", 2 "+CEREG"); the query whose answer is awaited ('G', 'E' or
    // 0); and the queries the device refused, not asked again in this run.
    int registrationStep = 0;
    int registrationQuery = 0;
    int cgregRefused = 0;
    int ceregRefused = 0;

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
        v("iccidStep", iccidStep);
        v("registrationStep", registrationStep);
        v("registrationQuery", registrationQuery);
        v("cgregRefused", cgregRefused);
        v("ceregRefused", ceregRefused);
    }
};

// Registered network, serving cell and the operators in reach.
struct NetworkState {
    std::string operatorCode;  // MCC and MNC, such as "26207"; "" without network
    std::string networkText;   // name of the registered operator
    std::string zoneName;      // text of Netz2 on the O2 network
    std::string cellKey;       // CI (4 hex, or 8 for long identities), LAC (4 hex), operatorCode
    // The serving cell of cellKey: its radio ("GSM", "UMTS", "LTE") and its
    // LAC (TAC on LTE) and CI as numbers, for the cell database.
    std::string cellRadio;
    std::int64_t cellLac = 0;
    std::int64_t cellCi = 0;
    // The last registration answer of each domain (+CREG, +CGREG, +CEREG).
    std::array<funkor::Registration, 3> registrations{};
    std::array<int, 3> registrationKnown{};
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
    int cbPending = 0;           // the next line is a broadcast page
    std::string lastCbPosition;  // 22 hex digits of the last processed position
    std::string positionKey;     // 12 digits: easting, northing in 10 m
    std::string gsmRmc;          // GSM-cell sentence pair, each ending in CR LF
    std::string gsmGga;
    std::string mapAddress;
    // The pair above came from the offline cell database, not from the
    // network's broadcast (which replaces it when the cell sends one).
    bool gsmFromDatabase = false;
    // Address of the map page the map addresses lead to (settings "Map",
    // "Base").
    std::string mapBase = "http://127.0.0.1:8787";
    funkor::O2Lines o2Lines;  // region circles, lines 1..count
    int utcOffsetHours = 1;   // local time minus UTC today
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
        v("mapAddress", mapAddress);
        v("gsmFromDatabase", gsmFromDatabase);
        v("mapBase", mapBase);
        v("o2Lines", o2Lines);
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
    int sourceRotation = 0;  // 1 GSM, 2 GPS, 3 SMS in multi-source mode
    int lanStarted = 0;
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
    int smsReadState = 0;  // 0 idle, 1 requested, 2 sent, 3 header, 4 PDU in
    std::string smsStorage;
    std::string smsIndex;
    int smsDeletePending = 0;
    std::array<std::string, 51> smsCache;  // "length:PDU" per storage index
    std::string pduPending;                // PDU waiting to be sent
    int smsSendPending = 0;
    int smsListPending = 0;
    std::string smsListIndex;
    std::string smsListLength;
    int smsLength = 0;
    std::string smsPdu;
    std::string smsSender;
    std::string smsRmc;  // sentence pair of the last position SMS
    std::string smsGga;
    std::string smsMapLink;
    int smsCursor = 0;

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
    }
};

// Phone books, calls and announcements.
struct CallState {
    int callActive = 0;                      // a call dialled here is up; the command cycle waits
    std::array<std::string, 201> phoneBook;  // entries from index 1
    int phoneBookCount = 0;
    int phoneBookIndex = 0;
    int phoneBookSum = 0;
    int phoneBookUsed = 0;
    int phoneBookTotal = 0;
    int phoneBookReceived = 0;
    int pbMissCount = 0;
    int ownNumberPending = 0;
    // 1 while the books are read anew after the phone was lost: the entries
    // go into the table and into phoneBookRenewed, and replace the list
    // only when the read is through, so that the entry chosen in it stays
    // chosen meanwhile (an automatic position SMS may go at any moment).
    int phoneBookRenew = 0;
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
