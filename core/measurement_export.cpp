// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/measurement_export.h"

#include <zlib.h>

#include <charconv>
#include <cmath>

namespace funkor {

namespace {

// "." whatever the locale: the tool's Qt part sets the user's locale, and
// a "48,5" would break both layouts.
std::string fixed(double v, int decimals) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    return std::string(buf, r.ptr);
}

template <typename T>
std::string optionalText(const std::optional<T>& v) {
    return v ? std::to_string(*v) : std::string();
}

std::string wholeText(const std::optional<double>& v) {
    return v ? std::to_string(std::llround(*v)) : std::string();
}

// "2026-12-09 12:00:00.500Z"
std::string ocidTime(std::int64_t unixMs) {
    std::string t = isoUtc(unixMs);
    t[10] = ' ';
    return t;
}

std::string_view geosubmitRadio(std::string_view radio) {
    if (radio == "GSM") return "gsm";
    if (radio == "UMTS") return "wcdma";
    if (radio == "LTE") return "lte";
    return {};
}

}  // namespace

std::string ocidMeasurementCsv(const std::vector<MeasurementRow>& rows) {
    std::string out(kOcidMeasurementHeader);
    out += '\n';
    for (const MeasurementRow& r : rows) {
        const MeasuredCell& c = r.cell;
        if (!c.cell) continue;
        const bool cdma = c.radio == "CDMA";
        const bool tracking = c.radio == "LTE" || c.radio == "NR";
        const std::string area = std::to_string(c.area), id = std::to_string(*c.cell);
        std::string line;
        line += std::to_string(c.mcc) + ',';
        line += (cdma ? "" : std::to_string(c.mnc)) + ',';
        line += (cdma || tracking ? "" : area) + ',';
        line += (cdma ? "" : id) + ',';
        line += fixed(r.fix.longitude, 7) + ',' + fixed(r.fix.latitude, 7) + ',';
        line += optionalText(c.signalDbm) + ',';
        line += ocidTime(r.fix.timeMs) + ',';
        line += wholeText(r.fix.accuracyMetres) + ',';
        line += wholeText(r.fix.speedMps) + ',';
        line += wholeText(r.fix.headingDeg) + ',';
        line += c.radio + ',';
        line += optionalText(c.timingAdvance) + ',';
        line += (c.radio == "UMTS" ? optionalText(c.pci) : "") + ',';
        line += (tracking ? area : "") + ',';
        line += (tracking ? optionalText(c.pci) : "") + ',';
        line += (cdma ? std::to_string(c.mnc) : "") + ',';
        line += (cdma ? area : "") + ',';
        line += cdma ? id : "";
        out += line + '\n';
    }
    return out;
}

std::vector<GeosubmitItem> geosubmitItems(const std::vector<MeasurementRow>& rows) {
    std::vector<GeosubmitItem> items;
    const MeasurementRow* last = nullptr;
    for (const MeasurementRow& r : rows) {
        const bool sameFix = last && last->fix.timeMs == r.fix.timeMs &&
                             last->fix.latitude == r.fix.latitude &&
                             last->fix.longitude == r.fix.longitude;
        if (!sameFix) {
            if (!items.empty() && items.back().cells.empty()) items.pop_back();
            items.push_back({r.fix, {}, {}});
        }
        last = &r;
        if (geosubmitRadio(r.cell.radio).empty() || !r.cell.cell) continue;
        items.back().cells.push_back(r.cell);
        items.back().ids.push_back(r.id);
    }
    if (!items.empty() && items.back().cells.empty()) items.pop_back();
    return items;
}

std::string geosubmitJson(const std::vector<GeosubmitItem>& items, bool pretty) {
    std::string out = "{\"items\": [";
    bool firstItem = true;
    for (const GeosubmitItem& item : items) {
        out += firstItem ? "" : ",";
        out += pretty ? "\n" : "";
        firstItem = false;
        const MeasuredFix& f = item.fix;
        out += "{\"timestamp\": " + std::to_string(f.timeMs) +
               ", \"position\": {\"latitude\": " + fixed(f.latitude, 7) +
               ", \"longitude\": " + fixed(f.longitude, 7);
        if (f.accuracyMetres) out += ", \"accuracy\": " + fixed(*f.accuracyMetres, 1);
        if (f.speedMps) out += ", \"speed\": " + fixed(*f.speedMps, 1);
        if (f.headingDeg) out += ", \"heading\": " + fixed(*f.headingDeg, 1);
        out += ", \"source\": \"gps\"}, \"cellTowers\": [";
        bool firstCell = true;
        for (const MeasuredCell& c : item.cells) {
            out += firstCell ? "" : ", ";
            firstCell = false;
            out += "{\"radioType\": \"" + std::string(geosubmitRadio(c.radio)) +
                   "\", \"mobileCountryCode\": " + std::to_string(c.mcc) +
                   ", \"mobileNetworkCode\": " + std::to_string(c.mnc) +
                   ", \"locationAreaCode\": " + std::to_string(c.area) +
                   ", \"cellId\": " + std::to_string(*c.cell);
            if (c.pci) out += ", \"primaryScramblingCode\": " + std::to_string(*c.pci);
            if (c.signalDbm) out += ", \"signalStrength\": " + std::to_string(*c.signalDbm);
            if (c.timingAdvance) out += ", \"timingAdvance\": " + std::to_string(*c.timingAdvance);
            out += std::string(", \"serving\": ") + (c.serving ? "1" : "0") + "}";
        }
        out += "]}";
    }
    out += pretty && !items.empty() ? "\n]}\n" : "]}";
    return out;
}

std::string gzipCompress(std::string_view data) {
    z_stream z{};
    // 15 window bits + 16: a gzip header and trailer instead of zlib's.
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END ? out : std::string();
}

}  // namespace funkor
