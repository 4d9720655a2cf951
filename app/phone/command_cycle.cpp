#include "app/phone/command_cycle.h"

#include "app/window/form1.h"

CommandCycle::CommandCycle(Form1& form) : f(form) {}
CommandCycle::~CommandCycle() = default;
void CommandCycle::Timer1_Timer() {}
