// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "core/cell_db_position.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/fields.h"
#include "core/map_page.h"
#include "core/position_texts.h"

namespace funkor {

namespace {

std::string dmsText(double value, const char* positive, const char* negative) {
    const Dms d = toDms(std::fabs(value));
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d\xB0 %d' %d\" %s", d.degrees, d.minutes, d.seconds,
                  value < 0 ? negative : positive);
    return buf;
}

}  // namespace

std::string rangeText(int metres, char decimalSeparator) {
    if (metres <= 0) return "Reichweite unbekannt";
    if (metres < 1000) return "Reichweite " + std::to_string(metres) + " m";
    // One decimal, halves away from zero, as the distance to the home zone.
    return "Reichweite " + distanceCaption(metres, decimalSeparator);
}

std::string unknownCellTrace(const CellDbKey& key) {
    char buf[128];
    std::snprintf(buf, sizeof buf,
                  "Zelle %s %03d-%02d LAC %lld CI %lld nicht in der Zellen-Datenbank",
                  key.radio.c_str(), key.mcc, key.net, static_cast<long long>(key.area),
                  static_cast<long long>(key.cell));
    return buf;
}

std::string dbMapLabel(std::string_view cellKey, std::string_view hhmm) {
    return "DB-" + fields::left(cellKey, 8) + " " + std::string(hhmm);
}

DbPositionResult computeDbPosition(const DbPositionInput& in) {
    DbPositionResult r;
    const double lat = in.cell.latitude;
    const double lon = in.cell.longitude;
    char hhmm[8];
    std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", in.localTime.hour % 100,
                  in.localTime.minute % 100);
    r.hhmm = hhmm;
    r.caption = r.hhmm + "  " + dmsText(lat, "N", "S") + "  " + dmsText(lon, "O", "W");
    r.toolTip = "Zellen-Datenbank, " + rangeText(in.cell.range, in.decimalSeparator) + "  " +
                formatDecimals(lat, 5, in.decimalSeparator) + "\xB0 " +
                formatDecimals(lon, 5, in.decimalSeparator) + "\xB0";
    r.sentences = buildEstimatedSentences(lat, lon, in.cell.range, in.localTime, in.utcOffset);
    // An unknown range draws the radius the sentences assume.
    const double radius = in.cell.range > 0 ? in.cell.range : kUnknownCellRange;
    r.mapAddress = mapAddress(in.mapBase, lat, lon, dbMapLabel(in.cellKey, r.hhmm), radius);
    return r;
}

EstimatedPositionResult computeEstimatedPosition(const EstimatedPositionInput& in) {
    const PositionEstimate& e = in.estimate;
    EstimatedPositionResult out;
    DbPositionResult& r = out.position;
    char hhmm[8];
    std::snprintf(hhmm, sizeof hhmm, "%02d:%02d", in.localTime.hour % 100,
                  in.localTime.minute % 100);
    r.hhmm = hhmm;
    r.caption =
        r.hhmm + "  " + dmsText(e.latitude, "N", "S") + "  " + dmsText(e.longitude, "O", "W");
    r.toolTip = estimateToolTip(e, in.decimalSeparator) + "  " +
                formatDecimals(e.latitude, 5, in.decimalSeparator) + "\xB0 " +
                formatDecimals(e.longitude, 5, in.decimalSeparator) + "\xB0";
    const EstimateSentences s = estimateSentences(e, in.localTime, in.utcOffset);
    r.sentences = s.pair;
    out.gst = s.gst;
    r.mapAddress = mapAddress(in.mapBase, e.latitude, e.longitude, dbMapLabel(in.cellKey, r.hhmm),
                              std::max(e.r68, 1.0));
    // The map draws the cells the estimate used, at their rows.
    std::string cells;
    for (std::size_t i = 0; i < e.cells.size() && i < mappage::kMaxCellMarks; ++i) {
        const UsedCell& c = e.cells[i];
        if (i > 0) cells += ';';
        if (c.serving) cells += 'S';
        char point[64];
        std::snprintf(point, sizeof point, "%.6f,%.6f", c.row.latitude, c.row.longitude);
        cells += point;
    }
    const std::size_t p = r.mapAddress.find("&P=|");
    if (!cells.empty() && p != std::string::npos) r.mapAddress.insert(p, "&Z=" + cells);
    return out;
}

}  // namespace funkor
