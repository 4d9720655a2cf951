// SPDX-FileCopyrightText: The Funkor developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/output/lan_output.h"

#include <QCoreApplication>
#include <QFile>
#include <QHostAddress>

#include "app/base/platform.h"
#include "app/base/text_codec.h"
#include "app/base/window_state.h"
#include "app/output/avahi_announcer.h"
#include "app/output/indicator.h"
#include "app/output/local_nmea_server.h"
#include "app/output/source_selection.h"
#include "app/output/winsock_control.h"
#include "core/ini_file.h"

LanOutput::LanOutput(const Elements& elements, const NetworkState& network,
                     const PositionState& position, OutputState& output, Platform& platform,
                     std::string settingsPath, const SourceSelection& sources, TraceList trace)
    : e_(elements),
      network_(network),
      position_(position),
      output_(output),
      platform_(platform),
      settingsPath_(std::move(settingsPath)),
      sources_(sources),
      trace_(std::move(trace)) {
    auto note = [this](const QString& line) { trace_.add(line, true); };
    announcer_ = std::make_unique<AvahiAnnouncer>(note);
    localSocket_ = std::make_unique<LocalNmeaServer>(note);
}

LanOutput::~LanOutput() = default;

void LanOutput::LanListen() {
    WinsockControl* socket = e_.Winsock;
    if (socket->State() != funkor::kLanClosed) socket->Close();
    const std::string& ini = settingsPath_;
    int port = funkor::ini::getInt(ini, "LAN", "Port", kDefaultPort);
    if (port < 0 || port > 65535) port = kDefaultPort;
    socket->setLocalPort(static_cast<quint16>(port));
    const auto address = funkor::ini::getString(ini, "LAN", "Address");
    socket->setBindAddress(address && !address->empty()
                               ? QHostAddress(QString::fromStdString(*address))
                               : QHostAddress(QHostAddress::Any));
    socket->setMaxClients(funkor::ini::getInt(ini, "LAN", "Clients", 1));
    listening_ = true;
    socket->Listen();
    listening_ = false;
    if (socket->State() == funkor::kLanListening) listenErrorShown_ = false;
}

void LanOutput::LanClose() {
    output_.lanStarted = false;
    if (e_.Winsock->State() != funkor::kLanClosed) e_.Winsock->Close();
}

void LanOutput::LanStop() {
    LanClose();
    announcer_->stop();
    announcer_->resetNotes();
    localSocket_->stop();
}

long LanOutput::droppedSentences() const {
    return dropped_ + e_.Winsock->DroppedForClients();
}

void LanOutput::startDesktopOutputs() {
    const std::string& ini = settingsPath_;
    announce_ = funkor::ini::getInt(ini, "LAN", "Announce", 0) == 1;
    const auto socketPath = funkor::ini::getString(ini, "LAN", "Socket");
    const bool socket = socketPath && !socketPath->empty();
    if (socket) localSocket_->start(QFile::decodeName(socketPath->c_str()));
    if (announce_ && e_.Winsock->State() == funkor::kLanListening)
        announcer_->start(e_.Winsock->ListeningPort(), e_.Winsock->BindAddress(), announcedLevel());
}

funkor::AccuracyInput LanOutput::accuracyInput() const {
    funkor::AccuracyInput in;
    in.taDistance = network_.taDistance;
    // A database position's sentences carry the cell's range as their HDOP.
    if (position_.gsmFromDatabase) {
        const auto hdop = funkor::ggaHdop(position_.gsmGga);
        in.gsmRangeMetres = hdop ? *hdop * funkor::kMetresPerHdop : 0;
    }
    return in;
}

std::string_view LanOutput::announcedLevel() const {
    return funkor::announcedAccuracy(sources_.boxes(), accuracyInput());
}

void LanOutput::LanSend(const std::string& text) {
    WinsockControl* socket = e_.Winsock;
    const funkor::LanSendPlan plan = funkor::planLanSend(socket->State());
    if (plan.paint) paintIndicator(e_.TCPstat, plan.indicator);
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
            if (trace_.visible())
                trace_.add(QStringLiteral("# LAN: der Client liest nicht, "
                                          "Sätze werden verworfen"),
                           true);
        } else if (result == WinsockControl::kReaderFellBehind) {
            if (trace_.visible())
                trace_.add(QStringLiteral("# LAN: ein Client liest nicht, Sätze an "
                                          "ihn werden verworfen"),
                           true);
        } else if (result != WinsockControl::kSent) {
            const std::string message = funkor::lanSendErrorMessage(result, "");
            if (!message.empty())
                platform_.MsgBox(QString::fromStdString(message), QStringLiteral("Connection "));
        }
    }
    QCoreApplication::processEvents();
}

void LanOutput::ConnectionRequest() {
    WinsockControl* socket = e_.Winsock;
    if (socket->State() != funkor::kLanClosed) socket->Close();
    dropping_ = false;
    socket->Accept();
}

void LanOutput::DataArrival(qint64) {
    // What a client sends is read and dropped.
    e_.Winsock->GetData();
}

void LanOutput::Error(int number, const QString& description) {
    const std::string message = funkor::lanErrorMessage(number, description.toStdString());
    if (message.empty()) return;
    if (listening_) {
        if (listenErrorShown_) return;
        listenErrorShown_ = true;
    }
    platform_.MsgBox(QString::fromStdString(message), QStringLiteral("Error!"));
}

void LanOutput::Write(const funkor::OutputTarget&, const funkor::OutputPair& built) {
    if (!output_.lanStarted) {
        output_.lanStarted = true;
        LanListen();
        startDesktopOutputs();
    }
    // Honest only where it is asked for: with no announcement (Avahi absent)
    // and no local socket the sentences stay as built.
    const bool honest = announcer_->active() || localSocket_->serving();
    const funkor::OutputPair pair =
        honest ? funkor::withHonestAccuracy(built, accuracyInput()) : built;
    if (announce_) announcer_->setAccuracy(announcedLevel());
    for (const std::string* s : {&pair.identification, &pair.first, &pair.second})
        if (!s->empty() && localSocket_->serving()) localSocket_->send(bytesOf(*s));
    // One tick's sentences leave together, though window events run after
    // each send.
    e_.Winsock->holdBack(true);
    if (!pair.identification.empty()) LanSend(pair.identification);
    LanSend(pair.first);
    LanSend(pair.second);
    e_.Winsock->holdBack(false);
}
