// The controller's end of a pseudo-terminal: the master side, in raw mode and
// non-blocking. The slave side stays open here too, so the line survives a
// client closing and reopening it; closing the endpoint hangs the line up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/SimEndpoint.h"

namespace kestrane::sim {

class PtyEndpoint : public SimEndpoint {
public:
    // `linkPath`, when not empty, becomes a symlink to the pseudo-terminal
    // (replacing an older symlink, never another file).
    explicit PtyEndpoint(std::string linkPath = {}) : requestedLink_(std::move(linkPath)) {}
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;
    ~PtyEndpoint() override { Close(); }

    bool Open(std::string* error) override;
    void Close() override;
    bool IsOpen() const override { return master_ >= 0; }

    int Fd() const override { return master_; }
    std::string DevicePath() const override { return devicePath_; }

    long Read(uint8_t* buffer, size_t capacity) override;
    bool Write(const uint8_t* data, size_t length, int timeoutMs) override;
    int PendingForClient() const override;

private:
    std::string requestedLink_;
    int master_ = -1;
    int slave_ = -1;
    std::string devicePath_;
    std::string linkPath_;
};

}  // namespace kestrane::sim
