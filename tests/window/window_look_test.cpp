// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QImage>

#include "app/base/window_icons.h"
#include "tests/window/window_test_support.h"

namespace {

// Every picture is built into the program and draws something at the sizes
// the window uses, at single and double scale.
TEST(WindowPictures, EveryPictureRenders) {
    const WindowPicture all[] = {
        WindowPicture::Program,
        WindowPicture::Gsm,
        WindowPicture::Gps,
        WindowPicture::Sms,
        WindowPicture::Home,
        WindowPicture::Cell,
        WindowPicture::BatteryDischarging,
        WindowPicture::BatteryCharging,
        WindowPicture::Speaking,
        WindowPicture::Sending,
        WindowPicture::NewEntries,
        WindowPicture::Save,
    };
    for (WindowPicture p : all) {
        SCOPED_TRACE(picturePath(p).toStdString());
        const QImage img = picturePixmap(p, 20).toImage();
        ASSERT_FALSE(img.isNull());
        int drawn = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) drawn += qAlpha(img.pixel(x, y)) > 0;
        EXPECT_GT(drawn, img.width() * img.height() / 5);
        const QIcon icon = pictureIcon(p);
        EXPECT_EQ(icon.pixmap(QSize(20, 20), 2.0).deviceIndependentSize(), QSizeF(20, 20));
        EXPECT_EQ(icon.pixmap(QSize(20, 20), 2.0).width(), 40);
    }
}

TEST(WindowPictures, PictureCheckBoxesAndTheWindowCarryTheirIcons) {
    WindowFixture fx;
    Form1& f = fx.make(QString(), false);
    for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{
             f.cGSM, f.cGPS, f.cSMS, f.ShHome, f.ShCell, f.NewL, f.SAVE})
        EXPECT_FALSE(b->icon().isNull()) << b->objectName().toStdString();
    EXPECT_FALSE(f.windowIcon().isNull());
    for (ImageElement* i : {f.BattE, f.BattL, f.SpreloI, f.Image1})
        EXPECT_FALSE(i->pixmap().isNull()) << i->objectName().toStdString();
}

TEST(WindowPlacement, OpensWhereItWasClosed) {
    WindowFixture fx;
    Form1& first = fx.make();
    const QSize size = first.size() + QSize(10, 10);
    first.move(20, 30);
    first.resize(size);
    first.close();

    Form1& second = fx.make();
    EXPECT_EQ(second.pos(), QPoint(20, 30));
    EXPECT_EQ(second.size(), size);

    // Closed maximized, it keeps the normal placement stored before.
    second.setWindowState(Qt::WindowMaximized);
    second.close();
    Form1& third = fx.make();
    EXPECT_EQ(third.pos(), QPoint(20, 30));
    EXPECT_EQ(third.size(), size);
}

TEST(WindowPlacement, PlacementOutsideEveryScreenOrTooSmallIsNotTaken) {
    struct Case {
        const char* legend;
        QByteArray window;
        bool moved;
    };
    const Case cases[] = {
        {"far off every screen", "[Window]\nLeft=-9000\nTop=-9000\nWidth=700\nHeight=500\n", false},
        {"no size", "[Window]\nLeft=30\nTop=40\n", false},
        {"smaller than the panel", "[Window]\nLeft=30\nTop=40\nWidth=10\nHeight=10\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        WindowFixture fx;
        fx.writeFile(QStringLiteral("Funkor.ini"), c.window);
        Form1& f = fx.make(QString(), false);
        EXPECT_EQ(f.pos() == QPoint(30, 40), c.moved);
        EXPECT_GE(f.width(), f.minimumWidth());
        EXPECT_GE(f.height(), f.minimumHeight());
        EXPECT_GT(f.minimumWidth(), 300);
    }
}

}  // namespace
