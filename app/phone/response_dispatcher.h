// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <array>
#include <functional>
#include <string>

#include "core/at_device.h"
#include "core/at_dispatch.h"
#include "core/at_network.h"

struct PhoneSideState;
class CellSiteFiles;
class PositionPanel;
class CommandCycle;
class GaugeElement;
class ImageElement;
class LabelElement;
class PhoneCalls;
class PhoneLine;
class Platform;
class QComboBox;
class QListWidget;
class QRadioButton;
class ShapeElement;
class SmsReception;
class SmsSending;
class TextBoxElement;
struct CallState;
struct NetworkState;
struct PhoneLinkState;
struct PositionState;
struct ProgramFolder;
struct SmsState;

// Applies every line the phone sends to the window: device state, network
// and cell, SMS, phone book and broadcast pages.
//
// The lines are recognised in a fixed order (the table in core/at_dispatch);
// one line may run through several steps. Each step reads its answer with a
// parser from core/ and only then touches the window, so a line that cannot
// be read leaves the display as it was.
class ResponseDispatcher : private funkor::AnswerHandler {
  public:
    // The window's elements the answers are shown in. The operator slots,
    // Info, Level, Text3 and Image1 show nothing else; Netz is the display
    // switches' as well, and GSM and Baud the window's own port choice.
    struct Elements {
        LabelElement* Info;
        GaugeElement* Level;
        TextBoxElement* Text3;  // a balance request's answer
        ImageElement* Image1;   // the phone is busy
        QListWidget* List1;     // the operators in reach
        std::array<ShapeElement*, 8> Sta;
        std::array<LabelElement*, 8> Netze;
        std::array<LabelElement*, 8> Land;
        LabelElement* Netz;
        QComboBox* GSM;
        std::array<QRadioButton*, 3> Baud;
    };
    // The state it reads and writes, by topic.
    using State = PhoneSideState;
    struct Topics {
        PhoneLine& phoneLine;
        CommandCycle& commandCycle;
        SmsSending& smsSending;
        SmsReception& smsReception;
        PhoneCalls& phoneCalls;
        // The position's labels and the cell's name.
        PositionPanel& panel;
        CellSiteFiles& cellNames;
    };
    // What the position topics do with the answers: `broadcastPage`
    // evaluates the page in position.cbPage, `servingCellChanged` looks the
    // new serving cell up in the cell database, `cellReport` gathers a line
    // of the cells heard and `queryEnded` sees each line that ends a query
    // (the last two may be left empty).
    struct PositionHooks {
        std::function<void()> broadcastPage;
        std::function<void()> servingCellChanged;
        std::function<void(const std::string&)> cellReport;
        std::function<void(const std::string&)> queryEnded;
    };
    ResponseDispatcher(const Elements& elements, const State& state, Platform& platform,
                       const ProgramFolder& folder, const Topics& topics,
                       PositionHooks positionHooks);
    ~ResponseDispatcher() override;

    // `line` is one line from the phone without CR/LF, 8-bit as received.
    void InterpretResponse(const std::string& line);

    // Answers that come already read, from a link without AT lines
    // (ModemManager): each is applied as the line that carries it would be.
    void takeIdentity(const funkor::DeviceIdentity& identity);
    void takeSignal(const funkor::SignalReading& reading);
    void takeRegistration(const funkor::Registration& registration);
    void takeOperatorCode(const std::string& code);
    void takeOperatorName(const std::string& name);
    // A problem of the SIM in German, empty when it is ready.
    void takeSimState(const std::string& problem);
    // The device answers: it is linked.
    void linkFound();
    // A call comes in; its caller's number ("" when withheld).
    void takeRing();
    void takeCaller(const std::string& number);

  private:
    // Device (response_dispatcher.cpp)
    void starCodeAnswer(const std::string& line) override;
    void ussdText(const std::string& line) override;
    void finalOk(const std::string& line) override;
    void finalError(const std::string& line) override;
    void answerCame(const std::string& line) override;
    void ring(const std::string& line) override;
    void callerId(const std::string& line) override;
    void battery(const std::string& line) override;
    void simCardNumber(const std::string& line) override;
    void identityLine(const std::string& line) override;
    void signal(const std::string& line) override;
    void activity(const std::string& line) override;

    // Network (response_dispatcher_network.cpp)
    void simZoneFile(const std::string& line) override;
    void timingAdvance(const std::string& line) override;
    void registration(const std::string& line) override;
    void cellChange();
    // The serving cell from the domains' last answers.
    void servingCellFromRegistrations();
    // The operator code from the SIM when the device names none.
    void operatorFromSim();
    // The serving cell is no longer known: its position ends.
    void leaveServingCell();
    void operatorNumeric(const std::string& line) override;
    void operatorName(const std::string& line) override;
    void operatorList(const std::string& line) override;

    // SMS, broadcast and phone book (response_dispatcher_sms.cpp)
    void smsListData(const std::string& line) override;
    void smsListHeader(const std::string& line) override;
    void broadcastData(const std::string& line) override;
    void broadcastHeader(const std::string& line) override;
    void smsReadData(const std::string& line) override;
    void smsReadHeader(const std::string& line) override;
    void newMessage(const std::string& line) override;
    void phoneBookStatus(const std::string& line) override;
    void phoneBookReadEcho(const std::string& line) override;
    void phoneBookEntry(const std::string& line) override;
    void cellReport(const std::string& line) override;
    void cellSignal(const std::string& line) override;

    void operatorScanEnded(const std::string& line);
    // A device without a battery answers the connection step's "AT+CBC"
    // with OK or an error: it is found all the same.
    void linkProbeAnswered(const std::string& line);
    void simStateChanged(const std::string& problem);
    void phoneFound();
    // A registration query of another maker's device got its final answer.
    void registrationQueryEnded(const std::string& line);
    // "hh:mm" of the window's clock.
    std::string timeOfDay() const;
    // An 8-bit text for a caption or tooltip; the line break of the phone's
    // texts ("\r") becomes a real line break.
    static QString shown(const std::string& text);
    // A caption or tooltip back as 8-bit text, line breaks as "\r".
    static std::string held(const QString& text);

    Elements e_;
    PhoneLinkState& phone_;
    NetworkState& network_;
    PositionState& position_;
    SmsState& sms_;
    CallState& calls_;
    Platform& platform_;
    const ProgramFolder& folder_;
    PhoneLine& phoneLine_;
    CommandCycle& commandCycle_;
    SmsSending& smsSending_;
    SmsReception& smsReception_;
    PhoneCalls& phoneCalls_;
    PositionPanel& panel_;
    CellSiteFiles& cellNames_;
    PositionHooks positionHooks_;
    // The trace has said that no operator code is known (said once until
    // a code comes).
    bool operatorMissingTold_ = false;
};
