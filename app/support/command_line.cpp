// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/support/command_line.h"

#include <cctype>
#include <cstring>
#include <string>

namespace {

bool takesValue(const QString& name) {
    return name == QLatin1String("--data-dir") || name == QLatin1String("--snapshot") ||
           name == QLatin1String("--quit-after") || name == QLatin1String("--recipient");
}

void setOption(StartOptions& o, const QString& name, const QString& value) {
    if (name == QLatin1String("--data-dir")) {
        o.dataDir = value;
    } else if (name == QLatin1String("--snapshot")) {
        o.snapshotFile = value;
    } else if (name == QLatin1String("--recipient")) {
        o.recipient = value;
    } else if (name == QLatin1String("--quit-after")) {
        bool ok = false;
        double s = value.toDouble(&ok);
        if (ok && s >= 0)
            o.quitAfterSeconds = s;
        else
            o.problems << QStringLiteral(
                              "--quit-after braucht eine Zahl von Sekunden, nicht \"%1\"")
                              .arg(value);
    }
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// A whole number made of digits only, at most `maxDigits` of them.
std::optional<long> digitsValue(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace

bool helpRequested(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    }
    return false;
}

const char* helpText() {
    return "Aufruf: funkor [T | PORT | PORT,BAUD] [--data-dir DIR] [--snapshot DATEI]\n"
           "              [--quit-after SEKUNDEN] [--recipient EINTRAG] [--demo]\n"
           "\n"
           "  T                     Testmodus: AT-Protokoll und Knopf \"Test\" von Anfang an\n"
           "  PORT                  das Handy an COM PORT, mit der im Fenster gewählten Rate\n"
           "  PORT,BAUD             das Handy an COM PORT mit BAUD Baud (BAUD,n,8,1)\n"
           "  --data-dir DIR        Programmordner: Einstellungen, Zell- und Mastnamen, Log\n"
           "  --snapshot DATEI      beim Beenden alle Elemente des Fensters als JSON in DATEI\n"
           "  --quit-after SEKUNDEN nach so vielen Sekunden sauber beenden\n"
           "  --recipient EINTRAG   diesen Telefonbuch-Eintrag wählen, sobald das Buch\n"
           "                        gelesen ist\n"
           "  --demo                mit dem simulierten Handy, ohne Hardware\n"
           "  -h, --help            diese Hilfe\n"
           "\n"
           "COM n ist das Gerät [Devices] COMn= in Funkor.ini; \"mm\" (das erste Modem)\n"
           "oder \"mm:IMEI\" liest ein Modem über ModemManager statt mit AT-Befehlen.\n"
           "\n"
           "Umgebung: FUNKOR_HOME (Programmordner), XDG_DATA_HOME, XDG_CONFIG_HOME,\n"
           "FUNKOR_SPRELO4CNTRL (Sprachsteuerung, \"none\": keine), SPRELO_REGISTRY,\n"
           "FUNKOR_SPEECH_WAV (Sprache in eine WAV-Datei), FUNKOR_STALL_PROBE.\n"
           "Mehr in man funkor.\n";
}

StartOptions parseStartOptions(const QStringList& arguments) {
    StartOptions o;
    QStringList positional;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (!a.startsWith(QLatin1String("--")) || a == QLatin1String("--")) {
            if (a != QLatin1String("--")) positional << a;
            continue;
        }
        qsizetype eq = a.indexOf(QLatin1Char('='));
        QString name = eq < 0 ? a : a.left(eq);
        if (!takesValue(name)) {
            o.otherOptions << a;
            continue;
        }
        if (eq >= 0) {
            setOption(o, name, a.mid(eq + 1));
        } else if (i + 1 < arguments.size()) {
            setOption(o, name, arguments[++i]);
        } else {
            o.problems << QStringLiteral("%1 ohne Wert").arg(name);
        }
    }
    o.commandLine = positional.join(QLatin1Char(' '));
    return o;
}

std::optional<PortCommand> parsePortCommand(std::string_view commandLine) {
    std::string_view s = trimmed(commandLine);
    std::size_t comma = s.find(',');
    PortCommand pc;
    auto port = digitsValue(trimmed(s.substr(0, comma)), 2);
    if (!port || *port < 1) return std::nullopt;
    pc.port = static_cast<int>(*port);
    if (comma != std::string_view::npos) {
        std::string_view rate = trimmed(s.substr(comma + 1));
        auto baud = digitsValue(rate, 7);
        if (!baud || *baud < 1) return std::nullopt;
        pc.settings = std::to_string(*baud) + ",n,8,1";
    }
    return pc;
}
