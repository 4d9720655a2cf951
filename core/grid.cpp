// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/grid.h"

#include <cmath>

namespace funkor {

namespace {

GeoPosition finiteOrZero(GeoPosition p) {
    if (!std::isfinite(p.latitude)) p.latitude = 0;
    if (!std::isfinite(p.longitude)) p.longitude = 0;
    return p;
}

}  // namespace

GeoPosition gridToBessel(double easting, double northing) {
    const double pi = 4 * std::atan(1.0);
    const double rho = 180 / pi;

    const double zone = std::floor(easting / 1000000);
    const double y = easting - zone * 1000000 - 500000;

    const double sigma = northing / 10000855.7646;
    const double x = sigma * sigma;
    double bf =
        325632.08677 * sigma *
        (((((5.62025e-06 * x + 0.00022976983) * x - 0.00113566119) * x + 0.00424914906) * x -
          0.00831729565) *
             x +
         1);
    bf = bf / 3600 / rho;

    const double co = std::cos(bf);
    const double eta2 = 0.0067192188 * co * co;
    const double nf = 6398786.849 / std::sqrt(1 + eta2);
    const double t = std::tan(bf);
    const double t2 = t * t;
    const double fa = y / nf;
    const double fa2 = fa * fa;

    GeoPosition p;
    p.latitude = (bf - fa2 * t * (1 + eta2) / 2 +
                  fa2 * fa2 * t * (5 + 3 * t2 + 6 * eta2 - 6 * eta2 * t2) / 24) *
                 rho;
    p.longitude = (fa - fa2 * fa * (1 + 2 * t2 + eta2) / 6 +
                   fa2 * fa2 * fa * (1 + 28 * t2 + 24 * t2 * t2) / 120) *
                      rho / co +
                  zone * 3;
    p.latitude += 0.0001;
    p.longitude += 0.0002;
    return finiteOrZero(p);
}

GeoPosition besselToWgs84(double latitude, double longitude) {
    const double a = 6377397.155;
    const double f = 1 / 299.152812838;
    const double e2 = 2 * f - f * f;
    const double pi = 3.141592654;

    const double phi = latitude / 180 * pi;
    const double lambda = longitude / 180 * pi;
    const double sinPhi = std::sin(phi), cosPhi = std::cos(phi);
    const double sinLambda = std::sin(lambda), cosLambda = std::cos(lambda);

    const double da = 6378137 - a;
    const double df = 1 / 298.257223563 - f;

    const double nr = a / std::sqrt(1 - e2 * sinPhi * sinPhi);
    const double m = a * (1 - e2) / std::sqrt(1 - 3 * e2 * sinPhi * sinPhi);

    const double dPhi =
        (-606 * sinPhi * cosLambda - 23 * sinPhi * sinLambda + 413 * cosPhi +
         da * nr * e2 * sinPhi * cosPhi / a + df * (m / (1 - f) + nr * (1 - f)) * sinPhi * cosPhi) /
        m;
    const double dLambda = (-606 * sinLambda + 23 * cosLambda) / (nr * cosPhi);

    return finiteOrZero({(phi + dPhi) * 180 / pi, (lambda + dLambda) * 180 / pi});
}

GeoPosition gridToWgs84(double easting, double northing) {
    const GeoPosition bessel = gridToBessel(easting, northing);
    return besselToWgs84(bessel.latitude, bessel.longitude);
}

}  // namespace funkor
