// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QCoreApplication>

#include "app/base/serial_port_component.h"
#include "tests/window/pty_phone.h"
#include "tests/window/window_test_support.h"

namespace {

QStringList traceOf(Form1& f) {
    QStringList out;
    for (int i = 0; i < f.List2->count(); ++i) out << f.List2->item(i)->text();
    return out;
}

// The three port lists with their ports, each pointed at a device that does
// not exist and then at one that does.
TEST(PortProblems, ReasonInTheListTooltipAndOnceInTheTrace) {
    struct Case {
        const char* list;
        const char* tip;
        SerialPortComponent* Form1::*port;
    };
    const Case cases[] = {
        {"GSM", "Handy-Port", &Form1::Comm1},
        {"GPS", "GPS-Port", &Form1::Comm3},
        {"NMEA", "Ausgabe-Port", &Form1::Comm2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        WindowFixture fx;
        const QByteArray gone = "[Devices]\nCOM7=" + QFile::encodeName(fx.path("gone")) +
                                "\nCOM8=" + QFile::encodeName(fx.path("gone8")) + "\n";
        fx.writeFile(QStringLiteral("Funkor.ini"), gone);
        Form1& f = fx.make();
        auto* list = qobject_cast<QComboBox*>(f.element(QString::fromLatin1(c.list)));
        SerialPortComponent* port = f.*c.port;
        f.List2->clear();

        port->setCommPort(7);
        ASSERT_FALSE(port->setPortOpen(true));
        const QString reason = port->lastError();
        EXPECT_TRUE(reason.contains(QStringLiteral("gibt es nicht"))) << reason.toStdString();
        EXPECT_EQ(list->toolTip(), QString::fromUtf8(c.tip) + QLatin1Char('\n') + reason);
        // Tried again and again while searching: the trace has it once.
        ASSERT_FALSE(port->setPortOpen(true));
        ASSERT_FALSE(port->setPortOpen(true));
        EXPECT_EQ(traceOf(f), QStringList{reason});
        EXPECT_EQ(list->toolTip(), QString::fromUtf8(c.tip) + QLatin1Char('\n') + reason);

        // Another device with its own reason is traced as well.
        port->setCommPort(8);
        ASSERT_FALSE(port->setPortOpen(true));
        EXPECT_EQ(traceOf(f).size(), 2);

        // The device comes (the user plugged it in): the port opens and the
        // tooltip is back to its own text.
        PtyPhone phone;
        ASSERT_TRUE(phone.ok());
        ASSERT_TRUE(QFile::link(phone.slave(), fx.path("gone")));
        port->setCommPort(7);
        ASSERT_TRUE(port->setPortOpen(true));
        EXPECT_EQ(list->toolTip(), QString::fromUtf8(c.tip));
        port->setPortOpen(false);

        // Gone again after it had opened: the reason is news once more.
        ASSERT_TRUE(QFile::remove(fx.path("gone")));
        ASSERT_FALSE(port->setPortOpen(true));
        EXPECT_EQ(traceOf(f).size(), 3);
    }
}

// The command cycle searching for the phone on a port that is not there
// says so where the phone port is chosen, without a click on "Active".
TEST(PortProblems, SearchingCycleShowsWhyThePhonePortFails) {
    WindowFixture fx;
    fx.writeFile(QStringLiteral("Funkor.ini"), "[Ports]\nGSM=3\nBaud=0\n[Devices]\nCOM3=" +
                                                   QFile::encodeName(fx.path("no-tty")) + "\n");
    Form1& f = fx.make();
    ASSERT_TRUE(f.Timer1->Enabled());
    ASSERT_TRUE(runUntil([&] { return f.GSM->toolTip().contains(QStringLiteral("no-tty")); }));
    EXPECT_TRUE(f.GSM->toolTip().startsWith(QStringLiteral("Handy-Port\n")));
    EXPECT_EQ(traceOf(f).filter(QStringLiteral("no-tty")).size(), 1);
    EXPECT_TRUE(fx.platform->messages.isEmpty());
}

}  // namespace
