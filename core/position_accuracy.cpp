#include "core/position_accuracy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/nmea.h"

namespace funkor {

double accuracyRadius(PositionSource source, const AccuracyInput& in) {
    switch (source) {
        case PositionSource::Gsm:
            if (in.gsmRangeMetres && *in.gsmRangeMetres > 0) return *in.gsmRangeMetres;
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
    const double hdop = std::max(1.0, std::round(radiusMetres / kMetresPerHdop * 10) / 10);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", hdop);
    return buf;
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

std::string withHdop(std::string_view sentence, std::string_view hdop) {
    const std::string unchanged(sentence);
    if (sentence.size() < 7 || sentence[0] != '$' || sentence.substr(3, 4) != "GGA,")
        return unchanged;
    const std::size_t star = sentence.rfind('*');
    if (star == std::string_view::npos) return unchanged;
    std::string body(sentence.substr(1, star - 1));
    // The HDOP is the eighth field after the sentence name.
    std::size_t comma = 0;
    for (int i = 0; i < 8; ++i) {
        comma = body.find(',', comma);
        if (comma == std::string::npos) return unchanged;
        ++comma;
    }
    if (comma >= body.size() || body[comma] != ',') return unchanged;
    body.insert(comma, hdop);
    return nmeaSentence(body);
}

OutputPair withHonestAccuracy(OutputPair pair, const AccuracyInput& in) {
    if (pair.source == PositionSource::Gsm || pair.source == PositionSource::Sms)
        pair.second = withHdop(pair.second, accuracyHdop(accuracyRadius(pair.source, in)));
    return pair;
}

}  // namespace funkor
