// The controller as a Modbus server: executes request PDUs (function code
// and data, without address and CRC) against its registers and its model.
// No I/O and no clock: the caller advances simulated time.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/ControllerModel.h"
#include "sim/RegisterBank.h"
#include "sim/SimulatorOptions.h"

namespace kestrane::sim {

namespace exception {
inline constexpr uint8_t kIllegalFunction = 1;
inline constexpr uint8_t kIllegalAddress = 2;
inline constexpr uint8_t kIllegalValue = 3;
inline constexpr uint8_t kDeviceFailure = 4;
}  // namespace exception

class SimDevice {
public:
    explicit SimDevice(const SimulatorOptions& options);

    // Executes one request and returns the reply PDU: the normal reply, or the
    // function code with bit 7 set and an exception code.
    std::vector<uint8_t> Execute(const std::vector<uint8_t>& pdu);

    // The 0xAA frame that follows a battery-settings write: it makes the
    // battery type `value` take effect. Returns false for an unknown type.
    bool ApplyBatteryType(uint16_t value);

    void Advance(double simulatedSeconds) { model_.Step(simulatedSeconds, bank_); }

    int Address() const { return address_; }
    const RegisterBank& Bank() const { return bank_; }
    RegisterBank& Bank() { return bank_; }
    ControllerModel& Model() { return model_; }
    const ControllerModel& Model() const { return model_; }

private:
    std::vector<uint8_t> Read(const std::vector<uint8_t>& pdu) const;
    std::vector<uint8_t> WriteSingle(const std::vector<uint8_t>& pdu);
    std::vector<uint8_t> WriteMultiple(const std::vector<uint8_t>& pdu);
    // Stores or acts on `values` written from `start`; 0 or an exception code.
    uint8_t Write(uint16_t start, const std::vector<uint16_t>& values);
    uint8_t RunCommand(const std::vector<uint16_t>& values);

    RegisterBank bank_;
    ControllerModel model_;
    int address_;
};

}  // namespace kestrane::sim
