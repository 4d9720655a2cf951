// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QFile>
#include <functional>

#include "tests/window/dispatcher_test_support.h"

namespace {

struct LogFixture : AskingWindow {
    LogFixture() : AskingWindow(QDateTime(QDate(2026, 12, 2), QTime(9, 20, 5))) {
        Form1& f = *form;
        f.network.operatorCode = "26207";
        f.network.cellKey = "4E21C67C26207";
        f.position.positionKey = "459870581994";
        f.position.gsmRmc = "$GPRMC,R*00\r\n";
        f.position.gsmGga = "$GPGGA,G*00\r\n";
    }
};

const QByteArray kEntry = "$GPTXT,4E21C67C26207,459870581994,\r\n$GPRMC,R*00\r\n$GPGGA,G*00\r\n";

}  // namespace

TEST(PositionLog, AppendFollowsTheSwitchesAndTheNetwork) {
    const struct {
        const char* legend;
        bool onlyNew;
        const char* op;
        const char* caption;
        QByteArray before;
        QByteArray after;
    } cases[] = {
        {"only new, cell named: nothing", true, "26207", " Markt", "", "<none>"},
        {"only new, unnamed: an entry", true, "26207", "", "", kEntry},
        {"only new, unnamed, already logged: nothing", true, "26207", "",
         "$GPTXT,4E21C67C26207,451818582197,Alt\r\n", "$GPTXT,4E21C67C26207,451818582197,Alt\r\n"},
        {"all, named: the name ends the header", false, "26207", " Markt ", "",
         "$GPTXT,4E21C67C26207,459870581994,Markt\r\n$GPRMC,R*00\r\n$GPGGA,G*00\r\n"},
        {"all, logged before: a second entry", false, "26207", "", kEntry, kEntry + kEntry},
        {"another network: nothing", false, "26201", "", "", "<none>"},
    };
    for (const auto& c : cases) {
        LogFixture fx;
        Form1& f = *fx.form;
        if (!c.before.isEmpty()) fx.write("Funkor.log", c.before);
        f.network.operatorCode = c.op;
        f.Cell->setText(QString::fromLatin1(c.caption));
        f.TrNew->setChecked(c.onlyNew);
        f.Trace->setChecked(true);
        EXPECT_EQ(fx.read("Funkor.log"), c.after.isEmpty() ? QByteArray("<none>") : c.after)
            << c.legend;
        EXPECT_EQ(!f.NewL->isHidden(), c.after != c.before && c.after != "<none>") << c.legend;
    }
}

TEST(PositionLog, NothingBeforeAPositionNorWhenUnticked) {
    LogFixture fx;
    Form1& f = *fx.form;
    f.position.gsmRmc.clear();
    f.Trace->setChecked(true);
    EXPECT_TRUE(f.TrNew->isEnabled());
    EXPECT_EQ(fx.read("Funkor.log"), "<none>");
    f.position.gsmRmc = "$GPRMC,R*00\r\n";
    f.Trace->setChecked(false);
    EXPECT_FALSE(f.TrNew->isEnabled());
    EXPECT_EQ(fx.read("Funkor.log"), "<none>");
}

TEST(PositionLog, HomeDisplayLogsEveryPageUnlessOnlyNew) {
    for (bool onlyNew : {false, true}) {
        LogFixture fx;
        Form1& f = *fx.form;
        f.network.sectorLetter = "B";
        f.network.homeZone = {459870, 581994, 1500, "Daheim"};
        f.network.homeKey = "459870581994";
        f.TrNew->setChecked(onlyNew);
        f.Trace->setChecked(true);
        QFile::remove(fx.path("Funkor.log"));
        f.ShHome->setChecked(true);
        for (int i = 0; i < 2; ++i) {
            f.InterpretResponse("+CBM: 88,4370,1,1,1");
            f.InterpretResponse(kBerlinPage);
        }
        EXPECT_EQ(fx.read("Funkor.log").count("$GPTXT,4E21C67C26207,459870581994,Home\r\n"),
                  onlyNew ? 0 : 2)
            << onlyNew;
    }
}

TEST(PositionLog, MergeNamesEachUnknownSiteOnce) {
    LogFixture fx;
    Form1& f = *fx.form;
    const QByteArray log =
        "$GPTXT,4E21C67C26207,459870581994,\r\n$GPRMC,A*01\r\n$GPGGA,A*02\r\n"
        "$GPTXT,0407526E26207,451818582197,\r\n$GPRMC,B*01\r\n$GPGGA,B*02\r\n"
        "$GPTXT,5217526D26207,459870581994,\r\n$GPRMC,C*01\r\n$GPGGA,C*02\r\n";
    fx.write("Funkor.log", log);
    fx.write("Funkor.clf", "0407526E26207 Kollwitzplatz\r\n");  // second entry known by its cell
    fx.write("Funkor.txt", "111111 222222 Irgendwo");           // edited by hand: no line end
    fx.platform->inputAnswers = {QStringLiteral("Fernsehturm")};
    fx.platform->yesNoAnswers = {true};
    QStringList seen;
    fx.platform->whileAsked = [&] {
        seen << QString::number(f.Timer5->Enabled()) << fromCp1252(f.position.reviewRmc);
    };
    f.NewL->setVisible(true);
    f.NewL_Click();
    EXPECT_EQ(fx.platform->titles, QStringList{QStringLiteral("  459870 581994")});
    EXPECT_EQ(seen, (QStringList{QStringLiteral("1"), QStringLiteral("$GPRMC,A*01")}));
    EXPECT_FALSE(f.Timer5->Enabled());
    EXPECT_EQ(fx.read("Funkor.txt"), "111111 222222 Irgendwo\r\n459870 581994 Fernsehturm\r\n");
    EXPECT_EQ(fx.platform->questions, QStringList{QStringLiteral("Log-Datei löschen ?")});
    EXPECT_EQ(fx.read("Funkor.log"), "<none>");
    EXPECT_TRUE(f.NewL->isHidden());
    EXPECT_EQ(fx.platform->beeps, 1);
}

TEST(PositionLog, CancelledNameEndsTheMergeAndKeepsTheLog) {
    LogFixture fx;
    Form1& f = *fx.form;
    const QByteArray log =
        kEntry + "$GPTXT,0407526E26207,451818582197,\r\n$GPRMC,B\r\n$GPGGA,B\r\n";
    fx.write("Funkor.log", log);
    fx.write("Funkor.txt", "111111 222222 Irgendwo");  // last line without its end
    f.NewL_Click();
    EXPECT_EQ(fx.platform->titles.size(), 1);
    EXPECT_TRUE(fx.platform->questions.isEmpty());
    EXPECT_FALSE(f.Timer5->Enabled());
    EXPECT_EQ(fx.read("Funkor.log"), log);
    EXPECT_EQ(fx.read("Funkor.txt"), "111111 222222 Irgendwo");
}

TEST(PositionLog, MergeReadsTornAndForeignLogs) {
    const struct {
        const char* legend;
        QByteArray log;
        QStringList titles;
    } cases[] = {
        {"LF line ends, torn last entry",
         "$GPTXT,4E21C67C26207,459870581994,\n$GPRMC,A\n$GPGGA,A\n$GPTXT,0407526E26207,"
         "451818582197,",
         {QStringLiteral("  459870 581994"), QStringLiteral("  451818 582197")}},
        {"CR line ends, header after header",
         "$GPTXT,4E21C67C26207,459870581994,\r$GPTXT,0407526E26207,451818582197,\r$GPRMC,B\r",
         {QStringLiteral("  459870 581994"), QStringLiteral("  451818 582197")}},
        {"a 100 KB line and a header without a position",
         QByteArray(100000, 'x') + "\r\n$GPTXT,4E21C67C26207,45987x,\r\n$GPTXT," +
             QByteArray(100000, '9') + "\r\n",
         {QStringLiteral("  999999 999999")}},
    };
    for (const auto& c : cases) {
        LogFixture fx;
        Form1& f = *fx.form;
        fx.write("Funkor.log", c.log);
        fx.platform->inputAnswers = {QStringLiteral("A"), QStringLiteral("B")};
        f.NewL_Click();
        EXPECT_EQ(fx.platform->titles, c.titles) << c.legend;
        EXPECT_EQ(fx.read("Funkor.log"), c.log) << c.legend;  // "No" to deleting
    }
}
