// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

// The phone's end of the serial line: the master side of a pseudo-terminal.
// A program opens the slave side as it would open a serial port.
namespace phonesim {

class PtyLine {
  public:
    PtyLine() = default;
    ~PtyLine();
    PtyLine(const PtyLine&) = delete;
    PtyLine& operator=(const PtyLine&) = delete;

    // Creates the pseudo-terminal with the slave in raw mode at 19200 baud.
    bool open(std::string& error);
    // Keeps a symbolic link at `path` to the slave (replacing an old link).
    bool link(const std::string& path, std::string& error);

    // Unplugging: the master is closed, so a program holding the slave sees
    // the line hang up, and the link goes away as a device's does.
    void unplug();
    // Plugging in again: a new pseudo-terminal, linked at the same path.
    bool plugIn(std::string& error);
    bool plugged() const { return master_ >= 0; }

    int fd() const { return master_; }
    const std::string& slavePath() const { return slave_; }

    // The slave's line settings as the program set them: its speed in baud
    // (0 when unknown) and whether it echoes input (a terminal in cooked
    // mode would send our own answers back to us).
    int baud() const;
    bool echoes() const;

    // Throws away what was sent to the slave and not read: a serial line
    // does not keep bytes for a program that has closed the port.
    void discardUnread();

  private:
    int master_ = -1;
    std::string slave_;
    std::string link_;
};

}  // namespace phonesim
