// A well-behaved controller for scripted lines: a bank of holding registers at
// one bus address that answers reads (function 3) and acknowledges writes
// (functions 6 and 16) the way a Modbus RTU slave does. Requests for other
// addresses, and anything it does not understand, get no answer.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <mutex>

#include "support/ModbusReply.h"
#include "support/ScriptedLine.h"

namespace kestrane::testing {

class FakeController {
public:
    explicit FakeController(uint8_t address = 1);

    void SetAddress(uint8_t address);
    uint8_t Address() const;
    void SetRegister(uint16_t reg, uint16_t value);
    void SetRegisters(uint16_t first, std::initializer_list<uint16_t> values);
    uint16_t Register(uint16_t reg) const;
    // What it sends back for the 0xAA frame; empty (the default) is silence.
    void SetSpecialFrameAnswer(Bytes answer);
    // Fills every read block with plausible values that pass the record's
    // plausibility checks.
    void LoadPlausibleValues();

    // The reply to one request (empty when it stays silent).
    Bytes Answer(const Bytes& request);
    // A responder for ScriptedLine that sends each answer in one piece.
    ScriptedLine::Responder Responder();

private:
    mutable std::mutex mutex_;
    uint8_t address_;
    std::array<uint16_t, 0x10000> registers_{};
    Bytes specialFrameAnswer_;
};

}  // namespace kestrane::testing
