// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/ini_file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/file_writes.h"

namespace funkor::ini {

namespace {

std::string trimBlanks(const std::string& s) {
    std::size_t b = 0;
    std::size_t e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return s.substr(b, e - b);
}

bool sameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// The file as lines without their ends; `crlf` tells whether the first line
// end was CR LF, `finalNewline` whether the last line was ended. Returns
// false when the file exists but cannot be read; a missing file gives no
// lines and true with `exists` false.
struct FileText {
    std::vector<std::string> lines;
    bool exists = false;
    bool crlf = false;
    bool finalNewline = true;
};

bool loadFile(const std::string& path, FileText& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::error_code ec;
        // A file that is there but cannot be opened must not be overwritten.
        if (std::filesystem::exists(path, ec) || ec) return false;
        return true;
    }
    out.exists = true;
    std::ostringstream buf;
    buf << in.rdbuf();
    if (in.bad()) return false;
    const std::string text = buf.str();
    std::size_t start = 0;
    bool firstEnd = true;
    while (start < text.size()) {
        std::size_t nl = text.find('\n', start);
        if (nl == std::string::npos) {
            out.lines.push_back(text.substr(start));
            out.finalNewline = false;
            break;
        }
        std::size_t end = nl;
        if (end > start && text[end - 1] == '\r') --end;
        if (firstEnd) {
            out.crlf = end != nl;
            firstEnd = false;
        }
        out.lines.push_back(text.substr(start, end - start));
        start = nl + 1;
    }
    return true;
}

// "[name]" -> name; nothing for any other line.
bool sectionName(const std::string& line, std::string& name) {
    const std::string t = trimBlanks(line);
    if (t.size() < 2 || t.front() != '[') return false;
    const std::size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = trimBlanks(t.substr(1, close - 1));
    return true;
}

// "key=value" -> key and value, both trimmed; comments and lines without "="
// are no entries.
bool entry(const std::string& line, std::string& key, std::string& value) {
    const std::string t = trimBlanks(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') return false;
    const std::size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = trimBlanks(t.substr(0, eq));
    value = trimBlanks(t.substr(eq + 1));
    return true;
}

std::optional<std::string> lookup(const std::vector<std::string>& lines, const std::string& section,
                                  const std::string& key) {
    bool inSection = false;
    std::string name;
    std::string k;
    std::string v;
    for (const auto& line : lines) {
        if (sectionName(line, name)) {
            // Only the first section of that name counts.
            if (inSection) return std::nullopt;
            inSection = sameName(name, section);
        } else if (inSection && entry(line, k, v) && sameName(k, key)) {
            // A value in double quotes is read without them.
            if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
            return v;
        }
    }
    return std::nullopt;
}

bool hasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

}  // namespace

std::optional<std::string> getString(const std::string& path, const std::string& section,
                                     const std::string& key) {
    FileText file;
    if (!loadFile(path, file)) return std::nullopt;
    return lookup(file.lines, section, key);
}

int getInt(const std::string& path, const std::string& section, const std::string& key, int def) {
    const auto value = getString(path, section, key);
    if (!value) return def;
    const std::string& v = *value;
    std::size_t i = 0;
    bool negative = false;
    if (i < v.size() && (v[i] == '-' || v[i] == '+')) {
        negative = v[i] == '-';
        ++i;
    }
    if (i >= v.size() || v[i] < '0' || v[i] > '9') return def;
    long long n = 0;
    while (i < v.size() && v[i] >= '0' && v[i] <= '9') {
        n = n * 10 + (v[i++] - '0');
        if (n > static_cast<long long>(INT_MAX) + 1) n = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) n = -n;
    if (n > INT_MAX) n = INT_MAX;
    if (n < INT_MIN) n = INT_MIN;
    return static_cast<int>(n);
}

namespace {

// A name or value that would break the line layout cannot be stored.
bool storable(const Entry& e) {
    return !e.section.empty() && !e.key.empty() && !hasLineBreak(e.section) &&
           !hasLineBreak(e.key) && !hasLineBreak(e.value) &&
           e.section.find(']') == std::string::npos && e.key.find('=') == std::string::npos;
}

// Sets one key in the file's lines: replaced in place in the first section
// of that name, else added after the section's last entry, else in a new
// section at the end.
void setEntry(std::vector<std::string>& lines, const Entry& e) {
    const std::string newEntry = e.key + "=" + e.value;
    std::size_t sectionLine = lines.size();
    std::size_t insertAt = lines.size();
    std::string name;
    std::string k;
    std::string v;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (sectionName(lines[i], name)) {
            if (sectionLine != lines.size()) break;
            if (sameName(name, e.section)) {
                sectionLine = i;
                insertAt = i + 1;
            }
        } else if (sectionLine != lines.size()) {
            if (entry(lines[i], k, v) && sameName(k, e.key)) {
                lines[i] = newEntry;
                return;
            }
            if (!trimBlanks(lines[i]).empty()) insertAt = i + 1;
        }
    }
    if (sectionLine == lines.size()) {
        lines.push_back("[" + e.section + "]");
        lines.push_back(newEntry);
    } else {
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), newEntry);
    }
}

}  // namespace

bool writeStrings(const std::string& path, const std::vector<Entry>& entries) {
    for (const auto& e : entries)
        if (!storable(e)) return false;
    FileText file;
    if (!loadFile(path, file)) return false;
    for (const auto& e : entries) setEntry(file.lines, e);
    const char* eol = file.crlf ? "\r\n" : "\n";
    std::string text;
    for (const auto& line : file.lines) text.append(line).append(eol);
    // The whole file is replaced at once: a full disk or a program stopped
    // in the middle leaves the old settings, never some keys of each.
    return replaceWhole(path, text) == 0;
}

bool writeString(const std::string& path, const std::string& section, const std::string& key,
                 const std::string& value) {
    return writeStrings(path, {{section, key, value}});
}

}  // namespace funkor::ini
