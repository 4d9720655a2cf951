#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <functional>
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
    void onReadyRead();
    void onError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    int commPort_ = 1;
    QString settings_ = QStringLiteral("9600,n,8,1");
    QString lastError_;
    QByteArray inBuffer_;
    qsizetype inPos_ = 0;
    int commEvent_ = 0;
    std::function<QString(int)> resolver_;
};
