// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_output.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace funkor;

namespace {

// Sentences as a Navilock NL-551EUSB (u-blox 5) sent them.
const std::string kRmc = "$GPRMC,115458.00,A,5152.09014,N,00551.68911,E,0.113,,010211,,,A*7C";
const std::string kGsv = "$GPGSV,3,1,11,03,18,212,27,06,42,173,41,07,10,053,,13,28,293,34*7D";
const std::string kGga = "$GPGGA,115458.00,5152.09014,N,00551.68911,E,1,08,1.09,28.2,M,46.9,M,,*6C";

}  // namespace

TEST(GpsInput, FramesReceiverBursts) {
    struct Case {
        const char* legend;
        std::string buffer;
        std::string bytes;
        std::string rmc, gga, bufferAfter;
        bool taken;
        Indicator indicator;
    };
    const std::vector<Case> cases = {
        {"RMC, GSV and GGA in one burst", "", kRmc + "\r\n" + kGsv + "\r\n" + kGga + "\r\n",
         kRmc + "\r\n", kGga + "\r\n", "", true, Indicator::Idle},
        {"RMC alone paints green", "", kRmc + "\r\n", kRmc + "\r\n", "", "", true,
         Indicator::Green},
        {"line split over two reads: first half waits", "", kRmc.substr(0, 20), "", "",
         kRmc.substr(0, 20), false, Indicator::Idle},
        {"line split over two reads: second half completes it", kRmc.substr(0, 20),
         kRmc.substr(20) + "\r\n", kRmc + "\r\n", "", "", true, Indicator::Green},
        {"a lone LF between lines is dropped", "", kRmc + "\r\n\n\n" + kGga + "\r", kRmc + "\r\n",
         kGga + "\r\n", "", true, Indicator::Idle},
        {"LF only inside a line is dropped too", "", "$GPGGA,1\n23\r", "", "$GPGGA,123\r\n", "",
         true, Indicator::Idle},
        {"CR without a line start empties the buffer", "xyz", "\r", "", "", "", false,
         Indicator::Idle},
        {"lower-case talker is no sentence", "", "$gprmc,1*00\r\n", "", "", "", false,
         Indicator::Idle},
        // Receivers of several satellite systems name their talker after
        // them; any of them gives the pair.
        {"combined-systems talker is taken", "", "$GNRMC,1*00\r\n", "$GNRMC,1*00\r\n", "", "", true,
         Indicator::Green},
        {"GLONASS GGA is taken", "", "$GLGGA,1*00\r\n", "", "$GLGGA,1*00\r\n", "", true,
         Indicator::Idle},
        {"BeiDou RMC is taken", "", "$BDRMC,1*00\r\n", "$BDRMC,1*00\r\n", "", "", true,
         Indicator::Green},
        {"Galileo, BeiDou, QZSS talkers", "", "$GARMC,1*00\r\n$GBGGA,2*00\r\n$GQRMC,3*00\r\n",
         "$GQRMC,3*00\r\n", "$GBGGA,2*00\r\n", "", true, Indicator::Green},
        {"an unknown talker is dropped", "", "$XXRMC,1*00\r\n", "", "", "", false, Indicator::Idle},
        {"other sentences of the combined talker are dropped", "", "$GNGSA,1*00\r\n", "", "", "",
         false, Indicator::Idle},
        {"a short line is no sentence", "", "$GN\r\n", "", "", "", false, Indicator::Idle},
        {"two RMC in a burst keep the later", "", "$GPRMC,1*00\r\n$GPRMC,2*00\r\n",
         "$GPRMC,2*00\r\n", "", "", true, Indicator::Green},
        {"a sentence cut short is not glued to the next", kRmc.substr(0, 30), kGga + "\r\n", "",
         kGga + "\r\n", "", true, Indicator::Idle},
        {"a cut RMC before a whole RMC in one burst", "", kRmc.substr(0, 12) + kRmc + "\r\n",
         kRmc + "\r\n", "", "", true, Indicator::Green},
    };
    for (const auto& c : cases) {
        const GpsInputResult r = frameGpsInput({c.buffer, c.bytes});
        EXPECT_EQ(r.rmc, c.rmc) << c.legend;
        EXPECT_EQ(r.gga, c.gga) << c.legend;
        EXPECT_EQ(r.buffer, c.bufferAfter) << c.legend;
        EXPECT_EQ(r.sentenceTaken, c.taken) << c.legend;
        if (c.taken) {
            EXPECT_EQ(r.indicator, c.indicator) << c.legend;
        }
    }
}

TEST(GpsInput, EndlessLineIsCappedAndDroppedAtItsEnd) {
    // A receiver babbling without CR: the buffer stops at the limit.
    std::string babble = "$GPRMC," + std::string(10000, '7');
    GpsInputResult r = frameGpsInput({"", babble});
    EXPECT_EQ(r.buffer.size(), kMaxGpsLine);
    r = frameGpsInput({r.buffer, std::string(5000, '1')});
    EXPECT_EQ(r.buffer.size(), kMaxGpsLine);
    // Its CR ends it without taking it; the next line is read normally.
    r = frameGpsInput({r.buffer, "\r\n" + kRmc + "\r\n"});
    EXPECT_EQ(r.rmc, kRmc + "\r\n");
    EXPECT_TRUE(r.buffer.empty());
    r = frameGpsInput({std::string(kMaxGpsLine, 'x'), "\r"});
    EXPECT_TRUE(r.rmc.empty());
}

TEST(SourceBoxes, ClickRules) {
    struct Case {
        const char* legend;
        SourceBox clicked;
        SourceBoxes now, after;
    };
    const std::vector<Case> cases = {
        {"single: GPS ticked, then SMS ticked unticks GPS",
         SourceBox::Sms,
         {false, true, true, false},
         {false, false, true, false}},
        {"single: SMS ticked from code unticks GSM and GPS",
         SourceBox::Sms,
         {true, true, true, false},
         {false, false, true, false}},
        {"single: GSM ticked unticks the others",
         SourceBox::Gsm,
         {true, true, true, false},
         {true, false, false, false}},
        {"single: GPS ticked unticks the others",
         SourceBox::Gps,
         {true, true, false, false},
         {false, true, false, false}},
        {"unticking a source changes nothing",
         SourceBox::Gps,
         {true, false, false, false},
         {true, false, false, false}},
        {"multi: GPS and SMS both stay",
         SourceBox::Sms,
         {false, true, true, true},
         {false, true, true, true}},
        {"ticking multi changes no other box",
         SourceBox::Multi,
         {true, false, false, true},
         {true, false, false, true}},
        {"unticking multi clears all three",
         SourceBox::Multi,
         {true, true, true, false},
         {false, false, false, false}},
    };
    for (const auto& c : cases) {
        const SourceBoxes r = applySourceClick(c.clicked, c.now);
        EXPECT_EQ(r.gsm, c.after.gsm) << c.legend;
        EXPECT_EQ(r.gps, c.after.gps) << c.legend;
        EXPECT_EQ(r.sms, c.after.sms) << c.legend;
        EXPECT_EQ(r.multi, c.after.multi) << c.legend;
        // A nested click of a box the rule unticked finds nothing to do.
        for (SourceBox b : {SourceBox::Gsm, SourceBox::Gps, SourceBox::Sms}) {
            const SourceBoxes again = applySourceClick(b, r);
            EXPECT_EQ(again.gsm, r.gsm) << c.legend;
            EXPECT_EQ(again.gps, r.gps) << c.legend;
            EXPECT_EQ(again.sms, r.sms) << c.legend;
        }
    }
}

TEST(AutoSend, CountsMinutesUpToTheInterval) {
    struct Case {
        const char* legend;
        int counted, interval, after;
        bool send;
    };
    const std::vector<Case> cases = {
        {"counting", 1, 3, 2, false},
        {"the interval reached sends and restarts", 2, 3, 0, true},
        {"interval lowered from 10 to 3 at 5 minutes still sends", 5, 3, 0, true},
        {"one minute", 0, 1, 0, true},
        {"off (0) never sends", 7, 0, 8, false},
        {"the count stays in 16 bits", 32767, 0, 32767, false},
    };
    for (const auto& c : cases) {
        const AutoSendMinute m = countAutoSendMinute(c.counted, c.interval);
        EXPECT_EQ(m.minutes, c.after) << c.legend;
        EXPECT_EQ(m.send, c.send) << c.legend;
    }
    EXPECT_EQ(autoSendCaption(0), "-");
    EXPECT_EQ(autoSendCaption(15), "15");
}

TEST(OutputCycle, TickGates) {
    struct Case {
        const char* legend;
        OutputTickState in;
        OutputTickGate gate;
    };
    const std::vector<Case> cases = {
        {"replay running", {true, 20, "COM 1", "26207"}, OutputTickGate::Idle},
        {"output AUS", {false, 0, "COM 1", "26207"}, OutputTickGate::Idle},
        {"no output chosen", {false, -1, "COM 1", "26207"}, OutputTickGate::Idle},
        {"phone link STOP", {false, 20, "STOP", "26207"}, OutputTickGate::Idle},
        {"other network", {false, 20, "COM 1", "26201"}, OutputTickGate::LeaveOutput},
        {"no network", {false, 3, "Auto", ""}, OutputTickGate::LeaveOutput},
        {"O2 Germany", {false, 3, "Auto", "26207"}, OutputTickGate::Send},
    };
    for (const auto& c : cases) EXPECT_EQ(gateOutputTick(c.in), c.gate) << c.legend;
}

TEST(OutputCycle, RotationSkipsUntickedSourcesInOnePass) {
    // Ticks in a row from the counter at 0; each row: sources ticked, then
    // the counters the ticks leave.
    struct Case {
        const char* legend;
        SourceBoxes boxes;
        std::vector<int> counters;
    };
    const std::vector<Case> cases = {
        {"only GPS: GPS and GSM alternate", {false, true, false, true}, {2, 1, 2, 1}},
        {"only GSM: GSM every tick", {true, false, false, true}, {1, 1, 1, 1}},
        {"only SMS: SMS every tick", {false, false, true, true}, {3, 3, 3}},
        {"all three in turn", {true, true, true, true}, {1, 2, 3, 1}},
        {"GSM and SMS", {true, false, true, true}, {1, 3, 1, 3}},
        {"none: GSM's turn after SMS is unticked", {false, false, false, true}, {1, 1}},
    };
    const char* ids[] = {"", "$PHSMID,GSM*7E\r\n", "$PHSMID,GPS*63\r\n", "$PHSMID,SMS*6A\r\n"};
    const char* rmcs[] = {"", "G1\r\n", "P1\r\n", "S1\r\n"};
    for (const auto& c : cases) {
        int rotation = 0;
        for (int expected : c.counters) {
            const OutputPair p = chooseOutputPair(
                {c.boxes, rotation, "G1\r\n", "G2\r\n", "P1\r\n", "P2\r\n", "S1\r\n", "S2\r\n"});
            EXPECT_EQ(p.sourceRotation, expected) << c.legend;
            EXPECT_EQ(p.identification, ids[expected]) << c.legend;
            EXPECT_EQ(p.first, rmcs[expected]) << c.legend;
            rotation = p.sourceRotation;
        }
    }
}

TEST(OutputCycle, SingleSourceTakesTheLastTickedWithoutIdentification) {
    auto choose = [](SourceBoxes b) {
        return chooseOutputPair({b, 2, "G1", "G2", "P1", "P2", "S1", "S2"});
    };
    EXPECT_EQ(choose({true, false, false, false}).first, "G1");
    EXPECT_EQ(choose({false, true, false, false}).second, "P2");
    EXPECT_EQ(choose({true, true, true, false}).first, "S1");
    const OutputPair none = choose({false, false, false, false});
    EXPECT_TRUE(none.first.empty());
    EXPECT_TRUE(choose({true, false, false, false}).identification.empty());
    // The counter keeps its last rotation value.
    EXPECT_EQ(none.sourceRotation, 2);
}

TEST(OutputCycle, TargetsByItemText) {
    struct Case {
        const char* item;
        OutputKind kind;
        int port;
        unsigned address;
    };
    const std::vector<Case> cases = {
        {"COM 1", OutputKind::Serial, 1, 0},
        {"COM 16", OutputKind::Serial, 16, 0},
        {"Port1", OutputKind::HardwarePort, 0, 0x3F8},
        {"Port2", OutputKind::HardwarePort, 0, 0x2F8},
        {"LPT1", OutputKind::Printer, 0, 0},
        {"LAN", OutputKind::Lan, 0, 0},
        {"AUS", OutputKind::Off, 0, 0},
    };
    for (const auto& c : cases) {
        const OutputTarget t = parseOutputTarget(c.item);
        EXPECT_EQ(t.kind, c.kind) << c.item;
        EXPECT_EQ(t.port, c.port) << c.item;
        EXPECT_EQ(t.address, c.address) << c.item;
    }
    EXPECT_EQ(serialOutputIndicator(0), Indicator::Orange);
    EXPECT_EQ(serialOutputIndicator(1), Indicator::Orange);
    EXPECT_EQ(serialOutputIndicator(2), Indicator::Yellow);
    EXPECT_EQ(traceTopIndex(10), -1);
    EXPECT_EQ(traceTopIndex(11), 1);
}

TEST(LanOutput, StatesAndMessages) {
    struct Case {
        int state;
        Indicator indicator;
        bool close, lanClose, send;
    };
    const std::vector<Case> cases = {
        {kLanClosed, Indicator::Red, false, true, false},
        {kLanListening, Indicator::Yellow, false, false, false},
        {kLanClosing, Indicator::Black, true, false, false},
        {kLanConnected, Indicator::Green, false, false, true},
    };
    for (const auto& c : cases) {
        const LanSendPlan p = planLanSend(c.state);
        EXPECT_TRUE(p.paint) << c.state;
        EXPECT_EQ(p.indicator, c.indicator) << c.state;
        EXPECT_EQ(p.closeSocket, c.close) << c.state;
        EXPECT_EQ(p.lanClose, c.lanClose) << c.state;
        EXPECT_EQ(p.send, c.send) << c.state;
    }
    const LanSendPlan other = planLanSend(6);  // connecting: nothing
    EXPECT_FALSE(other.paint || other.send || other.closeSocket || other.lanClose);

    EXPECT_EQ(lanErrorMessage(10048, "Port belegt"), "Winsock-Error No: 10048   Port belegt");
    EXPECT_EQ(lanErrorMessage(10053, "x"), "");
    EXPECT_EQ(lanErrorMessage(10054, "x"), "");
    EXPECT_EQ(lanSendErrorMessage(40006, "x"), "");
    EXPECT_EQ(lanSendErrorMessage(10055, "voll"), "Unknown sending error No: 10055   voll");
}
