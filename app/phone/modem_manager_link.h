// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <string>

class PhoneLine;
class QComboBox;
class QDBusPendingCall;
class QDBusPendingCallWatcher;
class QDBusObjectPath;
class QDBusServiceWatcher;
class ResponseDispatcher;
class SmsReception;
class SmsSending;
struct NetworkState;
struct PhoneLinkState;
struct PhoneSideState;
struct SmsState;

// The phone port "mm" (settings "[Devices] COM<n>=mm", or
// "mm:<EquipmentIdentifier>" for one modem of several): the modem is read
// through ModemManager on the system bus instead of with AT commands on a
// serial line. ModemManager keeps its modem, NetworkManager its data
// connection, and modems without a free AT port (QMI, MBIM) can be read.
//
// The link fills the state the AT dialogue fills (identity, signal,
// operator, registration with the serving cell, the timing advance where the
// modem reports cell information) and shows it through the same handlers of
// the ResponseDispatcher, so that names, log, cell database, NMEA output and
// map work unchanged. It follows ModemManager's signals (PropertiesChanged,
// InterfacesAdded/Removed, the name's owner) and never waits for the bus: every
// call is asynchronous.
//
// The command cycle hands its ticks to the link while the chosen port is
// ModemManager's (takeTick); no AT command goes out then.
class ModemManagerLink : public QObject {
    Q_OBJECT
  public:
    // The port list, the window's own: the link shows in its tooltip and in
    // its item's tooltip which modem serves the port, or why none does.
    struct Elements {
        QComboBox* GSM;
    };
    struct Topics {
        PhoneLine& phoneLine;
        ResponseDispatcher& dispatcher;
        SmsReception& smsReception;
        SmsSending& smsSending;
    };
    // `recipient`: the entry --recipient names; ModemManager has no phone
    // book, so the list holds that entry alone (or says it has none).
    ModemManagerLink(const Elements& elements, const PhoneSideState& state,
                     std::string settingsPath, const Topics& topics, QString recipient,
                     QObject* parent = nullptr);
    ~ModemManagerLink() override;

    // Whether a device text of the settings names ModemManager: "mm" or
    // "mm:<EquipmentIdentifier>" (that identifier to `equipmentId`).
    static bool namesModemManager(const QString& device, QString* equipmentId = nullptr);
    // Whether the phone port chosen (on the command line or in the port list)
    // is ModemManager's.
    bool servesChosenPort() const;
    // A tick of the command cycle. True when the chosen port is
    // ModemManager's: the link takes the tick (it starts at the first one);
    // false otherwise (a link that ran stops).
    bool takeTick();

  private slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed,
                           const QStringList& invalidated, const QDBusMessage& message);
    void interfacesAdded(const QDBusMessage& message);
    void interfacesRemoved(const QDBusMessage& message);
    void messageAdded(const QDBusObjectPath& path, bool received);
    void callAdded(const QDBusObjectPath& path);

  private:
    void start(int port, const QString& equipmentId);
    void stop();
    void listModems();
    void serviceAppeared();
    void serviceGone();
    // Drops the modem in use and its signals; false when there was none.
    bool forgetModem();
    // Takes the modem at `path` with its interfaces' properties.
    void takeModem(const QString& path, const QMap<QString, QVariantMap>& interfaces);
    void readSim();
    // Enables the modem once and sets its location and signal reports up.
    void setUpModem();
    void call(const QString& interface, const QString& method, const QVariantList& args,
              const QString& failure);
    // Shows everything known of the modem; links it when it is enabled.
    void apply();
    void applyIdentity();
    void applyRegistration();
    void applySignal();
    std::string simProblem() const;
    void askCellInfo();
    // A received message, shown once ModemManager has all of it.
    void readMessage(const QString& path, int attempts);
    // The message the SMS topics queued (a PDU) goes out through
    // Messaging.Create and Sms.Send.
    void sendQueuedMessage();
    // Stops waiting for the number of the call that rang.
    void forgetCall();
    // The modem went away or is switched off: shown as an unplugged phone.
    void lost(const QString& reason);
    // A reason told once in the trace and in the port list's tooltip.
    void tell(const QString& reason);
    QDBusPendingCallWatcher* watch(const QDBusPendingCall& call);

    Elements e_;
    PhoneLinkState& phone_;
    NetworkState& network_;
    std::string settingsPath_;
    SmsState& sms_;
    PhoneLine& phoneLine_;
    ResponseDispatcher& dispatcher_;
    SmsReception& smsReception_;
    SmsSending& smsSending_;
    QString recipient_;

    QDBusConnection bus_;
    QDBusServiceWatcher* serviceWatcher_ = nullptr;
    bool started_ = false;
    int port_ = 0;
    QString wantedId_;  // empty: the first modem
    QString modem_;     // object path of the modem in use; empty for none
    QString sim_;
    QString ringingCall_;  // an incoming call whose number is awaited
    QVariantMap modemProps_, gppProps_, locationProps_, signalProps_, simProps_;
    bool enableAsked_ = false;
    bool wasEnabled_ = false;  // the modem in use was enabled once
    bool locationAsked_ = false;
    bool signalAsked_ = false;
    bool cellInfoRefused_ = false;
    std::string cellInfoKey_;  // the serving cell last asked about
    QString told_;             // the reason last told
    QObject callOwner_;        // parent of the watchers of calls under way
};
