// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// An independent AT client, gammu, pointed at the simulator's port with the
// shipped Berlin scenario: it must identify the phone and read its SIM phone
// book and messages.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "tests/phonesim/sim_client.h"

namespace {

std::string run(const std::string& command) {
    std::string out;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return out;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    pclose(p);
    return out;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(Gammu, IdentifiesThePhoneAndReadsPhoneBookAndMessages) {
    ASSERT_EQ(access("/usr/bin/gammu", X_OK), 0)
        << "gammu is not installed (scripts/setup installs it)";
    std::ifstream berlin(FUNKOR_SOURCE_DIR "/tools/phonesim/scenarios/berlin.json");
    std::stringstream scenario;
    scenario << berlin.rdbuf();
    simtest::Sim sim(scenario.str(), {"--baud", "off", "--delay", "2"});
    sim.closePort();  // gammu opens it
    const std::string rc =
        simtest::writeTemp("gammurc", "[gammu]\ndevice = " + sim.path() +
                                          "\nconnection = at19200\nuse_locking = no\n");
    const std::string gammu = "timeout 40 gammu -c " + rc + " ";

    struct Case {
        const char* command;
        std::vector<const char*> expected;
    };
    const Case cases[] = {
        {"identify",
         {"Manufacturer         : Siemens", "Model                : S45i",
          "Firmware             : 21", "IMEI                 : 350123456789012",
          "SIM IMSI             : 262071234567890"}},
        {"getallmemory SM",
         {"Memory SM, Location 1", "\"+4917612345678\"", "\"Jürgen Müller\"", "\"Bäckerei Weiß\"",
          "Memory SM, Location 7", "\"Über Ärger\""}},
        {"getallsms",
         {"Treffen wir uns um 19 Uhr am Alex? Grüße, Jürgen", "SendPosition!", "5231200,01324300",
          "Remote number        : \"+4917698765432\"", "Status               : UnRead",
          "3 SMS parts in 3 SMS sequences"}},
    };
    for (const auto& c : cases) {
        const std::string out = run(gammu + c.command);
        for (const char* want : c.expected) {
            EXPECT_NE(out.find(want), std::string::npos) << c.command << " lacks " << want << "\n"
                                                         << out;
        }
    }
    // gammu's own dialogue went through the phone's command interpreter.
    const std::string log = readFile(sim.logPath());
    for (const char* command : {"AT+CGSN", "AT+CIMI", "AT+CPBR=", "AT+CMGL=4"}) {
        EXPECT_NE(log.find(command), std::string::npos) << command;
    }
}

}  // namespace
