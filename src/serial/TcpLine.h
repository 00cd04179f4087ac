// A serial line carried over TCP: RTU frames to and from a serial server
// (an RS-485 Ethernet or Wi-Fi converter, ser2net) at "tcp://host:port".
// Reads wait as CSerialPort's do; a peer that closes or resets the
// connection leaves the line hung up, like an unplugged adapter.
//
// Threads: one thread uses a line at a time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "serial/SerialLine.h"

namespace kestrane {

// The host and port of "tcp://host:port" ("tcp://[::1]:502" for IPv6).
struct TcpAddress {
    std::string host;
    std::string port;
};
bool ParseTcpAddress(const std::string& text, TcpAddress* address, std::string* error);
bool IsTcpPortName(const std::string& text);

class TcpLine : public ISerialLine {
public:
    TcpLine() = default;
    ~TcpLine() override;
    TcpLine(const TcpLine&) = delete;
    TcpLine& operator=(const TcpLine&) = delete;

    // Connects within timeoutMs. False with the reason in LastErrorText.
    bool Connect(const std::string& portName, int timeoutMs);
    void Close();

    // The line rate of the serial side, for the reply silence of Read.
    void SetBaud(unsigned baud) { baud_ = baud; }

    bool IsOpen() const override { return fd_ >= 0; }
    bool Write(const uint8_t* data, size_t length, int timeoutMs) override;
    bool Read(uint8_t* buffer, size_t capacity, size_t& count) override;
    bool ReadFor(uint8_t* buffer, size_t capacity, size_t& count, int timeoutMs) override;
    bool HasHungUp() const override { return hungUp_; }
    void DiscardInput() override;

    const std::string& LastErrorText() const { return lastErrorText_; }

private:
    void SetError(const std::string& what, int err);
    void MarkGone();

    int fd_ = -1;
    unsigned baud_ = 9600;
    std::atomic<bool> hungUp_{false};
    std::string name_;
    std::string lastErrorText_;
};

}  // namespace kestrane
