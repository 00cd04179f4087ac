// The controllers' end of the line: a pseudo-terminal or a TCP listener.
// The simulator polls Fd() for input, reads and writes through it, and
// closes it to hang the line up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrane::sim {

class SimEndpoint {
public:
    virtual ~SimEndpoint() = default;

    virtual bool Open(std::string* error) = 0;
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;

    // The descriptor to wait on for input (or, for a listener without a
    // client, for the next client). It may change after a Read.
    virtual int Fd() const = 0;
    // What a master opens: /dev/pts/N, or tcp://host:port.
    virtual std::string DevicePath() const = 0;

    // Non-blocking read; returns bytes read, 0 when none, -1 on a hang-up.
    virtual long Read(uint8_t* buffer, size_t capacity) = 0;
    // Writes everything, waiting up to `timeoutMs` for room; false if the
    // bytes could not all be written.
    virtual bool Write(const uint8_t* data, size_t length, int timeoutMs) = 0;
    // Bytes written but not yet taken by the client.
    virtual int PendingForClient() const = 0;
};

}  // namespace kestrane::sim
