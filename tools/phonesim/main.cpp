// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// funkor-phonesim: a Siemens S45i on O2 Germany on a pseudo-terminal.
//
// Prints the slave's path, then plays the phone until stopped: answers AT
// commands, sends unsolicited messages and runs the scenario's time line.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>

#include "tools/phonesim/modem.h"
#include "tools/phonesim/pty_line.h"
#include "tools/phonesim/radio_drive.h"
#include "tools/phonesim/scenario.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;
volatile std::sig_atomic_t unplugRequested = 0;

void onSignal(int) {
    stopRequested = 1;
}

void onUnplugSignal(int) {
    unplugRequested = 1;
}

double monotonicSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void usage(FILE* to) {
    std::fprintf(to,
                 "usage: funkor-phonesim [--scenario FILE] [--link PATH] [--log FILE]\n"
                 "                       [--baud auto|off|RATE] [--delay MS] [--repeat SECONDS]\n"
                 "                       [--replug-after MS] [--device NAME] [--cells-csv FILE]\n"
                 "  --scenario FILE  phone, SIM, cells and time line (default: the Berlin drive)\n"
                 "  --link PATH      keep a symbolic link PATH to the pseudo-terminal\n"
                 "  --log FILE       record every received command line with a time stamp\n"
                 "  --device NAME    the device on the line: s45i (default), lte-modem\n"
                 "                   (a battery-less LTE USB modem), gsm-module (SIM800) or\n"
                 "                   ublox-module (SARA-G350)\n"
                 "  --cells-csv FILE write the cell database of the scenario's radio network\n"
                 "                   (OpenCellID CSV) before the phone starts\n"
                 "  --baud MODE      pace output like a serial line: at the rate the program\n"
                 "                   set (auto, default), at a fixed RATE, or not at all (off)\n"
                 "  --delay MS       the phone's answer delay per command (default 40)\n"
                 "  --repeat SECONDS run the time line again every SECONDS (0: once;\n"
                 "                   default: as the scenario says)\n"
                 "  --replug-after MS  SIGUSR1 unplugs the phone: the pseudo-terminal closes\n"
                 "                   and its link goes; after MS (default 1000) a new one is\n"
                 "                   linked at the same path\n");
}

std::string defaultScenario(const char* argv0) {
    std::string dir = argv0;
    const auto slash = dir.rfind('/');
    dir = slash == std::string::npos ? "." : dir.substr(0, slash);
    const std::string candidates[] = {
        dir + "/../share/funkor/phonesim/berlin.json",
        dir + "/scenarios/berlin.json",
#ifdef PHONESIM_SOURCE_SCENARIO
        PHONESIM_SOURCE_SCENARIO,
#endif
    };
    for (const auto& c : candidates) {
        if (access(c.c_str(), R_OK) == 0) return c;
    }
    return candidates[0];
}

class RecordFile {
  public:
    bool open(const std::string& path) {
        file_ = std::fopen(path.c_str(), "w");
        return file_ != nullptr;
    }
    ~RecordFile() {
        if (file_) std::fclose(file_);
    }
    void write(const std::string& line) {
        if (!file_) return;
        using namespace std::chrono;
        const auto now = system_clock::now();
        const std::time_t t = system_clock::to_time_t(now);
        const int ms =
            static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
        std::tm tm{};
        localtime_r(&t, &tm);
        char stamp[32];
        std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &tm);
        std::fprintf(file_, "%s.%03d %s\n", stamp, ms, line.c_str());
        std::fflush(file_);
    }

  private:
    FILE* file_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    std::string scenarioPath, linkPath, logPath, baudMode = "auto", deviceArg, cellsCsvPath;
    double delayMs = 40;
    double repeatSeconds = -1;
    double replugMs = 1000;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "funkor-phonesim: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            out = argv[++i];
        };
        std::string v;
        if (a == "--scenario") {
            value(scenarioPath);
        } else if (a == "--link") {
            value(linkPath);
        } else if (a == "--device") {
            value(deviceArg);
        } else if (a == "--log") {
            value(logPath);
        } else if (a == "--cells-csv") {
            value(cellsCsvPath);
        } else if (a == "--baud") {
            value(baudMode);
        } else if (a == "--delay") {
            value(v);
            delayMs = std::atof(v.c_str());
        } else if (a == "--repeat") {
            value(v);
            repeatSeconds = std::atof(v.c_str());
            if (repeatSeconds < 0 || repeatSeconds > 1e6) {
                std::fprintf(stderr, "funkor-phonesim: --repeat takes 0..1000000 seconds\n");
                return 2;
            }
        } else if (a == "--replug-after") {
            value(v);
            replugMs = std::atof(v.c_str());
            if (replugMs < 0 || replugMs > 600000) {
                std::fprintf(stderr, "funkor-phonesim: --replug-after takes 0..600000 ms\n");
                return 2;
            }
        } else if (a == "--help" || a == "-h") {
            usage(stdout);
            return 0;
        } else {
            usage(stderr);
            return 2;
        }
    }
    int fixedBaud = 0;
    if (baudMode != "auto" && baudMode != "off") {
        fixedBaud = std::atoi(baudMode.c_str());
        if (fixedBaud <= 0) {
            std::fprintf(stderr, "funkor-phonesim: --baud takes auto, off or a rate\n");
            return 2;
        }
    }
    if (delayMs < 0 || delayMs > 10000) {
        std::fprintf(stderr, "funkor-phonesim: --delay takes 0..10000 ms\n");
        return 2;
    }
    if (scenarioPath.empty()) scenarioPath = defaultScenario(argv[0]);

    phonesim::Scenario scenario;
    std::string error;
    if (!phonesim::loadScenario(scenarioPath, scenario, error)) {
        std::fprintf(stderr, "funkor-phonesim: %s\n", error.c_str());
        return 1;
    }
    if (repeatSeconds >= 0) scenario.repeatEvery = repeatSeconds;
    if (!deviceArg.empty()) {
        phonesim::Device device = phonesim::Device::S45i;
        if (!phonesim::deviceByName(deviceArg, device)) {
            std::fprintf(stderr,
                         "funkor-phonesim: --device takes s45i, lte-modem, gsm-module or "
                         "ublox-module\n");
            return 2;
        }
        phonesim::useDevice(scenario, device);
    }
    if (!cellsCsvPath.empty()) {
        if (!scenario.radio.on) {
            std::fprintf(stderr, "funkor-phonesim: --cells-csv needs a scenario with \"radio\"\n");
            return 2;
        }
        const std::string csv = phonesim::DriveRadio(scenario.radio).databaseCsv();
        FILE* out = std::fopen(cellsCsvPath.c_str(), "w");
        const bool written = out && std::fwrite(csv.data(), 1, csv.size(), out) == csv.size();
        if (out && std::fclose(out) != 0) out = nullptr;
        if (!written || !out) {
            std::fprintf(stderr, "funkor-phonesim: cannot write %s: %s\n", cellsCsvPath.c_str(),
                         std::strerror(errno));
            return 1;
        }
    }
    RecordFile record;
    if (!logPath.empty() && !record.open(logPath)) {
        std::fprintf(stderr, "funkor-phonesim: cannot write %s: %s\n", logPath.c_str(),
                     std::strerror(errno));
        return 1;
    }
    phonesim::PtyLine line;
    if (!line.open(error) || (!linkPath.empty() && !line.link(linkPath, error))) {
        std::fprintf(stderr, "funkor-phonesim: %s\n", error.c_str());
        return 1;
    }

    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    struct sigaction unplugAction {};
    unplugAction.sa_handler = onUnplugSignal;
    sigaction(SIGUSR1, &unplugAction, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    phonesim::ModemOptions options;
    options.answerDelay = delayMs / 1000.0;
    phonesim::Modem modem(std::move(scenario), options);
    modem.onCommandLine = [&record](const std::string& l) { record.write(l); };

    std::printf("%s\n", line.slavePath().c_str());
    std::fflush(stdout);

    constexpr std::size_t kMaxUnsent = 64 * 1024;
    std::string unsent;     // taken from the modem, not yet on the line
    double lineFreeAt = 0;  // when the emulated line has carried the last byte
    bool present = false;
    double plugInAt = 0;  // while unplugged: when the line comes back
    char buf[4096];

    while (!stopRequested) {
        double now = monotonicSeconds();
        if (unplugRequested) {
            unplugRequested = 0;
            if (line.plugged()) {
                // The cable is pulled: the program's port hangs up, whatever
                // was on its way is lost. The phone itself runs on.
                if (present) modem.setConnected(false, now);
                present = false;
                unsent.clear();
                line.unplug();
                record.write("(unplugged)");
                plugInAt = now + replugMs / 1000.0;
            }
        }
        if (!line.plugged()) {
            if (now >= plugInAt) {
                if (!line.plugIn(error)) {
                    std::fprintf(stderr, "funkor-phonesim: %s\n", error.c_str());
                    return 1;
                }
                record.write("(plugged in)");
                continue;
            }
            poll(nullptr, 0, static_cast<int>(std::clamp((plugInAt - now) * 1000.0, 1.0, 50.0)));
            modem.tick(monotonicSeconds());
            continue;
        }
        const int rate = baudMode == "off" ? 0 : (fixedBaud ? fixedBaud : line.baud());
        double wake = modem.nextWakeup();
        if (!unsent.empty()) wake = std::min(wake, rate > 0 ? lineFreeAt : now);
        int timeoutMs =
            present ? static_cast<int>(std::clamp((wake - now) * 1000.0, 0.0, 500.0) + 0.999) : 50;

        pollfd pfd{line.fd(), POLLIN, 0};
        const int n = poll(&pfd, 1, present ? timeoutMs : 0);
        if (n < 0 && errno != EINTR) break;
        now = monotonicSeconds();
        const bool hangup = n > 0 && (pfd.revents & POLLHUP);
        if (hangup) {
            if (present) {
                present = false;
                modem.setConnected(false, now);
                unsent.clear();
                line.discardUnread();
                record.write("(port closed)");
            }
            // No program on the line: look again in a moment.
            if (!stopRequested) poll(nullptr, 0, 50);
            modem.tick(monotonicSeconds());
            continue;
        }
        if (!present) {
            present = true;
            lineFreeAt = now;
            modem.setConnected(true, now);
            record.write("(port opened)");
        }
        if (n > 0 && (pfd.revents & POLLIN)) {
            const ssize_t got = read(line.fd(), buf, sizeof buf);
            if (got > 0) modem.receive(std::string_view(buf, static_cast<std::size_t>(got)), now);
        }
        modem.tick(now);
        const std::string due = modem.takeDue(now);
        if (unsent.size() + due.size() <= kMaxUnsent) unsent += due;

        if (unsent.empty()) continue;
        if (line.echoes()) {
            // A terminal in cooked mode would echo our answers back as
            // commands; say nothing until the program sets raw mode.
            unsent.clear();
            continue;
        }
        std::size_t chunk = unsent.size();
        if (rate > 0) {
            if (now < lineFreeAt) continue;
            // Ten bits per byte on the line; a few milliseconds per write.
            const double bytesPerSecond = rate / 10.0;
            chunk = std::min(
                chunk, std::max<std::size_t>(1, static_cast<std::size_t>(bytesPerSecond * 0.005)));
        }
        const ssize_t written = write(line.fd(), unsent.data(), chunk);
        if (written > 0) {
            unsent.erase(0, static_cast<std::size_t>(written));
            if (rate > 0)
                lineFreeAt = std::max(lineFreeAt, now) + static_cast<double>(written) * 10.0 / rate;
        }
    }
    return 0;
}
