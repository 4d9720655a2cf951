// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/position_log.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>

#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/base/write_problems.h"
#include "app/output/map_link.h"
#include "app/position/cell_site_files.h"
#include "app/support/program_folder.h"
#include "core/cell_files.h"
#include "core/data_files.h"
#include "core/file_writes.h"
#include "core/operators.h"
#include "core/position_log.h"

namespace {

std::string readText(const std::string& path) {
    QFile file(QFile::decodeName(path.c_str()));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
}

}  // namespace

PositionLog::PositionLog(const Elements& e, const NetworkState& network, PositionState& position,
                         Platform& platform, const ProgramFolder& folder,
                         WriteProblems& writeProblems, const CellSiteFiles& cellNames,
                         MapLink& mapLink)
    : Trace_(e.Trace),
      TrNew_(e.TrNew),
      NewL_(e.NewL),
      network_(network),
      position_(position),
      platform_(platform),
      folder_(folder),
      writeProblems_(writeProblems),
      cellNames_(cellNames),
      mapLink_(mapLink) {}

std::string PositionLog::path(const char* name) const {
    return QFile::encodeName(folder_.file(QString::fromLatin1(name))).toStdString();
}

void PositionLog::Trace_Click() {
    TrNew_->setEnabled(Trace_->isChecked());
    // Positions come from the O2 network's broadcast, or on any network from
    // the cell database.
    const bool fromDatabase = position_.gsmFromDatabase;
    if ((network_.operatorCode != funkor::kO2Germany && !fromDatabase) || !Trace_->isChecked())
        return;
    const std::string cellName = toCp1252(cellNames_.caption());
    if (TrNew_->isChecked() && !cellName.empty()) return;
    // Before the first position there are no sentences to log.
    if (position_.gsmRmc.empty() || (position_.positionKey.empty() && !fromDatabase)) return;
    const std::string log = path(funkor::kPositionLogFile);
    if (TrNew_->isChecked() && funkor::logHoldsCell(readText(log), network_.cellKey)) return;
    // The entry goes to the file whole or not at all; a program stopped in
    // the middle, or a full disk, leaves the earlier entries as they were.
    const int error = funkor::appendWhole(
        log, funkor::positionLogEntry(
                 network_.cellKey,
                 fromDatabase ? std::string(funkor::kNoGridKey) : position_.positionKey, cellName,
                 position_.gsmRmc, position_.gsmGga));
    writeProblems_.report(platform_, funkor::kPositionLogFile, error);
    if (error != 0) return;
    NewL_->setVisible(true);
}

void PositionLog::logPosition() {
    if (Trace_->isChecked()) Trace_Click();
}

void PositionLog::stopLogging() {
    Trace_->setChecked(false);
}

void PositionLog::NewL_Click() {
    const std::string log = path(funkor::kPositionLogFile);
    if (!QFileInfo::exists(QFile::decodeName(log.c_str()))) return;
    platform_.Beep();

    const std::string sites = path(funkor::kSiteNameFile);
    const std::string cells = path(funkor::kCellNameFile);
    // Positions keep being logged while the user types; those entries are
    // merged as well before the log may go.
    std::string text = readText(log);
    std::size_t merged = 0;
    while (merged < text.size()) {
        const auto entries = funkor::readPositionLog(std::string_view(text).substr(merged));
        merged = text.size();
        for (const auto& e : entries) {
            position_.reviewRmc = e.rmc;
            position_.reviewGga = e.gga;
            // A header without a readable position has nothing to name.
            if (!e.siteKeyValid) continue;
            if (funkor::anyLineStartsWith(funkor::readLines(sites), e.siteKey) ||
                funkor::anyLineStartsWith(funkor::readLines(cells), e.cellKey))
                continue;
            // While the name is asked, the position is replayed to the
            // output and the map.
            mapLink_.startReplay();
            const std::string name = toCp1252(platform_.InputBox(
                QStringLiteral("Name:"), QStringLiteral("  ") + fromCp1252(e.siteKey)));
            mapLink_.stopReplay();
            if (name.empty()) return;
            const int error = funkor::appendRecord(
                sites, funkor::siteNameLine(e.siteKey.substr(0, 6) + e.siteKey.substr(7), name));
            writeProblems_.report(platform_, funkor::kSiteNameFile, error, true);
            if (error != 0) return;
        }
        text = readText(log);
    }

    if (!platform_.YesNo(QStringLiteral("Log-Datei löschen ?"), QString())) return;
    // An entry logged during the question stays for the next merge.
    const std::string now = readText(log);
    // The log is replaced as a whole: cut first and then written, a full
    // disk would lose those entries.
    if (now.size() > merged && now.compare(0, merged, text, 0, merged) == 0) {
        writeProblems_.report(platform_, funkor::kPositionLogFile,
                              funkor::replaceWhole(log, now.substr(merged)), true);
        return;
    }
    QFile::remove(QFile::decodeName(log.c_str()));
    NewL_->setVisible(false);
}
