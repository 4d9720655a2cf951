// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Conversion of German Gauss-Krüger grid positions (Bessel 1841 ellipsoid,
// 3-degree zones) into geographic WGS84 coordinates, as the network and the
// SIM give cell and zone positions on that grid.
namespace funkor {

struct GeoPosition {
    double latitude = 0;   // degrees, north positive
    double longitude = 0;  // degrees, east positive
};

// Grid inverse: easting E (zone number in the millions digit, false easting
// 500000 m) and northing N in metres to Bessel latitude B and longitude L in
// degrees. Uses a five-term footpoint series and adds the fixed correction
// of +0.0001 degree latitude and +0.0002 degree longitude.
GeoPosition gridToBessel(double easting, double northing);

// Molodensky datum shift Bessel 1841 -> WGS84 at height 0 with the shift
// vector (606, 23, 413) m. Works with pi as 3.141592654 and the meridian
// radius a(1-e²)/sqrt(1-3e²sin²φ); the digits of the result depend on both.
GeoPosition besselToWgs84(double latitude, double longitude);

// Both steps. 4598700 / 5819940 gives 52.5037951 / 13.4522282. Input far
// outside the grid's range gives meaningless but finite numbers (never NaN
// or infinity; 0 where the formulas break down).
GeoPosition gridToWgs84(double easting, double northing);

}  // namespace funkor
