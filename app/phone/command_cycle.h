#pragma once

class Form1;

// The command cycle driven by Timer1: finds the phone, walks the schedule of
// AT commands and carries out the SMS read, delete and send requests.
class CommandCycle {
  public:
    explicit CommandCycle(Form1& form);
    ~CommandCycle();

    void Timer1_Timer();

  private:
    Form1& f;
};
