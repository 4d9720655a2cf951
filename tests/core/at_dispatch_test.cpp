// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_dispatch.h"

#include "core/at_device.h"
#include "core/at_network.h"
#include "core/at_phonebook.h"
#include "core/at_sms.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace funkor;
using S = AnswerStep;

struct StepCase {
    const char* legend;
    std::string line;
    DispatchFlags flags;
    std::vector<S> steps;
};

TEST(AnswerSteps, LinesRunTheirStepsInOrder) {
    const DispatchFlags none{};
    DispatchFlags sms{};
    sms.smsSendPending = true;
    DispatchFlags user{};
    user.ussdPending = 1;
    DispatchFlags network{};
    network.ussdPending = 2;
    DispatchFlags list{};
    list.smsListPending = true;
    DispatchFlags cb{};
    cb.cbPending = true;
    DispatchFlags read{};
    read.smsReadState = 3;
    const std::string pdu = "07919421050000F0040C9194710000000000004011";

    const StepCase cases[] = {
        {"OK ends at once", "OK", none, {S::FinalOk}},
        {"OK after an SMS goes on", "OK", sms, {S::FinalOk, S::RestartTimer, S::IdentityLine}},
        {"ERROR ends at once", "ERROR", none, {S::FinalError}},
        {"ERROR after an SMS", "ERROR", sms, {S::FinalError, S::RestartTimer, S::IdentityLine}},
        {"SMS refused by the network", "+CMS ERROR: 331", sms, {S::FinalError, S::RestartTimer}},
        {"error code without an SMS", "+CMS ERROR: 331", none, {S::RestartTimer}},
        {"lower-case ok is no final code", "ok", none, {S::RestartTimer, S::IdentityLine}},
        {"RING is also a plain line", "RING", none, {S::RestartTimer, S::Ring, S::IdentityLine}},
        {"user star code swallows everything", "+CSQ: 17,99", user, {S::StarCode}},
        {"quoted network answer",
         "\"Standort: Bahnhof\"",
         network,
         {S::UssdText, S::RestartTimer, S::IdentityLine}},
        {"quote without awaited answer", "\"x\"", none, {S::RestartTimer, S::IdentityLine}},
        {"SIM zone file", "+CRSM: 144,0,00", none, {S::RestartTimer, S::SimZoneFile}},
        {"caller id", "+CLIP: \"0171\",129", none, {S::RestartTimer, S::CallerId}},
        {"battery", "+CBC: 0,80", none, {S::RestartTimer, S::Battery}},
        {"card number has no plus",
         "^SCID: 8949",
         none,
         {S::RestartTimer, S::SimCardNumber, S::IdentityLine}},
        {"signal", "+CSQ: 17,99", none, {S::RestartTimer, S::Signal}},
        {"list header", "+CMGL: 3,1,,23", none, {S::RestartTimer, S::SmsListHeader}},
        {"list PDU", pdu, list, {S::RestartTimer, S::IdentityLine, S::SmsListData}},
        {"activity", "+CPAS: 0", none, {S::RestartTimer, S::Activity}},
        {"timing advance", "^SSTK: 03", none, {S::RestartTimer, S::IdentityLine, S::TimingAdvance}},
        {"registration", "+CREG: 1,\"C67C\",\"4E21\"", none, {S::RestartTimer, S::Registration}},
        {"packet registration",
         "+CGREG: 1,\"8BE3\",\"00002B5D\",3",
         none,
         {S::RestartTimer, S::Registration}},
        {"LTE registration",
         "+CEREG: 1, 1F00, 79D903 ,7",
         none,
         {S::RestartTimer, S::Registration}},
        {"card number of a u-blox", "+CCID: 8949", none, {S::RestartTimer, S::SimCardNumber}},
        {"card number of a Telit", "+ICCID: 8949", none, {S::RestartTimer, S::SimCardNumber}},
        {"broadcast header", "+CBM: 88", none, {S::RestartTimer, S::BroadcastHeader}},
        {"broadcast page", pdu, cb, {S::RestartTimer, S::IdentityLine, S::BroadcastData}},
        {"page that looks like a header",
         "+CBM: 88",
         cb,
         {S::RestartTimer, S::BroadcastData, S::BroadcastHeader}},
        {"read header", "+CMGR: 0,,23", none, {S::RestartTimer, S::SmsReadHeader}},
        {"read PDU", pdu, read, {S::RestartTimer, S::IdentityLine, S::SmsReadData}},
        {"new message", "+CMTI: \"SM\",12", none, {S::RestartTimer, S::NewMessage}},
        {"numeric operator", "+COPS: 0,2,\"26207\"", none, {S::RestartTimer, S::OperatorNumeric}},
        {"numeric operator, manual",
         "+COPS: 1,2,\"26207\"",
         none,
         {S::RestartTimer, S::OperatorNumeric}},
        {"named operator", "+COPS: 0,0,\"o2 - de\"", none, {S::RestartTimer, S::OperatorName}},
        {"operator list",
         "+COPS: (2,\"o2 - de\",,\"26207\")",
         none,
         {S::RestartTimer, S::OperatorList}},
        {"operator without network", "+COPS: 0", none, {S::RestartTimer}},
        {"phone-book status", "+CPBS: \"SM\",5,250", none, {S::RestartTimer, S::PhoneBookStatus}},
        {"phone-book read echo", "AT+CPBR=5", none, {S::RestartTimer, S::PhoneBookReadEcho}},
        {"phone-book entry",
         "+CPBR: 1,\"0171\",129,\"Anna\"",
         none,
         {S::RestartTimer, S::PhoneBookEntry}},
        {"unknown answer", "+CME ERROR: 10", none, {S::RestartTimer}},
    };
    for (const auto& c : cases) EXPECT_EQ(answerSteps(c.line, c.flags), c.steps) << c.legend;
}

// Every answer kind cut short at every length, and with its bytes turned
// into odd ones, must give a result or none, never a throw or a stray read.
TEST(AnswerSteps, FinalResults) {
    const std::pair<const char*, bool> cases[] = {{"OK", true},
                                                  {"ERROR", true},
                                                  {"+CME ERROR: 30", true},
                                                  {"+CMS ERROR: 331", true},
                                                  {"OK ", false},
                                                  {"+CME ERROR", false},
                                                  {"", false},
                                                  {"+COPS: ,(0-4),(0,2)", false}};
    for (const auto& [line, final] : cases) EXPECT_EQ(isFinalResult(line), final) << line;
}

TEST(AnswerSteps, TruncatedAndGarbledLinesNeverBreakAParser) {
    const std::string lines[] = {
        "+CBC: 1,100",
        "+CSQ: 17,99",
        "+CPAS: 0",
        "^SCID: 8949020000",
        "+CLIP: \"0171\",129",
        "+CREG: 2,1,\"C67C\",\"4E21\"",
        "^SSTK: 63",
        "+COPS: 0,2,\"26207\"",
        "+COPS: 0,0,\"o2 - de\"",
        "+COPS: (2,\"o2 - de\",,\"26207\"),(3,\"D1\",,\"26201\")",
        "+CMGL: 3,1,,23",
        "+CMGR: 0,,23",
        "+CMTI: \"SM\",12",
        "+CPBS: \"SM\",5,250",
        "+CPBR: 1,\"0171\",129,\"Anna\"",
        "+CRSM: 144,0," + std::string(246, 'A'),
    };
    CountryTable countries{};
    const auto runAll = [&](const std::string& l) {
        DeviceIdentity id;
        id.manufacturerStep = 1;
        id.identityStep = 1;
        parseCbc(l), parseCsq(l), parseCpasReady(l), parseClip(l), starCodeAnswer(l);
        takeIdentityLine(id, l), takeScid(id, l), ussdQuotedText(l);
        parseCreg(l), parseSstk(l), parseCrsmZones(l), parseCopsNumeric(l), parseCopsName(l);
        operatorSlots(parseCopsList(l), countries);
        parseCmglHeader(l), parseCmgrLength(l), parseCmti(l), parseCpbs(l), parseCpbr(l);
        answerSteps(l, {});
    };
    for (const auto& full : lines) {
        for (std::size_t n = 0; n <= full.size(); ++n) {
            for (char odd : {'\0', '"', ',', '(', '\xFF'}) {
                std::string garbled = full.substr(0, n);
                if (n > 0) garbled[n / 2] = odd;
                EXPECT_NO_THROW(runAll(full.substr(0, n))) << full << " cut at " << n;
                EXPECT_NO_THROW(runAll(garbled)) << garbled;
            }
        }
    }
}
