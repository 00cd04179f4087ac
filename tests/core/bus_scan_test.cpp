// The setup's search of a whole bus against the simulator over a real
// pseudo-terminal: every controller at the rate the first one answers at,
// with its identity; a line that answers only at its own rate; a bus with
// nobody where the search looks; a port that cannot be opened.
#include <gtest/gtest.h>

#include <memory>

#include "doctor/BusScan.h"
#include "sim/FactoryDefaults.h"
#include "sim/SimulatorThread.h"
#include "support/StillSimulator.h"

namespace kestrane {
namespace {

using sim::SimulatorOptions;
using sim::SimulatorThread;

class BusScanTest : public ::testing::Test {
protected:
    void Serve(SimulatorOptions options) {
        sim = testing::StartStillSimulator(options);
        ASSERT_TRUE(sim);
    }
    BusScanResult Scan(double budgetSeconds = 30) {
        BusScanOptions options;
        options.port = sim->DevicePath();
        options.budgetSeconds = budgetSeconds;
        // A probe asks each rate and address once; a busy machine can keep
        // the simulator's thread from answering within the usual 40 ms.
        options.probeFloorMs = 250;
        BusScanObserver observer;
        observer.found = [this](unsigned baud, const FoundController& c) {
            announced.push_back({baud, c.address});
        };
        observer.progress = [this](const SearchProgress& p) { lastProgress = p; };
        return ScanBus(options, observer);
    }

    std::unique_ptr<SimulatorThread> sim;
    std::vector<std::pair<unsigned, int>> announced;
    SearchProgress lastProgress;
};

TEST_F(BusScanTest, FindsEveryControllerAtTheRateOfTheFirstWithItsIdentity) {
    Serve({.devices = {2, 1}});
    const BusScanResult result = Scan();
    ASSERT_TRUE(result.opened) << result.error;
    EXPECT_EQ(result.baud, 9600u);
    ASSERT_EQ(result.controllers.size(), 2u);
    EXPECT_EQ(result.controllers[0].address, 1);
    EXPECT_EQ(result.controllers[1].address, 2);
    for (const FoundController& c : result.controllers) {
        EXPECT_EQ(c.model, sim::kFactoryModel);
        EXPECT_EQ(c.serialNumber.size(), 16u) << c.serialNumber;
        EXPECT_FALSE(c.firmware.empty());
    }
    EXPECT_NE(result.controllers[0].serialNumber, result.controllers[1].serialNumber);
    // Address 1 answered the first probe; then 2..16 and 247 at 9600 only.
    EXPECT_EQ(result.probes, 17);
    EXPECT_EQ(lastProgress.probes, 17);
    EXPECT_EQ(lastProgress.address, 247);
    EXPECT_EQ(announced, (std::vector<std::pair<unsigned, int>>{{9600, 1}, {9600, 2}}));
    EXPECT_FALSE(result.budgetSpent);
}

TEST_F(BusScanTest, LineThatAnswersOnlyAtItsOwnRateIsFoundThere) {
    Serve({.address = 7, .baud = 19200, .strictLine = true});
    const BusScanResult result = Scan();
    ASSERT_TRUE(result.opened) << result.error;
    EXPECT_EQ(result.baud, 19200u);
    ASSERT_EQ(result.controllers.size(), 1u);
    EXPECT_EQ(result.controllers[0].address, 7);
    EXPECT_EQ(result.controllers[0].model, sim::kFactoryModel);
    EXPECT_EQ(lastProgress.baud, 19200u);
}

TEST_F(BusScanTest, NobodyWhereTheSearchLooksEndsEmptyWithinItsBound) {
    // 200 is not among the likely addresses that the default search asks.
    Serve({.address = 200});
    const BusScanResult result = Scan(1.5);
    ASSERT_TRUE(result.opened) << result.error;
    EXPECT_EQ(result.baud, 0u);
    EXPECT_TRUE(result.controllers.empty());
    EXPECT_TRUE(result.budgetSpent);
    EXPECT_LT(result.seconds, 2.5);
    EXPECT_TRUE(announced.empty());
}

TEST(BusScan, PortThatCannotBeOpenedSaysWhy) {
    const BusScanResult result = ScanBus({.port = "/dev/kestrane-no-such-port"});
    EXPECT_FALSE(result.opened);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(result.probes, 0);
}

TEST(BusScan, DefaultNameIsTheModelAndTheEndOfTheSerialNumber) {
    const struct {
        FoundController controller;
        const char* name;
    } cases[] = {
        {{1, "KESTRANE-MPPT40A", "KS2026A000000042", "V1.3"}, "KESTRANE-MPPT40A 0042"},
        {{2, "MPPT", "AB1", ""}, "MPPT AB1"},
        {{3, "MPPT", "", ""}, "MPPT"},
        {{9, "", "KS2026A000000042", ""}, "Controller 9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(DefaultControllerName(c.controller), c.name);
}

}  // namespace
}  // namespace kestrane
