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

// The sibling sectors of a cell's site as the operators number them: LTE
// cells of one eNodeB share cell id / 256; GSM and UMTS sites commonly
// count their sectors in the last decimal digit. A guessed sibling counts
// only where its row lies close to the cell's own, as sectors of one mast
// do; a cell of another site that happens to share the number is left out.
struct SiteGuess {
    double x = 0, y = 0;  // the mast, in the plane
    int rows = 1;         // the cell's own row and its siblings'
    double sigma = 0;     // error of the mast's position
};

SiteGuess siteOf(const KnownCell& row, double range, const CellLookups& db, const Plane& plane) {
    SiteGuess g;
    plane.toXY(row.latitude, row.longitude, g.x, g.y);
    const double ownX = g.x, ownY = g.y;
    const CellDbKey& k = row.key;
    if (db.find) {
        const bool lte = k.radio == "LTE" || k.radio == "NR";
        const std::int64_t base = lte ? k.cell / 256 * 256 : k.cell / 10 * 10;
        const int count = lte ? 8 : 10;
        for (int sector = 0; sector < count; ++sector) {
            CellDbKey sib = k;
            sib.cell = base + sector;
            if (sib.cell == k.cell) continue;
            const auto other = db.find(sib);
            if (!other) continue;
            double x = 0, y = 0;
            plane.toXY(other->latitude, other->longitude, x, y);
            if (std::hypot(x - ownX, y - ownY) > 1.2 * std::max(range, 1.0 * reachOf(*other)))
                continue;
            g.x += x;
            g.y += y;
            ++g.rows;
        }
    }
    g.x /= g.rows;
    g.y /= g.rows;
    // A sector's row lies about a third of its range out from the mast; the
    // mean of three sectors comes close to the mast, of two halfway.
    const double offset = range * 0.35;
    g.sigma = g.rows >= 3 ? offset * 0.35 : g.rows == 2 ? offset * 0.6 : offset;
    return g;
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
    // A faster device turns and brakes harder in absolute terms: the
    // process noise grows with the track's speed.
    const double a = tu.accelerationNoise + tu.speedNoise * std::hypot(x[2], x[3]);
    const double q = a * a;
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

struct GridCell {
    double x = 0, y = 0;  // the row
    double range = 0;
    double reach = 0;  // the range, but never below half the radio's typical
                       // one: a row of a few samples spans a short stretch
    std::optional<double> signal;
    bool serving = false;
    // Where the site's mast is known from the sibling sectors: the mast and
    // the sector's direction (unit vector from the mast to the row).
    bool sector = false;
    double mastX = 0, mastY = 0, dirX = 0, dirY = 0;
};
struct Ring {
    double x = 0, y = 0;          // the mast
    double inner = 0, outer = 0;  // the step's distances
    double radius = 0;            // the step's middle
    double pullSigma = 0;         // error around the middle
};
struct Snapshot {
    double x = 0, y = 0;
    double var = 0;  // per axis
};

// The log-likelihood of the device at (x, y):
// - the serving cell's area holds it near the row (its row is the centroid
//   of where the cell serves); a neighbour is heard well beyond the area it
//   serves, so only far beyond its range does it count against a point;
// - the levels of the cells whose mast and direction are known: a point
//   predicts each level up to a common constant by the path loss over the
//   distance to the mast and the sector antenna's pattern (12 dB down at
//   65° off its direction, at most 20); the spread of the differences
//   between measured and predicted levels is the shadowing's;
// - the weighted mean of the rows, as a broad prior.
double logLikelihood(const std::vector<GridCell>& cells, const Snapshot& prior, double x, double y,
                     const EstimatorTuning& tu) {
    double ll = 0;
    double sum = 0, sum2 = 0;
    int levels = 0;
    for (const GridCell& c : cells) {
        const double d = std::hypot(x - c.x, y - c.y);
        if (c.serving) {
            const double s = tu.servingSpread * c.range;
            ll -= 0.5 * d * d / (s * s);
        } else {
            const double over = std::max(0.0, d - tu.neighbourReach * c.reach);
            ll -= 0.5 * over * over / (c.reach * c.reach);
        }
        if (c.sector && c.signal) {
            const double mx = x - c.mastX, my = y - c.mastY;
            const double dm2 = std::max(mx * mx + my * my, 900.0);
            const double cosOff =
                std::clamp((mx * c.dirX + my * c.dirY) / std::sqrt(dm2), -1.0, 1.0);
            const double off = std::acos(cosOff) * (180 / M_PI) / 65;
            const double gain = -std::min(12 * off * off, 20.0);
            const double predicted = -5 * tu.pathLossExponent * std::log10(dm2) + gain;
            const double r = *c.signal - predicted;
            sum += r;
            sum2 += r * r;
            ++levels;
        }
    }
    if (levels >= 2) {
        const double spread = sum2 - sum * sum / levels;  // Σ (r - mean r)²
        ll -= 0.5 * tu.gridWeight * spread / (tu.shadowSigmaDb * tu.shadowSigmaDb);
    }
    if (prior.var > 0) {
        const double dx = x - prior.x, dy = y - prior.y;
        ll -= 0.5 * (dx * dx + dy * dy) / prior.var;
    }
    return ll;
}

Snapshot gridSnapshot(const std::vector<GridCell>& cells, const Snapshot& prior,
                      const EstimatorTuning& tu) {
    const double half = std::clamp(3 * std::sqrt(prior.var), 300.0, 30000.0);
    constexpr int kSide = 25;
    const double step = 2 * half / (kSide - 1);
    const double cx = prior.x, cy = prior.y;
    static thread_local std::vector<double> ll(kSide * kSide);
    double best = -1e300;
    for (int j = 0; j < kSide; ++j) {
        for (int i = 0; i < kSide; ++i) {
            const double v =
                logLikelihood(cells, prior, cx - half + i * step, cy - half + j * step, tu);
            ll[static_cast<std::size_t>(j * kSide + i)] = v;
            best = std::max(best, v);
        }
    }
    double sw = 0, sx = 0, sy = 0, sxx = 0, syy = 0;
    for (int j = 0; j < kSide; ++j) {
        for (int i = 0; i < kSide; ++i) {
            const double w = std::exp(ll[static_cast<std::size_t>(j * kSide + i)] - best);
            const double x = cx - half + i * step, y = cy - half + j * step;
            sw += w;
            sx += w * x;
            sy += w * y;
            sxx += w * x * x;
            syy += w * y * y;
        }
    }
    Snapshot s;
    s.x = sx / sw;
    s.y = sy / sw;
    // The spread, never below the grid's own resolution.
    s.var = std::max((sxx / sw - s.x * s.x + syy / sw - s.y * s.y) / 2, step * step / 4);
    return s;
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
        // A row of few samples is the centroid of one short stretch of road:
        // it counts less.
        const double samples = std::clamp(u.row.samples, 1, 100);
        u.weight = std::exp(level / tu.signalDbPerFactor) /
                   std::pow(std::max(u.rangeMetres, 100.0) / 1000, tu.rangeExponent) *
                   std::pow(samples, tu.samplesExponent);
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
    e.cellsUsed = static_cast<int>(e.cells.size());

    // The weighted mean of the rows and its error.
    Snapshot centroid;
    centroid.x = mx;
    centroid.y = my;
    const double centroidSd = tu.centroidSigma * meanRange * (0.4 + 0.6 * std::sqrt(sumW2));
    centroid.var = centroidSd * centroidSd;

    // The advance: the device lies between its step's inner and outer
    // distance from the serving cell's mast, up to the measurement's own
    // error, the step's width and the error of the mast's position.
    std::optional<Ring> ring;
    const UsedCell& servingCell = e.cells.front();
    std::optional<SiteGuess> servingSite;
    if (servingCell.serving && obs.serving && obs.serving->timingAdvance) {
        servingSite = siteOf(servingCell.row, servingCell.rangeMetres, db, plane);
        Ring r;
        r.x = servingSite->x;
        r.y = servingSite->y;
        const double step = timingAdvanceStep(obs.serving->radio);
        r.inner = *obs.serving->timingAdvance * step;
        r.outer = r.inner + step;
        // Among buildings the first path to arrive is a reflection: the
        // advance reads long. Small cells are where the buildings are.
        const double builtUp = std::clamp((1000 - meanRange) / 400, 0.0, 1.0);
        r.radius = std::max(0.0, *obs.serving->timingAdvanceMetres() - tu.ringBias * builtUp);
        r.pullSigma = std::sqrt(step * step / 12 + servingSite->sigma * servingSite->sigma +
                                tu.ringSpread * tu.ringSpread);
        ring = r;
    }

    Snapshot snap = centroid;
    if (tu.gridWeight > 0) {
        // The tick's own position: the cells' rows, their sectors' levels and
        // the advance over a grid around the weighted mean.
        std::vector<GridCell> grid;
        grid.reserve(e.cells.size());
        for (const UsedCell& u : e.cells) {
            GridCell g;
            plane.toXY(u.row.latitude, u.row.longitude, g.x, g.y);
            g.range = u.rangeMetres;
            g.reach = std::max(u.rangeMetres, typicalRange(u.row.key.radio) / 2);
            g.signal = u.signalDbm;
            g.serving = u.serving;
            if (u.signalDbm) {
                const SiteGuess site = u.serving && servingSite
                                           ? *servingSite
                                           : siteOf(u.row, u.rangeMetres, db, plane);
                const double dx = g.x - site.x, dy = g.y - site.y;
                const double len = std::hypot(dx, dy);
                if (site.rows >= 2 && len > 1) {
                    g.sector = true;
                    g.mastX = site.x;
                    g.mastY = site.y;
                    g.dirX = dx / len;
                    g.dirY = dy / len;
                }
            }
            grid.push_back(g);
        }
        Snapshot prior = centroid;
        prior.var *= tu.centroidPrior * tu.centroidPrior;
        snap = gridSnapshot(grid, prior, tu);
    }
    const double floor = tu.floorScale * std::sqrt(snap.var);
    const double tickVar = tu.tickSigmaScale * tu.tickSigmaScale * snap.var;

    // The track.
    const double sinceLast = track.valid ? obs.time - track.time : 0;
    if (!track.valid) {
        track.valid = true;
        track.x[0] = snap.x;
        track.x[1] = snap.y;
        track.x[2] = track.x[3] = 0;
        for (auto& row : track.p) std::fill(std::begin(row), std::end(row), 0.0);
        track.p[0][0] = track.p[1][1] = tickVar;
        track.p[2][2] = track.p[3][3] = 10.0 * 10.0;
        track.floorSigma = floor;
    } else {
        predict(track, obs.time - track.time, tu);
        const double h[2][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}};
        const double z[2] = {snap.x, snap.y};
        const double r[2][2] = {{tickVar, 0}, {0, tickVar}};
        update(track, 2, h, z, r, tu.gate);
        // What averaging cannot remove follows the cells in use, smoothly.
        track.floorSigma = 0.7 * track.floorSigma + 0.3 * floor;
    }
    track.time = obs.time;
    ++track.updates;

    // Without the grid, the advance's ring pulls the track onto it.
    // An advance of 0 says "within one step": a track beyond that step is
    // pulled inside it, one within it is left to the cells' own reach.
    const bool beyondFirstStep =
        ring && ring->inner <= 0 && tu.firstStepPull > 0 &&
        std::hypot(track.x[0] - ring->x, track.x[1] - ring->y) > ring->outer;
    if (ring && (ring->inner > 0 || beyondFirstStep)) {
        const double dx = track.x[0] - ring->x, dy = track.x[1] - ring->y;
        const double dist = std::hypot(dx, dy);
        const double radius = ring->inner > 0 ? ring->radius : tu.firstStepPull * ring->outer;
        const double ringVar = ring->pullSigma * ring->pullSigma;
        const double posVar = (track.p[0][0] + track.p[1][1]) / 2;
        e.timingAdvanceUsed = false;
        if (dist > 30 && ringVar < 4 * posVar) {
            const double h[2][4] = {{dx / dist, dy / dist, 0, 0}, {0, 0, 0, 0}};
            // Linearised about the track: z - h(x) + H x.
            const double z[2] = {radius - dist + (dx * track.x[0] + dy * track.x[1]) / dist, 0};
            const double r[2][2] = {{ringVar, 0}, {0, 0}};
            update(track, 1, h, z, r, tu.gate);
            e.timingAdvanceUsed = true;
        }
    }
    limitSpeed(track, tu.maxSpeed);

    plane.toLatLon(track.x[0], track.x[1], e.latitude, e.longitude);
    // The filter takes each tick's reading as independent of the last. Readings
    // taken within a short way of each other share the same shadowing and
    // the same cells, though: a slow device's filter is surer than its
    // readings allow, by about the number of readings per decorrelation
    // distance.
    const double moved = std::hypot(track.x[2], track.x[3]) * sinceLast;
    const double alike =
        tu.decorrelationMetres > 0 && !e.timingAdvanceUsed && sinceLast > 0
            ? std::clamp(tu.decorrelationMetres / std::max(moved, 1.0), 1.0, tu.maxAlike)
            : 1.0;
    const double posVar = alike * std::max(0.0, (track.p[0][0] + track.p[1][1]) / 2);
    const double floorSigma = track.floorSigma;
    // And a part no cell layout removes: rows are where phones measured,
    // tens of metres off the street the device is on.
    const double sigma =
        std::sqrt(posVar + floorSigma * floorSigma + tu.absoluteSigma * tu.absoluteSigma);
    // The radii, as measured: among small cells (town) the rows' layout does
    // worse than σ says; among wide ones (country) the advance's ring does
    // better, and without it they are taken as they are.
    double scale = std::min(std::pow(std::max(meanRange, 100.0) / 1000, tu.radiusRangeExponent),
                            tu.radiusScaleMax);
    if (!e.timingAdvanceUsed) scale = std::max(scale, 1.0);
    e.r68 = tu.r68Factor * sigma * scale;
    e.r95 = tu.r95Factor * sigma * scale;
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
