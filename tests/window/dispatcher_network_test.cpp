// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include <QLocale>
#include <cstdio>

#include "tests/window/dispatcher_test_support.h"

namespace {

// The SIM zone file answer: home zone in record 1, city zone in record 4.
std::string crsmLine(unsigned homeE, unsigned homeN, unsigned homeSq, unsigned cityE,
                     unsigned cityN, unsigned citySq) {
    std::string data(123 * 2, '0');
    const auto word = [](unsigned v) {
        char buf[9];
        std::snprintf(buf, sizeof buf, "%08X", v);
        return std::string(buf);
    };
    data.replace(18 * 2, 34, word(homeE) + word(homeN) + word(homeSq) + "01" + "486F6D65");
    data.replace(96 * 2, 34, word(cityE) + word(cityN) + word(citySq) + "02" + "43697479");
    return "+CRSM: 144,0," + data;
}

TEST(DispatcherRegistration, CellKeySectorRegionAndTooltip) {
    const struct {
        const char* line;
        const char* cellKey;
        const char* sector;
        const char* region;
        const char* tooltip;
    } cases[] = {
        {"+CREG: 2,1,\"C67C\",\"4E21\"", "4E21C67C26207", "B", "Region: S-BYN",
         "CC=262 NC=07 LAC=C67C CI=4E21 LA=508-12 BS=1 SK=B"},
        // The unsolicited report lacks the mode field and reads the same.
        {"+CREG: 1,\"C67C\",\"4E21\"", "4E21C67C26207", "B", "Region: S-BYN",
         "CC=262 NC=07 LAC=C67C CI=4E21 LA=508-12 BS=1 SK=B"},
        {"+CREG: 2,1,\"C67C\",\"4E1F\"", "4E1FC67C26207", "A", "Region: S-BYN",
         "CC=262 NC=07 LAC=C67C CI=4E1F LA=508-12 BS=19999 SK=A"},
        {"+CREG: 2,5,\"5000\",\"9C40\"", "9C40500026207", "C", "Region: O",
         "CC=262 NC=07 LAC=5000 CI=9C40 LA=204-80 BS=0 SK=C"},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        f.network.operatorCode = "26207";
        f.phone.ussdDone = 1;
        fx.feed(c.line);
        EXPECT_EQ(f.network.cellKey, c.cellKey) << c.line;
        EXPECT_EQ(f.network.lastCellKey, c.cellKey) << c.line;
        EXPECT_EQ(f.network.sectorLetter, c.sector) << c.line;
        EXPECT_EQ(f.network.regionText, c.region) << c.line;
        EXPECT_EQ(fx.text(f.Netz->toolTip()), c.tooltip) << c.line;
        EXPECT_EQ(f.phone.ussdDone, 0) << c.line;  // the balance is asked again
        EXPECT_EQ(f.TAV->text(), QStringLiteral("*")) << c.line;
        EXPECT_EQ(f.Cell->text(), QString()) << c.line;  // no cell-name file
        for (QWidget* w : {static_cast<QWidget*>(f.Cell), static_cast<QWidget*>(f.TAV),
                           static_cast<QWidget*>(f.Line1[0]), static_cast<QWidget*>(f.Line1[1]),
                           static_cast<QWidget*>(f.Line1[2])})
            EXPECT_TRUE(fx.shown(w)) << c.line << " " << w->objectName().toStdString();
    }
}

TEST(DispatcherRegistration, NoNetworkClearsTheOperatorDisplays) {
    for (const char* line :
         {"+CREG: 2,2", "+CREG: 0,0", "+CREG: 3", "+CREG: 2,4,\"C67C\",\"4E21\""}) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        fx.feed({"+COPS: 0,2,\"26207\"", "+COPS: 0,0,\"o2 - de\"", "+CSQ: 20,99",
                 "+CREG: 2,1,\"C67C\",\"4E21\""});
        f.Cell->setText(QStringLiteral(" Bahnhof"));
        f.Zone->setText(QStringLiteral("Zone"));
        f.network.zoneName = "Home";
        fx.feed(line);
        EXPECT_EQ(f.Netz->text(), QStringLiteral("---")) << line;
        EXPECT_EQ(f.Netz->toolTip(), QStringLiteral("kein Netz")) << line;
        EXPECT_EQ(f.Level->value(), 0) << line;
        for (auto* l : {f.Netz2, f.PosL, f.Zone, f.Cell})
            EXPECT_EQ(l->text(), QString()) << line << " " << l->objectName().toStdString();
        EXPECT_EQ(f.Zone->toolTip(), QStringLiteral("City-Zone")) << line;
        EXPECT_EQ(f.network.operatorCode, "") << line;
        EXPECT_EQ(f.network.networkText, "") << line;
        EXPECT_EQ(f.network.zoneName, "") << line;
        EXPECT_EQ(f.network.sectorLetter, "") << line;
        // The last cell is kept: coming back to it is no cell change.
        EXPECT_EQ(f.network.cellKey, "4E21C67C26207") << line;
    }
}

TEST(DispatcherRegistration, CellNameFromTheCellFileOnce) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    fx.writeFile(QStringLiteral("Funkor.clf"),
                 "1111C67C26207 Anderswo\r\n4E21C67C26207 Bahnhof\r\n4E21C67C26207 Später\r\n");
    f.network.operatorCode = "26207";
    fx.feed("+CREG: 2,1,\"C67C\",\"4E21\"");
    EXPECT_EQ(f.Cell->text(), QStringLiteral(" Bahnhof"));  // the first line for the key
    fx.feed("^SSTK: 8103012605820282818301002E020001");
    EXPECT_EQ(f.TAV->text(), QStringLiteral("~0.8 km S/O"));

    // Same cell again (solicited and unsolicited): no lookup, nothing reset,
    // even when the file has changed meanwhile.
    fx.writeFile(QStringLiteral("Funkor.clf"), "4E21C67C26207 Neu\r\n");
    f.phone.ussdDone = 1;
    fx.feed({"+CREG: 2,1,\"C67C\",\"4E21\"", "+CREG: 1,\"C67C\",\"4E21\""});
    EXPECT_EQ(f.Cell->text(), QStringLiteral(" Bahnhof"));
    EXPECT_EQ(f.TAV->text(), QStringLiteral("~0.8 km S/O"));
    EXPECT_EQ(f.phone.ussdDone, 1);

    // A new cell reads the file again.
    fx.feed("+CREG: 1,\"C67C\",\"1111\"");
    EXPECT_EQ(f.Cell->text(), QString());
    fx.feed("+CREG: 1,\"C67C\",\"4E21\"");
    EXPECT_EQ(f.Cell->text(), QStringLiteral(" Neu"));
}

TEST(DispatcherRegistration, RegisteredWithoutLocationKeepsTheCell) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    f.network.operatorCode = "26207";
    fx.feed("+CREG: 2,1,\"C67C\",\"4E21\"");
    f.TAV->setText(QStringLiteral("~0.8 km"));
    fx.feed({"+CREG: 0,1", "+CREG: 1"});
    EXPECT_EQ(f.network.cellKey, "4E21C67C26207");
    EXPECT_EQ(f.TAV->text(), QStringLiteral("~0.8 km"));
}

TEST(DispatcherZones, SimZoneFileGivesHomeAndCityZone) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    fx.feed(crsmLine(451818, 582197, 22500, 459870, 581994, 250000));
    EXPECT_EQ(f.network.homeZone.first, 451818);
    EXPECT_EQ(f.network.homeZone.second, 582197);
    EXPECT_EQ(f.network.homeZone.radius, 1500);
    EXPECT_EQ(f.network.homeZone.name, "Home");
    EXPECT_EQ(f.network.cityZone.first, 459870);
    EXPECT_EQ(f.network.cityZone.radius, 5000);
    EXPECT_EQ(f.network.cityZone.name, "City");
    EXPECT_EQ(f.network.homeKey, "451818582197");
    EXPECT_EQ(f.Entf->toolTip(), QStringLiteral("Entfernung Home (r=1500m)"));

    // A squared radius with its top bit set has no root: that zone is
    // skipped and keeps what was known, the other one is taken.
    fx.feed(crsmLine(111111, 222222, 0x80000000u, 333333, 444444, 10000));
    EXPECT_EQ(f.network.homeZone.first, 451818);
    EXPECT_EQ(f.network.homeZone.radius, 1500);
    EXPECT_EQ(f.Entf->toolTip(), QStringLiteral("Entfernung Home (r=1500m)"));
    EXPECT_EQ(f.network.cityZone.first, 333333);
    EXPECT_EQ(f.network.cityZone.radius, 1000);
}

TEST(DispatcherTimingAdvance, DistanceCaptionWithSectorDirection) {
    const struct {
        const char* line;
        const char* op;
        const char* sector;
        int metres;
        const char* caption;
    } cases[] = {
        {"^SSTK: 8103012605820282818301002E020000", "26207", "A", 273, "~0.3 km N"},
        {"^SSTK: 8103012605820282818301002E02000B", "26207", "B", 6279, "~6.3 km S/O"},
        {"^SSTK: 8103012605820282818301002E020010", "26207", "C", 9009, "~9.0 km S/W"},
        {"^SSTK: 8103012605820282818301002E02003F", "26207", "A", 34671, "~34.7 km N"},
        {"^SSTK: 8103012605820282818301002E020002", "26201", "B", 1365, "~1.4 km"},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        fx.f.network.operatorCode = c.op;
        fx.f.network.sectorLetter = c.sector;
        fx.feed(c.line);
        EXPECT_EQ(fx.f.network.taDistance, c.metres) << c.line;
        EXPECT_EQ(fx.text(fx.f.TAV->text()), c.caption) << c.line;
    }
}

TEST(DispatcherTimingAdvance, DecimalSeparatorOfTheUsersLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    DispatcherFixture fx;
    fx.f.network.operatorCode = "26207";
    fx.f.network.sectorLetter = "B";
    fx.feed("^SSTK: 8103012605820282818301002E02000B");
    QLocale::setDefault(saved);
    EXPECT_EQ(fx.f.TAV->text(), QStringLiteral("~6,3 km S/O"));
}

TEST(DispatcherOperator, NumericCodeNameAndRoaming) {
    const struct {
        const char* legend;
        const char* homeNetwork;
        const char* numeric;
        const char* netz2;  // after both answers
    } cases[] = {
        {"home network on O2", "26207", "+COPS: 0,2,\"26207\"", "Home"},
        {"O2 SIM abroad", "26207", "+COPS: 1,2,\"23415\"", "roaming"},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        f.phone.homeNetwork = c.homeNetwork;
        f.network.zoneName = "Home";
        fx.feed({"+COPS: 0,0,\"o2 - de\"", c.numeric, "+COPS: 0,0,\"o2 - de\""});
        EXPECT_EQ(f.network.operatorCode, std::string(c.numeric).substr(12, 5)) << c.legend;
        EXPECT_EQ(f.network.networkText, "o2 - de") << c.legend;
        EXPECT_EQ(f.Netz->text(), QStringLiteral("o2 - de")) << c.legend;
        EXPECT_EQ(fx.text(f.Netz2->text()), c.netz2) << c.legend;
    }
}

TEST(DispatcherOperator, ListFillsTheSlotsWithStateAndCountry) {
    DispatcherFixture fx;
    Form1& f = fx.f;
    f.network.countryTable[262] = "262 DE Deutschland";
    f.network.countryTable[234] = "234 GB Grossbritannien";
    QObject::disconnect(f.Timer1, &TimerElement::Timer, &f, nullptr);
    f.Timer1->setInterval(60000);
    f.Timer1->setEnabled(true);
    // Five slots from an earlier scan.
    fx.feed(
        "+COPS: (1,\"A\",,\"26201\"),(1,\"B\",,\"26201\"),(1,\"C\",,\"26201\"),(1,\"D\",,"
        "\"26201\"),(1,\"E\",,\"26201\"),,(0-4),(0,2)");
    fx.feed(
        "+COPS: (2,\"o2 - de\",,\"26207\"),(3,\"Vodafone.de\",,\"26202\"),(1,\"O2 - UK\",,"
        "\"23410\"),,(0-4),(0,2)");
    EXPECT_EQ(f.Timer1->Interval(), 2000);
    ASSERT_EQ(f.List1->count(), 3);
    EXPECT_EQ(f.List1->item(0)->text(), QStringLiteral("26207 2 o2 - de"));
    const struct {
        const char* caption;
        const char* code;
        QRgb colour;
        const char* country;
        const char* countryCode;
    } slots_[] = {
        {" o2 - de", "26207", 0x00FF00, "Deutschland", "DE"},
        {" Vodafone.de", "26202", 0xFF0000, "Deutschland", "DE"},
        {" O2 - UK", "23410", 0xFFFF00, "Grossbritannien", "GB"},
    };
    for (int i = 0; i < 8; ++i) {
        const bool used = i < 3;
        EXPECT_EQ(fx.shown(f.Netze[i]), used) << i;
        EXPECT_EQ(fx.shown(f.Sta[i]), used) << i;
        EXPECT_EQ(fx.shown(f.Land[i]), used) << i;
        if (!used) {
            EXPECT_EQ(f.Netze[i]->text(), QString()) << i;
            EXPECT_EQ(f.Sta[i]->fillColor().rgb() & 0xFFFFFF, 0x808080u) << i;
            continue;
        }
        EXPECT_EQ(fx.text(f.Netze[i]->text()), slots_[i].caption) << i;
        EXPECT_EQ(fx.text(f.Netze[i]->toolTip()), slots_[i].code) << i;
        EXPECT_EQ(f.Sta[i]->fillColor().rgb() & 0xFFFFFF, slots_[i].colour) << i;
        EXPECT_EQ(fx.text(f.Land[i]->text()), slots_[i].country) << i;
        EXPECT_EQ(fx.text(f.Land[i]->toolTip()), slots_[i].countryCode) << i;
    }
}

TEST(DispatcherOperator, NineOperatorsShowTheFirstEight) {
    DispatcherFixture fx;
    std::string line = "+COPS: ";
    for (int i = 1; i <= 9; ++i)
        line += "(1,\"Netz " + std::to_string(i) + "\",,\"2620" + std::to_string(i) + "\"),";
    line += ",(0-4),(0,2)";
    fx.feed(line);
    EXPECT_EQ(fx.f.List1->count(), 9);
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(fx.shown(fx.f.Netze[i])) << i;
        EXPECT_EQ(fx.f.Netze[i]->text(), QStringLiteral(" Netz %1").arg(i + 1)) << i;
    }
}

}  // namespace

// Each domain keeps its last answer; the serving cell comes from the first
// registered with a cell: circuit-switched, then packet, then LTE. A
// data-only LTE modem is on the network though its +CREG says it is not.
TEST(DispatcherRegistration, DomainsCircuitSwitchedFirst) {
    const struct {
        const char* legend;
        std::vector<const char*> lines;
        const char* cellKey;  // "" when no cell was taken
        const char* radio;
        const char* netz;   // caption of Netz afterwards
        int stepAhead = 0;  // domains still to be asked in the first round
    } cases[] = {
        {"LTE only",
         {"+CEREG: 2,1,\"1F00\",\"79D9031\",7", "+CREG: 2,0", "+CGREG: 2,0"},
         "079D90311F0026201",
         "LTE",
         "Telekom.de"},
        {"circuit-switched first",
         {"+CEREG: 2,1,\"1F00\",\"79D9031\",7", "+CREG: 2,1,4CA,81DE"},
         "81DE04CA26201",
         "GSM",
         "Telekom.de"},
        {"packet on UMTS",
         {"+CREG: 2,1", "+CGREG: 2,1,\"0502\",\"0404736D\",2"},
         "0404736D050226201",
         "UMTS",
         "Telekom.de"},
        {"nothing registered", {"+CEREG: 2,2", "+CREG: 2,0"}, "", "", "---"},
        {"calls not registered before LTE was asked",
         {"+CREG: 2,0", "+CGREG: 2,0", "+CEREG: 2,1,\"1F00\",\"79D9031\",7"},
         "079D90311F0026201",
         "LTE",
         "Telekom.de",
         2},
    };
    for (const auto& c : cases) {
        DispatcherFixture fx;
        Form1& f = fx.f;
        f.network.operatorCode = "26201";
        f.Netz->setText(QStringLiteral("Telekom.de"));
        f.phone.registrationStep = c.stepAhead;
        for (const char* line : c.lines) fx.feed(line);
        EXPECT_EQ(f.network.lastCellKey, c.cellKey) << c.legend;
        EXPECT_EQ(f.network.cellRadio, c.radio) << c.legend;
        EXPECT_EQ(f.Netz->text(), QString::fromLatin1(c.netz)) << c.legend;
    }
    {
        // The first round's last domain refused: the held-back "not
        // registered" is judged then.
        DispatcherFixture fx;
        fx.f.Netz->setText(QStringLiteral("Telekom.de"));
        fx.f.phone.registrationStep = 3;
        fx.feed("+CREG: 2,0");
        EXPECT_EQ(fx.f.Netz->text(), QStringLiteral("Telekom.de"));
        fx.f.phone.registrationStep = 0;
        fx.f.phone.registrationQuery = RegistrationQuery::Fivegs;
        fx.feed("ERROR");
        EXPECT_EQ(fx.f.Netz->text(), QStringLiteral("---"));
    }
    DispatcherFixture fx;
    fx.f.network.operatorCode = "26201";
    fx.feed("+CEREG: 2,1,\"1F00\",\"79D9031\",7");
    EXPECT_EQ(fx.f.network.cellLac, 0x1F00);
    EXPECT_EQ(fx.f.network.cellCi, 0x79D9031);
    EXPECT_EQ(fx.text(fx.f.Netz->toolTip()), "CC=262 NC=01 LAC=1F00 CI=079D9031 LA=793-36");
    EXPECT_EQ(fx.f.network.sectorLetter, "");
}
