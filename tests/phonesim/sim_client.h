// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

// Runs the built simulator and talks to it over its pseudo-terminal, as a
// program on a serial port would.
namespace simtest {

// A scenario for the tests: two broadcasting cells and one without a
// position, three phone books, two stored SMS. `timeline` is the JSON array
// of events.
std::string testScenario(const std::string& timeline = "[]");

// Writes `text` to a fresh file in a temporary folder and returns its path.
std::string writeTemp(const std::string& name, const std::string& text);

class Sim {
  public:
    // Starts funkor-phonesim with the scenario text and extra arguments
    // (defaults: no line pacing, no answer delay) and opens its port.
    explicit Sim(const std::string& scenarioJson,
                 std::vector<std::string> args = {"--baud", "off", "--delay", "0"});
    ~Sim();
    Sim(const Sim&) = delete;
    Sim& operator=(const Sim&) = delete;

    const std::string& path() const { return path_; }
    const std::string& logPath() const { return log_; }

    // Pulls the phone's cable (SIGUSR1): the simulator closes its end.
    void unplug();
    // Opens the port at `path` from now on (a link that follows the phone).
    void usePath(const std::string& path) { path_ = path; }
    void openPort(int baud = 19200);
    void closePort();
    void send(std::string_view bytes);
    // Everything that arrives within `seconds`.
    std::string readFor(double seconds);
    // Reads until `needle` has arrived (or the time is up); returns all read.
    std::string readUntil(std::string_view needle, double timeout = 30.0);
    // Sends `line` + CR and reads until a final result code; returns the
    // non-empty lines (the echo first, if echo is on).
    std::vector<std::string> command(const std::string& line, double timeout = 30.0);

  private:
    pid_t pid_ = -1;
    int fd_ = -1;
    std::string path_;
    std::string log_;
    std::string pending_;  // read but not yet returned
};

// The non-empty lines of a reply, split at CR and LF.
std::vector<std::string> lines(const std::string& text);

}  // namespace simtest
