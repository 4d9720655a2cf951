// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>

#include "app/window/snapshot.h"
#include "tests/window/window_test_support.h"

namespace {

struct ElementRow {
    const char* name;
    const char* kind;
    const char* caption;  // nullptr: not checked
    const char* tooltip;  // nullptr: not checked
};

// The window's elements with their fixed captions and tooltips.
const ElementRow kInventory[] = {
    {"Comm1", "serialport", nullptr, nullptr},
    {"GSM", "combobox", nullptr, "Handy-Port"},
    {"Baud(0)", "option", "19200", nullptr},
    {"Baud(1)", "option", "57600", nullptr},
    {"Baud(2)", "option", "115200", nullptr},
    {"Active", "checkbox", "", "GSM-Port aktiv"},
    {"Label2", "label", "GSM IN", nullptr},
    {"List2", "listbox", nullptr, "<=CLS,>=STOP"},
    {"Info", "label", nullptr, "Hersteller+Modell"},
    {"Text3", "textbox", "Multicard-Info", nullptr},
    {"Level", "gauge", nullptr, "Signalstärke"},
    {"BattA", "gauge", nullptr, "Batterie"},
    {"BattE", "image", nullptr, "Entladen"},
    {"BattL", "image", nullptr, "Laden"},
    {"Timer1", "timer", nullptr, nullptr},
    {"Netz", "label", nullptr, nullptr},
    {"List1", "listbox", nullptr, nullptr},
    {"Netz2", "label", nullptr, "Netz-Bereich"},
    {"Cell", "label", nullptr, "Sender-Standort (eingeben: <=txt, >=clf)"},
    {"Zone", "label", "City-Zone", nullptr},
    {"Entf", "label", "Home", nullptr},
    {"TAV", "label", nullptr, "l. Entfernung/Richtung v. Sender (<=akt.)"},
    {"PosL", "label", "Position", nullptr},
    {"Shape1", "shape", nullptr, nullptr},
    {"Shape2", "shape", nullptr, nullptr},
    {"Shape3", "shape", nullptr, nullptr},
    {"Line2", "line", nullptr, nullptr},
    {"Line4", "line", nullptr, nullptr},
    {"Line5", "line", nullptr, nullptr},
    {"Line6", "line", nullptr, nullptr},
    {"ShCell", "checkbox", "", "~ Position anzeigen"},
    {"ShHome", "checkbox", "", "Home-Standort anzeigen"},
    {"Trace", "checkbox", "Logging", "Positionen speichern"},
    {"TrNew", "checkbox", "nur neue", "nur neue Sender speichern"},
    {"NewL", "button", "", "neue Einträge übernehmen"},
    {"MessN", "label", "", nullptr},
    {"Text1", "textbox", nullptr, "SMS (Absender, Zeit, Speicherplatz)"},
    {"Text2", "textbox", nullptr, "SMS (<=wiederh., >=löschen)"},
    {"SMSrd", "button", "SMS", "SMS von SIM lesen"},
    {"SMSb", "button", "SMS", "SMS senden"},
    {"SMSc", "button", "Test", nullptr},
    {"Label5", "label", "SMS", nullptr},
    {"Check1", "checkbox", "Telefon-Buch", "SIM Telefonbuch"},
    {"Combo1", "combobox", nullptr, nullptr},
    {"CALLb", "button", "Anruf", "anrufen"},
    {"RingL", "label", "Anruf", nullptr},
    {"Timer3", "timer", nullptr, nullptr},
    {"Timer4", "timer", nullptr, nullptr},
    {"Sprelo", "speech", nullptr, nullptr},
    {"SpreloI", "image", nullptr, "Sprelo Sprachausgabe"},
    {"Comm3", "serialport", nullptr, nullptr},
    {"GPS", "combobox", nullptr, "GPS-Port"},
    {"Label3", "label", "GPS IN", nullptr},
    {"GPSstat", "shape", nullptr, nullptr},
    {"Comm2", "serialport", nullptr, nullptr},
    {"NMEA", "combobox", nullptr, "Ausgabe-Port"},
    {"Label4", "label", "NMEA Out", nullptr},
    {"Winsock", "socket", nullptr, nullptr},
    {"TCPstat", "shape", nullptr, nullptr},
    {"cGSM", "checkbox", "", nullptr},
    {"cGPS", "checkbox", "", nullptr},
    {"cSMS", "checkbox", "", nullptr},
    {"cMULTI", "checkbox", "", nullptr},
    {"Label6", "label", "Multi", nullptr},
    {"Label7", "label", "active", nullptr},
    {"GsmL", "label", "SMS-Pos. GSM/GPS", "SMS-Pos. GSM/GPS"},
    {"SendPos", "checkbox", "Pos. >>", "Position als SMS senden"},
    {"CallPos", "checkbox", "Pos. <<", "Position mit SMS anfordern"},
    {"ReqPosEn", "checkbox", "", "Fern-Positions-Abfrage erlauben"},
    {"AsendS", "scrollbar", nullptr, nullptr},
    {"AsendL", "label", "-", "Position automatisch senden (Minuten)"},
    {"Timer2", "timer", nullptr, nullptr},
    {"Timer5", "timer", nullptr, nullptr},
    {"Timer6", "timer", nullptr, nullptr},
    {"MBlast", "checkbox", ">> WWW", "Position über Internetverbindung anzeigen"},
    {"Image1", "image", nullptr, "senden"},
    {"SAVE", "button", "", "Einstellungen speichern"},
    {"Label1", "label", "save", nullptr},
};

QString captionOf(QObject* o) {
    if (auto* l = qobject_cast<QLabel*>(o)) return l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(o)) return b->text();
    if (auto* t = qobject_cast<TextBoxElement*>(o)) return t->text();
    return QStringLiteral("<no caption>");
}

TEST(Form1Inventory, EveryElementHasItsKindCaptionAndTooltip) {
    WindowFixture fx;
    Form1& form = fx.make(QString(), false);
    for (const auto& row : kInventory) {
        SCOPED_TRACE(row.name);
        QObject* o = form.element(QString::fromUtf8(row.name));
        ASSERT_NE(o, nullptr);
        EXPECT_EQ(o->objectName(), QString::fromUtf8(row.name));
        bool found = false;
        for (const auto& e : form.inventory()) {
            if (e.name == QString::fromUtf8(row.name)) {
                EXPECT_EQ(e.kind, QString::fromUtf8(row.kind));
                found = true;
            }
        }
        EXPECT_TRUE(found);
        if (row.caption) {
            EXPECT_EQ(captionOf(o), QString::fromUtf8(row.caption));
        }
        if (row.tooltip) {
            auto* w = qobject_cast<QWidget*>(o);
            ASSERT_NE(w, nullptr);
            EXPECT_EQ(w->toolTip(), QString::fromUtf8(row.tooltip));
        }
    }
}

TEST(Form1Inventory, ArraysHaveTheirMembersUnderIndexedNames) {
    WindowFixture fx;
    Form1& form = fx.make(QString(), false);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(form.element(QStringLiteral("Netze(%1)").arg(i)), form.Netze[i]);
        EXPECT_EQ(form.element(QStringLiteral("Sta(%1)").arg(i)), form.Sta[i]);
        EXPECT_EQ(form.element(QStringLiteral("Land(%1)").arg(i)), form.Land[i]);
    }
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(form.element(QStringLiteral("Line1(%1)").arg(i)), form.Line1[i]);
    EXPECT_EQ(form.Baud[0]->text(), QStringLiteral("19200"));
    EXPECT_EQ(form.Baud[1]->text(), QStringLiteral("57600"));
    EXPECT_EQ(form.Baud[2]->text(), QStringLiteral("115200"));
    // Shown highest rate first.
    EXPECT_LT(form.Baud[2]->x(), form.Baud[1]->x());
    EXPECT_LT(form.Baud[1]->x(), form.Baud[0]->x());
    // The named elements plus the arrays' extra members.
    EXPECT_EQ(form.inventory().size(), std::size(kInventory) + 3 * 8 + 5);
}

TEST(Form1Inventory, NamesAreUnique) {
    WindowFixture fx;
    Form1& form = fx.make(QString(), false);
    QSet<QString> names;
    for (const auto& e : form.inventory()) {
        EXPECT_FALSE(names.contains(e.name)) << e.name.toStdString();
        names.insert(e.name);
    }
}

TEST(Form1Inventory, ElementsThatAppearLaterStartHidden) {
    WindowFixture fx;
    Form1& form = fx.make();
    const QStringList hidden = {
        "List1",    "List2", "SMSc",   "BattE",  "BattL",  "SpreloI", "Image1",  "Text3",
        "Text1",    "Text2", "SMSrd",  "RingL",  "Check1", "Combo1",  "CALLb",   "SMSb",
        "Cell",     "TAV",   "Shape2", "PosL",   "Zone",   "MBlast",  "SendPos", "CallPos",
        "ReqPosEn", "Entf",  "ShHome", "ShCell", "GsmL",   "AsendL",  "AsendS",  "NewL"};
    // Every operator slot and every line of the cell display, not just one.
    QStringList arrays;
    for (int i = 0; i < 8; ++i)
        arrays << QStringLiteral("Netze(%1)").arg(i) << QStringLiteral("Sta(%1)").arg(i)
               << QStringLiteral("Land(%1)").arg(i);
    for (int i = 0; i < 5; ++i) arrays << QStringLiteral("Line1(%1)").arg(i);
    const QStringList shown = {"GSM",   "Active", "Baud(0)", "Label2", "Info",  "Level",
                               "BattA", "Netz",   "Netz2",   "Trace",  "TrNew", "Label5",
                               "GPS",   "NMEA",   "cGSM",    "SAVE",   "Label1"};
    for (const QString& n : hidden + arrays)
        EXPECT_FALSE(qobject_cast<QWidget*>(form.element(n))->isVisibleTo(&form))
            << n.toStdString();
    for (const QString& n : shown)
        EXPECT_TRUE(qobject_cast<QWidget*>(form.element(n))->isVisibleTo(&form)) << n.toStdString();
}

TEST(Form1Inventory, TimersStartOffWithThePeriodsTheirTopicsUse) {
    struct Row {
        const char* name;
        int interval;
    };
    const Row rows[] = {{"Timer1", 100},  {"Timer2", 2000}, {"Timer3", 100},
                        {"Timer4", 5000}, {"Timer5", 2000}, {"Timer6", 60000}};
    WindowFixture fx;
    Form1& form = fx.make();  // no settings: the phone link is "STOP"
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        auto* t = qobject_cast<TimerElement*>(form.element(QString::fromLatin1(r.name)));
        ASSERT_NE(t, nullptr);
        EXPECT_FALSE(t->Enabled());
        EXPECT_EQ(t->Interval(), r.interval);
    }
    // The GPS receiver and the NMEA output run at 4800 baud.
    EXPECT_EQ(form.Comm2->Settings(), QStringLiteral("4800,n,8,1"));
    EXPECT_EQ(form.Comm3->Settings(), QStringLiteral("4800,n,8,1"));
    EXPECT_EQ(form.AsendS->value(), 0);
    EXPECT_EQ(form.AsendS->maximum(), 120);
}

// Widgets that take part in the layout: not the frames and lines drawn
// around others, not the operator list that is never shown, not the trace
// list that is laid over the operators on purpose, not the invisible speech
// control.
std::vector<QWidget*> laidOut(Form1& form) {
    std::vector<QWidget*> out;
    for (const auto& e : form.inventory()) {
        auto* w = qobject_cast<QWidget*>(e.object);
        if (!w || e.decoration) continue;
        if (e.name == QLatin1String("List1") || e.name == QLatin1String("List2") ||
            e.name == QLatin1String("Sprelo"))
            continue;
        out.push_back(w);
    }
    return out;
}

TEST(Form1Layout, NoTwoElementsOverlapAndAllLieInTheWindow) {
    WindowFixture fx;
    Form1& form = fx.make();
    auto widgets = laidOut(form);
    ASSERT_EQ(widgets.size(), 82u);
    QRect area = form.centralWidget()->rect();
    for (std::size_t i = 0; i < widgets.size(); ++i) {
        EXPECT_TRUE(area.contains(widgets[i]->geometry()))
            << widgets[i]->objectName().toStdString();
        EXPECT_GT(widgets[i]->width(), 0);
        for (std::size_t j = i + 1; j < widgets.size(); ++j) {
            EXPECT_FALSE(widgets[i]->geometry().intersects(widgets[j]->geometry()))
                << widgets[i]->objectName().toStdString() << " overlaps "
                << widgets[j]->objectName().toStdString();
        }
    }
}

TEST(Form1Layout, VisibleElementsDoNotOverlapInTestMode) {
    WindowFixture fx;
    Form1& form = fx.make(QStringLiteral("T"));
    std::vector<QWidget*> visible;
    for (const auto& e : form.inventory()) {
        auto* w = qobject_cast<QWidget*>(e.object);
        if (w && !e.decoration && w->isVisibleTo(&form)) visible.push_back(w);
    }
    for (std::size_t i = 0; i < visible.size(); ++i)
        for (std::size_t j = i + 1; j < visible.size(); ++j)
            EXPECT_FALSE(visible[i]->geometry().intersects(visible[j]->geometry()))
                << visible[i]->objectName().toStdString() << " overlaps "
                << visible[j]->objectName().toStdString();
}

}  // namespace
