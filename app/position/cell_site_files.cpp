// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/cell_site_files.h"

#include <QFile>

#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/cell_files.h"

CellSiteFiles::CellSiteFiles(Form1& form) : f(form) {}
CellSiteFiles::~CellSiteFiles() = default;

std::string CellSiteFiles::askName(const char* title) {
    return toCp1252(f.platform().InputBox(QStringLiteral("Name:"),
                                          QStringLiteral(" ") + QString::fromLatin1(title)));
}

std::string CellSiteFiles::filePath(const char* name) const {
    return QFile::encodeName(f.folderFile(QString::fromLatin1(name))).toStdString();
}

void CellSiteFiles::Cell_MouseDown(int button) {
    const funkor::NamingChoice choice =
        funkor::chooseNamingFile(button == 1, f.network.operatorCode, toCp1252(f.Cell->text()),
                                 f.network.cellKey, f.position.positionKey);
    if (choice.beep) f.platform().Beep();

    // The dialog is modal, but the phone keeps talking while the user types:
    // the name goes to the cell or site that was clicked, and the caption
    // only when that one is still shown.
    switch (choice.file) {
        case funkor::NamingChoice::None:
            return;
        case funkor::NamingChoice::CellFile: {
            const std::string clicked = f.network.cellKey;
            const std::string name = askName(funkor::kCellNameFile);
            if (name.empty()) return;
            if (f.network.cellKey == clicked) f.Cell->setText(fromCp1252(" " + name));
            f.writeProblems.report(f.platform(), funkor::kCellNameFile,
                                   funkor::appendRecord(filePath(funkor::kCellNameFile),
                                                        funkor::cellNameLine(clicked, name)),
                                   true);
            return;
        }
        case funkor::NamingChoice::SiteFile: {
            const std::string clicked = f.position.positionKey;
            const std::string name = askName(funkor::kSiteNameFile);
            if (name.empty()) return;
            if (f.position.positionKey == clicked) f.Cell->setText(fromCp1252(" " + name));
            f.writeProblems.report(f.platform(), funkor::kSiteNameFile,
                                   funkor::appendRecord(filePath(funkor::kSiteNameFile),
                                                        funkor::siteNameLine(clicked, name)),
                                   true);
            return;
        }
    }
}
