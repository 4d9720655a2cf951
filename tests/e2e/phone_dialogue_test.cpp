// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The program against the simulated phone over a pseudo-terminal: what the
// window shows after the first pass of its command schedule, and how it
// copes with the phone being unplugged and plugged in again.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QRegularExpression>
#include <QThread>

#include "core/position_texts.h"
#include "tests/e2e/e2e_support.h"

using namespace e2e;

namespace {

// The Berlin drive standing still in one cell, so that what the window shows
// does not depend on when the snapshot is taken.
QJsonObject stillScenario(const QString& startCell, int battery, int signal) {
    QJsonObject s = berlinScenario();
    s[QStringLiteral("timeline")] = QJsonArray();
    s[QStringLiteral("startCell")] = startCell;
    s[QStringLiteral("operatorScanSeconds")] = 1;
    s[QStringLiteral("broadcastEvery")] = 4;
    s[QStringLiteral("signal")] = signal;
    QJsonObject b = s.value(QStringLiteral("battery")).toObject();
    b[QStringLiteral("charge")] = battery;
    s[QStringLiteral("battery")] = b;
    // The cells' own signal levels would override the scenario's.
    QJsonArray cells = s.value(QStringLiteral("cells")).toArray();
    for (qsizetype i = 0; i < cells.size(); ++i) {
        QJsonObject o = cells[i].toObject();
        o.remove(QStringLiteral("signal"));
        cells[i] = o;
    }
    s[QStringLiteral("cells")] = cells;
    return s;
}

QStringList items(const QJsonObject& element) {
    QStringList out;
    for (const auto& v : element.value(QStringLiteral("items")).toArray()) out << v.toString();
    return out;
}

int value(const QJsonObject& snap, const QString& name) {
    return element(snap, name).value(QStringLiteral("value")).toInt(-1);
}

bool visible(const QJsonObject& snap, const QString& name) {
    return element(snap, name).value(QStringLiteral("visible")).toBool();
}

}  // namespace

// One run through the whole schedule in the cell Berlin-Mitte: identity,
// battery, signal, operator, cell and its name, timing advance, operators in
// reach, the phone books, the stored SMS and a broadcast page.
TEST(PhoneDialogue, FirstPassShowsThePhoneState) {
    DataFolder folder;
    ASSERT_TRUE(folder.dir.isValid());
    const QString scenario = folder.path(QStringLiteral("scenario.json"));
    ASSERT_TRUE(writeJson(scenario, stillScenario(QStringLiteral("Berlin-Mitte"), 80, 24)));
    const QString log = folder.path(QStringLiteral("phone.log"));
    const QString link = folder.path(QStringLiteral("phone"));
    Simulator sim;
    ASSERT_TRUE(sim.start(scenario, link, log));
    folder.setUp(link);
    ASSERT_TRUE(writeText(folder.path(QStringLiteral("Funkor.clf")),
                          "04B3533926207 Falkensee\r\n5217526D26207 Alex Testmast\r\n"));

    const QString snapFile = folder.path(QStringLiteral("snapshot.json"));
    Program funkor;
    funkor.start({QStringLiteral("--data-dir"), folder.dir.path(), QStringLiteral("--snapshot"),
                  snapFile, QStringLiteral("--quit-after"), QStringLiteral("90")});
    // The SMS list ends the first pass; its answer needs a moment.
    const bool passDone = waitForCommandAfter(log, QStringLiteral("AT+CMGL=0;+CMGL=1"), 85000);
    ASSERT_TRUE(funkor.stop()) << funkor.errors().toStdString();
    const QJsonObject snap = readSnapshot(snapFile);
    ASSERT_FALSE(snap.isEmpty());
    EXPECT_TRUE(passDone) << "the schedule never reached the SMS list";

    // Identity: caption maker, line break, model; the tooltip collects the
    // software version and the numbers of phone, subscriber and card.
    EXPECT_EQ(caption(snap, QStringLiteral("Info")).simplified(), QStringLiteral("SIEMENS S45i"));
    EXPECT_EQ(
        tooltip(snap, QStringLiteral("Info")),
        QStringLiteral("SW:21 IMEI:350123456789012 IMSI:262071234567890 SIM:89492071234567890123"));

    EXPECT_EQ(value(snap, QStringLiteral("BattA")), 80);
    EXPECT_EQ(tooltip(snap, QStringLiteral("BattA")), QStringLiteral("Batterie: 80%"));
    EXPECT_EQ(value(snap, QStringLiteral("Level")), 24);
    EXPECT_EQ(tooltip(snap, QStringLiteral("Level")), QStringLiteral("Pegel: 79%"));
    EXPECT_EQ(variable(snap, QStringLiteral("phoneLinked")).toInt(), 1);
    EXPECT_EQ(element(snap, QStringLiteral("GSM")).value(QStringLiteral("text")).toString(),
              QStringLiteral("COM 1"));

    // Operator and cell: CI 5217 is above 20000, so sector B (south-east).
    EXPECT_EQ(caption(snap, QStringLiteral("Netz")), QStringLiteral("o2 - de"));
    EXPECT_EQ(variable(snap, QStringLiteral("operatorCode")).toString(), QStringLiteral("26207"));
    EXPECT_EQ(variable(snap, QStringLiteral("cellKey")).toString(),
              QStringLiteral("5217526D26207"));
    EXPECT_EQ(caption(snap, QStringLiteral("Cell")), QStringLiteral(" Alex Testmast"));
    EXPECT_EQ(variable(snap, QStringLiteral("sectorLetter")).toString(), QStringLiteral("B"));

    // Timing advance 2: 2 * 546 + 273 m.
    EXPECT_EQ(variable(snap, QStringLiteral("taDistance")).toInt(), 1365);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^~1[.,]4 km S/O$"))
                    .match(caption(snap, QStringLiteral("TAV")))
                    .hasMatch())
        << caption(snap, QStringLiteral("TAV")).toStdString();

    // Operators in reach: four of the eight slots, with their country.
    const QStringList operators{QStringLiteral(" o2 - de"), QStringLiteral(" T-Mobile D"),
                                QStringLiteral(" Vodafone.de"), QStringLiteral(" E-Plus")};
    for (int i = 0; i < 8; ++i) {
        const QString slot = QStringLiteral("Netze(%1)").arg(i);
        SCOPED_TRACE(slot.toStdString());
        if (i < operators.size()) {
            EXPECT_TRUE(visible(snap, slot));
            EXPECT_EQ(caption(snap, slot), operators[i]);
            EXPECT_EQ(caption(snap, QStringLiteral("Land(%1)").arg(i)),
                      QStringLiteral("Deutschland"));
        } else {
            EXPECT_FALSE(visible(snap, slot));
        }
    }

    // Phone books SM, FD and ON in the list, umlauts restored from the GSM
    // alphabet; the own number in the tooltip of Netz2.
    const QStringList book = items(element(snap, QStringLiteral("Combo1")));
    for (const char* entry :
         {"Jürgen Müller : +4917612345678", "Büro : 03012345678", "Mutti : +493098765432",
          "Über Ärger : +4917698765432", "Notruf : 112", "Zuhause : 0304445566",
          "Eigene Nummer : +4917600112233"}) {
        EXPECT_TRUE(book.contains(QString::fromUtf8(entry)))
            << entry << " not in " << book.join(QStringLiteral(" | ")).toStdString();
    }
    EXPECT_EQ(tooltip(snap, QStringLiteral("Netz2")),
              QStringLiteral("Eigene Nummer : +4917600112233 (26207)"));

    // The three stored SMS are cached as "length:PDU"; the read button shows.
    const QJsonArray cache = variable(snap, QStringLiteral("smsCache")).toArray();
    ASSERT_EQ(cache.size(), 51);
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]+:[0-9A-F]{20,}$"))
                        .match(cache[i].toString())
                        .hasMatch())
            << i << ": " << cache[i].toString().toStdString();
    }
    EXPECT_TRUE(cache[4].toString().isEmpty());
    EXPECT_TRUE(visible(snap, QStringLiteral("SMSrd")));

    // The broadcast page carries the cell's grid position.
    const std::string page = variable(snap, QStringLiteral("cbPage")).toString().toStdString();
    EXPECT_EQ(funkor::cellBroadcastPosition(page).value_or("no position"), "459547582169");
}

// The phone is unplugged mid-run (the simulator dies and its terminal goes
// away) and another is plugged in at the same place: the program keeps
// running and shows the new phone's battery and signal.
TEST(PhoneDialogue, FindsThePhoneAgainAfterUnplugging) {
    DataFolder folder;
    ASSERT_TRUE(folder.dir.isValid());
    const QString link = folder.path(QStringLiteral("phone"));
    const QString scenarioA = folder.path(QStringLiteral("a.json"));
    const QString scenarioB = folder.path(QStringLiteral("b.json"));
    ASSERT_TRUE(writeJson(scenarioA, stillScenario(QStringLiteral("Falkensee"), 80, 20)));
    ASSERT_TRUE(writeJson(scenarioB, stillScenario(QStringLiteral("Tiergarten"), 55, 9)));
    const QString logA = folder.path(QStringLiteral("a.log"));
    const QString logB = folder.path(QStringLiteral("b.log"));
    folder.setUp(link);

    auto first = std::make_unique<Simulator>();
    ASSERT_TRUE(first->start(scenarioA, link, logA));
    const QString snapFile = folder.path(QStringLiteral("snapshot.json"));
    Program funkor;
    funkor.start({QStringLiteral("--data-dir"), folder.dir.path(), QStringLiteral("--snapshot"),
                  snapFile, QStringLiteral("--quit-after"), QStringLiteral("90")});
    // Linked and polling: the identity request follows the battery answer.
    ASSERT_TRUE(waitForLogLine(logA, QStringLiteral("AT+CGMI"), 20000));
    first->kill();
    first.reset();
    QThread::msleep(3000);

    Simulator second;
    ASSERT_TRUE(second.start(scenarioB, link, logB));
    // The new phone is asked for its battery and signal once the program
    // has found it again.
    const bool found = waitForCommandAfter(logB, QStringLiteral("+CSQ"), 60000);
    ASSERT_TRUE(funkor.stop()) << "the program did not keep running: "
                               << funkor.errors().toStdString();
    ASSERT_TRUE(found) << "the program never polled the phone plugged in again";
    const QJsonObject snap = readSnapshot(snapFile);
    EXPECT_EQ(value(snap, QStringLiteral("BattA")), 55);
    EXPECT_EQ(value(snap, QStringLiteral("Level")), 9);
    EXPECT_EQ(variable(snap, QStringLiteral("phoneLinked")).toInt(), 1);
    EXPECT_TRUE(element(snap, QStringLiteral("Comm1")).value(QStringLiteral("open")).toBool());
}
