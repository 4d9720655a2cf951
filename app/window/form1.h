// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QString>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/base/elements.h"
#include "app/base/platform.h"
#include "app/base/serial_port_component.h"
#include "app/base/window_state.h"
#include "app/base/window_view.h"
#include "app/base/write_problems.h"
#include "app/support/command_line.h"
#include "app/support/program_folder.h"

class Form2;
class PhoneLine;
class CommandCycle;
class ResponseDispatcher;
class CellSiteFiles;
class PositionEngine;
class PositionFeed;
class CellEstimate;
class DisplaySwitches;
class PositionLog;
class PositionPanel;
class CellDbPosition;
class MeasurementRecorder;
class GpsInput;
class SourceSelection;
class NmeaOutput;
class LanOutput;
class MapLink;
class MapServer;
class WinsockControl;
class SmsReception;
class SmsSending;
class PhoneCalls;
class QButtonGroup;

// The main window. It holds every element under its own name (its Qt object
// name is the same; array members are named "Netze(3)"), the shared window
// variables grouped by topic, the topics that give the elements their
// behaviour, and the handlers of the window's events, named element,
// underscore, event. Each handler forwards to the topic that owns the
// element (form1_topics.cpp); connectHandlers wires them all in one place.
// Outside the window, WindowView is the door for reading it.
//
// Check boxes, lists and the scroll bar run their handler on every change of
// value, by the user or by code.
class Form1 : public QMainWindow, public WindowView {
    Q_OBJECT
  public:
    // `platform` may be null: the Qt dialogs, beep, browser and clock are
    // used then.
    Form1(const StartOptions& options, std::unique_ptr<Platform> platform,
          QWidget* parent = nullptr);
    // Uses the program folder given instead of looking for one.
    Form1(const StartOptions& options, const ProgramFolder& folder,
          std::unique_ptr<Platform> platform, QWidget* parent = nullptr);
    ~Form1() override;

    // ---- Services ----
    Platform& platform() { return *platform_; }
    const StartOptions& options() const { return options_; }
    const ProgramFolder& folder() const { return folder_; }
    // Path of a file in the program folder ("Funkor.log", "Funkor.clf" ...).
    QString folderFile(const QString& name) const { return folder_.file(name); }
    // Path of the settings file "Funkor.ini", 8-bit.
    std::string settingsPath() const;

    // One element of the window, for the snapshot and the tests.
    struct ElementInfo {
        QString name;  // "GSM", "Netze(3)"
        QString kind;  // label, textbox, listbox, combobox, checkbox, option,
                       // button, scrollbar, shape, line, image, gauge, timer,
                       // serialport, socket, speech
        QObject* object;
        bool decoration;  // a shape or line that frames or separates others
    };
    const std::vector<ElementInfo>& inventory() const { return inventory_; }
    // The element of that name, or null.
    QObject* element(const QString& name) const override;
    using WindowView::element;
    const PhoneLinkState& phoneState() const override { return phone; }
    const NetworkState& networkState() const override { return network; }
    const PositionState& positionState() const override { return position; }
    const OutputState& outputState() const override { return output; }
    const SmsState& smsState() const override { return sms; }
    const CallState& callState() const override { return calls; }

    // ---- Elements ----
    // Phone port, status and identity
    SerialPortComponent* Comm1;
    QComboBox* GSM;
    std::array<QRadioButton*, 3> Baud;  // 0 "19200", 1 "57600", 2 "115200"
    QCheckBox* Active;
    LabelElement* Label2;
    QListWidget* List2;
    LabelElement* Info;
    TextBoxElement* Text3;
    GaugeElement* Level;
    GaugeElement* BattA;
    ImageElement* BattE;
    ImageElement* BattL;
    TimerElement* Timer1;

    // Network and cell
    LabelElement* Netz;
    QListWidget* List1;
    std::array<LabelElement*, 8> Netze;
    std::array<ShapeElement*, 8> Sta;
    std::array<LabelElement*, 8> Land;
    LabelElement* Netz2;
    LabelElement* Cell;
    LabelElement* Zone;
    LabelElement* Entf;
    LabelElement* TAV;
    LabelElement* PosL;
    ShapeElement* Shape2;
    std::array<LineElement*, 5> Line1;
    ShapeElement* Shape1;
    ShapeElement* Shape3;
    LineElement* Line2;
    LineElement* Line4;
    LineElement* Line5;
    LineElement* Line6;
    QCheckBox* ShCell;
    QCheckBox* ShHome;
    QCheckBox* Trace;
    QCheckBox* TrNew;
    QPushButton* NewL;
    LabelElement* MessN;  // measurements recorded since the start

    // SMS, calls and phone book
    TextBoxElement* Text1;
    TextBoxElement* Text2;
    QPushButton* SMSrd;
    QPushButton* SMSb;
    QPushButton* SMSc;
    LabelElement* Label5;
    QCheckBox* Check1;
    QComboBox* Combo1;
    QPushButton* CALLb;
    LabelElement* RingL;
    TimerElement* Timer3;
    TimerElement* Timer4;
    SpeechElement* Sprelo;
    ImageElement* SpreloI;

    // GPS, positions and output
    SerialPortComponent* Comm3;
    QComboBox* GPS;
    LabelElement* Label3;
    ShapeElement* GPSstat;
    SerialPortComponent* Comm2;
    QComboBox* NMEA;
    LabelElement* Label4;
    WinsockControl* Winsock;
    ShapeElement* TCPstat;
    QCheckBox* cGSM;
    QCheckBox* cGPS;
    QCheckBox* cSMS;
    QCheckBox* cMULTI;
    LabelElement* Label6;
    LabelElement* Label7;
    LabelElement* GsmL;
    QCheckBox* SendPos;
    QCheckBox* CallPos;
    QCheckBox* ReqPosEn;
    QScrollBar* AsendS;
    LabelElement* AsendL;
    TimerElement* Timer2;
    TimerElement* Timer5;
    TimerElement* Timer6;
    QCheckBox* MBlast;
    ImageElement* Image1;
    QPushButton* SAVE;
    LabelElement* Label1;

    // The second window with its list List1 (a report of the phone's state).
    Form2* form2;

    // ---- Window variables ----
    PhoneLinkState phone;
    NetworkState network;
    PositionState position;
    OutputState output;
    SmsState sms;
    CallState calls;
    // Files of the program folder that could not be written lately.
    WriteProblems writeProblems;

    // ---- Topics: the behaviour behind the handlers, one object per topic ----
    std::unique_ptr<PhoneLine> phoneLine;
    std::unique_ptr<CommandCycle> commandCycle;
    std::unique_ptr<ResponseDispatcher> responseDispatcher;
    std::unique_ptr<CellSiteFiles> cellSiteFiles;
    std::unique_ptr<PositionEngine> positionEngine;
    std::unique_ptr<DisplaySwitches> displaySwitches;
    std::unique_ptr<PositionLog> positionLog;
    std::unique_ptr<PositionPanel> positionPanel;
    std::unique_ptr<PositionFeed> positionFeed;
    std::unique_ptr<CellDbPosition> cellDbPosition;
    std::unique_ptr<CellEstimate> cellEstimate;
    std::unique_ptr<MeasurementRecorder> measurementRecorder;
    std::unique_ptr<GpsInput> gpsInput;
    std::unique_ptr<SourceSelection> sourceSelection;
    std::unique_ptr<LanOutput> lanOutput;
    std::unique_ptr<NmeaOutput> nmeaOutput;
    std::unique_ptr<MapLink> mapLink;
    std::unique_ptr<MapServer> mapServer;
    std::unique_ptr<SmsReception> smsReception;
    std::unique_ptr<SmsSending> smsSending;
    std::unique_ptr<PhoneCalls> phoneCalls;

    // ---- Procedures shared between topics ----
    // Sends one command line to the phone (and traces it).
    void SendCommand(const std::string& command);
    // Applies one line received from the phone.
    void InterpretResponse(const std::string& line);
    // Position engine: evaluates the broadcast page in position.cbPage.
    void ComputeCellPosition();
    // Incoming SMS: shows the SMS just read (sms.smsPdu, sms.smsLength).
    void ShowReceivedSms();
    // Looks a caller's number up in the phone book; the result goes to
    // calls.callerName ("" when not found).
    void FindCallerName(const std::string& number);

    // ---- Start-up and settings ----
    // Fills the port lists, shows the window, reads the settings, data files
    // and command line, and starts the command cycle unless the phone port
    // is "STOP".
    void Form_Load();
    // The window is about to close: the second window goes with it.
    void Form_QueryUnload();
    void GSM_Click();
    void GSM_GotFocus();
    void Active_Click();
    void SAVE_Click();

    // ---- Handlers, forwarded to their topics (form1_topics.cpp) ----
    // Phone line
    void Comm1_OnComm();
    void List2_MouseDown(int button);
    void BattA_Click();
    void BattA_MouseDown(int button);
    void TAV_Click();
    // Command cycle
    void Timer1_Timer();
    // Cell-site files, display switches, position log
    void Cell_MouseDown(int button);
    void ShCell_Click();
    void ShHome_Click();
    void Trace_Click();
    void NewL_Click();
    // GPS input, NMEA output, map link, source selection
    void GPS_Click();
    void Comm3_OnComm();
    void NMEA_Click();
    void Timer2_Timer();
    void Timer5_Timer();
    void MBlast_Click();
    void cGSM_Click();
    void cGPS_Click();
    void cSMS_Click();
    void cMULTI_Click();
    void AsendS_Change();
    void Timer6_Timer();
    // SMS, calls, phone book, announcements
    void SMSrd_Click();
    void SMSc_Click();
    void Text1_Click();
    void Text2_MouseDown(int button);
    void SMSb_Click();
    void SendPos_Click();
    void CallPos_Click();
    void Combo1_Click();
    void Check1_Click();
    void CALLb_Click();
    void RingL_Click();
    void Timer3_Timer();
    void Timer4_Timer();
    // Window layout and title
    void Form_Resize();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void createElements();
    void layoutElements();    // form1_layout.cpp
    void setInitialStates();  // form1_layout.cpp
    // Window layout and title (form1_layout.cpp, form1_title.cpp)
    static QString titleText();
    void compactPanel();  // maximized: the panel keeps its natural size
    void relaxPanel();    // otherwise it follows the window's size
    void placeTraceList();
    void placeForm2();
    // The window opens where it was last closed.
    void restorePlacement();
    void rememberPlacement();
    void connectHandlers();
    void createTopics();
    void addElement(QObject* object, const QString& name, const QString& kind,
                    bool decoration = false);
    // A settings value, or `def` when missing, not a number or outside
    // min..max.
    int readSetting(const char* section, const char* key, int def, int min, int max) const;
    void fillPortLists();
    // Why the offline cell database cannot be used, told once the running
    // handler and the start-up are over: a box opened inside them would hold
    // them, and a headless run before its stop signals and --quit-after
    // work. The reason goes to the message line and the trace list, and into
    // a box only when someone is at the window.
    void queueCellDbProblem(const QString& problem);
    void showCellDbProblem(const QString& problem);
    // Someone may be at the window: it is on a screen, and the run does not
    // end by itself (--quit-after).
    bool attended() const;

    StartOptions options_;
    ProgramFolder folder_;
    std::unique_ptr<Platform> platform_;
    std::vector<ElementInfo> inventory_;
    QButtonGroup* baudGroup_ = nullptr;
};
