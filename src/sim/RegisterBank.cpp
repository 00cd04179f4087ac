#include "sim/RegisterBank.h"

#include <algorithm>

#include "protocol/TextCodec.h"

namespace kestrane::sim {

RegisterAccess RegisterBank::AccessOf(uint16_t address) {
    for (const RegisterRange& range : kRegisterRanges) {
        if (address >= range.first && address < range.first + range.count) return range.access;
    }
    return RegisterAccess::kNone;
}

bool RegisterBank::CanRead(uint16_t start, int count) {
    for (int i = 0; i < count; ++i) {
        const int address = start + i;
        if (address > 0xFFFF) return false;
        const RegisterAccess access = AccessOf(static_cast<uint16_t>(address));
        if (access != RegisterAccess::kRead && access != RegisterAccess::kReadWrite) return false;
    }
    return count > 0;
}

bool RegisterBank::CanWrite(uint16_t start, int count) {
    for (int i = 0; i < count; ++i) {
        const int address = start + i;
        if (address > 0xFFFF) return false;
        if (AccessOf(static_cast<uint16_t>(address)) != RegisterAccess::kReadWrite) return false;
    }
    return count > 0;
}

uint16_t RegisterBank::Get(uint16_t address) const {
    return address < kSize ? values_[address] : 0;
}

void RegisterBank::Set(uint16_t address, uint16_t value) {
    if (address < kSize) values_[address] = value;
}

void RegisterBank::SetSigned(uint16_t address, int value) {
    Set(address, static_cast<uint16_t>(std::clamp(value, -32768, 32767)));
}

uint32_t RegisterBank::Get32(uint16_t address) const {
    return (static_cast<uint32_t>(Get(address)) << 16) | Get(static_cast<uint16_t>(address + 1));
}

void RegisterBank::Set32(uint16_t address, uint32_t value) {
    Set(address, static_cast<uint16_t>(value >> 16));
    Set(static_cast<uint16_t>(address + 1), static_cast<uint16_t>(value & 0xFFFF));
}

std::string RegisterBank::GetText(uint16_t address, int words) const {
    if (address + words > kSize) return {};
    return WordsToText(values_.data() + address, words);
}

void RegisterBank::SetText(uint16_t address, int words, std::string_view text) {
    if (address + words > kSize) return;
    TextToWords(text, values_.data() + address, words);
}

}  // namespace kestrane::sim
