// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QtDebug>
#include <csignal>
#include <cstdio>
#include <memory>

#include "app/support/command_line.h"
#include "app/support/demo.h"
#include "app/support/stall_probe.h"
#include "app/support/stop_signals.h"
#include "app/support/worker_threads.h"
#include "app/window/form1.h"
#include "app/window/snapshot.h"

int main(int argc, char** argv) {
    // A file grown to the size limit (ulimit -f) or a reader gone from a
    // pipe must fail the write, which the program reports, not end it.
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    if (helpRequested(argc, argv)) {
        std::fputs(helpText(), stdout);
        return 0;
    }
    // The demo runs without a display too; the platform must be chosen
    // before the application object exists.
    const bool demoMode = demoRequested(argc, argv);
    if (demoMode) useOffscreenWithoutDisplay();

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Funkor"));
    // Goes after the window and before the application object.
    const WorkerThreadsEndedAtExit workerThreadsEnded;

    StartOptions options = parseStartOptions(QApplication::arguments().mid(1));
    for (const QString& problem : options.problems) qWarning().noquote() << problem;

    std::unique_ptr<DemoSession> demo;
    if (demoMode) {
        if (!options.dataDir.isEmpty())
            qWarning().noquote() << QStringLiteral(
                "--data-dir gilt nicht für die Demo: sie hat ihren eigenen Ordner");
        demo = std::make_unique<DemoSession>();
        QString error;
        if (!demo->start(QCoreApplication::applicationDirPath(), &error)) {
            qCritical().noquote() << error;
            return 1;
        }
        options.dataDir = demo->folder();
    }

    Form1 form(options, nullptr);
    form.Form_Load();
    if (demo) {
        // Nobody sees an offscreen window: tell the terminal what it shows.
        const QString platform = QGuiApplication::platformName();
        if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
            demo->reportTo(form, stdout);
    }
    std::unique_ptr<StallProbe> probe;
    if (const QString file = StallProbe::fileFromEnvironment(); !file.isEmpty())
        probe = std::make_unique<StallProbe>(form, file);

    stopOnTerminationSignals([&form] {
        form.close();
        QCoreApplication::quit();
    });
    if (options.quitAfterSeconds >= 0) {
        QTimer::singleShot(static_cast<int>(options.quitAfterSeconds * 1000), &form,
                           [&form] { form.close(); });
    }
    int rc = QApplication::exec();

    if (probe) probe->write();
    if (demo) {
        demo->reportNow();
        demo->stop();
    }
    if (!options.snapshotFile.isEmpty() && !writeSnapshot(form, options.snapshotFile)) {
        qWarning().noquote() << QStringLiteral("Zustand konnte nicht nach %1 geschrieben werden")
                                    .arg(options.snapshotFile);
        if (rc == 0) rc = 1;
    }
    return rc;
}
