#include <QApplication>
#include <QTimer>
#include <QtDebug>

#include "app/window/command_line.h"
#include "app/window/form1.h"
#include "app/window/snapshot.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Funkor"));

    StartOptions options = parseStartOptions(QApplication::arguments().mid(1));
    for (const QString& problem : options.problems) qWarning().noquote() << problem;

    Form1 form(options, nullptr);
    form.Form_Load();
    if (options.quitAfterSeconds >= 0) {
        QTimer::singleShot(static_cast<int>(options.quitAfterSeconds * 1000), &form,
                           [&form] { form.close(); });
    }
    int rc = QApplication::exec();

    if (!options.snapshotFile.isEmpty() && !writeSnapshot(form, options.snapshotFile)) {
        qWarning().noquote() << QStringLiteral("Zustand konnte nicht nach %1 geschrieben werden")
                                    .arg(options.snapshotFile);
        if (rc == 0) rc = 1;
    }
    return rc;
}
