#pragma once

#include <string>

class Form1;

// The phone's serial line: command lines out, answer bytes framed into lines
// and handed to the response dispatcher, the trace list, and the small user
// actions on the link (trace toggle, switch-off, timing-advance probe).
class PhoneLine {
  public:
    explicit PhoneLine(Form1& form);
    ~PhoneLine();

    void SendCommand(const std::string& command);
    void Comm1_OnComm();
    void List2_MouseDown(int button);
    void BattA_Click();
    void BattA_MouseDown(int button);
    void TAV_Click();

  private:
    Form1& f;
};
