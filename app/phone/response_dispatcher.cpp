#include "app/phone/response_dispatcher.h"

#include "app/window/form1.h"

ResponseDispatcher::ResponseDispatcher(Form1& form) : f(form) {}
ResponseDispatcher::~ResponseDispatcher() = default;
void ResponseDispatcher::InterpretResponse(const std::string&) {}
