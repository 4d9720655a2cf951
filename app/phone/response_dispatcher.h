#pragma once

#include <string>

class Form1;

// Applies every line the phone sends to the window: device state, network
// and cell, SMS, phone book and broadcast pages.
class ResponseDispatcher {
  public:
    explicit ResponseDispatcher(Form1& form);
    ~ResponseDispatcher();

    void InterpretResponse(const std::string& line);

  private:
    Form1& f;
};
