// One controller on the bus as the master sees it: its address, its own
// record and write images (never shared with another device), the frame its
// requests are built in, and the counters of its transactions.
#pragma once

#include <cstdint>

#include "bus/BusResult.h"
#include "protocol/CModbusFrame.h"
#include "protocol/SharedState.h"

namespace kestrane {

class CBusDevice {
public:
    explicit CBusDevice(uint8_t address) : address_(address) {}
    CBusDevice(const CBusDevice&) = delete;
    CBusDevice& operator=(const CBusDevice&) = delete;

    uint8_t Address() const { return address_; }
    // The record the replies are decoded into; its write images are what
    // write transactions send.
    SharedState& State() { return state_; }
    const ControllerData& Data() const { return state_.data; }
    CModbusFrame& Frame() { return frame_; }
    LinkCounters& Counters() { return counters_; }
    const LinkCounters& Counters() const { return counters_; }

private:
    uint8_t address_;
    SharedState state_;
    CModbusFrame frame_{state_};
    LinkCounters counters_;
};

}  // namespace kestrane
