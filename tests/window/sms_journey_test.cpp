// The window against the simulated phone over a pseudo-terminal: messages
// arriving, a position SMS taken as the SMS source, a position request
// answered only when allowed, a typed SMS with umlauts sent and read back by
// gammu's own PDU decoder, and a caller announced once within 20 seconds.
// The window's clock stands still once the phone is found, so the hold-off is
// measured on that clock, never by waiting.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QProcess>

#include "tests/e2e/e2e_support.h"
#include "tests/window/pty_phone.h"
#include "tests/window/window_test_support.h"

using namespace e2e;

namespace {

const char* const kGsmRmc = "$GPRMC,101500,A,4807.1234,N,01134.5678,E,,,021226,0,E*00\r\n";

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
    // known and an entry of the phone-book list is chosen.
    void start(const QJsonArray& timeline) {
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
