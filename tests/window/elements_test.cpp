// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMouseEvent>

#include "app/base/elements.h"
#include "app/window/snapshot.h"
#include "tests/window/manual_timers.h"

namespace {

struct Recorded {
    QList<int> downs, clicks;
};

template <class W>
Recorded pressAndRelease(W& w, Qt::MouseButton button, QPointF releaseAt) {
    Recorded r;
    QObject::connect(&w, &W::mouseDown, [&r](int b) { r.downs << b; });
    QObject::connect(&w, &W::clicked, [&r](int b) { r.clicks << b; });
    QPointF at(5, 5);
    QMouseEvent press(QEvent::MouseButtonPress, at, w.mapToGlobal(at), button, button,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, releaseAt, w.mapToGlobal(releaseAt), button,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &release);
    return r;
}

struct MouseCase {
    const char* label;
    Qt::MouseButton button;
    QPointF releaseAt;
    QList<int> downs, clicks;
};

const MouseCase kMouse[] = {
    {"left click", Qt::LeftButton, {5, 5}, {1}, {1}},
    {"right press", Qt::RightButton, {5, 5}, {2}, {}},
    {"middle press", Qt::MiddleButton, {5, 5}, {4}, {}},
    {"left released outside", Qt::LeftButton, {500, 500}, {1}, {}},
};

TEST(Elements, LabelAndGaugeReportButtonsAndClicks) {
    for (const auto& c : kMouse) {
        SCOPED_TRACE(c.label);
        LabelElement label;
        label.resize(40, 20);
        Recorded l = pressAndRelease(label, c.button, c.releaseAt);
        EXPECT_EQ(l.downs, c.downs);
        EXPECT_EQ(l.clicks, c.clicks);
        GaugeElement gauge;
        gauge.resize(40, 20);
        Recorded g = pressAndRelease(gauge, c.button, c.releaseAt);
        EXPECT_EQ(g.downs, c.downs);
        EXPECT_EQ(g.clicks, c.clicks);
    }
}

TEST(Elements, TimerTicksOncePerPeriodOnlyWhenOnWithAPeriod) {
    struct Case {
        const char* label;
        bool enabled;
        int interval;
        int ticks;  // in 85 ms
    };
    const Case cases[] = {
        {"on with period", true, 10, 8},
        {"off", false, 10, 0},
        {"on without period", true, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ManualTimers timers;
        TimerElement t;
        int ticks = 0;
        QObject::connect(&t, &TimerElement::Timer, [&] { ++ticks; });
        t.setInterval(c.interval);
        t.setEnabled(c.enabled);
        EXPECT_EQ(t.Enabled(), c.enabled);
        EXPECT_EQ(t.Interval(), c.interval);
        timers.advance(85);
        EXPECT_EQ(ticks, c.ticks);
    }
}

TEST(Elements, TimerIntervalSetWhileOnStartsThePeriodAfresh) {
    ManualTimers timers;
    TimerElement t;
    QList<qint64> at;
    QObject::connect(&t, &TimerElement::Timer, [&] { at << timers.now(); });
    t.setInterval(100);
    t.setEnabled(true);
    timers.advance(60);
    t.setEnabled(true);  // already on: the running period goes on
    timers.advance(60);
    t.setInterval(100);  // a new period from 120 on
    timers.advance(200);
    EXPECT_EQ(at, (QList<qint64>{100, 220, 320}));
}

TEST(Elements, TimerSwitchedOffInItsTickStaysOff) {
    ManualTimers timers;
    TimerElement t;
    int ticks = 0;
    QObject::connect(&t, &TimerElement::Timer, [&] {
        ++ticks;
        t.setEnabled(false);
    });
    t.setInterval(5);
    t.setEnabled(true);
    timers.advance(60);
    EXPECT_EQ(ticks, 1);
    EXPECT_FALSE(t.Enabled());
}

TEST(Elements, TimerTickIsNotEnteredAgainWhileItsHandlerLetsEventsRun) {
    ManualTimers timers;
    TimerElement t;
    int ticks = 0, depth = 0, deepest = 0;
    QObject::connect(&t, &TimerElement::Timer, [&] {
        ++ticks;
        ++depth;
        deepest = std::max(deepest, depth);
        EXPECT_TRUE(t.inTick());
        if (ticks == 1) timers.advance(60);  // twelve periods end meanwhile
        --depth;
    });
    t.setInterval(5);
    t.setEnabled(true);
    timers.advance(100);  // the long tick at 5, then the periods ending at 70 .. 100
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(ticks, 1 + 7);
    EXPECT_FALSE(t.inTick());
}

TEST(Elements, TimerRunsOnTheEventLoopWithoutADriver) {
    TimerElement t;
    int ticks = 0;
    QObject::connect(&t, &TimerElement::Timer, [&] {
        if (++ticks == 3) t.setEnabled(false);
    });
    t.setInterval(5);
    t.setEnabled(true);
    // However slow the machine, three periods end well within the deadline.
    QElapsedTimer deadline;
    deadline.start();
    while (t.Enabled() && deadline.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(ticks, 3);
}

TEST(Elements, ShapeKeepsItsFillColour) {
    ShapeElement s(ShapeElement::Form::Circle);
    EXPECT_EQ(s.fillColor(), QColor(0x80, 0x80, 0x80));
    s.setFillColor(QColor(0, 255, 0));
    EXPECT_EQ(s.fillColor(), QColor(0, 255, 0));
}

TEST(Elements, ImagesHaveAPicture) {
    for (auto p :
         {ImageElement::Picture::BatteryDischarging, ImageElement::Picture::BatteryCharging,
          ImageElement::Picture::Speaking, ImageElement::Picture::Sending}) {
        ImageElement i(p);
        QImage img = i.pixmap().toImage();
        ASSERT_FALSE(img.isNull());
        int drawn = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) drawn += qAlpha(img.pixel(x, y)) > 0;
        EXPECT_GT(drawn, 20);
    }
}

TEST(Elements, EightBitTextIsReadAsWindows1252) {
    struct Case {
        std::string in;
        QString out;
    };
    const Case cases[] = {
        {"Anruf", QStringLiteral("Anruf")},
        {"\xD6sterreich", QStringLiteral("Österreich")},
        {"\x80 5", QStringLiteral("€ 5")},
        {"\xBB"
         "AT\xBB",
         QStringLiteral("»AT»")},
        {"\x81", QString(QChar(0x81))},
        {std::string("a\0b", 3), QString(QStringLiteral("a")) + QChar(0) + QStringLiteral("b")},
    };
    for (const auto& c : cases) EXPECT_EQ(fromCp1252(c.in), c.out);
}

}  // namespace

TEST(TextCodec, Cp1252RoundTripsEveryAssignedByte) {
    std::string all;
    for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(toCp1252(fromCp1252(all)), all);
    EXPECT_EQ(toCp1252(QString::fromUtf8("Grüße €5 \xE2\x80\x94 \xE4\xB8\xAD")),
              "Gr\xFC\xDF"
              "e \x80"
              "5 \x97 ?");
}
