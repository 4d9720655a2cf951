// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The position engine and the output cycle built from their handles alone:
// their own elements, the state structs and the topics they call, with no
// main window anywhere.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLocale>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QWidget>

#include "app/base/elements.h"
#include "app/base/serial_port_component.h"
#include "app/base/window_state.h"
#include "app/base/write_problems.h"
#include "app/output/gps_input.h"
#include "app/output/lan_output.h"
#include "app/output/map_link.h"
#include "app/output/nmea_output.h"
#include "app/output/source_selection.h"
#include "app/output/winsock_control.h"
#include "app/position/cell_site_files.h"
#include "app/position/display_switches.h"
#include "app/position/position_engine.h"
#include "app/position/position_feed.h"
#include "app/position/position_log.h"
#include "app/position/position_panel.h"
#include "app/support/program_folder.h"
#include "tests/window/fake_platform.h"
#include "tests/window/output_test_support.h"

namespace {

// Every element and topic of the position and output half, made in the
// order the window makes them. Elements are children of one plain widget.
struct PositionHalf {
    QTemporaryDir dir;
    ProgramFolder folder{dir.path(), QString()};
    FakePlatform platform;
    WriteProblems writeProblems;
    NetworkState network;
    PositionState position;
    OutputState output;
    SmsState sms;
    std::string settings = (dir.path() + QStringLiteral("/Funkor.ini")).toStdString();
    QStringList traced;
    bool commandCycleRunning = true;

    QWidget parent;
    template <class T, class... A>
    T* make(A&&... args) {
        auto* w = new T(std::forward<A>(args)...);
        w->setParent(&parent);
        return w;
    }
    LabelElement *PosL = make<LabelElement>(), *Zone = make<LabelElement>(),
                 *Netz2 = make<LabelElement>(), *Entf = make<LabelElement>(),
                 *Cell = make<LabelElement>(), *Netz = make<LabelElement>(),
                 *AsendL = make<LabelElement>(), *GsmL = make<LabelElement>();
    QCheckBox *ShCell = make<QCheckBox>(), *ShHome = make<QCheckBox>(), *cGSM = make<QCheckBox>(),
              *cGPS = make<QCheckBox>(), *cSMS = make<QCheckBox>(), *cMULTI = make<QCheckBox>(),
              *MBlast = make<QCheckBox>(), *Trace = make<QCheckBox>(), *TrNew = make<QCheckBox>(),
              *SendPos = make<QCheckBox>();
    QComboBox *NMEA = make<QComboBox>(), *GSM = make<QComboBox>(), *GPS = make<QComboBox>();
    TimerElement *Timer2 = make<TimerElement>(), *Timer5 = make<TimerElement>(),
                 *Timer6 = make<TimerElement>();
    SerialPortComponent *Comm2 = make<SerialPortComponent>(), *Comm3 = make<SerialPortComponent>();
    ShapeElement *TCPstat = make<ShapeElement>(), *GPSstat = make<ShapeElement>();
    QScrollBar* AsendS = make<QScrollBar>();
    QPushButton* NewL = make<QPushButton>();
    WinsockControl* Winsock = make<WinsockControl>();

    TraceList trace{[] { return true; }, [this](const QString& entry, bool) { traced << entry; },
                    [] {}};
    PositionPanel panel{PositionPanel::Elements{
        PosL, Zone, Netz2, Entf, {PosL, MBlast, SendPos, Cell}, {Zone, Entf, ShHome}, {GsmL}, {}}};
    CellSiteFiles cellSiteFiles{
        CellSiteFiles::Elements{Cell}, network, position, platform, folder, writeProblems};
    SourceSelection sources{
        SourceSelection::Elements{cGSM, cGPS, cSMS, cMULTI, AsendS, AsendL, Timer6}, output,
        settings, [] {}};
    GpsInput gpsInput{GpsInput::Elements{GPS, Comm3, GPSstat, GSM}, output, sources};
    LanOutput lanOutput{LanOutput::Elements{Winsock, TCPstat},
                        network,
                        position,
                        output,
                        platform,
                        settings,
                        sources,
                        trace};
    MapLink mapLink{MapLink::Elements{MBlast, Timer5},
                    position,
                    sms,
                    platform,
                    sources,
                    [](const std::string&, const std::string&) {}};
    PositionLog positionLog{PositionLog::Elements{Trace, TrNew, NewL},
                            network,
                            position,
                            platform,
                            folder,
                            writeProblems,
                            cellSiteFiles,
                            mapLink};
    NmeaOutput nmeaOutput{NmeaOutput::Elements{NMEA, Timer2, Comm2, TCPstat, GSM},
                          network,
                          position,
                          output,
                          sms,
                          settings,
                          NmeaOutput::Topics{sources, lanOutput, mapLink},
                          trace,
                          [] { return false; },
                          [this] { feed.leaveNetwork(); }};
    PositionFeed feed{network, position,
                      PositionFeed::Topics{panel, nmeaOutput, gpsInput, mapLink, positionLog,
                                           lanOutput, sources}};
    PositionEngine* engine = nullptr;
    DisplaySwitches switches{
        DisplaySwitches::Elements{ShCell, ShHome, Netz},
        network,
        position,
        panel,
        cellSiteFiles,
        DisplaySwitches::Calls{[this] { engine->ComputeCellPosition(); },
                               [this](bool on) { commandCycleRunning = on; }, [] {}}};
    PositionEngine positionEngine{network, position, platform, folder,
                                  PositionEngine::Topics{switches, cellSiteFiles, feed}};

    PositionHalf() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        engine = &positionEngine;
        GSM->addItems({QStringLiteral("COM 1"), QStringLiteral("STOP")});
        NMEA->addItems({QString(), QStringLiteral("COM 3"), QStringLiteral("LAN")});
        // A Berlin cell on O2 whose SIM zones are known.
        network.operatorCode = "26207";
        network.cellKey = "4E21C67C26207";
        network.sectorLetter = "B";
        network.taDistance = 1365;
        network.homeZone = {459870, 581994, 1500, "Daheim"};
        network.cityZone = {459800, 582000, 20000, "Berlin"};
        network.homeKey = "459870581994";
        network.regionText = "Region: O-BLN";
        position.o2Lines.lines[1] = "4600   5820      30 Berlin";
        position.o2Lines.count = 1;
    }
    ~PositionHalf() { QLocale::setDefault(QLocale::c()); }
};

bool shown(const QWidget* w) {
    return !w->isHidden();
}

}  // namespace

TEST(TopicHandles, PositionEngineSpreadsABroadcastPositionOverItsTopics) {
    PositionHalf h;
    for (QWidget* w : std::initializer_list<QWidget*>{h.PosL, h.Zone, h.ShHome}) w->hide();
    // Home 1.3 km east of the site: the city zone names the place.
    h.network.homeZone = {460000, 581994, 500, "Daheim"};
    h.position.cbPage = "001000DD0111B45A0E7783D570B15C8E06";
    h.positionEngine.ComputeCellPosition();

    EXPECT_EQ(h.position.positionKey, "459870581994");
    EXPECT_EQ(h.position.gsmRmc.substr(0, 7), "$GPRMC,");
    EXPECT_EQ(h.position.gsmGga.substr(0, 7), "$GPGGA,");
    EXPECT_FALSE(h.position.gsmFromDatabase);
    EXPECT_EQ(h.Zone->text(), QStringLiteral("Region: O-BLN / Berlin"));
    EXPECT_EQ(h.Netz2->text(), QStringLiteral("Berlin"));
    EXPECT_EQ(h.Entf->text(), QStringLiteral("1,3 km"));
    EXPECT_FALSE(h.PosL->text().isEmpty());
    for (QWidget* w : std::initializer_list<QWidget*>{h.PosL, h.Zone, h.ShHome})
        EXPECT_TRUE(shown(w));
    EXPECT_TRUE(h.NMEA->isEnabled());
    EXPECT_TRUE(h.Timer2->Enabled());

    // The home display switch stops the command cycle through its call and
    // shows home: the position key becomes the home's, no sentences change.
    const std::string rmc = h.position.gsmRmc;
    h.ShHome->setChecked(true);
    h.switches.ShHome_Click();
    EXPECT_FALSE(h.commandCycleRunning);
    EXPECT_EQ(h.Cell->text(), QStringLiteral(" Home"));
    EXPECT_EQ(h.position.gsmRmc, rmc);
}

// Each origin's position reaches the same consumers; only a broadcast one
// fills the zone displays and opens a GPS port chosen before the phone.
TEST(TopicHandles, PositionFeedReachesEveryConsumerOfAnOrigin) {
    const struct {
        const char* legend;
        PositionOrigin origin;
        bool zone, fromDatabase;
    } rows[] = {
        {"broadcast", PositionOrigin::Broadcast, true, false},
        {"cell database", PositionOrigin::CellDatabase, false, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.legend);
        PositionHalf h;
        h.Timer2->setEnabled(false);
        h.feed.offer(r.origin);
        EXPECT_TRUE(h.NMEA->isEnabled());
        EXPECT_TRUE(h.GPS->isEnabled());
        FeedPosition p;
        p.origin = r.origin;
        p.caption = QStringLiteral("12:00  52° 31' 0\" N  13° 24' 0\" O");
        p.toolTip = QStringLiteral("Zellen-Datenbank");
        p.sentences = {"$GPRMC,R*00\r\n", "$GPGGA,G*00\r\n"};
        p.mapAddress = "http://map/?P=1";
        if (r.zone) p.zone = ZoneDisplay{QStringLiteral("Region: O-BLN"), {}, "Berlin", {}};
        h.feed.publish(p);
        EXPECT_EQ(h.PosL->text(), p.caption);
        EXPECT_EQ(h.PosL->toolTip(), p.toolTip);
        EXPECT_EQ(h.position.gsmRmc, p.sentences.rmc);
        EXPECT_EQ(h.position.gsmGga, p.sentences.gga);
        EXPECT_EQ(h.position.mapAddress, p.mapAddress);
        EXPECT_EQ(h.position.gsmFromDatabase, r.fromDatabase);
        EXPECT_EQ(h.network.zoneName, r.zone ? "Berlin" : "");
        EXPECT_EQ(h.Zone->text().isEmpty(), !r.zone);
        EXPECT_TRUE(h.Timer2->Enabled());

        // The next cell has no position yet; then the network is left.
        h.feed.leave();
        EXPECT_EQ(h.PosL->text(), QString());
        EXPECT_EQ(h.position.gsmRmc, "");
        EXPECT_FALSE(h.position.gsmFromDatabase);
        h.feed.leaveNetwork();
        EXPECT_FALSE(h.Timer2->Enabled());
        EXPECT_FALSE(h.NMEA->isEnabled());
        EXPECT_FALSE(h.GPS->isEnabled());
        EXPECT_FALSE(shown(h.PosL));
    }
}

TEST(TopicHandles, NmeaOutputSendsTheChosenPairAndStopsOffTheNetwork) {
    PositionHalf h;
    MemorySink sink;
    h.nmeaOutput.setSink(funkor::OutputKind::Serial, &sink);
    h.position.gsmRmc = "$GPRMC,A*00\r\n";
    h.position.gsmGga = "$GPGGA,B*00\r\n";
    h.output.gpsRmc = "$GPRMC,G*00\r\n";
    h.output.gpsGga = "$GPGGA,G*00\r\n";
    h.NMEA->setCurrentIndex(1);

    struct Row {
        const char* legend;
        bool gsm, gps, multi;
        std::vector<std::string> ticks;  // what the sink gets, tick by tick
    };
    const Row rows[] = {
        {"GSM alone", true, false, false, {"$GPRMC,A*00\r\n$GPGGA,B*00\r\n"}},
        {"GPS alone", false, true, false, {"$GPRMC,G*00\r\n$GPGGA,G*00\r\n"}},
        {"rotation GSM, GPS",
         true,
         true,
         true,
         {"$PHSMID,GSM*7E\r\n$GPRMC,A*00\r\n$GPGGA,B*00\r\n",
          "$PHSMID,GPS*63\r\n$GPRMC,G*00\r\n$GPGGA,G*00\r\n",
          "$PHSMID,GSM*7E\r\n$GPRMC,A*00\r\n$GPGGA,B*00\r\n"}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.legend);
        sink.ticks.clear();
        h.output.sourceRotation = funkor::SourceRotation::NotYet;
        h.cMULTI->setChecked(r.multi);
        h.cGSM->setChecked(r.gsm);
        h.cGPS->setChecked(r.gps);
        for (std::size_t i = 0; i < r.ticks.size(); ++i) h.nmeaOutput.Timer2_Timer();
        EXPECT_EQ(sink.ticks, r.ticks);
        EXPECT_EQ(sink.target.port, 3);
    }

    // Off the position network the cycle stops and the panel goes.
    h.Timer2->setEnabled(true);
    h.network.operatorCode = "26201";
    sink.ticks.clear();
    h.nmeaOutput.Timer2_Timer();
    EXPECT_TRUE(sink.ticks.empty());
    EXPECT_FALSE(h.Timer2->Enabled());
    EXPECT_FALSE(shown(h.PosL));
    EXPECT_FALSE(shown(h.GsmL));
    EXPECT_FALSE(h.NMEA->isEnabled());
}
