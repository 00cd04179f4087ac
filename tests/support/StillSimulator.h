// The simulator's thread on a pseudo-terminal with time in the simulation
// standing still, so a test sees the same values however long it runs.
#pragma once

#include <memory>

#include "sim/SimulatorThread.h"

namespace kestrane::testing {

// Starts it with `options` (its day length set to still); a failure to start
// fails the test with the simulator's reason and returns null.
std::unique_ptr<sim::SimulatorThread> StartStillSimulator(sim::SimulatorOptions options);

}  // namespace kestrane::testing
