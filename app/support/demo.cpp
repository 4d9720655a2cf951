// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/support/demo.h"

#include <sys/prctl.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QStandardPaths>
#include <QtDebug>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "app/base/elements.h"
#include "app/base/serial_port_component.h"
#include "app/base/text_codec.h"
#include "app/base/window_view.h"
#include "core/ini_file.h"

namespace {

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString firstExisting(const QStringList& candidates) {
    for (const QString& c : candidates) {
        if (QFileInfo(c).isFile()) return QDir::cleanPath(QFileInfo(c).absoluteFilePath());
    }
    return QString();
}

// Copies `from` to `to` unless `to` exists already (the user may have added
// names to an earlier copy) or there is nothing to copy.
bool copyIfMissing(const QString& from, const QString& to) {
    if (from.isEmpty() || QFileInfo::exists(to)) return true;
    return QFile::copy(from, to);
}

// Copies `from` to `to` unless `to` is at least as new: the demo's cell
// database is generated, so a newer build's file replaces an older copy.
// The copy is written beside `to` and renamed over it, so that a program
// that has the old one open keeps reading a whole file.
bool copyIfNewer(const QString& from, const QString& to) {
    if (from.isEmpty()) return true;
    const QFileInfo target(to);
    if (target.exists() && target.lastModified() >= QFileInfo(from).lastModified()) return true;
    const QString part = to + QStringLiteral(".part");
    QFile::remove(part);
    if (!QFile::copy(from, part)) return false;
    // QFile::copy keeps the permissions of an installed (read-only) file.
    QFile::setPermissions(part, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ReadGroup | QFileDevice::ReadOther);
    return std::rename(QFile::encodeName(part).constData(), QFile::encodeName(to).constData()) == 0;
}

}  // namespace

bool demoRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--demo") == 0) return true;
    }
    return false;
}

bool useOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return false;
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return true;
}

namespace {
QString textOf(const WindowView& w, const char* name) {
    const QLabel* label = w.element<QLabel>(QLatin1String(name));
    return label ? label->text() : QString();
}
QString toolTipOf(const WindowView& w, const char* name) {
    const QWidget* widget = w.element<QWidget>(QLatin1String(name));
    return widget ? widget->toolTip() : QString();
}
}  // namespace

DemoStatus demoStatusOf(const WindowView& w) {
    const PhoneLinkState& phone = w.phoneState();
    const PositionState& position = w.positionState();
    DemoStatus s;
    s.linked = phone.phoneLinked;
    if (const auto* port = w.element<SerialPortComponent>(QStringLiteral("Comm1")))
        s.device = port->devicePath();
    s.makerModel = textOf(w, "Info").simplified();
    s.battery = phone.batteryCharge;
    if (phone.signalLevel >= 0) {
        s.signal = phone.signalLevel;
        s.signalTip = toolTipOf(w, "Level");
    }
    s.network = textOf(w, "Netz").trimmed();
    s.cellKey = fromCp1252(w.networkState().cellKey);
    s.cellName = textOf(w, "Cell").trimmed();
    s.timingAdvance = textOf(w, "TAV").trimmed();
    // The labels hold placeholders until the first position. A position
    // from the cell database has no region; its tooltip says where it came
    // from and how far it may be off ("Zellen-Datenbank, Reichweite 2,6 km",
    // then the degrees after two blanks).
    if (position.gsmFromDatabase) {
        s.position = textOf(w, "PosL").trimmed();
        s.positionOrigin = toolTipOf(w, "PosL").section(QStringLiteral("  "), 0, 0).trimmed();
    } else if (!position.positionKey.empty()) {
        s.position = textOf(w, "PosL").trimmed();
        s.region = textOf(w, "Zone").trimmed();
    }
    return s;
}

QString demoStatusLine(const DemoStatus& s, double seconds) {
    QString line = QStringLiteral("[%1 s] ").arg(static_cast<int>(seconds), 4);
    if (!s.linked) {
        line += QStringLiteral("suche Handy an %1")
                    .arg(s.device.isEmpty() ? QStringLiteral("?") : s.device);
        return line;
    }
    QStringList parts;
    parts << (s.makerModel.isEmpty() ? QStringLiteral("Handy gefunden") : s.makerModel);
    if (s.battery >= 0) parts << QStringLiteral("Akku %1%").arg(s.battery);
    if (s.signal >= 0) {
        QString p = QStringLiteral("Signal %1").arg(s.signal);
        if (!s.signalTip.isEmpty()) p += QStringLiteral(" (%1)").arg(s.signalTip);
        parts << p;
    }
    if (!s.network.isEmpty()) parts << QStringLiteral("Netz %1").arg(s.network);
    if (!s.cellKey.isEmpty() && s.cellKey != QLatin1String("*")) {
        QString p = QStringLiteral("Zelle %1").arg(s.cellKey);
        if (!s.cellName.isEmpty()) p += QStringLiteral(" \"%1\"").arg(s.cellName);
        parts << p;
    }
    if (!s.timingAdvance.isEmpty() && s.timingAdvance != QLatin1String("*"))
        parts << QStringLiteral("TA %1").arg(s.timingAdvance);
    if (!s.position.isEmpty()) {
        QString p = QStringLiteral("PosL %1").arg(s.position);
        if (!s.positionOrigin.isEmpty()) p += QStringLiteral(" (%1)").arg(s.positionOrigin);
        parts << p;
    }
    if (!s.region.isEmpty()) parts << s.region;
    return line + parts.join(QStringLiteral(" | "));
}

DemoParts findDemoParts(const QString& executableDir) {
    const QString d = executableDir;
    const QString share = d + QStringLiteral("/../share/funkor");
    DemoParts p;
    p.simulator = firstExisting({d + QStringLiteral("/../tools/phonesim/funkor-phonesim"),
                                 d + QStringLiteral("/funkor-phonesim")});
    if (p.simulator.isEmpty())
        p.simulator = QStandardPaths::findExecutable(QStringLiteral("funkor-phonesim"));
    p.countryCodes = firstExisting(
        {d + QStringLiteral("/GSMcodes.txt"), share + QStringLiteral("/GSMcodes.txt")});
    p.regions = firstExisting({d + QStringLiteral("/O2.txt"), share + QStringLiteral("/O2.txt")});
    p.cellNames = firstExisting(
        {d + QStringLiteral("/demo/Funkor.clf"), share + QStringLiteral("/demo/Funkor.clf")});
    p.siteNames = firstExisting(
        {d + QStringLiteral("/demo/Funkor.txt"), share + QStringLiteral("/demo/Funkor.txt")});
    p.cellDatabase = firstExisting({d + QStringLiteral("/demo/Funkor-cells.db"),
                                    share + QStringLiteral("/demo/Funkor-cells.db")});
    return p;
}

bool seedDemoFolder(const QString& folder, const QString& phoneLink, const DemoParts& parts,
                    QString* error) {
    if (!QDir().mkpath(folder)) {
        if (error) *error = QStringLiteral("Demo-Ordner %1 kann nicht angelegt werden").arg(folder);
        return false;
    }
    // The phone is always COM 1 at 19200 baud here, whatever an earlier
    // demo run saved: the simulated phone lives at the link.
    const std::string ini = localPath(folder + QStringLiteral("/Funkor.ini"));
    bool ok = funkor::ini::writeString(ini, "Devices", "COM1", localPath(phoneLink)) &&
              funkor::ini::writeString(ini, "Ports", "GSM", "1") &&
              funkor::ini::writeString(ini, "Ports", "Baud", "0");
    // The position goes to the LAN on the usual NMEA port, for gpsd and
    // navigation programs on this machine, unless the user chose otherwise
    // in an earlier demo.
    auto seed = [&ini](const char* section, const char* key, const char* value) {
        if (funkor::ini::getString(ini, section, key)) return true;
        return funkor::ini::writeString(ini, section, key, value);
    };
    ok = seed("Ports", "NMEA", "20") && seed("LAN", "Port", "10110") &&
         seed("LAN", "Address", "127.0.0.1") && seed("Sources", "GSM", "1") && ok;
    const QString dir = folder + QLatin1Char('/');
    ok = copyIfMissing(parts.countryCodes, dir + QStringLiteral("GSMcodes.txt")) && ok;
    ok = copyIfMissing(parts.regions, dir + QStringLiteral("O2.txt")) && ok;
    ok = copyIfMissing(parts.cellNames, dir + QStringLiteral("Funkor.clf")) && ok;
    ok = copyIfMissing(parts.siteNames, dir + QStringLiteral("Funkor.txt")) && ok;
    ok = copyIfNewer(parts.cellDatabase, dir + QStringLiteral("Funkor-cells.db")) && ok;
    if (!ok && error)
        *error = QStringLiteral("Demo-Ordner %1 kann nicht beschrieben werden").arg(folder);
    return ok;
}

DemoSession::DemoSession(QObject* parent) : QObject(parent) {
    connect(&reportTimer_, &QTimer::timeout, this, &DemoSession::reportNow);
}

DemoSession::~DemoSession() {
    stop();
}

bool DemoSession::start(const QString& executableDir, QString* error) {
    auto fail = [error](const QString& message) {
        if (error) *error = message;
        return false;
    };
    const DemoParts parts = findDemoParts(executableDir);
    if (parts.simulator.isEmpty())
        return fail(QStringLiteral(
            "Demo: funkor-phonesim nicht gefunden (weder im Build-Baum noch neben dem "
            "Programm noch im PATH)"));

    // One demo folder that keeps the names the user gives; a second demo
    // running at the same time gets a temporary folder of its own, so that
    // the two simulated phones do not share a link.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty()) base = QDir::homePath() + QStringLiteral("/.local/share");
    folder_ = QDir::cleanPath(base + QStringLiteral("/funkor/demo"));
    QDir().mkpath(folder_);
    lock_ = std::make_unique<QLockFile>(folder_ + QStringLiteral("/demo.lock"));
    if (!lock_->tryLock(0)) {
        lock_.reset();
        tempDir_ = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                                   QStringLiteral("/funkor-demo-XXXXXX"));
        if (!tempDir_->isValid())
            return fail(QStringLiteral("Demo: kein temporärer Ordner möglich"));
        qInfo().noquote() << QStringLiteral("Demo läuft schon in %1; diese nutzt %2")
                                 .arg(folder_, tempDir_->path());
        folder_ = tempDir_->path();
    }
    QString seedError;
    if (!seedDemoFolder(folder_, phoneLink(), parts, &seedError)) return fail(seedError);

    const QStringList args{QStringLiteral("--link"), phoneLink()};
    sim_.setProgram(parts.simulator);
    sim_.setArguments(args);
    sim_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The simulator must not outlive the program, even when the program is
    // killed: it gets SIGTERM when its parent ends.
    sim_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    sim_.start();
    if (!sim_.waitForStarted(5000))
        return fail(
            QStringLiteral("Demo: %1 startet nicht: %2").arg(parts.simulator, sim_.errorString()));
    // Its first line is the port's path; it is ready once that is out.
    while (!sim_.canReadLine()) {
        if (!sim_.waitForReadyRead(10000)) {
            stop();
            return fail(QStringLiteral("Demo: das simulierte Handy meldet keinen Port"));
        }
    }
    device_ = QString::fromLocal8Bit(sim_.readLine()).trimmed();
    startedMs_ = QDateTime::currentMSecsSinceEpoch();
    // Nobody hears an offscreen demo: its announcements go into a WAV file
    // in the demo folder, unless the user named a file already.
    const QString platform = QGuiApplication::platformName();
    if ((platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) &&
        qEnvironmentVariableIsEmpty("FUNKOR_SPEECH_WAV"))
        qputenv("FUNKOR_SPEECH_WAV", QFile::encodeName(folder_ + QStringLiteral("/Sprelo.wav")));
    return true;
}

void DemoSession::reportTo(const WindowView& window, std::FILE* out, int everyMs) {
    window_ = &window;
    out_ = out;
    std::fprintf(out_, "Funkor-Demo: simuliertes Handy an %s (%s), Ordner %s\n",
                 qPrintable(device_), qPrintable(phoneLink()), qPrintable(folder_));
    if (const QString wav = qEnvironmentVariable("FUNKOR_SPEECH_WAV"); !wav.isEmpty())
        std::fprintf(out_, "Sprachausgabe in %s\n", qPrintable(wav));
    std::fflush(out_);
    reportTimer_.start(everyMs);
    // Nobody hears the speech control either: what it is asked to say goes
    // to the terminal.
    const auto* speech = window.element<SpeechElement>(QStringLiteral("Sprelo"));
    if (!speech) return;
    connect(speech, &SpeechElement::Spoken, this, [this](const QString& text, int) {
        const qint64 ms = QDateTime::currentMSecsSinceEpoch() - startedMs_;
        std::fprintf(out_, "[%4lld s] Ansage: %s\n", static_cast<long long>(ms / 1000),
                     text.toUtf8().constData());
        std::fflush(out_);
    });
}

void DemoSession::reportNow() {
    if (!window_ || !out_) return;
    const double seconds =
        static_cast<double>(QDateTime::currentMSecsSinceEpoch() - startedMs_) / 1000.0;
    const QByteArray line = demoStatusLine(demoStatusOf(*window_), seconds).toUtf8();
    std::fprintf(out_, "%s\n", line.constData());
    std::fflush(out_);
}

void DemoSession::stop() {
    reportTimer_.stop();
    if (sim_.state() == QProcess::NotRunning) return;
    sim_.terminate();
    if (!sim_.waitForFinished(3000)) {
        sim_.kill();
        sim_.waitForFinished(1000);
    }
}
