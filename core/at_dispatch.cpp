// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_dispatch.h"

#include "core/at_common.h"

namespace funkor {

std::vector<AnswerStep> answerSteps(std::string_view line, const DispatchFlags& flags) {
    using S = AnswerStep;
    using at::startsWith;
    std::vector<S> steps;
    if (flags.ussdPending == 1) return {S::StarCode};
    if (flags.ussdPending == 2 && startsWith(line, "\"")) steps.push_back(S::UssdText);
    if (line == "OK") {
        steps.push_back(S::FinalOk);
        if (!flags.smsSendPending) return steps;
    }
    // A refused SMS comes back as "+CMS ERROR: n" (no network, for
    // example); while a send status is awaited it is that status, so that a
    // later unrelated "OK" does not report the message as sent.
    if (line == "ERROR" || (flags.smsSendPending && isErrorResult(line))) {
        steps.push_back(S::FinalError);
        if (!flags.smsSendPending) return steps;
    }
    steps.push_back(S::RestartTimer);

    const auto add = [&](bool match, S step) {
        if (match) steps.push_back(step);
    };
    add(startsWith(line, "RING"), S::Ring);
    add(startsWith(line, "+CRSM:"), S::SimZoneFile);
    add(startsWith(line, "+CLIP:"), S::CallerId);
    add(startsWith(line, "+CBC:"), S::Battery);
    add(startsWith(line, "^SCID:") || startsWith(line, "+CCID:") || startsWith(line, "+ICCID:"),
        S::SimCardNumber);
    add(line.find('+') == std::string_view::npos, S::IdentityLine);
    add(startsWith(line, "+CSQ:"), S::Signal);
    add(flags.smsListPending, S::SmsListData);
    add(startsWith(line, "+CMGL:"), S::SmsListHeader);
    add(startsWith(line, "+CPAS:"), S::Activity);
    add(startsWith(line, "^SSTK:"), S::TimingAdvance);
    add(startsWith(line, "+CREG:") || startsWith(line, "+CGREG:") || startsWith(line, "+CEREG:"),
        S::Registration);
    add(flags.cbPending, S::BroadcastData);
    add(startsWith(line, "+CBM:"), S::BroadcastHeader);
    add(flags.smsReadState == 3, S::SmsReadData);
    add(startsWith(line, "+CMGR:"), S::SmsReadHeader);
    add(startsWith(line, "+CMTI:"), S::NewMessage);
    add(startsWith(line, "+COPS: 0,2") || startsWith(line, "+COPS: 1,2"), S::OperatorNumeric);
    add(startsWith(line, "+COPS: 0,0") || startsWith(line, "+COPS: 1,0"), S::OperatorName);
    add(startsWith(line, "+COPS: ("), S::OperatorList);
    add(startsWith(line, "+CPBS:"), S::PhoneBookStatus);
    add(startsWith(line, "AT+CPBR="), S::PhoneBookReadEcho);
    add(startsWith(line, "+CPBR:"), S::PhoneBookEntry);
    return steps;
}

bool isErrorResult(std::string_view line) {
    return line == "ERROR" || at::startsWith(line, "+CME ERROR:") ||
           at::startsWith(line, "+CMS ERROR:");
}

bool isFinalResult(std::string_view line) {
    return line == "OK" || isErrorResult(line);
}

}  // namespace funkor
