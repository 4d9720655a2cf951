// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/cell_learning.h"

#include <sqlite3.h>

#include "core/cell_observation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

namespace funkor {

namespace {

constexpr double kRad = M_PI / 180;
constexpr double kEarthRadius = 6371008.8;
// The side of the grid squares whose samples count as one place.
constexpr double kPlaceMetres = 25;

struct Point {
    double x = 0;  // metres east of the origin
    double y = 0;  // metres north
    double w = 1;
    int count = 1;  // samples merged into this place
    // The mast's distance by the timing advance, mean of the place's
    // samples that had one; negative without.
    double mastDistance = -1;
};

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    const std::size_t mid = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + static_cast<long>(mid), v.end());
    return v[mid];
}

// The samples kept around `cx`, `cy`.
std::vector<bool> keepNear(const std::vector<Point>& pts, double cx, double cy) {
    std::vector<double> d(pts.size());
    for (std::size_t i = 0; i < pts.size(); ++i) d[i] = std::hypot(pts[i].x - cx, pts[i].y - cy);
    const double limit = std::max(kMinTrimMetres, kTrimFactor * median(d));
    std::vector<bool> keep(pts.size());
    for (std::size_t i = 0; i < pts.size(); ++i) keep[i] = d[i] <= limit;
    return keep;
}

// The middle of the advance's step in metres, for a GSM cell; nothing for
// an advance out of its range. An LTE cell is left where it was heard: the
// estimate finds an LTE mast from the rows of the site's other sectors, and
// on the simulator its rows pulled to the mast did worse (bench/accuracy,
// --learning).
std::optional<double> advanceMetres(const std::string& radio, int advance) {
    if (radio == "GSM" && advance >= 0 && advance <= 63)
        return (advance + 0.5) * timingAdvanceStep(Radio::Gsm);
    return std::nullopt;
}

void weightedMean(const std::vector<Point>& pts, const std::vector<bool>& keep, double& cx,
                  double& cy) {
    double sx = 0, sy = 0, sw = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        if (!keep[i]) continue;
        sx += pts[i].x * pts[i].w;
        sy += pts[i].y * pts[i].w;
        sw += pts[i].w;
    }
    if (sw > 0) {
        cx = sx / sw;
        cy = sy / sw;
    }
}

// Where the timing advance's rings around the kept places meet: the point
// whose distances to the places best match the advance's (least squares,
// Gauss-Newton started from the centre and from either side of the drive's
// main direction, the mean distance off). Nothing without enough places
// with an advance of at least two values, or when the rings do not meet.
std::optional<std::pair<double, double>> mastFromAdvance(const std::vector<Point>& pts,
                                                         const std::vector<bool>& keep, double cx,
                                                         double cy) {
    std::vector<const Point*> rings;
    double minD = 1e18, maxD = -1, sumD = 0;
    double sxx = 0, syy = 0, sxy = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        if (!keep[i]) continue;
        const double dx = pts[i].x - cx, dy = pts[i].y - cy;
        sxx += dx * dx;
        syy += dy * dy;
        sxy += dx * dy;
        if (pts[i].mastDistance < 0) continue;
        rings.push_back(&pts[i]);
        minD = std::min(minD, pts[i].mastDistance);
        maxD = std::max(maxD, pts[i].mastDistance);
        sumD += pts[i].mastDistance;
    }
    // One advance throughout draws one ring, which any point on it meets.
    if (rings.size() < static_cast<std::size_t>(kMinAdvancePlaces) || maxD - minD < 1)
        return std::nullopt;
    const double meanD = sumD / static_cast<double>(rings.size());
    // The drive's main direction (the larger eigenvector of the places'
    // scatter) and its normal.
    const double angle = 0.5 * std::atan2(2 * sxy, sxx - syy);
    const double nx = -std::sin(angle), ny = std::cos(angle);
    auto cost = [&](double x, double y) {
        double c = 0;
        for (const Point* p : rings) {
            const double r = std::hypot(x - p->x, y - p->y) - p->mastDistance;
            c += r * r;
        }
        return c;
    };
    double bestX = cx, bestY = cy, bestCost = 1e300;
    const double starts[3][2] = {
        {cx, cy}, {cx + nx * meanD, cy + ny * meanD}, {cx - nx * meanD, cy - ny * meanD}};
    for (const auto& start : starts) {
        double x = start[0], y = start[1];
        for (int iter = 0; iter < 50; ++iter) {
            double a11 = 0, a12 = 0, a22 = 0, b1 = 0, b2 = 0;
            for (const Point* p : rings) {
                const double dx = x - p->x, dy = y - p->y;
                const double d = std::max(1.0, std::hypot(dx, dy));
                const double jx = dx / d, jy = dy / d, r = d - p->mastDistance;
                a11 += jx * jx;
                a12 += jx * jy;
                a22 += jy * jy;
                b1 += jx * r;
                b2 += jy * r;
            }
            // A little damping keeps a step along a straight drive, where
            // the matrix is nearly singular, from running off.
            const double damp = 1e-3 * (a11 + a22) + 1e-9;
            a11 += damp;
            a22 += damp;
            const double det = a11 * a22 - a12 * a12;
            if (det <= 0) break;
            const double stepX = -(a22 * b1 - a12 * b2) / det;
            const double stepY = -(a11 * b2 - a12 * b1) / det;
            x += stepX;
            y += stepY;
            if (std::hypot(stepX, stepY) < 0.1) break;
        }
        const double c = cost(x, y);
        if (c < bestCost * 0.99) {
            bestCost = c;
            bestX = x;
            bestY = y;
        }
    }
    const double rms = std::sqrt(bestCost / static_cast<double>(rings.size()));
    if (rms > std::max(kMaxAdvanceMisfitMetres, 0.3 * meanD)) return std::nullopt;
    return std::make_pair(bestX, bestY);
}

}  // namespace

CellEstimate estimateCell(const std::vector<CellSample>& samples) {
    CellEstimate e;
    e.samples = static_cast<int>(samples.size());
    if (samples.size() < static_cast<std::size_t>(kMinLearnSamples)) return e;

    // Weights from the signals.
    int strongest = -1000;
    std::vector<double> known;
    for (const auto& s : samples)
        if (s.signalDbm) strongest = std::max(strongest, *s.signalDbm);
    auto weightOf = [&](int dbm) {
        return std::max(kMinSampleWeight, std::pow(10.0, (dbm - strongest) / 20.0));
    };
    for (const auto& s : samples)
        if (s.signalDbm) known.push_back(weightOf(*s.signalDbm));
    const double unknownWeight = known.empty() ? 1.0 : median(known);

    // A local plane around the first sample: distances of a cell's
    // samples are a few kilometres, where the plane is exact enough.
    const double lat0 = samples[0].latitude, lon0 = samples[0].longitude;
    const double xScale = kRad * kEarthRadius * std::cos(lat0 * kRad);
    const double yScale = kRad * kEarthRadius;
    // One place per grid square: samples from one spot (a car waiting at
    // lights, parked for an hour) count once, at their mean position with
    // their strongest signal, so that they cannot outvote the drive.
    struct Square {
        double sx = 0, sy = 0, w = 0, mast = 0;
        int n = 0, rings = 0;
    };
    std::map<std::pair<long long, long long>, Square> squares;
    for (const auto& s : samples) {
        double dLon = s.longitude - lon0;
        if (dLon > 180) dLon -= 360;
        if (dLon < -180) dLon += 360;
        const double x = dLon * xScale, y = (s.latitude - lat0) * yScale;
        Square& q = squares[{std::llround(std::floor(x / kPlaceMetres)),
                             std::llround(std::floor(y / kPlaceMetres))}];
        q.sx += x;
        q.sy += y;
        q.w = std::max(q.w, s.signalDbm ? weightOf(*s.signalDbm) : unknownWeight);
        ++q.n;
        if (s.mastDistance) {
            q.mast += *s.mastDistance;
            ++q.rings;
        }
    }
    std::vector<Point> pts;
    pts.reserve(squares.size());
    for (const auto& [at, q] : squares)
        pts.push_back({q.sx / q.n, q.sy / q.n, q.w, q.n, q.rings ? q.mast / q.rings : -1});

    // The start counts places, not signals: a single strong sample far off
    // would otherwise carry it.
    std::vector<double> xs, ys;
    for (const auto& p : pts) {
        xs.push_back(p.x);
        ys.push_back(p.y);
    }
    double cx = median(xs), cy = median(ys);
    std::vector<bool> keep;
    for (int round = 0; round < 2; ++round) {
        keep = keepNear(pts, cx, cy);
        weightedMean(pts, keep, cx, cy);
    }

    // The rings of the serving cell's advance place the mast: a row from one
    // road otherwise lies on the road, however far off the mast stands, and
    // the estimate's ring drawn around that row misses the road. The row
    // goes to the mast but keeps a little of the way toward where the cell
    // was heard (at most kRowFromMast × its reach), as a row of the open
    // databases lies in the sector's coverage near its mast.
    if (const auto mast = mastFromAdvance(pts, keep, cx, cy)) {
        const double mx = mast->first, my = mast->second;
        std::vector<double> fromMast;
        for (std::size_t i = 0; i < pts.size(); ++i)
            if (keep[i]) fromMast.push_back(std::hypot(pts[i].x - mx, pts[i].y - my));
        std::sort(fromMast.begin(), fromMast.end());
        const double reach = fromMast[static_cast<std::size_t>(
            std::ceil(0.95 * static_cast<double>(fromMast.size() - 1)))];
        const double off = std::hypot(cx - mx, cy - my);
        const double keepShare = off > 0 ? std::min(1.0, kRowFromMast * reach / off) : 0;
        cx = mx + (cx - mx) * keepShare;
        cy = my + (cy - my) * keepShare;
        e.fromAdvance = true;
    }

    std::vector<double> distances;
    double minX = 1e18, maxX = -1e18, minY = 1e18, maxY = -1e18;
    int kept = 0;
    for (std::size_t i = 0; i < pts.size(); ++i) {
        if (!keep[i]) continue;
        kept += pts[i].count;
        distances.push_back(std::hypot(pts[i].x - cx, pts[i].y - cy));
        minX = std::min(minX, pts[i].x);
        maxX = std::max(maxX, pts[i].x);
        minY = std::min(minY, pts[i].y);
        maxY = std::max(maxY, pts[i].y);
    }
    e.samples = kept;
    e.trimmed = static_cast<int>(samples.size()) - kept;
    e.spread = distances.empty() ? 0 : std::hypot(maxX - minX, maxY - minY);
    e.latitude = lat0 + cy / yScale;
    e.longitude = lon0 + cx / xScale;
    if (e.longitude > 180) e.longitude -= 360;
    if (e.longitude < -180) e.longitude += 360;
    std::sort(distances.begin(), distances.end());
    if (!distances.empty()) {
        const std::size_t rank =
            static_cast<std::size_t>(std::ceil(0.95 * static_cast<double>(distances.size())));
        e.range = static_cast<int>(std::ceil(distances[std::max<std::size_t>(rank, 1) - 1]));
    }
    if (e.samples < kMinLearnSamples)
        e.outcome = LearnOutcome::TooFewSamples;
    else if (e.spread < kMinLearnSpreadMetres)
        e.outcome = LearnOutcome::TooLittleSpread;
    else
        e.outcome = LearnOutcome::Learned;
    return e;
}

LearnResult learnCells(MeasurementStore& store, std::int64_t nowSeconds) {
    LearnResult r;
    sqlite3* db = store.handle();
    sqlite3_stmt* read = nullptr;
    sqlite3_stmt* write = nullptr;
    auto fail = [&](const char* what) {
        r.error = std::string("Lernen fehlgeschlagen (") + what + "): " + sqlite3_errmsg(db);
        sqlite3_finalize(read);
        sqlite3_finalize(write);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return r;
    };
    if (sqlite3_exec(db, "BEGIN IMMEDIATE; DELETE FROM learned;", nullptr, nullptr, nullptr) !=
        SQLITE_OK)
        return fail("begin");
    if (sqlite3_prepare_v2(db,
                           "SELECT radio, mcc, net, area, cell, lat, lon, signal, ta, serving"
                           " FROM measurements"
                           " WHERE cell IS NOT NULL ORDER BY radio, mcc, net, area, cell",
                           -1, &read, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db,
                           "INSERT INTO learned(radio, mcc, net, area, cell, lon, lat, range,"
                           " samples, spread, updated) VALUES(?,?,?,?,?,?,?,?,?,?,?)",
                           -1, &write, nullptr) != SQLITE_OK)
        return fail("prepare");

    CellDbKey current;
    bool have = false;
    std::vector<CellSample> samples;
    bool writeOk = true;
    auto finish = [&] {
        if (!have) return;
        ++r.cells;
        const CellEstimate e = estimateCell(samples);
        r.trimmed += e.trimmed;
        if (e.outcome == LearnOutcome::TooFewSamples) {
            ++r.tooFew;
            return;
        }
        if (e.outcome == LearnOutcome::TooLittleSpread) {
            ++r.tooClose;
            return;
        }
        sqlite3_reset(write);
        sqlite3_bind_text(write, 1, current.radio.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(write, 2, current.mcc);
        sqlite3_bind_int(write, 3, current.net);
        sqlite3_bind_int64(write, 4, current.area);
        sqlite3_bind_int64(write, 5, current.cell);
        sqlite3_bind_double(write, 6, e.longitude);
        sqlite3_bind_double(write, 7, e.latitude);
        sqlite3_bind_int(write, 8, e.range);
        sqlite3_bind_int(write, 9, e.samples);
        sqlite3_bind_int(write, 10, static_cast<int>(std::lround(e.spread)));
        sqlite3_bind_int64(write, 11, nowSeconds);
        if (sqlite3_step(write) != SQLITE_DONE) writeOk = false;
        ++r.learned;
    };
    int rc;
    while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
        CellDbKey key;
        const auto* radio = sqlite3_column_text(read, 0);
        key.radio = radio ? reinterpret_cast<const char*>(radio) : "";
        key.mcc = sqlite3_column_int(read, 1);
        key.net = sqlite3_column_int(read, 2);
        key.area = sqlite3_column_int64(read, 3);
        key.cell = sqlite3_column_int64(read, 4);
        if (!have || key.radio != current.radio || key.mcc != current.mcc ||
            key.net != current.net || key.area != current.area || key.cell != current.cell) {
            finish();
            if (!writeOk) return fail("write");
            current = key;
            have = true;
            samples.clear();
        }
        CellSample s;
        s.latitude = sqlite3_column_double(read, 5);
        s.longitude = sqlite3_column_double(read, 6);
        if (sqlite3_column_type(read, 7) != SQLITE_NULL) s.signalDbm = sqlite3_column_int(read, 7);
        if (sqlite3_column_type(read, 8) != SQLITE_NULL && sqlite3_column_int(read, 9) == 1)
            s.mastDistance = advanceMetres(key.radio, sqlite3_column_int(read, 8));
        samples.push_back(s);
    }
    if (rc != SQLITE_DONE) return fail("read");
    finish();
    if (!writeOk) return fail("write");
    sqlite3_finalize(read);
    sqlite3_finalize(write);
    read = write = nullptr;
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return fail("commit");
    r.ok = true;
    return r;
}

LearnResult learnCellsOf(MeasurementStore& store, const std::vector<CellDbKey>& keys,
                         std::int64_t nowSeconds) {
    LearnResult r;
    sqlite3* db = store.handle();
    sqlite3_stmt* read = nullptr;
    sqlite3_stmt* write = nullptr;
    sqlite3_stmt* drop = nullptr;
    auto finalize = [&] {
        sqlite3_finalize(read);
        sqlite3_finalize(write);
        sqlite3_finalize(drop);
    };
    auto fail = [&](const char* what) {
        r.error = std::string("Lernen fehlgeschlagen (") + what + "): " + sqlite3_errmsg(db);
        finalize();
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return r;
    };
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return fail("begin");
    constexpr const char* kWhere = " WHERE radio=? AND mcc=? AND net=? AND area=? AND cell=?";
    if (sqlite3_prepare_v2(
            db,
            (std::string("SELECT lat, lon, signal, ta, serving FROM measurements") + kWhere)
                .c_str(),
            -1, &read, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db,
                           "INSERT OR REPLACE INTO learned(radio, mcc, net, area, cell, lon, lat,"
                           " range, samples, spread, updated) VALUES(?,?,?,?,?,?,?,?,?,?,?)",
                           -1, &write, nullptr) != SQLITE_OK ||
        sqlite3_prepare_v2(db, (std::string("DELETE FROM learned") + kWhere).c_str(), -1, &drop,
                           nullptr) != SQLITE_OK)
        return fail("prepare");
    auto bindKey = [](sqlite3_stmt* st, const CellDbKey& key) {
        sqlite3_reset(st);
        sqlite3_bind_text(st, 1, key.radio.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 2, key.mcc);
        sqlite3_bind_int(st, 3, key.net);
        sqlite3_bind_int64(st, 4, key.area);
        sqlite3_bind_int64(st, 5, key.cell);
    };
    for (const CellDbKey& key : keys) {
        bindKey(read, key);
        std::vector<CellSample> samples;
        int rc;
        while ((rc = sqlite3_step(read)) == SQLITE_ROW) {
            CellSample s;
            s.latitude = sqlite3_column_double(read, 0);
            s.longitude = sqlite3_column_double(read, 1);
            if (sqlite3_column_type(read, 2) != SQLITE_NULL)
                s.signalDbm = sqlite3_column_int(read, 2);
            if (sqlite3_column_type(read, 3) != SQLITE_NULL && sqlite3_column_int(read, 4) == 1)
                s.mastDistance = advanceMetres(key.radio, sqlite3_column_int(read, 3));
            samples.push_back(s);
        }
        if (rc != SQLITE_DONE) return fail("read");
        if (samples.empty()) continue;
        ++r.cells;
        const CellEstimate e = estimateCell(samples);
        r.trimmed += e.trimmed;
        if (e.outcome != LearnOutcome::Learned) {
            ++(e.outcome == LearnOutcome::TooFewSamples ? r.tooFew : r.tooClose);
            bindKey(drop, key);
            if (sqlite3_step(drop) != SQLITE_DONE) return fail("write");
            continue;
        }
        bindKey(write, key);
        sqlite3_bind_double(write, 6, e.longitude);
        sqlite3_bind_double(write, 7, e.latitude);
        sqlite3_bind_int(write, 8, e.range);
        sqlite3_bind_int(write, 9, e.samples);
        sqlite3_bind_int(write, 10, static_cast<int>(std::lround(e.spread)));
        sqlite3_bind_int64(write, 11, nowSeconds);
        if (sqlite3_step(write) != SQLITE_DONE) return fail("write");
        ++r.learned;
    }
    finalize();
    read = write = drop = nullptr;
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return fail("commit");
    r.ok = true;
    return r;
}

std::optional<LearnedCell> findLearned(const MeasurementStore& store, const CellDbKey& key) {
    sqlite3_stmt* st = nullptr;
    std::optional<LearnedCell> out;
    if (sqlite3_prepare_v2(store.handle(),
                           "SELECT lon, lat, range, samples, spread, updated FROM learned"
                           " WHERE radio=? AND mcc=? AND net=? AND area=? AND cell=?",
                           -1, &st, nullptr) != SQLITE_OK)
        return out;
    sqlite3_bind_text(st, 1, key.radio.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(st, 2, key.mcc);
    sqlite3_bind_int(st, 3, key.net);
    sqlite3_bind_int64(st, 4, key.area);
    sqlite3_bind_int64(st, 5, key.cell);
    if (sqlite3_step(st) == SQLITE_ROW) {
        LearnedCell c;
        c.key = key;
        c.longitude = sqlite3_column_double(st, 0);
        c.latitude = sqlite3_column_double(st, 1);
        c.range = sqlite3_column_int(st, 2);
        c.samples = sqlite3_column_int(st, 3);
        c.spread = sqlite3_column_int(st, 4);
        c.updated = sqlite3_column_int64(st, 5);
        out = c;
    }
    sqlite3_finalize(st);
    return out;
}

std::optional<ChosenPosition> choosePosition(const std::optional<CellDbPosition>& imported,
                                             const std::optional<LearnedCell>& learned) {
    if (imported && (!learned || !imported->changeable || imported->samples >= learned->samples))
        return ChosenPosition{CellSource::Imported, *imported};
    if (!learned) return std::nullopt;
    ChosenPosition c;
    c.source = CellSource::Learned;
    c.position.latitude = learned->latitude;
    c.position.longitude = learned->longitude;
    c.position.range = learned->range;
    c.position.samples = learned->samples;
    c.position.changeable = true;
    c.position.updated = learned->updated;
    return c;
}

KnownCell knownCellFrom(const CellDbKey& key, const ChosenPosition& chosen,
                        std::optional<int> unit) {
    KnownCell k;
    k.key = key;
    k.latitude = chosen.position.latitude;
    k.longitude = chosen.position.longitude;
    k.range = chosen.position.range;
    k.samples = chosen.position.samples;
    k.unit = unit;
    return k;
}

}  // namespace funkor
