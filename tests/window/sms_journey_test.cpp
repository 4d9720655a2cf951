// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window against the simulated phone over a pseudo-terminal: messages
// arriving, a position SMS taken as the SMS source, a position request
// answered only when allowed, a typed SMS with umlauts sent and read back by
// gammu's own PDU decoder, and a caller announced once within 20 seconds.
// The window's clock stands still once the phone is found, so the hold-off is
// measured on that clock, never by waiting.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QProcess>

#include "app/base/text_codec.h"
#include "core/ini_file.h"
#include "core/outgoing_sms.h"
#include "core/position_sms.h"
#include "tests/e2e/e2e_support.h"
#include "tests/window/pty_phone.h"
#include "tests/window/window_test_support.h"

using namespace e2e;

namespace {

// An event of the simulated phone's time line, `t` seconds after the port
// was opened. The phone reports new messages only once the program has
// switched the notices on, a few seconds after it found the phone.
QJsonObject sms(int t, const char* sender, const QString& text, bool ascii = false) {
    QJsonObject m{{QStringLiteral("sender"), QString::fromLatin1(sender)},
                  {QStringLiteral("time"), QStringLiteral("2026-12-02T09:15:40+01:00")},
                  {QStringLiteral("text"), text}};
    if (ascii) m[QStringLiteral("alphabet")] = QStringLiteral("ascii");
    return {{QStringLiteral("t"), t}, {QStringLiteral("sms"), m}};
}

// The text of an SMS-SUBMIT PDU as gammu's decoder reads it.
QString gammuText(const QString& pdu) {
    QProcess p;
    // Debian's own interpreter: python3-gammu is installed for it.
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import gammu, sys\n"
                            "m = gammu.DecodePDU(bytes.fromhex(sys.argv[1]))\n"
                            "sys.stdout.buffer.write(m['Text'].encode('utf-8'))\n"),
             pdu});
    p.waitForFinished(20000);
    if (p.exitCode() != 0) return QStringLiteral("(gammu: %1)").arg(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

class SmsJourney : public ::testing::Test {
  protected:
    // The Berlin phone with `timeline`, and the window on it. Once the phone
    // is found the window's clock stands at 09:20:05, the cell position is
    // known and (with `chooseEntry`) an entry of the phone-book list is
    // chosen. `autoSend` is the saved interval of automatic sending.
    void start(const QJsonArray& timeline, bool chooseEntry = true, int autoSend = 0) {
        ASSERT_TRUE(folder.dir.isValid());
        QJsonObject scenario = berlinScenario();
        scenario[QStringLiteral("repeatEvery")] = 0;
        scenario[QStringLiteral("timeline")] = timeline;
        const QString scenarioFile = folder.path(QStringLiteral("scenario.json"));
        ASSERT_TRUE(writeJson(scenarioFile, scenario));
        log = folder.path(QStringLiteral("phone.log"));
        const QString link = folder.path(QStringLiteral("phone"));
        ASSERT_TRUE(sim.start(scenarioFile, link, log));
        folder.setUp(link);
        if (autoSend > 0) {
            const std::string ini =
                QFile::encodeName(folder.path(QStringLiteral("Funkor.ini"))).toStdString();
            funkor::ini::writeString(ini, "Sources", "AutoSend", std::to_string(autoSend));
        }

        auto fake = std::make_unique<FakePlatform>();
        platform = fake.get();
        form = std::make_unique<Form1>(StartOptions{}, ProgramFolder{folder.dir.path(), QString()},
                                       std::move(fake));
        Form1& f = *form;
        QObject::connect(f.Sprelo, &SpeechElement::Spoken,
                         [this](const QString& text, int) { spoken << text; });
        f.Form_Load();
        f.List2->show();  // the trace notes the position requests
        ASSERT_TRUE(runUntil([&] { return f.phone.phoneLinked == 1; }, 20000));
        platform->now = QDateTime(QDate(2026, 12, 2), QTime(9, 20, 5));
        f.position.gsmRmc = kGsmRmc;
        if (!chooseEntry) return;
        f.Combo1->addItem(QStringLiteral("Anna : +4917600112233"));
        f.Combo1->setCurrentIndex(0);
    }

    // The SMS-SUBMIT PDUs the phone took after "at+cmgs=", in order.
    QStringList submitted() const {
        QStringList out;
        for (const QByteArray& line : readText(log).split('\n')) {
            // "<time> > <PDU>"; other lines hold commands, and the SIM
            // toolkit's answers come after a prompt too.
            const qsizetype at = line.indexOf(" > 0001");
            if (at >= 0) out << QString::fromLatin1(line.mid(at + 3)).trimmed();
        }
        return out;
    }
    std::string phoneLog() const { return readText(log).right(3000).toStdString(); }

    DataFolder folder;
    Simulator sim;
    QString log;
    FakePlatform* platform = nullptr;
    std::unique_ptr<Form1> form;
    QStringList spoken;
};

}  // namespace

TEST_F(SmsJourney, PlainTextSpokenAndPositionSmsTakenAsTheSmsSource) {
    start({sms(12, "+4917612345678", QStringLiteral("Bin gleich da. Bis später!")),
           sms(26, "+4917698765432", QStringLiteral("$5231200,01324300"), true)});
    Form1& f = *form;

    ASSERT_TRUE(runUntil([&] { return !spoken.isEmpty(); }, 40000)) << phoneLog();
    EXPECT_TRUE(spoken[0].startsWith(QStringLiteral("#VOICE=NAME:SPR.DE.MAREN#SMS von ")));
    EXPECT_TRUE(spoken[0].endsWith(
        QStringLiteral("#PAU=1000##VOICE=NAME:SPR.DE.OSKAR#Bin gleich da. Bis später!")))
        << spoken[0].toStdString();
    EXPECT_EQ(f.Text2->text(), QStringLiteral("Bin gleich da. Bis später!"));

    ASSERT_TRUE(runUntil([&] { return !f.sms.smsRmc.empty(); }, 40000)) << phoneLog();
    EXPECT_EQ(f.sms.smsRmc.substr(0, 52), "$GPRMC,091540,A,5231.200,N,01324.300,E,,,021226,0,E*");
    EXPECT_EQ(f.sms.smsGga.substr(0, 52), "$GPGGA,091540,5231.200,N,01324.300,E,1,12,,,M,,M,,,*");
    EXPECT_TRUE(f.cSMS->isChecked());
    EXPECT_EQ(f.sms.smsMapLink, f.position.mapBase +
                                    "/map.aspx?L=EUR&C=52.52,13.405&A=2&P=|52.52,13.405|1|"
                                    "+4917698765432 09:20|L1|");
    EXPECT_EQ(spoken.size(), 1);
}

TEST_F(SmsJourney, PositionRequestAnsweredOnlyWhenAllowedThenATypedText) {
    start({sms(12, "+4917698765432", QStringLiteral("$SendPosition!"), true)});
    Form1& f = *form;
    auto notes = [&f](const QString& verdict) {
        return f.List2
            ->findItems(QStringLiteral("Positionsanfrage von +4917698765432: ") + verdict,
                        Qt::MatchExactly)
            .size();
    };
    ASSERT_TRUE(runUntil([&] { return notes(QStringLiteral("nicht erlaubt")) == 1; }, 40000))
        << phoneLog();
    EXPECT_TRUE(f.sms.pduPending.empty());
    EXPECT_TRUE(spoken.isEmpty());

    // Allowed now: shown again from the cache, it is answered, to the chosen
    // entry rather than to the asker.
    f.ReqPosEn->setChecked(true);
    f.sms.smsCursor = std::stoi(f.sms.smsIndex) - 1;
    f.SMSrd_Click();
    EXPECT_EQ(notes(QStringLiteral("beantwortet")), 1);
    ASSERT_TRUE(runUntil([&] { return submitted().size() == 1; }, 30000)) << phoneLog();
    // The position text goes out as the low seven bits of each character,
    // which another Funkor reads back as "$"; the GSM alphabet has "¤" there.
    EXPECT_EQ(gammuText(submitted()[0]), QStringLiteral("¤4807123,01134567"))
        << submitted().join(QLatin1Char('\n')).toStdString();
    ASSERT_TRUE(runUntil([&] { return !f.SendPos->isChecked(); }, 20000)) << phoneLog();
    EXPECT_EQ(f.Text1->text(), QStringLiteral("SMS: OK"));

    // A typed message with umlauts, read back by gammu.
    platform->inputAnswers = {QStringLiteral("Grüße aus Köln, Jürgen!")};
    f.SMSb_Click();
    ASSERT_TRUE(runUntil([&] { return submitted().size() == 2; }, 30000)) << phoneLog();
    EXPECT_EQ(gammuText(submitted()[1]), QStringLiteral("Grüße aus Köln, Jürgen!"));
}

// A saved auto-send interval with the SIM's phone book read: nothing goes
// to an entry nobody chose, and no box waits for a click; the first entry
// the user picks gets the next interval's position.
TEST_F(SmsJourney, SavedAutoSendWaitsForTheRecipientTheUserPicks) {
    start({}, false, 1);
    Form1& f = *form;
    EXPECT_EQ(f.AsendS->value(), 1);
    EXPECT_TRUE(f.Timer6->Enabled());
    // The books are read once the check box for them shows.
    ASSERT_TRUE(runUntil([&] { return f.Check1->isVisibleTo(&f); }, 60000)) << phoneLog();
    ASSERT_GE(f.Combo1->count(), 2);
    EXPECT_EQ(f.Combo1->currentIndex(), -1);
    EXPECT_EQ(f.Combo1->currentText(), QString());

    for (int minute = 1; minute <= 2; ++minute) {
        SCOPED_TRACE(minute);
        f.Timer6_Timer();  // the interval is one minute
        EXPECT_FALSE(f.SendPos->isChecked());
        EXPECT_EQ(f.sms.pduPending, "");
        EXPECT_EQ(f.Text1->text(),
                  QStringLiteral("SMS: Kein Empfänger: bitte erst einen Eintrag im Telefonbuch "
                                 "wählen."));
    }
    // A whole pass of the cycle, with its step for messages to send, goes by.
    const qsizetype mark = readText(log).size();
    ASSERT_TRUE(runUntil([&] { return readText(log).mid(mark).contains("AT+CREG"); }, 60000))
        << phoneLog();
    EXPECT_TRUE(submitted().isEmpty()) << phoneLog();
    EXPECT_FALSE(readText(log).toLower().contains("at+cmgs")) << phoneLog();
    EXPECT_TRUE(platform->messages.isEmpty())
        << platform->messages.join(QLatin1Char('\n')).toStdString();

    // The user picks the second entry; the next interval sends to it.
    f.Combo1->setCurrentIndex(1);
    const QString chosen = f.Combo1->currentText();
    ASSERT_NE(chosen, f.Combo1->itemText(0));
    // The cell's broadcast position has replaced the one set at the start.
    const std::string text = funkor::buildPositionSms(f.output.gpsRmc, f.position.gsmRmc).text;
    f.Timer6_Timer();
    EXPECT_TRUE(f.SendPos->isChecked());
    const std::string recipient = funkor::smsRecipient(toCp1252(chosen));
    const std::string pdu = funkor::prepareSms(text, recipient).pdu;
    EXPECT_EQ(f.sms.pduPending, pdu) << recipient;
    ASSERT_TRUE(runUntil([&] { return submitted().size() == 1; }, 30000)) << phoneLog();
    EXPECT_EQ(submitted()[0].toStdString(), pdu) << recipient;
    EXPECT_TRUE(platform->messages.isEmpty());
}

TEST_F(SmsJourney, CallerAnnouncedOnceWithinTwentySecondsAndAgainOnClick) {
    start({QJsonObject{{QStringLiteral("t"), 12},
                       {QStringLiteral("ring"), QStringLiteral("+493098765432")},
                       {QStringLiteral("rings"), 3}}});
    Form1& f = *form;
    auto calls = [this] { return spoken.filter(QStringLiteral("Anruf von ")); };
    ASSERT_TRUE(runUntil([&] { return !calls().isEmpty(); }, 40000)) << phoneLog();
    // The remaining rings each arm the announcement again; the clock stands.
    runEventsFor(10000);
    ASSERT_EQ(calls().size(), 1);
    // Named once the phone book has been read, spelled before.
    EXPECT_TRUE(calls()[0] == QStringLiteral("Anruf von Mutti") ||
                calls()[0] == QStringLiteral("Anruf von plus#CTX=SPELL#+493098765432#CTX#"))
        << calls()[0].toStdString();

    platform->now = platform->now.addSecs(25);
    f.RingL_Click();
    ASSERT_TRUE(runUntil([&] { return calls().size() == 2; }, 3000));
    EXPECT_EQ(calls()[1], calls()[0]);
}
