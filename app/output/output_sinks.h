// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "app/output/nmea_sink.h"

class SerialPortComponent;
class ShapeElement;
struct OutputState;

// "COM n": the serial port Comm2 at 4800 baud, opened and closed on every
// tick so that another program may use it in between; it closes once the
// sentences have left it. TCPstat shows orange or yellow while it writes.
class SerialSink : public NmeaSink {
  public:
    // `output` gives the rotation, whose colour TCPstat shows while writing.
    SerialSink(SerialPortComponent* Comm2, ShapeElement* TCPstat, const OutputState& output)
        : Comm2_(Comm2), TCPstat_(TCPstat), output_(output) {}
    void Write(const funkor::OutputTarget& target, const funkor::OutputPair& pair) override;
    // Writes `bytes` to the serial port `port` once the last tick's bytes
    // are out, without the indicator.
    void replay(int port, const QByteArray& bytes);

  private:
    void writeNow(const funkor::OutputTarget& target, const funkor::OutputPair& pair);
    SerialPortComponent* Comm2_;
    ShapeElement* TCPstat_;
    const OutputState& output_;
};

// "Port1", "Port2": every byte written to the I/O address of the serial
// port's transmit register, one byte per 2 ms so that a UART without a
// transmit buffer keeps up. The bytes go to the device "Devices"/"Port" of
// the settings file (default /dev/port), each with pwrite at the address.
//
// About 450 ms of pacing per tick must not hold up the window: a worker
// thread writes, in the order the ticks handed the bytes over. A device that
// cannot be opened or written is passed over. Bytes that would wait longer
// than kMaxBacklog (the worker never finishing) are dropped.
class HardwarePortSink : public NmeaSink {
  public:
    static constexpr std::size_t kMaxBacklog = 16 * 1024;
    static constexpr int kBytePauseMs = 2;

    // `devicePath` is asked on every tick, so a changed setting applies.
    explicit HardwarePortSink(std::function<std::string()> devicePath);
    ~HardwarePortSink() override;
    void Write(const funkor::OutputTarget& target, const funkor::OutputPair& pair) override;

    // Bytes handed to the device so far.
    long bytesWritten() const { return written_.load(); }
    // Waits until every byte handed over is written (for tests and the
    // benchmark); false after `ms`.
    bool waitIdle(int ms);

  private:
    struct Job {
        std::string device;
        unsigned address = 0;
        std::string bytes;
    };
    void run();

    std::function<std::string()> devicePath_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Job> jobs_;
    std::size_t queued_ = 0;
    bool busy_ = false;
    bool stop_ = false;
    std::atomic<long> written_{0};
    std::thread worker_;
};

// "LPT1": the printer device "Devices"/"LPT1" of the settings file (default
// /dev/lp0), opened, written and closed on every tick. The device is opened
// without waiting (a printer that is off drops the tick instead of holding
// up the window); a path outside /dev is a file that is appended to.
class PrinterSink : public NmeaSink {
  public:
    explicit PrinterSink(std::function<std::string()> devicePath)
        : devicePath_(std::move(devicePath)) {}
    void Write(const funkor::OutputTarget& target, const funkor::OutputPair& pair) override;

  private:
    std::function<std::string()> devicePath_;
};
