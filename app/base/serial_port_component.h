// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <string>

// A serial port with the members the program uses: port number, settings
// text, open state, output, a one-byte-at-a-time input and a receive event.
// Bytes are 8-bit, one per character, in both directions.
class SerialPortComponent : public QObject {
    Q_OBJECT
  public:
    explicit SerialPortComponent(QObject* parent = nullptr);
    ~SerialPortComponent() override;

    void setCommPort(int n);
    int CommPort() const;

    // "19200,n,8,1": baud, parity (n/e/o/m/s), data bits, stop bits. The text
    // read back is the text last written, whatever it holds.
    void setSettings(const QString& s);
    QString Settings() const;

    bool PortOpen() const;
    // Opens on CommPort with Settings, or closes. False when opening fails:
    // the port stays closed and lastError() says why, in German, naming the
    // device path. Closing always succeeds.
    bool setPortOpen(bool open);
    QString lastError() const;

    // Sends the bytes in order. False when the port is closed or the write
    // fails.
    bool Output(const QByteArray& bytes);
    // Hands the output still queued to the device now instead of from the
    // event loop (waits a moment at most); false when the port is closed or
    // bytes are left over.
    bool flush();
    // Closes the port once the bytes written have left it. The device still
    // holds them after flush() (about 240 ms of a tick's sentences at 4800
    // baud); closing at once would put the earlier settings back (another
    // speed) while they go out, garbling them. A worker thread waits for
    // them, then the port closes from the event loop. PortOpen() is false at
    // once; open the port again only through whenClosed().
    void closeWhenSent();
    // Runs `then` (which opens, writes and closes the port) once no earlier
    // closeWhenSent() is under way and no earlier `then` runs: at once when
    // the port is free, else later from the event loop, in the order given.
    // When more than kMaxWaiting wait, the oldest is dropped.
    void whenClosed(std::function<void()> then);
    bool closing() const { return drain_ != nullptr; }
    static constexpr std::size_t kMaxWaiting = 8;
    // Received bytes not yet taken by Input().
    int InBufferCount() const;
    // The next received byte as a one-element array; empty when none waits.
    QByteArray Input();
    // 2 after data was received.
    int CommEvent() const;

    // Port number -> device path; by default "/dev/ttyS" + (n - 1).
    void setDeviceResolver(std::function<QString(int)> resolver);
    QString devicePath() const;
    // The device for "COM n" from a settings file: section "Devices", key
    // "COM<n>"; "/dev/ttyS<n-1>" without an entry.
    static QString deviceFromSettingsFile(const std::string& iniPath, int n);

  signals:
    // Raised on the GUI thread while received bytes wait to be read.
    void OnComm();
    // The port could not be opened, or the device went away; `reason` is
    // lastError().
    void portProblem(const QString& reason);
    // The port was opened.
    void portOpened();
    // The device failed or vanished while open; the port is closed then.
    void Broken();

  private:
    struct Drain;
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);
    // The worker of closeWhenSent() number `id` is done.
    void drained(quint64 id);
    // Waits for a closeWhenSent() still under way and closes the port.
    void finishDrain();
    void runWaiting();

    QSerialPort port_;
    int commPort_ = 1;
    QString settings_ = QStringLiteral("9600,n,8,1");
    QString lastError_;
    QByteArray inBuffer_;
    qsizetype inPos_ = 0;
    int commEvent_ = 0;
    std::function<QString(int)> resolver_;
    std::unique_ptr<Drain> drain_;
    quint64 drains_ = 0;
    std::deque<std::function<void()>> afterClose_;
    bool runningWaiting_ = false;
};
