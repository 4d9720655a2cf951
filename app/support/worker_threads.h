// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Qt's worker threads (the painting pool's and the speech engine's loading
// thread) are detached system threads: waiting on their QThread returns
// before the system thread has run its exit handlers, which free the
// thread's last Qt data. A process that ends in that moment leaves them
// half-way, and the sanitizer build's leak check reports that data as lost.
//
// Kept alive from before the window until after it: when it goes, it stops
// the pool's threads and waits, at most two seconds, until no such thread
// is left in the process.
class WorkerThreadsEndedAtExit {
  public:
    WorkerThreadsEndedAtExit() = default;
    WorkerThreadsEndedAtExit(const WorkerThreadsEndedAtExit&) = delete;
    WorkerThreadsEndedAtExit& operator=(const WorkerThreadsEndedAtExit&) = delete;
    ~WorkerThreadsEndedAtExit();
};

// The name the speech engine's loading thread runs under (at most 15
// characters, as the system keeps them).
inline constexpr char kSpeechLoaderThreadName[] = "speech-loader";
