// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The geosubmit upload: the reports no server took yet, in gzip-compressed
// batches over HTTP or HTTPS.
//
// What the server answers decides what becomes of a batch:
//   2xx           taken: its rows are marked and never sent again
//   400, 413      refused as a whole: split in halves and each sent again,
//                 down to single reports, so that one report the server
//                 does not like keeps none of the others back; a single
//                 refused report stays in the file, unmarked
//   429, 5xx, no answer (refused or dropped connection, timeout)
//                 sent again after a wait that doubles each time; after
//                 the last try the upload stops and the rest stays
//   other         the upload stops (a wrong address or a missing key)

#include <QByteArray>
#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <deque>
#include <iostream>

#include "core/measurement_export.h"
#include "core/measurements.h"
#include "core/version.h"
#include "tools/funkor-tool/measurements_cmd.h"

using namespace funkor;

namespace {

// Rows read per step: the reports of a large file are never all in memory.
constexpr std::size_t kRowsPerPage = 20000;

struct Reply {
    int status = 0;  // HTTP status; 0 when no answer came
    std::string error;
};

Reply post(QNetworkAccessManager& net, const QUrl& url, const std::string& gzipBody,
           int timeoutMs) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
    request.setRawHeader("Content-Encoding", "gzip");
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArray("funkor-tool/") + QByteArray(funkor::programVersion()));
    request.setTransferTimeout(timeoutMs);
    QNetworkReply* reply =
        net.post(request, QByteArray(gzipBody.data(), static_cast<qsizetype>(gzipBody.size())));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    Reply r;
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (status.isValid()) r.status = status.toInt();
    if (r.status == 0) r.error = reply->errorString().toStdString();
    reply->deleteLater();
    return r;
}

bool worthRetrying(int status) {
    return status == 0 || status == 429 || (status >= 500 && status <= 599);
}

// The pending rows from `afterId` on, cut before the last fix of a full
// page so that a report is never split between two pages.
std::vector<MeasurementRow> nextPage(MeasurementStore& store, std::int64_t sinceMs,
                                     std::int64_t afterId, bool& last) {
    MeasurementQuery q;
    q.sinceMs = sinceMs;
    q.notUploadedOnly = true;
    q.afterId = afterId;
    q.limit = kRowsPerPage;
    std::vector<MeasurementRow> rows = store.rows(q);
    last = rows.size() < kRowsPerPage;
    if (!last) {
        const std::int64_t lastTime = rows.back().fix.timeMs;
        std::size_t keep = rows.size();
        while (keep > 0 && rows[keep - 1].fix.timeMs == lastTime) --keep;
        if (keep > 0) rows.resize(keep);
    }
    return rows;
}

}  // namespace

int uploadGeosubmit(MeasurementStore& store, const GeosubmitUploadOptions& o) {
    int argc = 1;
    char name[] = "funkor-tool";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QNetworkAccessManager net;
    const QUrl url(QString::fromStdString(o.url));
    if (!url.isValid() || (url.scheme() != "http" && url.scheme() != "https")) {
        std::cerr << "funkor-tool: --geosubmit needs an http:// or https:// address\n";
        return 2;
    }

    std::int64_t sent = 0, rowsMarked = 0, refused = 0, retries = 0;
    std::string stopped;
    std::int64_t afterId = 0;
    bool lastPage = false;
    while (!lastPage && stopped.empty()) {
        const auto rows = nextPage(store, o.sinceMs, afterId, lastPage);
        if (rows.empty()) break;
        afterId = rows.back().id;
        const std::vector<GeosubmitItem> items = geosubmitItems(rows);
        // Batches still to send, as ranges of `items`.
        std::deque<std::pair<std::size_t, std::size_t>> todo;
        for (std::size_t at = 0; at < items.size(); at += o.batch)
            todo.emplace_back(at, std::min(items.size(), at + o.batch));
        while (!todo.empty() && stopped.empty()) {
            const auto [from, to] = todo.front();
            todo.pop_front();
            const std::vector<GeosubmitItem> batch(items.begin() + static_cast<long>(from),
                                                   items.begin() + static_cast<long>(to));
            const std::string body = gzipCompress(geosubmitJson(batch));
            Reply r;
            for (int attempt = 1; attempt <= o.tries; ++attempt) {
                r = post(net, url, body, o.timeoutMs);
                if (!worthRetrying(r.status) || attempt == o.tries) break;
                ++retries;
                const long long wait = static_cast<long long>(o.backoffMs) << (attempt - 1);
                QThread::msleep(static_cast<unsigned long>(std::min(wait, 600000LL)));
            }
            if (r.status >= 200 && r.status <= 299) {
                std::vector<std::int64_t> ids;
                for (const auto& item : batch)
                    ids.insert(ids.end(), item.ids.begin(), item.ids.end());
                if (!store.markUploaded(ids)) {
                    // The server has them; sending them again would count
                    // them twice, so stop rather than go on.
                    stopped = "the server took " + std::to_string(batch.size()) +
                              " reports, but they could not be marked in " + store.path();
                    break;
                }
                sent += static_cast<std::int64_t>(batch.size());
                rowsMarked += static_cast<std::int64_t>(ids.size());
            } else if (r.status == 400 || r.status == 413) {
                if (to - from > 1) {
                    const std::size_t mid = from + (to - from) / 2;
                    todo.emplace_front(mid, to);
                    todo.emplace_front(from, mid);
                } else {
                    ++refused;
                    std::cerr << "funkor-tool: the server refused the report of "
                              << isoUtc(batch.front().fix.timeMs) << " (HTTP " << r.status
                              << "); it stays in the file\n";
                }
            } else if (worthRetrying(r.status)) {
                stopped = r.status == 0 ? "no answer from the server: " + r.error
                                        : "the server answered HTTP " + std::to_string(r.status) +
                                              " " + std::to_string(o.tries) + " times";
            } else {
                stopped = "the server answered HTTP " + std::to_string(r.status);
            }
        }
    }
    std::cout << "sent=" << sent << "\nrows=" << rowsMarked << "\nrefused=" << refused
              << "\nretries=" << retries << "\n";
    if (!stopped.empty()) {
        std::cerr << "funkor-tool: upload stopped: " << stopped
                  << "; what was not sent stays for the next upload\n";
        return 1;
    }
    return refused > 0 ? 1 : 0;
}
