// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A GPS receiver's bytes: they arrive in bursts of any size, so the framer
// must keep the same sentences however the stream is cut. The sentences it
// keeps go on to the position SMS and the map, which must agree on where
// the receiver is.

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/position_output.h"
#include "core/position_sms.h"
#include "core/position_texts.h"
#include "fuzz_input.h"

using namespace funkor;
using funkor::fuzz::require;

namespace {

void checkLine(const std::string& line, std::string_view prefix) {
    if (line.empty()) return;
    require(line.compare(0, prefix.size(), prefix) == 0, "kept line starts with its type");
    require(line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0,
            "kept line ends in CR LF");
    require(line.find_first_of("\r\n") == line.size() - 2, "one line, one line end");
    require(line.size() <= kMaxGpsLine + 1, "kept line within the cap");
}

// The position SMS built from the receiver's RMC reads back, on the other
// side, as the position the map shows here (both use three decimals of the
// minute).
void checkPositionSms(const std::string& rmc) {
    const std::string sms = positionSmsFromGpsRmc(rmc);
    if (sms.empty()) return;
    require(sms.size() == 17 && sms[0] == '$' && sms[8] == ',', "position SMS layout");
    for (std::size_t i = 1; i < 17; ++i)
        require(i == 8 || (sms[i] >= '0' && sms[i] <= '9'), "position SMS digits");
    const auto received = readPositionSms(sms, "24.12.26 18:30:05");
    require(received.has_value(), "own position SMS is readable");
    const auto shown = rmcMapPosition(rmc);
    if (shown) {
        require(std::fabs(received->latitude - shown->latitude) < 1e-9 &&
                    std::fabs(received->longitude - shown->longitude) < 1e-9,
                "SMS and map agree on the position");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input = fuzz::asText(data, size);
    const std::uint8_t steer = fuzz::takeByte(input);
    // The input once to four times over, so that a receiver babbling
    // without line ends reaches the line cap.
    std::string stream;
    for (unsigned k = 0; k <= steer % 4u; ++k) stream.append(input);
    const std::string_view text = stream;

    const GpsInputResult whole = frameGpsInput({std::string(), text});
    require(whole.buffer.size() <= kMaxGpsLine, "buffer within the cap");
    require(whole.buffer.find_first_of("\r\n") == std::string::npos, "buffer holds no line end");
    checkLine(whole.rmc, "$GPRMC");
    checkLine(whole.gga, "$GPGGA");
    require(whole.sentenceTaken == (!whole.rmc.empty() || !whole.gga.empty()),
            "taken exactly when a sentence was kept");

    // The same bytes in bursts of 1 to 16 bytes, as the port delivers them.
    std::string buffer, rmc, gga;
    bool taken = false;
    Indicator indicator = Indicator::Idle;
    std::size_t at = 0;
    for (unsigned i = 0; at < text.size(); ++i) {
        const std::size_t n = 1 + (steer + i * 7u) % 16u;
        const GpsInputResult part = frameGpsInput({buffer, text.substr(at, n)});
        at += n;
        buffer = part.buffer;
        if (!part.rmc.empty()) rmc = part.rmc;
        if (!part.gga.empty()) gga = part.gga;
        if (part.sentenceTaken) {
            taken = true;
            indicator = part.indicator;
        }
    }
    require(buffer == whole.buffer, "bursts leave the same unfinished line");
    require(rmc == whole.rmc && gga == whole.gga, "bursts keep the same sentences");
    require(taken == whole.sentenceTaken, "bursts take a sentence exactly when the whole does");
    require(!taken || indicator == whole.indicator, "indicator of the last sentence taken");

    checkPositionSms(whole.rmc);
    return 0;
}
