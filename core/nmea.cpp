// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/nmea.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace funkor {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
long daysFromCivil(long y, long m, long d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(long z, int& year, int& month, int& day) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

std::string twoDigits(int a, int b, int c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d%02d%02d", ((a % 100) + 100) % 100, b % 100, c % 100);
    return buf;
}

std::string degreesMinutesField(double degrees, double maximum, int degreeDigits) {
    if (!std::isfinite(degrees) || degrees < 0) degrees = 0;
    if (degrees > maximum) degrees = maximum;
    const DegreesMinutes dm = splitDegreesMinutes(degrees);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*d", degreeDigits, dm.degrees);
    return buf + nmeaMinutesText(dm.minutes10k);
}

}  // namespace

CivilTime addMinutes(const CivilTime& t, std::chrono::minutes minutes) {
    const long long seconds = daysFromCivil(t.year, t.month, t.day) * 86400LL + t.hour * 3600LL +
                              t.minute * 60LL + t.second +
                              static_cast<long long>(minutes.count()) * 60LL;
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    CivilTime r;
    civilFromDays(static_cast<long>(days), r.year, r.month, r.day);
    r.hour = static_cast<int>(rest / 3600);
    r.minute = static_cast<int>(rest / 60 % 60);
    r.second = static_cast<int>(rest % 60);
    return r;
}

CivilTime addHours(const CivilTime& t, int hours) {
    return addMinutes(t, std::chrono::hours(hours));
}

std::string nmeaTime(const CivilTime& t) {
    return twoDigits(t.hour, t.minute, t.second);
}

std::string nmeaDate(const CivilTime& t) {
    return twoDigits(t.day, t.month, t.year);
}

std::string nmeaChecksum(std::string_view body) {
    unsigned sum = 0;
    for (char c : body) sum ^= static_cast<unsigned char>(c);
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", sum);
    return buf;
}

std::string nmeaSentence(std::string_view body) {
    std::string s = "$";
    s += body;
    s += '*';
    s += nmeaChecksum(body);
    s += "\r\n";
    return s;
}

DegreesMinutes splitDegreesMinutes(double degrees) {
    if (!std::isfinite(degrees)) degrees = 0;
    DegreesMinutes dm;
    const double whole = std::floor(degrees);
    dm.degrees = static_cast<int>(whole);
    // Rounded, not truncated: 48.3 is 17.99999999999983 minutes in binary.
    dm.minutes10k = std::lround((degrees - whole) * 60 * 10000);
    if (dm.minutes10k >= 600000) {
        dm.minutes10k -= 600000;
        ++dm.degrees;
    }
    if (dm.minutes10k < 0) dm.minutes10k = 0;
    return dm;
}

std::string nmeaMinutesText(long minutes10k) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02ld.%04ld", minutes10k / 10000, minutes10k % 10000);
    return buf;
}

std::string nmeaLatitude(double degrees) {
    return degreesMinutesField(degrees, 90, 2);
}

std::string nmeaLongitude(double degrees) {
    return degreesMinutesField(degrees, 180, 3);
}

std::string rmcBody(std::string_view hhmmss, std::string_view lat, std::string_view lon,
                    std::string_view ddmmyy) {
    std::string s = "GPRMC,";
    s.append(hhmmss).append(",A,").append(lat).append(",N,").append(lon).append(",E,,,");
    s.append(ddmmyy).append(",0,E");
    return s;
}

std::string ggaBody(std::string_view hhmmss, std::string_view lat, std::string_view lon) {
    std::string s = "GPGGA,";
    s.append(hhmmss).append(",").append(lat).append(",N,").append(lon);
    s.append(",E,1,12,,,M,,M,,,");
    return s;
}

SentencePair buildPositionSentences(double latitude, double longitude, const CivilTime& localTime,
                                    std::chrono::minutes utcOffset) {
    const CivilTime utc = addMinutes(localTime, -utcOffset);
    const std::string time = nmeaTime(utc);
    const std::string lat = nmeaLatitude(latitude);
    const std::string lon = nmeaLongitude(longitude);
    return {nmeaSentence(rmcBody(time, lat, lon, nmeaDate(utc))),
            nmeaSentence(ggaBody(time, lat, lon))};
}

SentencePair buildPositionSentences(double latitude, double longitude, const CivilTime& localTime,
                                    int utcOffsetHours) {
    return buildPositionSentences(latitude, longitude, localTime,
                                  std::chrono::hours(utcOffsetHours));
}

std::string estimatedHdop(double rangeMetres) {
    if (!std::isfinite(rangeMetres) || rangeMetres <= 0) rangeMetres = kUnknownCellRange;
    const double hdop = std::max(1.0, std::round(rangeMetres / 19 * 10) / 10);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", hdop);
    return buf;
}

HemisphereField nmeaSignedLatitude(double degrees) {
    if (!std::isfinite(degrees)) degrees = 0;
    return {nmeaLatitude(std::fabs(degrees)), degrees < 0 ? 'S' : 'N'};
}

HemisphereField nmeaSignedLongitude(double degrees) {
    if (!std::isfinite(degrees)) degrees = 0;
    return {nmeaLongitude(std::fabs(degrees)), degrees < 0 ? 'W' : 'E'};
}

SentencePair buildEstimatedSentences(double latitude, double longitude, double rangeMetres,
                                     const CivilTime& localTime, std::chrono::minutes utcOffset) {
    const CivilTime utc = addMinutes(localTime, -utcOffset);
    const std::string time = nmeaTime(utc);
    const HemisphereField lat = nmeaSignedLatitude(latitude);
    const HemisphereField lon = nmeaSignedLongitude(longitude);
    std::string rmc = "GPRMC," + time + ",A," + lat.value + "," + lat.hemisphere + "," + lon.value +
                      "," + lon.hemisphere + ",,," + nmeaDate(utc) + ",0,E,E";
    std::string gga = "GPGGA," + time + "," + lat.value + "," + lat.hemisphere + "," + lon.value +
                      "," + lon.hemisphere + ",6," + std::string(kEstimatedSatellites) + "," +
                      estimatedHdop(rangeMetres) + ",,M,,M,,";
    return {nmeaSentence(rmc), nmeaSentence(gga)};
}

SentencePair buildEstimatedSentences(double latitude, double longitude, double rangeMetres,
                                     const CivilTime& localTime, int utcOffsetHours) {
    return buildEstimatedSentences(latitude, longitude, rangeMetres, localTime,
                                   std::chrono::hours(utcOffsetHours));
}

}  // namespace funkor
