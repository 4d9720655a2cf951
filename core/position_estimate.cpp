// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_estimate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace funkor {

namespace {

constexpr double kEarthRadius = 6371000.0;
constexpr double kDegToRad = M_PI / 180.0;

// A small plane around an origin: metres east and north. Good to a few
// metres over the tens of kilometres a track spans.
struct Plane {
    double lat0 = 0, lon0 = 0, cosLat = 1;
    Plane(double lat, double lon) : lat0(lat), lon0(lon), cosLat(std::cos(lat * kDegToRad)) {}
    void toXY(double lat, double lon, double& x, double& y) const {
        x = (lon - lon0) * kDegToRad * kEarthRadius * cosLat;
        y = (lat - lat0) * kDegToRad * kEarthRadius;
    }
    void toLatLon(double x, double y, double& lat, double& lon) const {
        lat = lat0 + y / kEarthRadius / kDegToRad;
        lon = lon0 + x / (kEarthRadius * cosLat) / kDegToRad;
    }
};

double distanceMetres(double lat1, double lon1, double lat2, double lon2) {
    const Plane p(lat1, lon1);
    double x = 0, y = 0;
    p.toXY(lat2, lon2, x, y);
    return std::hypot(x, y);
}

std::optional<CellDbKey> keyOf(const ObservedCell& c) {
    if (!c.hasIdentity()) return std::nullopt;
    return CellDbKey{radioName(c.radio), *c.mcc, *c.mnc, *c.area, *c.cell};
}

bool sameKey(const CellDbKey& a, const CellDbKey& b) {
    return a.radio == b.radio && a.mcc == b.mcc && a.net == b.net && a.area == b.area &&
           a.cell == b.cell;
}

double reachOf(const KnownCell& c) {
    return c.range > 0 ? c.range : typicalRange(c.key.radio);
}

// The cells of one observation that the database knows.
std::vector<UsedCell> resolveCells(const Observation& obs, const CellLookups& db, int& unmatched) {
    std::vector<UsedCell> cells;
    auto known = [&](const CellDbKey& k) {
        return std::any_of(cells.begin(), cells.end(),
                           [&](const UsedCell& u) { return sameKey(u.row.key, k); });
    };
    if (obs.serving && db.find) {
        if (auto key = keyOf(*obs.serving)) {
            if (auto row = db.find(*key)) {
                UsedCell u;
                u.row = *row;
                u.serving = true;
                u.signalDbm = obs.serving->signalDbm;
                cells.push_back(u);
            }
        }
    }
    std::vector<const ObservedCell*> byUnit;
    for (const ObservedCell& n : obs.neighbours) {
        if (auto key = keyOf(n)) {
            if (!db.find || known(*key)) continue;
            if (auto row = db.find(*key)) {
                UsedCell u;
                u.row = *row;
                u.signalDbm = n.signalDbm;
                cells.push_back(u);
            }
        } else if (n.unit) {
            byUnit.push_back(&n);
        }
    }
    if (byUnit.empty() || !db.findByUnit || !obs.serving) return cells;
    const ObservedCell& s = *obs.serving;
    if (!s.mcc || !s.mnc || !s.area || cells.empty()) {
        unmatched += static_cast<int>(byUnit.size());
        return cells;
    }
    // The anchor: the serving cell's row, or the first known row.
    const KnownCell anchor = cells.front().row;  // a copy: cells grows below
    for (const ObservedCell* n : byUnit) {
        // The serving cell listed again among the neighbours (Quectel's
        // "neighbourcell intra" does that).
        if (n->radio == s.radio && s.unit == n->unit &&
            (!s.channel || !n->channel || *s.channel == *n->channel)) {
            continue;
        }
        const auto candidates =
            db.findByUnit(radioName(n->radio), *s.mcc, *s.mnc, *s.area, *n->unit);
        const KnownCell* match = nullptr;
        int count = 0;
        for (const KnownCell& c : candidates) {
            if (known(c.key)) continue;
            const double d =
                distanceMetres(anchor.latitude, anchor.longitude, c.latitude, c.longitude);
            if (d > reachOf(anchor) + reachOf(c) + 500) continue;
            match = &c;
            ++count;
        }
        if (count != 1) {
            ++unmatched;
            continue;
        }
        UsedCell u;
        u.row = *match;
        u.matchedByUnit = true;
        u.signalDbm = n->signalDbm;
        cells.push_back(u);
    }
    return cells;
}

// Ranges for rows without one: the median distance to the other rows of
// the tick, kept within half and twice the radio's typical reach.
void fillRanges(std::vector<UsedCell>& cells) {
    for (UsedCell& u : cells) {
        if (u.row.range > 0) {
            u.rangeMetres = u.row.range;
            continue;
        }
        u.rangeEstimated = true;
        const double typical = typicalRange(u.row.key.radio);
        std::vector<double> d;
        for (const UsedCell& o : cells) {
            if (&o == &u) continue;
            d.push_back(
                distanceMetres(u.row.latitude, u.row.longitude, o.row.latitude, o.row.longitude));
        }
        if (d.empty()) {
            u.rangeMetres = typical;
        } else {
            std::nth_element(d.begin(), d.begin() + static_cast<long>(d.size() / 2), d.end());
            u.rangeMetres = std::clamp(d[d.size() / 2], typical / 4, typical * 2);
        }
    }
}

// The mast of the serving cell: the mean of the rows of its site's sectors
// (LTE: the same eNodeB, cell id / 256), with the error of that guess.
void mastOf(const UsedCell& serving, const CellLookups& db, const Plane& plane, double& mx,
            double& my, double& sigma) {
    double sx = 0, sy = 0;
    int n = 0;
    auto add = [&](const KnownCell& c) {
        double x = 0, y = 0;
        plane.toXY(c.latitude, c.longitude, x, y);
        sx += x;
        sy += y;
        ++n;
    };
    add(serving.row);
    const CellDbKey& k = serving.row.key;
    if ((k.radio == "LTE") && db.find) {
        const std::int64_t enb = k.cell / 256;
        for (int sector = 0; sector < 8; ++sector) {
            CellDbKey sib = k;
            sib.cell = enb * 256 + sector;
            if (sib.cell == k.cell) continue;
            if (auto row = db.find(sib)) add(*row);
        }
    }
    mx = sx / n;
    my = sy / n;
    // A sector's row lies about a third of its range out from the mast; the
    // mean of three sectors comes close to the mast, of two halfway.
    const double offset = serving.rangeMetres * 0.35;
    sigma = n >= 3 ? offset * 0.35 : n == 2 ? offset * 0.6 : offset;
}

void predict(TrackState& t, double dt, const EstimatorTuning& tu) {
    if (dt <= 0) return;
    double* x = t.x;
    x[0] += x[2] * dt;
    x[1] += x[3] * dt;
    // P = F P F' + Q for the constant-velocity model, per axis.
    double(&p)[4][4] = t.p;
    double f[4][4] = {{1, 0, dt, 0}, {0, 1, 0, dt}, {0, 0, 1, 0}, {0, 0, 0, 1}};
    double fp[4][4] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) fp[i][j] += f[i][k] * p[k][j];
    double np[4][4] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) np[i][j] += fp[i][k] * f[j][k];
    const double q = tu.accelerationNoise * tu.accelerationNoise;
    const double q00 = q * dt * dt * dt * dt / 4, q02 = q * dt * dt * dt / 2, q22 = q * dt * dt;
    np[0][0] += q00;
    np[1][1] += q00;
    np[0][2] += q02;
    np[2][0] += q02;
    np[1][3] += q02;
    np[3][1] += q02;
    np[2][2] += q22;
    np[3][3] += q22;
    std::copy(&np[0][0], &np[0][0] + 16, &p[0][0]);
}

// A linear measurement z = H x + v of dimension m (1 or 2), v ~ N(0, R).
// A reading beyond the gate is taken with its noise widened until it sits
// on the gate, so one outlier moves the track by at most that much.
void update(TrackState& t, int m, const double h[2][4], const double z[2], const double r[2][2],
            double gate) {
    double hp[2][4] = {};
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) hp[i][j] += h[i][k] * t.p[k][j];
    double s[2][2] = {};
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j) {
            for (int k = 0; k < 4; ++k) s[i][j] += hp[i][k] * h[j][k];
        }
    double nu[2] = {0, 0};
    for (int i = 0; i < m; ++i) {
        double hx = 0;
        for (int k = 0; k < 4; ++k) hx += h[i][k] * t.x[k];
        nu[i] = z[i] - hx;
    }
    auto solveS = [&](double widen, double inv[2][2]) {
        double a = s[0][0] + r[0][0] * widen;
        if (m == 1) {
            inv[0][0] = 1 / a;
            return;
        }
        double b = s[0][1] + r[0][1] * widen, c = s[1][0] + r[1][0] * widen,
               d = s[1][1] + r[1][1] * widen;
        const double det = a * d - b * c;
        inv[0][0] = d / det;
        inv[0][1] = -b / det;
        inv[1][0] = -c / det;
        inv[1][1] = a / det;
    };
    double inv[2][2] = {};
    solveS(1, inv);
    double d2 = 0;
    for (int i = 0; i < m; ++i)
        for (int j = 0; j < m; ++j) d2 += nu[i] * inv[i][j] * nu[j];
    double widen = 1;
    if (d2 > gate * gate) {
        // Widen R (not the prior) so that the innovation sits on the gate.
        widen = d2 / (gate * gate);
        for (int it = 0; it < 3; ++it) {
            solveS(widen, inv);
            double e = 0;
            for (int i = 0; i < m; ++i)
                for (int j = 0; j < m; ++j) e += nu[i] * inv[i][j] * nu[j];
            if (e <= gate * gate * 1.01) break;
            widen *= e / (gate * gate);
        }
    }
    solveS(widen, inv);
    // K = P H' S^-1
    double k[4][2] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < m; ++j)
            for (int l = 0; l < m; ++l) k[i][j] += hp[l][i] * inv[l][j];
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < m; ++j) t.x[i] += k[i][j] * nu[j];
    // Joseph form, P = (I - KH) P (I - KH)' + K R K', which stays
    // symmetric and positive however far the gain is from optimal.
    double a[4][4] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            double kh = 0;
            for (int l = 0; l < m; ++l) kh += k[i][l] * h[l][j];
            a[i][j] = (i == j ? 1.0 : 0.0) - kh;
        }
    double ap[4][4] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int l = 0; l < 4; ++l) ap[i][j] += a[i][l] * t.p[l][j];
    double np[4][4] = {};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            for (int l = 0; l < 4; ++l) np[i][j] += ap[i][l] * a[j][l];
            for (int u = 0; u < m; ++u)
                for (int v = 0; v < m; ++v) np[i][j] += k[i][u] * r[u][v] * widen * k[j][v];
        }
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) t.p[i][j] = (np[i][j] + np[j][i]) / 2;
}

void limitSpeed(TrackState& t, double maxSpeed) {
    const double v = std::hypot(t.x[2], t.x[3]);
    if (v > maxSpeed) {
        t.x[2] *= maxSpeed / v;
        t.x[3] *= maxSpeed / v;
    }
}

}  // namespace

double typicalRange(const std::string& radio) {
    if (radio == "GSM") return 3000;
    if (radio == "UMTS") return 1500;
    if (radio == "NR") return 800;
    return 1500;  // LTE
}

PositionEstimate estimatePosition(const Observation& obs, const CellLookups& db, TrackState& track,
                                  const EstimatorTuning& tu) {
    PositionEstimate e;
    e.time = obs.time;
    e.cells = resolveCells(obs, db, e.neighboursUnmatched);
    if (e.cells.empty()) return e;
    fillRanges(e.cells);

    // The weights: signal against the strongest, then range.
    std::optional<double> strongest, weakest;
    for (const UsedCell& u : e.cells) {
        if (!u.signalDbm) continue;
        strongest = std::max(strongest.value_or(-1e9), *u.signalDbm);
        weakest = std::min(weakest.value_or(1e9), *u.signalDbm);
    }
    double sumW = 0, sumW2 = 0;
    for (UsedCell& u : e.cells) {
        double level = 0;
        if (strongest) {
            level = u.signalDbm ? *u.signalDbm - *strongest
                                : (u.serving ? 0 : *weakest - *strongest - tu.unknownNeighbourDb);
        }
        u.weight = std::exp(level / tu.signalDbPerFactor) /
                   std::pow(std::max(u.rangeMetres, 100.0) / 1000, tu.rangeExponent);
        sumW += u.weight;
    }
    const bool restart = !track.valid || obs.time - track.time > 900 || obs.time < track.time;
    const KnownCell& first = e.cells.front().row;
    if (restart || distanceMetres(track.originLat, track.originLon, first.latitude,
                                  first.longitude) > 100000) {
        track = TrackState{};
        track.originLat = first.latitude;
        track.originLon = first.longitude;
    }
    const Plane plane(track.originLat, track.originLon);
    double mx = 0, my = 0, meanRange = 0;
    for (UsedCell& u : e.cells) {
        u.weight /= sumW;
        sumW2 += u.weight * u.weight;
        double x = 0, y = 0;
        plane.toXY(u.row.latitude, u.row.longitude, x, y);
        mx += u.weight * x;
        my += u.weight * y;
        meanRange += u.weight * u.rangeMetres;
        e.rangeEstimated = e.rangeEstimated || u.rangeEstimated;
    }
    const double nEff = 1 / sumW2;
    const double tickSigma = tu.tickSigmaScale * meanRange * (0.4 + 0.6 / std::sqrt(nEff));
    const double floor = tu.floorScale * meanRange;
    e.cellsUsed = static_cast<int>(e.cells.size());

    // The track.
    if (!track.valid) {
        track.valid = true;
        track.x[0] = mx;
        track.x[1] = my;
        track.x[2] = track.x[3] = 0;
        for (auto& row : track.p) std::fill(std::begin(row), std::end(row), 0.0);
        track.p[0][0] = track.p[1][1] = tickSigma * tickSigma;
        track.p[2][2] = track.p[3][3] = 10.0 * 10.0;
        track.floorSigma = floor;
    } else {
        predict(track, obs.time - track.time, tu);
        const double h[2][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}};
        const double z[2] = {mx, my};
        const double r[2][2] = {{tickSigma * tickSigma, 0}, {0, tickSigma * tickSigma}};
        update(track, 2, h, z, r, tu.gate);
        // What averaging cannot remove follows the cells in use, smoothly.
        track.floorSigma = 0.7 * track.floorSigma + 0.3 * floor;
    }
    track.time = obs.time;
    ++track.updates;

    // The serving cell's timing advance: a ring around its mast.
    const UsedCell& servingCell = e.cells.front();
    if (servingCell.serving && obs.serving && obs.serving->timingAdvance) {
        double ax = 0, ay = 0, mastSigma = 0;
        mastOf(servingCell, db, plane, ax, ay, mastSigma);
        const double ring = *obs.serving->timingAdvanceMetres();
        const double step = timingAdvanceStep(obs.serving->radio);
        const double dx = track.x[0] - ax, dy = track.x[1] - ay;
        const double dist = std::hypot(dx, dy);
        const double ringVar = step * step / 12 + mastSigma * mastSigma;
        const double posVar = (track.p[0][0] + track.p[1][1]) / 2;
        if (dist > 30 && ringVar < 4 * posVar) {
            const double h[2][4] = {{dx / dist, dy / dist, 0, 0}, {0, 0, 0, 0}};
            // Linearised about the track: z - h(x) + H x.
            const double z[2] = {ring - dist + (dx * track.x[0] + dy * track.x[1]) / dist, 0};
            const double r[2][2] = {{ringVar, 0}, {0, 0}};
            update(track, 1, h, z, r, tu.gate);
            e.timingAdvanceUsed = true;
        }
    }
    limitSpeed(track, tu.maxSpeed);

    plane.toLatLon(track.x[0], track.x[1], e.latitude, e.longitude);
    const double posVar = std::max(0.0, (track.p[0][0] + track.p[1][1]) / 2);
    const double sigma = std::sqrt(posVar + track.floorSigma * track.floorSigma);
    e.r68 = tu.r68Factor * sigma;
    e.r95 = tu.r95Factor * sigma;
    e.cellIdOnly = e.cells.size() == 1 && !e.timingAdvanceUsed;
    e.valid = true;
    return e;
}

PositionEstimate servingCellEstimate(const Observation& obs, const CellLookups& db) {
    PositionEstimate e;
    e.time = obs.time;
    if (!obs.serving || !db.find) return e;
    auto key = keyOf(*obs.serving);
    if (!key) return e;
    auto row = db.find(*key);
    if (!row) return e;
    UsedCell u;
    u.row = *row;
    u.serving = true;
    u.signalDbm = obs.serving->signalDbm;
    u.weight = 1;
    u.rangeMetres = reachOf(*row);
    u.rangeEstimated = row->range <= 0;
    e.cells.push_back(u);
    e.latitude = row->latitude;
    e.longitude = row->longitude;
    e.r68 = e.r95 = u.rangeMetres;
    e.cellsUsed = 1;
    e.cellIdOnly = true;
    e.valid = true;
    return e;
}

PositionEstimate ichnaeaEstimate(const std::vector<UsedCell>& cells, double time) {
    PositionEstimate e;
    e.time = time;
    if (cells.empty()) return e;
    auto defaultSignal = [](const std::string& radio) {
        return radio == "GSM" ? -95.0 : radio == "UMTS" ? -100.0 : -105.0;
    };
    double sw = 0, lat = 0, lon = 0;
    for (const UsedCell& u : cells) {
        const double s = u.signalDbm.value_or(defaultSignal(u.row.key.radio));
        const double w = 1 / (s * s);
        sw += w;
        lat += w * u.row.latitude;
        lon += w * u.row.longitude;
    }
    e.latitude = lat / sw;
    e.longitude = lon / sw;
    double radius = 0;
    for (const UsedCell& u : cells) {
        const double d = distanceMetres(e.latitude, e.longitude, u.row.latitude, u.row.longitude);
        radius = std::max(radius, d + reachOf(u.row));
    }
    e.r68 = e.r95 = radius;
    e.cells = cells;
    e.cellsUsed = static_cast<int>(cells.size());
    e.valid = true;
    return e;
}

// --- Output ----------------------------------------------------------------

// 8-bit, as every text of the window: "\xB1" is the plus-minus sign.
std::string estimateToolTip(const PositionEstimate& e, char decimalSeparator) {
    std::string text = "Zellen-Datenbank, " + std::to_string(e.cellsUsed) +
                       (e.cellsUsed == 1 ? " Zelle" : " Zellen") + ", \xB1 ";
    char buf[32];
    if (e.r68 < 995) {
        std::snprintf(buf, sizeof buf, "%d m", static_cast<int>(std::lround(e.r68 / 10) * 10));
    } else {
        std::snprintf(buf, sizeof buf, "%.1f km", e.r68 / 1000);
        for (char* c = buf; *c; ++c) {
            if (*c == '.') *c = decimalSeparator;
        }
    }
    return text + buf;
}

std::string estimateHdop(const PositionEstimate& e) {
    return estimatedHdop(e.r95);
}

std::string gstSentence(const PositionEstimate& e, const CivilTime& utc) {
    const double sigma = e.r68 / 1.5;
    char body[128];
    std::snprintf(body, sizeof body, "GPGST,%s.00,,%.1f,%.1f,0.0,%.1f,%.1f,", nmeaTime(utc).c_str(),
                  sigma, sigma, sigma, sigma);
    return nmeaSentence(body);
}

EstimateSentences estimateSentences(const PositionEstimate& e, const CivilTime& localTime,
                                    std::chrono::minutes utcOffset) {
    EstimateSentences out;
    out.pair = buildEstimatedSentences(e.latitude, e.longitude, e.r95, localTime, utcOffset);
    out.gst = gstSentence(e, addMinutes(localTime, -utcOffset));
    return out;
}

}  // namespace funkor
