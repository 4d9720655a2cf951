// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The simulator as another maker's device: a battery-less LTE USB modem and
// a GSM module, each answering the program's command lines as such a device
// does.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>

#include "tests/phonesim/sim_client.h"

using simtest::Sim;
using simtest::testScenario;
using Lines = std::vector<std::string>;

namespace {

std::string lteScenario() {
    std::ifstream in(FUNKOR_SOURCE_DIR "/tools/phonesim/scenarios/lte-modem.json");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct DeviceExchange {
    const char* legend;
    const char* device;  // "lte-modem" (on its own scenario) or "gsm-module"
    std::vector<const char*> commands;
    Lines lastReply;  // the reply to the last command, echo first
};

void PrintTo(const DeviceExchange& e, std::ostream* os) {
    *os << e.device << ": " << e.legend;
}

const DeviceExchange kDeviceExchanges[] = {
    {"LTE modem names its maker",
     "lte-modem",
     {"AT+CGMI;+CGMM;+CGMR"},
     {"AT+CGMI;+CGMM;+CGMR", "Quectel", "EC25", "EC25EFAR06A03M4G", "OK"}},
    {"LTE modem refuses a line with a Siemens command whole",
     "lte-modem",
     {"AT+CGSN;+CIMI;^SCID"},
     {"AT+CGSN;+CIMI;^SCID", "ERROR"}},
    {"LTE modem gives the standard identity",
     "lte-modem",
     {"AT+CGSN;+CIMI"},
     {"AT+CGSN;+CIMI", "866758041234567", "262011234567890", "OK"}},
    {"LTE modem has no battery", "lte-modem", {"AT+CBC"}, {"AT+CBC", "ERROR"}},
    {"LTE modem refuses a line with +CBC whole",
     "lte-modem",
     {"AT+COPS?;+CSQ;+CBC"},
     {"AT+COPS?;+CSQ;+CBC", "ERROR"}},
    {"LTE modem knows no +CCID", "lte-modem", {"AT+CCID"}, {"AT+CCID", "ERROR"}},
    {"LTE modem gives the ICCID through +ICCID",
     "lte-modem",
     {"AT+ICCID"},
     {"AT+ICCID", "+ICCID: 89490200001234567890", "OK"}},
    {"LTE modem: no circuit-switched registration",
     "lte-modem",
     {"AT+CREG=2", "AT+CREG?"},
     {"AT+CREG?", "+CREG: 2,0", "OK"}},
    {"LTE modem: the cell in +CEREG, 28 bits",
     "lte-modem",
     {"AT+CEREG=2", "AT+CEREG?"},
     {"AT+CEREG?", "+CEREG: 2,1,\"1F00\",\"79D9031\",7", "OK"}},
    {"LTE modem: +CEREG without location reports",
     "lte-modem",
     {"AT+CEREG?"},
     {"AT+CEREG?", "+CEREG: 0,1", "OK"}},
    // What ModemManager's probing asks before it takes a modem as LTE.
    {"LTE modem is a GSM device", "lte-modem", {"AT+GCAP"}, {"AT+GCAP", "+GCAP: +CGSM", "OK"}},
    {"LTE modem offers GSM, UMTS and LTE",
     "lte-modem",
     {"AT+WS46=?"},
     {"AT+WS46=?", "+WS46: (12,22,25,28,29,30,31)", "OK"}},
    {"LTE modem: RSRP follows the signal level (24: -72 dBm)",
     "lte-modem",
     {"AT+CESQ"},
     {"AT+CESQ", "+CESQ: 99,99,255,255,20,68", "OK"}},
    {"GSM module has no +CESQ", "gsm-module", {"AT+CESQ"}, {"AT+CESQ", "ERROR"}},
    {"GSM module names its maker",
     "gsm-module",
     {"AT+CGMI;+CGMM"},
     {"AT+CGMI;+CGMM", "SIMCOM_Ltd", "SIMCOM_SIM800", "OK"}},
    {"GSM module: battery with its voltage",
     "gsm-module",
     {"AT+CBC"},
     {"AT+CBC", "+CBC: 0,80,3900", "OK"}},
    {"GSM module: unquoted fields without leading zeros",
     "gsm-module",
     {"AT+CREG=2", "AT+CREG?"},
     {"AT+CREG?", "+CREG: 2,1,526D,4E21", "OK"}},
    {"GSM module: packet registration alike",
     "gsm-module",
     {"AT+CGREG=2;+CGREG?"},
     {"AT+CGREG=2;+CGREG?", "+CGREG: 2,1,526D,4E21", "OK"}},
    {"GSM module knows no +CEREG", "gsm-module", {"AT+CEREG?"}, {"AT+CEREG?", "ERROR"}},
    {"GSM module gives the ICCID alone",
     "gsm-module",
     {"AT+CCID"},
     {"AT+CCID", "89492071234567890123", "OK"}},
    {"GSM module knows no +ICCID", "gsm-module", {"AT+ICCID"}, {"AT+ICCID", "ERROR"}},
    {"GSM module without a radio drive has no engineering mode",
     "gsm-module",
     {"AT+CENG=1,1"},
     {"AT+CENG=1,1", "ERROR"}},
    {"u-blox module names its maker",
     "ublox-module",
     {"AT+CGMI;+CGMM"},
     {"AT+CGMI;+CGMM", "u-blox", "SARA-G350", "OK"}},
    {"u-blox module: quoted four-digit fields",
     "ublox-module",
     {"AT+CGREG=2;+CGREG?"},
     {"AT+CGREG=2;+CGREG?", "+CGREG: 2,1,\"526D\",\"4E21\"", "OK"}},
    {"u-blox module gives the ICCID with its prefix",
     "ublox-module",
     {"AT+CCID"},
     {"AT+CCID", "+CCID: 89492071234567890123", "OK"}},
    {"u-blox module knows no +CEREG", "ublox-module", {"AT+CEREG?"}, {"AT+CEREG?", "ERROR"}},
    {"Phone without a radio drive answers no ^SMONC", "s45i", {"AT^SMONC"}, {"AT^SMONC", "ERROR"}},
};

class Devices : public ::testing::TestWithParam<DeviceExchange> {};

}  // namespace

TEST_P(Devices, AnswerAsTheDeviceDoes) {
    const DeviceExchange& e = GetParam();
    const bool lte = std::string(e.device) == "lte-modem";
    Sim sim(lte ? lteScenario() : testScenario(),
            {"--baud", "off", "--delay", "0", "--device", e.device});
    Lines reply;
    for (const char* command : e.commands) reply = sim.command(command);
    EXPECT_EQ(reply, e.lastReply);
}

INSTANTIATE_TEST_SUITE_P(OtherMakers, Devices, ::testing::ValuesIn(kDeviceExchanges));

// A cell change is reported in the device's own form.
TEST(Devices, CellChangeReportedInTheDevicesForm) {
    Sim lte(lteScenario(), {"--baud", "off", "--delay", "0", "--device", "lte-modem"});
    lte.command("AT+CREG=2;+CGREG=2;+CEREG=2");
    EXPECT_EQ(lte.command("AT+CGREG?"), (Lines{"AT+CGREG?", "+CGREG: 2,0", "OK"}));
    Sim gsm(testScenario("[{\"t\": 0.5, \"cell\": 1}]"),
            {"--baud", "off", "--delay", "0", "--device", "gsm-module"});
    gsm.command("AT+CREG=2");
    const std::string urc = gsm.readUntil("+CREG: 1,", 10.0);
    EXPECT_NE(urc.find("+CREG: 1,"), std::string::npos) << urc;
    EXPECT_EQ(urc.find('"'), std::string::npos) << urc;
}

TEST(Devices, UnknownDeviceNameIsRefused) {
    EXPECT_NE(std::system(FUNKOR_BINARY_DIR "/tools/phonesim/funkor-phonesim --device nokia "
                                            ">/dev/null 2>&1"),
              0);
}
