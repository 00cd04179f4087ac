// The controller's side of the line: answers the frames addressed to it and
// injects the configured faults into its answers.
#pragma once

#include <cstdint>
#include <vector>

#include "sim/RtuFramer.h"
#include "sim/SimDevice.h"
#include "sim/SimRandom.h"
#include "sim/SimulatorOptions.h"

namespace kestrane::sim {

// Bytes to put on the line after waiting `delayMs` from the previous piece.
struct Transmission {
    int delayMs = 0;
    std::vector<uint8_t> bytes;
};

class RtuSlave {
public:
    RtuSlave(SimDevice& device, const SimulatorOptions& options);

    // What to send in answer to `frame`; empty for no answer. Frames for other
    // addresses are ignored; broadcast writes (address 0) are executed
    // without an answer.
    std::vector<Transmission> Handle(const RtuFrame& frame);

    // Frames addressed to this controller so far.
    uint64_t Requests() const { return requests_; }
    // Writes carried out so far: function 6 and 16 requests, broadcasts
    // included, that got no exception, and 0xAA frames with a known type.
    uint64_t Writes() const { return writes_; }

private:
    std::vector<uint8_t> AnswerModbus(const std::vector<uint8_t>& frame);
    std::vector<Transmission> Shape(std::vector<uint8_t> reply);

    SimDevice& device_;
    SimulatorOptions options_;
    SimRandom random_;
    uint64_t requests_ = 0;
    uint64_t writes_ = 0;
};

}  // namespace kestrane::sim
