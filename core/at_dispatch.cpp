// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/at_dispatch.h"

#include "core/at_common.h"

namespace funkor {

namespace {

using at::startsWith;
using Flags = DispatchFlags;
using H = AnswerHandler;
using S = AnswerStep;

constexpr AfterMatch kGoOn = AfterMatch::GoOn;

const AnswerRule kRules[] = {
    {S::StarCode,
     {},
     [](std::string_view, const Flags& f) { return f.ussdPending == UssdPending::UserCode; },
     AfterMatch::Stop,
     &H::starCodeAnswer},
    {S::UssdText,
     {},
     [](std::string_view l, const Flags& f) {
         return f.ussdPending == UssdPending::BalanceRequest && startsWith(l, "\"");
     },
     kGoOn,
     &H::ussdText},
    {S::FinalOk,
     {},
     [](std::string_view l, const Flags&) { return l == "OK"; },
     AfterMatch::StopUnlessSmsSending,
     &H::finalOk},
    // A refused SMS comes back as "+CMS ERROR: n" (no network, for
    // example); while a send status is awaited it is that status, so that a
    // later unrelated "OK" does not report the message as sent.
    {S::FinalError,
     {},
     [](std::string_view l, const Flags& f) {
         return l == "ERROR" || (f.smsSendPending && isErrorResult(l));
     },
     AfterMatch::StopUnlessSmsSending,
     &H::finalError},
    {S::RestartTimer,
     {},
     [](std::string_view l, const Flags& f) { return !isUnsolicited(l, f); },
     kGoOn,
     &H::answerCame},
    {S::Ring, {"RING"}, nullptr, kGoOn, &H::ring},
    {S::SimZoneFile, {"+CRSM:"}, nullptr, kGoOn, &H::simZoneFile},
    {S::CallerId, {"+CLIP:"}, nullptr, kGoOn, &H::callerId},
    {S::Battery, {"+CBC:"}, nullptr, kGoOn, &H::battery},
    {S::SimCardNumber, {"^SCID:", "+CCID:", "+ICCID:"}, nullptr, kGoOn, &H::simCardNumber},
    // The data line of a header (a page, a listed or read message) is never
    // an identity line, though it holds no "+".
    {S::IdentityLine,
     {},
     [](std::string_view l, const Flags& f) {
         return l.find('+') == std::string_view::npos && !f.cbPending && !f.smsListPending &&
                f.smsReadState != SmsRead::Header;
     },
     kGoOn,
     &H::identityLine},
    {S::Signal, {"+CSQ:"}, nullptr, kGoOn, &H::signal},
    {S::SmsListData,
     {},
     [](std::string_view, const Flags& f) { return f.smsListPending; },
     kGoOn,
     &H::smsListData},
    {S::SmsListHeader, {"+CMGL:"}, nullptr, kGoOn, &H::smsListHeader},
    {S::Activity, {"+CPAS:"}, nullptr, kGoOn, &H::activity},
    {S::TimingAdvance, {"^SSTK:"}, nullptr, kGoOn, &H::timingAdvance},
    {S::Registration,
     {"+CREG:", "+CGREG:", "+CEREG:", "+C5GREG:"},
     nullptr,
     kGoOn,
     &H::registration},
    {S::BroadcastData,
     {},
     [](std::string_view, const Flags& f) { return f.cbPending; },
     kGoOn,
     &H::broadcastData},
    {S::BroadcastHeader, {"+CBM:"}, nullptr, kGoOn, &H::broadcastHeader},
    {S::SmsReadData,
     {},
     [](std::string_view, const Flags& f) { return f.smsReadState == SmsRead::Header; },
     kGoOn,
     &H::smsReadData},
    {S::SmsReadHeader, {"+CMGR:"}, nullptr, kGoOn, &H::smsReadHeader},
    {S::NewMessage, {"+CMTI:"}, nullptr, kGoOn, &H::newMessage},
    {S::OperatorNumeric, {"+COPS: 0,2", "+COPS: 1,2"}, nullptr, kGoOn, &H::operatorNumeric},
    {S::OperatorName, {"+COPS: 0,0", "+COPS: 1,0"}, nullptr, kGoOn, &H::operatorName},
    {S::OperatorList, {"+COPS: ("}, nullptr, kGoOn, &H::operatorList},
    {S::PhoneBookStatus, {"+CPBS:"}, nullptr, kGoOn, &H::phoneBookStatus},
    {S::PhoneBookReadEcho, {"AT+CPBR="}, nullptr, kGoOn, &H::phoneBookReadEcho},
    {S::PhoneBookEntry, {"+CPBR:"}, nullptr, kGoOn, &H::phoneBookEntry},
    {S::CellReport, {"^SMONC:", "+QENG:", "+CENG:", "+UCELLINFO:"}, nullptr, kGoOn, &H::cellReport},
    {S::CellSignal, {"+CESQ:"}, nullptr, kGoOn, &H::cellSignal},
};

}  // namespace

bool isUnsolicited(std::string_view line, const DispatchFlags& flags) {
    // The page after a "+CBM:" header is the header's; an SMS delivered
    // whole ("+CMT:") and a status report ("+CDS:") bring theirs the same
    // way, but no flag marks them, so only their headers count here.
    if (flags.cbPending) return true;
    for (std::string_view p : {"+CBM:", "+CMTI:", "+CMT:", "+CDS:", "RING", "+CLIP:"})
        if (startsWith(line, p)) return true;
    return false;
}

bool AnswerRule::matches(std::string_view line, const DispatchFlags& flags) const {
    if (when) return when(line, flags);
    for (std::string_view p : prefixes)
        if (!p.empty() && startsWith(line, p)) return true;
    return false;
}

std::span<const AnswerRule> answerRules() {
    return kRules;
}

std::vector<const AnswerRule*> matchingRules(std::string_view line, const DispatchFlags& flags) {
    std::vector<const AnswerRule*> rules;
    for (const AnswerRule& rule : kRules) {
        if (!rule.matches(line, flags)) continue;
        rules.push_back(&rule);
        if (rule.after == AfterMatch::Stop) break;
        if (rule.after == AfterMatch::StopUnlessSmsSending && !flags.smsSendPending) break;
    }
    return rules;
}

std::vector<AnswerStep> answerSteps(std::string_view line, const DispatchFlags& flags) {
    std::vector<AnswerStep> steps;
    for (const AnswerRule* rule : matchingRules(line, flags)) steps.push_back(rule->step);
    return steps;
}

void dispatchAnswer(const std::string& line, const DispatchFlags& flags, AnswerHandler& handler) {
    for (const AnswerRule* rule : matchingRules(line, flags)) (handler.*(rule->handle))(line);
}

bool isErrorResult(std::string_view line) {
    return line == "ERROR" || at::startsWith(line, "+CME ERROR:") ||
           at::startsWith(line, "+CMS ERROR:");
}

bool endsQuery(std::string_view line) {
    return line == "OK" || isErrorResult(line);
}

bool isFinalResult(std::string_view line) {
    return endsQuery(line) || line == "NO CARRIER" || line == "BUSY" || line == "NO ANSWER" ||
           line == "NO DIALTONE";
}

}  // namespace funkor
