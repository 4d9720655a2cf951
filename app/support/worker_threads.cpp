// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/support/worker_threads.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QThreadPool>
#include <chrono>
#include <initializer_list>

namespace {

// Qt names a pool's threads after their object name.
constexpr char kPooledThreadName[] = "Thread (pooled)";

// How many threads of this process run under one of these names.
int threadsNamed(std::initializer_list<const char*> names) {
    int found = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task) + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly)) continue;  // ended meanwhile
        const QByteArray name = comm.readAll().trimmed();
        for (const char* wanted : names)
            if (name == wanted) ++found;
    }
    return found;
}

}  // namespace

WorkerThreadsEndedAtExit::~WorkerThreadsEndedAtExit() {
    QThreadPool::globalInstance()->waitForDone();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (threadsNamed({kPooledThreadName, kSpeechLoaderThreadName}) > 0 &&
           std::chrono::steady_clock::now() < deadline)
        QThread::msleep(2);
}
