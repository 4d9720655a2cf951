// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The map page Funkor serves itself on the local machine: it reads the map
// address layout
//   /map.aspx?L=EUR&C=<lat>,<lon>&A=2&P=|<lat>,<lon>|1|<label>|L1|
// and shows the marker with its label on OpenStreetMap tiles with Leaflet.
// Here: reading a request, the page and its script, and the answers; the
// window's server only moves the bytes.
namespace funkor::mappage {

inline constexpr int kDefaultPort = 8787;
// Bytes of a request head read at most; a longer head is refused.
inline constexpr std::size_t kMaxRequestHead = 4096;
// Where Debian's libjs-leaflet puts Leaflet.
inline constexpr std::string_view kLeafletFolder = "/usr/share/javascript/leaflet";

// "http://127.0.0.1:<port>", the map service's base address by default.
std::string defaultBase(int port);

// A cell drawn beside the marker: a database row an estimate rests on.
struct CellMark {
    double latitude = 0;
    double longitude = 0;
    bool serving = false;
};
// At most this many cells are read from an address; more are passed over.
inline constexpr std::size_t kMaxCellMarks = 16;

struct Marker {
    double latitude = 0;  // the marker
    double longitude = 0;
    double centreLatitude = 0;  // the centre of the view
    double centreLongitude = 0;
    std::string label;  // UTF-8
    double range = 0;   // metres around the marker the position is good to; 0: none
    std::vector<CellMark> cells;
};
// The marker of a map address's query (the text after "?", percent-escapes
// allowed). P is the last parameter, so its label may hold any character;
// a "+" stays a "+". Nothing when C or P is missing, a coordinate is not a
// plain decimal number or lies outside -90..90 / -180..180. An "R" of whole
// metres (1..10,000,000) before P draws that radius around the marker; any
// other R is passed over. A "Z" before P names the cells an estimate used,
// "Slat,lon;lat,lon;..." (the serving cell marked with "S"); entries that
// are no point are passed over, and those beyond kMaxCellMarks.
std::optional<Marker> parseMapQuery(std::string_view query);

enum class Resource {
    None,
    Page,         // /map.aspx
    PageScript,   // /map.js
    PageStyle,    // /map.css
    LeafletFile,  // /leaflet/<file>: one of Leaflet's own files
};
struct Request {
    int status = 400;  // 200 when the resource is served
    bool headOnly = false;
    Resource resource = Resource::None;
    std::string leafletFile;  // "leaflet.js", "images/marker-icon.png" ...
    std::string contentType;
    Marker marker;
};
// Reads a request head (the request line and the header lines up to the
// empty line). Only GET and HEAD of the page, its script and style and
// Leaflet's files are served: 405 for other methods, 404 for other paths,
// 400 for a request or a map address that cannot be read.
Request parseRequest(std::string_view head);

// The page for a marker.
std::string pageHtml(const Marker& marker);
std::string_view pageScript();
std::string_view pageStyle();

// A whole answer: status line, headers (length, type, no caching of the
// page, the page's content security policy) and the body unless
// `headOnly`. The connection closes after every answer.
std::string response(int status, std::string_view contentType, std::string_view body,
                     bool headOnly);
// An answer with a short plain-text body for an error status.
std::string errorResponse(int status, bool headOnly = false);

}  // namespace funkor::mappage
