// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tests/phonesim/sim_client.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace simtest {
namespace {

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

std::string tempDir() {
    static std::string dir = [] {
        char tmpl[] = "/tmp/phonesim-test-XXXXXX";
        const char* d = mkdtemp(tmpl);
        if (!d) throw std::runtime_error("mkdtemp failed");
        return std::string(d);
    }();
    return dir;
}

bool isFinal(const std::string& text) {
    for (const char* code : {"\r\nOK\r\n", "\r\nERROR\r\n", "\r\nNO CARRIER\r\n"}) {
        if (text.find(code) != std::string::npos) return true;
    }
    for (const char* code : {"+CME ERROR:", "+CMS ERROR:"}) {
        const auto p = text.find(code);
        if (p != std::string::npos && text.find("\r\n", p) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

std::string testScenario(const std::string& timeline) {
    return R"({
  "phone": {"manufacturer": "SIEMENS", "model": "S45i", "revision": "21", "imei": "350123456789012"},
  "sim": {"imsi": "262071234567890", "iccid": "89492071234567890123", "smsc": "+491760000443",
          "homeZone": {"easting": 459870, "northing": 581994, "radius": 1500, "name": "Home"},
          "cityZone": {"easting": 459547, "northing": 582169, "radius": 15000, "name": "City"}},
  "phoneBooks": [
    {"storage": "SM", "capacity": 30, "entries": [
      {"index": 1, "number": "+4917612345678", "name": "Jürgen Müller"},
      {"index": 2, "number": "0301234567", "name": "Öz \"Ali\""},
      {"index": 5, "number": "+493098765432", "name": "Mutti"}]},
    {"storage": "FD", "capacity": 5, "entries": []},
    {"storage": "ON", "capacity": 2, "entries": [{"index": 1, "number": "+4917600112233", "name": "Ich"}]}],
  "sms": {"capacity": 10, "messages": [
    {"index": 1, "status": "read", "sender": "+4917612345678", "time": "2004-11-12T14:50:00+01:00", "text": "Hallo"},
    {"index": 2, "status": "unread", "sender": "+4917698765432", "time": "2004-11-12T15:00:00+01:00",
     "alphabet": "ascii", "text": "$SendPosition!"}]},
  "battery": {"charge": 80, "charging": false},
  "signal": 20,
  "networks": [{"code": "26207", "name": "o2 - de"}, {"code": "26201", "name": "T-Mobile D"},
               {"code": "26203", "name": "E-Plus", "forbidden": true}],
  "cells": [
    {"name": "A", "lac": "526D", "ci": "4E21", "position": "459870581994", "ta": 3},
    {"name": "B", "lac": "526E", "ci": "0407", "position": "451818582197", "ta": 12},
    {"name": "C", "lac": "526E", "ci": "9C40", "ta": 1}],
  "broadcastEvery": 0.3,
  "operatorScanSeconds": 0,
  "services": {"*122#": "Standort %CELL%"},
  "timeline": )" +
           timeline + "}";
}

std::string writeTemp(const std::string& name, const std::string& text) {
    static int counter = 0;
    const std::string path = tempDir() + "/" + std::to_string(++counter) + "-" + name;
    std::ofstream(path) << text;
    return path;
}

Sim::Sim(const std::string& scenarioJson, std::vector<std::string> args) {
    const std::string scenario = writeTemp("scenario.json", scenarioJson);
    log_ = writeTemp("commands.log", "");
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    std::vector<std::string> argv = {FUNKOR_BINARY_DIR "/tools/phonesim/funkor-phonesim",
                                     "--scenario", scenario, "--log", log_};
    argv.insert(argv.end(), args.begin(), args.end());
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        std::vector<char*> cargs;
        for (auto& a : argv) cargs.push_back(a.data());
        cargs.push_back(nullptr);
        execv(cargs[0], cargs.data());
        _exit(127);
    }
    close(out[1]);
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') path_ += c;
    close(out[0]);
    if (path_.empty()) throw std::runtime_error("the simulator printed no port");
    openPort();
}

Sim::~Sim() {
    closePort();
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}

void Sim::unplug() {
    if (pid_ > 0) kill(pid_, SIGUSR1);
}

void Sim::openPort(int baud) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path_);
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    const speed_t speed = baud == 115200 ? B115200 : (baud == 57600 ? B57600 : B19200);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd_, TCSANOW, &t);
    pending_.clear();
}

void Sim::closePort() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void Sim::send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = write(fd_, bytes.data(), bytes.size());
        if (n > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(n));
        } else {
            // The pseudo-terminal is full: let the simulator catch up, and
            // keep reading so that its echo does not block it.
            pollfd p{fd_, POLLIN, 0};
            poll(&p, 1, 10);
            char buf[65536];
            const ssize_t got = read(fd_, buf, sizeof buf);
            if (got > 0) pending_.append(buf, static_cast<std::size_t>(got));
        }
    }
}

std::string Sim::readFor(double seconds) {
    std::string out;
    std::swap(out, pending_);
    const double end = now() + seconds;
    char buf[65536];
    for (double left; (left = end - now()) > 0;) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left * 1000) + 1) > 0) {
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n > 0) out.append(buf, static_cast<std::size_t>(n));
        }
    }
    return out;
}

std::string Sim::readUntil(std::string_view needle, double timeout) {
    std::string out;
    std::swap(out, pending_);
    const double end = now() + timeout;
    char buf[65536];
    while (out.find(needle) == std::string::npos && now() < end) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 20) > 0) {
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n > 0) out.append(buf, static_cast<std::size_t>(n));
        }
    }
    return out;
}

std::vector<std::string> Sim::command(const std::string& line, double timeout) {
    send(line + "\r");
    std::string out;
    std::swap(out, pending_);
    const double end = now() + timeout;
    char buf[65536];
    while (!isFinal(out) && now() < end) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, 20) > 0) {
            const ssize_t n = read(fd_, buf, sizeof buf);
            if (n > 0) out.append(buf, static_cast<std::size_t>(n));
        }
    }
    return lines(out);
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::string current;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!current.empty()) out.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) out.push_back(current);
    return out;
}

}  // namespace simtest
