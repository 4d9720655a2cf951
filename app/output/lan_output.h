#pragma once

#include <QString>
#include <string>

#include "app/output/nmea_sink.h"

class Form1;

// The LAN output: serves the NMEA sentences to one TCP client through the
// window's socket Winsock, and shows the socket's state in TCPstat.
//
// Port and bind address come from the settings file, section "LAN": "Port"
// (default 1000) and "Address" (default: all interfaces).
class LanOutput : public NmeaSink {
  public:
    static constexpr int kDefaultPort = 1000;

    explicit LanOutput(Form1& form);

    void LanListen();
    void LanClose();
    void LanSend(const std::string& text);

    // Socket events.
    void ConnectionRequest();
    void DataArrival(qint64 bytes);
    void Error(int number, const QString& description);

    // The output cycle's "LAN" target: starts the output on its first tick,
    // then sends the sentences of each tick.
    void Write(const funkor::OutputTarget& target, const funkor::OutputPair& pair) override;

    // A failed listen is reported again (the output choice changed).
    void resetListenError() { listenErrorShown_ = false; }

    // Sentences dropped because the client did not take them.
    long droppedSentences() const { return dropped_; }

  private:
    Form1& f;
    // A listen that failed is reported once, not on every tick that tries
    // again, until listening works or the output choice changes.
    bool listenErrorShown_ = false;
    bool listening_ = false;  // inside LanListen
    // A client that stops reading: sentences are dropped until what waits
    // has gone out, so the client gets whole sentences afterwards.
    bool dropping_ = false;
    long dropped_ = 0;
};
