// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QLocale>

#include "tests/window/dispatcher_test_support.h"

namespace {

const char* kTowerPage = "002300DD0111B45A0C17C3D570B258EE06";  // 451818582197

// A window on O2 that has shown the tower's position, polling.
struct SwitchFixture : DispatcherFixture {
    SwitchFixture() {
        f.network.operatorCode = "26207";
        f.network.cellKey = "4E21C67C26207";
        f.network.sectorLetter = "A";
        f.network.homeZone = {459870, 581994, 1500, "Daheim"};
        f.network.homeKey = "459870581994";
        f.network.networkText = "o2 - de";
        f.Netz->setText(QStringLiteral("o2 - de"));
        f.Cell->setText(QStringLiteral(" Turm"));
        feed({"+CBM: 88,4370,1,1,1", kTowerPage});
        f.Timer1->setEnabled(true);
    }
    std::string key() const { return f.position.positionKey; }
};

}  // namespace

TEST(DisplaySwitches, HomeTickedWhileCellDisplayIsOn) {
    SwitchFixture fx;
    Form1& f = fx.f;
    f.ShCell->setChecked(true);
    EXPECT_EQ(f.Netz->text(), QString());
    // Cell display's untick runs now: it restores its texts and the engine
    // shows the home centre at once; home display then blanks them.
    f.ShHome->setChecked(true);
    EXPECT_FALSE(f.ShCell->isChecked());
    EXPECT_EQ(fx.key(), "459870581994");
    EXPECT_EQ(f.Netz->text(), QString());
    EXPECT_EQ(f.Netz2->text(), QString());
    EXPECT_EQ(f.position.shHomeNetworkText, "o2 - de");  // restored before it was saved
    EXPECT_EQ(f.Cell->text(), QStringLiteral(" Home"));
    EXPECT_EQ(f.Entf->toolTip(), QStringLiteral("Home (459870581994)"));
    EXPECT_FALSE(f.Timer1->Enabled());
}

TEST(DisplaySwitches, HomeTickedAloneWaitsForTheNextPage) {
    SwitchFixture fx;
    Form1& f = fx.f;
    const QString shown = f.PosL->toolTip();
    f.ShHome->setChecked(true);
    EXPECT_EQ(fx.key(), "451818582197");
    EXPECT_EQ(f.PosL->toolTip(), shown);
    EXPECT_EQ(f.Netz->text(), QString());
    EXPECT_FALSE(f.Timer1->Enabled());
    fx.feed({"+CBM: 88,4370,1,1,1", kTowerPage});
    EXPECT_EQ(fx.key(), "459870581994");

    // Unticking brings the texts back and polls again, without the engine.
    f.ShHome->setChecked(false);
    EXPECT_EQ(f.Cell->text(), QStringLiteral(" Turm"));
    EXPECT_EQ(f.Netz->text(), QStringLiteral("o2 - de"));
    EXPECT_EQ(f.Entf->toolTip(), QStringLiteral("Entfernung Home (r=1500m)"));
    EXPECT_TRUE(f.Timer1->Enabled());
    EXPECT_EQ(fx.key(), "459870581994");
}

TEST(DisplaySwitches, CellTickedAndUntickedShowsTheSavedTexts) {
    SwitchFixture fx;
    Form1& f = fx.f;
    f.network.zoneName = "Berlin";
    f.ShCell->setChecked(true);
    EXPECT_EQ(f.Netz->text(), QString());
    EXPECT_EQ(f.Netz2->text(), QString());
    f.network.networkText = "anders";
    f.ShCell->setChecked(false);
    EXPECT_EQ(f.Netz->text(), QStringLiteral("o2 - de"));
    EXPECT_EQ(f.network.networkText, "o2 - de");
    EXPECT_EQ(f.position.shCellZoneName, "Berlin");
    EXPECT_TRUE(f.Timer1->Enabled());
}
