// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/map_page.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/charset.h"

namespace funkor::mappage {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// %XX escapes to bytes; a "%" not followed by two hex digits stays.
std::string percentDecode(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int hi = hexDigit(s[i + 1]);
            const int lo = hexDigit(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

// A plain decimal number: an optional "-", digits, optionally "." and
// digits. No exponent, no blanks, nothing after it.
std::optional<double> plainNumber(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && s[i] == '-') ++i;
    const std::size_t digitsStart = i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
    if (i == digitsStart) return std::nullopt;
    if (i < s.size() && s[i] == '.') {
        ++i;
        const std::size_t decimalsStart = i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
        if (i == decimalsStart) return std::nullopt;
    }
    if (i != s.size() || s.size() > 40) return std::nullopt;
    double v = 0;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size() || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// "lat,lon" within the earth's ranges.
bool readPoint(std::string_view s, double& lat, double& lon) {
    const std::size_t comma = s.find(',');
    if (comma == std::string_view::npos) return false;
    const auto a = plainNumber(s.substr(0, comma));
    const auto b = plainNumber(s.substr(comma + 1));
    if (!a || !b || std::fabs(*a) > 90 || std::fabs(*b) > 180) return false;
    lat = *a;
    lon = *b;
    return true;
}

// The value of `key` among "k=v&k=v" pairs; nothing when absent.
std::optional<std::string_view> queryValue(std::string_view query, std::string_view key) {
    std::size_t pos = 0;
    while (pos <= query.size()) {
        std::size_t end = query.find('&', pos);
        if (end == std::string_view::npos) end = query.size();
        const std::string_view pair = query.substr(pos, end - pos);
        if (pair.size() > key.size() && pair.substr(0, key.size()) == key &&
            pair[key.size()] == '=')
            return pair.substr(key.size() + 1);
        pos = end + 1;
    }
    return std::nullopt;
}

std::string number(double v) {
    std::array<char, 64> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
    return std::string(buf.data(), r.ptr);
}

// A JSON string whose every character outside letters, digits and a few
// harmless marks is written as \uXXXX: it cannot end the string, the script
// element or the page, whatever the label holds.
std::string jsonString(std::string_view utf8) {
    std::string out = "\"";
    auto escape = [&out](unsigned unit) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "\\u%04X", unit & 0xFFFFu);
        out += buf;
    };
    for (const char32_t cp : charset::decodeUtf8(utf8)) {
        const bool plain = (cp >= 'a' && cp <= 'z') || (cp >= 'A' && cp <= 'Z') ||
                           (cp >= '0' && cp <= '9') || cp == ' ' || cp == '-' || cp == '.' ||
                           cp == ':' || cp == ',' || cp == '+' || cp == '_';
        if (plain) {
            out += static_cast<char>(cp);
        } else if (cp > 0xFFFF && cp <= 0x10FFFF) {
            const unsigned v = static_cast<unsigned>(cp) - 0x10000u;
            escape(0xD800u + (v >> 10));
            escape(0xDC00u + (v & 0x3FFu));
        } else if (cp <= 0xFFFF) {
            escape(static_cast<unsigned>(cp));
        } else {
            escape(0xFFFDu);
        }
    }
    out += '"';
    return out;
}

const char* reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 431:
            return "Request Header Fields Too Large";
        case 503:
            return "Service Unavailable";
        default:
            return "Error";
    }
}

// Leaflet's files the page needs; nothing else of the folder is served.
constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kLeafletFiles{{
    {"leaflet.js", "application/javascript"},
    {"leaflet.css", "text/css"},
    {"images/marker-icon.png", "image/png"},
    {"images/marker-icon-2x.png", "image/png"},
    {"images/marker-shadow.png", "image/png"},
    {"images/layers.png", "image/png"},
    {"images/layers-2x.png", "image/png"},
}};

constexpr std::string_view kScript = R"JS((function () {
  'use strict';
  var data = JSON.parse(document.getElementById('position').textContent);
  L.Icon.Default.imagePath = '/leaflet/images/';
  var map = L.map('map').setView([data.centreLatitude, data.centreLongitude], 15);
  L.tileLayer('https://tile.openstreetmap.org/{z}/{x}/{y}.png', {
    maxZoom: 19,
    attribution: '&copy; OpenStreetMap-Mitwirkende'
  }).addTo(map);
  var marker = L.marker([data.latitude, data.longitude], {title: data.label}).addTo(map);
  // The label as text, never as markup.
  var label = document.createElement('span');
  label.className = 'funkor-label';
  label.textContent = data.label;
  marker.bindTooltip(label, {permanent: true, direction: 'top', offset: [0, -36]}).openTooltip();
  // A position from a cell database is good to the cell's radius: the
  // circle shows how far off it may be, and the view takes it in whole.
  if (data.range > 0) {
    var circle = L.circle([data.latitude, data.longitude], {radius: data.range}).addTo(map);
    map.fitBounds(circle.getBounds());
    document.body.setAttribute('data-range', String(data.range));
  }
  // The cells an estimate rests on, where their database rows put them:
  // the serving cell filled, the others as rings.
  data.cells.forEach(function (c) {
    L.circleMarker([c.latitude, c.longitude], {
      radius: c.serving ? 7 : 5, color: '#b03a2e', weight: 2,
      fillOpacity: c.serving ? 0.8 : 0.15, className: 'funkor-cell'
    }).addTo(map);
  });
  document.body.setAttribute('data-cells', String(data.cells.length));
  document.title = data.label + ' \u2013 Funkor';
  // Where the marker stands, for whoever checks the page.
  var at = marker.getLatLng();
  var point = map.latLngToContainerPoint(at);
  var size = map.getSize();
  document.body.setAttribute('data-marker', at.lat + ',' + at.lng);
  document.body.setAttribute('data-marker-point', Math.round(point.x) + ',' + Math.round(point.y));
  document.body.setAttribute('data-map-size', size.x + ',' + size.y);
})();
)JS";

constexpr std::string_view kStyle = R"CSS(html, body, #map { height: 100%; margin: 0; }
.funkor-label { font: bold 13px sans-serif; }
)CSS";

}  // namespace

std::string defaultBase(int port) {
    return "http://127.0.0.1:" + std::to_string(port);
}

std::optional<Marker> parseMapQuery(std::string_view query) {
    // P comes last and carries the label, which may hold "&" itself.
    std::string_view beforeP = query;
    std::string_view pValue;
    if (query.substr(0, 2) == "P=") {
        beforeP = {};
        pValue = query.substr(2);
    } else {
        const std::size_t at = query.find("&P=");
        if (at == std::string_view::npos) return std::nullopt;
        beforeP = query.substr(0, at);
        pValue = query.substr(at + 3);
    }
    const auto c = queryValue(beforeP, "C");
    if (!c) return std::nullopt;
    Marker m;
    if (!readPoint(percentDecode(*c), m.centreLatitude, m.centreLongitude)) return std::nullopt;
    if (const auto r = queryValue(beforeP, "R")) {
        long metres = 0;
        const auto got = std::from_chars(r->data(), r->data() + r->size(), metres);
        if (got.ec == std::errc() && got.ptr == r->data() + r->size() && metres >= 1 &&
            metres <= 10000000)
            m.range = static_cast<double>(metres);
    }

    if (const auto z = queryValue(beforeP, "Z")) {
        const std::string cells = percentDecode(*z);
        std::size_t start = 0;
        while (start <= cells.size() && m.cells.size() < kMaxCellMarks) {
            std::size_t end = cells.find(';', start);
            if (end == std::string::npos) end = cells.size();
            std::string_view entry = std::string_view(cells).substr(start, end - start);
            CellMark cell;
            cell.serving = !entry.empty() && entry[0] == 'S';
            if (cell.serving) entry.remove_prefix(1);
            if (readPoint(entry, cell.latitude, cell.longitude)) m.cells.push_back(cell);
            start = end + 1;
        }
    }

    // "|lat,lon|1|label|L1|"
    const std::string p = percentDecode(pValue);
    if (p.size() < 2 || p[0] != '|') return std::nullopt;
    const std::size_t pointEnd = p.find('|', 1);
    if (pointEnd == std::string::npos) return std::nullopt;
    if (!readPoint(std::string_view(p).substr(1, pointEnd - 1), m.latitude, m.longitude))
        return std::nullopt;
    std::string_view rest = std::string_view(p).substr(pointEnd + 1);
    if (rest.substr(0, 2) != "1|") return std::nullopt;
    rest.remove_prefix(2);
    constexpr std::string_view kEnd = "|L1|";
    if (rest.size() >= kEnd.size() && rest.substr(rest.size() - kEnd.size()) == kEnd)
        rest.remove_suffix(kEnd.size());
    m.label = std::string(rest);
    return m;
}

Request parseRequest(std::string_view head) {
    Request r;
    const std::size_t lineEnd = head.find("\r\n");
    const std::string_view line = head.substr(0, lineEnd);
    const std::size_t sp1 = line.find(' ');
    const std::size_t sp2 = sp1 == std::string_view::npos ? sp1 : line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || line.find(' ', sp2 + 1) != std::string_view::npos) {
        r.status = 400;
        return r;
    }
    const std::string_view method = line.substr(0, sp1);
    const std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    const std::string_view version = line.substr(sp2 + 1);
    if (version != "HTTP/1.1" && version != "HTTP/1.0") {
        r.status = 400;
        return r;
    }
    if (method == "HEAD")
        r.headOnly = true;
    else if (method != "GET") {
        r.status = 405;
        return r;
    }
    const std::size_t q = target.find('?');
    const std::string_view path = target.substr(0, q);
    const std::string_view query =
        q == std::string_view::npos ? std::string_view{} : target.substr(q + 1);

    r.status = 200;
    if (path == "/map.aspx") {
        const auto marker = parseMapQuery(query);
        if (!marker) {
            r.status = 400;
            return r;
        }
        r.resource = Resource::Page;
        r.marker = *marker;
        r.contentType = "text/html; charset=utf-8";
    } else if (path == "/map.js") {
        r.resource = Resource::PageScript;
        r.contentType = "application/javascript";
    } else if (path == "/map.css") {
        r.resource = Resource::PageStyle;
        r.contentType = "text/css";
    } else if (path.substr(0, 9) == "/leaflet/") {
        const std::string_view name = path.substr(9);
        for (const auto& [file, type] : kLeafletFiles) {
            if (name == file) {
                r.resource = Resource::LeafletFile;
                r.leafletFile = std::string(file);
                r.contentType = std::string(type);
                return r;
            }
        }
        r.status = 404;
    } else {
        r.status = 404;
    }
    return r;
}

std::string pageHtml(const Marker& m) {
    std::string data =
        "{\"latitude\":" + number(m.latitude) + ",\"longitude\":" + number(m.longitude) +
        ",\"centreLatitude\":" + number(m.centreLatitude) +
        ",\"centreLongitude\":" + number(m.centreLongitude) + ",\"range\":" + number(m.range) +
        ",\"label\":" + jsonString(m.label) + ",\"cells\":[";
    for (std::size_t i = 0; i < m.cells.size(); ++i) {
        const CellMark& c = m.cells[i];
        data += std::string(i ? "," : "") + "{\"latitude\":" + number(c.latitude) +
                ",\"longitude\":" + number(c.longitude) +
                ",\"serving\":" + (c.serving ? "true" : "false") + "}";
    }
    data += "]}";
    return "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>Funkor</title>\n"
           "<link rel=\"stylesheet\" href=\"/leaflet/leaflet.css\">\n"
           "<link rel=\"stylesheet\" href=\"/map.css\">\n</head>\n<body>\n"
           "<div id=\"map\"></div>\n"
           "<script type=\"application/json\" id=\"position\">" +
           data +
           "</script>\n"
           "<script src=\"/leaflet/leaflet.js\"></script>\n"
           "<script src=\"/map.js\"></script>\n</body>\n</html>\n";
}

std::string_view pageScript() {
    return kScript;
}

std::string_view pageStyle() {
    return kStyle;
}

std::string response(int status, std::string_view contentType, std::string_view body,
                     bool headOnly) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " " + reason(status) + "\r\n";
    out += "Content-Type: ";
    out += contentType;
    out += "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n";
    out += "Connection: close\r\nX-Content-Type-Options: nosniff\r\n";
    if (contentType.substr(0, 9) == "text/html") {
        // Scripts and styles only from here, pictures from here and the
        // tile server, nothing sent anywhere.
        out +=
            "Cache-Control: no-store\r\n"
            "Content-Security-Policy: default-src 'none'; script-src 'self'; "
            "style-src 'self' 'unsafe-inline'; img-src 'self' data: "
            "https://tile.openstreetmap.org; base-uri 'none'; form-action 'none'; "
            "frame-ancestors 'none'\r\n";
    }
    out += "\r\n";
    if (!headOnly) out += body;
    return out;
}

std::string errorResponse(int status, bool headOnly) {
    return response(status, "text/plain; charset=utf-8",
                    std::to_string(status) + " " + reason(status) + "\n", headOnly);
}

}  // namespace funkor::mappage
