// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/position/position_log.h"

#include <QFile>
#include <QFileInfo>

#include "app/window/form1.h"
#include "app/window/text_codec.h"
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

PositionLog::PositionLog(Form1& form) : f(form) {}

std::string PositionLog::path(const char* name) const {
    return QFile::encodeName(f.folderFile(QString::fromLatin1(name))).toStdString();
}

void PositionLog::Trace_Click() {
    f.TrNew->setEnabled(f.Trace->isChecked());
    // Positions come from the O2 network's broadcast, or on any network from
    // the cell database.
    const bool fromDatabase = f.position.gsmFromDatabase;
    if ((f.network.operatorCode != funkor::kO2Germany && !fromDatabase) || !f.Trace->isChecked())
        return;
    const std::string cellName = toCp1252(f.Cell->text());
    if (f.TrNew->isChecked() && !cellName.empty()) return;
    // Before the first position there are no sentences to log.
    if (f.position.gsmRmc.empty() || (f.position.positionKey.empty() && !fromDatabase)) return;
    const std::string log = path(funkor::kPositionLogFile);
    if (f.TrNew->isChecked() && funkor::logHoldsCell(readText(log), f.network.cellKey)) return;
    // The entry goes to the file whole or not at all; a program stopped in
    // the middle, or a full disk, leaves the earlier entries as they were.
    const int error = funkor::appendWhole(
        log, funkor::positionLogEntry(
                 f.network.cellKey,
                 fromDatabase ? std::string(funkor::kNoGridKey) : f.position.positionKey, cellName,
                 f.position.gsmRmc, f.position.gsmGga));
    f.writeProblems.report(f.platform(), funkor::kPositionLogFile, error);
    if (error != 0) return;
    f.NewL->setVisible(true);
}

void PositionLog::NewL_Click() {
    const std::string log = path(funkor::kPositionLogFile);
    if (!QFileInfo::exists(QFile::decodeName(log.c_str()))) return;
    f.platform().Beep();

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
            f.position.reviewRmc = e.rmc;
            f.position.reviewGga = e.gga;
            // A header without a readable position has nothing to name.
            if (!e.siteKeyValid) continue;
            if (funkor::anyLineStartsWith(funkor::readLines(sites), e.siteKey) ||
                funkor::anyLineStartsWith(funkor::readLines(cells), e.cellKey))
                continue;
            // While the name is asked, the position is replayed to the
            // output and the map.
            f.Timer5->setEnabled(true);
            const std::string name = toCp1252(f.platform().InputBox(
                QStringLiteral("Name:"), QStringLiteral("  ") + fromCp1252(e.siteKey)));
            f.Timer5->setEnabled(false);
            if (name.empty()) return;
            const int error = funkor::appendRecord(
                sites, funkor::siteNameLine(e.siteKey.substr(0, 6) + e.siteKey.substr(7), name));
            f.writeProblems.report(f.platform(), funkor::kSiteNameFile, error, true);
            if (error != 0) return;
        }
        text = readText(log);
    }

    if (!f.platform().YesNo(QStringLiteral("Log-Datei löschen ?"), QString())) return;
    // An entry logged during the question stays for the next merge.
    const std::string now = readText(log);
    // The log is replaced as a whole: cut first and then written, a full
    // disk would lose those entries.
    if (now.size() > merged && now.compare(0, merged, text, 0, merged) == 0) {
        f.writeProblems.report(f.platform(), funkor::kPositionLogFile,
                               funkor::replaceWhole(log, now.substr(merged)), true);
        return;
    }
    QFile::remove(QFile::decodeName(log.c_str()));
    f.NewL->setVisible(false);
}
