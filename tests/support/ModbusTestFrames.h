// Request frames built by hand for tests of devices, independent of the
// program's own frame codec.
#pragma once

#include <cstdint>
#include <vector>

namespace kestrane::testing {

std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame);
bool CrcValid(const std::vector<uint8_t>& frame);

std::vector<uint8_t> ReadRequest(uint8_t address, uint16_t start, uint16_t count);
std::vector<uint8_t> WriteSingleRequest(uint8_t address, uint16_t reg, uint16_t value);
std::vector<uint8_t> WriteMultipleRequest(uint8_t address, uint16_t start,
                                          const std::vector<uint16_t>& values);
// The 11-byte 0xAA battery-type frame; its bytes sum to zero modulo 256.
std::vector<uint8_t> BatteryTypeFrame(uint8_t address, uint16_t value);

// The data words of a function-3 reply (address, function, count, words, CRC).
std::vector<uint16_t> ReplyWords(const std::vector<uint8_t>& reply);

}  // namespace kestrane::testing
