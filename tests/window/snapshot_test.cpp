// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include "app/window/snapshot.h"
#include "tests/window/window_test_support.h"

namespace {

TEST(Snapshot, HoldsEveryElementWithItsStateAndTheVariables) {
    WindowFixture fx;
    fx.writeFile(QStringLiteral("Funkor.ini"), "[Ports]\nGSM=3\nBaud=1\n");
    Form1& f = fx.make();
    f.Netze[2]->setText(QStringLiteral(" o2 - de"));
    f.Netze[2]->show();
    f.Level->setValue(17);
    f.List2->addItem(QStringLiteral("OK"));
    f.network.cellKey = "4E21A1B226207";
    f.network.homeZone = {459400, 582100, 1500, "Heim"};
    f.calls.phoneBook[1] = "\"+49123\",145,\"M\xFC ller\"";

    QJsonObject s = windowSnapshot(f);
    EXPECT_EQ(s["title"].toString(), f.windowTitle());
    QJsonObject e = s["elements"].toObject();
    for (const auto& el : f.inventory()) {
        ASSERT_TRUE(e.contains(el.name)) << el.name.toStdString();
        EXPECT_EQ(e[el.name].toObject()["kind"].toString(), el.kind);
    }
    QJsonObject gsm = e["GSM"].toObject();
    EXPECT_EQ(gsm["text"].toString(), QStringLiteral("COM 3"));
    EXPECT_EQ(gsm["index"].toInt(), 3);
    EXPECT_EQ(gsm["items"].toArray().size(), 18);
    EXPECT_EQ(gsm["tooltip"].toString(), QStringLiteral("Handy-Port"));
    EXPECT_EQ(e["Baud(1)"].toObject()["value"].toInt(), 1);
    EXPECT_EQ(e["Baud(0)"].toObject()["value"].toInt(), 0);
    EXPECT_EQ(e["Baud(1)"].toObject()["caption"].toString(), QStringLiteral("57600"));
    EXPECT_EQ(e["Netze(2)"].toObject()["caption"].toString(), QStringLiteral(" o2 - de"));
    EXPECT_TRUE(e["Netze(2)"].toObject()["visible"].toBool());
    EXPECT_FALSE(e["Netze(3)"].toObject()["visible"].toBool());
    EXPECT_EQ(e["Level"].toObject()["value"].toInt(), 17);
    EXPECT_EQ(e["List2"].toObject()["items"].toArray(), QJsonArray{"OK"});
    EXPECT_EQ(e["List2"].toObject()["index"].toInt(), -1);
    EXPECT_EQ(e["Text3"].toObject()["text"].toString(), QStringLiteral("Multicard-Info"));
    EXPECT_TRUE(e["Timer1"].toObject()["enabled"].toBool());
    EXPECT_EQ(e["Timer1"].toObject()["interval"].toInt(), 100);
    EXPECT_EQ(e["Sta(0)"].toObject()["color"].toString(), QStringLiteral("#808080"));
    EXPECT_EQ(e["Comm1"].toObject()["settings"].toString(), QStringLiteral("19200,n,8,1"));
    EXPECT_EQ(e["AsendS"].toObject()["value"].toInt(), 0);

    QJsonObject v = s["variables"].toObject();
    EXPECT_EQ(v["cellKey"].toString(), QStringLiteral("4E21A1B226207"));
    EXPECT_EQ(v["portNumber"].toInt(), 3);
    EXPECT_EQ(v["pollStep"].toInt(), 0);
    EXPECT_EQ(v["operatorCode"].toString(), QString());
    EXPECT_EQ(v["gsmRmc"].toString(), QString());
    EXPECT_EQ(v["homeZone"].toObject()["radius"].toDouble(), 1500);
    EXPECT_EQ(v["homeZone"].toObject()["name"].toString(), QStringLiteral("Heim"));
    EXPECT_EQ(v["smsCache"].toArray().size(), 51);
    EXPECT_EQ(v["phoneBook"].toArray()[1].toString(), QStringLiteral("\"+49123\",145,\"Mü ller\""));
    EXPECT_EQ(v["countryTable"].toArray().size(), 801);
    EXPECT_EQ(v["o2Lines"].toArray().size(), 0);
}

// The program itself, started as a user or a script would.
class ProgramSnapshot : public ::testing::Test {
  protected:
    QTemporaryDir dir;

    QJsonObject run(const QByteArray& ini = QByteArray()) {
        const QString program = QStringLiteral(FUNKOR_BINARY_DIR "/app/funkor");
        if (!QFileInfo::exists(program)) return {};
        if (!ini.isEmpty()) {
            QFile f(dir.path() + "/Funkor.ini");
            f.open(QIODevice::WriteOnly);
            f.write(ini);
        }
        QProcess p;
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        const QString out = dir.path() + "/s.json";
        p.start(program, {"--data-dir", dir.path(), "--snapshot", out, "--quit-after", "1"});
        if (!p.waitForFinished(30000)) return {};
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
        QFile f(out);
        f.open(QIODevice::ReadOnly);
        return QJsonDocument::fromJson(f.readAll()).object();
    }
};

TEST_F(ProgramSnapshot, EmptyFolderStartsWithThePhoneLinkOff) {
    ASSERT_TRUE(QFileInfo::exists(QStringLiteral(FUNKOR_BINARY_DIR "/app/funkor")));
    QJsonObject s = run();
    QJsonObject e = s["elements"].toObject();
    EXPECT_EQ(e["GSM"].toObject()["text"].toString(), QStringLiteral("STOP"));
    EXPECT_EQ(e["GPS"].toObject()["text"].toString(), QStringLiteral("AUS"));
    EXPECT_EQ(e["NMEA"].toObject()["text"].toString(), QStringLiteral("AUS"));
    EXPECT_EQ(e["Trace"].toObject()["value"].toInt(), 0);
    EXPECT_EQ(e["TrNew"].toObject()["value"].toInt(), 1);
    EXPECT_FALSE(e["TrNew"].toObject()["enabled"].toBool());
    EXPECT_FALSE(e["Timer1"].toObject()["enabled"].toBool());
    WindowFixture fx;
    Form1& f = fx.make(QString(), false);
    for (const auto& el : f.inventory()) EXPECT_TRUE(e.contains(el.name)) << el.name.toStdString();
    EXPECT_EQ(s["variables"].toObject()["cellKey"].toString(), QStringLiteral("*"));
}

TEST_F(ProgramSnapshot, SavedPortAndRateAreShown) {
    ASSERT_TRUE(QFileInfo::exists(QStringLiteral(FUNKOR_BINARY_DIR "/app/funkor")));
    QJsonObject e = run("[Ports]\nGSM=3\nBaud=1\n")["elements"].toObject();
    EXPECT_EQ(e["GSM"].toObject()["text"].toString(), QStringLiteral("COM 3"));
    EXPECT_EQ(e["Baud(1)"].toObject()["value"].toInt(), 1);
    EXPECT_TRUE(e["Timer1"].toObject()["enabled"].toBool());
}

}  // namespace
