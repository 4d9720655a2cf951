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
#include "core/cell_database.h"
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
