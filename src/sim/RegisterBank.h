// Storage for every register of the controller, with the access rules of the
// register map.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "sim/SimRegisters.h"

namespace kestrane::sim {

class RegisterBank {
public:
    static constexpr int kSize = 0x0A00;

    static RegisterAccess AccessOf(uint16_t address);
    // True when every register of the range exists and may be read.
    static bool CanRead(uint16_t start, int count);
    // True when every register of the range is a setting a master may write.
    static bool CanWrite(uint16_t start, int count);

    uint16_t Get(uint16_t address) const;
    void Set(uint16_t address, uint16_t value);
    int16_t GetSigned(uint16_t address) const { return static_cast<int16_t>(Get(address)); }
    void SetSigned(uint16_t address, int value);
    // A 32-bit value in two registers, high word first.
    uint32_t Get32(uint16_t address) const;
    void Set32(uint16_t address, uint32_t value);
    std::string GetText(uint16_t address, int words) const;
    void SetText(uint16_t address, int words, std::string_view text);

private:
    std::array<uint16_t, kSize> values_{};
};

}  // namespace kestrane::sim
