// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Everything the simulated phone knows at power-on, read from a scenario
// file (JSON): the handset, the SIM, its phone books and stored messages, the
// networks and cells in reach and a time line of things that happen.
namespace phonesim {

struct PhoneBookEntry {
    std::string number;  // with "+" for international numbers
    std::string name;    // GSM septets
};

struct PhoneBook {
    int capacity = 0;
    int numberLength = 20;
    int textLength = 14;
    std::map<int, PhoneBookEntry> entries;
};

// SMS status as stored on the SIM (27.005 PDU-mode values).
enum class SmsStatus { Unread = 0, Read = 1, Unsent = 2, Sent = 3 };

struct StoredSms {
    SmsStatus status = SmsStatus::Read;
    std::string pdu;  // hex, service-centre address first
    int tpduLength = 0;
};

struct Network {
    std::string code;  // MCC + MNC, "26207"
    std::string longName;
    bool forbidden = false;
};

struct Cell {
    std::string name;  // for the record file and service answers only
    int lac = 0;
    int ci = 0;
    std::string operatorCode;
    std::string positionKey;  // 12 digits broadcast on channel 221, empty: none
    int timingAdvance = 0;
    int signal = -1;  // -1: the scenario's general signal level
};

struct Zone {
    long easting = 0;   // 10 m units
    long northing = 0;  // 10 m units
    long radius = 0;    // metres
    std::string name;   // GSM septets
};

enum class EventKind { Cell, Ring, Sms, NetworkLost, NetworkBack, Battery, Signal };

struct Event {
    double at = 0;  // seconds after the first connection
    EventKind kind = EventKind::Cell;
    int cell = 0;           // Cell
    std::string number;     // Ring
    int rings = 4;          // Ring
    StoredSms sms;          // Sms (status Unread)
    int value = 0;          // Battery charge, Signal level
    bool charging = false;  // Battery
};

// The kind of device on the line: the Siemens phone the program was written
// for, or another maker's device that knows only the standard commands.
enum class Device {
    S45i,         // Siemens S45i: +CREG with quoted 4-digit fields, ^SCID, ^SSTK, battery
    LteModem,     // battery-less LTE USB modem (Quectel EC25): +CBC fails, no "^" commands,
                  // registered through +CEREG only, 28-bit cells, ICCID through +ICCID
    GsmModule,    // GSM module (SIMCom SIM800): unquoted registration fields without
                  // leading zeros, +CGREG but no +CEREG, ICCID through +CCID
    UbloxModule,  // GSM module (u-blox SARA-G350): quoted 4-digit registration fields,
                  // +CGREG but no +CEREG, ICCID through +CCID with its prefix
};
// "s45i", "lte-modem", "gsm-module", "ublox-module"; false for another name.
bool deviceByName(const std::string& name, Device& out);
const char* deviceName(Device device);

// The radio mode: the device moves along a road track through a simulated
// network (tools/phonesim/radio) and tells its cells from what it hears
// there at the scenario's time: registration, the maker's engineering query
// (^SMONC, +QENG, +CENG, +UCELLINFO) and, on the LTE modem, +CESQ. The
// scenario's own cells are then replaced by the network's.
struct RadioDrive {
    bool on = false;
    std::string density = "city";  // "city", "suburban", "rural"
    bool lte = false;              // the network's radio: LTE, else GSM
    std::uint64_t seed = 1;
    double speed = 14;                   // m/s along the roads
    double seconds = 3600;               // the track's length; the device stops at its end
    double tick = 1;                     // seconds between the device's readings (1..60)
    bool neighboursWithIdentity = true;  // GSM neighbours with their CI
    // Measurements per cell behind the cell database file (--cells-csv); its
    // cost grows with them (a city network of 150 takes seconds).
    int databaseSamples = 30;
};

struct Scenario {
    Device device = Device::S45i;
    std::string manufacturer = "SIEMENS";
    std::string model = "S45i";
    std::string revision = "21";
    std::string imei = "350000000000000";
    std::string imsi = "262070000000000";
    std::string iccid = "89492070000000000000";
    std::string smsc = "+491760000443";
    std::vector<Zone> zones;                  // home zone first, city zone last
    std::vector<std::string> phoneBookOrder;  // storage names as listed
    std::map<std::string, PhoneBook> phoneBooks;
    int smsCapacity = 20;
    std::map<int, StoredSms> sms;
    int battery = 80;
    bool charging = false;
    int signal = 20;
    std::vector<Network> networks;
    std::vector<Cell> cells;
    int startCell = 0;
    double broadcastEvery = 30;
    double operatorScanSeconds = 6;
    std::map<std::string, std::string> services;  // star code -> network answer
    std::string unknownServiceAnswer = "Dienst nicht verfuegbar";
    std::vector<Event> timeline;
    double repeatEvery = 0;  // 0: the time line runs once
    RadioDrive radio;
};

// Makes the scenario's phone `device`; a scenario that still names the
// Siemens handset gets the device's own maker, model and revision.
void useDevice(Scenario& s, Device device);

// Reads a scenario file; on failure returns false with a message in `error`.
bool loadScenario(const std::string& path, Scenario& out, std::string& error);

// The SIM's zone file (EF 6F60, 123 bytes): 18 bytes of header, then four
// 26-byte zone records (easting, northing, squared radius in 10 m units, zone
// number, name). The home zone is record 1, the city zone record 4.
std::string buildZoneFile(const std::vector<Zone>& zones);

}  // namespace phonesim
