// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/local_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

using namespace funkor;

namespace {

// Runs with the process's time zone set to `zone`, restoring it afterwards.
class ZoneScope {
  public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            had_ = true;
            old_ = old;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ZoneScope() {
        if (had_)
            ::setenv("TZ", old_.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

  private:
    bool had_ = false;
    std::string old_;
};

std::time_t utc(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    return ::timegm(&t);
}

}  // namespace

TEST(LocalTime, GermanOffsetSwitchesOnTheLastSundaysOfMarchAndOctober) {
    ZoneScope zone("Europe/Berlin");
    const struct {
        int y, mo, d, h, mi;
        int expected;
        const char* what;
    } cases[] = {
        // Summer time starts at 01:00 UTC on the last Sunday of March.
        {2024, 3, 31, 0, 59, 1, "minute before the 2024 spring switch"},
        {2024, 3, 31, 1, 0, 2, "2024 spring switch"},
        {2024, 10, 27, 0, 59, 2, "minute before the 2024 autumn switch"},
        {2024, 10, 27, 1, 0, 1, "2024 autumn switch"},
        {2026, 3, 29, 1, 0, 2, "2026 spring switch"},
        {2026, 10, 25, 1, 0, 1, "2026 autumn switch"},
        // Days a day-of-month-plus-weekday rule gets wrong.
        {2026, 3, 20, 12, 0, 1, "Friday 20 March 2026, still winter time"},
        {2015, 3, 20, 12, 0, 1, "Friday 20 March 2015, still winter time"},
        {2026, 3, 28, 12, 0, 1, "Saturday before the switch"},
        {2026, 10, 18, 12, 0, 2, "Sunday a week before the switch back"},
        {2026, 10, 24, 12, 0, 2, "Saturday before the switch back"},
        {2021, 10, 31, 12, 0, 1, "Sunday 31 October 2021, the switch day"},
        // Whole seasons.
        {2025, 1, 15, 12, 0, 1, "January"},
        {2025, 7, 1, 12, 0, 2, "July"},
        {2025, 11, 30, 12, 0, 1, "November"},
        {2025, 4, 1, 0, 0, 2, "first of April"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(utcOffsetHours(utc(c.y, c.mo, c.d, c.h, c.mi)), c.expected) << c.what;
}

TEST(LocalTime, OffsetFollowsTheSystemZone) {
    const std::time_t winter = utc(2025, 1, 15, 12, 0);
    const std::time_t summer = utc(2025, 7, 15, 12, 0);
    const struct {
        const char* zone;
        int winter;
        int summer;
    } cases[] = {
        {"UTC", 0, 0},
        {"Europe/London", 0, 1},
        {"America/New_York", -5, -4},
        {"Asia/Tokyo", 9, 9},
    };
    for (const auto& c : cases) {
        ZoneScope zone(c.zone);
        EXPECT_EQ(utcOffsetHours(winter), c.winter) << c.zone;
        EXPECT_EQ(utcOffsetHours(summer), c.summer) << c.zone;
    }
}

TEST(LocalTime, OffsetKeepsTheMinutesOfEveryZone) {
    const std::time_t january = utc(2026, 1, 15, 12, 0);
    const std::time_t july = utc(2026, 7, 15, 12, 0);
    const struct {
        const char* zone;
        int january;
        int july;
    } cases[] = {
        {"Europe/Berlin", 60, 120},       {"Asia/Kolkata", 330, 330},
        {"Asia/Tehran", 210, 210},        {"America/St_Johns", -210, -150},
        {"Australia/Adelaide", 630, 570},  // summer in January
        {"Asia/Kathmandu", 345, 345},
    };
    for (const auto& c : cases) {
        ZoneScope zone(c.zone);
        EXPECT_EQ(utcOffsetMinutes(january), c.january) << c.zone;
        EXPECT_EQ(utcOffsetMinutes(july), c.july) << c.zone;
    }
}
