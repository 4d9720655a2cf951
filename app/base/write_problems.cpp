// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/base/write_problems.h"

#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "core/file_writes.h"

void WriteProblems::report(Platform& platform, const std::string& fileName, int error,
                           bool userAsked) {
    if (error == 0) {
        failing_.erase(fileName);
        return;
    }
    if (!failing_.insert(fileName).second && !userAsked) return;
    platform.MsgBox(QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2")
                        .arg(fromCp1252(fileName), fromCp1252(funkor::writeErrorReason(error))),
                    QStringLiteral("Funkor"));
}
