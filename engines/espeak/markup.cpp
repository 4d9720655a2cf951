// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "engines/espeak/markup.h"

#include <cstring>

namespace sprelo::espeak {

namespace {

// The tag starting at text[pos] == '#', if it is one of ours: its name,
// its argument and its length.
bool readTag(const std::string& text, std::size_t pos, std::string* name, std::string* argument,
             std::size_t* length) {
    const auto end = text.find('#', pos + 1);
    if (end == std::string::npos) return false;
    const std::string body = text.substr(pos + 1, end - pos - 1);
    const auto eq = body.find('=');
    *name = body.substr(0, eq);
    *argument = eq == std::string::npos ? std::string() : body.substr(eq + 1);
    if (*name != "CTX" && *name != "VOICE" && *name != "PAU") return false;
    *length = end - pos + 1;
    return true;
}

std::int32_t leadingNumber(const std::string& s) {
    std::int64_t value = 0;
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        value = value * 10 + (s[i] - '0');
        if (value > kMaxPauseMs) return kMaxPauseMs;
    }
    return static_cast<std::int32_t>(value);
}

class Builder {
  public:
    std::vector<Part> parts;
    std::string voice;

    void add(const std::string& s, std::size_t from) {
        Part& p = speechPart();
        for (char c : s) {
            p.text.push_back(c);
            p.from.push_back(from);
        }
    }
    void addChar(char c, std::size_t from) { add(std::string(1, c), from); }
    void pause(std::int32_t ms) {
        Part p;
        p.kind = Part::Kind::Pause;
        p.voice = voice;
        p.pauseMs = ms;
        parts.push_back(p);
    }
    void setVoice(const std::string& v) { voice = v; }
    // Ends the current speech part, so the next text starts a new one.
    void close() { open_ = false; }

  private:
    Part& speechPart() {
        if (!open_ || parts.empty() || parts.back().kind != Part::Kind::Speech ||
            parts.back().voice != voice) {
            Part p;
            p.voice = voice;
            parts.push_back(p);
            open_ = true;
        }
        return parts.back();
    }
    bool open_ = false;
};

// One character of a spelled text as espeak-ng should say it, or "" when
// it is left out.
std::string spelled(char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
        return std::string(1, c);
    if (c == '*') return "Stern";
    if (c == '#') return "Raute";
    return "";
}

}  // namespace

std::vector<Part> translateMarkup(const std::string& text) {
    Builder out;
    bool spelling = false;
    for (std::size_t i = 0; i < text.size();) {
        std::string name, argument;
        std::size_t length = 0;
        if (text[i] == '#' && readTag(text, i, &name, &argument, &length)) {
            if (name == "CTX") {
                // Spelled characters stand apart from the words around them.
                out.add(" ", i);
                spelling = argument == "SPELL";
            } else if (name == "VOICE") {
                const std::string prefix = "NAME:";
                out.setVoice(argument.compare(0, prefix.size(), prefix) == 0
                                 ? argument.substr(prefix.size())
                                 : argument);
                out.close();
            } else {
                out.pause(leadingNumber(argument));
                out.close();
            }
            i += length;
            continue;
        }
        if (spelling) {
            const std::string word = spelled(text[i]);
            if (!word.empty()) {
                out.add(word, i);
                out.add(" ", i);
            }
        } else {
            out.addChar(text[i], i);
        }
        ++i;
    }
    // Parts with nothing to say are dropped.
    std::vector<Part> result;
    for (Part& p : out.parts) {
        if (p.kind == Part::Kind::Speech &&
            p.text.find_first_not_of(" \t\r\n") == std::string::npos)
            continue;
        result.push_back(std::move(p));
    }
    return result;
}

}  // namespace sprelo::espeak
