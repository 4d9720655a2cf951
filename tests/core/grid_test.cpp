// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/grid.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace funkor;

TEST(Grid, WorkedConversionToSevenDecimals) {
    const GeoPosition bessel = gridToBessel(4598700, 5819940);
    EXPECT_NEAR(bessel.latitude, 52.5051989, 0.5e-7);
    EXPECT_NEAR(bessel.longitude, 13.4539755, 0.5e-7);
    const GeoPosition wgs = besselToWgs84(bessel.latitude, bessel.longitude);
    EXPECT_NEAR(wgs.latitude, 52.5037951, 0.5e-7);
    EXPECT_NEAR(wgs.longitude, 13.4522282, 0.5e-7);
    const GeoPosition both = gridToWgs84(4598700, 5819940);
    EXPECT_DOUBLE_EQ(both.latitude, wgs.latitude);
    EXPECT_DOUBLE_EQ(both.longitude, wgs.longitude);
    // The map address writes 15 significant digits of these.
    EXPECT_NEAR(both.latitude, 52.5037951085233, 1e-12);
    EXPECT_NEAR(both.longitude, 13.4522282368411, 1e-12);
}

TEST(Grid, ZoneComesFromTheMillionsDigit) {
    struct Case {
        double easting, northing;
        double lat, lon;  // rough expectation, 0.05 degree
    };
    const Case cases[] = {
        {4518180, 5821970, 52.53, 12.27},  // zone 4, y = 18180 m: east of 12°
        {4481820, 5821970, 52.53, 11.73},  // zone 4, y = -18180 m: west of 12°
        {3500000, 5400000, 48.73, 9.0},    // zone 3 meridian
        {5400000, 6000000, 54.14, 13.47},  // zone 5, west of 15°
        {2500000, 5600000, 50.53, 6.0},    // zone 2 meridian
    };
    for (const auto& c : cases) {
        const GeoPosition p = gridToWgs84(c.easting, c.northing);
        EXPECT_NEAR(p.latitude, c.lat, 0.05) << c.easting;
        EXPECT_NEAR(p.longitude, c.lon, 0.05) << c.easting;
    }
}

TEST(Grid, InputFarOutsideGivesFiniteNumbers) {
    const double values[] = {0, -1e7, 1, 9999990, 1e7, 1e9, 1e300, -1e300, 4.9e-324};
    for (double e : values) {
        for (double n : values) {
            const GeoPosition p = gridToWgs84(e, n);
            EXPECT_TRUE(std::isfinite(p.latitude)) << e << " " << n;
            EXPECT_TRUE(std::isfinite(p.longitude)) << e << " " << n;
        }
    }
    const GeoPosition nanIn = gridToWgs84(std::nan(""), std::nan(""));
    EXPECT_TRUE(std::isfinite(nanIn.latitude) && std::isfinite(nanIn.longitude));
}
