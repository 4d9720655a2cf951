// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/cell_site_files.h"

#include <QFile>

#include "app/base/elements.h"
#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/base/write_problems.h"
#include "app/support/program_folder.h"
#include "core/cell_files.h"

CellSiteFiles::CellSiteFiles(const Elements& e, const NetworkState& network,
                             const PositionState& position, Platform& platform,
                             const ProgramFolder& folder, WriteProblems& writeProblems)
    : Cell_(e.Cell),
      network_(network),
      position_(position),
      platform_(platform),
      folder_(folder),
      writeProblems_(writeProblems) {}

CellSiteFiles::~CellSiteFiles() = default;

QString CellSiteFiles::caption() const {
    return Cell_->text();
}

void CellSiteFiles::showCaption(const QString& caption) {
    Cell_->setText(caption);
}

void CellSiteFiles::showNameOf(const std::string& cellKey) {
    Cell_->setText(QString());
    // The user's name for the cell; a missing file names nothing.
    if (const auto caption = funkor::findCellNameInFile(filePath(funkor::kCellNameFile), cellKey))
        Cell_->setText(fromCp1252(*caption));
    Cell_->show();
}

std::string CellSiteFiles::filePath(const char* name) const {
    return QFile::encodeName(folder_.file(QString::fromLatin1(name))).toStdString();
}

void CellSiteFiles::Cell_MouseDown(int button) {
    const funkor::NamingChoice choice =
        funkor::chooseNamingFile(button == 1, network_.operatorCode, toCp1252(Cell_->text()),
                                 network_.cellKey, position_.positionKey);
    if (choice.beep) platform_.Beep();
    switch (choice.file) {
        case funkor::NamingChoice::None:
            return;
        case funkor::NamingChoice::CellFile:
            nameClicked(funkor::kCellNameFile, network_.cellKey, funkor::cellNameLine);
            return;
        case funkor::NamingChoice::SiteFile:
            nameClicked(funkor::kSiteNameFile, position_.positionKey, funkor::siteNameLine);
            return;
    }
}

void CellSiteFiles::nameClicked(const char* file, const std::string& key, RecordLine line) {
    // The dialog is modal, but the phone keeps talking while the user types:
    // the name goes to the cell or site that was clicked, and the caption
    // only when that one is still shown.
    const std::string clicked = key;
    const std::string name = toCp1252(platform_.InputBox(
        QStringLiteral("Name:"), QStringLiteral(" ") + QString::fromLatin1(file)));
    if (name.empty()) return;
    if (key == clicked) Cell_->setText(fromCp1252(" " + name));
    writeProblems_.report(platform_, file,
                          funkor::appendRecord(filePath(file), line(clicked, name)), true);
}
