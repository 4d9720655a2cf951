// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/output_sinks.h"

#include <QCoreApplication>
#include <chrono>

#include <fcntl.h>
#include <unistd.h>

#include "app/base/serial_port_component.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/output/indicator.h"

namespace {

std::string tickBytes(const funkor::OutputPair& pair) {
    return pair.identification + pair.first + pair.second;
}

}  // namespace

void SerialSink::Write(const funkor::OutputTarget& target, const funkor::OutputPair& pair) {
    // The port opens again only once the last tick's bytes are out and it is
    // closed; a tick meanwhile follows from the event loop.
    Comm2_->whenClosed([this, target, pair] { writeNow(target, pair); });
}

void SerialSink::replay(int portNumber, const QByteArray& bytes) {
    SerialPortComponent* port = Comm2_;
    port->whenClosed([port, portNumber, bytes] {
        port->setCommPort(portNumber);
        if (!port->PortOpen()) port->setPortOpen(true);
        port->Output(bytes);
        port->closeWhenSent();
    });
}

void SerialSink::writeNow(const funkor::OutputTarget& target, const funkor::OutputPair& pair) {
    SerialPortComponent* port = Comm2_;
    paintIndicator(TCPstat_, funkor::serialOutputIndicator(output_.sourceRotation));
    QCoreApplication::processEvents();
    port->setCommPort(target.port);
    // A port that cannot be opened refuses the output below; the tick goes on.
    if (!port->PortOpen()) port->setPortOpen(true);
    if (!pair.identification.empty()) {
        port->Output(bytesOf(pair.identification));
        QCoreApplication::processEvents();
    }
    port->Output(bytesOf(pair.first));
    port->Output(bytesOf(pair.second));
    port->closeWhenSent();
    paintIndicator(TCPstat_, funkor::Indicator::Idle);
    QCoreApplication::processEvents();
}

HardwarePortSink::HardwarePortSink(std::function<std::string()> devicePath)
    : devicePath_(std::move(devicePath)), worker_([this] { run(); }) {}

HardwarePortSink::~HardwarePortSink() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    worker_.join();
}

void HardwarePortSink::Write(const funkor::OutputTarget& target, const funkor::OutputPair& pair) {
    Job job{devicePath_(), target.address, tickBytes(pair)};
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queued_ + job.bytes.size() > kMaxBacklog) return;
        queued_ += job.bytes.size();
        jobs_.push_back(std::move(job));
    }
    wake_.notify_one();
}

bool HardwarePortSink::waitIdle(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(ms),
                          [this] { return jobs_.empty() && !busy_; });
}

void HardwarePortSink::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
        if (stop_) return;
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();

        // Never create the device: a path that does not exist is passed over.
        const int fd = ::open(job.device.c_str(), O_WRONLY | O_CLOEXEC);
        for (const char byte : job.bytes) {
            if (fd >= 0 && ::pwrite(fd, &byte, 1, static_cast<off_t>(job.address)) == 1) ++written_;
            std::this_thread::sleep_for(std::chrono::milliseconds(kBytePauseMs));
            {
                std::lock_guard<std::mutex> check(mutex_);
                if (stop_) break;
            }
        }
        if (fd >= 0) ::close(fd);

        lock.lock();
        queued_ -= job.bytes.size();
        busy_ = false;
        if (jobs_.empty()) idle_.notify_all();
    }
}

void PrinterSink::Write(const funkor::OutputTarget&, const funkor::OutputPair& pair) {
    const std::string path = devicePath_();
    int flags = O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC;
    if (path.rfind("/dev/", 0) != 0) flags |= O_CREAT;
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return;
    // Each sentence already ends in CR LF; nothing is added.
    for (const std::string* s : {&pair.identification, &pair.first, &pair.second}) {
        if (s->empty()) continue;
        if (::write(fd, s->data(), s->size()) < 0) break;
    }
    ::close(fd);
}
