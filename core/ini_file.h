// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <vector>

// Reading and writing settings files in the private-profile format: section
// names in square brackets, one "key=value" per line. Section and key names
// are compared without regard to case; LF and CRLF line ends are both read.
// Every call opens the file, does its work and closes it again.
namespace funkor::ini {

// The key's value read as a whole number: optional blanks, an optional sign,
// then the leading digits. A missing file, section or key, or a value that
// does not start with digits, gives `def`.
int getInt(const std::string& path, const std::string& section, const std::string& key, int def);

// The key's value with surrounding blanks removed; nothing when the file,
// section or key is missing.
std::optional<std::string> getString(const std::string& path, const std::string& section,
                                     const std::string& key);

// Sets the key to `value`. Every other line, section and key of the file is
// kept as it was; the file, section and key are created as needed. The file
// is replaced as a whole (written beside it, then renamed), so a failed write
// never leaves half a file. False when the file cannot be read or written.
bool writeString(const std::string& path, const std::string& section, const std::string& key,
                 const std::string& value);

struct Entry {
    std::string section;
    std::string key;
    std::string value;
};
// Sets several keys in one replacement of the file, in order: after a crash
// or a full disk the file holds all of them or none. False (and the file
// unchanged) when one of them cannot be stored or the file cannot be read
// or written.
bool writeStrings(const std::string& path, const std::vector<Entry>& entries);

}  // namespace funkor::ini
