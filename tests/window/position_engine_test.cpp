// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QLocale>
#include <QSignalBlocker>

#include "core/grid.h"
#include "core/nmea.h"
#include "tests/window/dispatcher_test_support.h"
#include "tests/window/pty_phone.h"

namespace {

// Pages as the S45i hands them on channel 221.
const char* kTowerPage = "002300DD0111B45A0C17C3D570B258EE06";  // 451818582197

// A window registered on O2 in a Berlin cell whose SIM zones are read, with
// a German number format.
struct EngineFixture : DispatcherFixture {
    EngineFixture() {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        f.network.operatorCode = "26207";
        f.network.networkText = "o2 - de";
        f.Netz->setText(QStringLiteral("o2 - de"));
        f.network.cellKey = "4E21C67C26207";
        f.network.sectorLetter = "B";
        f.network.taDistance = 1365;
        f.network.homeZone = {459870, 581994, 1500, "Daheim"};
        f.network.cityZone = {459800, 582000, 20000, "Berlin"};
        f.network.homeKey = "459870581994";
        f.network.regionText = "Region: O-BLN";
        f.position.o2Lines.lines[1] = "4600   5820      30 Berlin";
        f.position.o2Lines.count = 1;
        f.position.utcOffsetMinutes = 60;
    }
    ~EngineFixture() { QLocale::setDefault(QLocale::c()); }
    void page(const char* p) { feed({"+CBM: 88,4370,1,1,1", p}); }
    // The sentence fields a grid position in metres gives.
    static std::string fields(double e, double n) {
        const funkor::GeoPosition g = funkor::gridToWgs84(e, n);
        return funkor::nmeaLatitude(g.latitude) + ",N," + funkor::nmeaLongitude(g.longitude);
    }
    std::string rmcPosition() const { return f.position.gsmRmc.substr(16, 22); }
};

}  // namespace

TEST(PositionEngineWindow, BroadcastPositionReachesEveryOutput) {
    EngineFixture fx;
    Form1& f = fx.f;
    fx.writeFile(QStringLiteral("Funkor.txt"), "459870 581994 Fernsehturm\r\n");
    f.network.homeZone = {460000, 581994, 500, "Daheim"};
    f.MBlast->setChecked(true);
    fx.platform->urls.clear();
    fx.page(kBerlinPage);

    EXPECT_EQ(f.position.positionKey, "459870581994");
    EXPECT_EQ(f.position.lastCbPosition, "B45A0E7783D570B15C8E06");
    EXPECT_EQ(f.Cell->text(), QStringLiteral(" Fernsehturm"));
    // Sector "B": 40 m west of the broadcast site.
    EXPECT_EQ(fx.rmcPosition(), EngineFixture::fields(4598700 - 40, 5819940));
    EXPECT_EQ(f.position.gsmRmc.substr(0, 14), "$GPRMC,082005,");
    EXPECT_EQ(f.position.gsmGga.substr(0, 14), "$GPGGA,082005,");
    EXPECT_TRUE(f.PosL->text().startsWith(QStringLiteral("09:20  52\u00B0 30' ")));
    EXPECT_TRUE(f.PosL->toolTip().startsWith(QStringLiteral("R=4598.70 H=5819.94 N:52,50")));
    EXPECT_EQ(fx.platform->urls, QStringList{fromCp1252(f.position.mapAddress)});
    EXPECT_TRUE(f.position.mapAddress.starts_with("http://127.0.0.1:8787/map.aspx?L=EUR&C=52.5"));
    EXPECT_TRUE(f.position.mapAddress.ends_with("|1|o2-4E21C67C 09:20|L1|"));
    EXPECT_EQ(f.Zone->text(), QStringLiteral("Region: O-BLN / Berlin"));
    EXPECT_EQ(f.Zone->toolTip(), QStringLiteral("Region/City-Zone (r=30km)"));
    EXPECT_EQ(f.Entf->text(), QStringLiteral("1,3 km"));
    EXPECT_EQ(f.Netz2->text(), QStringLiteral("Berlin"));
    EXPECT_EQ(f.network.zoneName, "Berlin");
    EXPECT_TRUE(f.Timer2->Enabled());
    for (QWidget* w : {static_cast<QWidget*>(f.PosL), static_cast<QWidget*>(f.ShHome),
                       static_cast<QWidget*>(f.Line1[4]), static_cast<QWidget*>(f.Shape2)})
        EXPECT_TRUE(EngineFixture::shown(w)) << w->objectName().toStdString();
    EXPECT_TRUE(f.GPS->isEnabled());
    EXPECT_TRUE(fx.platform->messages.isEmpty());
}

// The distance's decimal separator is the user's, as one 8-bit character;
// a separator outside that (Arabic and Persian number formats) becomes ".".
TEST(PositionEngineWindow, DistanceAndTimingAdvanceTakeTheUsersSeparatorOrAPoint) {
    const struct {
        QLocale locale;
        const char* entf;
        const char* tav;
    } cases[] = {
        {QLocale(QLocale::German, QLocale::Germany), "0,0 km", "~1,4 km S/O"},
        {QLocale::c(), "0.0 km", "~1.4 km S/O"},
        {QLocale(QLocale::Persian, QLocale::Iran), "0.0 km", "~1.4 km S/O"},
        {QLocale(QLocale::Arabic, QLocale::Egypt), "0.0 km", "~1.4 km S/O"},
    };
    for (const auto& c : cases) {
        EngineFixture fx;
        QLocale::setDefault(c.locale);
        const std::string name = c.locale.name().toStdString();
        fx.page(kBerlinPage);  // at the home zone's centre
        fx.feed("^SSTK: 8103012605820282818301002E020002");
        EXPECT_EQ(fx.f.Entf->text(), QString::fromLatin1(c.entf)) << name;
        EXPECT_EQ(fx.f.TAV->text(), QString::fromLatin1(c.tav)) << name;
    }
}

TEST(PositionEngineWindow, SectorATowerAndCellDisplay) {
    const struct {
        const char* legend;
        const char* page;
        const char* sector;
        bool cellDisplay;
        double e, n;  // metres
    } cases[] = {
        {"sector A: 50 m south", kTowerPage, "A", false, 4518180, 5821970 - 50},
        {"cell display B, 1365 m", kBerlinPage, "B", true, 4598700 + 1133.9, 5819940 - 682.5},
    };
    for (const auto& c : cases) {
        EngineFixture fx;
        Form1& f = fx.f;
        f.network.sectorLetter = c.sector;
        fx.page(c.page);
        // Ticking cell display runs the engine on the page at once.
        if (c.cellDisplay) f.ShCell->setChecked(true);
        EXPECT_EQ(fx.rmcPosition(), EngineFixture::fields(c.e, c.n)) << c.legend;
    }
}

TEST(PositionEngineWindow, HomeDisplayWorkedExample) {
    EngineFixture fx;
    Form1& f = fx.f;
    f.ShHome->setChecked(true);
    fx.page(kTowerPage);  // any page: home shows the home zone centre
    EXPECT_EQ(f.position.positionKey, "459870581994");
    EXPECT_EQ(f.position.lastCbPosition, "");
    EXPECT_EQ(f.PosL->text(), QStringLiteral("09:20  52\u00B0 30' 13\" N  13\u00B0 27' 8\" O"));
    EXPECT_EQ(fx.rmcPosition(), "5230.2277,N,01327.1337");
    EXPECT_EQ(f.Entf->text(), QStringLiteral("0,0 km"));
    EXPECT_EQ(f.Netz2->text(), QStringLiteral("Daheim"));
    EXPECT_EQ(f.Cell->text(), QStringLiteral(" Home"));
}

TEST(PositionEngineWindow, NothingHappensWithoutCellZonesOrChannel) {
    const struct {
        const char* legend;
        const char* sector;
        double homeRadius;
        const char* page;
    } cases[] = {
        {"no cell", "", 1500, kBerlinPage},
        {"SIM zones unread", "B", 0, kBerlinPage},
        {"channel 220", "B", 1500, "001000DC0111B45A0E7783D570B15C8E06"},
    };
    for (const auto& c : cases) {
        EngineFixture fx;
        fx.f.network.sectorLetter = c.sector;
        fx.f.network.homeZone.radius = c.homeRadius;
        fx.f.position.cbPage = c.page;
        const QJsonObject before = fx.state();
        fx.f.ComputeCellPosition();
        EXPECT_EQ(fx.state(), before) << c.legend;
    }
}

TEST(PositionEngineWindow, BackInTheSameCellAfterANetworkLossTheOutputResumes) {
    EngineFixture fx;
    Form1& f = fx.f;
    {
        QSignalBlocker blockPhone(f.GSM), blockOutput(f.NMEA);
        f.GSM->setCurrentIndex(1);
        f.NMEA->setCurrentIndex(f.NMEA->findText(QStringLiteral("COM 2")));
    }
    fx.page(kBerlinPage);
    ASSERT_TRUE(f.Timer2->Enabled());
    fx.feed("+CREG: 2");
    f.Timer2_Timer();  // off the network: the output stops
    ASSERT_FALSE(f.Timer2->Enabled());
    fx.feed({"+COPS: 0,2,\"26207\"", "+CREG: 1,\"C67C\",\"4E21\""});
    fx.page(kBerlinPage);
    EXPECT_TRUE(f.Timer2->Enabled());
    EXPECT_TRUE(f.PosL->text().startsWith(QStringLiteral("09:20  52\u00B0 30' ")));
}

TEST(PositionEngineWindow, SamePageTwiceLogsOnce) {
    EngineFixture fx;
    Form1& f = fx.f;
    f.Trace->setChecked(true);
    f.TrNew->setChecked(false);
    fx.page(kBerlinPage);
    const QByteArray once = fx.readFile(QStringLiteral("Funkor.log"));
    fx.page(kBerlinPage);
    EXPECT_EQ(fx.readFile(QStringLiteral("Funkor.log")), once);
    EXPECT_EQ(once.count("$GPTXT"), 1);
}

TEST(PositionEngineWindow, ActiveTickedAgainResumesPolling) {
    EngineFixture fx;
    Form1& f = fx.f;
    f.GSM->setCurrentIndex(1);
    f.Active->setChecked(false);
    EXPECT_FALSE(f.Timer1->Enabled());
    f.Active->setChecked(true);
    EXPECT_TRUE(f.Timer1->Enabled());
    // Not while home is shown.
    f.ShHome->setChecked(true);
    f.Active->setChecked(false);
    f.Active->setChecked(true);
    EXPECT_FALSE(f.Timer1->Enabled());
}

TEST(PositionEngineWindow, GpsPortOpensWithTheFirstPositionOrIsPassedOver) {
    PtyPhone receiver;
    ASSERT_TRUE(receiver.ok());
    const struct {
        const char* legend;
        int gps, gsm;
        bool present;
        bool open;
    } cases[] = {
        {"GPS receiver on COM 3", 3, 1, true, true},
        {"GPS on the phone's port", 1, 1, true, false},
        {"port missing: no message", 3, 1, false, false},
        {"no GPS", 0, 1, true, false},
    };
    for (const auto& c : cases) {
        EngineFixture fx;
        Form1& f = fx.f;
        const QString device = c.present ? receiver.slave() : fx.path(QStringLiteral("nix"));
        f.Comm3->setDeviceResolver([device](int) { return device; });
        {
            QSignalBlocker block(f.GPS);
            f.GPS->setCurrentIndex(c.gps);
        }
        {
            QSignalBlocker block(f.GSM);
            f.GSM->setCurrentIndex(c.gsm);
        }
        fx.page(kBerlinPage);
        EXPECT_EQ(f.Comm3->PortOpen(), c.open) << c.legend;
        if (c.open) {
            EXPECT_EQ(f.Comm3->CommPort(), c.gps) << c.legend;
        }
        EXPECT_TRUE(fx.platform->messages.isEmpty()) << c.legend;
        f.Comm3->setPortOpen(false);
    }
}

TEST(PositionEngineWindow, MapBaseComesFromTheSettings) {
    WindowFixture w;
    w.writeFile(QStringLiteral("Funkor.ini"), "[Map]\r\nBase=https://karte.example\r\n");
    EXPECT_EQ(w.make().position.mapBase, "https://karte.example");
}
