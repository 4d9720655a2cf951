// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/phonesim/radio/radio_network.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <tuple>

namespace funkor::radiosim {

namespace {

constexpr double kEarthRadius = 6371000.0;
constexpr double kDeg = M_PI / 180.0;

struct Layout {
    double siteSpacing;  // between neighbouring sites
    double halfSize;     // of the square network
    double roadSpacing;
    double mastHeight;
    double shadowSigma;
    double shadowDistance;  // correlation distance of the shadowing
    double areaBlock;       // side of a location/tracking area
};

Layout layoutOf(Density d) {
    switch (d) {
        case Density::City:
            return {500, 4000, 120, 30, 8, 50, 3000};
        case Density::Suburban:
            return {1500, 9000, 250, 35, 7, 80, 6000};
        case Density::Rural:
            return {5000, 25000, 1500, 45, 6, 150, 15000};
    }
    return {500, 4000, 120, 30, 8, 50, 3000};
}

// COST-231 Hata (1800 MHz) and Okumura-Hata (900 MHz) path loss in dB for
// a mobile at 1.5 m, with the corrections for suburban and open land.
double pathLoss(double distanceM, double freqMHz, double mastHeight, Density d) {
    const double dk = std::max(distanceM, 30.0) / 1000.0;
    const double lf = std::log10(freqMHz);
    const double hm = 1.5;
    const double ahm = (1.1 * lf - 0.7) * hm - (1.56 * lf - 0.8);
    const double slope = (44.9 - 6.55 * std::log10(mastHeight)) * std::log10(dk);
    double loss = 0;
    if (freqMHz > 1500) {
        loss = 46.3 + 33.9 * lf - 13.82 * std::log10(mastHeight) - ahm + slope +
               (d == Density::City ? 3 : 0);
    } else {
        loss = 69.55 + 26.16 * lf - 13.82 * std::log10(mastHeight) - ahm + slope;
    }
    if (d == Density::Suburban) loss -= 2 * std::pow(std::log10(freqMHz / 28), 2) + 5.4;
    if (d == Density::Rural) loss -= 4.78 * lf * lf - 18.33 * lf + 40.94;
    return loss;
}

// The horizontal pattern of a 65° sector antenna (3GPP TR 36.814).
double antennaGain(double offsetDeg) {
    double a = std::fmod(std::fabs(offsetDeg), 360.0);
    if (a > 180) a = 360 - a;
    return -std::min(12 * (a / 65) * (a / 65), 20.0);
}

}  // namespace

const char* densityName(Density d) {
    switch (d) {
        case Density::City:
            return "city";
        case Density::Suburban:
            return "suburban";
        case Density::Rural:
            return "rural";
    }
    return "city";
}

RadioNetwork::RadioNetwork(const NetworkOptions& options) : options_(options) {
    const Layout lay = layoutOf(options.density);
    halfSize_ = lay.halfSize;
    roadSpacing_ = lay.roadSpacing;
    std::mt19937_64 rng(options.seed * 7919 + 17);
    std::uniform_real_distribution<double> uni(0, 1);
    std::normal_distribution<double> gauss(0, 1);
    const bool lte = options.radio == Radio::Lte;
    // Sites on a jittered hexagonal grid reaching a little beyond the area,
    // one in ten left out.
    const double dx = lay.siteSpacing, dy = lay.siteSpacing * std::sqrt(3.0) / 2;
    const double extent = halfSize_ + lay.siteSpacing;
    int site = 0;
    const int channels[] = {1,  5,  9,  13, 17, 21, 25, 29, 33, 37, 41, 45,
                            49, 53, 57, 61, 65, 69, 73, 77, 81, 85, 89, 93};
    for (int row = 0; row * dy <= 2 * extent; ++row) {
        for (int col = 0; col * dx <= 2 * extent; ++col) {
            if (uni(rng) < 0.1) continue;
            Point m{-extent + col * dx + (row % 2) * dx / 2 + gauss(rng) * 0.15 * dx,
                    -extent + row * dy + gauss(rng) * 0.15 * dx};
            const double rotation = uni(rng) * 120;
            const int pciGroup = static_cast<int>(uni(rng) * 168);
            ++site;
            for (int sector = 0; sector < 3; ++sector) {
                SimCell c;
                c.radio = options.radio;
                c.mast = m;
                c.azimuthDeg = rotation + 120 * sector;
                c.heightM = lay.mastHeight * (0.8 + 0.4 * uni(rng));
                c.area =
                    100 +
                    static_cast<std::int64_t>(std::floor((m.x + extent) / lay.areaBlock)) * 10 +
                    static_cast<std::int64_t>(std::floor((m.y + extent) / lay.areaBlock));
                if (lte) {
                    c.cell = (10000 + site) * 256 + sector + 1;
                    c.unit = pciGroup * 3 + sector;
                    c.channel = 1300;
                    c.eirpDbm = 29 + gauss(rng);  // RSRP: power per resource element
                } else {
                    c.cell = site * 10 + sector + 1;
                    c.channel = channels[static_cast<std::size_t>(uni(rng) * 24) % 24];
                    c.bsic = static_cast<int>(uni(rng) * 64);
                    c.eirpDbm = 57 + gauss(rng);  // BCCH carrier
                }
                c.shadowSigma = lay.shadowSigma;
                const int waves = 12;
                for (int w = 0; w < waves; ++w) {
                    c.waveX.push_back(gauss(rng) / lay.shadowDistance);
                    c.waveY.push_back(gauss(rng) / lay.shadowDistance);
                    c.wavePhase.push_back(uni(rng) * 2 * M_PI);
                }
                cells_.push_back(std::move(c));
            }
        }
    }
    bucket_ = reachMetres() / 2;
    buckets_ = static_cast<int>(std::ceil(2 * extent / bucket_)) + 1;
    grid_.assign(static_cast<std::size_t>(buckets_ * buckets_), {});
    for (std::size_t i = 0; i < cells_.size(); ++i) {
        const int bx =
            std::clamp(static_cast<int>((cells_[i].mast.x + extent) / bucket_), 0, buckets_ - 1);
        const int by =
            std::clamp(static_cast<int>((cells_[i].mast.y + extent) / bucket_), 0, buckets_ - 1);
        grid_[static_cast<std::size_t>(by * buckets_ + bx)].push_back(i);
    }
}

double RadioNetwork::noiseFloorDbm() const {
    return options_.radio == Radio::Lte ? -124 : -104;
}

double RadioNetwork::reachMetres() const {
    return layoutOf(options_.density).siteSpacing * 3.5;
}

double RadioNetwork::level(std::size_t i, Point p) const {
    const SimCell& c = cells_[i];
    const double dx = p.x - c.mast.x, dy = p.y - c.mast.y;
    const double d = std::hypot(dx, dy);
    const double bearing = std::atan2(dx, dy) / kDeg;
    const double freq = c.radio == Radio::Lte ? 1800 : 900;
    double shadow = 0;
    for (std::size_t w = 0; w < c.waveX.size(); ++w) {
        shadow += std::cos(c.waveX[w] * p.x + c.waveY[w] * p.y + c.wavePhase[w]);
    }
    shadow *= c.shadowSigma * std::sqrt(2.0 / static_cast<double>(c.waveX.size()));
    return c.eirpDbm - pathLoss(d, freq, c.heightM, options_.density) +
           antennaGain(bearing - c.azimuthDeg) + shadow;
}

std::vector<std::size_t> RadioNetwork::cellsNear(Point p, double radius) const {
    std::vector<std::size_t> out;
    const double extent = halfSize_ + layoutOf(options_.density).siteSpacing;
    const int r = static_cast<int>(std::ceil(radius / bucket_));
    const int bx = static_cast<int>((p.x + extent) / bucket_);
    const int by = static_cast<int>((p.y + extent) / bucket_);
    for (int y = std::max(0, by - r); y <= std::min(buckets_ - 1, by + r); ++y) {
        for (int x = std::max(0, bx - r); x <= std::min(buckets_ - 1, bx + r); ++x) {
            for (std::size_t i : grid_[static_cast<std::size_t>(y * buckets_ + x)]) {
                if (std::hypot(cells_[i].mast.x - p.x, cells_[i].mast.y - p.y) <= radius) {
                    out.push_back(i);
                }
            }
        }
    }
    return out;
}

void RadioNetwork::toLatLon(Point p, double& lat, double& lon) const {
    lat = options_.originLat + p.y / kEarthRadius / kDeg;
    lon = options_.originLon + p.x / (kEarthRadius * std::cos(options_.originLat * kDeg)) / kDeg;
}

Point RadioNetwork::fromLatLon(double lat, double lon) const {
    return {(lon - options_.originLon) * kDeg * kEarthRadius * std::cos(options_.originLat * kDeg),
            (lat - options_.originLat) * kDeg * kEarthRadius};
}

Point RadioNetwork::roadPoint(std::mt19937_64& rng) const {
    std::uniform_real_distribution<double> uni(-halfSize_, halfSize_);
    const int lines = static_cast<int>(2 * halfSize_ / roadSpacing_);
    std::uniform_int_distribution<int> line(0, lines);
    const double along = uni(rng);
    const double across = -halfSize_ + line(rng) * roadSpacing_;
    if (rng() % 2) return {along, across};
    return {across, along};
}

std::vector<SimRow> RadioNetwork::databaseRows(std::uint64_t seed, int samplesPerCell) const {
    std::mt19937_64 rng(seed * 104729 + 3);
    std::normal_distribution<double> gpsNoise(0, 10);
    std::uniform_real_distribution<double> uni(0, 1);
    struct Acc {
        double sx = 0, sy = 0;
        std::vector<Point> pts;
        double sumLevel = 0;
    };
    std::map<std::size_t, Acc> acc;
    const std::size_t samples = cells_.size() * static_cast<std::size_t>(samplesPerCell);
    for (std::size_t s = 0; s < samples; ++s) {
        const Point p = roadPoint(rng);
        int best = -1;
        double bestLevel = noiseFloorDbm();
        for (std::size_t i : cellsNear(p, reachMetres())) {
            const double l = level(i, p);
            if (l > bestLevel) {
                bestLevel = l;
                best = static_cast<int>(i);
            }
        }
        if (best < 0) continue;
        Acc& a = acc[static_cast<std::size_t>(best)];
        const Point g{p.x + gpsNoise(rng), p.y + gpsNoise(rng)};
        a.sx += g.x;
        a.sy += g.y;
        a.pts.push_back(g);
        a.sumLevel += bestLevel;
    }
    std::vector<SimRow> rows;
    for (const auto& [i, a] : acc) {
        if (a.pts.size() < 3 || uni(rng) < 0.04) continue;  // too few, or never uploaded
        const SimCell& c = cells_[i];
        const double n = static_cast<double>(a.pts.size());
        const Point centre{a.sx / n, a.sy / n};
        double range = 0;
        for (const Point& p : a.pts)
            range = std::max(range, std::hypot(p.x - centre.x, p.y - centre.y));
        SimRow r;
        r.cell.key = CellDbKey{radioName(c.radio), c.mcc, c.mnc, c.area, c.cell};
        if (c.unit >= 0) r.cell.unit = c.unit;
        toLatLon(centre, r.cell.latitude, r.cell.longitude);
        r.cell.range = uni(rng) < 0.1 ? 0 : static_cast<int>(std::lround(range));
        r.cell.samples = static_cast<int>(a.pts.size());
        rows.push_back(r);
    }
    return rows;
}

std::string RadioNetwork::csv(const std::vector<SimRow>& rows) {
    std::string out(kCellCsvHeader);
    out += '\n';
    char buf[256];
    for (const SimRow& r : rows) {
        const KnownCell& c = r.cell;
        std::snprintf(
            buf, sizeof buf, "%s,%d,%d,%lld,%lld,%s,%.6f,%.6f,%s,%d,1,%lld,%lld,\n",
            c.key.radio.c_str(), c.key.mcc, c.key.net, static_cast<long long>(c.key.area),
            static_cast<long long>(c.key.cell), c.unit ? std::to_string(*c.unit).c_str() : "",
            c.longitude, c.latitude, c.range > 0 ? std::to_string(c.range).c_str() : "", c.samples,
            static_cast<long long>(r.updated - 86400 * 400), static_cast<long long>(r.updated));
        out += buf;
    }
    return out;
}

std::vector<TrackPoint> roadTrack(const RadioNetwork& net, double speed, double seconds,
                                  double tick, std::uint64_t seed) {
    std::mt19937_64 rng(seed * 6151 + 11);
    std::uniform_real_distribution<double> uni(0, 1);
    const double spacing = net.roadSpacing();
    const double limit = net.halfSize() * 0.8;
    // Start at a crossing near the centre, heading along a road.
    Point p{std::round((uni(rng) - 0.5) * limit / spacing) * spacing,
            std::round((uni(rng) - 0.5) * limit / spacing) * spacing};
    int dir = static_cast<int>(uni(rng) * 4);  // 0 east, 1 north, 2 west, 3 south
    const double stepX[] = {1, 0, -1, 0}, stepY[] = {0, 1, 0, -1};
    std::vector<TrackPoint> track;
    const double dt = 1;  // move in one-second steps, report every tick
    double nextTick = 0;
    double toCrossing = spacing;
    for (double t = 0; t <= seconds; t += dt) {
        if (t >= nextTick) {
            track.push_back({t, p});
            nextTick += tick;
        }
        // Speed varies a little (traffic, pedestrians' pace).
        double move = speed * dt * (0.7 + 0.6 * uni(rng));
        while (move > 0) {
            const double m = std::min(move, toCrossing);
            p.x += stepX[dir] * m;
            p.y += stepY[dir] * m;
            move -= m;
            toCrossing -= m;
            if (toCrossing <= 1e-9) {
                toCrossing = spacing;
                const double r = uni(rng);
                if (r < 0.15)
                    dir = (dir + 1) % 4;
                else if (r < 0.3)
                    dir = (dir + 3) % 4;
                // Turn away from the edge.
                const double nx = p.x + stepX[dir] * spacing, ny = p.y + stepY[dir] * spacing;
                if (std::fabs(nx) > limit || std::fabs(ny) > limit) {
                    dir = (dir + 1) % 4;
                    const double ax = p.x + stepX[dir] * spacing, ay = p.y + stepY[dir] * spacing;
                    if (std::fabs(ax) > limit || std::fabs(ay) > limit) dir = (dir + 2) % 4;
                }
            }
        }
    }
    return track;
}

std::vector<TrackPoint> trackFromFile(const RadioNetwork& net, const std::string& path,
                                      double tick) {
    std::vector<TrackPoint> track;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line) && track.size() < 1000000) {
        std::replace(line.begin(), line.end(), ',', ' ');
        std::istringstream ls(line);
        double a = 0, b = 0, c = 0;
        if (!(ls >> a >> b)) continue;
        TrackPoint p;
        if (ls >> c) {
            p.time = a;
            p.at = net.fromLatLon(b, c);
        } else {
            p.time = static_cast<double>(track.size()) * tick;
            p.at = net.fromLatLon(a, b);
        }
        track.push_back(p);
    }
    return track;
}

Device::Device(const RadioNetwork& net, DeviceOptions options, std::uint64_t seed)
    : net_(net), options_(options), rng_(seed * 4099 + 5) {}

Observation Device::observe(const TrackPoint& p) {
    Observation obs;
    obs.time = p.time;
    std::normal_distribution<double> noise(0, options_.readingNoiseDb);
    struct Heard {
        std::size_t i;
        double level;
    };
    std::vector<Heard> heard;
    for (std::size_t i : net_.cellsNear(p.at, net_.reachMetres())) {
        const double l = net_.level(i, p.at) + noise(rng_);
        if (l >= net_.noiseFloorDbm()) heard.push_back({i, l});
    }
    std::sort(heard.begin(), heard.end(),
              [](const Heard& a, const Heard& b) { return a.level > b.level; });
    if (heard.empty()) {
        serving_ = -1;
        return obs;
    }
    // Keep the serving cell while it is heard and within the hysteresis.
    auto current = std::find_if(heard.begin(), heard.end(),
                                [&](const Heard& h) { return static_cast<int>(h.i) == serving_; });
    if (current == heard.end() || current->level < heard.front().level - options_.hysteresisDb) {
        current = heard.begin();
    }
    serving_ = static_cast<int>(current->i);
    const auto& cells = net_.cells();
    auto describe = [&](const Heard& h, bool identity) {
        const SimCell& c = cells[h.i];
        ObservedCell o;
        o.radio = c.radio;
        if (identity) {
            o.mcc = c.mcc;
            o.mnc = c.mnc;
            o.area = c.area;
            o.cell = c.cell;
        }
        if (c.unit >= 0) o.unit = c.unit;
        o.channel = c.channel;
        if (c.radio == Radio::Gsm) o.bsic = c.bsic;
        o.signalDbm = std::round(h.level);
        return o;
    };
    ObservedCell s = describe(*current, true);
    if (options_.timingAdvance) {
        // From the true distance to the mast, with the spread of the
        // network's measurement and the late first path of built-up areas.
        const SimCell& c = cells[current->i];
        const double d = std::hypot(p.at.x - c.mast.x, p.at.y - c.mast.y);
        std::normal_distribution<double> spread(0, c.radio == Radio::Lte ? 20 : 60);
        double measured = d + spread(rng_);
        if (net_.options().density == Density::City) measured += std::fabs(spread(rng_)) * 2;
        const double step = timingAdvanceStep(c.radio);
        s.timingAdvance = std::clamp(static_cast<int>(std::floor(std::max(0.0, measured) / step)),
                                     0, c.radio == Radio::Lte ? 1282 : 63);
    }
    obs.serving = s;
    int n = 0;
    for (const Heard& h : heard) {
        if (h.i == current->i) continue;
        if (n++ >= options_.maxNeighbours) break;
        obs.neighbours.push_back(describe(h, options_.neighboursWithIdentity));
    }
    return obs;
}

MemoryDatabase::MemoryDatabase(std::vector<SimRow> rows) : rows_(std::move(rows)) {}

CellLookups MemoryDatabase::lookups() const {
    using Key = std::tuple<std::string, int, int, std::int64_t, std::int64_t>;
    auto byKey = std::make_shared<std::map<Key, KnownCell>>();
    using UnitKey = std::tuple<std::string, int, int, std::int64_t, int>;
    auto byUnit = std::make_shared<std::map<UnitKey, std::vector<KnownCell>>>();
    for (const SimRow& r : rows_) {
        const CellDbKey& k = r.cell.key;
        (*byKey)[Key{k.radio, k.mcc, k.net, k.area, k.cell}] = r.cell;
        if (r.cell.unit) {
            (*byUnit)[UnitKey{k.radio, k.mcc, k.net, k.area, *r.cell.unit}].push_back(r.cell);
        }
    }
    CellLookups l;
    l.find = [byKey](const CellDbKey& k) -> std::optional<KnownCell> {
        auto it = byKey->find(Key{k.radio, k.mcc, k.net, k.area, k.cell});
        if (it == byKey->end()) return std::nullopt;
        return it->second;
    };
    l.findByUnit = [byUnit](const std::string& radio, int mcc, int net, std::int64_t area,
                            int unit) -> std::vector<KnownCell> {
        auto it = byUnit->find(UnitKey{radio, mcc, net, area, unit});
        if (it == byUnit->end()) return {};
        return it->second;
    };
    return l;
}

}  // namespace funkor::radiosim
