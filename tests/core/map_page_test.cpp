// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/map_page.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/position_texts.h"

using namespace funkor::mappage;

TEST(MapPage, ReadsTheMapAddressLayout) {
    struct Case {
        const char* legend;
        std::string query;
        bool ok;
        double lat, lon;
        const char* label;
    };
    const std::vector<Case> cases = {
        {"cell position as the engine writes it",
         "L=EUR&C=52.5037951085233,13.4522282368411&A=2&P=|52.5037951085233,13.4522282368411|1|"
         "o2-52C35335 14:05|L1|",
         true, 52.5037951085233, 13.4522282368411, "o2-52C35335 14:05"},
        {"as a browser sends it, percent-escaped",
         "L=EUR&C=48.1234,11.575&A=2&P=%7C48.1234,11.575%7C1%7CLog%7CL1%7C", true, 48.1234, 11.575,
         "Log"},
        {"blank escaped, plus kept", "C=1,2&P=|1,2|1|+49171%2012:00|L1|", true, 1, 2,
         "+49171 12:00"},
        {"label with & and |", "C=1,2&P=|1,2|1|A&B|C|L1|", true, 1, 2, "A&B|C"},
        {"UTF-8 label", "C=1,2&P=|1,2|1|M%C3%BCnchen|L1|", true, 1, 2, "M\xC3\xBCnchen"},
        {"negative numbers", "C=-33.9,-70.5&P=|-33.9,-70.5|1|x|L1|", true, -33.9, -70.5, "x"},
        {"no P", "L=EUR&C=1,2&A=2", false, 0, 0, ""},
        {"no C", "L=EUR&P=|1,2|1|x|L1|", false, 0, 0, ""},
        {"latitude out of range", "C=91,2&P=|91,2|1|x|L1|", false, 0, 0, ""},
        {"exponent is no plain number", "C=1e1,2&P=|1e1,2|1|x|L1|", false, 0, 0, ""},
        {"script in a coordinate", "C=1,2&P=|1,alert(1)|1|x|L1|", false, 0, 0, ""},
        {"marker without its 1", "C=1,2&P=|1,2|x|L1|", false, 0, 0, ""},
    };
    for (const auto& c : cases) {
        const auto m = parseMapQuery(c.query);
        ASSERT_EQ(m.has_value(), c.ok) << c.legend;
        if (!m) continue;
        EXPECT_DOUBLE_EQ(m->latitude, c.lat) << c.legend;
        EXPECT_DOUBLE_EQ(m->longitude, c.lon) << c.legend;
        EXPECT_EQ(m->label, c.label) << c.legend;
    }
    // Whatever MapAddress writes, the page reads back.
    const std::string address = funkor::mapAddress("http://127.0.0.1:8787", 48.1234, 11.575, "Log");
    const auto m = parseMapQuery(address.substr(address.find('?') + 1));
    ASSERT_TRUE(m);
    EXPECT_DOUBLE_EQ(m->centreLatitude, 48.1234);
    EXPECT_DOUBLE_EQ(m->centreLongitude, 11.575);
}

TEST(MapPage, ServesOnlyItsOwnFiles) {
    struct Case {
        const char* legend;
        std::string head;
        int status;
        Resource resource;
        const char* file;
    };
    const std::vector<Case> cases = {
        {"the page", "GET /map.aspx?C=1,2&P=|1,2|1|x|L1| HTTP/1.1\r\nHost: a\r\n\r\n", 200,
         Resource::Page, ""},
        {"its script", "GET /map.js HTTP/1.1\r\n\r\n", 200, Resource::PageScript, ""},
        {"Leaflet", "GET /leaflet/leaflet.js HTTP/1.0\r\n\r\n", 200, Resource::LeafletFile,
         "leaflet.js"},
        {"Leaflet's marker", "HEAD /leaflet/images/marker-icon.png HTTP/1.1\r\n\r\n", 200,
         Resource::LeafletFile, "images/marker-icon.png"},
        {"path outside Leaflet's files", "GET /leaflet/../../../etc/passwd HTTP/1.1\r\n\r\n", 404,
         Resource::None, ""},
        {"other Leaflet file", "GET /leaflet/leaflet-src.js HTTP/1.1\r\n\r\n", 404, Resource::None,
         ""},
        {"other path", "GET / HTTP/1.1\r\n\r\n", 404, Resource::None, ""},
        {"POST", "POST /map.js HTTP/1.1\r\n\r\n", 405, Resource::None, ""},
        {"page without a position", "GET /map.aspx?L=EUR HTTP/1.1\r\n\r\n", 400, Resource::None,
         ""},
        {"no version", "GET /map.js\r\n\r\n", 400, Resource::None, ""},
        {"garbage", "\x16\x03\x01\x02\x00\r\n\r\n", 400, Resource::None, ""},
    };
    for (const auto& c : cases) {
        const Request r = parseRequest(c.head);
        EXPECT_EQ(r.status, c.status) << c.legend;
        if (r.status == 200) {
            EXPECT_EQ(r.resource, c.resource) << c.legend;
            EXPECT_EQ(r.leafletFile, c.file) << c.legend;
        }
    }
}

TEST(MapPage, LabelCannotLeaveItsString) {
    Marker m;
    m.latitude = m.centreLatitude = 52.5;
    m.longitude = m.centreLongitude = 13.25;
    m.label = "</script><script>alert(\"x\")</script>";
    const std::string page = pageHtml(m);
    // One closing script tag per script element, none from the label.
    std::size_t closings = 0;
    for (std::size_t at = page.find("</script>"); at != std::string::npos;
         at = page.find("</script>", at + 1))
        ++closings;
    EXPECT_EQ(closings, 3u);
    EXPECT_NE(page.find("\"latitude\":52.5,\"longitude\":13.25"), std::string::npos);
    EXPECT_NE(page.find("\\u003C\\u002Fscript\\u003E"), std::string::npos);

    const std::string answer = response(200, "text/html; charset=utf-8", page, false);
    EXPECT_EQ(answer.rfind("HTTP/1.1 200 OK\r\n", 0), 0u);
    EXPECT_NE(answer.find("Content-Length: " + std::to_string(page.size()) + "\r\n"),
              std::string::npos);
    EXPECT_NE(answer.find("Content-Security-Policy: default-src 'none'; script-src 'self'"),
              std::string::npos);
    const std::string head = response(200, "text/css", "body{}", true);
    EXPECT_EQ(head.substr(head.size() - 4), "\r\n\r\n");
    EXPECT_EQ(errorResponse(404).rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
}
