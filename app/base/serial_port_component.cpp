// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/base/serial_port_component.h"

#include <QStringList>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <grp.h>
#include <pthread.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "core/ini_file.h"

namespace {

// Received bytes kept for Input() at most; beyond this the port's own buffer
// fills and the operating system holds back (or drops) further bytes, so a
// flood from the far end cannot eat the memory.
constexpr qsizetype kInBufferLimit = 64 * 1024;
// Bytes queued for sending at most; a far end that takes nothing makes
// Output fail instead of letting the queue grow without end.
constexpr qint64 kOutBufferLimit = 64 * 1024;
// Bytes the port object itself may hold before it stops reading.
constexpr qint64 kPortReadBufferSize = 16 * 1024;

struct LineSettings {
    qint32 baud = 0;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// "baud,parity,data,stop" as in "19200,n,8,1". Parity is one of n, e, o, m,
// s; data bits 5 to 8; stop bits 1, 1.5 or 2.
bool parseSettings(const QString& text, LineSettings& out) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) return false;
    bool ok = false;
    const int baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0) return false;
    out.baud = baud;

    const QString parity = parts[1].trimmed().toLower();
    if (parity == QLatin1String("n"))
        out.parity = QSerialPort::NoParity;
    else if (parity == QLatin1String("e"))
        out.parity = QSerialPort::EvenParity;
    else if (parity == QLatin1String("o"))
        out.parity = QSerialPort::OddParity;
    else if (parity == QLatin1String("m"))
        out.parity = QSerialPort::MarkParity;
    else if (parity == QLatin1String("s"))
        out.parity = QSerialPort::SpaceParity;
    else
        return false;

    const int data = parts[2].trimmed().toInt(&ok);
    if (!ok || data < 5 || data > 8) return false;
    out.dataBits = static_cast<QSerialPort::DataBits>(data);

    const QString stop = parts[3].trimmed();
    if (stop == QLatin1String("1"))
        out.stopBits = QSerialPort::OneStop;
    else if (stop == QLatin1String("1.5"))
        out.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == QLatin1String("2"))
        out.stopBits = QSerialPort::TwoStop;
    else
        return false;
    return true;
}

QString defaultDevice(int n) {
    if (n < 1) return QString();
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
}

// Why an open failed that the port reports as a permission problem: either
// the user lacks the rights (then the device's group is named, and the
// README's section on setting up the port, which also covers ModemManager
// and gpsd, is pointed at) or another program holds the port.
QString permissionReason(const QString& device) {
    const QByteArray path = device.toLocal8Bit();
    if (::access(path.constData(), R_OK | W_OK) != 0) {
        QString group = QStringLiteral("dialout");
        struct stat st {};
        if (::stat(path.constData(), &st) == 0) {
            if (const struct group* g = ::getgrgid(st.st_gid))
                group = QString::fromLocal8Bit(g->gr_name);
        }
        return QStringLiteral(
                   "keine Berechtigung. Der Benutzer muss Mitglied der Gruppe "
                   "\u201E%1\u201C sein (danach neu anmelden; siehe README, Abschnitt "
                   "\u201ESetting up the serial port\u201C).")
            .arg(group);
    }
    return QStringLiteral("die Schnittstelle ist belegt (von einem anderen Programm geöffnet).");
}

}  // namespace

struct SerialPortComponent::Drain {
    quint64 id = 0;
    std::thread worker;
};

SerialPortComponent::SerialPortComponent(QObject* parent) : QObject(parent) {
    port_.setReadBufferSize(kPortReadBufferSize);
    connect(&port_, &QSerialPort::readyRead, this, &SerialPortComponent::onReadyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &SerialPortComponent::onError);
}

SerialPortComponent::~SerialPortComponent() {
    afterClose_.clear();
    finishDrain();
    if (port_.isOpen()) port_.close();
}

void SerialPortComponent::setCommPort(int n) {
    commPort_ = n;
}

int SerialPortComponent::CommPort() const {
    return commPort_;
}

void SerialPortComponent::setSettings(const QString& s) {
    settings_ = s;
    // An open port takes new settings at once, as far as they are valid.
    LineSettings line;
    if (PortOpen() && parseSettings(s, line)) {
        port_.setBaudRate(line.baud);
        port_.setParity(line.parity);
        port_.setDataBits(line.dataBits);
        port_.setStopBits(line.stopBits);
    }
}

QString SerialPortComponent::Settings() const {
    return settings_;
}

bool SerialPortComponent::PortOpen() const {
    // A port closing once its bytes are out is closed for its users.
    return port_.isOpen() && !closing();
}

bool SerialPortComponent::setPortOpen(bool open) {
    if (!open) {
        if (PortOpen()) port_.close();
        return true;
    }
    if (PortOpen()) return true;

    const QString device = devicePath();
    if (device.isEmpty()) {
        lastError_ =
            QStringLiteral("Für COM %1 ist keine Schnittstelle eingetragen.").arg(commPort_);
        emit portProblem(lastError_);
        return false;
    }
    LineSettings line;
    if (!parseSettings(settings_, line)) {
        lastError_ = QStringLiteral(
                         "Die Schnittstelle %1 lässt sich nicht öffnen: ungültige "
                         "Einstellung \u201E%2\u201C.")
                         .arg(device, settings_);
        emit portProblem(lastError_);
        return false;
    }

    // A caller that did not wait through whenClosed() waits here: the line
    // is opened again only once its last bytes are out and it is closed.
    finishDrain();
    inBuffer_.clear();
    inPos_ = 0;
    commEvent_ = 0;
    port_.setPortName(device);
    if (!port_.open(QIODevice::ReadWrite)) {
        QString reason;
        switch (port_.error()) {
            case QSerialPort::DeviceNotFoundError:
                reason = QStringLiteral("die Schnittstelle gibt es nicht.");
                break;
            case QSerialPort::PermissionError:
                reason = permissionReason(device);
                break;
            default:
                reason = port_.errorString();
                break;
        }
        lastError_ =
            QStringLiteral("Die Schnittstelle %1 lässt sich nicht öffnen: %2").arg(device, reason);
        port_.clearError();
        emit portProblem(lastError_);
        return false;
    }
    if (!port_.setBaudRate(line.baud)) {
        lastError_ = QStringLiteral(
                         "Die Schnittstelle %1 lässt sich nicht mit \u201E%2\u201C "
                         "betreiben: %3")
                         .arg(device, settings_, port_.errorString());
        port_.close();
        port_.clearError();
        emit portProblem(lastError_);
        return false;
    }
    // Framing as far as the device allows it: a pseudo-terminal always
    // carries 8 bits without parity and refuses anything else, yet works.
    port_.setParity(line.parity);
    port_.setDataBits(line.dataBits);
    port_.setStopBits(line.stopBits);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.clearError();
    lastError_.clear();
    emit portOpened();
    return true;
}

QString SerialPortComponent::lastError() const {
    return lastError_;
}

bool SerialPortComponent::Output(const QByteArray& bytes) {
    if (!PortOpen()) return false;
    if (bytes.isEmpty()) return true;
    if (port_.bytesToWrite() + bytes.size() > kOutBufferLimit) return false;
    return port_.write(bytes) == bytes.size();
}

bool SerialPortComponent::flush() {
    if (!port_.isOpen()) return false;
    port_.flush();
    if (port_.bytesToWrite() > 0) port_.waitForBytesWritten(1000);
    return port_.bytesToWrite() == 0;
}

void SerialPortComponent::closeWhenSent() {
    if (!port_.isOpen() || closing()) return;
    flush();
    // A second descriptor of the line waits on a worker thread until the
    // device has sent everything; the port itself (which puts the earlier
    // settings back as it closes) closes only after that.
    const int line = ::fcntl(port_.handle(), F_DUPFD_CLOEXEC, 0);
    if (line < 0) {
        port_.close();
        return;
    }
    drain_ = std::make_unique<Drain>();
    drain_->id = ++drains_;
    drain_->worker = std::thread([this, line, id = drain_->id] {
        ::pthread_setname_np(::pthread_self(), "serial-drain");
        ::tcdrain(line);
        ::close(line);
        QMetaObject::invokeMethod(
            this, [this, id] { drained(id); }, Qt::QueuedConnection);
    });
}

void SerialPortComponent::whenClosed(std::function<void()> then) {
    if (afterClose_.size() >= kMaxWaiting) afterClose_.pop_front();
    afterClose_.push_back(std::move(then));
    runWaiting();
}

void SerialPortComponent::runWaiting() {
    // A waiting call that lets events run (and so a drain end or another
    // call arrive) is not overtaken: the loop below goes on after it.
    if (runningWaiting_) return;
    runningWaiting_ = true;
    while (!closing() && !afterClose_.empty()) {
        const std::function<void()> next = std::move(afterClose_.front());
        afterClose_.pop_front();
        next();
    }
    runningWaiting_ = false;
}

void SerialPortComponent::drained(quint64 id) {
    // The end of a drain already waited for by setPortOpen() is no news.
    if (drain_ && drain_->id == id) finishDrain();
    runWaiting();
}

void SerialPortComponent::finishDrain() {
    if (!drain_) return;
    drain_->worker.join();
    drain_.reset();
    if (port_.isOpen()) port_.close();
}

int SerialPortComponent::InBufferCount() const {
    return static_cast<int>(inBuffer_.size() - inPos_ + port_.bytesAvailable());
}

QByteArray SerialPortComponent::Input() {
    if (inPos_ >= inBuffer_.size() && port_.isOpen() && port_.bytesAvailable() > 0) {
        inBuffer_ = port_.read(kInBufferLimit);
        inPos_ = 0;
    }
    if (inPos_ >= inBuffer_.size()) return QByteArray();
    QByteArray one(1, inBuffer_.at(inPos_++));
    if (inPos_ >= inBuffer_.size()) {
        inBuffer_.clear();
        inPos_ = 0;
    }
    return one;
}

int SerialPortComponent::CommEvent() const {
    return commEvent_;
}

void SerialPortComponent::setDeviceResolver(std::function<QString(int)> resolver) {
    resolver_ = std::move(resolver);
}

QString SerialPortComponent::devicePath() const {
    return resolver_ ? resolver_(commPort_) : defaultDevice(commPort_);
}

QString SerialPortComponent::deviceFromSettingsFile(const std::string& iniPath, int n) {
    const auto value = funkor::ini::getString(iniPath, "Devices", "COM" + std::to_string(n));
    if (value && !value->empty())
        return QString::fromLocal8Bit(value->data(), static_cast<qsizetype>(value->size()));
    return defaultDevice(n);
}

void SerialPortComponent::onReadyRead() {
    // Move what fits into our buffer; the rest waits in the port and is
    // fetched by Input() once ours is empty.
    const qsizetype room = kInBufferLimit - (inBuffer_.size() - inPos_);
    if (room > 0 && port_.bytesAvailable() > 0) {
        if (inPos_ > 0) {
            inBuffer_.remove(0, inPos_);
            inPos_ = 0;
        }
        inBuffer_.append(port_.read(room));
    }
    commEvent_ = 2;
    emit OnComm();
}

void SerialPortComponent::onError(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError) return;
    // The device went away (unplugged, or the far end of a pseudo-terminal
    // closed). Keep what was received, then close: an open port in this state
    // reports the error again and again and would keep the event loop busy.
    const QString device = port_.portName();
    const QString reason = port_.errorString();
    if (port_.bytesAvailable() > 0) {
        if (inPos_ > 0) {
            inBuffer_.remove(0, inPos_);
            inPos_ = 0;
        }
        inBuffer_.append(port_.readAll());
    }
    port_.close();
    port_.clearError();
    lastError_ = QStringLiteral("Die Verbindung über %1 ist abgebrochen: %2").arg(device, reason);
    emit portProblem(lastError_);
    emit Broken();
}
