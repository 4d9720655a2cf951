// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/cycle_state.h"

// Which handling steps one answer line runs through, in the fixed order in
// which the phone's answers are recognised. Prefix tests are exact and
// case-sensitive, and a line may match several steps (a plain line such as
// "RING" also counts as an identity line), so the result is the list of steps
// to run, in order. Header lines ("+CMGL:", "+CBM:", "+CMGR:") make the next
// line their data; the flags below tell whether such a line is awaited.
//
// The order, the test of each step and the handler it runs are kept in one
// table (answerRules()); the enum only names the rows.
namespace funkor {

enum class AnswerStep {
    StarCode,           // a star code dialled by the user is running: nothing else
    UssdText,           // quoted answer to the network's "ATD*122#;"
    FinalOk,            // "OK"
    FinalError,         // "ERROR"
    RestartTimer,       // any other answer line: the command cycle waits for quiet again
    Ring,               // "RING"
    SimZoneFile,        // "+CRSM:"
    CallerId,           // "+CLIP:"
    Battery,            // "+CBC:"
    SimCardNumber,      // "^SCID:", "+CCID:", "+ICCID:"
    IdentityLine,       // a line without "+"
    Signal,             // "+CSQ:"
    SmsListData,        // the PDU after a "+CMGL:" header
    SmsListHeader,      // "+CMGL:"
    Activity,           // "+CPAS:"
    TimingAdvance,      // "^SSTK:"
    Registration,       // "+CREG:", "+CGREG:", "+CEREG:", "+C5GREG:"
    BroadcastData,      // the page after a "+CBM:" header
    BroadcastHeader,    // "+CBM:"
    SmsReadData,        // the PDU after a "+CMGR:" header
    SmsReadHeader,      // "+CMGR:"
    NewMessage,         // "+CMTI:"
    OperatorNumeric,    // "+COPS: 0,2" or "+COPS: 1,2"
    OperatorName,       // "+COPS: 0,0" or "+COPS: 1,0"
    OperatorList,       // "+COPS: ("
    PhoneBookStatus,    // "+CPBS:"
    PhoneBookReadEcho,  // "AT+CPBR=" (the phone's echo of a read)
    PhoneBookEntry,     // "+CPBR:"
    CellReport,         // "^SMONC:", "+QENG:", "+CENG:", "+UCELLINFO:"
    CellSignal,         // "+CESQ:"
};

struct DispatchFlags {
    UssdPending ussdPending = UssdPending::None;
    bool smsSendPending = false;           // an SMS was handed to the phone; OK/ERROR is its status
    bool smsListPending = false;           // the next line is the PDU of a "+CMGL:" header
    bool cbPending = false;                // the next line is the page of a "+CBM:" header
    SmsRead smsReadState = SmsRead::Idle;  // Header: the next line is the PDU of "+CMGR:"
};

// What is done with the answers: one method a step, given the whole line.
class AnswerHandler {
  public:
    virtual ~AnswerHandler() = default;
    virtual void starCodeAnswer(const std::string& line) = 0;
    virtual void ussdText(const std::string& line) = 0;
    virtual void finalOk(const std::string& line) = 0;
    virtual void finalError(const std::string& line) = 0;
    virtual void answerCame(const std::string& line) = 0;
    virtual void ring(const std::string& line) = 0;
    virtual void simZoneFile(const std::string& line) = 0;
    virtual void callerId(const std::string& line) = 0;
    virtual void battery(const std::string& line) = 0;
    virtual void simCardNumber(const std::string& line) = 0;
    virtual void identityLine(const std::string& line) = 0;
    virtual void signal(const std::string& line) = 0;
    virtual void smsListData(const std::string& line) = 0;
    virtual void smsListHeader(const std::string& line) = 0;
    virtual void activity(const std::string& line) = 0;
    virtual void timingAdvance(const std::string& line) = 0;
    virtual void registration(const std::string& line) = 0;
    virtual void broadcastData(const std::string& line) = 0;
    virtual void broadcastHeader(const std::string& line) = 0;
    virtual void smsReadData(const std::string& line) = 0;
    virtual void smsReadHeader(const std::string& line) = 0;
    virtual void newMessage(const std::string& line) = 0;
    virtual void operatorNumeric(const std::string& line) = 0;
    virtual void operatorName(const std::string& line) = 0;
    virtual void operatorList(const std::string& line) = 0;
    virtual void phoneBookStatus(const std::string& line) = 0;
    virtual void phoneBookReadEcho(const std::string& line) = 0;
    virtual void phoneBookEntry(const std::string& line) = 0;
    // The serving cell and its neighbours as the makers' engineering
    // queries and AT+CESQ report them.
    virtual void cellReport(const std::string& line) = 0;
    virtual void cellSignal(const std::string& line) = 0;
};

// Whether the steps after a matching one are still tried.
enum class AfterMatch {
    GoOn,
    Stop,
    // "OK" and "ERROR" end the line's handling unless an SMS send is
    // pending, in which case they are its status and the line goes on.
    StopUnlessSmsSending,
};

// One row of the table: the step; the line belongs to it when it starts
// with one of `prefixes`, or, for a row without prefixes, when `when` says so;
// what comes after; and its handler.
struct AnswerRule {
    AnswerStep step;
    std::array<std::string_view, 4> prefixes;
    bool (*when)(std::string_view line, const DispatchFlags& flags);
    AfterMatch after;
    void (AnswerHandler::*handle)(const std::string& line);

    bool matches(std::string_view line, const DispatchFlags& flags) const;
};

// Every step in the order of recognition.
std::span<const AnswerRule> answerRules();

// The rows `line` runs through, in order.
std::vector<const AnswerRule*> matchingRules(std::string_view line, const DispatchFlags& flags);
std::vector<AnswerStep> answerSteps(std::string_view line, const DispatchFlags& flags);

// Runs the handlers of `line`'s steps in order. The steps are chosen from
// the flags before the line: a header sets the flag that only the next
// line's earlier step reads, so choosing them all first gives the same order
// as testing them one after the other.
void dispatchAnswer(const std::string& line, const DispatchFlags& flags, AnswerHandler& handler);

// A line the device sends on its own, not as part of an answer to a
// command: a broadcast page and its header, a new-message notice, a ring
// and the caller's number. It does not make the command cycle wait: a phone
// that pages every second would otherwise hold the schedule off.
bool isUnsolicited(std::string_view line, const DispatchFlags& flags);

// A line that ends the answer to a query: "OK", "ERROR", "+CME ERROR: n"
// or "+CMS ERROR: n"; the last three are errors. A query's answer never ends
// in a call's result: a "NO CARRIER" of a call that drops while the
// operators are scanned does not end the scan.
bool endsQuery(std::string_view line);
bool isErrorResult(std::string_view line);
// Any line that ends the answer to a command line: a query's end, or the
// result of a dial command ("NO CARRIER", "BUSY", "NO ANSWER",
// "NO DIALTONE"). The phone line hands an answer over at once after one.
bool isFinalResult(std::string_view line);

}  // namespace funkor
