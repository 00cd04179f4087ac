// The controllers' end of an RTU-over-TCP line, as a serial server offers
// it: a listener that serves one client at a time and takes the next one
// after a disconnect. Closing it drops the client and stops listening, which
// the client sees as the server gone.
#pragma once

#include <string>

#include "sim/SimEndpoint.h"

namespace kestrane::sim {

class TcpEndpoint : public SimEndpoint {
public:
    // Port 0 lets the system choose; DevicePath then names the one chosen.
    TcpEndpoint(std::string host, int port) : host_(std::move(host)), port_(port) {}
    TcpEndpoint(const TcpEndpoint&) = delete;
    TcpEndpoint& operator=(const TcpEndpoint&) = delete;
    ~TcpEndpoint() override { Close(); }

    bool Open(std::string* error) override;
    void Close() override;
    bool IsOpen() const override { return listener_ >= 0; }

    int Fd() const override { return client_ >= 0 ? client_ : listener_; }
    std::string DevicePath() const override;

    // Without a client, takes one that is waiting and returns 0.
    long Read(uint8_t* buffer, size_t capacity) override;
    // Without a client the bytes are lost, as on a line nobody listens to.
    bool Write(const uint8_t* data, size_t length, int timeoutMs) override;
    int PendingForClient() const override;

private:
    void DropClient();

    std::string host_;
    int port_;
    int listener_ = -1;
    int client_ = -1;
};

}  // namespace kestrane::sim
