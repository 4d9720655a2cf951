// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>

// The program's own folder: the settings file, the cell and site files and
// the position log live there, and the country-code and region files are
// read from there.
//
// Chosen in this order: an explicit folder (--data-dir), the FUNKOR_HOME
// environment variable, the executable's folder when it is writable (a build
// tree or a portable copy) and not an installed tree ("bin" beside
// "share/funkor", wherever it was unpacked), else $XDG_DATA_HOME/funkor
// (~/.local/share/funkor).
// In that last case the shipped country-code and region files are read from
// the installed share folder until the user puts own copies in the folder.
struct ProgramFolder {
    QString dir;         // the folder itself, without a trailing slash
    QString shippedDir;  // installed share folder, "" when not used

    // The path of `name` in the folder.
    QString file(const QString& name) const;
    // The folder's own copy of a shipped file when it exists, else the
    // shipped copy when that exists, else the path in the folder.
    QString dataFile(const QString& name) const;
};

struct ProgramFolderInputs {
    QString dataDirOption;  // --data-dir, "" when not given
    QString funkorHome;     // $FUNKOR_HOME, "" when unset
    QString executableDir;
    QString xdgDataHome;  // $XDG_DATA_HOME, "" when unset
    QString homeDir;
};

// Picks the folder and creates it when it does not exist yet.
ProgramFolder findProgramFolder(const ProgramFolderInputs& in);

// The same, with the inputs taken from the running program and environment.
ProgramFolder findProgramFolder(const QString& dataDirOption);
