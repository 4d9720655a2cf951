// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "speechctl/registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace sprelo::registry {

namespace {

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

const char* hiveName(Hive hive) {
    switch (hive) {
        case Hive::CurrentUser:
            return "HKEY_CURRENT_USER";
        case Hive::LocalMachine:
            return "HKEY_LOCAL_MACHINE";
        case Hive::ClassesRoot:
            return "HKEY_CLASSES_ROOT";
    }
    return "HKEY_CURRENT_USER";
}

std::string userConfigDir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg);
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : ".") + "/.config";
}

// Creates `dir` and its parents; true when it exists afterwards.
bool makeDirs(const std::string& dir) {
    if (dir.empty()) return true;
    struct stat st {};
    if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const auto slash = dir.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeDirs(dir.substr(0, slash))) return false;
    return mkdir(dir.c_str(), 0755) == 0 || errno == EEXIST;
}

// Reads a quoted string starting at text[pos] == '"'; moves pos past the
// closing quote. False when the closing quote is missing.
bool readQuoted(const std::string& text, std::size_t& pos, std::string* out) {
    out->clear();
    for (++pos; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\' && pos + 1 < text.size()) {
            char e = text[++pos];
            out->push_back(e == 'n' ? '\n' : e);
        } else {
            out->push_back(c);
        }
    }
    return false;
}

void writeQuoted(std::string& out, const std::string& s) {
    out.push_back('"');
    for (char c : s) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out.push_back(c);
        }
    }
    out.push_back('"');
}

std::string trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

}  // namespace

bool Caseless::operator()(const std::string& a, const std::string& b) const {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        char x = lowerAscii(a[i]), y = lowerAscii(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

std::string hivePath(Hive hive) {
    const char* root = std::getenv("SPRELO_REGISTRY");
    std::string dir;
    if (root && *root)
        dir = root;
    else if (hive == Hive::LocalMachine)
        dir = "/etc/Sprelo4Cntrl";
    else
        dir = userConfigDir() + "/Sprelo4Cntrl";
    return dir + "/" + hiveName(hive) + ".reg";
}

std::string normaliseKey(const std::string& key) {
    std::string out;
    for (char c : key) {
        if (c == '/') c = '\\';
        if (c == '\\' && (out.empty() || out.back() == '\\')) continue;
        out.push_back(c);
    }
    while (!out.empty() && out.back() == '\\') out.pop_back();
    return out;
}

bool isAtOrBelow(const std::string& key, const std::string& parent) {
    if (key.size() < parent.size()) return false;
    for (std::size_t i = 0; i < parent.size(); ++i)
        if (lowerAscii(key[i]) != lowerAscii(parent[i])) return false;
    return key.size() == parent.size() || key[parent.size()] == '\\';
}

Keys parseHive(const std::string& text) {
    Keys keys;
    Values* current = nullptr;
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        std::string line = trim(raw);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            const auto close = line.rfind(']');
            current = nullptr;
            if (close == std::string::npos || close < 2) continue;
            std::string key = normaliseKey(line.substr(1, close - 1));
            if (key.empty()) continue;
            current = &keys[key];
            continue;
        }
        if (!current) continue;
        std::string name;
        std::size_t pos = 0;
        if (line[0] == '@') {
            pos = 1;
        } else if (line[0] == '"') {
            if (!readQuoted(line, pos, &name)) continue;
        } else {
            // Unquoted name, as a hand edit might leave it.
            pos = line.find('=');
            if (pos == std::string::npos) continue;
            name = trim(line.substr(0, pos));
        }
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size() || line[pos] != '=') continue;
        ++pos;
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        std::string value;
        if (pos < line.size() && line[pos] == '"') {
            if (!readQuoted(line, pos, &value)) continue;
        } else {
            value = trim(line.substr(pos));
        }
        (*current)[name] = value;
    }
    return keys;
}

std::string formatHive(const Keys& keys) {
    std::string out = "; Sprelo4Cntrl registry\n";
    for (const auto& [key, values] : keys) {
        out += "\n[" + key + "]\n";
        for (const auto& [name, value] : values) {
            if (name.empty())
                out += "@";
            else
                writeQuoted(out, name);
            out += "=";
            writeQuoted(out, value);
            out += "\n";
        }
    }
    return out;
}

Keys loadHive(Hive hive) {
    std::ifstream in(hivePath(hive), std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return parseHive(text.str());
}

bool saveHive(Hive hive, const Keys& keys) {
    const std::string path = hivePath(hive);
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && !makeDirs(path.substr(0, slash))) return false;
    const std::string temp = path + ".new." + std::to_string(getpid());
    const std::string text = formatHive(keys);
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

ReadResult readString(Hive hive, const std::string& key, const std::string& name, char* buffer,
                      std::size_t size) {
    if (size == 0) return ReadResult::TooLong;
    const Keys keys = loadHive(hive);
    const auto k = keys.find(normaliseKey(key));
    if (k == keys.end()) return ReadResult::NoKey;
    const auto v = k->second.find(name);
    if (v == k->second.end()) return ReadResult::NoValue;
    const std::string& value = v->second;
    const std::size_t n = value.size() < size - 1 ? value.size() : size - 1;
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return value.size() < size ? ReadResult::Ok : ReadResult::TooLong;
}

}  // namespace sprelo::registry
