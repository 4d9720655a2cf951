// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// A small registry of our own, in place of the system registry the control
// and its engine were made for: one text file per hive under a root folder.
//
//   HKEY_CURRENT_USER, HKEY_CLASSES_ROOT  $XDG_CONFIG_HOME/Sprelo4Cntrl (~/.config/Sprelo4Cntrl)
//   HKEY_LOCAL_MACHINE                    /etc/Sprelo4Cntrl
//
// SPRELO_REGISTRY=DIR puts all three hives under DIR (tests, portable use).
// Each hive is a file "<HIVE>.reg" in the format of the registry editor:
//
//   [SOFTWARE\Tembrik\Sprelo]
//   "ServerFile"="/usr/lib/x86_64-linux-gnu/sprelo/libsprelo-espeak.so"
//   @="default value of the key"
//
// Key names compare without regard to ASCII case. Lines that make no sense
// are passed over, so a file edited by hand never stops a lookup; a value
// line before the first key is ignored. A write replaces the file as a whole
// (written beside it, then renamed), so a reader never sees half a file.

#include <cstddef>
#include <map>
#include <string>

namespace sprelo::registry {

enum class Hive { CurrentUser, LocalMachine, ClassesRoot };

// The file holding `hive`.
std::string hivePath(Hive hive);

struct Caseless {
    bool operator()(const std::string& a, const std::string& b) const;
};
// Value name "" is the key's default value ("@").
using Values = std::map<std::string, std::string, Caseless>;
using Keys = std::map<std::string, Values, Caseless>;

// Parses a hive file's text; never fails.
Keys parseHive(const std::string& text);
std::string formatHive(const Keys& keys);

// A missing or unreadable file reads as an empty hive.
Keys loadHive(Hive hive);
// False when the folder cannot be made or the file cannot be written.
bool saveHive(Hive hive, const Keys& keys);

enum class ReadResult { Ok, NoKey, NoValue, TooLong };
// Reads a string value into `buffer` of `size` bytes, always terminated
// within it: a value longer than size - 1 bytes is cut there and reported
// as TooLong. Nothing is written beyond `size`.
ReadResult readString(Hive hive, const std::string& key, const std::string& name, char* buffer,
                      std::size_t size);

// Normalises a key path: forward slashes become backslashes, leading,
// trailing and doubled separators go.
std::string normaliseKey(const std::string& key);
// Whether `key` is `parent` itself or lies below it.
bool isAtOrBelow(const std::string& key, const std::string& parent);

}  // namespace sprelo::registry
