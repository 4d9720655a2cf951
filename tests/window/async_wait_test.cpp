// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/base/async_wait.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <memory>
#include <string>

namespace {

QCoreApplication* ensureApp() {
    static int argc = 1;
    static char arg0[] = "async_wait_test";
    static char* argv[] = {arg0, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    return QCoreApplication::instance();
}

void runEventsFor(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

struct Flag {
    bool* alive;
    ~Flag() { *alive = false; }
};

Async sequence(QObject* owner, std::string& log) {
    log += "a";
    co_await waitMs(owner, 30);
    log += "b";
    co_await waitMs(owner, 0);
    log += "c";
}

Async guarded(QObject* owner, std::string& log, bool& frameAlive) {
    Flag f{&frameAlive};
    co_await waitMs(owner, 50);
    log += "resumed";
}

}  // namespace

TEST(AsyncWait, StepsRunInOrderAndEventsRunBetween) {
    ensureApp();
    QObject owner;
    std::string log;
    sequence(&owner, log);
    EXPECT_EQ(log, "a");  // the first step runs at once, the rest waits
    log += "|";           // the caller goes on meanwhile
    // However slow the machine, both waits end well within the deadline.
    QElapsedTimer deadline;
    deadline.start();
    while (log != "a|bc" && deadline.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(log, "a|bc");
}

TEST(AsyncWait, DestroyingTheOwnerDropsTheWaitingHandler) {
    ensureApp();
    std::string log;
    bool frameAlive = true;
    {
        QObject owner;
        guarded(&owner, log, frameAlive);
        EXPECT_TRUE(frameAlive);
    }
    EXPECT_FALSE(frameAlive);  // the frame's locals were destroyed with the owner
    runEventsFor(80);
    EXPECT_EQ(log, "");
}
