// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_dispatch.h"

#include "core/at_device.h"
#include "core/at_network.h"
#include "core/at_phonebook.h"
#include "core/at_sms.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    user.ussdPending = UssdPending{1};
    DispatchFlags network{};
    network.ussdPending = UssdPending{2};
    DispatchFlags list{};
    list.smsListPending = true;
    DispatchFlags cb{};
    cb.cbPending = true;
    DispatchFlags read{};
    read.smsReadState = SmsRead{3};
    const std::string pdu = "07919421050000F0040C9194710000000000004011";

    const StepCase cases[] = {
        {"OK ends at once", "OK", none, {S::FinalOk}},
        {"OK after an SMS goes on", "OK", sms, {S::FinalOk, S::RestartTimer, S::IdentityLine}},
        {"ERROR ends at once", "ERROR", none, {S::FinalError}},
        {"ERROR after an SMS", "ERROR", sms, {S::FinalError, S::RestartTimer, S::IdentityLine}},
        {"SMS refused by the network", "+CMS ERROR: 331", sms, {S::FinalError, S::RestartTimer}},
        {"error code without an SMS", "+CMS ERROR: 331", none, {S::RestartTimer}},
        {"lower-case ok is no final code", "ok", none, {S::RestartTimer, S::IdentityLine}},
        {"RING is also a plain line", "RING", none, {S::Ring, S::IdentityLine}},
        {"user star code swallows everything", "+CSQ: 17,99", user, {S::StarCode}},
        {"quoted network answer",
         "\"Standort: Bahnhof\"",
         network,
         {S::UssdText, S::RestartTimer, S::IdentityLine}},
        {"quote without awaited answer", "\"x\"", none, {S::RestartTimer, S::IdentityLine}},
        {"SIM zone file", "+CRSM: 144,0,00", none, {S::RestartTimer, S::SimZoneFile}},
        {"caller id", "+CLIP: \"0171\",129", none, {S::CallerId}},
        {"battery", "+CBC: 0,80", none, {S::RestartTimer, S::Battery}},
        {"card number has no plus",
         "^SCID: 8949",
         none,
         {S::RestartTimer, S::SimCardNumber, S::IdentityLine}},
        {"signal", "+CSQ: 17,99", none, {S::RestartTimer, S::Signal}},
        {"list header", "+CMGL: 3,1,,23", none, {S::RestartTimer, S::SmsListHeader}},
        {"list PDU", pdu, list, {S::RestartTimer, S::SmsListData}},
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
        {"broadcast header", "+CBM: 88", none, {S::BroadcastHeader}},
        {"broadcast page", pdu, cb, {S::BroadcastData}},
        {"page that looks like a header", "+CBM: 88", cb, {S::BroadcastData, S::BroadcastHeader}},
        {"read header", "+CMGR: 0,,23", none, {S::RestartTimer, S::SmsReadHeader}},
        {"read PDU", pdu, read, {S::RestartTimer, S::SmsReadData}},
        {"new message", "+CMTI: \"SM\",12", none, {S::NewMessage}},
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
        {"SMS delivered whole: no answer", "+CMT: ,23", none, {}},
        {"status report: no answer", "+CDS: 6,1", none, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(answerSteps(c.line, c.flags), c.steps) << c.legend;
}

// Every answer kind cut short at every length, and with its bytes turned
// into odd ones, must give a result or none, never a throw or a stray read.
TEST(AnswerSteps, FinalResults) {
    const struct {
        const char* line;
        bool endsQuery, final;
    } cases[] = {{"OK", true, true},
                 {"ERROR", true, true},
                 {"+CME ERROR: 30", true, true},
                 {"+CMS ERROR: 331", true, true},
                 {"NO CARRIER", false, true},
                 {"BUSY", false, true},
                 {"NO ANSWER", false, true},
                 {"NO DIALTONE", false, true},
                 {"OK ", false, false},
                 {"+CME ERROR", false, false},
                 {"", false, false},
                 {"+COPS: ,(0-4),(0,2)", false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(endsQuery(c.line), c.endsQuery) << c.line;
        EXPECT_EQ(isFinalResult(c.line), c.final) << c.line;
    }
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

// Every row runs the handler of its own step: a handler that records the
// step it stands for sees the same list as answerSteps.
struct RecordingHandler : AnswerHandler {
    std::vector<S> seen;
    void starCodeAnswer(const std::string&) override { seen.push_back(S::StarCode); }
    void ussdText(const std::string&) override { seen.push_back(S::UssdText); }
    void finalOk(const std::string&) override { seen.push_back(S::FinalOk); }
    void finalError(const std::string&) override { seen.push_back(S::FinalError); }
    void answerCame(const std::string&) override { seen.push_back(S::RestartTimer); }
    void ring(const std::string&) override { seen.push_back(S::Ring); }
    void simZoneFile(const std::string&) override { seen.push_back(S::SimZoneFile); }
    void callerId(const std::string&) override { seen.push_back(S::CallerId); }
    void battery(const std::string&) override { seen.push_back(S::Battery); }
    void simCardNumber(const std::string&) override { seen.push_back(S::SimCardNumber); }
    void identityLine(const std::string&) override { seen.push_back(S::IdentityLine); }
    void signal(const std::string&) override { seen.push_back(S::Signal); }
    void smsListData(const std::string&) override { seen.push_back(S::SmsListData); }
    void smsListHeader(const std::string&) override { seen.push_back(S::SmsListHeader); }
    void activity(const std::string&) override { seen.push_back(S::Activity); }
    void timingAdvance(const std::string&) override { seen.push_back(S::TimingAdvance); }
    void registration(const std::string&) override { seen.push_back(S::Registration); }
    void broadcastData(const std::string&) override { seen.push_back(S::BroadcastData); }
    void broadcastHeader(const std::string&) override { seen.push_back(S::BroadcastHeader); }
    void smsReadData(const std::string&) override { seen.push_back(S::SmsReadData); }
    void smsReadHeader(const std::string&) override { seen.push_back(S::SmsReadHeader); }
    void newMessage(const std::string&) override { seen.push_back(S::NewMessage); }
    void operatorNumeric(const std::string&) override { seen.push_back(S::OperatorNumeric); }
    void operatorName(const std::string&) override { seen.push_back(S::OperatorName); }
    void operatorList(const std::string&) override { seen.push_back(S::OperatorList); }
    void phoneBookStatus(const std::string&) override { seen.push_back(S::PhoneBookStatus); }
    void phoneBookReadEcho(const std::string&) override { seen.push_back(S::PhoneBookReadEcho); }
    void phoneBookEntry(const std::string&) override { seen.push_back(S::PhoneBookEntry); }
    void cellReport(const std::string&) override { seen.push_back(S::CellReport); }
    void cellSignal(const std::string&) override { seen.push_back(S::CellSignal); }
};

TEST(AnswerSteps, EveryRowRunsItsOwnHandler) {
    DispatchFlags all{};
    all.smsSendPending = true;
    all.smsListPending = true;
    all.cbPending = true;
    all.smsReadState = SmsRead{3};
    DispatchFlags network{};
    network.ussdPending = UssdPending{2};
    DispatchFlags user{};
    user.ussdPending = UssdPending{1};
    const std::pair<std::string, DispatchFlags> cases[] = {
        {"OK", all},
        {"ERROR", all},
        {"\"Guthaben\"", network},
        {"RING", {}},
        {"x", user},
        {"+CRSM: 144,0,00", {}},
        {"+CLIP: \"0171\",129", {}},
        {"^SMONC: 262,07,4E21,C67C,32,81,42,33,33", {}},
        {"+QENG: \"servingcell\",\"NOCONN\",\"LTE\",\"FDD\",262,03,1A2B3C4,123,6300", {}},
        {"+CESQ: 99,99,255,255,20,45", {}},
        {"+CBC: 0,80", {}},
        {"^SCID: 8949", all},
        {"+CSQ: 17,99", {}},
        {"+CMGL: 3,1,,23", all},
        {"+CPAS: 0", {}},
        {"^SSTK: 03", {}},
        {"+CREG: 1,\"C67C\",\"4E21\"", {}},
        {"+CBM: 88", all},
        {"+CMGR: 0,,23", all},
        {"+CMTI: \"SM\",12", {}},
        {"+COPS: 0,2,\"26207\"", {}},
        {"+COPS: 0,0,\"o2 - de\"", {}},
        {"+COPS: (2,\"o2 - de\",,\"26207\")", {}},
        {"+CPBS: \"SM\",5,250", {}},
        {"AT+CPBR=5", {}},
        {"+CPBR: 1,\"0171\",129,\"Anna\"", {}},
    };
    std::vector<S> everyStep;
    for (const auto& [line, flags] : cases) {
        RecordingHandler handler;
        dispatchAnswer(line, flags, handler);
        EXPECT_EQ(handler.seen, answerSteps(line, flags)) << line;
        everyStep.insert(everyStep.end(), handler.seen.begin(), handler.seen.end());
    }
    // The cases reach every row of the table.
    for (const AnswerRule& rule : answerRules())
        EXPECT_NE(std::find(everyStep.begin(), everyStep.end(), rule.step), everyStep.end())
            << static_cast<int>(rule.step);
}
