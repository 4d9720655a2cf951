#include "app/phone/phone_line.h"

#include "app/window/form1.h"

PhoneLine::PhoneLine(Form1& form) : f(form) {}
PhoneLine::~PhoneLine() = default;

void PhoneLine::SendCommand(const std::string&) {}
void PhoneLine::Comm1_OnComm() {}
void PhoneLine::List2_MouseDown(int) {}
void PhoneLine::BattA_Click() {}
void PhoneLine::BattA_MouseDown(int) {}
void PhoneLine::TAV_Click() {}
