#include "support/StillSimulator.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrane::testing {

std::unique_ptr<sim::SimulatorThread> StartStillSimulator(sim::SimulatorOptions options) {
    options.daySeconds = 0;
    auto simulator = std::make_unique<sim::SimulatorThread>(options);
    std::string error;
    if (!simulator->Start(&error)) {
        ADD_FAILURE() << "the simulator did not start: " << error;
        return nullptr;
    }
    return simulator;
}

}  // namespace kestrane::testing
