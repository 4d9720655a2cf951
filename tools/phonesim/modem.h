// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/phonesim/radio_drive.h"
#include "tools/phonesim/scenario.h"

// The phone itself: the AT command interpreter with echo, joined commands
// and final result codes, the SMS and SIM-toolkit input prompt, the network
// state that the scenario's time line changes, and the unsolicited messages
// that follow from it (RING, +CLIP, +CMTI, +CBM, +CREG).
//
// The modem knows nothing about the line: it is fed received bytes and the
// time, and hands out what it wants to send, each piece with the earliest time
// it may leave (the phone's processing delay).
namespace phonesim {

struct ModemOptions {
    double answerDelay = 0.04;  // seconds per command
    std::size_t maxCommandLine = 512;
    std::size_t maxPduInput = 1100;
    std::size_t maxPendingOutput = 256 * 1024;
};

class Modem {
  public:
    Modem(Scenario scenario, ModemOptions options);
    ~Modem();

    // Every received command line and PDU goes here (for the record file).
    std::function<void(const std::string&)> onCommandLine;

    void setConnected(bool connected, double now);
    void receive(std::string_view bytes, double now);
    void tick(double now);

    // Output whose release time has come, oldest first.
    std::string takeDue(double now);
    // Earliest time at which takeDue or tick has something to do; a large
    // value when nothing is pending.
    double nextWakeup() const;
    bool hasPendingOutput() const { return !out_.empty(); }

  private:
    enum class Result { Ok, Error, Cme, Cms, NoCarrier, Deferred, Prompt };
    struct Reply {
        std::vector<std::string> info;
        Result result = Result::Ok;
        int code = 0;
        double extraDelay = 0;
    };
    struct Arg {
        std::string text;
        bool quoted = false;
    };
    struct Command {
        std::string name;  // "+CGMI", "^SCID", "E", "D"
        enum Kind { Exec, Read, Test, Set } kind = Exec;
        std::vector<Arg> args;
        std::string raw;  // text after the name (basic commands: their digits)
    };
    enum class Prompt { None, Sms, Toolkit };
    enum class Call { Idle, Ringing, Voice, DataDial };
    struct Chunk {
        double release;
        std::string bytes;
    };

    // Line handling (modem.cpp).
    void resetSettings();
    void powerOn();
    void receiveCommandByte(char c, double now);
    void receivePromptByte(char c, double now);
    void executeLine(const std::string& line, double now);
    bool parseLine(std::string_view body, std::vector<Command>& commands) const;
    void execute(const Command& c, Reply& r, double now);
    void finishPrompt(double now);
    void queue(std::string bytes, double release);
    void queueLine(const std::string& text, double release);
    void unsolicited(const std::string& text, double now);
    std::string finalCode(Result result, int code) const;
    std::string formatInfo(const std::string& line) const;

    // Time line and unsolicited messages (modem.cpp).
    void runEvent(const Event& e, double now);
    void changeCell(int cell, double now);
    void setRegistered(bool registered, double now);
    void deliverSms(const StoredSms& sms, double now);
    void sendBroadcast(double now);
    // Registration answers of the three domains: 'C' +CREG, 'G' +CGREG,
    // 'E' +CEREG.
    std::string cregLine(bool unsolicitedForm) const;
    std::string registrationLine(char domain, bool unsolicitedForm) const;
    int registrationState() const;
    int domainState(char domain) const;
    int& domainMode(char domain);
    void reportRegistration(int minimumMode, double now);
    // Whether another maker's device knows a command at all; a line holding
    // one it does not know is refused whole.
    bool knows(const Command& c) const;
    bool broadcastAccepted(int messageId) const;
    double firstPageDelay() const;
    const Cell& cell() const { return sc_.cells[static_cast<std::size_t>(cell_)]; }

    // The radio mode (modem_radio.cpp): the drive's readings move the
    // serving cell and answer the makers' cell queries and the LTE modem's
    // +CESQ.
    void driveTo(double now);
    bool cellQuery(const Command& c, Reply& r);

    // Command groups (modem_commands.cpp, modem_storage.cpp).
    void basicCommand(const Command& c, Reply& r, double now);
    void dial(const std::string& number, Reply& r, double now);
    void identity(const Command& c, Reply& r);
    void network(const Command& c, Reply& r, double now);
    void simAccess(const Command& c, Reply& r);
    void broadcastSelect(const Command& c, Reply& r, double now);
    void phoneBook(const Command& c, Reply& r);
    void messages(const Command& c, Reply& r);
    void toolkitResponse(const std::string& pdu, Reply& r);
    void submitSms(const std::string& pdu, Reply& r);
    std::string teText(const std::string& gsm) const;
    bool fromTeText(const std::string& text, std::string& gsm) const;
    int usedSms() const;

    Scenario sc_;
    ModemOptions opt_;
    std::unique_ptr<DriveRadio> drive_;  // the radio mode's network and track
    int cengMode_ = 0;                   // SIMCom engineering mode (AT+CENG=<mode>)

    // Settings (reset by ATZ, AT&F and power-on).
    bool echo_ = true;
    bool verbose_ = true;
    bool quiet_ = false;
    int cmee_ = 0;
    int cregMode_ = 0;
    int cgregMode_ = 0;
    int ceregMode_ = 0;
    int clip_ = 0;
    int cnmi_[5] = {0, 0, 0, 0, 1};
    std::string charset_ = "GSM";
    int copsFormat_ = 0;
    int copsMode_ = 0;
    int sRegs_[13] = {0, 0, 43, 13, 10, 8, 2, 50, 2, 6, 14, 95, 50};

    // Phone state.
    bool powered_ = true;
    bool connected_ = false;
    bool registered_ = true;  // coverage and not detached with AT+COPS=2
    bool coverage_ = true;
    bool detached_ = false;
    int cell_ = 0;
    int signal_ = 20;
    int battery_ = 80;
    bool charging_ = false;
    std::string phoneBookStorage_ = "SM";
    int cscbMode_ = 0;
    std::vector<std::pair<int, int>> cscbIds_;
    std::string cscbText_;
    std::string cscbDcs_;
    int messageRef_ = 0;

    // Calls.
    Call call_ = Call::Idle;
    std::string caller_;
    int ringsLeft_ = 0;
    double nextRing_ = 0;
    double dataDialEnd_ = 0;
    std::vector<std::pair<double, std::string>> serviceAnswers_;

    // Input.
    std::string line_;
    bool lineOverflow_ = false;
    Prompt prompt_ = Prompt::None;
    int promptLength_ = 0;
    std::string pdu_;
    bool pduOverflow_ = false;
    std::vector<std::string> heldUnsolicited_;
    bool offAfterOutput_ = false;

    // Time line.
    bool started_ = false;
    double epoch_ = 0;
    std::size_t nextEvent_ = 0;
    int cycle_ = 0;
    double nextBroadcast_ = 1e18;
    std::uint16_t broadcastUpdate_ = 0;

    // Output.
    std::deque<Chunk> out_;
    std::size_t outBytes_ = 0;
    double lastRelease_ = 0;
};

}  // namespace phonesim
