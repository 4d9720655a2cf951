// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <coroutine>
#include <exception>
#include <functional>

// Waits that keep the window responsive while keeping the order of effects
// readable from top to bottom. A handler that must pause (a command written,
// 200 ms, the next block written) is written as a coroutine returning
// `Async`, and pauses with `co_await waitMs(owner, 200)`. The event loop runs
// meanwhile; the rest of the handler resumes from a timer on the GUI thread.
//
// When `owner` is destroyed while a handler waits, the suspended handler is
// destroyed with it and never resumes.

// Fire-and-forget coroutine type: starts at once, runs to its first wait,
// and frees itself when it finishes.
struct Async {
    struct promise_type {
        Async get_return_object() noexcept { return {}; }
        std::suspend_never initial_suspend() noexcept { return {}; }
        std::suspend_never final_suspend() noexcept { return {}; }
        void return_void() noexcept {}
        void unhandled_exception() noexcept { std::terminate(); }
    };
};

namespace asyncwait_detail {

// Owns one suspended handler until its timer fires. Parented to the owner,
// so the owner's destruction takes the suspended frame with it.
class Resumer : public QObject {
  public:
    Resumer(QObject* owner, int ms, std::coroutine_handle<> handle)
        : QObject(owner), handle_(handle) {
        timer_.setSingleShot(true);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            auto h = handle_;
            handle_ = nullptr;
            deleteLater();
            h.resume();
        });
        timer_.start(ms < 0 ? 0 : ms);
    }
    ~Resumer() override {
        if (handle_) handle_.destroy();
    }

  private:
    QTimer timer_;
    std::coroutine_handle<> handle_;
};

}  // namespace asyncwait_detail

struct WaitAwaitable {
    QObject* owner;
    int ms;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> h) const {
        new asyncwait_detail::Resumer(owner, ms, h);
    }
    void await_resume() const noexcept {}
};

// Pause the calling coroutine for `ms` milliseconds while events run.
inline WaitAwaitable waitMs(QObject* owner, int ms) {
    return {owner, ms};
}
