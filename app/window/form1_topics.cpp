// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/window/form1.h"

#include "app/output/gps_input.h"
#include "app/output/map_link.h"
#include "app/output/nmea_output.h"
#include "app/output/source_selection.h"
#include "app/phone/command_cycle.h"
#include "app/phone/phone_line.h"
#include "app/phone/response_dispatcher.h"
#include "app/position/cell_site_files.h"
#include "app/position/display_switches.h"
#include "app/position/position_engine.h"
#include "app/position/position_log.h"
#include "app/sms/phone_calls.h"
#include "app/sms/sms_reception.h"
#include "app/sms/sms_sending.h"
#include "core/pdu.h"

#include <algorithm>
#include <span>

// The window's handlers and shared procedures, each a forward to the topic
// that owns the behaviour.

void Form1::SendCommand(const std::string& command) {
    phoneLine->SendCommand(command);
}
void Form1::InterpretResponse(const std::string& line) {
    responseDispatcher->InterpretResponse(line);
}

void Form1::Comm1_OnComm() {
    phoneLine->Comm1_OnComm();
}
void Form1::List2_MouseDown(int button) {
    phoneLine->List2_MouseDown(button);
}
void Form1::BattA_Click() {
    phoneLine->BattA_Click();
}
void Form1::BattA_MouseDown(int button) {
    phoneLine->BattA_MouseDown(button);
}
void Form1::TAV_Click() {
    phoneLine->TAV_Click();
}
void Form1::Timer1_Timer() {
    commandCycle->Timer1_Timer();
}

void Form1::Cell_MouseDown(int button) {
    cellSiteFiles->Cell_MouseDown(button);
}

// Position engine, incoming SMS and the phone-book lookup.
void Form1::ComputeCellPosition() {
    positionEngine->ComputeCellPosition();
}
void Form1::ShowReceivedSms() {
    smsReception->ShowReceivedSms();
}
void Form1::FindCallerName(const std::string& number) {
    phoneCalls->FindCallerName(number);
}
void Form1::ShCell_Click() {
    displaySwitches->ShCell_Click();
}
void Form1::ShHome_Click() {
    displaySwitches->ShHome_Click();
}
void Form1::Trace_Click() {
    positionLog->Trace_Click();
}
void Form1::NewL_Click() {
    positionLog->NewL_Click();
}

void Form1::GPS_Click() {
    gpsInput->GPS_Click();
}
void Form1::Comm3_OnComm() {
    gpsInput->Comm3_OnComm();
}
void Form1::NMEA_Click() {
    nmeaOutput->NMEA_Click();
}
void Form1::Timer2_Timer() {
    nmeaOutput->Timer2_Timer();
}
void Form1::Timer5_Timer() {
    mapLink->Timer5_Timer();
}
void Form1::MBlast_Click() {
    mapLink->MBlast_Click();
}
void Form1::cGSM_Click() {
    sourceSelection->cGSM_Click();
}
void Form1::cGPS_Click() {
    sourceSelection->cGPS_Click();
}
void Form1::cSMS_Click() {
    sourceSelection->cSMS_Click();
}
void Form1::cMULTI_Click() {
    sourceSelection->cMULTI_Click();
}
void Form1::AsendS_Change() {
    sourceSelection->AsendS_Change();
}
void Form1::Timer6_Timer() {
    sourceSelection->Timer6_Timer();
}

void Form1::SMSrd_Click() {
    smsReception->SMSrd_Click();
}
void Form1::SMSc_Click() {
    smsReception->SMSc_Click();
}
void Form1::Text1_Click() {
    smsReception->Text1_Click();
}
void Form1::Text2_MouseDown(int button) {
    smsReception->Text2_MouseDown(button);
}
void Form1::SMSb_Click() {
    smsSending->SMSb_Click();
}
void Form1::SendPos_Click() {
    smsSending->SendPos_Click();
}
void Form1::CallPos_Click() {
    smsSending->CallPos_Click();
}
void Form1::Combo1_Click() {
    smsSending->Combo1_Click();
}
void Form1::Check1_Click() {
    phoneCalls->Check1_Click();
}
void Form1::CALLb_Click() {
    phoneCalls->CALLb_Click();
}
void Form1::RingL_Click() {
    phoneCalls->RingL_Click();
}
void Form1::Timer3_Timer() {
    phoneCalls->Timer3_Timer();
}
void Form1::Timer4_Timer() {
    phoneCalls->Timer4_Timer();
}
