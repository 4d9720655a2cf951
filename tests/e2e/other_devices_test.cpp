// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The program against the simulator playing other makers' devices: a
// battery-less LTE USB modem and a GSM module. One journey for each: found
// on its port, identity, operator, serving cell and the network tooltip.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include "tests/e2e/e2e_support.h"

using namespace e2e;

namespace {

struct DeviceRun {
    QJsonObject snap;
    bool passDone = false;
};

// Runs the program on the scenario until the phone has taken `command`
// `times` times, then takes the window's snapshot.
DeviceRun run(const QJsonObject& scenario, const QString& command, int times) {
    DeviceRun r;
    DataFolder folder;
    if (!folder.dir.isValid()) return r;
    const QString path = folder.path(QStringLiteral("scenario.json"));
    const QString log = folder.path(QStringLiteral("phone.log"));
    const QString link = folder.path(QStringLiteral("phone"));
    if (!writeJson(path, scenario)) return r;
    Simulator sim;
    if (!sim.start(path, link, log)) return r;
    folder.setUp(link);
    const QString snapFile = folder.path(QStringLiteral("snapshot.json"));
    Program funkor;
    funkor.start({QStringLiteral("--data-dir"), folder.dir.path(), QStringLiteral("--snapshot"),
                  snapFile, QStringLiteral("--quit-after"), QStringLiteral("110")});
    for (int waited = 0; waited < 100000 && countLogLines(log, command) < times; waited += 200)
        QThread::msleep(200);
    r.passDone = waitForCommandAfter(log, command, 5000) && countLogLines(log, command) >= times;
    funkor.stop();
    r.snap = readSnapshot(snapFile);
    return r;
}

QJsonObject lteScenario() {
    QFile file(QStringLiteral(FUNKOR_SOURCE_DIR "/tools/phonesim/scenarios/lte-modem.json"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    QJsonObject s = QJsonDocument::fromJson(file.readAll()).object();
    s[QStringLiteral("timeline")] = QJsonArray();
    s[QStringLiteral("operatorScanSeconds")] = 1;
    return s;
}

QJsonObject gsmModuleScenario() {
    QJsonObject s = berlinScenario();
    s[QStringLiteral("timeline")] = QJsonArray();
    s[QStringLiteral("startCell")] = QStringLiteral("Berlin-Mitte");
    s[QStringLiteral("operatorScanSeconds")] = 1;
    QJsonObject phone = s.value(QStringLiteral("phone")).toObject();
    phone[QStringLiteral("device")] = QStringLiteral("gsm-module");
    s[QStringLiteral("phone")] = phone;
    return s;
}

}  // namespace

// No battery: the modem is found by the ERROR to "AT+CBC"; its cell comes
// with +CEREG only, a 28-bit identity with a long key. The key carries the
// operator from the second pass on, so the run waits for two of them.
TEST(OtherDevices, LteModemWithoutBatteryShowsItsLongCell) {
    const DeviceRun r = run(lteScenario(), QStringLiteral("AT+CEREG=2;+CEREG?"), 2);
    ASSERT_FALSE(r.snap.isEmpty());
    EXPECT_TRUE(r.passDone);
    EXPECT_EQ(variable(r.snap, QStringLiteral("phoneLinked")).toInt(), 1);
    EXPECT_EQ(caption(r.snap, QStringLiteral("Info")).simplified(), QStringLiteral("Quectel EC25"));
    EXPECT_EQ(tooltip(r.snap, QStringLiteral("Info")),
              QStringLiteral("SW:EC25EFAR06A03M4G IMEI:866758041234567 IMSI:262011234567890 "
                             "SIM:89490200001234567890"));
    // The status line leaves out the battery the modem refused, so that the
    // rest of it is answered.
    EXPECT_EQ(caption(r.snap, QStringLiteral("Netz")), QStringLiteral("Telekom.de"));
    EXPECT_EQ(element(r.snap, QStringLiteral("Level")).value(QStringLiteral("value")).toInt(), 24);
    EXPECT_EQ(variable(r.snap, QStringLiteral("cbcRefused")).toInt(), 1);
    EXPECT_EQ(variable(r.snap, QStringLiteral("cellKey")).toString(),
              QStringLiteral("079D90311F0026201"));
    EXPECT_EQ(variable(r.snap, QStringLiteral("cellRadio")).toString(), QStringLiteral("LTE"));
    EXPECT_EQ(variable(r.snap, QStringLiteral("cellCi")).toInt(), 0x79D9031);
    EXPECT_EQ(tooltip(r.snap, QStringLiteral("Netz")),
              QStringLiteral("CC=262 NC=01 LAC=1F00 CI=079D9031 LA=793-36"));
}

// Unquoted registration fields without leading zeros give the same
// 13-character key and O2 tooltip as the Siemens phone in that cell.
TEST(OtherDevices, GsmModuleWithUnquotedFieldsShowsTheO2Cell) {
    const DeviceRun r = run(gsmModuleScenario(), QStringLiteral("AT+CGREG=2;+CGREG?"), 1);
    ASSERT_FALSE(r.snap.isEmpty());
    EXPECT_TRUE(r.passDone);
    EXPECT_EQ(caption(r.snap, QStringLiteral("Info")).simplified(),
              QStringLiteral("SIMCOM_Ltd SIMCOM_SIM800"));
    EXPECT_EQ(tooltip(r.snap, QStringLiteral("Info")),
              QStringLiteral("SW:Revision:1418B04SIM800M32 IMEI:350123456789012 "
                             "IMSI:262071234567890 SIM:89492071234567890123"));
    EXPECT_EQ(caption(r.snap, QStringLiteral("Netz")), QStringLiteral("o2 - de"));
    EXPECT_EQ(variable(r.snap, QStringLiteral("cellKey")).toString(),
              QStringLiteral("5217526D26207"));
    EXPECT_EQ(variable(r.snap, QStringLiteral("cellRadio")).toString(), QStringLiteral("GSM"));
    EXPECT_EQ(tooltip(r.snap, QStringLiteral("Netz")),
              QStringLiteral("CC=262 NC=07 LAC=526D CI=5217 LA=211-01 BS=1015 SK=B"));
}
