// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLockFile>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

class WindowView;

// `funkor --demo`: the program on a simulated phone, with no hardware.
//
// The demo starts funkor-phonesim on a pseudo-terminal, keeps a link to it
// as "phone" in a data folder of its own, seeds that folder with a settings
// file whose COM1 is that link, the shipped country-code and region files and
// sample cell and site names for the simulated drive, and then runs the
// window on that folder. The user's own program folder is never touched.
// The simulated phone ends with the program.

// True when the arguments (after the program name) ask for the demo.
bool demoRequested(int argc, char** argv);

// Without a display (neither DISPLAY nor WAYLAND_DISPLAY) and without an
// explicit QT_QPA_PLATFORM, chooses the offscreen platform. Must run before
// the application object is made. True when it chose it.
bool useOffscreenWithoutDisplay();

// What the window shows about the phone, gathered for the terminal report.
struct DemoStatus {
    bool linked = false;     // the phone has answered
    QString device;          // path of the phone port
    QString makerModel;      // "SIEMENS S45i"
    int battery = -1;        // percent; -1 unknown
    int signal = -1;         // 0..31; -1 unknown
    QString signalTip;       // "Pegel: 67%"
    QString network;         // operator name
    QString cellKey;         // "" or "*" when none yet
    QString cellName;        // caption of the cell label, trimmed
    QString timingAdvance;   // "~1.4 km S/O"
    QString position;        // caption of PosL: "09:20  52° 30' 13\" N  13° 27' 8\" O"
    QString region;          // caption of Zone: "Region: O-BLN / Berlin"
    QString positionOrigin;  // tooltip of a database position: "Zellen-Datenbank, ..."
};

DemoStatus demoStatusOf(const WindowView& window);

// One line for the terminal: "[  12 s] SIEMENS S45i | Akku 80% | ..."; parts
// not known yet are left out.
QString demoStatusLine(const DemoStatus& s, double seconds);

// Where the demo finds its parts, given the executable's folder: the build
// tree (app/ beside tools/phonesim/) or an installation (bin/ beside
// share/funkor/). Empty strings when not found.
struct DemoParts {
    QString simulator;     // funkor-phonesim
    QString countryCodes;  // GSMcodes.txt
    QString regions;       // O2.txt
    QString cellNames;     // sample Funkor.clf
    QString siteNames;     // sample Funkor.txt
    QString cellDatabase;  // Funkor-cells.db of the drive's cells without broadcast
};
DemoParts findDemoParts(const QString& executableDir);

// Prepares `folder` for the demo: settings pointing COM1 at `phoneLink` at
// 19200 baud, copies of the shipped files it does not hold yet. Names the
// user gave in an earlier demo are kept; the cell database is the shipped
// one, renewed when the shipped file is newer. False with a German message when the
// folder cannot be written.
bool seedDemoFolder(const QString& folder, const QString& phoneLink, const DemoParts& parts,
                    QString* error);

class DemoSession : public QObject {
    Q_OBJECT
  public:
    explicit DemoSession(QObject* parent = nullptr);
    ~DemoSession() override;

    // Picks and seeds the demo folder ($XDG_DATA_HOME/funkor/demo, or a
    // temporary folder while another demo holds that one), starts the
    // simulator on its default scenario and waits for its port. False with a
    // German message on failure.
    bool start(const QString& executableDir, QString* error);
    QString folder() const { return folder_; }
    QString phoneLink() const { return folder_ + QStringLiteral("/phone"); }
    QString devicePath() const { return device_; }

    // Prints the window's phone state to `out` every `everyMs` ms.
    void reportTo(const WindowView& window, std::FILE* out, int everyMs = 3000);
    void reportNow();

    // Stops the simulator (also done on destruction).
    void stop();

  private:
    QProcess sim_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QTemporaryDir> tempDir_;
    QString folder_;
    QString device_;
    QTimer reportTimer_;
    const WindowView* window_ = nullptr;
    std::FILE* out_ = nullptr;
    qint64 startedMs_ = 0;
};
