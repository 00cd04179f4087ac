// The controller's end of a pseudo-terminal: the master side, in raw mode and
// non-blocking. The slave side stays open here too, so the line survives a
// client closing and reopening it; closing the endpoint hangs the line up.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kestrane::sim {

class PtyEndpoint {
public:
    PtyEndpoint() = default;
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;
    ~PtyEndpoint() { Close(); }

    // Creates the pseudo-terminal and, when `linkPath` is not empty, a
    // symlink to it (replacing an older symlink, never another file).
    bool Open(const std::string& linkPath, std::string* error);
    void Close();
    bool IsOpen() const { return master_ >= 0; }

    int Fd() const { return master_; }
    const std::string& DevicePath() const { return devicePath_; }

    // Non-blocking read; returns bytes read, 0 when none, -1 on a hang-up.
    long Read(uint8_t* buffer, size_t capacity);
    // Writes everything, waiting up to `timeoutMs` for room; false if the
    // bytes could not all be written.
    bool Write(const uint8_t* data, size_t length, int timeoutMs);
    // Bytes written but not yet read by the client.
    int PendingForClient() const;

private:
    int master_ = -1;
    int slave_ = -1;
    std::string devicePath_;
    std::string linkPath_;
};

}  // namespace kestrane::sim
