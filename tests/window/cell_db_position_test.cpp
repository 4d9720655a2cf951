// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Positions from the offline cell database on the window: a real SQLite
// file built from OpenCellID rows in the program folder, the serving cell
// reported by the phone's +CREG, and gpsd reading the LAN output.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QListWidget>
#include <QProcess>
#include <QTcpSocket>
#include <QTimeZone>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/output/nmea_output.h"
#include "app/output/winsock_control.h"
#include "app/position/cell_estimate.h"
#include "app/position/position_feed.h"
#include "core/cell_database.h"
#include "core/cell_learning.h"
#include "core/measurements.h"
#include "tests/window/gpsd_support.h"
#include "tests/window/output_test_support.h"
#include "tests/window/pty_phone.h"

namespace {

const std::string kSample =
    std::string(FUNKOR_SOURCE_DIR) + "/tests/data/opencellid/cells-sample.csv";

// The sample's row GSM,208,1,1795,33036: LAC 0x0703, CI 0x810C, range 2901 m.
constexpr double kLat = 45.699417, kLon = 4.835367;
const char* const kFranceCell = "+CREG: 2,1,\"0703\",\"810C\"";
const char* const kUnknownCell = "+CREG: 2,1,\"0703\",\"810D\"";

struct DbWindow : OutputWindow {
    Form1& start(const QByteArray& ini = QByteArray()) {
        const funkor::CellImportResult r =
            funkor::importCellCsv(kSample, path(QStringLiteral("Funkor-cells.db")).toStdString());
        EXPECT_TRUE(r.ok) << r.error;
        Form1& f = makeOutput(ini);
        f.network.operatorCode = "20801";  // Orange France: no broadcast positions
        return f;
    }
    bool traced(const QString& text) const {
        for (int i = 0; i < form->List2->count(); ++i)
            if (form->List2->item(i)->text().contains(text)) return true;
        return false;
    }
};

}  // namespace

TEST(CellDbWindow, KnownCellBecomesThePositionAndAnUnknownOneLeavesNone) {
    DbWindow w;
    Form1& f = w.start();
    f.InterpretResponse(kFranceCell);
    EXPECT_EQ(f.PosL->text(), QStringLiteral("%1  45° 41' 57\" N  4° 50' 7\" O")
                                  .arg(f.platform().Now().toString(QStringLiteral("hh:mm"))));
    EXPECT_TRUE(f.PosL->toolTip().startsWith(QStringLiteral("Zellen-Datenbank, Reichweite 2")))
        << f.PosL->toolTip().toStdString();
    EXPECT_TRUE(f.PosL->isVisibleTo(&f));
    EXPECT_TRUE(f.SendPos->isVisibleTo(&f));
    EXPECT_TRUE(f.Timer2->Enabled());
    EXPECT_TRUE(f.position.gsmFromDatabase);
    EXPECT_NE(f.position.gsmGga.find(",6,03,152.7,"), std::string::npos) << f.position.gsmGga;
    EXPECT_NE(f.position.mapAddress.find("&R=2901&"), std::string::npos);

    // The output keeps sending on this network while the database knows
    // the cell.
    MemorySink sink;
    w.chooseOutput(QStringLiteral("COM 2"));
    f.nmeaOutput->setSink(funkor::OutputKind::Serial, &sink);
    f.cGSM->setChecked(true);
    f.Timer2_Timer();
    ASSERT_EQ(sink.ticks.size(), 1u);
    EXPECT_EQ(sink.ticks[0], f.position.gsmRmc + f.position.gsmGga);

    // A cell the database does not know: nothing of the last one is kept.
    f.InterpretResponse(kUnknownCell);
    EXPECT_TRUE(f.position.gsmRmc.empty());
    EXPECT_TRUE(f.PosL->text().isEmpty());
    EXPECT_TRUE(w.traced(QStringLiteral("CI 33037 nicht in der Zellen-Datenbank")));
    f.Timer2_Timer();
    EXPECT_EQ(sink.ticks.size(), 1u);
    EXPECT_TRUE(f.Timer2->Enabled());  // registered: the cycle waits for a position

    // Off the network the output ends as before.
    f.InterpretResponse("+CREG: 2,0");
    f.Timer2_Timer();
    EXPECT_FALSE(f.Timer2->Enabled());
    f.nmeaOutput->setSink(funkor::OutputKind::Serial, nullptr);
}

TEST(CellDbWindow, DatabasePositionsAreLoggedWithoutAGridPosition) {
    DbWindow w;
    Form1& f = w.start();
    f.Trace->setChecked(true);
    f.InterpretResponse(kFranceCell);
    const QByteArray log = w.readFile(QStringLiteral("Funkor.log"));
    EXPECT_TRUE(log.startsWith("$GPTXT,810C070320801,------------,\r\n$GPRMC,")) << log.data();
    EXPECT_NE(log.indexOf(",6,03,"), -1);
}

TEST(CellDbWindow, DamagedDatabaseGivesOneMessageAndNoPositions) {
    DbWindow w;
    w.writeFile(QStringLiteral("Funkor-cells.db"), QByteArray(4096, 'x'));
    Form1& f = w.makeOutput();
    f.network.operatorCode = "20801";
    QCoreApplication::processEvents();
    ASSERT_EQ(w.platform->messages.size(), 1);
    EXPECT_TRUE(w.platform->messages[0].contains(QStringLiteral("beschädigt")))
        << w.platform->messages[0].toStdString();
    f.InterpretResponse(kFranceCell);
    EXPECT_TRUE(f.position.gsmRmc.empty());
    EXPECT_FALSE(f.PosL->toolTip().startsWith(QStringLiteral("Zellen-Datenbank")));
    EXPECT_FALSE(f.Timer2->Enabled());
}

TEST(CellDbWindow, SentencesCarryUtcInZonesOffByPartsOfAnHour) {
    const struct {
        const char* zone;
        QDateTime now;
        const char* utcTimeAndDate;
    } cases[] = {
        {"Asia/Kolkata", {{2026, 1, 16}, {5, 15, 10}, QTimeZone(330 * 60)}, "234510150126"},
        {"America/St_Johns", {{2025, 12, 31}, {22, 0}, QTimeZone(-210 * 60)}, "013000010126"},
    };
    const std::string savedZone = std::getenv("TZ") ? std::getenv("TZ") : "";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.zone);
        ::setenv("TZ", c.zone, 1);
        ::tzset();
        DbWindow w;
        ASSERT_TRUE(
            funkor::importCellCsv(kSample, w.path(QStringLiteral("Funkor-cells.db")).toStdString())
                .ok);
        Form1& f = w.make(QString(), false);
        w.platform->now = c.now;
        f.Form_Load();
        f.network.operatorCode = "20801";
        f.InterpretResponse(kFranceCell);
        ASSERT_GT(f.position.gsmRmc.size(), 49u);
        EXPECT_EQ(f.position.gsmRmc.substr(7, 6) + f.position.gsmRmc.substr(43, 6),
                  c.utcTimeAndDate);
    }
    if (savedZone.empty())
        ::unsetenv("TZ");
    else
        ::setenv("TZ", savedZone.c_str(), 1);
    ::tzset();
}

TEST(CellDbWindow, DatabaseProblemsAreToldOnceAfterTheEventAndInABoxOnlyToSomeone) {
    enum class Damage { Header, Folder, LastPage };
    const struct {
        Damage damage;
        double quitAfter;  // --quit-after; below 0: none
        bool onScreen;
        const char* says;
        int boxes;
    } cases[] = {
        {Damage::Header, -1, true, "beschädigt oder keine SQLite-Datei", 1},
        {Damage::Header, 30, true, "beschädigt oder keine SQLite-Datei", 0},
        {Damage::Header, -1, false, "beschädigt oder keine SQLite-Datei", 0},
        {Damage::Folder, -1, true, "ist ein Ordner, keine Datenbankdatei", 1},
        {Damage::LastPage, -1, true, "beschädigt (database disk image is malformed)", 1},
        {Damage::LastPage, 30, false, "beschädigt (database disk image is malformed)", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.says + std::to_string(c.boxes));
        DbWindow w;
        const std::string db = w.path(QStringLiteral("Funkor-cells.db")).toStdString();
        if (c.damage == Damage::Header)
            w.writeFile(QStringLiteral("Funkor-cells.db"), QByteArray(4096, 'x'));
        if (c.damage == Damage::Folder) std::filesystem::create_directory(db);
        if (c.damage == Damage::LastPage) {
            ASSERT_TRUE(funkor::importCellCsv(kSample, db).ok);
            std::fstream file(db, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(-4096, std::ios::end);
            file << std::string(4096, '\x7F');
        }
        StartOptions options;
        options.quitAfterSeconds = c.quitAfter;
        Form1& f = w.make(options, false);
        w.platform->onScreen = c.onScreen;
        f.Form_Load();
        // Two cells of the sample's last page (Japan, UMTS).
        f.network.operatorCode = "44053";
        f.InterpretResponse("+CREG: 2,1,\"0901\",\"35AC12A\",2");
        f.InterpretResponse("+CREG: 2,1,\"0901\",\"35AC129\",2");
        EXPECT_TRUE(w.platform->messages.isEmpty());  // not inside start-up or an answer
        QCoreApplication::processEvents();
        EXPECT_EQ(w.platform->messages.size(), c.boxes);
        EXPECT_TRUE(f.Text1->text().contains(QString::fromUtf8(c.says)) && f.Text1->isVisibleTo(&f))
            << f.Text1->text().toStdString();
        EXPECT_EQ(f.List2->findItems(QString::fromUtf8(c.says), Qt::MatchContains).size(), 1);
        EXPECT_FALSE(w.traced(QStringLiteral("nicht in der Zellen-Datenbank")));
        EXPECT_TRUE(f.position.gsmRmc.empty());
    }
}

TEST(CellDbWindow, GpsdReportsTheDatabasePositionAsDeadReckoningWithItsRange) {
    DbWindow w;
    Form1& f = w.start("[LAN]\r\nPort=0\r\nAddress=127.0.0.1\r\n");
    w.chooseOutput(QStringLiteral("LAN"));
    f.cGSM->setChecked(true);
    f.InterpretResponse(kFranceCell);
    f.Timer2_Timer();  // listening from the first tick
    f.Timer2->setInterval(250);
    const quint16 lanPort = f.Winsock->ListeningPort();

    const QList<QByteArray> lines = gpsdReports(lanPort, 20);

    int fixes = 0, withoutPosition = 0, withEph = 0;
    for (const QByteArray& line : lines) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.value(QStringLiteral("class")).toString() != QLatin1String("TPV")) continue;
        if (!o.contains(QStringLiteral("lat"))) {
            ++withoutPosition;
            continue;
        }
        ++fixes;
        // Four decimals of the minute: within 0.2 m.
        EXPECT_NEAR(o.value(QStringLiteral("lat")).toDouble(), kLat, 2e-6);
        EXPECT_NEAR(o.value(QStringLiteral("lon")).toDouble(), kLon, 2e-6);
        EXPECT_EQ(o.value(QStringLiteral("status")).toInt(), 5);  // dead reckoning
        // The first report may come from an RMC before gpsd has read a GGA
        // and its HDOP; every report with an error estimate has the range's.
        if (!o.contains(QStringLiteral("eph"))) continue;
        ++withEph;
        const double eph = o.value(QStringLiteral("eph")).toDouble();
        EXPECT_GT(eph, 2901 / 2.0);
        EXPECT_LT(eph, 2901 * 2.0);
    }
    EXPECT_GT(withEph, fixes / 2);
    EXPECT_GT(fixes, 0);
    // The GGA names enough satellites for gpsd to keep its position.
    EXPECT_EQ(withoutPosition, 0);
}

// Other operators' codes and radios find their own rows of the sample: a
// three-digit MNC (AT&T, 310-410) and an NR cell (36-bit CI, 24-bit TAC).
TEST(CellDbWindow, SixDigitOperatorsAndNrCellsFindTheirRows) {
    const struct {
        const char* cops;
        const char* registration;
        const char* tooltip;
        const char* latitude;
    } cases[] = {
        {"+COPS: 0,2,\"310410\",7", "+CEREG: 2,1,\"9011\",\"50C3A0F\",7",
         "CC=310 NC=410 LAC=9011 CI=050C3A0F LA=368-81", "45° 27' 57\" N"},
        {"+COPS: 0,2,\"50503\",11", "+C5GREG: 2,1,\"00C565\",\"035B6403E\",11,0",
         "CC=505 NC=03 LAC=00C565 CI=035B6403E LA=505-33", "34° 57' 0\" S"},
    };
    for (const auto& c : cases) {
        DbWindow w;
        Form1& f = w.start();
        f.InterpretResponse(c.cops);
        f.InterpretResponse(c.registration);
        EXPECT_EQ(f.Netz->toolTip(), QString::fromUtf8(c.tooltip)) << c.cops;
        EXPECT_TRUE(f.position.gsmFromDatabase) << c.cops;
        EXPECT_TRUE(f.PosL->text().contains(QString::fromUtf8(c.latitude)))
            << f.PosL->text().toStdString();
    }
}

// A registration that names no cell ends the position when the domain that
// named the cell has left the network, in either order of the two lines;
// back on the network in the same cell, a polled device's position returns
// once its operator is known again.
TEST(CellDbWindow, ACellLeftEndsItsPositionAndComingBackRestoresIt) {
    const char* const lte = "+CEREG: 2,1,\"9011\",\"50C3A0F\",7";
    const std::vector<std::vector<const char*>> leaving = {
        {"+CREG: 1", "+CEREG: 0"}, {"+CEREG: 0", "+CREG: 1"}, {"+CEREG: 2,0"}};
    for (const auto& lines : leaving) {
        DbWindow w;
        Form1& f = w.start();
        f.InterpretResponse("+COPS: 0,2,\"310410\",7");
        f.InterpretResponse(lte);
        ASSERT_FALSE(f.position.gsmRmc.empty());
        for (const char* line : lines) f.InterpretResponse(line);
        // No sentences: none left, or (off the network) the output gate shut.
        EXPECT_TRUE(f.position.gsmRmc.empty() || f.network.operatorCode.empty()) << lines.front();
        EXPECT_TRUE(f.PosL->text().isEmpty()) << lines.front();
        f.InterpretResponse("+CREG: 0");
        f.InterpretResponse(lte);
        f.InterpretResponse("+COPS: 0,2,\"310410\",7");
        EXPECT_FALSE(f.position.gsmRmc.empty()) << lines.front();
        EXPECT_TRUE(f.PosL->text().contains(QStringLiteral("45° 27' 57\" N"))) << lines.front();
    }
}

// A device that names its operator only by name: registered at home, the
// SIM's network is the operator; roaming, the trace says why no position.
TEST(CellDbWindow, OperatorNamedOnlyByNameIsTakenFromTheSimAtHome) {
    const struct {
        const char* registration;
        const char* operatorCode;
        const char* trace;
    } cases[] = {
        {"+CEREG: 2,1,\"9011\",\"50C3A0F\",7", "310410", "Betreiberkennung aus der SIM: 310410"},
        {"+CEREG: 2,5,\"9011\",\"50C3A0F\",7", "", "Keine Betreiberkennung"},
    };
    for (const auto& c : cases) {
        DbWindow w;
        Form1& f = w.start();
        f.network.operatorCode.clear();
        f.phone.homeNetwork = "310410";
        f.List2->show();
        f.InterpretResponse(c.registration);
        f.InterpretResponse("+COPS: 0,0,\"AT&T\",7");
        const int entries = f.List2->count();
        f.InterpretResponse("+COPS: 0,0,\"AT&T\",7");  // the next pass: said once
        EXPECT_EQ(f.List2->count(), entries) << c.registration;
        EXPECT_EQ(f.network.operatorCode, c.operatorCode) << c.registration;
        EXPECT_TRUE(w.traced(QString::fromUtf8(c.trace))) << c.registration;
        EXPECT_EQ(f.position.gsmRmc.empty(), !*c.operatorCode) << c.registration;
    }
}

// The cells a Quectel module hears become one estimate: the serving cell and
// a neighbour of the database, with the error in the tool tip, the map's
// circle and a GST sentence after the pair; a refused read asks for less.
TEST(CellDbWindow, CellsHeardBecomeAnEstimateWithItsError) {
    DbWindow w;
    Form1& f = w.start();
    f.phone.phoneLinked = true;
    f.phone.manufacturer = "Quectel";
    f.InterpretResponse(kFranceCell);
    EXPECT_EQ(f.cellEstimate->nextRead(), "AT+QENG=\"servingcell\";+QENG=\"neighbourcell\";+CESQ");
    f.InterpretResponse(
        "+QENG: "
        "\"servingcell\",\"NOCONN\",\"GSM\",208,01,0703,810C,35,82,-,-60,255,255,0,53,179,1,-,"
        "-,-,-,-,-,-,-,-,\"-\"");
    f.InterpretResponse("+QENG: \"neighbourcell\",\"GSM\",208,01,0703,2336,33,33,-75,22,146,0,0");
    f.InterpretResponse("OK");
    f.cellEstimate->estimate();

    const funkor::PositionEstimate& e = f.cellEstimate->last();
    ASSERT_TRUE(e.valid);
    EXPECT_EQ(e.cellsUsed, 2);
    // Between the two rows (4.835, 45.699 and 4.908, 45.678).
    EXPECT_GT(e.longitude, 4.83);
    EXPECT_LT(e.longitude, 4.91);
    EXPECT_TRUE(f.PosL->toolTip().startsWith(QStringLiteral("Zellen-Datenbank, 2 Zellen, ± ")))
        << f.PosL->toolTip().toStdString();
    EXPECT_TRUE(f.position.gsmFromDatabase);
    EXPECT_EQ(f.position.gsmGst.rfind("$GPGST,", 0), 0u) << f.position.gsmGst;
    EXPECT_NE(f.position.mapAddress.find("&R="), std::string::npos);

    MemorySink sink;
    w.chooseOutput(QStringLiteral("COM 2"));
    f.nmeaOutput->setSink(funkor::OutputKind::Serial, &sink);
    f.cGSM->setChecked(true);
    f.Timer2_Timer();
    ASSERT_EQ(sink.ticks.size(), 1u);
    EXPECT_EQ(sink.ticks[0], f.position.gsmRmc + f.position.gsmGga + f.position.gsmGst);
    f.nmeaOutput->setSink(funkor::OutputKind::Serial, nullptr);

    // The phone changes to the neighbour: its row takes the map, until the
    // next estimate on the same cells, which has not moved, takes it back.
    f.InterpretResponse("+CREG: 2,1,\"0703\",\"2336\"");
    EXPECT_EQ(f.positionFeed->shownOrigin(), PositionOrigin::CellDatabase);
    EXPECT_NE(f.position.mapAddress.find("&R=717&"), std::string::npos) << f.position.mapAddress;
    f.InterpretResponse(
        "+QENG: "
        "\"servingcell\",\"NOCONN\",\"GSM\",208,01,0703,810C,35,82,-,-60,255,255,0,53,179,1,-,"
        "-,-,-,-,-,-,-,-,\"-\"");
    f.InterpretResponse("+QENG: \"neighbourcell\",\"GSM\",208,01,0703,2336,33,33,-75,22,146,0,0");
    f.cellEstimate->estimate();
    EXPECT_EQ(f.positionFeed->shownOrigin(), PositionOrigin::Estimate);
    const std::string radius =
        "&R=" + std::to_string(std::lround(f.cellEstimate->last().r68)) + "&";
    EXPECT_NE(f.position.mapAddress.find(radius), std::string::npos) << f.position.mapAddress;
}

// A cell the imported database does not know is placed by the row learned
// from the user's own measurements beside it.
TEST(CellDbWindow, ALearnedCellPlacesACellTheDatabaseLacks) {
    DbWindow w;
    {
        std::string error;
        auto store = funkor::MeasurementStore::open(
            w.path(QStringLiteral("Funkor-measurements.db")).toStdString(), error);
        ASSERT_TRUE(store) << error;
        funkor::MeasuredCell cell;
        cell.radio = "GSM";
        cell.mcc = 208;
        cell.mnc = 1;
        cell.area = 0x703;
        cell.cell = 0x810D;
        cell.serving = true;
        cell.signalDbm = -70;
        // Six fixes on a line of 300 m around 45.70 N, 4.80 E.
        for (int i = 0; i < 6; ++i) {
            funkor::MeasuredFix fix;
            fix.timeMs = 1796817600000 + i * 1000;
            fix.latitude = 45.70;
            fix.longitude = 4.798 + i * 0.0008;
            fix.accuracyMetres = 5;
            ASSERT_TRUE(store->record(fix, {cell}).ok);
        }
        funkor::learnCells(*store, 1796817700);
    }
    Form1& f = w.start();
    f.phone.phoneLinked = true;
    f.phone.manufacturer = "Quectel";
    f.InterpretResponse(kUnknownCell);
    EXPECT_TRUE(f.PosL->text().isEmpty());  // the imported file knows no such cell
    f.cellEstimate->nextRead();
    f.InterpretResponse(
        "+QENG: "
        "\"servingcell\",\"NOCONN\",\"GSM\",208,01,0703,810D,35,82,-,-60,255,255,0,53,179,1,-,"
        "-,-,-,-,-,-,-,-,\"-\"");
    f.cellEstimate->estimate();
    const funkor::PositionEstimate& e = f.cellEstimate->last();
    ASSERT_TRUE(e.valid);
    EXPECT_NEAR(e.latitude, 45.70, 0.002);
    EXPECT_NEAR(e.longitude, 4.800, 0.003);
    EXPECT_TRUE(f.PosL->toolTip().startsWith(QStringLiteral("Zellen-Datenbank, 1 Zelle")))
        << f.PosL->toolTip().toStdString();
}
