// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "tests/window/dispatcher_test_support.h"

namespace {

const char* const kPdu = "0791947106004034040C9194716732547600006221109081014004D4F29C0E";

TEST(DispatcherSmsList, HeaderAndPduFillTheCache) {
    const struct {
        const char* header;
        int slot;  // -1: not cached
        const char* entry;
    } cases[] = {
        {"+CMGL: 3,1,,23", 3, "23:"},   {"+CMGL: 0,0,,152", 0, "152:"},
        {"+CMGL: 50,1,,23", 50, "23:"}, {"+CMGL: 51,1,,23", -1, ""},  // beyond the cache
        {"+CMGL: x,1,,23", -1, ""},                                   // no index
        {"+CMGL: 3,1,,xx", -1, ""},                                   // no length
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        QObject::disconnect(f.Timer1, &TimerElement::Timer, &f, nullptr);
        f.Timer1->setInterval(2000 * 7);
        f.Timer1->setEnabled(true);
        fx.feed({c.header, kPdu});
        EXPECT_EQ(f.Timer1->Interval(), 2000) << c.header;
        EXPECT_EQ(f.sms.smsListPending, 0) << c.header;
        if (c.slot >= 0) {
            EXPECT_EQ(f.sms.smsCache[c.slot], std::string(c.entry) + kPdu) << c.header;
            EXPECT_TRUE(fx.shown(f.SMSrd)) << c.header;
        } else {
            for (const auto& e : f.sms.smsCache) EXPECT_EQ(e, "") << c.header;
            EXPECT_FALSE(fx.shown(f.SMSrd)) << c.header;
        }
        // The line after the PDU is an ordinary answer again.
        fx.feed("+CSQ: 7,99");
        EXPECT_EQ(f.Level->value(), 7) << c.header;
    }
}

TEST(DispatcherSmsRead, NewMessageNoticeRequestsTheRead) {
    const struct {
        const char* line;
        int state;
        const char* index;
        const char* storage;
    } cases[] = {
        {"+CMTI: \"SM\",12", 1, "12", "\"SM\""}, {"+CMTI: \"ME\",0", 1, "0", "\"ME\""},
        {"+CMTI: \"SM\",60", 1, "60", "\"SM\""},  // beyond the cache: read all the same
        {"+CMTI: \"SM\",x", 0, "", ""},          {"+CMTI: SM,12", 0, "", ""},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        fx.feed(c.line);
        EXPECT_EQ(fx.f.sms.smsReadState, SmsRead{c.state}) << c.line;
        EXPECT_EQ(fx.f.sms.smsIndex, c.index) << c.line;
        EXPECT_EQ(fx.f.sms.smsStorage, c.storage) << c.line;
    }
}

TEST(DispatcherSmsRead, HeaderAndPduOfTheMessageRead) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    fx.feed("+CMTI: \"SM\",12");
    f.sms.smsReadState = SmsRead{2};  // the cycle sent the read
    fx.feed({"AT+CPMS=\"SM\";+CMGR=12", "+CPMS: 3,20,3,20,3,20", "+CMGR: 0,,23"});
    EXPECT_EQ(f.sms.smsReadState, SmsRead{3});
    EXPECT_EQ(f.sms.smsLength, 23);
    fx.feed(kPdu);
    EXPECT_EQ(f.sms.smsReadState, SmsRead{4});
    EXPECT_EQ(f.sms.smsPdu, kPdu);
    EXPECT_EQ(f.sms.smsCache[12], std::string("23:") + kPdu);
    fx.feed("OK");
    EXPECT_EQ(f.sms.smsPdu, kPdu);
    EXPECT_EQ(f.sms.smsReadState, SmsRead{4});
}

TEST(DispatcherSmsRead, EmptyLocationArmsNoCapture) {
    const struct {
        const char* header;
        int state;  // after header and "OK"
    } cases[] = {
        {"+CMGR: 0,,0", 0},   // empty location: the read is over
        {"+CMGR: 0,,xx", 2},  // unreadable length: the header is passed over
        {"+CMGR:", 2},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        f.sms.smsIndex = "5";
        f.sms.smsReadState = SmsRead{2};
        f.sms.smsPdu = "ALT";
        fx.feed({c.header, "OK"});
        EXPECT_EQ(f.sms.smsReadState, SmsRead{c.state}) << c.header;
        EXPECT_EQ(f.sms.smsPdu, "ALT") << c.header;  // "OK" is no message
        EXPECT_EQ(f.sms.smsCache[5], "") << c.header;
    }
}

TEST(DispatcherBroadcast, TheLineAfterTheHeaderIsThePage) {
    const char* pages[] = {"001100DD0011D4F29C0E8AC564B219", "not hex at all", "+CSQ: 20,99"};
    for (const char* page : pages) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        fx.feed({"+CBM: 88,4370,1,1,1", page});
        EXPECT_EQ(f.position.cbPage, page);
        EXPECT_FALSE(f.position.cbPending);
        fx.feed("+CSQ: 7,99");  // handled normally again
        EXPECT_EQ(f.position.cbPage, page);
        EXPECT_EQ(f.Level->value(), 7);
    }
}

TEST(DispatcherPhoneBook, StatusEntriesAndTheList) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    fx.feed({"AT+CPBS=\"SM\";+CPBS?", "+CPBS: \"SM\",5,250", "OK"});
    EXPECT_EQ(f.calls.phoneBookUsed, 5);
    EXPECT_EQ(f.calls.phoneBookTotal, 250);
    fx.feed({"AT+CPBR=1", "+CPBR: 1,\"+4917612345678\",145,\"J~rgen M~ller\"", "OK", "AT+CPBR=2",
             "+CPBR: 2,\"03012345678\",129,\"B~ro, Zentrale\"", "OK", "AT+CPBR=3",
             "+CPBR: 3,\"0301234\",129,\"\\5Cl-Service\"", "OK"});
    EXPECT_EQ(f.calls.phoneBookReceived, 3);
    EXPECT_EQ(f.calls.phoneBookCount, 3);
    EXPECT_EQ(f.calls.pbMissCount, 0);
    EXPECT_EQ(f.calls.phoneBook[1], "\"+4917612345678\",145,\"J~rgen M~ller\"");
    ASSERT_EQ(f.Combo1->count(), 3);
    EXPECT_EQ(f.Combo1->itemText(0), QStringLiteral("Jürgen Müller : +4917612345678"));
    EXPECT_EQ(f.Combo1->itemText(1), QStringLiteral("Büro, Zentrale : 03012345678"));
    // The phone sends the GSM code of Ö escaped.
    EXPECT_EQ(f.Combo1->itemText(2), QStringLiteral("Öl-Service : 0301234"));
    // Offered, not chosen: no recipient until the user picks one.
    EXPECT_EQ(f.Combo1->currentIndex(), -1);
    EXPECT_EQ(f.Combo1->currentText(), QString());
    // The user's choice stays as the list grows.
    f.Combo1->setCurrentIndex(1);
    fx.feed({"AT+CPBR=4", "+CPBR: 4,\"0401234\",129,\"Clara\"", "OK"});
    EXPECT_EQ(f.Combo1->count(), 4);
    EXPECT_EQ(f.Combo1->currentText(), QStringLiteral("Büro, Zentrale : 03012345678"));
}

// An entry named with --recipient is the user's choice made before the list
// was read: it is chosen (with the buttons that need a choice) once it
// arrives, wherever it stands; any other start leaves the list unchosen.
TEST(DispatcherPhoneBook, RecipientNamedAtStartIsChosenOnceRead) {
    const struct {
        const char* recipient;
        int chosen;
    } cases[] = {
        {"Büro, Zentrale : 03012345678", 1}, {"", -1}, {"Büro : 03012345678", -1},  // no such entry
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.recipient);
        WindowFixture w;
        StartOptions options;
        options.recipient = QString::fromUtf8(c.recipient);
        Form1& f = w.make(options);
        f.SendPos->setEnabled(false);
        for (const char* line : {"+CPBR: 1,\"+4917612345678\",145,\"J~rgen M~ller\"",
                                 "+CPBR: 2,\"03012345678\",129,\"B~ro, Zentrale\"",
                                 "+CPBR: 3,\"0301234\",129,\"Clara\""})
            f.InterpretResponse(line);
        EXPECT_EQ(f.Combo1->currentIndex(), c.chosen);
        EXPECT_EQ(f.SendPos->isEnabled(), c.chosen >= 0);
    }
}

TEST(DispatcherPhoneBook, TwentyReadsWithoutAnEntryEndTheBook) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    fx.feed("+CPBS: \"SM\",7,250");
    fx.feed("+CPBR: 1,\"112\",129,\"Notruf\"");
    for (int i = 2; i <= 20; ++i) fx.feed("AT+CPBR=" + std::to_string(i));
    EXPECT_EQ(f.calls.pbMissCount, 19);
    EXPECT_EQ(f.calls.phoneBookReceived, 1);  // nineteen misses: reading goes on
    fx.feed("AT+CPBR=21");
    EXPECT_EQ(f.calls.pbMissCount, 20);
    EXPECT_EQ(f.calls.phoneBookReceived, 7);  // the book counts as read
}

TEST(DispatcherPhoneBook, OwnNumberOnlyFromTheFirstEntry) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    f.phone.homeNetwork = "26207";
    const QString layoutTooltip = f.Netz2->toolTip();
    fx.feed("+CPBR: 1,\"112\",129,\"Notruf\"");
    EXPECT_EQ(f.Netz2->toolTip(), layoutTooltip);  // not the own-numbers book
    f.calls.ownNumberPending = 1;
    fx.feed({"+CPBR: 1,\"+4917600112233\",145,\"Eigene Nummer\"",
             "+CPBR: 2,\"+4917600445566\",145,\"Zweite\""});
    EXPECT_EQ(f.Netz2->toolTip(), QStringLiteral("Eigene Nummer : +4917600112233 (26207)"));
    EXPECT_EQ(f.calls.ownNumberPending, 0);
    EXPECT_EQ(f.Combo1->count(), 3);
}

TEST(DispatcherPhoneBook, MoreThanTwoHundredEntriesAreNotKept) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    for (int i = 1; i <= 203; ++i)
        fx.feed("+CPBR: " + std::to_string(i) + ",\"0301234" + std::to_string(i) +
                "\",129,\"Name " + std::to_string(i) + "\"");
    EXPECT_EQ(f.calls.phoneBookCount, 200);
    EXPECT_EQ(f.calls.phoneBookReceived, 203);  // still counted, so the book ends
    EXPECT_EQ(f.Combo1->count(), 200);
    EXPECT_EQ(f.calls.phoneBook[200], "\"0301234200\",129,\"Name 200\"");
    EXPECT_EQ(f.Combo1->itemText(199), QStringLiteral("Name 200 : 0301234200"));
}

}  // namespace
