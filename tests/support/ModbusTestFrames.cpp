#include "support/ModbusTestFrames.h"

#include "protocol/Crc16.h"

namespace kestrane::testing {

std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame) {
    const uint16_t crc = Crc16(frame.data(), frame.size());
    frame.push_back(static_cast<uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<uint8_t>(crc >> 8));
    return frame;
}

bool CrcValid(const std::vector<uint8_t>& frame) {
    if (frame.size() < 4) return false;
    return WithCrc({frame.begin(), frame.end() - 2}) == frame;
}

std::vector<uint8_t> ReadRequest(uint8_t address, uint16_t start, uint16_t count) {
    return WithCrc({address, 3, static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start),
                    static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)});
}

std::vector<uint8_t> WriteSingleRequest(uint8_t address, uint16_t reg, uint16_t value) {
    return WithCrc({address, 6, static_cast<uint8_t>(reg >> 8), static_cast<uint8_t>(reg),
                    static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)});
}

std::vector<uint8_t> WriteMultipleRequest(uint8_t address, uint16_t start,
                                          const std::vector<uint16_t>& values) {
    std::vector<uint8_t> frame{address,
                               16,
                               static_cast<uint8_t>(start >> 8),
                               static_cast<uint8_t>(start),
                               0,
                               static_cast<uint8_t>(values.size()),
                               static_cast<uint8_t>(2 * values.size())};
    for (uint16_t value : values) {
        frame.push_back(static_cast<uint8_t>(value >> 8));
        frame.push_back(static_cast<uint8_t>(value));
    }
    return WithCrc(frame);
}

std::vector<uint8_t> BatteryTypeFrame(uint8_t address, uint16_t value) {
    const uint8_t low = static_cast<uint8_t>(value & 0xFF);
    const uint8_t high = static_cast<uint8_t>(value >> 8);
    return {0xAA,
            0x01,
            address,
            0x02,
            0x01,
            0x04,
            0x01,
            0x00,
            low,
            high,
            static_cast<uint8_t>(0x4D - high - low - address)};
}

std::vector<uint16_t> ReplyWords(const std::vector<uint8_t>& reply) {
    std::vector<uint16_t> words;
    if (reply.size() < 5) return words;
    for (size_t i = 3; i + 1 < reply.size() - 2; i += 2)
        words.push_back(static_cast<uint16_t>(reply[i] << 8 | reply[i + 1]));
    return words;
}

}  // namespace kestrane::testing
