#include "support/FakeController.h"

#include "protocol/Crc16.h"

namespace kestrane::testing {

namespace {

uint16_t WordAt(const Bytes& frame, size_t index) {
    return static_cast<uint16_t>(frame[index] << 8 | frame[index + 1]);
}

void PutWord(Bytes& frame, uint16_t word) {
    frame.push_back(static_cast<uint8_t>(word >> 8));
    frame.push_back(static_cast<uint8_t>(word & 0xFF));
}

bool CrcHolds(const Bytes& frame) {
    if (frame.size() < 4) return false;
    const size_t body = frame.size() - 2;
    const uint16_t crc = Crc16(frame.data(), body);
    return frame[body] == (crc & 0xFF) && frame[body + 1] == (crc >> 8);
}

}  // namespace

FakeController::FakeController(uint8_t address) : address_(address) {}

void FakeController::SetAddress(uint8_t address) {
    std::lock_guard lock(mutex_);
    address_ = address;
}

uint8_t FakeController::Address() const {
    std::lock_guard lock(mutex_);
    return address_;
}

void FakeController::SetRegister(uint16_t reg, uint16_t value) {
    std::lock_guard lock(mutex_);
    registers_[reg] = value;
}

void FakeController::SetRegisters(uint16_t first, std::initializer_list<uint16_t> values) {
    std::lock_guard lock(mutex_);
    for (uint16_t value : values)
        registers_[first++] = value;
}

uint16_t FakeController::Register(uint16_t reg) const {
    std::lock_guard lock(mutex_);
    return registers_[reg];
}

void FakeController::SetSpecialFrameAnswer(Bytes answer) {
    std::lock_guard lock(mutex_);
    specialFrameAnswer_ = std::move(answer);
}

void FakeController::LoadPlausibleValues() {
    // Real-time: float charging, 18.5 V PV, 13.6 V battery, 25 and 31 degrees.
    SetRegisters(0x0000, {3, 185, 136, 42, 0, 135, 12, 57, 16, 25, 31, 0, 0, 0, 0});
    SetRegisters(0x0101, {3, 1, 144, 138, 200, 100, 146, 120, 0, 1});
    SetRegisters(0x0907, {146, 128, 110, 150, 120, 140});
    SetRegisters(0x0701, {0, 0, 160, 150, 110, 120});
    SetRegisters(0x0203, {1, 0, 0, 0, 1234, 0, 0, 0, 45678, 0, 0, 0x0001, 0x86A0});
    SetRegisters(0x0801, {0x3231, 0x3433, 0, 0, 0, 0, 0, 0, 0x2E31, 0x0030, 0x504D, 0x5454});
    SetRegisters(0x0401, {5117, 5200, 50, 60, 1, 1, 18, 0, 23, 0, 5, 0, 6, 0, 1});
    SetRegisters(0x0301, {1000, 0, 1000, 0, 1000, 0, 1000, 0, 1000, 0, 1000, 0});
}

Bytes FakeController::Answer(const Bytes& request) {
    std::lock_guard lock(mutex_);
    if (request.size() == 11 && request[0] == 0xAA) return specialFrameAnswer_;
    if (request.size() < 8 || request[0] != address_ || !CrcHolds(request)) return {};
    const uint8_t function = request[1];
    const uint16_t start = WordAt(request, 2);
    if (function == 3) {
        const uint16_t count = WordAt(request, 4);
        if (count == 0 || count > 125) return {};
        Bytes reply{address_, 3, static_cast<uint8_t>(count * 2)};
        for (uint16_t i = 0; i < count; ++i)
            PutWord(reply, registers_[static_cast<uint16_t>(start + i)]);
        return WithCrc(std::move(reply));
    }
    if (function == 6) {
        registers_[start] = WordAt(request, 4);
        return Bytes(request.begin(), request.begin() + 8);
    }
    if (function == 16 && request.size() >= 9) {
        const uint16_t count = WordAt(request, 4);
        if (request.size() != 9u + 2u * count) return {};
        for (uint16_t i = 0; i < count; ++i)
            registers_[static_cast<uint16_t>(start + i)] = WordAt(request, 7 + 2 * i);
        return WithCrc(Bytes(request.begin(), request.begin() + 6));
    }
    return {};
}

ScriptedLine::Responder FakeController::Responder() {
    return [this](const Bytes& request) -> Reply {
        Bytes answer = Answer(request);
        if (answer.empty()) return {};
        return {answer};
    };
}

}  // namespace kestrane::testing
