// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Where the command cycle and the answers it awaits stand. The window keeps
// these in its state and the answer table reads them; the snapshot writes
// each as its number.
namespace funkor {

// The steps of the command schedule, in the order the cycle takes them.
// After the identity (0..2) the regular pass runs 3..8 over and over; the
// phone books and the SMS list (9..15) are read once after the phone was
// found, between two regular passes.
enum class PollStep : int {
    Manufacturer = 0,     // "AT+CGMI;+CGMM;+CGMR"
    Identity = 1,         // serial number, IMSI, SIM card number
    Notices = 2,          // SIM card number of other makers; caller id and SMS notices on
    Operator = 3,         // numeric operator
    ZonesAndSending = 4,  // the SIM's zone file once, a queued SMS
    Status = 5,           // operator, signal, battery; the balance request once
    Registration = 6,     // serving cell and timing advance
    Broadcast = 7,        // cell broadcast on (O2)
    OperatorScan = 8,     // the operators in reach, every five minutes; end of the pass
    SimBook = 9,          // SIM phone book chosen
    SimBookEntry = 10,    // its entries, one a tick
    FixedBook = 11,       // fixed-dialling book chosen
    FixedBookEntry = 12,
    OwnNumbers = 13,  // own numbers chosen
    OwnNumberEntry = 14,
    SmsList = 15,  // the stored messages listed
};
// The step after (before) `step`; the cycle takes a step again by going one
// back before it moves on.
constexpr PollStep nextStep(PollStep step) {
    return static_cast<PollStep>(static_cast<int>(step) + 1);
}
constexpr PollStep previousStep(PollStep step) {
    return static_cast<PollStep>(static_cast<int>(step) - 1);
}
// The steps after the regular pass: the books and the SMS list are read.
constexpr bool readsBooksOrList(PollStep step) {
    return step > PollStep::OperatorScan;
}

// A star code's answer awaited.
enum class UssdPending : int {
    None = 0,
    UserCode = 1,        // a star code the user dialled: its answer fills Text2
    BalanceRequest = 2,  // the automatic "ATD*122#;": its quoted answer goes to Text3
};

// Other makers' SIM card number: asked with "AT+CCID", then "AT+ICCID";
// Done when it has come or neither was answered.
enum class IccidStep : int { NotAsked = 0, AskedCcid = 1, AskedIccid = 2, Done = 3 };

// Where the read of one stored message stands.
enum class SmsRead : int {
    Idle = 0,
    Requested = 1,  // a notice came: the cycle asks for the message
    Sent = 2,       // "AT+CMGR" sent
    Header = 3,     // its header came: the next line is the PDU
    PduIn = 4,      // the PDU came: the cycle shows the message
};

// The registration query whose final answer is awaited; its number is the
// letter the query is known by.
enum class RegistrationQuery : int {
    None = 0,
    Gprs = 'G',    // "AT+CGREG?"
    Eps = 'E',     // "AT+CEREG?"
    Fivegs = 'N',  // "AT+C5GREG?"
};

}  // namespace funkor
