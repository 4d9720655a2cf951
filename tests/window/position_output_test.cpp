// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalBlocker>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <regex>

#include "app/output/gps_input.h"
#include "app/output/lan_output.h"
#include "app/output/nmea_output.h"
#include "app/output/output_sinks.h"
#include "app/output/source_selection.h"
#include "app/output/winsock_control.h"
#include "core/ini_file.h"
#include "core/nmea.h"
#include "tests/window/output_test_support.h"
#include "tests/window/pty_phone.h"
#include "tests/window/syscall_trace.h"

namespace {

const QColor kGreen(0, 255, 0), kRed(255, 0, 0), kYellow(255, 255, 0), kBlack(0, 0, 0);

// ---- Output cycle against an in-memory sink ----------------------------------

class OutputCycle : public ::testing::Test {
  protected:
    void SetUp() override {
        Form1& f = w.makeOutput();
        w.chooseOutput(QStringLiteral("COM 2"));
        f.nmeaOutput->setSink(funkor::OutputKind::Serial, &sink);
        const auto pair = berlinPair();
        f.position.gsmRmc = pair.rmc;
        f.position.gsmGga = pair.gga;
        f.output.gpsRmc = "$GPRMC,gps*00\r\n";
        f.output.gpsGga = "$GPGGA,gps*00\r\n";
    }
    Form1& f() { return *w.form; }

    OutputWindow w;
    MemorySink sink;
};

TEST_F(OutputCycle, SingleSourceSendsThePairToTheChosenPort) {
    f().cGSM->setChecked(true);
    f().Timer2_Timer();
    ASSERT_EQ(sink.ticks.size(), 1u);
    EXPECT_EQ(sink.ticks[0], f().position.gsmRmc + f().position.gsmGga);
    EXPECT_EQ(sink.target.port, 2);
    // An empty pair sends nothing.
    f().cSMS->setChecked(true);
    f().Timer2_Timer();
    EXPECT_EQ(sink.ticks.size(), 1u);
}

TEST_F(OutputCycle, GatesKeepTheTickQuiet) {
    f().cGSM->setChecked(true);
    f().Timer5->setEnabled(true);
    f().Timer2_Timer();
    f().Timer5->setEnabled(false);
    w.chooseOutput(QStringLiteral("AUS"));
    f().Timer2_Timer();
    w.chooseOutput(QStringLiteral("COM 2"));
    {
        QSignalBlocker block(f().GSM);
        f().GSM->setCurrentIndex(f().GSM->findText(QStringLiteral("STOP")));
    }
    f().Timer2_Timer();
    EXPECT_TRUE(sink.ticks.empty());
    EXPECT_EQ(f().output.sourceRotation, 0);
}

TEST_F(OutputCycle, LeavingTheNetworkStopsAndHidesThePositionAndClosesTheLan) {
    f().cGSM->setChecked(true);
    funkor::ini::writeString(f().settingsPath(), "LAN", "Port", "0");
    w.chooseOutput(QStringLiteral("LAN"));
    f().Timer2_Timer();
    ASSERT_TRUE(f().output.lanStarted);
    ASSERT_EQ(f().Winsock->State(), funkor::kLanListening);
    f().Timer2->setEnabled(true);
    for (QWidget* wd : {static_cast<QWidget*>(f().PosL), static_cast<QWidget*>(f().MBlast),
                        static_cast<QWidget*>(f().ShHome), static_cast<QWidget*>(f().Line1[2])})
        wd->show();
    f().PosL->setText(QStringLiteral("14:05  52° 30' 13\" N"));

    f().network.operatorCode = "26201";
    f().Timer2_Timer();
    EXPECT_FALSE(f().Timer2->Enabled());
    EXPECT_EQ(f().PosL->text(), QString());
    EXPECT_FALSE(f().PosL->isVisibleTo(&f()));
    EXPECT_FALSE(f().MBlast->isVisibleTo(&f()));
    EXPECT_FALSE(f().ShHome->isVisibleTo(&f()));
    EXPECT_FALSE(f().Line1[2]->isVisibleTo(&f()));
    EXPECT_FALSE(f().NMEA->isEnabled());
    EXPECT_FALSE(f().GPS->isEnabled());
    EXPECT_FALSE(f().output.lanStarted);
    EXPECT_EQ(f().Winsock->State(), funkor::kLanClosed);
}

TEST_F(OutputCycle, RotationPrecedesEachPairWithItsSource) {
    f().cMULTI->setChecked(true);
    f().cGPS->setEnabled(true);
    f().cGPS->setChecked(true);
    for (int i = 0; i < 3; ++i) f().Timer2_Timer();
    ASSERT_EQ(sink.ticks.size(), 3u);
    const std::string gps = "$PHSMID,GPS*63\r\n" + f().output.gpsRmc + f().output.gpsGga;
    const std::string gsm = "$PHSMID,GSM*7E\r\n" + f().position.gsmRmc + f().position.gsmGga;
    EXPECT_EQ(sink.ticks[0], gps);
    EXPECT_EQ(sink.ticks[1], gsm);
    EXPECT_EQ(sink.ticks[2], gps);
}

TEST_F(OutputCycle, TraceShowsTheSentencesAndItsLastTen) {
    f().List2->show();
    for (int i = 0; i < 9; ++i) f().List2->addItem(QStringLiteral("line %1").arg(i));
    // Room for ten entries, as the trace has.
    f().List2->resize(f().List2->width(),
                      10 * f().List2->sizeHintForRow(0) + 2 * f().List2->frameWidth());
    f().cGSM->setChecked(true);
    f().Timer2_Timer();
    ASSERT_EQ(f().List2->count(), 11);
    EXPECT_EQ(f().List2->item(9)->text().toStdString() + "\r\n", f().position.gsmRmc);
    EXPECT_EQ(f().List2->item(10)->text().toStdString() + "\r\n", f().position.gsmGga);
    runEventsFor(20);
    EXPECT_EQ(f().List2->indexAt(QPoint(2, 2)).row(), 1);
}

TEST_F(OutputCycle, SmsSourceTickedFromCodeTakesOver) {
    f().cGSM->setChecked(true);
    f().sms.smsRmc = "$GPRMC,sms*00\r\n";
    f().sms.smsGga = "$GPGGA,sms*00\r\n";
    // A received position SMS ticks its source, as a click would.
    f().cSMS->setChecked(true);
    EXPECT_FALSE(f().cGSM->isChecked());
    f().Timer2_Timer();
    ASSERT_EQ(sink.ticks.size(), 1u);
    EXPECT_EQ(sink.ticks[0], f().sms.smsRmc + f().sms.smsGga);
    // Unticking the rotation clears every source.
    f().cMULTI->setChecked(true);
    f().cGSM->setChecked(true);
    EXPECT_TRUE(f().cSMS->isChecked());
    f().cMULTI->setChecked(false);
    EXPECT_FALSE(f().cGSM->isChecked() || f().cGPS->isChecked() || f().cSMS->isChecked());
}

// ---- Automatic sending and the saved sources ----------------------------------

TEST(AutoSend, IntervalStartsTheMinutesAndALoweredIntervalStillSends) {
    OutputWindow w;
    Form1& f = w.makeOutput();
    // A position and a recipient, so that the position SMS really goes out.
    f.position.gsmRmc = "$GPRMC,101500,A,4807.1234,N,01134.5678,E,,,021226,0,E*00\r\n";
    f.Combo1->addItem(QStringLiteral("Anna : +49123456789"));
    f.AsendS->setValue(10);
    EXPECT_EQ(f.AsendL->text(), QStringLiteral("10"));
    EXPECT_TRUE(f.Timer6->Enabled());
    for (int i = 0; i < 5; ++i) f.Timer6_Timer();
    EXPECT_EQ(f.output.autoSendMinutes, 5);
    EXPECT_FALSE(f.SendPos->isChecked());
    f.AsendS->setValue(3);
    f.Timer6_Timer();
    EXPECT_TRUE(f.SendPos->isChecked());
    EXPECT_EQ(f.output.autoSendMinutes, 0);
    f.AsendS->setValue(0);
    EXPECT_EQ(f.AsendL->text(), QStringLiteral("-"));
    EXPECT_FALSE(f.Timer6->Enabled());
}

TEST(SavedSources, SaveWritesThemAndStartRestoresThemThroughTheHandlers) {
    OutputWindow w;
    {
        Form1& f =
            w.makeOutput("[Ports]\r\nGSM=17\r\nGPS=3\r\n[Devices]\r\nCOM3=/nonexistent/gps\r\n");
        f.cMULTI->setChecked(true);
        f.cGSM->setChecked(true);
        f.cGPS->setChecked(true);
        f.AsendS->setValue(15);
        f.SAVE_Click();
    }
    const std::string ini = w.path(QStringLiteral("Funkor.ini")).toStdString();
    EXPECT_EQ(funkor::ini::getString(ini, "Sources", "MULTI"), "1");
    EXPECT_EQ(funkor::ini::getString(ini, "Sources", "GPS"), "1");
    EXPECT_EQ(funkor::ini::getString(ini, "Sources", "SMS"), "0");
    EXPECT_EQ(funkor::ini::getString(ini, "Sources", "AutoSend"), "15");

    // Phone link on COM 1: all saved sources come back.
    funkor::ini::writeString(ini, "Ports", "GSM", "1");
    funkor::ini::writeString(ini, "Ports", "Baud", "0");
    funkor::ini::writeString(ini, "Devices", "COM1", "/nonexistent/phone");
    Form1& f = w.make();
    f.Timer1->setEnabled(false);
    EXPECT_TRUE(f.cMULTI->isChecked());
    EXPECT_TRUE(f.cGSM->isChecked());
    EXPECT_TRUE(f.cGPS->isChecked());
    EXPECT_EQ(f.AsendS->value(), 15);
    EXPECT_EQ(f.AsendL->text(), QStringLiteral("15"));
    EXPECT_TRUE(f.Timer6->Enabled());

    // Without a GPS port the GPS source stays unticked.
    funkor::ini::writeString(ini, "Ports", "GPS", "0");
    Form1& g = w.make();
    g.Timer1->setEnabled(false);
    EXPECT_FALSE(g.cGPS->isChecked());
    EXPECT_TRUE(g.cGSM->isChecked());
}

// ---- GPS input over a pseudo-terminal ---------------------------------------------

class GpsPort : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(receiver.ok());
        w.writeFile(QStringLiteral("Funkor.ini"),
                    "[Devices]\r\nCOM3=" + receiver.slave().toLocal8Bit() + "\r\n");
        Form1& f = w.makeOutput();
        f.GPS->setCurrentIndex(3);
        ASSERT_TRUE(f.Comm3->PortOpen()) << f.Comm3->lastError().toStdString();
    }
    Form1& f() { return *w.form; }
    // Sends bytes as the receiver and waits until the input has framed them.
    void receive(const std::string& bytes) {
        const qint64 before = f().gpsInput->bytesTaken();
        receiver.send(bytes);
        ASSERT_TRUE(runUntil([&] {
            return f().gpsInput->bytesTaken() >= before + static_cast<qint64>(bytes.size()) &&
                   !f().gpsInput->receivePending();
        }));
    }

    PtyPhone receiver;
    OutputWindow w;
};

TEST_F(GpsPort, BurstSplitLinesAndLoneLineFeeds) {
    const std::string rmc =
        "$GPRMC,030721.000,A,3747.0876,S,17518.8934,E,0.89,181.39,311214,,,A*71";
    const std::string gsv = "$GPGSV,3,3,12,11,12,132,04,08,38,008,,02,35,348,,03,14,091,*73";
    const std::string gga =
        "$GPGGA,030722.000,3747.0877,S,17518.8933,E,1,08,1.1,60.1,M,23.7,M,,0000*78";
    receive(rmc + "\r\n" + gsv + "\r\n" + gga.substr(0, 30));
    EXPECT_EQ(f().output.gpsRmc, rmc + "\r\n");
    EXPECT_EQ(f().output.gpsLineBuffer, gga.substr(0, 30));
    EXPECT_EQ(f().GPSstat->fillColor(), kGreen);
    receive(gga.substr(30) + "\r\n\n");
    EXPECT_EQ(f().output.gpsGga, gga + "\r\n");
    EXPECT_TRUE(f().output.gpsLineBuffer.empty());
    EXPECT_EQ(f().GPSstat->fillColor(), f().palette().color(QPalette::Window));
}

TEST_F(GpsPort, ChoosingAusClosesThePortAndTakesTheSourceAway) {
    f().cGPS->setChecked(true);
    f().GPS->setCurrentIndex(0);
    EXPECT_FALSE(f().Comm3->PortOpen());
    EXPECT_FALSE(f().cGPS->isChecked());
    EXPECT_FALSE(f().cGPS->isEnabled());
    // The phone's own port is not opened for the receiver.
    f().GPS->setCurrentIndex(1);
    EXPECT_FALSE(f().Comm3->PortOpen());
    EXPECT_TRUE(f().cGPS->isEnabled());
}

TEST_F(GpsPort, ReceiverThatVanishesPaintsRed) {
    receive("$GPRMC,1*00\r\n");
    receiver.close();
    EXPECT_TRUE(runUntil([&] { return !f().Comm3->PortOpen(); }));
    EXPECT_EQ(f().GPSstat->fillColor(), kRed);
    EXPECT_EQ(f().output.gpsRmc, "$GPRMC,1*00\r\n");
}

// Unplugged half-way through a sentence and plugged in again under the same
// name: the port is opened again by itself, and the sentence cut short is
// not glued to the first one of the new line.
TEST(GpsReceiver, PluggedInAgainIsReadAgainWithoutTheCutSentence) {
    const std::string rmc =
        "$GPRMC,030721.000,A,3747.0876,S,17518.8934,E,0.89,181.39,311214,,,A*71";
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("gps"));
    auto first = std::make_unique<PtyPhone>();
    ASSERT_TRUE(first->ok());
    ASSERT_TRUE(QFile::link(first->slave(), link));
    OutputWindow w;
    w.writeFile(QStringLiteral("Funkor.ini"), "[Devices]\r\nCOM3=" + link.toLocal8Bit() + "\r\n");
    Form1& f = w.makeOutput();
    f.GPS->setCurrentIndex(3);
    ASSERT_TRUE(f.Comm3->PortOpen()) << f.Comm3->lastError().toStdString();

    first->send(rmc.substr(0, 25));
    ASSERT_TRUE(
        runUntil([&] { return f.gpsInput->bytesTaken() >= 25 && !f.gpsInput->receivePending(); }));
    first.reset();
    QFile::remove(link);
    ASSERT_TRUE(runUntil([&] { return !f.Comm3->PortOpen(); }));
    EXPECT_EQ(f.output.gpsLineBuffer, "");
    EXPECT_TRUE(f.gpsInput->reopenPending());

    PtyPhone back;
    ASSERT_TRUE(back.ok());
    ASSERT_TRUE(QFile::link(back.slave(), link));
    ASSERT_TRUE(runUntil([&] { return f.Comm3->PortOpen(); }, 60000));
    EXPECT_FALSE(f.gpsInput->reopenPending());
    // The new line starts mid-sentence, as a receiver's does.
    back.send(rmc.substr(40) + "\r\n" + rmc + "\r\n");
    ASSERT_TRUE(runUntil([&] { return !f.output.gpsRmc.empty(); }));
    EXPECT_EQ(f.output.gpsRmc, rmc + "\r\n");
}

// A recorded sentence as a receiver of several satellite systems sends it:
// the talker "GP" becomes `talker`, the checksum is computed afresh.
std::string withTalker(const std::string& sentence, const std::string& talker) {
    if (talker == "GP" || sentence.rfind("$GP", 0) != 0) return sentence;
    const std::size_t star = sentence.find('*');
    const std::string body =
        talker + sentence.substr(3, star == std::string::npos ? std::string::npos : star - 3);
    return "$" + body + "*" + funkor::nmeaChecksum(body);
}

// Recorded receivers, replayed as they sent: CR LF line ends, a burst a
// second, each burst cut at arbitrary places by the line, with a stray LF
// now and then. The last RMC and GGA of each log reach the output unchanged,
// as recorded and rewritten with the talker "GN" of receivers that combine
// GPS, GLONASS, Galileo and BeiDou (u-blox 8 and later).
TEST_F(GpsPort, RecordedReceiverLogsReachTheOutputUnchanged) {
    MemorySink sink;
    f().nmeaOutput->setSink(funkor::OutputKind::Serial, &sink);
    w.chooseOutput(QStringLiteral("COM 2"));
    f().cGPS->setChecked(true);
    std::mt19937 rng(1234);
    for (const std::string talker : {"GP", "GN"}) {
        for (const char* log : {"nl551e.nmea", "haicom-305N.nmea", "bu353s4.nmea"}) {
            SCOPED_TRACE(talker + " " + log);
            QFile file(QStringLiteral(FUNKOR_SOURCE_DIR "/tests/data/gps-logs/") +
                       QLatin1String(log));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            std::string stream, lastRmc, lastGga;
            for (const QByteArray& raw : file.readAll().split('\n')) {
                const std::string line = withTalker(raw.trimmed().toStdString(), talker);
                if (line.empty() || line[0] == '#') continue;
                stream += line + "\r\n";
                if (rng() % 7 == 0) stream += "\n";
                if (line.rfind("$" + talker + "RMC", 0) == 0) lastRmc = line + "\r\n";
                if (line.rfind("$" + talker + "GGA", 0) == 0) lastGga = line + "\r\n";
            }
            ASSERT_FALSE(lastRmc.empty() || lastGga.empty());
            for (std::size_t at = 0; at < stream.size();) {
                const std::size_t n = std::min<std::size_t>(1 + rng() % 700, stream.size() - at);
                receive(stream.substr(at, n));
                at += n;
            }
            EXPECT_EQ(f().output.gpsRmc, lastRmc);
            EXPECT_EQ(f().output.gpsGga, lastGga);
            EXPECT_TRUE(f().output.gpsLineBuffer.empty());
            f().Timer2_Timer();
            ASSERT_FALSE(sink.ticks.empty());
            EXPECT_EQ(sink.ticks.back(), lastRmc + lastGga);
        }
    }
}

// ---- Serial output read back from a pseudo-terminal --------------------------------

TEST(SerialOutput, EveryTickArrivesWholeWithValidChecksumsAndThePortIsClosedBetween) {
    PtyPhone reader;
    ASSERT_TRUE(reader.ok());
    // The reader holds the line open, so the output's closing of the port
    // between ticks does not hang it up.
    const int holder = ::open(reader.slave().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(holder, 0);
    OutputWindow w;
    Form1& f = w.makeOutput("[Devices]\r\nCOM2=" + reader.slave().toLocal8Bit() + "\r\n");
    w.chooseOutput(QStringLiteral("COM 2"));
    const auto pair = berlinPair();
    f.position.gsmRmc = pair.rmc;
    f.position.gsmGga = pair.gga;
    f.output.gpsRmc = "$GPRMC,030721.000,A,3747.0876,S,17518.8934,E,0.89,181.39,311214,,,A*71\r\n";
    f.output.gpsGga =
        "$GPGGA,030722.000,3747.0877,S,17518.8933,E,1,08,1.1,60.1,M,23.7,M,,0000*78\r\n";
    f.cMULTI->setChecked(true);
    f.cGSM->setChecked(true);
    f.cGPS->setEnabled(true);
    f.cGPS->setChecked(true);
    std::string got;
    for (int i = 0; i < 4; ++i) {
        f.Timer2_Timer();
        EXPECT_FALSE(f.Comm2->PortOpen());
        EXPECT_EQ(f.TCPstat->fillColor(), f.palette().color(QPalette::Window));
    }
    got = reader.settle(100);
    int sentences = 0;
    EXPECT_TRUE(allChecksumsValid(got, &sentences)) << got;
    EXPECT_EQ(sentences, 12);
    const std::string gsm = "$PHSMID,GSM*7E\r\n" + pair.rmc + pair.gga;
    const std::string gps = "$PHSMID,GPS*63\r\n" + f.output.gpsRmc + f.output.gpsGga;
    EXPECT_EQ(got, gsm + gps + gsm + gps);
    ::close(holder);
}

// What the kernel is told to do with the output port, tick by tick: the
// sentences written, then (on a thread of its own, so that the window never
// waits the 240 ms a tick's sentences take at 4800 baud) the wait until they
// have left the port, only then the settings the port had before (9600 baud
// here) put back and the port closed; the next use of the port opens it
// only after that.
TEST(SerialOutput, BytesLeaveThePortBeforeItsSettingsComeBackAndItCloses) {
    const auto pair = berlinPair();
    const std::string rmc = "$GPRMC,120000,A,4807.4040,N,01134.5000,E,,,081226,0,E*6B";
    const std::string gga = "$GPGGA,120000,4807.4040,N,01134.5000,E,1,12,,,M,,M,,,*4B";
    const struct {
        const char* legend;
        std::function<void(Form1&)> ticks;
        std::string bytes;  // what the reader gets
    } cases[] = {
        {"two output ticks in a row",
         [](Form1& f) {
             f.Timer2_Timer();
             f.Timer2_Timer();
         },
         pair.rmc + pair.gga + pair.rmc + pair.gga},
        {"the log replay right after a tick",
         [](Form1& f) {
             f.Timer2_Timer();
             f.Timer5_Timer();
         },
         pair.rmc + pair.gga + rmc + "\r\n" + gga + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.legend);
        PtyPhone reader;
        ASSERT_TRUE(reader.ok());
        // The reader holds the line open at 9600 baud, its own speed.
        const int holder = ::open(reader.slave().toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        ASSERT_GE(holder, 0);
        termios line{};
        ASSERT_EQ(::tcgetattr(holder, &line), 0);
        ::cfsetspeed(&line, B9600);
        ASSERT_EQ(::tcsetattr(holder, TCSANOW, &line), 0);
        OutputWindow w;
        Form1& f = w.makeOutput("[Devices]\r\nCOM2=" + reader.slave().toLocal8Bit() + "\r\n");
        w.chooseOutput(QStringLiteral("COM 2"));
        f.position.gsmRmc = pair.rmc;
        f.position.gsmGga = pair.gga;
        f.position.reviewRmc = rmc;
        f.position.reviewGga = gga;
        f.cGSM->setChecked(true);

        SyscallTrace trace(QStringLiteral("openat,write,ioctl,close"));
        ASSERT_TRUE(trace.attached());
        c.ticks(f);
        EXPECT_FALSE(f.Comm2->PortOpen());
        EXPECT_EQ(reader.takeUntil(c.bytes, 30000), c.bytes);
        ASSERT_TRUE(runUntil([&] { return !f.Comm2->closing(); }));
        const auto calls = trace.stop(reader.slave());

        // Each use of the port, from its first write to the next opening
        // (what the opening itself sets comes before the first write).
        struct Use {
            std::string steps;  // W write, C close, D drain, S settings set
            std::vector<SyscallTrace::Call> restores;
            long drainThread = 0;
        };
        std::vector<Use> uses;
        std::vector<std::string> beforeNextOpen;
        bool opening = true;
        for (const auto& call : calls) {
            if (call.name == "openat") {
                if (!opening) beforeNextOpen.push_back(uses.back().steps);
                opening = true;
                continue;
            }
            const bool write = call.name == "write";
            if (opening && !write) continue;
            if (opening) uses.push_back({});
            opening = false;
            Use& use = uses.back();
            if (write) {
                use.steps += 'W';
            } else if (call.name == "close") {
                use.steps += 'C';
            } else if (call.request == "TCSBRK") {
                use.steps += 'D';
                use.drainThread = call.thread;
            } else if (call.request.starts_with("TCSETS")) {
                use.steps += 'S';
                use.restores.push_back(call);
            }
        }
        ASSERT_EQ(uses.size(), 2u);
        // A second descriptor waits for the bytes to leave (D) and closes
        // (C); then the port puts the earlier settings back (S) and closes
        // (C). The next use opens only after that.
        const std::regex drained("W+DCSC");
        ASSERT_EQ(beforeNextOpen.size(), 1u);
        EXPECT_TRUE(std::regex_match(beforeNextOpen[0], drained)) << beforeNextOpen[0];
        for (const Use& use : uses) {
            EXPECT_TRUE(std::regex_match(use.steps, drained)) << use.steps;
            ASSERT_EQ(use.restores.size(), 1u);
            EXPECT_NE(use.restores[0].line.find("B9600"), std::string::npos)
                << use.restores[0].line;
            EXPECT_NE(use.drainThread, static_cast<long>(::getpid()));
        }
        ::close(holder);
    }
}

// ---- Hardware port and printer into files -------------------------------------------

TEST(DeviceOutput, HardwarePortBytesGoToTheTransmitRegisterInOrder) {
    OutputWindow w;
    // A file stands in for /dev/port: every byte lands at the same offset.
    w.writeFile(QStringLiteral("port"), QByteArray());
    w.writeFile(QStringLiteral("lp"), QByteArray());
    Form1& f = w.makeOutput("[Devices]\r\nPort=" + w.path(QStringLiteral("port")).toLocal8Bit() +
                            "\r\nLPT1=" + w.path(QStringLiteral("lp")).toLocal8Bit() + "\r\n");
    const auto pair = berlinPair();
    f.position.gsmRmc = pair.rmc;
    f.position.gsmGga = pair.gga;
    f.cGSM->setChecked(true);
    w.chooseOutput(QStringLiteral("Port2"));
    // Each byte overwrites the one before at the register's address: the
    // writes themselves, as the kernel got them, tell the bytes' order.
    SyscallTrace trace(QStringLiteral("pwrite64"));
    ASSERT_TRUE(trace.attached());
    f.Timer2_Timer();
    HardwarePortSink& port = f.nmeaOutput->hardwarePort();
    ASSERT_TRUE(port.waitIdle(10000));
    std::string bytes;
    for (const auto& call : trace.stop(w.path(QStringLiteral("port")))) {
        EXPECT_EQ(call.offset, 0x2F8);
        EXPECT_EQ(call.bytes.size(), 1u);
        bytes += call.bytes;
    }
    EXPECT_EQ(bytes, pair.rmc + pair.gga);
    EXPECT_EQ(port.bytesWritten(), static_cast<long>(pair.rmc.size() + pair.gga.size()));
    const QByteArray file = w.readFile(QStringLiteral("port"));
    ASSERT_EQ(file.size(), 0x2F8 + 1);
    EXPECT_EQ(file.at(0x2F8), '\n');  // the last byte of the GGA sentence

    w.chooseOutput(QStringLiteral("LPT1"));
    f.Timer2_Timer();
    f.Timer2_Timer();
    EXPECT_EQ(w.readFile(QStringLiteral("lp")).toStdString(),
              pair.rmc + pair.gga + pair.rmc + pair.gga);
}

TEST(DeviceOutput, MissingDevicesArePassedOver) {
    OutputWindow w;
    Form1& f =
        w.makeOutput("[Devices]\r\nPort=" + w.path(QStringLiteral("none/port")).toLocal8Bit() +
                     "\r\nLPT1=/dev/nonexistent-lp\r\nCOM5=/nonexistent/tty\r\n");
    f.position.gsmRmc = "$GPRMC*00\r\n";
    f.position.gsmGga = "$GPGGA*00\r\n";
    f.cGSM->setChecked(true);
    for (const char* item : {"Port1", "LPT1", "COM 5"}) {
        w.chooseOutput(QString::fromLatin1(item));
        f.Timer2_Timer();
    }
    ASSERT_TRUE(f.nmeaOutput->hardwarePort().waitIdle(10000));
    EXPECT_EQ(f.nmeaOutput->hardwarePort().bytesWritten(), 0);
    EXPECT_FALSE(QFile::exists(w.path(QStringLiteral("none/port"))));
    EXPECT_TRUE(w.platform->messages.isEmpty());
}

// ---- LAN output with a real client ---------------------------------------------

TEST(LanOutput, ClientLifecycleColoursAndNoMessageWhenItLeaves) {
    OutputWindow w;
    Form1& f = w.makeOutput("[LAN]\r\nPort=0\r\nAddress=127.0.0.1\r\n");
    w.chooseOutput(QStringLiteral("LAN"));
    const auto pair = berlinPair();
    f.position.gsmRmc = pair.rmc;
    f.position.gsmGga = pair.gga;
    f.cGSM->setChecked(true);

    f.Timer2_Timer();  // starts listening; nobody there yet
    EXPECT_EQ(f.Winsock->State(), funkor::kLanListening);
    EXPECT_EQ(f.TCPstat->fillColor(), kYellow);
    const quint16 port = f.Winsock->ListeningPort();
    ASSERT_NE(port, 0);

    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(runUntil([&] { return f.Winsock->State() == funkor::kLanConnected; }));
    // Further clients are refused while this one is served.
    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, port);
    EXPECT_TRUE(runUntil([&] { return second.state() == QAbstractSocket::UnconnectedState; }));

    client.write("hello from the client\r\n");
    f.Timer2_Timer();
    EXPECT_EQ(f.TCPstat->fillColor(), kGreen);
    ASSERT_TRUE(runUntil([&] {
        return client.bytesAvailable() >= static_cast<qint64>(pair.rmc.size() + pair.gga.size());
    }));
    EXPECT_EQ(client.readAll().toStdString(), pair.rmc + pair.gga);

    client.disconnectFromHost();
    ASSERT_TRUE(runUntil([&] { return f.Winsock->State() == funkor::kLanClosing; }));
    f.Timer2_Timer();  // closing: black, then closed: red and given up
    EXPECT_EQ(f.TCPstat->fillColor(), kRed);
    EXPECT_FALSE(f.output.lanStarted);
    f.Timer2_Timer();  // listening again
    EXPECT_EQ(f.Winsock->State(), funkor::kLanListening);
    EXPECT_TRUE(w.platform->messages.isEmpty()) << w.platform->messages.join('\n').toStdString();
}

TEST(LanOutput, PortInUseIsReportedOnceWithTheSettingToChange) {
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::Any, 0));
    OutputWindow w;
    Form1& f = w.makeOutput("[LAN]\r\nPort=" + QByteArray::number(holder.serverPort()) + "\r\n");
    w.chooseOutput(QStringLiteral("LAN"));
    f.position.gsmRmc = "$GPRMC*00\r\n";
    f.position.gsmGga = "$GPGGA*00\r\n";
    f.cGSM->setChecked(true);
    for (int i = 0; i < 4; ++i) f.Timer2_Timer();
    ASSERT_EQ(w.platform->messages.size(), 1);
    EXPECT_TRUE(w.platform->messages[0].startsWith(QStringLiteral("Winsock-Error No: 10048   ")));
    EXPECT_TRUE(w.platform->messages[0].contains(QStringLiteral("[LAN]")));
    EXPECT_EQ(f.TCPstat->fillColor(), kRed);
}

}  // namespace
