// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

// Writing the program's own files so that a program stopped at any moment
// (killed, power gone) or a full disk never costs what was written before:
// records are appended whole or not at all, and files that are rewritten
// (the settings) are replaced as a whole.
namespace funkor {

// Appends `text` to the file, creating it, in one write. A last line left
// without its end (edited by hand, or torn by a program stopped in the
// middle of a write) is ended first, so that the new record starts a line
// of its own and is found by the readers. When the text cannot be written
// whole (full disk, file size limit), the file is cut back to the length it
// had, so what stood there stays and no half record is left. Returns 0, or
// the `errno` of the failure.
int appendWhole(const std::string& path, std::string_view text);

// Replaces the file by `content`: written to a file beside it, flushed to
// the disk, renamed over it, then the folder flushed, so that a reader (or
// the next start after a crash) finds the old or the new content, never a
// mixture or a shortened file. A link is followed to the file it names; an
// existing file keeps its permissions. Returns 0, or the `errno` of the
// failure (the old file is then left as it was).
int replaceWhole(const std::string& path, std::string_view content);

// The reason for a failed write in the user's words, in the 8-bit text of
// the window's messages: "Datentr\xE4ger voll" for a full disk or a file
// grown to its size limit, and so on.
std::string writeErrorReason(int error);

}  // namespace funkor
