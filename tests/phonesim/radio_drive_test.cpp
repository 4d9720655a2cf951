// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The simulator in the radio mode: each maker's device on the drive answers
// its registration, its engineering query and +CESQ from the same reading,
// in the layout the program's parsers read, and its database file holds the
// cells it reports.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "core/at_network.h"
#include "core/cell_observation.h"
#include "tests/phonesim/sim_client.h"

using simtest::Sim;

namespace {

std::string driveScenario(const char* device, const char* radio, double speed) {
    std::ostringstream s;
    s << R"({"phone": {"device": ")" << device << R"("}, "sim": {"imsi": "262011234567890"},
            "networks": [{"code": "26201", "name": "Telekom.de"}],
            "radio": {"density": "city", "radio": ")"
      << radio << R"(", "seed": 7, "speed": )" << speed << "}}";
    return s.str();
}

struct DriveRow {
    const char* label;
    const char* device;
    const char* radio;
    const char* setup;  // sent first after "ATE0;", answered OK
    const char* query;  // registration, the maker's query and, where known, +CESQ
    const char* registrationPrefix;
    bool neighboursByCode;  // LTE: neighbours by PCI only
    bool cesq;              // the device answers +CESQ
};

const DriveRow kDriveRows[] = {
    {"Siemens S45i", "s45i", "GSM", "+CREG=2", "AT+CREG?;^SMONC", "+CREG: 2,", false, false},
    {"Quectel EC25", "lte-modem", "LTE", "+CEREG=2",
     "AT+CEREG?;+QENG=\"servingcell\";+QENG=\"neighbourcell\";+CESQ", "+CEREG: 2,", true, true},
    {"SIMCom SIM800", "gsm-module", "GSM", "+CREG=2;+CENG=1,1", "AT+CREG?;+CENG?", "+CREG: 2,",
     false, false},
    {"u-blox SARA-G350", "ublox-module", "GSM", "+CREG=2", "AT+CREG?;+UCELLINFO?", "+CREG: 2,",
     false, false},
};

}  // namespace

TEST(RadioDrive, EachMakersQueryTellsTheRegisteredCellAndItsNeighbours) {
    for (const DriveRow& row : kDriveRows) {
        SCOPED_TRACE(row.label);
        const std::string csv = simtest::writeTemp("cells.csv", "");
        Sim sim(driveScenario(row.device, row.radio, 14),
                {"--baud", "off", "--delay", "0", "--cells-csv", csv});
        const std::vector<std::string> setup = sim.command(std::string("ATE0;") + row.setup);
        ASSERT_EQ(setup.back(), "OK") << setup.front();
        const std::vector<std::string> reply = sim.command(row.query);
        ASSERT_EQ(reply.back(), "OK");
        std::optional<funkor::Registration> reg;
        funkor::Observation obs;
        std::optional<double> cesqDbm;
        for (const std::string& line : reply) {
            if (line.rfind(row.registrationPrefix, 0) == 0) reg = funkor::parseRegistration(line);
            if (line.rfind("+CESQ:", 0) == 0) cesqDbm = funkor::parseCesq(line)->signalDbm();
            funkor::addReports(obs, funkor::parseCellReports(line));
        }
        ASSERT_TRUE(reg && reg->hasCell()) << reply.front();
        ASSERT_TRUE(obs.serving && obs.serving->cell && obs.serving->area);
        EXPECT_EQ(static_cast<std::uint64_t>(*obs.serving->cell), reg->ciValue);
        EXPECT_EQ(static_cast<std::uint32_t>(*obs.serving->area), reg->lacValue);
        ASSERT_TRUE(obs.serving->signalDbm);
        if (row.cesq) {
            // The serving cell's level in both answers, each in its own steps.
            ASSERT_TRUE(cesqDbm);
            EXPECT_NEAR(*obs.serving->signalDbm, *cesqDbm, 1.0);
        } else {
            EXPECT_EQ(sim.command("AT+CESQ").back(), "ERROR");
        }
        ASSERT_GE(obs.neighbours.size(), 2u);
        for (const funkor::ObservedCell& n : obs.neighbours) {
            EXPECT_EQ(n.hasIdentity(), !row.neighboursByCode);
            EXPECT_EQ(n.unit.has_value(), row.neighboursByCode);
        }
        // The database the simulator wrote holds the serving cell.
        std::ifstream in(csv);
        const std::string rows{std::istreambuf_iterator<char>(in), {}};
        const std::string key = std::string(row.radio) + ",262,1," + std::to_string(reg->lacValue) +
                                "," + std::to_string(reg->ciValue) + ",";
        EXPECT_NE(rows.find(key), std::string::npos) << key;
    }
}

// Driving fast through the city, the device moves on to another cell and
// says so unasked, in its own registration form.
TEST(RadioDrive, TheServingCellFollowsTheDrive) {
    Sim sim(driveScenario("gsm-module", "GSM", 60), {"--baud", "off", "--delay", "0"});
    const std::vector<std::string> first = sim.command("AT+CREG=2;+CREG?");
    const std::string urc = sim.readUntil("+CREG: 1,", 20.0);
    ASSERT_NE(urc.find("+CREG: 1,"), std::string::npos) << urc;
    const std::string after = simtest::lines(urc.substr(urc.find("+CREG: 1,"))).front();
    EXPECT_NE(first[1].substr(first[1].find(',', 8)), after.substr(after.find(',')));
}
