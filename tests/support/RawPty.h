// A serial line opened with plain POSIX calls in raw mode, for tests that
// look at the bytes a device sends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kestrane::testing {

class RawPty {
public:
    struct Piece {
        double atMs;  // arrival, from the start of the read
        std::vector<uint8_t> bytes;
    };

    RawPty() = default;
    RawPty(const RawPty&) = delete;
    RawPty& operator=(const RawPty&) = delete;
    ~RawPty() { Close(); }

    bool Open(const std::string& path);
    void Close();
    bool Write(const std::vector<uint8_t>& bytes);
    // Everything that arrives until `idleMs` pass without a byte (after the
    // first one) or `timeoutMs` pass with none at all.
    std::vector<uint8_t> ReadReply(int timeoutMs = 1000, int idleMs = 60);
    // Like ReadReply, keeping each burst of bytes with its arrival time.
    std::vector<Piece> ReadPieces(int timeoutMs, int idleMs);
    // True when the far end hangs up within `timeoutMs`.
    bool WaitHangup(int timeoutMs);
    // Discards whatever waits to be read.
    void Drain();

private:
    int fd_ = -1;
};

}  // namespace kestrane::testing
