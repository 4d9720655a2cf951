// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QFile>
#include <functional>

#include "core/cell_files.h"
#include "tests/window/window_test_support.h"

namespace {

struct NamingFixture : AskingWindow {
    // What a naming attempt left behind: beeps, the dialog asked, both files
    // and the cell caption, against a table row with those fields.
    template <typename Row>
    void expectOutcome(const Row& c) const {
        EXPECT_EQ(platform->beeps, c.beeps) << c.legend;
        EXPECT_EQ(platform->titles.join(QLatin1Char('|')), QString::fromLatin1(c.title))
            << c.legend;
        if (!platform->prompts.isEmpty()) {
            EXPECT_EQ(platform->prompts.front(), QStringLiteral("Name:")) << c.legend;
        }
        EXPECT_EQ(read("Funkor.clf"), QByteArray(c.clf)) << c.legend;
        EXPECT_EQ(read("Funkor.txt"), QByteArray(c.txt)) << c.legend;
        EXPECT_EQ(form->Cell->text(), QString::fromLatin1(c.captionAfter)) << c.legend;
    }
};

TEST(CellNaming, ButtonOperatorAndCaptionChooseTheFile) {
    const struct {
        const char* legend;
        int button;
        const char* op;
        const char* caption;  // before the click
        const char* answer;
        int beeps;
        const char* title;  // "" when nothing is asked
        const char* clf;
        const char* txt;
        const char* captionAfter;
    } cases[] = {
        {"right button names the cell", 2, "26207", "", "Markt", 0, " Funkor.clf",
         "4E21C67C26207 Markt\r\n", "<none>", " Markt"},
        {"left button names the site on O2", 1, "26207", "", "Tower", 0, " Funkor.txt", "<none>",
         "451818 582197 Tower\r\n", " Tower"},
        {"left button off O2: beep, then the cell", 1, "26201", "", "Markt", 1, " Funkor.clf",
         "4E21C67C26207 Markt\r\n", "<none>", " Markt"},
        {"right button on a named cell", 2, "26207", " Bahnhof", "x", 0, "", "<none>", "<none>",
         " Bahnhof"},
        {"left button on a named site", 1, "26207", " Tower", "x", 0, "", "<none>", "<none>",
         " Tower"},
        {"the home display counts as a name", 4, "26207", " Home", "x", 0, "", "<none>", "<none>",
         " Home"},
        {"empty answer writes nothing", 2, "26207", "", "", 0, " Funkor.clf", "<none>", "<none>",
         ""},
    };
    for (const auto& c : cases) {
        NamingFixture fx;
        Form1& f = *fx.form;
        f.network.cellKey = "4E21C67C26207";
        f.network.operatorCode = c.op;
        f.position.positionKey = "451818582197";
        f.Cell->setText(QString::fromLatin1(c.caption));
        fx.platform->inputAnswers.push_back(QString::fromLatin1(c.answer));
        f.Cell_MouseDown(c.button);
        fx.expectOutcome(c);
    }
}

// Before the phone has said where it is, a name would be filed under a key
// that no lookup finds again.
TEST(CellNaming, NoNameWithoutAKeyToFileItUnder) {
    const struct {
        const char* legend;
        int button;
        const char* cellKey;
        const char* positionKey;
        int beeps;
        const char* title;
        const char* clf;
        const char* txt;
        const char* captionAfter;
    } cases[] = {
        {"site asked before the first broadcast: beep, the cell", 1, "4E21C67C26207", "", 1,
         " Funkor.clf", "4E21C67C26207 Markt\r\n", "<none>", " Markt"},
        {"cell asked before any registration: beep, nothing", 2, "", "451818582197", 1, "",
         "<none>", "<none>", ""},
        {"cell asked before the operator code: beep, nothing", 2, "4E21C67C", "451818582197", 1, "",
         "<none>", "<none>", ""},
    };
    for (const auto& c : cases) {
        NamingFixture fx;
        Form1& f = *fx.form;
        f.network.cellKey = c.cellKey;
        f.network.operatorCode = "26207";
        f.position.positionKey = c.positionKey;
        fx.platform->inputAnswers.push_back(QStringLiteral("Markt"));
        f.Cell_MouseDown(c.button);
        fx.expectOutcome(c);
    }
}

TEST(CellNaming, CellChangedWhileTheDialogIsOpen) {
    NamingFixture fx;
    Form1& f = *fx.form;
    fx.write("Funkor.clf", "1111C67C26207 Nachbar\r\n");
    f.InterpretResponse("+COPS: 0,2,\"26207\"");
    f.InterpretResponse("+CREG: 2,1,\"C67C\",\"4E21\"");
    ASSERT_EQ(f.Cell->text(), QString());
    // The phone moves to the next cell while the user types.
    fx.platform->whileAsked = [&] { f.InterpretResponse("+CREG: 1,\"C67C\",\"1111\""); };
    fx.platform->inputAnswers.push_back(QStringLiteral("Bahnhof"));
    f.Cell_MouseDown(2);
    EXPECT_EQ(fx.read("Funkor.clf"), QByteArray("1111C67C26207 Nachbar\r\n"
                                                "4E21C67C26207 Bahnhof\r\n"));
    EXPECT_EQ(f.Cell->text(), QStringLiteral(" Nachbar"));  // the new cell's own name

    // Back in the named cell, its name is found.
    f.InterpretResponse("+CREG: 1,\"C67C\",\"4E21\"");
    EXPECT_EQ(f.Cell->text(), QStringLiteral(" Bahnhof"));
}

TEST(CellNaming, SiteMovedWhileTheDialogIsOpen) {
    NamingFixture fx;
    Form1& f = *fx.form;
    f.network.operatorCode = "26207";
    f.position.positionKey = "451818582197";
    fx.platform->whileAsked = [&] {
        f.position.positionKey = "459870581994";
        f.Cell->setText(QString());
    };
    fx.platform->inputAnswers.push_back(QStringLiteral("Tower"));
    f.Cell_MouseDown(1);
    EXPECT_EQ(fx.read("Funkor.txt"), QByteArray("451818 582197 Tower\r\n"));
    EXPECT_EQ(f.Cell->text(), QString());
    EXPECT_EQ(funkor::findSiteNameInFile(fx.path("Funkor.txt").toStdString(), "451818582197"),
              std::optional<std::string>(" Tower"));
}

TEST(CellNaming, NamesKeepTheirUmlautsInTheFile) {
    NamingFixture fx;
    Form1& f = *fx.form;
    f.network.cellKey = "4E21C67C26207";
    fx.platform->inputAnswers.push_back(QStringLiteral("Brücke"));
    f.Cell_MouseDown(2);
    EXPECT_EQ(fx.read("Funkor.clf"), QByteArray("4E21C67C26207 Br\xFC"
                                                "cke\r\n"));
    EXPECT_EQ(f.Cell->text(), QStringLiteral(" Brücke"));
}

}  // namespace
