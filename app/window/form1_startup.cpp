// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>
#include <QTimer>
#include <QtDebug>

#include "app/base/text_codec.h"
#include "app/output/map_server.h"
#include "app/output/source_selection.h"
#include "app/phone/command_cycle.h"
#include "app/phone/modem_manager_link.h"
#include "app/phone/phone_line.h"
#include "app/position/cell_db_position.h"
#include "app/position/measurement_recorder.h"
#include "app/sms/sms_reception.h"
#include "app/window/form1.h"
#include "app/window/form2.h"
#include "core/data_files.h"
#include "core/fields.h"
#include "core/ini_file.h"
#include "core/local_time.h"

// Start-up, the settings file and the phone-port controls.

namespace {

// Largest valid list position of each port list.
constexpr int kGsmStop = 17;
constexpr int kGpsLast = 16;
constexpr int kNmeaLast = 20;

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

void Form1::fillPortLists() {
    // Filling a list is not a choice: the handlers run only when start-up
    // sets the saved positions. The lists are left without a selection, so
    // that setting any position, also 0, counts as a change.
    const std::string ini = settingsPath();
    auto addPorts = [&](QComboBox* list) {
        for (int n = 1; n <= 16; ++n) {
            list->addItem(QStringLiteral("COM %1").arg(n));
            list->setItemData(list->count() - 1,
                              SerialPortComponent::deviceFromSettingsFile(ini, n), Qt::ToolTipRole);
        }
    };
    for (QComboBox* list : {GSM, GPS, NMEA}) {
        QSignalBlocker block(list);
        list->clear();
        list->addItem(list == GSM ? QStringLiteral("Auto") : QStringLiteral("AUS"));
        addPorts(list);
    }
    {
        QSignalBlocker block(GSM);
        GSM->addItem(QStringLiteral("STOP"));
        GSM->setCurrentIndex(-1);
    }
    {
        QSignalBlocker block(NMEA);
        for (const char* target : {"Port1", "Port2", "LPT1", "LAN"})
            NMEA->addItem(QString::fromLatin1(target));
        auto lpt = funkor::ini::getString(ini, "Devices", "LPT1");
        NMEA->setItemData(19,
                          lpt ? QString::fromLocal8Bit(lpt->c_str()) : QStringLiteral("/dev/lp0"),
                          Qt::ToolTipRole);
        NMEA->setCurrentIndex(-1);
    }
    {
        QSignalBlocker block(GPS);
        GPS->setCurrentIndex(-1);
    }
}

void Form1::Form_Load() {
    // Lists, stacking, window on screen.
    fillPortLists();
    SMSrd->lower();
    show();
    QCoreApplication::processEvents();

    // Saved choices. Each list's own handler runs as the position is set.
    GSM->setCurrentIndex(readSetting("Ports", "GSM", kGsmStop, 0, kGsmStop));
    GPS->setCurrentIndex(readSetting("Ports", "GPS", 0, 0, kGpsLast));
    NMEA->setCurrentIndex(readSetting("Ports", "NMEA", 0, 0, kNmeaLast));
    int baud = readSetting("Ports", "Baud", 0, 0, 2);
    if (GSM->currentIndex() > 0) Baud[baud]->setChecked(true);
    Trace->setChecked(readSetting("Trace", "on", 0, 0, 1) == 1);
    TrNew->setChecked(readSetting("Trace", "new", 1, 0, 1) == 1);
    TrNew->setEnabled(Trace->isChecked());
    // Position sources and automatic sending, through their handlers.
    sourceSelection->restoreSettings();

    // No serving cell known yet.
    network.cellKey.assign(1, '*');

    // Command line. "T" is test mode; otherwise a port (and rate) for the
    // phone, which the command cycle uses when it opens the port.
    const QString commandLine = options_.commandLine.trimmed();
    if (commandLine == QLatin1String("T")) {
        phone.commandLine.clear();
        List2->setGeometry(List2->x(), Netze[1]->y(), List2->width(), twipsToPixels(3960));
        List2->show();
        SMSc->show();
    } else if (commandLine.isEmpty()) {
        phone.commandLine.clear();
    } else {
        const std::string text = commandLine.toStdString();
        if (auto pc = parsePortCommand(text)) {
            // Stored as "n" or "n,b" without blanks: the command cycle cuts
            // it at the comma, and the baud option is later chosen from the
            // first digits of the settings text it gives.
            phone.commandLine = std::to_string(pc->port);
            if (!pc->settings.empty())
                phone.commandLine += "," + pc->settings.substr(0, pc->settings.find(','));
        } else {
            // A command line that names no usable port is not used; the
            // window's own port choice applies.
            phone.commandLine.clear();
            qWarning().noquote() << QStringLiteral(
                                        "Befehlszeile \"%1\" nicht verstanden: "
                                        "erwartet T, Port oder Port,Baudrate")
                                        .arg(commandLine);
        }
    }

    // Speech.
    Sprelo->Initialize();

    // Country codes and region circles; a missing file leaves its
    // table empty.
    funkor::readCountryTable(localPath(folder_.dataFile(QStringLiteral("GSMcodes.txt"))),
                             network.countryTable);
    funkor::readO2Lines(localPath(folder_.dataFile(QStringLiteral("O2.txt"))), position.o2Lines);
    if (auto base = funkor::ini::getString(settingsPath(), "Map", "Base"); base && !base->empty())
        position.mapBase = *base;

    // The offline cell database: "CellDB"/"File" names it (relative to the
    // program folder), else "Funkor-cells.db" there. Without one, positions
    // come from the network's broadcast alone.
    QString cellDb = folder_.file(QStringLiteral("Funkor-cells.db"));
    if (auto file = funkor::ini::getString(settingsPath(), "CellDB", "File");
        file && !file->empty()) {
        const QString named = fromCp1252(*file);
        cellDb = QDir::isAbsolutePath(named) ? named : folder_.file(named);
    }
    QString cellDbProblem;
    cellDbPosition->openDatabase(localPath(cellDb), &cellDbProblem);
    // Cell measurements with the GPS fix, when "Measurements"/"Record" is 1:
    // "Measurements"/"File", else beside the cell database.
    QString measurements =
        QFileInfo(cellDb).dir().filePath(QStringLiteral("Funkor-measurements.db"));
    if (auto file = funkor::ini::getString(settingsPath(), "Measurements", "File");
        file && !file->empty())
        measurements = QDir::isAbsolutePath(fromCp1252(*file)) ? fromCp1252(*file)
                                                               : folder_.file(fromCp1252(*file));
    measurementRecorder->start(settingsPath(), localPath(measurements));

    // Local time offset from the system's time-zone rules, so that the
    // switch to and from summer time falls on the real dates.
    const auto now = static_cast<std::time_t>(platform_->Now().toSecsSinceEpoch());
    position.utcOffsetMinutes = funkor::utcOffsetMinutes(now);
    position.utcOffsetHours = funkor::utcOffsetHours(now);

    // The command cycle runs unless the phone link is off.
    if (GSM->currentText() != QLatin1String("STOP")) {
        QCoreApplication::processEvents();
        commandCycle->start();
    }

    // Nothing to take over without a position log.
    if (!QFileInfo::exists(folderFile(QStringLiteral("Funkor.log")))) NewL->hide();

    // The map page, unless the map addresses point elsewhere ("Map"/"Base");
    // without a base they point at it, on "Map"/"Port".
    position.mapBase = mapBaseAddress(settingsPath());
    startMapServer(*mapServer, settingsPath());

    // Told once start-up is over: queued last, since the start-up above
    // lets queued events through.
    if (!cellDbProblem.isEmpty()) queueCellDbProblem(cellDbProblem);
}

void Form1::queueCellDbProblem(const QString& problem) {
    QTimer::singleShot(0, this, [this, problem] { showCellDbProblem(problem); });
}

void Form1::showCellDbProblem(const QString& problem) {
    smsReception->showStatus(problem, QStringLiteral("Zellen-Datenbank"));
    phoneLine->addTrace(problem, true);
    if (attended()) platform_->MsgBox(problem, QStringLiteral(" Zellen-Datenbank"));
}

bool Form1::attended() const {
    return options_.quitAfterSeconds < 0 && platform_->OnScreen();
}

void Form1::Form_QueryUnload() {
    form2->unload();
}

void Form1::GSM_Click() {
    if (GSM->currentIndex() < 0) return;
    const QString choice = GSM->currentText();
    if (choice == QLatin1String("STOP")) {
        sourceSelection->setGsmAvailable(false);
        return;
    }
    if (Comm1->PortOpen()) Comm1->setPortOpen(false);
    if (choice.startsWith(QLatin1String("COM")))
        phone.portNumber = funkor::fields::valInt(funkor::fields::mid(choice.toStdString(), 5));
    phone.phoneLinked = false;
    QCoreApplication::processEvents();
    sourceSelection->setGsmAvailable(true);
    if (Active->isChecked()) commandCycle->start();
}

void Form1::GSM_GotFocus() {
    commandCycle->stop();
    GPS->setEnabled(true);
    NMEA->setEnabled(true);
    if (Comm1->PortOpen()) Comm1->setPortOpen(false);
}

void Form1::Active_Click() {
    if (!Active->isChecked()) {
        commandCycle->stop();
        if (Comm1->PortOpen()) Comm1->setPortOpen(false);
        return;
    }
    phone.phoneLinked = false;
    const bool modemManager = ModemManagerLink::namesModemManager(
        SerialPortComponent::deviceFromSettingsFile(settingsPath(), phone.portNumber));
    if (!modemManager && !Comm1->PortOpen() && !Comm1->setPortOpen(true))
        platform_->MsgBox(Comm1->lastError(), QStringLiteral("GSM-Port"));
    // Polling resumes, except while home is shown or the phone link is off.
    if (!ShHome->isChecked() && GSM->currentText() != QLatin1String("STOP")) commandCycle->start();
}

void Form1::SAVE_Click() {
    const std::string ini = settingsPath();
    // All keys go to the file in one replacement, so that the settings are
    // either the old ones or the new ones, whenever the program is stopped.
    std::vector<funkor::ini::Entry> entries;
    auto put = [&](const char* section, const char* key, int value) {
        entries.push_back({section, key, std::to_string(value)});
    };
    put("Ports", "GSM", GSM->currentIndex());
    put("Ports", "GPS", GPS->currentIndex());
    put("Ports", "NMEA", NMEA->currentIndex());
    for (int i = 0; i < 3; ++i) {
        if (Baud[i]->isChecked()) {
            put("Ports", "Baud", i);
            break;
        }
    }
    put("Trace", "on", Trace->isChecked() ? 1 : 0);
    put("Trace", "new", TrNew->isChecked() ? 1 : 0);
    for (const auto& [key, value] : sourceSelection->settingsToSave()) put("Sources", key, value);
    // The beep tells the user the settings are stored; a failed write says
    // so instead.
    if (funkor::ini::writeStrings(ini, entries))
        platform_->Beep();
    else
        platform_->MsgBox(QStringLiteral("Die Einstellungen konnten nicht gespeichert werden:\n%1")
                              .arg(QString::fromStdString(ini)),
                          QStringLiteral("Einstellungen"));
}
