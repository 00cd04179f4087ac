// Cuts the byte stream that arrives on the line into request frames: Modbus
// RTU frames with a correct CRC and the 11-byte 0xAA battery-type frame.
//
// Garbage is skipped one byte at a time until a frame starts; a frame that
// stays incomplete after a silence of the frame gap is given up. A complete
// frame later in the buffer is found even while an earlier false start still
// waits for bytes, so noise never swallows the next request.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kestrane::sim {

struct RtuFrame {
    enum class Kind { kModbus, kBatteryType };
    Kind kind = Kind::kModbus;
    std::vector<uint8_t> bytes;  // the whole frame, CRC or checksum included
    double firstByteMs = 0;      // when its first and its last byte were fed
    double lastByteMs = 0;
};

class RtuFramer {
public:
    static constexpr size_t kAaLength = 11;

    // `gapMs`: the silence after which an incomplete frame is abandoned.
    explicit RtuFramer(double gapMs) : gapMs_(gapMs) {}

    void Feed(const uint8_t* data, size_t length, double nowMs);
    // The next complete frame, if any. With `nowMs` past the gap since the
    // last byte, incomplete leftovers are discarded.
    std::optional<RtuFrame> Next(double nowMs);
    size_t Pending() const { return buffer_.size(); }
    // When to call Next again to discard a stale incomplete frame, or a
    // negative value when nothing waits.
    double GapDeadline() const { return buffer_.empty() ? -1 : lastByteMs_ + gapMs_; }

    // The frame's length when `data` starts with a complete valid frame, 0
    // when it may still become one, -1 when it cannot.
    static int Match(const uint8_t* data, size_t length, RtuFrame::Kind* kind);
    static bool IsBatteryTypeFrame(const uint8_t* data, size_t length);

private:
    // Removes the first `count` bytes.
    void Drop(size_t count);

    double gapMs_;
    double lastByteMs_ = 0;
    std::vector<uint8_t> buffer_;
    std::vector<double> arrivals_;  // when each byte of buffer_ was fed
};

}  // namespace kestrane::sim
