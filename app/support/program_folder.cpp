// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/support/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ProgramFolder::file(const QString& name) const {
    return dir + QLatin1Char('/') + name;
}

QString ProgramFolder::dataFile(const QString& name) const {
    QString own = file(name);
    if (QFileInfo::exists(own) || shippedDir.isEmpty()) return own;
    QString shipped = shippedDir + QLatin1Char('/') + name;
    return QFileInfo::exists(shipped) ? shipped : own;
}

namespace {

QString cleaned(const QString& path) {
    return QDir::cleanPath(QDir(path).absolutePath());
}

bool isWritableDir(const QString& path) {
    QFileInfo fi(path);
    return fi.isDir() && fi.isWritable();
}

// An installed program lies in a "bin" folder with the shipped files in
// "../share/funkor". Such a tree keeps no settings beside the program, also
// where it could (unpacked by its user, or run as root).
bool isInstalledTree(const QString& executableDir) {
    return QFileInfo(executableDir).fileName() == QLatin1String("bin") &&
           QFileInfo(executableDir + QStringLiteral("/../share/funkor")).isDir();
}

}  // namespace

ProgramFolder findProgramFolder(const ProgramFolderInputs& in) {
    ProgramFolder f;
    if (!in.dataDirOption.isEmpty()) {
        f.dir = cleaned(in.dataDirOption);
    } else if (!in.funkorHome.isEmpty()) {
        f.dir = cleaned(in.funkorHome);
    } else if (!in.executableDir.isEmpty() && isWritableDir(in.executableDir) &&
               !isInstalledTree(in.executableDir)) {
        f.dir = cleaned(in.executableDir);
    } else {
        QString base = in.xdgDataHome.isEmpty() ? in.homeDir + QStringLiteral("/.local/share")
                                                : in.xdgDataHome;
        f.dir = cleaned(base + QStringLiteral("/funkor"));
        if (!in.executableDir.isEmpty())
            f.shippedDir = cleaned(in.executableDir + QStringLiteral("/../share/funkor"));
    }
    QDir().mkpath(f.dir);
    return f;
}

ProgramFolder findProgramFolder(const QString& dataDirOption) {
    ProgramFolderInputs in;
    in.dataDirOption = dataDirOption;
    in.funkorHome = qEnvironmentVariable("FUNKOR_HOME");
    in.executableDir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    in.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    in.homeDir = QDir::homePath();
    return findProgramFolder(in);
}
