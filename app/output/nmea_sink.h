// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "core/position_output.h"

// One output of the NMEA cycle: the serial port, the hardware port, the
// printer device or the LAN client. Each tick hands the sink the target the
// NMEA list names and the sentences to write, in this order: the source
// identification (skipped when empty), the RMC and the GGA sentence, each
// complete with CR LF. A sink passes its own failures over; the next tick
// starts afresh.
class NmeaSink {
  public:
    virtual ~NmeaSink() = default;
    virtual void Write(const funkor::OutputTarget& target, const funkor::OutputPair& pair) = 0;
};
