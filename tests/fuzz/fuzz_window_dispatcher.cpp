// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window fed by a babbling phone: the bytes go through the line
// framer, and every line through the window's answer handling, with the
// window's state steered into the modes that change how lines are read
// (star code running, SMS being sent, list and broadcast headers pending, O2
// network). The window must take anything without crashing and keep its
// displays within their bounds.

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>

#include "app/window/form1.h"
#include "app/window/form2.h"
#include "core/line_framer.h"
#include "fuzz_input.h"
#include "tests/window/fake_platform.h"

using funkor::fuzz::require;

namespace {

struct Window {
    QTemporaryDir dir;
    std::unique_ptr<Form1> form;

    Window() {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char arg0[] = "fuzz_window_dispatcher";
        static char* argv[] = {arg0, nullptr};
        new QApplication(argc, argv);
        auto platform = std::make_unique<FakePlatform>();
        platform->now = QDateTime(QDate(2026, 12, 2), QTime(9, 20, 5));
        form = std::make_unique<Form1>(StartOptions{}, ProgramFolder{dir.path(), QString()},
                                       std::move(platform));
        form->Form_Load();
    }
};

Form1& window() {
    static Window w;
    return *w.form;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Form1& f = window();
    std::string_view text = funkor::fuzz::asText(data, size);
    const std::uint8_t steer = funkor::fuzz::takeByte(text);
    f.phone.ussdPending = UssdPending{steer % 3};
    f.sms.smsSendPending = (steer & 4) ? 1 : 0;
    f.sms.smsListPending = (steer & 8) ? 1 : 0;
    f.position.cbPending = (steer & 16) != 0;
    f.sms.smsReadState = SmsRead{(steer & 32) ? 3 : 0};
    f.network.operatorCode = (steer & 64) ? "26207" : "26201";
    f.phone.pollStep = PollStep{(steer & 128) ? 10 : 5};

    funkor::LineFramer framer;
    for (const std::string& line : framer.feed(text)) {
        require(line.size() >= 2, "the framer hands on lines of two characters or more");
        f.InterpretResponse(line);
    }
    QCoreApplication::processEvents();

    int shown = 0;
    for (int i = 0; i < 8; ++i) shown += f.Netze[i]->isHidden() ? 0 : 1;
    require(shown == std::min(f.List1->count(), 8), "one slot per listed operator, eight at most");
    require(f.BattA->value() >= 0 && f.BattA->value() <= 100, "battery gauge within 0..100");
    require(f.Level->value() >= 0 && f.Level->value() <= 31, "signal gauge within 0..31");
    require(f.List2->count() <= 5000, "trace list within its cap");
    return 0;
}
