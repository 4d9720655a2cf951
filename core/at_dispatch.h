// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string_view>
#include <vector>

// Which handling steps one answer line runs through, in the fixed order in
// which the phone's answers are recognised. Prefix tests are exact and
// case-sensitive, and a line may match several steps (a plain line such as
// "RING" also counts as an identity line), so the result is the list of steps
// to run, in order. Header lines ("+CMGL:", "+CBM:", "+CMGR:") make the next
// line their data; the flags below tell whether such a line is awaited.
namespace funkor {

enum class AnswerStep {
    StarCode,           // a star code dialled by the user is running: nothing else
    UssdText,           // quoted answer to the network's "ATD*122#;"
    FinalOk,            // "OK"
    FinalError,         // "ERROR"
    RestartTimer,       // any other line: the command cycle waits for quiet again
    Ring,               // "RING"
    SimZoneFile,        // "+CRSM:"
    CallerId,           // "+CLIP:"
    Battery,            // "+CBC:"
    SimCardNumber,      // "^SCID:"
    IdentityLine,       // a line without "+"
    Signal,             // "+CSQ:"
    SmsListData,        // the PDU after a "+CMGL:" header
    SmsListHeader,      // "+CMGL:"
    Activity,           // "+CPAS:"
    TimingAdvance,      // "^SSTK:"
    Registration,       // "+CREG:"
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
};

struct DispatchFlags {
    int ussdPending = 0;          // 1 user star code running, 2 "ATD*122#;" answer awaited
    bool smsSendPending = false;  // an SMS was handed to the phone; OK/ERROR is its status
    bool smsListPending = false;  // the next line is the PDU of a "+CMGL:" header
    bool cbPending = false;       // the next line is the page of a "+CBM:" header
    int smsReadState = 0;         // 3: the next line is the PDU of a "+CMGR:" header
};

// "OK" and "ERROR" end the line's handling unless an SMS send is pending,
// in which case they are its status and the line goes on through the list.
std::vector<AnswerStep> answerSteps(std::string_view line, const DispatchFlags& flags);

// A line that ends the answer to a command: "OK", "ERROR", "+CME ERROR: n"
// or "+CMS ERROR: n"; the last three are errors.
bool isFinalResult(std::string_view line);
bool isErrorResult(std::string_view line);

}  // namespace funkor
