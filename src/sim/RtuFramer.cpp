#include "sim/RtuFramer.h"

#include "protocol/Crc16.h"

namespace kestrane::sim {

namespace {

constexpr size_t kMaxFrame = 256;
constexpr size_t kMaxBuffer = 1024;
constexpr uint8_t kAaFixed[] = {0xAA, 0x01, 0x00, 0x02, 0x01, 0x04, 0x01, 0x00};

bool CrcHolds(const uint8_t* data, size_t length) {
    if (length < 4) return false;
    const uint16_t crc = Crc16(data, length - 2);
    return data[length - 2] == (crc & 0xFF) && data[length - 1] == (crc >> 8);
}

}  // namespace

bool RtuFramer::IsBatteryTypeFrame(const uint8_t* data, size_t length) {
    if (length < kAaLength) return false;
    for (size_t i = 0; i < sizeof kAaFixed; ++i) {
        if (i != 2 && data[i] != kAaFixed[i]) return false;
    }
    uint8_t sum = 0;
    for (size_t i = 0; i < kAaLength; ++i)
        sum = static_cast<uint8_t>(sum + data[i]);
    return sum == 0;
}

int RtuFramer::Match(const uint8_t* data, size_t length, RtuFrame::Kind* kind) {
    *kind = RtuFrame::Kind::kModbus;
    if (length == 0) return 0;
    // 0xAA is also a legal bus address, so the battery-type frame is tried
    // first and a Modbus frame for address 170 still gets through.
    if (data[0] == 0xAA && length >= 2 && data[1] == 0x01) {
        if (length < kAaLength) return 0;
        if (IsBatteryTypeFrame(data, length)) {
            *kind = RtuFrame::Kind::kBatteryType;
            return static_cast<int>(kAaLength);
        }
    }
    if (data[0] > 247) return -1;
    if (length < 2) return 0;
    size_t expected = 0;
    switch (data[1]) {
        case 3:
        case 6:
            expected = 8;
            break;
        case 16:
            if (length < 7) return 0;
            expected = 9 + static_cast<size_t>(data[6]);
            break;
        default:
            // Unknown length: the shortest prefix whose CRC holds is the frame.
            for (size_t n = 4; n <= length && n <= kMaxFrame; ++n) {
                if (CrcHolds(data, n)) return static_cast<int>(n);
            }
            return length >= kMaxFrame ? -1 : 0;
    }
    if (length < expected) return 0;
    return CrcHolds(data, expected) ? static_cast<int>(expected) : -1;
}

void RtuFramer::Feed(const uint8_t* data, size_t length, double nowMs) {
    if (length == 0) return;
    buffer_.insert(buffer_.end(), data, data + length);
    arrivals_.insert(arrivals_.end(), length, nowMs);
    if (buffer_.size() > kMaxBuffer) Drop(buffer_.size() - kMaxBuffer);
    lastByteMs_ = nowMs;
}

std::optional<RtuFrame> RtuFramer::Next(double nowMs) {
    const bool silent = nowMs - lastByteMs_ >= gapMs_;
    while (!buffer_.empty()) {
        RtuFrame::Kind kind;
        const int head = Match(buffer_.data(), buffer_.size(), &kind);
        if (head > 0) {
            RtuFrame frame{kind,
                           {buffer_.begin(), buffer_.begin() + head},
                           arrivals_.front(),
                           arrivals_[static_cast<size_t>(head) - 1]};
            Drop(static_cast<size_t>(head));
            return frame;
        }
        if (head < 0) {
            Drop(1);
            continue;
        }
        // The head may still complete; a complete frame further on wins.
        size_t found = 0;
        for (size_t offset = 1; offset + 1 < buffer_.size() && found == 0; ++offset) {
            const uint8_t* at = buffer_.data() + offset;
            const uint8_t function = at[1];
            const bool known = at[0] == 0xAA || function == 3 || function == 6 || function == 16;
            RtuFrame::Kind laterKind;
            if (known && Match(at, buffer_.size() - offset, &laterKind) > 0) found = offset;
        }
        if (found > 0) {
            Drop(found);
            continue;
        }
        if (!silent) return std::nullopt;
        Drop(1);
    }
    return std::nullopt;
}

void RtuFramer::Drop(size_t count) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(count));
    arrivals_.erase(arrivals_.begin(), arrivals_.begin() + static_cast<long>(count));
}

}  // namespace kestrane::sim
