// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// ModemManager's values as the D-Bus link hands them over: the 3GPP location
// string, access technologies, registration states, the signal and the cell
// list of GetCellInfo, each turned into what the AT dialogue gets.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/modem_manager_values.h"
#include "core/pdu.h"

using namespace funkor;

namespace {

constexpr std::uint32_t kGsm = 1u << 1, kEdge = 1u << 4, kUmts = 1u << 5, kHspa = 1u << 8,
                        kLte = 1u << 14, kNr = 1u << 15;

struct LocationRow {
    const char* label;
    const char* text;
    std::uint32_t tech;
    bool read;        // parseMmLocation gives a location
    const char* key;  // the cell key of mmServingCell; "" for no cell
    Radio radio;
    RegistrationKind kind;
    std::int64_t area;
    std::uint64_t ci;
};

const LocationRow kLocations[] = {
    // The layouts of the Location interface's documentation.
    {"GSM, four fields (before 1.10)", "310,260,8BE3,2BAF", kGsm, true, "2BAF8BE3310260",
     Radio::Gsm, RegistrationKind::Cs, 0x8BE3, 0x2BAF},
    {"UMTS by its 28-bit CI", "250,40,CE00,1CEAD8F0", 0, true, "1CEAD8F0CE0025040", Radio::Umts,
     RegistrationKind::Cs, 0xCE00, 0x1CEAD8F0},
    // ModemManager 1.20 on the simulated Quectel EC25: LAC cleared on LTE.
    {"LTE, LAC 0 and a TAC", "262,01,0,79D9031,1F00", kLte, true, "079D90311F0026201", Radio::Lte,
     RegistrationKind::Eps, 0x1F00, 0x79D9031},
    {"LTE with an NR leg reports the LTE anchor", "262,01,0,79D9031,1F00", kLte | kNr, true,
     "079D90311F0026201", Radio::Lte, RegistrationKind::Eps, 0x1F00, 0x79D9031},
    {"GSM after LTE, TAC cleared", "262,01,4CA,81DE,0", kEdge, true, "81DE04CA26201", Radio::Gsm,
     RegistrationKind::Cs, 0x4CA, 0x81DE},
    {"UMTS said by the technology, short CI", "262,03,C67C,4E21,0", kHspa, true, "4E21C67C26203",
     Radio::Umts, RegistrationKind::Cs, 0xC67C, 0x4E21},
    {"NR standalone: 6-digit TAC, 36-bit CI", "310,410,0,ABCDEF012,12A4F0", kNr, true,
     "ABCDEF01212A4F0310410", Radio::Nr, RegistrationKind::Fivegs, 0x12A4F0, 0xABCDEF012},
    {"lower-case hex is read", "262,01,0,79d9031,1f00", kLte, true, "079D90311F0026201", Radio::Lte,
     RegistrationKind::Eps, 0x1F00, 0x79D9031},
    {"neither LAC nor TAC: no cell", "262,01,0,79D9031,0", kLte, true, "", Radio::Gsm,
     RegistrationKind::Cs, 0, 0},
    {"a 36-bit CI on GSM is no GSM cell", "262,01,4CA,ABCDEF012,0", kGsm, true, "", Radio::Umts,
     RegistrationKind::Cs, 0, 0},
    // Texts no modem should send.
    {"empty", "", kLte, false, "", Radio::Gsm, RegistrationKind::Cs, 0, 0},
    {"CI 0", "262,01,0,0,1F00", kLte, false, "", Radio::Gsm, RegistrationKind::Cs, 0, 0},
    {"MCC of two digits", "26,01,0,79D9031,1F00", kLte, false, "", Radio::Gsm, RegistrationKind::Cs,
     0, 0},
    {"MNC of four digits", "262,0100,0,79D9031,1F00", kLte, false, "", Radio::Gsm,
     RegistrationKind::Cs, 0, 0},
    {"LAC of five digits", "262,01,1FFFF,81DE,0", kGsm, false, "", Radio::Gsm, RegistrationKind::Cs,
     0, 0},
    {"CI of ten digits", "262,01,0,1ABCDEF0123,1F00", kNr, false, "", Radio::Gsm,
     RegistrationKind::Cs, 0, 0},
    {"blank inside", "262,01,0, 79D9031,1F00", kLte, false, "", Radio::Gsm, RegistrationKind::Cs, 0,
     0},
    {"six fields", "262,01,0,79D9031,1F00,1", kLte, false, "", Radio::Gsm, RegistrationKind::Cs, 0,
     0},
    {"three fields", "262,01,4CA", kGsm, false, "", Radio::Gsm, RegistrationKind::Cs, 0, 0},
};

}  // namespace

TEST(ModemManagerValues, LocationStringBecomesTheServingCell) {
    for (const LocationRow& row : kLocations) {
        SCOPED_TRACE(std::string(row.label) + ": " + row.text);
        const auto location = parseMmLocation(row.text);
        ASSERT_EQ(location.has_value(), row.read);
        if (!location) continue;
        const Registration r = mmServingCell(*location, 1, row.tech);
        EXPECT_TRUE(r.registered);
        EXPECT_EQ(r.hasCell() ? makeCellKey(r.ci, r.lac, location->operatorCode) : "", row.key);
        if (!r.hasCell()) continue;
        EXPECT_EQ(r.radio, row.radio);
        EXPECT_EQ(r.kind, row.kind);
        EXPECT_EQ(r.lacValue, row.area);
        EXPECT_EQ(r.ciValue, row.ci);
    }
}

TEST(ModemManagerValues, RegistrationStatesAndTechnologies) {
    struct Row {
        std::uint32_t state;
        bool registered;
    };
    // idle, home, searching, denied, unknown, roaming, SMS only (home,
    // roaming), emergency only, CSFB not preferred (home, roaming), RLOS.
    const Row states[] = {{0, false}, {1, true}, {2, false}, {3, false}, {4, false}, {5, true},
                          {6, true},  {7, true}, {8, false}, {9, true},  {10, true}, {11, false}};
    for (const Row& s : states) EXPECT_EQ(mmRegistered(s.state), s.registered) << s.state;
    const Registration roaming = mmServingCell(*parseMmLocation("262,01,0,79D9031,1F00"), 5, kLte);
    EXPECT_EQ(roaming.status, 5);
    EXPECT_EQ(roaming.state, '5');
    const Registration searching =
        mmServingCell(*parseMmLocation("262,01,0,79D9031,1F00"), 2, kLte);
    EXPECT_FALSE(searching.registered);

    struct Tech {
        std::uint32_t mask;
        std::optional<Radio> radio;
    };
    const Tech techs[] = {
        {0, std::nullopt},
        {1u, std::nullopt} /* POTS */,
        {kGsm | kEdge, Radio::Gsm},
        {kUmts | kHspa, Radio::Umts},
        {kLte, Radio::Lte},
        {1u << 16, Radio::Lte} /* Cat-M */,
        {kNr, Radio::Nr},
        {kLte | kNr, Radio::Lte},
        {1u << 10, std::nullopt} /* 1xRTT */,
        {0xFFFFFFFFu, std::nullopt},
    };
    for (const Tech& t : techs) EXPECT_EQ(radioOfAccessTechnologies(t.mask), t.radio) << t.mask;
}

TEST(ModemManagerValues, SignalQualityAndDictionariesGiveTheGauge) {
    // The percent of SignalQuality is <rssi> * 100 / 31.
    EXPECT_EQ(mmSignalQuality(100).gaugeValue, 31);
    EXPECT_EQ(mmSignalQuality(77).gaugeValue, 24);
    EXPECT_EQ(mmSignalQuality(77).tooltip, "Pegel: 77%");
    EXPECT_EQ(mmSignalQuality(0).gaugeValue, 0);
    EXPECT_EQ(mmSignalQuality(250).gaugeValue, 31);

    struct Row {
        const char* label;
        MmSignalDicts dicts;
        Radio radio;
        int gauge;  // -1: no reading
        const char* tooltip;
    };
    const Row rows[] = {
        {"LTE RSSI first",
         {{}, {}, {{"rssi", -65.0}, {"rsrp", -95.0}, {"rsrq", -11.0}}, {}},
         Radio::Lte,
         24,
         "Pegel: 79% (RSSI -65 dBm)"},
        {"LTE RSRP alone",
         {{}, {}, {{"rsrp", -95.0}, {"rsrq", -11.0}}, {}},
         Radio::Lte,
         15,
         "Pegel: 52% (RSRP -95 dBm)"},
        {"NR RSRP when the radio is NR",
         {{}, {}, {{"rsrp", -120.0}}, {{"rsrp", -80.0}}},
         Radio::Nr,
         19,
         "Pegel: 64% (RSRP -80 dBm)"},
        {"UMTS RSCP",
         {{}, {{"rscp", -90.0}, {"ecio", -6.0}}, {}, {}},
         Radio::Umts,
         10,
         "Pegel: 37% (RSCP -90 dBm)"},
        {"GSM RSSI as <rssi>: -113 dBm is 0",
         {{{"rssi", -113.0}}, {}, {}, {}},
         Radio::Gsm,
         0,
         "Pegel: 7% (RSSI -113 dBm)"},
        {"above -51 dBm is 31",
         {{{"rssi", -40.0}}, {}, {}, {}},
         Radio::Gsm,
         31,
         "Pegel: 100% (RSSI -40 dBm)"},
        {"another technology's dictionary when the radio's is empty",
         {{{"rssi", -73.0}}, {}, {}, {}},
         Radio::Lte,
         20,
         "Pegel: 67% (RSSI -73 dBm)"},
        {"integer values are read too",
         {{}, {}, {{"rsrp", std::int64_t{-95}}}, {}},
         Radio::Lte,
         15,
         "Pegel: 52% (RSRP -95 dBm)"},
        {"only quality values: no reading",
         {{}, {}, {{"rsrq", -11.0}, {"snr", 12.0}}, {}},
         Radio::Lte,
         -1,
         ""},
        {"a string where a number belongs",
         {{}, {}, {{"rssi", std::string("-65")}}, {}},
         Radio::Lte,
         -1,
         ""},
        {"nothing", {}, Radio::Lte, -1, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        const auto r = mmSignal(row.dicts, row.radio);
        ASSERT_EQ(r.has_value(), row.gauge >= 0);
        if (!r) continue;
        EXPECT_EQ(r->gaugeValue, row.gauge);
        EXPECT_EQ(r->tooltip, row.tooltip);
    }
}

// GetCellInfo of an LTE module on QMI, in the layout (keys and D-Bus types)
// that ModemManager's documentation of the method gives: the serving cell
// with its timing advance, two neighbours known by their physical id only,
// one with a full identity, a GSM neighbour, and entries to pass over.
TEST(ModemManagerValues, CellInfoEntriesServingCellFirst) {
    const std::vector<MmDict> answer = {
        {{"cell-type", std::int64_t{5}},
         {"serving", false},
         {"physical-ci", std::string("1A0")},
         {"earfcn", std::int64_t{6300}},
         {"rsrp", -108.0},
         {"rsrq", -14.0}},
        {{"cell-type", std::int64_t{5}},
         {"serving", true},
         {"operator-id", std::string("26201")},
         {"tac", std::string("1F00")},
         {"ci", std::string("79D9031")},
         {"physical-ci", std::string("12C")},
         {"earfcn", std::int64_t{1300}},
         {"rsrp", -91.0},
         {"rsrq", -9.0},
         {"timing-advance", std::int64_t{5}}},
        {{"cell-type", std::int64_t{5}},
         {"serving", false},
         {"operator-id", std::string("26201")},
         {"tac", std::string("1F00")},
         {"ci", std::string("79D9102")},
         {"rsrp", -101.0}},
        {{"cell-type", std::int64_t{2}},
         {"serving", false},
         {"operator-id", std::string("26201")},
         {"lac", std::string("4CA")},
         {"ci", std::string("81DE")},
         {"rx-level", std::int64_t{30}},
         {"timing-advance", std::int64_t{3}}},
        {{"cell-type", std::int64_t{1}}, {"serving", false}, {"sid", std::string("ABCD")}},  // CDMA
        {{"serving", true}},  // no type
        {{"cell-type", std::int64_t{5}},
         {"serving", false},
         {"physical-ci", std::string("2B")},
         {"timing-advance", std::int64_t{99999}}},
    };
    const std::vector<MmCellInfo> cells = mmCellInfo(answer);
    ASSERT_EQ(cells.size(), 5u);

    struct Expected {
        bool serving;
        Radio radio;
        const char* key;
        const char* pci;
        int distance;  // -1: none
        double dbm;
    };
    const Expected rows[] = {
        {true, Radio::Lte, "079D90311F0026201", "12C", 5 * 78 + 39, -91},
        {false, Radio::Lte, "", "1A0", -1, -108},
        {false, Radio::Lte, "079D91021F0026201", "", -1, -101},
        {false, Radio::Gsm, "81DE04CA26201", "", 3 * 546 + 273, -80},
        {false, Radio::Lte, "", "2B", -1, 0},
    };
    for (std::size_t i = 0; i < cells.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(cells[i].serving, rows[i].serving);
        EXPECT_EQ(cells[i].radio, rows[i].radio);
        EXPECT_EQ(cells[i].cellKey, rows[i].key);
        EXPECT_EQ(cells[i].physicalCi, rows[i].pci);
        EXPECT_EQ(cells[i].distanceMetres.value_or(-1), rows[i].distance);
        EXPECT_EQ(cells[i].signalDbm.value_or(0), rows[i].dbm);
    }
    EXPECT_FALSE(cells[4].timingAdvance.has_value());
}

TEST(ModemManagerValues, IdentityAsTheIdentityDialogueShowsIt) {
    const DeviceIdentity full =
        mmIdentity({"Quectel", "EC25", "EC25EFAR06A03M4G", "866758041234567", "310410123456789",
                    "89014103211118510720"});
    EXPECT_EQ(full.infoCaption, "Quectel\rEC25");
    EXPECT_EQ(
        full.infoTooltip,
        "SW:EC25EFAR06A03M4G IMEI:866758041234567 IMSI:310410123456789 SIM:89014103211118510720");
    EXPECT_EQ(full.homeNetwork, "310410");  // a three-digit MNC
    // A modem without a SIM: no IMSI, no home network.
    const DeviceIdentity noSim =
        mmIdentity({"Sierra Wireless", "EM7455", "", "014582000123456", "", ""});
    EXPECT_EQ(noSim.infoTooltip, "IMEI:014582000123456");
    EXPECT_EQ(noSim.homeNetwork, "");
}

TEST(ModemManagerValues, SmsTimeStampsAndOutgoingMessages) {
    struct Stamp {
        const char* iso;
        const char* shown;
    };
    const Stamp stamps[] = {
        {"2026-12-09T21:30:05+01:00", "09.12.26 21:30:05"},
        {"2026-01-01T00:00:00+00", "01.01.26 00:00:00"},  // ModemManager's zone of two digits
        {"2026-01-01T12:00:00", "01.01.26 12:00:00"},
        {"2026-01-01 12:00:00", ""},
        {"26-01-01T12:00:00", ""},
        {"", ""},
    };
    for (const Stamp& s : stamps) EXPECT_EQ(mmSmsTimeStamp(s.iso), s.shown) << s.iso;

    // Every outgoing message is built by encodeSmsPdu; Create takes it back
    // as number and text.
    struct Outgoing {
        const char* number;
        const char* text;
    };
    const Outgoing outgoing[] = {
        {"+49123456789", "abc"},
        {"+4917612345678", "$5231.3140,N,01324.7920,E 21:30 Telekom.de"},
        {"0171234567",
         "Gr\xFC\xDF"
         "e aus M\xFCnchen"},  // even count, national, umlauts
        {"+4915112345678", "$SendPosition!"},
    };
    for (const Outgoing& o : outgoing) {
        const EncodedPdu pdu = encodeSmsPdu(o.text, o.number);
        ASSERT_TRUE(pdu.ok()) << o.text;
        const auto back = mmOutgoingSms(pdu.pdu);
        ASSERT_TRUE(back.has_value()) << pdu.pdu;
        EXPECT_EQ(back->number, o.number);
        EXPECT_EQ(back->text, o.text);
    }
    EXPECT_FALSE(mmOutgoingSms("0791947106004034040D91945111325476F8"));  // a DELIVER
    EXPECT_FALSE(mmOutgoingSms("0001000B919421436587F91FF00A61F118"));    // text cut short
    EXPECT_FALSE(mmOutgoingSms(""));
}

TEST(ModemManagerValues, SmsTextOfAnotherFunkorGetsItsAsciiBack) {
    struct Row {
        const char* label;
        const char* fromModemManager;  // Windows-1252
        const char* shown;
    };
    const Row rows[] = {
        {"request packed as ASCII", "\xA4SendPosition!", "$SendPosition!"},
        {"position packed as ASCII",
         "\xA4"
         "5231.3140,N,01324.7920,E \xA1 12:00",
         "$5231.3140,N,01324.7920,E @ 12:00"},
        {"German letters as the AT dialogue reads them",
         "\xA4Gr\xFC\xDF"
         "e \xC4rger",
         "$Gr\xFC\xDF"
         "e \xC4rger"},
        {"request typed on a phone (GSM alphabet)", "$SendPosition!", "$SendPosition!"},
        {"plain text with a currency sign inside", "5 \xA4 f\xFCr dich", "5 \xA4 f\xFCr dich"},
        {"empty", "", ""},
    };
    for (const Row& r : rows) EXPECT_EQ(mmSmsText(r.fromModemManager), r.shown) << r.label;
}
