// Builds controller replies byte by byte for frame and engine tests: the CRC
// is computed here so a test states only the bytes it cares about.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "protocol/CModbusFrame.h"
#include "protocol/Crc16.h"

namespace kestrane::testing {

using Bytes = std::vector<uint8_t>;

// The bytes followed by their CRC-16, low byte first.
inline Bytes WithCrc(Bytes bytes) {
    const uint16_t crc = Crc16(bytes.data(), bytes.size());
    bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
    bytes.push_back(static_cast<uint8_t>(crc >> 8));
    return bytes;
}

// A function-3 reply carrying the words, high byte first.
inline Bytes ReadReply(uint8_t address, const std::vector<uint16_t>& words) {
    Bytes bytes{address, 3, static_cast<uint8_t>(2 * words.size())};
    for (uint16_t word : words) {
        bytes.push_back(static_cast<uint8_t>(word >> 8));
        bytes.push_back(static_cast<uint8_t>(word & 0xFF));
    }
    return WithCrc(bytes);
}

// A function-6 or function-16 acknowledgement: register and count/value echoed.
inline Bytes WriteReply(uint8_t address, uint8_t function, uint16_t reg, uint16_t value) {
    return WithCrc({address, function, static_cast<uint8_t>(reg >> 8),
                    static_cast<uint8_t>(reg & 0xFF), static_cast<uint8_t>(value >> 8),
                    static_cast<uint8_t>(value & 0xFF)});
}

inline void Feed(CModbusFrame& frame, const Bytes& bytes) {
    frame.AppendResponse(bytes.data(), bytes.size());
}

inline Bytes RequestBytes(const CModbusFrame& frame) {
    return Bytes(frame.Request(), frame.Request() + frame.RequestLength());
}

// True when no byte of the response buffer is left and the count is 0.
inline bool ResponseCleared(const CModbusFrame& frame) {
    if (frame.ResponseCount() != 0) return false;
    for (size_t i = 0; i < CModbusFrame::kBufferSize; ++i)
        if (frame.Response()[i] != 0) return false;
    return true;
}

}  // namespace kestrane::testing
