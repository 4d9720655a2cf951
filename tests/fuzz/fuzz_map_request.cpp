// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The map server's request reader, fed what a port scanner or a browser
// sends. Only the page, its script and style and Leaflet's own files are
// ever served; the page built from a request's label keeps the label inside
// its data (it never ends the script element); every answer announces its
// true length. And a map address the program opens itself, as the browser
// sends it, shows the marker where the address put it.

#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/charset.h"
#include "core/map_page.h"
#include "core/position_texts.h"
#include "fuzz_input.h"

using namespace funkor;
using funkor::fuzz::require;
namespace mp = funkor::mappage;

namespace {

std::size_t count(std::string_view text, std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + 1))
        ++n;
    return n;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads the label back out of the page's JSON string as UTF-16 units:
// every character other than a few plain ones is a \uXXXX escape.
std::u16string jsonLabel(std::string_view page) {
    constexpr std::string_view kStart = "\"label\":\"";
    std::size_t i = page.find(kStart);
    require(i != std::string_view::npos, "page carries the label");
    i += kStart.size();
    std::u16string out;
    while (i < page.size() && page[i] != '"') {
        if (page[i] != '\\') {
            out += static_cast<char16_t>(static_cast<unsigned char>(page[i++]));
            continue;
        }
        require(page.substr(i, 2) == "\\u" && i + 6 <= page.size(), "escape \\uXXXX");
        unsigned unit = 0;
        for (std::size_t k = 2; k < 6; ++k) {
            const int d = hexDigit(page[i + k]);
            require(d >= 0, "escape of four hex digits");
            unit = unit * 16 + static_cast<unsigned>(d);
        }
        i += 6;
        out += static_cast<char16_t>(unit);
    }
    require(i < page.size(), "label string closed");
    return out;
}

void checkPage(const mp::Marker& m) {
    const std::string page = mp::pageHtml(m);
    require(count(page, "<script") == 3 && count(page, "</script") == 3, "label stays data");
    require(count(page, "<") == count(mp::pageHtml(mp::Marker{}), "<"), "no markup from label");
    std::u16string expected;
    for (char32_t cp : charset::decodeUtf8(m.label)) {
        if (cp > 0x10FFFF) cp = 0xFFFD;
        if (cp > 0xFFFF) {
            expected += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            expected += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            expected += static_cast<char16_t>(cp);
        }
    }
    require(jsonLabel(page) == expected, "label shown as given");
}

void checkResponse(const mp::Request& r, std::string_view body) {
    const std::string answer = r.status == 200 ? mp::response(200, r.contentType, body, r.headOnly)
                                               : mp::errorResponse(r.status, r.headOnly);
    const std::size_t headEnd = answer.find("\r\n\r\n");
    require(headEnd != std::string::npos, "answer head ends in an empty line");
    const std::string_view head = std::string_view(answer).substr(0, headEnd + 2);
    const std::size_t at = head.find("\r\nContent-Length: ");
    require(at != std::string_view::npos, "answer announces its length");
    const std::size_t length = std::stoul(std::string(head.substr(at + 18)));
    const std::size_t sent = answer.size() - headEnd - 4;
    require(r.headOnly ? sent == 0 : sent == length, "answer as long as announced");
    require(r.status != 200 || length == body.size(), "length of the body served");
}

// What a browser makes of an address: bytes outside the characters a URL
// carries as they are go percent-escaped.
// 8-bit text as UTF-8, as the window hands a label to the browser.
std::string utf8Of(std::string_view cp1252) {
    std::string out;
    for (char c : cp1252)
        charset::appendUtf8(out, charset::fromCp1252(static_cast<unsigned char>(c)));
    return out;
}

std::string browserEscaped(std::string_view address) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (char ch : address) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') ||
                           std::string_view("-._~/?&=|,:+!*'()$;@").find(ch) != std::string::npos;
        if (plain && c != 0) {
            out += ch;
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

unsigned byteAt(std::string_view s, std::size_t k) {
    return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text = fuzz::asText(data, size);
    const std::uint8_t steer = fuzz::takeByte(text);

    // The input as a request head from anyone.
    const mp::Request r = mp::parseRequest(text);
    require(r.status == 200 || r.status == 400 || r.status == 404 || r.status == 405,
            "known status");
    require((r.status == 200) == (r.resource != mp::Resource::None), "served exactly a resource");
    require(r.status != 200 || !r.contentType.empty(), "served with a type");
    if (r.resource == mp::Resource::LeafletFile) {
        require(r.leafletFile.find("..") == std::string::npos && r.leafletFile[0] != '/',
                "a file inside Leaflet's folder");
        require(r.leafletFile == "leaflet.js" || r.leafletFile == "leaflet.css" ||
                    r.leafletFile.compare(0, 7, "images/") == 0,
                "one of Leaflet's files");
    }
    if (r.resource == mp::Resource::Page) {
        const mp::Marker& m = r.marker;
        require(std::fabs(m.latitude) <= 90 && std::fabs(m.longitude) <= 180 &&
                    std::fabs(m.centreLatitude) <= 90 && std::fabs(m.centreLongitude) <= 180,
                "marker on the globe");
        checkPage(m);
        checkResponse(r, mp::pageHtml(m));
    } else if (r.resource == mp::Resource::PageScript) {
        checkResponse(r, mp::pageScript());
    } else {
        checkResponse(r, "");
    }

    // The input as the label of an address the program opens: 8-bit text,
    // handed to the browser as UTF-8.
    const double lat = (byteAt(text, 0) * 256 + byteAt(text, 1)) / 65535.0 * 180 - 90;
    const double lon = (byteAt(text, 2) * 256 + byteAt(text, 3)) / 65535.0 * 360 - 180;
    const std::string_view label = text.substr(0, 200);
    const std::string address = mapAddress(mp::defaultBase(8787 + steer), lat, lon, utf8Of(label));
    const std::string target = browserEscaped(address.substr(address.find("/map.aspx")));
    const mp::Request own =
        mp::parseRequest((steer & 1 ? "HEAD " : "GET ") + target +
                         " HTTP/1.1\r\nHost: 127.0.0.1\r\nUser-Agent: fuzz\r\n\r\n");
    require(own.status == 200 && own.resource == mp::Resource::Page, "own address served");
    require(own.headOnly == (steer & 1), "HEAD answered without body");
    require(std::fabs(own.marker.latitude - lat) < 1e-9 &&
                std::fabs(own.marker.longitude - lon) < 1e-9 &&
                own.marker.centreLatitude == own.marker.latitude &&
                own.marker.centreLongitude == own.marker.longitude,
            "marker where the address puts it");
    require(own.marker.label == utf8Of(label), "label as the address gives it");
    checkPage(own.marker);
    return 0;
}
