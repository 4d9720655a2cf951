#include "app/output/lan_output.h"

#include <QCoreApplication>
#include <QHostAddress>

#include "app/output/indicator.h"
#include "app/output/winsock_control.h"
#include "app/phone/phone_line.h"
#include "app/window/form1.h"
#include "app/window/text_codec.h"
#include "core/ini_file.h"

LanOutput::LanOutput(Form1& form) : f(form) {}

void LanOutput::LanListen() {
    WinsockControl* socket = f.Winsock;
    if (socket->State() != funkor::kLanClosed) socket->Close();
    const std::string ini = f.settingsPath();
    int port = funkor::ini::getInt(ini, "LAN", "Port", kDefaultPort);
    if (port < 0 || port > 65535) port = kDefaultPort;
    socket->setLocalPort(static_cast<quint16>(port));
    const auto address = funkor::ini::getString(ini, "LAN", "Address");
    socket->setBindAddress(address && !address->empty()
                               ? QHostAddress(QString::fromStdString(*address))
                               : QHostAddress(QHostAddress::Any));
    listening_ = true;
    socket->Listen();
    listening_ = false;
    if (socket->State() == funkor::kLanListening) listenErrorShown_ = false;
}

void LanOutput::LanClose() {
    f.output.lanStarted = 0;
    if (f.Winsock->State() != funkor::kLanClosed) f.Winsock->Close();
}

void LanOutput::LanSend(const std::string& text) {
    WinsockControl* socket = f.Winsock;
    const funkor::LanSendPlan plan = funkor::PlanLanSend(socket->State());
    if (plan.paint) paintIndicator(f.TCPstat, plan.indicator);
    if (plan.closeSocket) socket->Close();
    if (plan.lanClose) LanClose();
    if (!plan.send) return;

    // After the client fell behind, nothing more is queued until what
    // waits has gone out: the client then gets whole sentences again.
    if (dropping_ && socket->BytesToSend() > 0) {
        ++dropped_;
    } else {
        dropping_ = false;
        const int result = socket->SendData(bytesOf(text));
        if (result == WinsockControl::kBacklogFull) {
            dropping_ = true;
            ++dropped_;
            if (f.phoneLine->traceVisible())
                f.phoneLine->addTrace(QStringLiteral("# LAN: der Client liest nicht, "
                                                     "Sätze werden verworfen"),
                                      true);
        } else if (result != WinsockControl::kSent) {
            const std::string message = funkor::LanSendErrorMessage(result, "");
            if (!message.empty())
                f.platform().MsgBox(QString::fromStdString(message), QStringLiteral("Connection "));
        }
    }
    QCoreApplication::processEvents();
}

void LanOutput::ConnectionRequest() {
    WinsockControl* socket = f.Winsock;
    if (socket->State() != funkor::kLanClosed) socket->Close();
    dropping_ = false;
    socket->Accept();
}

void LanOutput::DataArrival(qint64) {
    // What a client sends is read and dropped.
    f.Winsock->GetData();
}

void LanOutput::Error(int number, const QString& description) {
    const std::string message = funkor::LanErrorMessage(number, description.toStdString());
    if (message.empty()) return;
    if (listening_) {
        if (listenErrorShown_) return;
        listenErrorShown_ = true;
    }
    f.platform().MsgBox(QString::fromStdString(message), QStringLiteral("Error!"));
}

void LanOutput::Write(const funkor::OutputTarget&, const funkor::OutputPair& pair) {
    if (f.output.lanStarted == 0) {
        f.output.lanStarted = 1;
        LanListen();
    }
    if (!pair.identification.empty()) LanSend(pair.identification);
    LanSend(pair.first);
    LanSend(pair.second);
}
