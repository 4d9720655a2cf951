// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/phonesim/radio/radio_network.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
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
                // The sectors of one mast see the same buildings and hills on
                // the way to the device: they share the site's shadowing
                // (3GPP TR 36.814 and TR 38.901 take a correlation of 1
                // between co-sited cells). The draws above are still made,
                // so that a seed's network stays the same otherwise.
                if (sector > 0) {
                    const SimCell& first = cells_[cells_.size() - static_cast<std::size_t>(sector)];
                    c.waveX = first.waveX;
                    c.waveY = first.waveY;
                    c.wavePhase = first.wavePhase;
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
    // Phones upload along the ways people take: stretches of the main roads
    // (every third road in towns), a point every few dozen metres, each
    // point the cell that served there. So the rows lean toward the main
    // roads and a cell far from them has few samples or none.
    const double spacing = layoutOf(options_.density).siteSpacing;
    const int mainEvery = options_.density == Density::Rural ? 1 : 3;
    const double mainSpacing = roadSpacing_ * mainEvery;
    const int mainLines = static_cast<int>(2 * halfSize_ / mainSpacing);
    std::uniform_int_distribution<int> mainLine(0, mainLines);
    std::uniform_real_distribution<double> along(-halfSize_, halfSize_);
    const std::size_t traces =
        cells_.size() * static_cast<std::size_t>(std::max(1, samplesPerCell)) / 25;
    const double pointStep = 0.12 * spacing;
    for (std::size_t t = 0; t < traces; ++t) {
        const double across = -halfSize_ + mainLine(rng) * mainSpacing;
        const bool horizontal = rng() % 2;
        double pos = along(rng);
        const double length = (0.5 + 5.5 * uni(rng)) * spacing;
        const double dir = rng() % 2 ? 1 : -1;
        for (double walked = 0; walked < length; walked += pointStep, pos += dir * pointStep) {
            if (std::fabs(pos) > halfSize_) break;
            const Point p = horizontal ? Point{pos, across} : Point{across, pos};
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
    }
    std::vector<SimRow> rows;
    for (const auto& [i, a] : acc) {
        if (a.pts.size() < 2 || uni(rng) < 0.04) continue;  // too few, or never uploaded
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

namespace funkor::radiosim {

namespace {

std::string fmt(const char* f, ...) __attribute__((format(printf, 1, 2)));
std::string fmt(const char* f, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, f);
    std::vsnprintf(buf, sizeof buf, f, ap);
    va_end(ap);
    return buf;
}

int rxlevOf(const ObservedCell& c) {
    return std::clamp(static_cast<int>(std::lround(c.signalDbm.value_or(-111) + 111)), 0, 63);
}
int dbmOf(const ObservedCell& c) {
    return static_cast<int>(std::lround(c.signalDbm.value_or(-140)));
}
long long idOf(const std::optional<std::int64_t>& v) {
    return v ? static_cast<long long>(*v) : 0;
}

}  // namespace

std::string cesqLine(const Observation& obs) {
    if (!obs.serving || !obs.serving->signalDbm) return "+CESQ: 99,99,255,255,255,255";
    const ObservedCell& s = *obs.serving;
    if (s.radio == Radio::Lte) {
        const int rsrp = std::clamp(static_cast<int>(std::lround(*s.signalDbm + 141)), 0, 97);
        return fmt("+CESQ: 99,99,255,255,20,%d", rsrp);
    }
    return fmt("+CESQ: %d,0,255,255,255,255", rxlevOf(s));
}

std::vector<std::string> familyAnswerLines(DeviceFamily family, const Observation& obs) {
    std::vector<std::string> out;
    if (!obs.serving) return out;
    const ObservedCell& s = *obs.serving;
    const bool lte = s.radio == Radio::Lte;
    switch (family) {
        case DeviceFamily::Siemens: {
            if (lte) return out;
            std::string line = "^SMONC: ";
            auto slot = [&](const ObservedCell& c) {
                return fmt("%03d,%02d,%04llX,%04llX,%02d,%d,%d,%d,%d", c.mcc.value_or(0),
                           c.mnc.value_or(0), idOf(c.area), idOf(c.cell), c.bsic.value_or(0),
                           c.channel.value_or(0), rxlevOf(c), rxlevOf(c) - 10, rxlevOf(c) - 10);
            };
            line += slot(s);
            for (std::size_t i = 0; i < 6; ++i) {
                line += ",";
                if (i < obs.neighbours.size()) {
                    ObservedCell n = obs.neighbours[i];
                    if (!n.hasIdentity()) {
                        n.mcc = s.mcc;
                        n.mnc = s.mnc;
                        n.area = s.area;
                        n.cell = 0;  // heard, not decoded
                    }
                    line += slot(n);
                } else {
                    line += "000,00,0000,0000,00,0,0,-,-";
                }
            }
            out.push_back(line);
            break;
        }
        case DeviceFamily::Quectel:
            if (lte) {
                out.push_back(
                    fmt("+QENG: \"servingcell\",\"NOCONN\",\"LTE\",\"FDD\",%d,%02d,%llX,%d,%d,3,5,"
                        "5,%llX,%d,-10,-70,12,40",
                        s.mcc.value_or(0), s.mnc.value_or(0), idOf(s.cell), s.unit.value_or(0),
                        s.channel.value_or(0), idOf(s.area), dbmOf(s)));
                for (const ObservedCell& n : obs.neighbours) {
                    out.push_back(
                        fmt("+QENG: \"neighbourcell intra\",\"LTE\",%d,%d,-11,%d,-72,5,20,"
                            "4,12,10,62",
                            n.channel.value_or(0), n.unit.value_or(0), dbmOf(n)));
                }
            } else {
                out.push_back(
                    fmt("+QENG: \"servingcell\",\"NOCONN\",\"GSM\",%d,%02d,%llX,%llX,%d,%d,0,%d,"
                        "5,14,0,30,30,1,-,-,%s,-,-,-,-,-,-,-,\"-\"",
                        s.mcc.value_or(0), s.mnc.value_or(0), idOf(s.area), idOf(s.cell),
                        s.bsic.value_or(0), s.channel.value_or(0), dbmOf(s),
                        s.timingAdvance ? std::to_string(*s.timingAdvance).c_str() : "-"));
                for (const ObservedCell& n : obs.neighbours) {
                    out.push_back(
                        fmt("+QENG: \"neighbourcell\",\"GSM\",%d,%02d,%llX,%llX,%d,%d,%d,20,"
                            "20,0,0",
                            n.mcc.value_or(0), n.mnc.value_or(0), idOf(n.area), idOf(n.cell),
                            n.bsic.value_or(0), n.channel.value_or(0), dbmOf(n)));
                }
            }
            break;
        case DeviceFamily::Simcom:
            if (lte) {
                out.push_back("+CENG: 1,1,2,LTE CAT-M1");
                out.push_back(fmt("+CENG: 0,\"%d,%d,%d,-60,-10,12,%lld,%lld,%d,%02d,23\"",
                                  s.channel.value_or(0), s.unit.value_or(0), dbmOf(s), idOf(s.area),
                                  idOf(s.cell), s.mcc.value_or(0), s.mnc.value_or(0)));
                int i = 1;
                for (const ObservedCell& n : obs.neighbours) {
                    out.push_back(fmt("+CENG: %d,\"%d,%d,%d,-62,-12,5\"", i++,
                                      n.channel.value_or(0), n.unit.value_or(0), dbmOf(n)));
                }
            } else {
                out.push_back("+CENG: 1,1");
                out.push_back(fmt("+CENG: 0,\"%04d,%02d,00,%d,%02d,%02d,%04llx,10,05,%04llx,%d\"",
                                  s.channel.value_or(0), rxlevOf(s), s.mcc.value_or(0),
                                  s.mnc.value_or(0), s.bsic.value_or(0), idOf(s.cell), idOf(s.area),
                                  s.timingAdvance.value_or(255)));
                int i = 1;
                for (const ObservedCell& n : obs.neighbours) {
                    if (n.hasIdentity()) {
                        out.push_back(fmt("+CENG: %d,\"%04d,%02d,%02d,%04llx,%d,%02d,%04llx\"", i++,
                                          n.channel.value_or(0), rxlevOf(n), n.bsic.value_or(0),
                                          idOf(n.cell), n.mcc.value_or(0), n.mnc.value_or(0),
                                          idOf(n.area)));
                    } else {
                        out.push_back(fmt("+CENG: %d,\"%04d,%02d,%02d,ffff,,,0000\"", i++,
                                          n.channel.value_or(0), rxlevOf(n), n.bsic.value_or(0)));
                    }
                }
            }
            break;
        case DeviceFamily::Ublox:
            if (lte) {
                const int rsrp = std::clamp(dbmOf(s) + 141, 0, 97);
                out.push_back(
                    fmt("+UCELLINFO: 0,5,%d,%02d,%08llX,%d,%llX,%d,20,1,%s,1,0,0,0,0",
                        s.mcc.value_or(0), s.mnc.value_or(0), idOf(s.cell), s.unit.value_or(0),
                        idOf(s.area), rsrp,
                        s.timingAdvance ? std::to_string(*s.timingAdvance).c_str() : "65535"));
                for (const ObservedCell& n : obs.neighbours) {
                    out.push_back(fmt("+UCELLINFO: 0,6,%d,%02d,FFFFFFFF,%d,%llX,%d,15",
                                      s.mcc.value_or(0), s.mnc.value_or(0), n.unit.value_or(0),
                                      idOf(s.area), std::clamp(dbmOf(n) + 141, 0, 97)));
                }
            } else {
                out.push_back(fmt("+UCELLINFO: 0,0,%d,%02d,%04llX,%04llX,%d,%d", s.mcc.value_or(0),
                                  s.mnc.value_or(0), idOf(s.area), idOf(s.cell), rxlevOf(s),
                                  s.timingAdvance.value_or(255)));
                for (const ObservedCell& n : obs.neighbours) {
                    if (!n.hasIdentity()) continue;
                    out.push_back(fmt("+UCELLINFO: 0,1,%d,%02d,%04llX,%04llX,%d", n.mcc.value_or(0),
                                      n.mnc.value_or(0), idOf(n.area), idOf(n.cell), rxlevOf(n)));
                }
            }
            break;
        case DeviceFamily::Generic:
            break;
    }
    return out;
}

}  // namespace funkor::radiosim
