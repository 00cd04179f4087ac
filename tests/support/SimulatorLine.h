// A fixture for tests that talk to the simulator's thread over a real
// pseudo-terminal, byte by byte, with time in the simulation standing still.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "sim/SimulatorThread.h"
#include "support/RawPty.h"
#include "support/StillSimulator.h"

namespace kestrane::testing {

class SimulatorLine : public ::testing::Test {
protected:
    void Serve(sim::SimulatorOptions options = {}) {
        sim = StartStillSimulator(options);
        ASSERT_TRUE(sim);
        ASSERT_TRUE(line.Open(sim->DevicePath()));
    }
    // Writes `request` and returns what comes back until `idleMs` of silence.
    std::vector<uint8_t> Ask(const std::vector<uint8_t>& request, int timeoutMs = 1000,
                             int idleMs = 60) {
        EXPECT_TRUE(line.Write(request));
        return line.ReadReply(timeoutMs, idleMs);
    }

    std::unique_ptr<sim::SimulatorThread> sim;
    RawPty line;
};

}  // namespace kestrane::testing
