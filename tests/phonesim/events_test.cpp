// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the phone sends on its own: broadcast pages, rings, new messages and
// registration changes from the scenario's time line.
#include <gtest/gtest.h>

#include "core/fields.h"
#include "core/pdu.h"
#include "tests/phonesim/sim_client.h"

using simtest::Sim;
using simtest::testScenario;
using Lines = std::vector<std::string>;
namespace f = funkor::fields;

namespace {

// The pages (the line after each "+CBM:" header) in a stretch of output.
Lines pages(const std::string& output) {
    const Lines all = simtest::lines(output);
    Lines out;
    for (std::size_t i = 0; i + 1 < all.size(); ++i) {
        if (all[i] == "+CBM: 88") out.push_back(all[i + 1]);
    }
    return out;
}

TEST(Broadcast, PageDecodesToTheServingCellsPosition) {
    Sim sim(testScenario(R"([{"t": 0.8, "cell": "B"}, {"t": 1.6, "cell": "C"}])"));
    sim.command("AT+CNMI=1,1,2;+CREG=2;+CSCB=1,\"\",\"\"");
    const std::string output = sim.readFor(2.4);
    const Lines got = pages(output);
    ASSERT_GE(got.size(), 2u);
    Lines positions;
    for (const auto& page : got) {
        ASSERT_EQ(page.size(), 176u);
        EXPECT_EQ(f::mid(page, 5, 4), "00DD");  // channel 221
        positions.push_back(funkor::decodeSeptets(f::mid(page, 13, 22)));
    }
    EXPECT_EQ(positions.front(), "459870581994");
    EXPECT_EQ(positions.back(), "451818582197");  // cell C broadcasts nothing
    const Lines all = simtest::lines(output);
    EXPECT_NE(std::find(all.begin(), all.end(), "+CREG: 1,\"526E\",\"0407\""), all.end());
    EXPECT_NE(std::find(all.begin(), all.end(), "+CREG: 1,\"526E\",\"9C40\""), all.end());
}

TEST(Broadcast, OnlyWhenSelectedAndRoutedToTheLine) {
    struct Case {
        const char* legend;
        const char* commands;
        bool pages;
    };
    const Case cases[] = {
        {"routing on, reception never switched on", "AT+CNMI=1,1,2", false},
        {"mode 0 with an empty list accepts nothing", "AT+CNMI=1,1,2;+CSCB=0,\"\",\"\"", false},
        {"mode 0 with the channel listed", "AT+CNMI=1,1,2;+CSCB=0,\"221\"", true},
        {"mode 1 with the channel rejected", "AT+CNMI=1,1,2;+CSCB=1,\"200-230\"", false},
        {"switched on but not routed to the line", "AT+CNMI=1,1,0;+CSCB=1,\"\",\"\"", false},
        {"the program's switching on", "AT+CNMI=1,1,2;+CSCB=1,\"\",\"\"", true},
    };
    for (const auto& c : cases) {
        Sim sim(testScenario());
        EXPECT_EQ(sim.command(c.commands).back(), "OK") << c.legend;
        // A page is out within a second; a page that must come is waited
        // for longer, so that a loaded machine does not fail the case.
        std::string out = sim.readFor(1.0);
        for (int i = 0; c.pages && pages(out).empty() && i < 300; ++i) out += sim.readFor(0.1);
        EXPECT_EQ(!pages(out).empty(), c.pages) << c.legend;
    }
}

TEST(Calls, RingWithCallerIdentityThenAnswer) {
    Sim sim(testScenario(R"([{"t": 0.3, "ring": "+493098765432", "rings": 2}])"));
    sim.command("AT+CLIP=1");
    const Lines ring = simtest::lines(sim.readUntil("+CLIP: \"+493098765432\",145\r\n"));
    EXPECT_EQ(ring, (Lines{"RING", "+CLIP: \"+493098765432\",145"}));
    EXPECT_EQ(sim.command("AT+CPAS"), (Lines{"AT+CPAS", "+CPAS: 3", "OK"}));
    EXPECT_EQ(sim.command("ATA;+CPAS"), (Lines{"ATA;+CPAS", "+CPAS: 4", "OK"}));
    EXPECT_EQ(sim.command("ATH;+CPAS"), (Lines{"ATH;+CPAS", "+CPAS: 0", "OK"}));
}

TEST(Messages, NewMessageIsStoredAnnouncedAndRead) {
    Sim sim(testScenario(
        R"([{"t": 0.3, "sms": {"sender": "+4917612345678", "time": "2004-11-12T14:50:00+01:00", "text": "Hallo"}}])"));
    sim.command("AT+CNMI=1,1,2");
    EXPECT_EQ(simtest::lines(sim.readUntil("+CMTI: \"SM\",3\r\n")), (Lines{"+CMTI: \"SM\",3"}));
    // The program's read: storage and index from the announcement.
    const Lines reply = sim.command("AT+CPMS=\"SM\";+CMGR=3");
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ(reply[1], "+CPMS: 3,10,3,10,3,10");
    EXPECT_EQ(reply[2], "+CMGR: 0,,25");
    // Service centre, deliver, sender, PID, DCS, time stamp, length, text.
    EXPECT_EQ(reply[3],
              "0791947106004034"
              "04"
              "0D91947116325476F8"
              "0000"
              "40112141050040"
              "05"
              "C8309BFD06");
    EXPECT_EQ(static_cast<long>(reply[3].size()) / 2 - 8, 25);
    // Read once, it is listed as read.
    const Lines list = sim.command("AT+CMGL=0;+CMGL=1");
    EXPECT_EQ(list, (Lines{"AT+CMGL=0;+CMGL=1", "+CMGL: 2,0,,33", list[2], "+CMGL: 1,1,,25",
                           list[4], "+CMGL: 2,1,,33", list[6], "+CMGL: 3,1,,25", reply[3], "OK"}));
    EXPECT_EQ(sim.command("AT+CMGD=3;+CMGR=3"), (Lines{"AT+CMGD=3;+CMGR=3", "+CMGR: 0,,0", "OK"}));
}

TEST(Network, LossAndReturnAreReportedAndAnswered) {
    Sim sim(testScenario(R"([{"t": 0.4, "network": "lost"}, {"t": 1.2, "network": "back"}])"));
    sim.command("AT+CREG=2;+CNMI=1,1,2;+CSCB=1,\"\",\"\"");
    EXPECT_EQ(simtest::lines(sim.readUntil("+CREG: 2\r\n")).back(), "+CREG: 2");
    EXPECT_EQ(sim.command("AT+COPS?;+CSQ;+CREG?"),
              (Lines{"AT+COPS?;+CSQ;+CREG?", "+COPS: 0", "+CSQ: 99,99", "+CREG: 2,2", "OK"}));
    EXPECT_EQ(sim.command("ATD0301234;"), (Lines{"ATD0301234;", "NO CARRIER"}));
    const std::string back = sim.readUntil("+CREG: 1,\"526D\",\"4E21\"\r\n");
    EXPECT_NE(back.find("+CREG: 1,\"526D\",\"4E21\""), std::string::npos);
    EXPECT_EQ(sim.command("AT+COPS?"), (Lines{"AT+COPS?", "+COPS: 0,0,\"o2 - de\"", "OK"}));
}

}  // namespace
