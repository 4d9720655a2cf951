// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "tests/window/dispatcher_test_support.h"

namespace {

// Lines that a garbled or cut-off transmission can produce: each must leave
// the window exactly as the last good answers left it.
TEST(DispatcherBadInput, UnusableAnswersKeepTheLastGoodState) {
    const char* const lines[] = {
        "+CSQ:",
        "+CSQ: ,99",
        "+CSQ: x7,99",
        "+CBC:",
        "+CBC: x,80",
        "+CBC: ",
        "+CPAS:",
        "+CPAS: x",
        "^SCID:",
        "^SCID:  ",
        "^SSTK:",
        "^SSTK: 0G",
        "^SSTK: 8301  ",
        "+CREG:",
        "+CREG: x",
        "+CREG: 2,1,\"C67",
        "+CREG: 2,1,\"ZZZZ\",\"4E21\"",
        "+CREG: 2,1,C67C,4E21",
        "+CRSM: 144,0,12AB",
        "+CRSM: 144,0,\"0000\"",
        "+CRSM: 111",
        "+CRSM:",
        "+COPS: 0,2,\"262\"",
        "+COPS: 0,2,26207",
        "+COPS: 0,2,\"2620x\"",
        "+COPS: 0,2",
        "+COPS: 0,0,o2",
        "+COPS: 0,0",
        "+COPS: (",
        "+COPS: (2,\"o2",
        "+COPS: (2,\"o2 - de\",,",
        "+CMTI: \"SM\",x",
        "+CMTI: SM,12",
        "+CMTI: \"SM\",1000",
        "+CMTI:",
        "+CMGR: 0,,xx",
        "+CMGR:",
        "+CMGR: 0,,99999",
        "+CPBS: \"SM\"",
        "+CPBS: \"SM\",x,250",
        "+CPBS:",
        "+CPBR: 1",
        "+CPBR: 1,\"123\",129,Anna",
        "+CPBR: 1,123,129,\"Anna\"",
        "+CPBR:",
        "+CPBR: 1,\"1\",129,\"a\"\\",
        "+CPBR: 1,\"1\",129,\"a\"\\5",
        "+CLIP:",
        "\x01\x02",
        "++",
        "^S",
        "+C",
    };
    DispatcherFixture fx;
    Form1& f = fx.f;
    f.phone.homeNetwork = "26207";
    f.phone.manufacturerStep = 4;
    f.phone.identityStep = 3;
    f.network.countryTable[262] = "262 DE Deutschland";
    fx.feed({"+CBC: 0,80", "+CSQ: 20,99", "+CPAS: 0", "+COPS: 0,2,\"26207\"",
             "+COPS: 0,0,\"o2 - de\"", "+CREG: 2,1,\"C67C\",\"4E21\"",
             "^SSTK: 8103012605820282818301002E020002",
             "+COPS: (2,\"o2 - de\",,\"26207\"),(1,\"T-Mobile D\",,\"26201\"),,(0-4),(0,2)",
             "+CPBS: \"SM\",5,250", "+CPBR: 1,\"112\",129,\"Notruf\""});
    const QJsonObject good = fx.state();
    ASSERT_EQ(f.network.cellKey, "4E21C67C26207");
    for (const char* line : lines) {
        fx.feed(line);
        EXPECT_EQ(fx.state(), good) << line;
    }
}

TEST(DispatcherBadInput, VeryLongLinesAreReadWithoutHarm) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    fx.feed({"+CSQ: 20,99", "+CREG: 2,1,\"C67C\",\"4E21\""});
    // Any answer to the operator scan ends the scan's long wait.
    f.Timer1->setInterval(2000);
    const QJsonObject good = fx.state();
    const std::string junk(4096, 'Z');
    for (const char* head :
         {"+CSQ: ", "+CREG: ", "+COPS: (", "+CPBS: ", "+CMTI: \"SM\",", "^SSTK: ", "+CRSM: 144,0,"})
        fx.feed(head + junk);
    EXPECT_EQ(fx.state(), good);
    EXPECT_EQ(f.Level->value(), 20);
}

// A network that keeps sending text lines during a star code without ever
// ending its answer: the answer box keeps what it had up to its limit and
// drops what no longer fits.
TEST(DispatcherBadInput, EndlessStarCodeAnswerStaysWithinTheBoxLimit) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    f.phone.ussdPending = UssdPending{1};
    const std::string line = "Ihr Guthaben betraegt 12,34 EUR";  // 31 + 1 blank
    for (int i = 0; i < 500; ++i) fx.feed(line);
    const QString shown = f.Text2->text();
    EXPECT_EQ(shown.size(), 62 * 32);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Ihr Guthaben betraegt 12,34 EUR Ihr")));
    EXPECT_EQ(f.phone.ussdPending, UssdPending{1});
    fx.feed("OK");
    EXPECT_EQ(f.phone.ussdPending, UssdPending{0});
}

}  // namespace
