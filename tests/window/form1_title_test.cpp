// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLocale>
#include <QScreen>

#include "tests/window/window_test_support.h"

namespace {

const QString kTitle = QStringLiteral("        Funkor   V0.10");

// The labels as a Siemens S45i on O2 Germany leaves them, with both zones of
// the SIM known.
void fillFromPhone(Form1& f) {
    f.Netz->setText(QStringLiteral("o2 - de"));
    f.Info->setToolTip(
        QStringLiteral("SW:21 IMEI:350123456789012 IMSI:262071234567890 SIM:8949020000123"));
    f.BattA->setToolTip(QStringLiteral("Batterie:80%"));
    f.Level->setToolTip(QStringLiteral("Pegel:70%"));
    f.Netz->setToolTip(QStringLiteral("CC=262 NC=07 LAC=5339 CI=04B3 LA=213-37 BS=1203 SK=A"));
    f.Zone->setText(QStringLiteral("Mitte"));
    f.Zone->setToolTip(QStringLiteral("Region/City-Zone (r=12km)"));
    f.PosL->setToolTip(QStringLiteral("52°31.123'N 13°24.456'E"));
    f.Entf->setToolTip(QStringLiteral("Entfernung Home (r=1500m)"));
}

QStringList reportOf(Form1& f) {
    QStringList out;
    for (int i = 0; i < f.form2->List1->count(); ++i) out << f.form2->List1->item(i)->text();
    return out;
}

struct GermanLocale {
    QLocale before;
    GermanLocale() { QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany)); }
    ~GermanLocale() { QLocale::setDefault(before); }
};

TEST(FormResize, TitleInEachWindowState) {
    WindowFixture fx;
    Form1& f = fx.make();
    fillFromPhone(f);
    EXPECT_EQ(f.windowTitle(), kTitle);
    struct Step {
        Qt::WindowStates state;
        QString title;
        bool report;
    };
    const Step steps[] = {
        {Qt::WindowMinimized, QStringLiteral(" o2 - de"), false},
        {Qt::WindowNoState, kTitle, false},
        {Qt::WindowMaximized, kTitle, true},
        {Qt::WindowMinimized, QStringLiteral(" o2 - de"), false},
        {Qt::WindowMaximized, kTitle, true},
        {Qt::WindowNoState, kTitle, false},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(static_cast<int>(s.state));
        f.setWindowState(s.state);
        EXPECT_EQ(f.windowTitle(), s.title);
        EXPECT_EQ(f.form2->isVisible(), s.report);
        // Closed, the report is gone; each maximizing lists it afresh.
        EXPECT_EQ(f.form2->List1->count(), s.report ? 16 : 0);
    }
    // The network name as it is when the window is minimized.
    f.Netz->setText(QStringLiteral("kein Netz"));
    f.setWindowState(Qt::WindowMinimized);
    EXPECT_EQ(f.windowTitle(), QStringLiteral(" kein Netz"));
}

TEST(FormResize, MaximizedListsThePhoneStateBesideThePanel) {
    GermanLocale german;
    WindowFixture fx;
    Form1& f = fx.make();
    fx.platform->now = QDateTime(QDate(2026, 12, 8), QTime(14, 3, 55));
    fillFromPhone(f);
    f.setWindowState(Qt::WindowMaximized);
    const QStringList expected = {
        "08.12.26  14:03:55",
        " ",
        "SW:21",
        "IMEI:350123456789012",
        "IMSI:262071234567890",
        "SIM:8949020000123",
        "",
        "Batterie:80%",
        "Pegel:70%",
        "",
        "CC=262 NC=07 LAC=5339 CI=04B3 ",
        "LA=213-37 BS=1203 SK=A",
        "",
        "52°31.123'N 13°24.4",
        "Radius Cizy-Zone: 12 km",
        "Radius Home-Zone: 1500 m",
    };
    EXPECT_EQ(reportOf(f), expected);
    EXPECT_EQ(f.form2->List1->currentRow(), 0);
    ASSERT_TRUE(f.form2->isVisible());

    // The report lies on the window's screen; beside the panel, covering
    // none of the labels it reads, where the screen leaves room for it.
    QCoreApplication::processEvents();
    const QRect report = f.form2->geometry();
    const QRect screen = f.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(report));
    const int panelRight = f.Cell->mapToGlobal(QPoint(f.Cell->width(), 0)).x();
    if (screen.right() - panelRight > report.width()) {
        for (QWidget* w :
             std::initializer_list<QWidget*>{f.Info, f.Netz, f.Cell, f.PosL, f.Text2}) {
            const QRect g(w->mapToGlobal(QPoint(0, 0)), w->size());
            EXPECT_FALSE(report.intersects(g)) << w->objectName().toStdString();
        }
    }
}

TEST(FormResize, ReportWithoutZoneOrMarkersKeepsTheRest) {
    WindowFixture fx;
    Form1& f = fx.make();
    fillFromPhone(f);
    // No zone known; the SIM number not read yet; no network.
    f.Zone->setText(QString());
    f.Info->setToolTip(QStringLiteral("SW:21 IMEI:350123456789012 IMSI:262071234567890"));
    f.Netz->setToolTip(QStringLiteral("kein Netz"));
    f.setWindowState(Qt::WindowMaximized);
    const QStringList report = reportOf(f);
    ASSERT_EQ(report.size(), 8);
    EXPECT_EQ(report.mid(2),
              QStringList({"SW:21", "IMEI:350123456789012", "", "Batterie:80%", "Pegel:70%", ""}));
}

TEST(FormResize, TraceListMovesBelowTheSmsTextAndLeavesWithTheMaximizedState) {
    WindowFixture fx;
    Form1& f = fx.make(QStringLiteral("T"));
    ASSERT_TRUE(f.List2->isVisibleTo(&f));
    f.setWindowState(Qt::WindowMaximized);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.List2->y(), f.Text2->y() + f.Text2->height() * 6 / 5);
    EXPECT_TRUE(f.List2->isVisibleTo(&f));
    EXPECT_LE(f.List2->geometry().bottom(), f.centralWidget()->rect().bottom());

    f.setWindowState(Qt::WindowNoState);
    EXPECT_FALSE(f.List2->isVisibleTo(&f));
    EXPECT_FALSE(f.form2->isVisible());
    // Shown again by the battery gauge (its first click hides the test
    // button still shown), it lies over the operators again.
    f.BattA_Click();
    f.BattA_Click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(f.List2->isVisibleTo(&f));
    EXPECT_EQ(f.List2->y(), f.Netze[1]->y());
}

TEST(FormResize, ClosingTheWindowClosesTheReport) {
    WindowFixture fx;
    Form1& f = fx.make();
    f.setWindowState(Qt::WindowMaximized);
    ASSERT_TRUE(f.form2->isVisible());
    f.close();
    EXPECT_FALSE(f.form2->isVisible());
    EXPECT_EQ(f.form2->List1->count(), 0);
}

}  // namespace
