// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/position_accuracy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/nmea.h"

namespace funkor {

double accuracyRadius(PositionSource source, const AccuracyInput& in) {
    switch (source) {
        case PositionSource::Gsm:
            if (in.gsmRangeMetres)
                return *in.gsmRangeMetres > 0 ? *in.gsmRangeMetres : kUnknownCellRange;
            return in.taDistance > 0 ? in.taDistance + kTimingAdvanceHalfStep : kSiteAccuracyMetres;
        case PositionSource::Sms:
            return kSiteAccuracyMetres;
        case PositionSource::Gps:
        case PositionSource::None:
            break;
    }
    return 0;
}

std::string accuracyHdop(double radiusMetres) {
    // The GPS receiver's radius 0 never becomes an HDOP of ours.
    return radiusMetres > 0 ? estimatedHdop(radiusMetres) : std::string("1.0");
}

std::string_view accuracyLevel(double radiusMetres) {
    if (radiusMetres <= 0) return "exact";
    return radiusMetres <= kStreetLevelMetres ? "street" : "neighborhood";
}

std::string_view announcedAccuracy(const SourceBoxes& boxes, const AccuracyInput& in) {
    double worst = -1;
    if (boxes.gps) worst = std::max(worst, accuracyRadius(PositionSource::Gps, in));
    if (boxes.gsm) worst = std::max(worst, accuracyRadius(PositionSource::Gsm, in));
    if (boxes.sms) worst = std::max(worst, accuracyRadius(PositionSource::Sms, in));
    return worst < 0 ? std::string_view("neighborhood") : accuracyLevel(worst);
}

namespace {

// Where the HDOP field of a GGA body starts (it is the eighth field after
// the sentence name); npos for a sentence that is no whole GGA.
std::size_t hdopField(std::string_view sentence, std::string_view* body) {
    if (sentence.size() < 7 || sentence[0] != '$' || sentence.substr(3, 4) != "GGA,")
        return std::string_view::npos;
    const std::size_t star = sentence.rfind('*');
    if (star == std::string_view::npos) return std::string_view::npos;
    *body = sentence.substr(1, star - 1);
    std::size_t comma = 0;
    for (int i = 0; i < 8; ++i) {
        comma = body->find(',', comma);
        if (comma == std::string_view::npos) return comma;
        ++comma;
    }
    return comma < body->size() ? comma : std::string_view::npos;
}

}  // namespace

std::optional<double> ggaHdop(std::string_view sentence) {
    std::string_view body;
    const std::size_t at = hdopField(sentence, &body);
    if (at == std::string_view::npos || body[at] == ',') return std::nullopt;
    const std::string field(body.substr(at, body.find(',', at) - at));
    char* end = nullptr;
    const double hdop = std::strtod(field.c_str(), &end);
    if (end == field.c_str() || !std::isfinite(hdop) || hdop <= 0) return std::nullopt;
    return hdop;
}

std::string withHdop(std::string_view sentence, std::string_view hdop) {
    std::string_view body;
    const std::size_t at = hdopField(sentence, &body);
    if (at == std::string_view::npos || body[at] != ',') return std::string(sentence);
    std::string out(body);
    out.insert(at, hdop);
    return nmeaSentence(out);
}

OutputPair withHonestAccuracy(OutputPair pair, const AccuracyInput& in) {
    if (pair.source == PositionSource::Gsm || pair.source == PositionSource::Sms)
        pair.second = withHdop(pair.second, accuracyHdop(accuracyRadius(pair.source, in)));
    return pair;
}

}  // namespace funkor
