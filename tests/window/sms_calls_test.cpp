// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Received and sent messages, the phone-book mode, calls and the spoken
// announcements on the real window, with the platform double answering the
// dialogs and holding the clock, and every spoken text recorded.
#include <gtest/gtest.h>

#include <QSignalBlocker>
#include <functional>

#include "app/base/text_codec.h"
#include "core/incoming_sms.h"
#include "core/pdu.h"
#include "tests/window/window_test_support.h"

namespace {

// An SMS-DELIVER with an SMSC part in front, from +49123456789 at
// 12.11.04 14:50:00, the text packed by the submit encoder.
std::string deliver(const std::string& text) {
    const std::string submit = funkor::encodeSmsPdu(text, "1").pdu;
    return std::string("0791947106004034") + "04" + "0B919421436587F9" + "0000" + "40112141050080" +
           submit.substr(submit.find("1FF0") + 4);
}

struct SmsWindow : WindowFixture {
    Form1& f;
    QStringList spoken;

    SmsWindow() : f(make()) {
        platform->now = QDateTime(QDate(2026, 12, 2), QTime(9, 20, 5));
        QObject::connect(f.Sprelo, &SpeechElement::Spoken,
                         [this](const QString& text, int) { spoken << text; });
        // The trace shows what went to the phone.
        f.List2->show();
        f.List2->clear();
    }

    void receive(const std::string& text) {
        const std::string pdu = deliver(text);
        f.sms.smsPdu = pdu;
        f.sms.smsLength = static_cast<int>(pdu.size() / 2) - 8;  // less the SMSC part
        f.sms.smsIndex = "4";
        f.ShowReceivedSms();
    }
    // Chooses a phone-book entry the way the list's owner would.
    void choose(const QString& entry) {
        f.Combo1->addItem(entry);
        f.Combo1->setCurrentIndex(f.Combo1->count() - 1);
    }
    QStringList trace() const {
        QStringList out;
        for (int i = 0; i < f.List2->count(); ++i) out << f.List2->item(i)->text();
        return out;
    }
    static QString sent(const char* command) {
        return QChar(0xBB) + QString::fromLatin1(command) + QChar(0xBB);
    }
    static bool shown(const QWidget* w) { return !w->isHidden(); }
};

// The PDU queued for `text` to `number`.
std::string pduFor(const std::string& text, const std::string& number) {
    return funkor::encodeSmsPdu(text, number).pdu;
}

}  // namespace

TEST(SmsReceived, PlainTextIsShownAndSpokenWithItsSender) {
    SmsWindow w;
    Form1& f = w.f;
    f.calls.phoneBook[1] = "\"0123456789\",129,\"J~rgen\"";
    f.calls.phoneBookCount = 1;
    w.receive(
        "Gr\xFC\xDF"
        "e!");
    EXPECT_TRUE(w.shown(f.Text1));
    EXPECT_TRUE(w.shown(f.Text2));
    EXPECT_EQ(f.Text1->text(), QStringLiteral("+49123456789 12.11.04 14:50:00 Jürgen"));
    EXPECT_EQ(f.Text1->toolTip(), QStringLiteral("SMS-Nr:4 (<=SMS von SIM lesen)"));
    EXPECT_EQ(f.Text2->text(), QStringLiteral("Grüße!"));
    EXPECT_EQ(f.sms.smsSender, "+49123456789");
    EXPECT_EQ(f.calls.callerName, "J\xFCrgen");
    ASSERT_EQ(w.spoken.size(), 1);
    EXPECT_EQ(w.spoken[0], QStringLiteral("#VOICE=NAME:SPR.DE.MAREN#SMS von Jürgen"
                                          "#PAU=1000##VOICE=NAME:SPR.DE.OSKAR#Grüße!"));
    EXPECT_TRUE(w.shown(f.SpreloI));
    EXPECT_TRUE(f.Timer4->Enabled());
    f.Timer4_Timer();
    EXPECT_FALSE(w.shown(f.SpreloI));
    EXPECT_FALSE(f.Timer4->Enabled());

    // A sender the phone book does not know: ten blanks, the number spelled.
    f.calls.phoneBookCount = 0;
    w.receive("Hallo");
    EXPECT_EQ(f.Text1->text(), QStringLiteral("+49123456789          12.11.04 14:50:00"));
    EXPECT_EQ(w.spoken.last(),
              QStringLiteral("#VOICE=NAME:SPR.DE.MAREN#SMS von plus#CTX=SPELL#+49123456789#CTX#"
                             "#PAU=1000##VOICE=NAME:SPR.DE.OSKAR#Hallo"));

    // The left button repeats it; with the sender line hidden only the text
    // is read, and the image stays hidden.
    f.Text2_MouseDown(1);
    EXPECT_EQ(w.spoken.size(), 3);
    f.Text1->hide();
    f.Timer4_Timer();
    f.Text2_MouseDown(1);
    EXPECT_EQ(w.spoken.last(), QStringLiteral("Hallo"));
    EXPECT_FALSE(w.shown(f.SpreloI));
}

TEST(SmsReceived, PositionSmsBecomesTheSmsSource) {
    SmsWindow w;
    Form1& f = w.f;
    {
        QSignalBlocker block(f.MBlast);
        f.MBlast->setChecked(true);
    }
    w.receive("$4807123,01134567");
    EXPECT_EQ(w.platform->beeps, 1);
    EXPECT_TRUE(w.spoken.isEmpty());
    EXPECT_EQ(f.sms.smsRmc.substr(0, 52), "$GPRMC,145000,A,4807.123,N,01134.567,E,,,121104,0,E*");
    EXPECT_EQ(f.sms.smsGga.substr(0, 52), "$GPGGA,145000,4807.123,N,01134.567,E,1,12,,,M,,M,,,*");
    const std::string base = f.position.mapBase;
    EXPECT_EQ(f.sms.smsMapLink, base +
                                    "/map.aspx?L=EUR&C=48.1187166666667,11.5761166666667&A=2&P=|"
                                    "48.1187166666667,11.5761166666667|1|+49123456789 09:20|L1|");
    EXPECT_TRUE(f.cSMS->isChecked());
    ASSERT_EQ(w.platform->urls.size(), 1);
    EXPECT_EQ(toCp1252(w.platform->urls[0]), f.sms.smsMapLink);

    // What cannot be a position keeps the last one; it is shown, not spoken.
    const std::string rmc = f.sms.smsRmc;
    for (const char* bad : {"$4807", "$48*7123,01134567", "$"}) {
        w.receive(bad);
        EXPECT_EQ(f.sms.smsRmc, rmc) << bad;
        EXPECT_EQ(f.Text2->text(), QString::fromLatin1(bad));
    }
    EXPECT_TRUE(w.spoken.isEmpty());
    EXPECT_EQ(w.platform->urls.size(), 1);
}

TEST(SmsReceived, PositionRequestIsAnsweredOnlyWhenAllowed) {
    SmsWindow w;
    Form1& f = w.f;
    f.position.gsmRmc = kGsmRmc;
    w.choose(QStringLiteral("Anna : +4917612345678"));

    w.receive("$SendPosition!");
    EXPECT_EQ(f.sms.pduPending, "");
    EXPECT_FALSE(f.SendPos->isChecked());
    EXPECT_TRUE(w.spoken.isEmpty());
    EXPECT_EQ(w.trace().last(), QStringLiteral("Positionsanfrage von +49123456789: nicht erlaubt"));

    f.ReqPosEn->setChecked(true);
    w.receive("$SendPosition!");
    // To the chosen entry, not to whoever asked.
    EXPECT_EQ(f.sms.pduPending, pduFor("$4807123,01134567", "+4917612345678"));
    EXPECT_TRUE(f.SendPos->isChecked());
    EXPECT_EQ(w.trace().last(), QStringLiteral("Positionsanfrage von +49123456789: beantwortet"));

    // Still waiting for the send status: the next request sends nothing.
    f.sms.pduPending.clear();
    w.receive("$SendPosition!");
    EXPECT_EQ(f.sms.pduPending, "");
    EXPECT_TRUE(w.trace().last().endsWith(QStringLiteral("eine Position wird schon gesendet")));

    // The request in other letters is a position SMS.
    w.receive("$sendposition!");
    EXPECT_EQ(f.sms.pduPending, "");
    EXPECT_EQ(w.platform->beeps, 1);
}

TEST(SmsCacheBrowsing, ReadButtonShowsTheNextFilledSlot) {
    SmsWindow w;
    Form1& f = w.f;
    f.SMSrd_Click();  // nothing cached: one pass, nothing shown
    EXPECT_FALSE(w.shown(f.Text1));
    EXPECT_EQ(f.sms.smsCursor, 0);

    const std::string a = deliver("drei"), b = deliver("sieben");
    f.sms.smsCache[3] = std::to_string(a.size() / 2 - 8) + ":" + a;
    f.sms.smsCache[7] = std::to_string(b.size() / 2 - 8) + ":" + b;
    f.sms.smsCursor = 7;
    f.SMSrd_Click();
    EXPECT_EQ(f.Text2->text(), QStringLiteral("drei"));
    EXPECT_EQ(f.sms.smsIndex, "3");
    EXPECT_EQ(f.Text1->toolTip(), QStringLiteral("SMS-Nr:3 (<=SMS von SIM lesen)"));
    f.Text1_Click();
    EXPECT_EQ(f.Text2->text(), QStringLiteral("sieben"));
    EXPECT_EQ(f.sms.smsCursor, 7);
}

TEST(SmsCacheBrowsing, OtherButtonAsksAndDeletes) {
    for (bool yes : {false, true}) {
        SmsWindow w;
        Form1& f = w.f;
        w.receive("Hallo");
        w.platform->yesNoAnswers = {yes};
        f.Text2_MouseDown(2);
        EXPECT_FALSE(w.shown(f.Text1));
        EXPECT_FALSE(w.shown(f.Text2));
        EXPECT_EQ(w.platform->questions, QStringList{QStringLiteral("Löschen ?")});
        EXPECT_EQ(f.sms.smsDeletePending, yes ? 1 : 0);
    }
}

TEST(SmsTestButton, ShowsAndSpeaksTheSample) {
    SmsWindow w;
    Form1& f = w.f;
    f.calls.phoneBook[1] = "\"+4915112345678\",145,\"Test\"";
    f.calls.phoneBookCount = 1;
    f.SMSc_Click();
    EXPECT_EQ(f.RingL->text(), QStringLiteral("09:20  +4915112345678\nTest"));
    EXPECT_TRUE(w.shown(f.RingL));
    EXPECT_TRUE(w.shown(f.Check1));
    EXPECT_FALSE(w.shown(f.List2));
    EXPECT_EQ(f.Text2->text(), QStringLiteral("Dies ist ein Funktest!"));
    EXPECT_EQ(w.spoken.size(), 1);
}

TEST(SmsSend, TypedTextGoesToTheChosenEntry) {
    SmsWindow w;
    Form1& f = w.f;
    f.SMSb_Click();  // no entry chosen
    EXPECT_EQ(w.platform->beeps, 1);
    EXPECT_EQ(w.platform->messages.size(), 1);
    EXPECT_TRUE(w.platform->prompts.isEmpty());

    w.choose(QStringLiteral("Anna : +49123456789"));
    struct Case {
        QString typed;
        std::string pdu;
    } cases[] = {
        {QStringLiteral("Grüße"), pduFor("Gr\xFC\xDF"
                                         "e",
                                         "+49123456789")},
        {QString(), ""},                       // cancelled
        {QString(161, QLatin1Char('x')), ""},  // refused, with a message
    };
    for (const auto& c : cases) {
        f.sms.pduPending.clear();
        w.platform->inputAnswers = {c.typed};
        f.SMSb_Click();
        EXPECT_EQ(f.sms.pduPending, c.pdu) << c.typed.size();
    }
    EXPECT_EQ(w.platform->prompts.last(), QStringLiteral("\nText:"));
    EXPECT_TRUE(w.platform->messages.last().contains(QStringLiteral("mehr als 160 Zeichen")));

    // A list text of 1000 characters is no number.
    w.choose(QString(1000, QLatin1Char('7')));
    w.platform->inputAnswers = {QStringLiteral("x")};
    f.SMSb_Click();
    EXPECT_EQ(f.sms.pduPending, "");
    EXPECT_TRUE(w.platform->messages.last().contains(QStringLiteral("mehr als 15 Ziffern")));
}

TEST(SmsSend, PositionFromGpsFirstThenCell) {
    struct Case {
        const char* gps;
        const char* cell;
        const char* text;  // "" when nothing is sent
        const char* source;
    } cases[] = {
        {"", kGsmRmc, "$4807123,01134567", "GSM"},
        {"$GPRMC,101500,A,5230.1234,N,01327.5678,E,0.0,0.0,021226,,*00\r\n", kGsmRmc,
         "$5230123,01327567", "GPS"},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        SmsWindow w;
        Form1& f = w.f;
        w.choose(QStringLiteral("Anna : +49123456789"));
        f.output.gpsRmc = c.gps;
        f.position.gsmRmc = c.cell;
        f.SendPos->setChecked(true);
        if (*c.text) {
            EXPECT_EQ(f.sms.pduPending, pduFor(c.text, "+49123456789")) << c.text;
            EXPECT_EQ(f.GsmL->text(), QString::fromLatin1(c.source));
            EXPECT_TRUE(w.shown(f.GsmL));
            EXPECT_TRUE(w.shown(f.AsendL));
            EXPECT_TRUE(w.shown(f.AsendS));
            EXPECT_TRUE(f.SendPos->isChecked());
            // Ticked again before the send status: nothing more.
            f.sms.pduPending.clear();
            f.SendPos->setChecked(true);
            EXPECT_EQ(f.sms.pduPending, "");
        } else {
            // Nothing to send: the box does not stay ticked.
            EXPECT_EQ(f.sms.pduPending, "");
            EXPECT_FALSE(f.SendPos->isChecked());
            EXPECT_EQ(w.platform->beeps, 1);
            EXPECT_FALSE(w.shown(f.AsendL));
        }
    }
}

TEST(SmsSend, EmptyRecipientIsRefusedByAllThree) {
    const std::function<void(Form1&)> senders[] = {
        [](Form1& f) { f.SMSb_Click(); },
        [](Form1& f) { f.SendPos->setChecked(true); },
        [](Form1& f) { f.CallPos->setChecked(true); },
    };
    for (const auto& send : senders) {
        SmsWindow w;
        Form1& f = w.f;
        f.position.gsmRmc = kGsmRmc;
        w.choose(QStringLiteral("Anna : "));
        w.platform->inputAnswers = {QStringLiteral("Hallo")};
        send(f);
        EXPECT_EQ(f.sms.pduPending, "");
        EXPECT_EQ(w.platform->beeps, 1);
        ASSERT_EQ(w.platform->messages.size(), 1);
        EXPECT_TRUE(w.platform->messages[0].startsWith(QStringLiteral("Kein Empfänger")));
        EXPECT_FALSE(f.SendPos->isChecked());
        EXPECT_FALSE(f.CallPos->isChecked());
    }
}

// What cannot be sent is told where the sender is: a box for the user's own
// click; for the auto-send minute and the answer to a request (nobody need
// be at the window) only the send status in Text1 and a trace line.
TEST(SmsSend, UnattendedSendsThatCannotGoOpenNoBox) {
    const std::function<void(SmsWindow&)> autoSendMinute = [](SmsWindow& w) {
        w.f.AsendS->setValue(1);
        w.f.Timer6_Timer();
    };
    const std::function<void(SmsWindow&)> request = [](SmsWindow& w) {
        w.f.ReqPosEn->setChecked(true);
        w.receive("$SendPosition!");
    };
    const std::function<void(SmsWindow&)> click = [](SmsWindow& w) {
        w.f.SendPos->setChecked(true);
    };
    const struct {
        const char* legend;
        const char* entry;  // chosen by the user; "" when the list was only read
        const char* cell;
        const std::function<void(SmsWindow&)>& send;
        bool traceShown;
        bool box;
        const char* reason;
    } cases[] = {
        {"auto-send, no recipient", "", kGsmRmc, autoSendMinute, true, false, "Kein Empfänger"},
        {"auto-send, no position", "Anna : +4917612345678", "", autoSendMinute, true, false,
         "Keine Position zum Senden"},
        {"auto-send to an emergency number", "Notruf : 112", kGsmRmc, autoSendMinute, true, false,
         "An eine Notrufnummer (112)"},
        {"auto-send, trace hidden", "", kGsmRmc, autoSendMinute, false, false, "Kein Empfänger"},
        {"request, no recipient", "", kGsmRmc, request, true, false, "Kein Empfänger"},
        {"request, no position", "Anna : +4917612345678", "", request, true, false,
         "Keine Position zum Senden"},
        {"user's click, no recipient", "", kGsmRmc, click, true, true, "Kein Empfänger"},
        {"user's click, no position", "Anna : +4917612345678", "", click, true, true,
         "Keine Position zum Senden"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        SmsWindow w;
        Form1& f = w.f;
        // The SIM's book read: the list offers its entries, none chosen.
        f.InterpretResponse("+CPBS: \"SM\",2,250");
        f.InterpretResponse("+CPBR: 1,\"+4917698765432\",145,\"Bernd\"");
        f.InterpretResponse("+CPBR: 2,\"112\",129,\"Notruf\"");
        if (*c.entry) w.choose(QString::fromUtf8(c.entry));
        f.position.gsmRmc = c.cell;
        if (!c.traceShown) f.List2->hide();
        const QString before = f.Text1->text();
        c.send(w);

        const QString reason = QString::fromUtf8(c.reason);
        EXPECT_EQ(f.sms.pduPending, "");
        EXPECT_FALSE(f.SendPos->isChecked());
        const QStringList notes = w.trace().filter(QStringLiteral("SMS: ") + reason);
        if (c.box) {
            ASSERT_EQ(w.platform->messages.size(), 1);
            EXPECT_TRUE(w.platform->messages[0].startsWith(reason))
                << w.platform->messages[0].toStdString();
            EXPECT_EQ(w.platform->beeps, 1);
            EXPECT_EQ(f.Text1->text(), before);
            EXPECT_TRUE(notes.isEmpty());
        } else {
            EXPECT_TRUE(w.platform->messages.isEmpty())
                << w.platform->messages.join(' ').toStdString();
            EXPECT_EQ(w.platform->beeps, 0);
            EXPECT_TRUE(f.Text1->text().startsWith(QStringLiteral("SMS: ") + reason))
                << f.Text1->text().toStdString();
            EXPECT_EQ(f.Text1->toolTip(), QStringLiteral("SMS-Sendestatus"));
            EXPECT_TRUE(w.shown(f.Text1));
            EXPECT_EQ(notes.size(), c.traceShown ? 1 : 0);
        }
    }
}

TEST(SmsSend, PositionRequestWorksAsAPushButton) {
    SmsWindow w;
    Form1& f = w.f;
    w.choose(QStringLiteral("0123456789"));
    for (int i = 0; i < 2; ++i) {
        f.sms.pduPending = "older";
        f.CallPos->setChecked(true);
        EXPECT_FALSE(f.CallPos->isChecked());
        EXPECT_EQ(f.sms.pduPending, pduFor("$SendPosition!", "0123456789"));
    }
}

TEST(PhoneBookMode, ChoosingAnEntryFromCodeEnablesSendingAndCalling) {
    SmsWindow w;
    Form1& f = w.f;
    for (QWidget* b : {static_cast<QWidget*>(f.CALLb), static_cast<QWidget*>(f.SMSb),
                       static_cast<QWidget*>(f.SendPos), static_cast<QWidget*>(f.CallPos)})
        b->setEnabled(false);
    w.choose(QStringLiteral("Anna : +49123456789"));
    EXPECT_TRUE(f.CALLb->isEnabled());
    EXPECT_TRUE(f.SMSb->isEnabled());
    EXPECT_TRUE(f.SendPos->isEnabled());
    EXPECT_TRUE(f.CallPos->isEnabled());
}

TEST(PhoneBookMode, OnOffAndHangingUp) {
    SmsWindow w;
    Form1& f = w.f;
    f.RingL->show();
    f.Check1->setChecked(true);
    for (QWidget* e : {static_cast<QWidget*>(f.Combo1), static_cast<QWidget*>(f.CALLb),
                       static_cast<QWidget*>(f.SMSb), static_cast<QWidget*>(f.SendPos),
                       static_cast<QWidget*>(f.CallPos), static_cast<QWidget*>(f.ReqPosEn)})
        EXPECT_TRUE(w.shown(e)) << e->objectName().toStdString();
    EXPECT_FALSE(w.shown(f.RingL));

    f.calls.callActive = 1;
    f.GsmL->show();
    f.Check1->setChecked(false);
    EXPECT_EQ(w.trace(), QStringList{w.sent("AT+CHUP")});
    EXPECT_EQ(f.calls.callActive, 0);
    EXPECT_FALSE(w.shown(f.Combo1));
    EXPECT_FALSE(w.shown(f.GsmL));
    EXPECT_FALSE(w.shown(f.ReqPosEn));
    EXPECT_EQ(f.Check1->toolTip(), QStringLiteral("Telefonbuch"));
}

TEST(PhoneBookMode, Dialling) {
    struct Case {
        const char* entry;
        bool yes;
        const char* sent;  // "" when nothing
        int callActive, ussdPending, interval;
    } cases[] = {
        {"Anna : +49123456789", true, "ATD+49123456789;", 1, 0, 100},
        {"*100#", true, "ATD*100#;", 0, 1, 5000},
        {"Anna : +49123456789", false, "", 0, 0, 100},
        {"Evil : 0123;+CMGD=1", true, "", 0, 0, 100},                // not a number
        {"Büro : 0301234,567", true, "ATD0301234,567;", 1, 0, 100},  // a pause, then the line
        {"Hotel : +4930123p12", true, "ATD+4930123p12;", 1, 0, 100},
        {"Evil : 0123\"", true, "", 0, 0, 100},
    };
    for (const auto& c : cases) {
        SmsWindow w;
        Form1& f = w.f;
        f.Timer1->setInterval(100);
        f.Timer1->setEnabled(true);
        f.Check1->setChecked(true);
        w.choose(QString::fromUtf8(c.entry));
        f.Text2->setText(QStringLiteral("alt"));
        w.platform->yesNoAnswers = {c.yes};
        f.CALLb_Click();
        EXPECT_EQ(w.trace(), *c.sent ? QStringList{w.sent(c.sent)} : QStringList{}) << c.entry;
        EXPECT_EQ(f.calls.callActive, c.callActive) << c.entry;
        EXPECT_EQ(f.phone.ussdPending, UssdPending{c.ussdPending}) << c.entry;
        EXPECT_EQ(f.Timer1->Interval(), c.interval) << c.entry;
        if (*c.sent) {
            EXPECT_EQ(f.Check1->toolTip(), QStringLiteral("auflegen"));
            EXPECT_EQ(f.Text2->text().isEmpty(), c.ussdPending == 1);
        }
        if (!c.yes) {
            // "No" leaves the phone-book mode.
            EXPECT_FALSE(f.Check1->isChecked());
            EXPECT_FALSE(w.shown(f.Combo1));
            EXPECT_FALSE(w.shown(f.CALLb));
        }
        f.Timer1->setEnabled(false);
    }
}

TEST(CallerAnnouncement, OncePerTwentySecondsAndAgainOnClick) {
    SmsWindow w;
    Form1& f = w.f;
    f.calls.phoneBook[1] = "\"+49301234567\",145,\"Anna\"";
    f.calls.phoneBookCount = 1;
    auto ring = [&](const char* number) {
        f.InterpretResponse("RING");
        f.InterpretResponse(std::string("+CLIP: \"") + number + "\",145");
        EXPECT_EQ(f.Timer3->Interval(), 3000);
        EXPECT_TRUE(f.Timer3->Enabled());
        f.Timer3_Timer();
        EXPECT_FALSE(f.Timer3->Enabled());
    };
    ring("+49123456789");
    ASSERT_EQ(w.spoken.size(), 1);
    EXPECT_EQ(w.spoken[0], QStringLiteral("Anruf von plus#CTX=SPELL#+49123456789#CTX#"));
    EXPECT_TRUE(w.shown(f.SpreloI));
    EXPECT_TRUE(f.Timer4->Enabled());

    w.platform->now = w.platform->now.addSecs(10);
    ring("+49301234567");
    EXPECT_EQ(w.spoken.size(), 1);

    w.platform->now = w.platform->now.addSecs(25);
    f.RingL_Click();
    EXPECT_EQ(f.Timer3->Interval(), 100);
    EXPECT_TRUE(f.Timer3->Enabled());
    f.Timer3_Timer();
    ASSERT_EQ(w.spoken.size(), 2);
    EXPECT_EQ(w.spoken[1], QStringLiteral("Anruf von Anna"));

    // A caller without a number.
    w.platform->now = w.platform->now.addSecs(25);
    f.InterpretResponse("+CLIP: \"\",128");
    f.Timer3_Timer();
    EXPECT_EQ(w.spoken.last(), QStringLiteral("unbekannter Anruf"));
}

TEST(CallerAnnouncement, HoldOffHoldsAcrossMidnight) {
    SmsWindow w;
    Form1& f = w.f;
    w.platform->now = QDateTime(QDate(2026, 12, 2), QTime(23, 59, 55));
    f.RingL->setText(QStringLiteral("23:59  0301234"));
    f.Timer3_Timer();
    w.platform->now = w.platform->now.addSecs(10);  // 00:00:05
    f.Timer3_Timer();
    EXPECT_EQ(w.spoken.size(), 1);
    w.platform->now = w.platform->now.addSecs(11);
    f.Timer3_Timer();
    EXPECT_EQ(w.spoken.size(), 2);
}

TEST(SmsBadInput, BrokenPdusKeepTheWindowWorking) {
    SmsWindow w;
    Form1& f = w.f;
    const char* pdus[] = {"", "0", "0791", "07919471060040340", "ZZ%%", "0791947106004034FF"};
    for (const char* pdu : pdus)
        for (int length : {0, 1, 40, 1 << 20}) {
            f.sms.smsPdu = pdu;
            f.sms.smsLength = length;
            f.ShowReceivedSms();
            EXPECT_EQ(f.Text1->text().size() >= 27, true) << pdu;
        }
    // A cache entry that lies about its length.
    f.sms.smsCache[5] = "99999:0791";
    f.SMSrd_Click();
    EXPECT_EQ(f.sms.smsIndex, "5");
}

TEST(SmsReceived, MessageBeyondTheCacheIsShownButNotCached) {
    SmsWindow w;
    Form1& f = w.f;
    const std::string pdu = deliver("Hallo");
    f.InterpretResponse("+CMTI: \"SM\",60");
    ASSERT_EQ(f.sms.smsReadState, SmsRead{1});
    f.sms.smsReadState = SmsRead{2};  // the cycle has sent the read command
    f.InterpretResponse("+CMGR: 0,," + std::to_string(pdu.size() / 2 - 8));
    f.InterpretResponse(pdu);
    ASSERT_EQ(f.sms.smsReadState, SmsRead{4});
    for (const auto& entry : f.sms.smsCache) EXPECT_EQ(entry, "");
    f.ShowReceivedSms();
    EXPECT_EQ(f.Text2->text(), QStringLiteral("Hallo"));
    EXPECT_EQ(f.Text1->toolTip(), QStringLiteral("SMS-Nr:60 (<=SMS von SIM lesen)"));
}
