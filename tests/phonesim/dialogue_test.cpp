// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The AT dialogue with the simulated phone as a program on the serial port
// sees it: echo, joined commands, final codes and the answer forms.
#include <gtest/gtest.h>

#include <ostream>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <system_error>
#include <thread>

#include "core/fields.h"
#include "tests/phonesim/sim_client.h"

using simtest::Sim;
using simtest::testScenario;
using Lines = std::vector<std::string>;
namespace f = funkor::fields;

namespace {

struct Exchange {
    const char* legend;
    const char* command;
    Lines reply;  // echo first
};

// Test names carry the legend instead of the bytes of the row.
void PrintTo(const Exchange& e, std::ostream* os) {
    *os << e.legend;
}

const Exchange kExchanges[] = {
    {"bare AT", "AT", {"AT", "OK"}},
    {"identity, joined, small letters",
     "at+cgmi;+cgmm;+cgmr",
     {"at+cgmi;+cgmm;+cgmr", "SIEMENS", "S45i", "21", "OK"}},
    {"serial numbers and SIM card number",
     "AT+CGSN;+CIMI;^SCID",
     {"AT+CGSN;+CIMI;^SCID", "350123456789012", "262071234567890", "^SCID: 89492071234567890123",
      "OK"}},
    {"caller id and message routing", "AT+CLIP=1;+CNMI=1,1,2", {"AT+CLIP=1;+CNMI=1,1,2", "OK"}},
    {"operator numeric, then back to names",
     "AT+COPS=3,2;+COPS?;+COPS=3,0",
     {"AT+COPS=3,2;+COPS?;+COPS=3,0", "+COPS: 0,2,\"26207\"", "OK"}},
    {"operator name, signal, battery",
     "AT+COPS?;+CSQ;+CBC",
     {"AT+COPS?;+CSQ;+CBC", "+COPS: 0,0,\"o2 - de\"", "+CSQ: 20,99", "+CBC: 0,80", "OK"}},
    {"registration with area and cell",
     "AT+CREG=2;+CREG?;+CPAS",
     {"AT+CREG=2;+CREG?;+CPAS", "+CREG: 2,1,\"526D\",\"4E21\"", "+CPAS: 0", "OK"}},
    {"registration without location", "AT+CREG?", {"AT+CREG?", "+CREG: 0,1", "OK"}},
    {"cell broadcast on",
     "AT+CSCB=1,\"\",\"\";+CSCB?",
     {"AT+CSCB=1,\"\",\"\";+CSCB?", "+CSCB: 1,\"\",\"\"", "OK"}},
    {"phone book status",
     "AT+CPBS=\"SM\";+CPBS?",
     {"AT+CPBS=\"SM\";+CPBS?", "+CPBS: \"SM\",3,30", "OK"}},
    {"own numbers book",
     "AT+CPBS=\"ON\";+CPBS?;+CPBR=1",
     {"AT+CPBS=\"ON\";+CPBS?;+CPBR=1", "+CPBS: \"ON\",1,2",
      "+CPBR: 1,\"+4917600112233\",145,\"Ich\"", "OK"}},
    {"empty phone-book location", "AT+CPBR=3", {"AT+CPBR=3", "OK"}},
    {"location beyond the book", "AT+CPBR=31", {"AT+CPBR=31", "ERROR"}},
    {"unknown book", "AT+CPBS=\"XY\"", {"AT+CPBS=\"XY\"", "ERROR"}},
    {"unknown command", "AT+FOO", {"AT+FOO", "ERROR"}},
    {"error stops the line", "AT+CGMI;+FOO;+CGMM", {"AT+CGMI;+FOO;+CGMM", "SIEMENS", "ERROR"}},
    {"malformed parameter", "AT+CREG=7", {"AT+CREG=7", "ERROR"}},
    {"unterminated quote", "AT+CPBS=\"SM", {"AT+CPBS=\"SM", "ERROR"}},
    {"line noise before the prefix", "#~xyAT", {"#~xyAT", "OK"}},
    {"blanks between commands", "AT +CGMI ; +CGMM", {"AT +CGMI ; +CGMM", "SIEMENS", "S45i", "OK"}},
    {"PDU mode only", "AT+CMGF=1", {"AT+CMGF=1", "ERROR"}},
    {"empty SMS location, as this phone shows it",
     "AT+CPMS=\"SM\";+CMGR=9",
     {"AT+CPMS=\"SM\";+CMGR=9", "+CPMS: 2,10,2,10,2,10", "+CMGR: 0,,0", "OK"}},
    {"SMS location beyond the SIM", "AT+CMGR=11", {"AT+CMGR=11", "ERROR"}},
    {"PIN state", "AT+CPIN?", {"AT+CPIN?", "+CPIN: READY", "OK"}},
    {"product information", "ATI", {"ATI", "SIEMENS", "S45i", "REVISION 21", "OK"}},
    {"S register read", "ATS3?", {"ATS3?", "013", "OK"}},
    {"operators in reach",
     "AT+COPS=?",
     {"AT+COPS=?",
      "+COPS: (2,\"o2 - de\",,\"26207\"),(1,\"T-Mobile "
      "D\",,\"26201\"),(3,\"E-Plus\",,\"26203\"),,(0-4),(0,2)",
      "OK"}},
    {"zone file of an unknown SIM file",
     "AT+CRSM=176,28000,0,0,10",
     {"AT+CRSM=176,28000,0,0,10", "+CRSM: 148,4", "OK"}},
    {"zone file read past its end",
     "AT+CRSM=176,28512,0,200,10",
     {"AT+CRSM=176,28512,0,200,10", "+CRSM: 107,0", "OK"}},
};

class Dialogue : public ::testing::TestWithParam<Exchange> {};

TEST_P(Dialogue, AnswersAsThePhoneDoes) {
    Sim sim(testScenario());
    EXPECT_EQ(sim.command(GetParam().command), GetParam().reply) << GetParam().legend;
}

INSTANTIATE_TEST_SUITE_P(Phone, Dialogue, ::testing::ValuesIn(kExchanges));

TEST(Dialogue, EchoOffAndNumericResultCodes) {
    Sim sim(testScenario());
    EXPECT_EQ(sim.command("ATE0"), (Lines{"ATE0", "OK"}));
    EXPECT_EQ(sim.command("AT+CGMI"), (Lines{"SIEMENS", "OK"}));
    sim.send("ATV0\r");
    EXPECT_EQ(sim.readUntil("0\r"), "0\r");
    sim.send("AT+FOO\r");
    EXPECT_EQ(sim.readUntil("4\r"), "4\r");
}

TEST(Dialogue, ExtendedErrorsAfterCmee) {
    Sim sim(testScenario());
    EXPECT_EQ(sim.command("AT+CMEE=1;+CPBR=99"), (Lines{"AT+CMEE=1;+CPBR=99", "+CME ERROR: 21"}));
    EXPECT_EQ(sim.command("AT+CMEE=2;+CPBR=99"),
              (Lines{"AT+CMEE=2;+CPBR=99", "+CME ERROR: invalid index"}));
    // A command the phone does not know is a syntax error, not an equipment one.
    EXPECT_EQ(sim.command("AT+FOO"), (Lines{"AT+FOO", "ERROR"}));
    EXPECT_EQ(sim.command("AT+CMEE=1;+CMGR=11"), (Lines{"AT+CMEE=1;+CMGR=11", "+CMS ERROR: 321"}));
}

TEST(Dialogue, CommandSplitAcrossWrites) {
    Sim sim(testScenario());
    sim.send("AT+C");
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    sim.send("GM");
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    EXPECT_EQ(sim.command("M"), (Lines{"AT+CGMM", "S45i", "OK"}));
}

TEST(Dialogue, SurvivesGarbageAndAHundredKilobyteLine) {
    Sim sim(testScenario());
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += static_cast<char>((i * 37 + 11) % 256 == 'A' ? 'B' : (i * 37 + 11) % 256);
    sim.send(garbage);
    sim.readFor(0.2);
    const std::string huge = "AT" + std::string(100 * 1024, '1');
    sim.send(huge + "\r");
    const std::string reply = sim.readUntil("\r\nERROR\r\n", 10);
    EXPECT_NE(reply.find("\r\nERROR\r\n"), std::string::npos);
    EXPECT_EQ(sim.command("AT"), (Lines{"AT", "OK"}));
}

TEST(Dialogue, KeepsItsSettingsWhenThePortIsReopened) {
    Sim sim(testScenario());
    EXPECT_EQ(sim.command("ATE0;+CREG=2"), (Lines{"ATE0;+CREG=2", "OK"}));
    sim.closePort();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sim.openPort(115200);
    EXPECT_EQ(sim.command("AT+CREG?"), (Lines{"+CREG: 2,1,\"526D\",\"4E21\"", "OK"}));
}

// Unplugged, the line hangs up and the link goes; plugged in again, a new
// line is linked at the same path and the phone is as it was.
TEST(Dialogue, UnpluggedAndPluggedInAgainUnderTheSameLink) {
    const std::string link = simtest::writeTemp("phone", "");
    std::remove(link.c_str());
    Sim sim(testScenario(),
            {"--baud", "off", "--delay", "0", "--link", link, "--replug-after", "300"});
    const std::string first = std::filesystem::read_symlink(link);
    EXPECT_EQ(sim.command("ATE0"), (Lines{"ATE0", "OK"}));
    sim.unplug();
    // The old line is gone: reading it ends, the link follows the new one.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::error_code ec;
    while (std::chrono::steady_clock::now() < deadline &&
           (!std::filesystem::is_symlink(link, ec) || std::filesystem::read_symlink(link) == first))
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_TRUE(std::filesystem::is_symlink(link, ec));
    sim.closePort();
    sim.usePath(link);
    sim.openPort();
    EXPECT_EQ(sim.command("AT+CGMI"), (Lines{"SIEMENS", "OK"}));
    std::ifstream log(sim.logPath());
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("(unplugged)"), std::string::npos);
    EXPECT_LT(text.find("(unplugged)"), text.find("(plugged in)"));
}

TEST(Dialogue, SmsPromptThenSendOrRefuse) {
    Sim sim(testScenario());
    // The prompt comes without a line end, so that the program prefixes it
    // to the next line.
    sim.send("at+cmgs=16\r");
    EXPECT_EQ(sim.readUntil("> "), "at+cmgs=16\r\r\n> ");
    sim.send(std::string("0001000B919421436587F91FF00361F118") + '\x1A');
    EXPECT_EQ(simtest::lines(sim.readUntil("OK\r\n")),
              (Lines{"0001000B919421436587F91FF00361F118", "+CMGS: 1", "OK"}));

    struct Bad {
        const char* legend;
        const char* length;
        const char* pdu;
    };
    const Bad bad[] = {
        {"length announced wrongly", "15", "0001000B919421436587F91FF00361F118"},
        {"not hexadecimal", "16", "0001000B919421436587F91FF00361F1XY"},
        {"user data cut short", "15", "0001000B919421436587F91FF00361F1"},
        {"a deliver, not a submit", "16", "0004000B919421436587F91FF00361F118"},
    };
    for (const auto& b : bad) {
        sim.send(std::string("AT+CMGS=") + b.length + "\r");
        sim.readUntil("> ");
        sim.send(std::string(b.pdu) + '\x1A');
        const Lines reply = simtest::lines(sim.readUntil("ERROR\r\n"));
        EXPECT_EQ(reply.back(), "ERROR") << b.legend;
    }
    // ESC leaves the prompt without sending.
    sim.send("AT+CMGS=16\r");
    sim.readUntil("> ");
    sim.send("0001\x1B");
    EXPECT_EQ(simtest::lines(sim.readUntil("OK\r\n")), (Lines{"0001", "OK"}));

    std::ifstream log(sim.logPath());
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find(" > 0001000B919421436587F91FF00361F118\n"), std::string::npos);
    EXPECT_NE(text.str().find("(SMS sent to +49123456789: abc)"), std::string::npos);
}

TEST(Dialogue, PhoneBookReadEntryByEntryUntilEmpty) {
    Sim sim(testScenario());
    sim.command("AT+CPBS=\"SM\"");
    Lines entries;
    for (int i = 1; i <= 30; ++i) {
        for (const auto& l : sim.command("AT+CPBR=" + std::to_string(i))) {
            if (l.rfind("+CPBR:", 0) == 0) entries.push_back(l);
        }
    }
    // Names in the GSM alphabet; a backslash (GSM's Ö) and quotes are sent
    // as escape sequences.
    EXPECT_EQ(entries, (Lines{"+CPBR: 1,\"+4917612345678\",145,\"J~rgen M~ller\"",
                              "+CPBR: 2,\"0301234567\",129,\"\\5Cz \\22Ali\\22\"",
                              "+CPBR: 5,\"+493098765432\",145,\"Mutti\""}));
    EXPECT_EQ(
        sim.command("AT+CSCS=\"UCS2\";+CPBR=1,2"),
        (Lines{"AT+CSCS=\"UCS2\";+CPBR=1,2",
               "+CPBR: "
               "1,\"+4917612345678\",145,\"004A00FC007200670065006E0020004D00FC006C006C00650072\"",
               "+CPBR: 2,\"0301234567\",129,\"00D6007A002000220041006C00690022\"", "OK"}));
}

TEST(Dialogue, PhoneBookWriteAndDelete) {
    Sim sim(testScenario());
    EXPECT_EQ(sim.command("AT+CPBW=3,\"+4930111\",145,\"Gr{n\"").back(), "OK");
    EXPECT_EQ(sim.command("AT+CPBR=3"),
              (Lines{"AT+CPBR=3", "+CPBR: 3,\"+4930111\",145,\"Gr{n\"", "OK"}));
    EXPECT_EQ(sim.command("AT+CPBW=3").back(), "OK");
    EXPECT_EQ(sim.command("AT+CPBR=3"), (Lines{"AT+CPBR=3", "OK"}));
    EXPECT_EQ(sim.command("AT+CPBW=31,\"1\",129,\"x\"").back(), "ERROR");
}

TEST(Dialogue, ZoneFileFieldsAtTheirPositions) {
    Sim sim(testScenario());
    const Lines reply = sim.command("AT+CRSM=176,28512,0,0,123");
    ASSERT_EQ(reply.size(), 3u);
    const std::string& line = reply[1];
    ASSERT_EQ(line.size(), 13u + 246u);
    EXPECT_EQ(f::left(line, 13), "+CRSM: 144,0,");
    auto name = [&line](long from) {
        std::string s;
        for (long p = from; p < from + 8; p += 2)
            s += static_cast<char>(f::hexValue(f::mid(line, p, 2)));
        return s;
    };
    struct Field {
        const char* legend;
        long position;
        std::int32_t value;
    };
    const Field fields[] = {
        {"home easting", 50, 459870},       {"home northing", 58, 581994},
        {"home radius squared", 66, 22500}, {"city easting", 206, 459547},
        {"city northing", 214, 582169},     {"city radius squared", 222, 2250000},
    };
    for (const auto& fl : fields)
        EXPECT_EQ(f::hexValue(f::mid(line, fl.position, 8)), fl.value) << fl.legend;
    EXPECT_EQ(name(76), "Home");
    EXPECT_EQ(name(232), "City");
}

TEST(Dialogue, TimingAdvanceFromTheToolkitRequest) {
    Sim sim(testScenario());
    // The program's request: the command, the 11-byte block, Ctrl-Z and ESC.
    sim.send("at^sstk=11,0\r");
    EXPECT_EQ(sim.readUntil("> "), "at^sstk=11,0\r\r\n> ");
    sim.send(std::string("D009810301260582028182") + '\x1A' + '\x1B');
    const Lines reply = simtest::lines(sim.readUntil("OK\r\n"));
    ASSERT_EQ(reply.size(), 3u);
    EXPECT_EQ(reply[1], "^SSTK: 8103012605820282818301002E020003");
    EXPECT_EQ(f::right(reply[1], 2), "03");
    // The ESC after the block is neither echoed nor kept for the next line.
    EXPECT_EQ(sim.command("AT"), (Lines{"AT", "OK"}));
    sim.send("AT^SSTK=11,0\r");
    sim.readUntil("> ");
    sim.send(std::string("D009810301260082028182") + '\x1A');
    EXPECT_EQ(simtest::lines(sim.readUntil("OK\r\n"))[1],
              "^SSTK: 8103012600820282818301001307"
              "62F270526D4E21");
}

TEST(Dialogue, CallsAndServiceCodes) {
    Sim sim(testScenario());
    EXPECT_EQ(sim.command("ATD*122#;"), (Lines{"ATD*122#;", "OK"}));
    EXPECT_EQ(simtest::lines(sim.readUntil("\"Standort A\"\r\n")), (Lines{"\"Standort A\""}));
    EXPECT_EQ(sim.command("ATD0301234;"), (Lines{"ATD0301234;", "OK"}));
    EXPECT_EQ(sim.command("AT+CPAS"), (Lines{"AT+CPAS", "+CPAS: 4", "OK"}));
    EXPECT_EQ(sim.command("AT+CHUP;+CPAS"), (Lines{"AT+CHUP;+CPAS", "+CPAS: 0", "OK"}));
    // A data call to "0" followed by hanging up, as the program forces a
    // timing-advance measurement.
    sim.send("ATD0\r");
    EXPECT_EQ(sim.readUntil("ATD0\r"), "ATD0\r");
    EXPECT_EQ(sim.command("ATH0"), (Lines{"ATH0", "OK"}));
}

TEST(Dialogue, SwitchedOffUntilThePortIsOpenedAgain) {
    Sim sim(testScenario());
    EXPECT_EQ(sim.command("AT^SMSO"), (Lines{"AT^SMSO", "^SMSO: MS OFF", "OK"}));
    sim.send("AT\r");
    EXPECT_EQ(sim.readFor(0.4), "");
    sim.closePort();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sim.openPort();
    EXPECT_EQ(sim.command("AT"), (Lines{"AT", "OK"}));
}

TEST(Dialogue, RecordsEveryCommandLineWithATimeStamp) {
    Sim sim(testScenario());
    sim.command("AT+CGMI");
    sim.command("xyAT+CSQ");
    std::ifstream log(sim.logPath());
    std::string line;
    Lines commands;
    const std::regex stamped(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3} (.*))");
    while (std::getline(log, line)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, stamped)) << line;
        if (m[1].str()[0] != '(') commands.push_back(m[1]);
    }
    EXPECT_EQ(commands, (Lines{"AT+CGMI", "AT+CSQ"}));
}

TEST(LineModel, PacesAnswersAtTheBaudRateAndDelays) {
    using clock = std::chrono::steady_clock;
    struct Case {
        const char* legend;
        std::vector<std::string> args;
        double atLeast;  // seconds the line model takes at the least
    };
    // The zone-file answer with its echo is about 290 bytes: 0.15 s at
    // 19200 baud with ten bits per byte. Only lower bounds: the line model
    // guarantees them, while an upper bound would measure how busy the
    // machine is.
    const Case cases[] = {
        {"no pacing, no delay", {"--baud", "off", "--delay", "0"}, 0.0},
        {"paced at the port's 19200 baud", {"--baud", "auto", "--delay", "0"}, 0.14},
        {"answer delay of 300 ms", {"--baud", "off", "--delay", "300"}, 0.3},
    };
    for (const auto& c : cases) {
        Sim sim(testScenario(), c.args);
        const auto start = clock::now();
        const Lines reply = sim.command("AT+CRSM=176,28512,0,0,123");
        const double took = std::chrono::duration<double>(clock::now() - start).count();
        ASSERT_FALSE(reply.empty()) << c.legend;
        EXPECT_EQ(reply.back(), "OK") << c.legend;
        EXPECT_GE(took, c.atLeast) << c.legend;
    }
}

}  // namespace
