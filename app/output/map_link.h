// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <string>

class QCheckBox;
class TimerElement;
class Platform;
class SourceSelection;
struct PositionState;
struct SmsState;

// The web map: MBlast opens the current position's map address in the
// browser, and Timer5 replays a logged position (to the serial output and
// to the map) while the user names a new site from the position log.
class MapLink {
  public:
    struct Elements {
        QCheckBox* MBlast;
        TimerElement* Timer5;
    };
    // `replayToOutput` hands the logged sentence pair (without line ends) to
    // the NMEA output.
    MapLink(const Elements& elements, const PositionState& position, const SmsState& sms,
            Platform& platform, const SourceSelection& sources,
            std::function<void(const std::string& rmc, const std::string& gga)> replayToOutput);

    void MBlast_Click();
    void Timer5_Timer();
    // Hands a map address to the browser; an empty one opens nothing.
    void openAddress(const std::string& address);
    // A new position: its map opens when the map is followed (MBlast).
    void follow(const std::string& address);

    // The logged position under review is replayed while the user names it.
    void startReplay();
    void stopReplay();
    bool replaying() const;

  private:
    QCheckBox* MBlast_;
    TimerElement* Timer5_;
    const PositionState& position_;
    const SmsState& sms_;
    Platform& platform_;
    const SourceSelection& sources_;
    std::function<void(const std::string&, const std::string&)> replayToOutput_;
};
