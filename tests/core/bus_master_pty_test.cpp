// The bus master on a real pseudo-terminal, with the serial port's timed
// read and the simulated controller on the far side.
#include <gtest/gtest.h>

#include <memory>

#include "bus/CBusMaster.h"
#include "protocol/RegisterMap.h"
#include "serial/CSerialPort.h"
#include "sim/SimulatorThread.h"
#include "support/StillSimulator.h"

namespace kestrane {
namespace {

using sim::SimulatorOptions;
using sim::SimulatorThread;

class BusMasterPtyTest : public ::testing::Test {
protected:
    void Serve(SimulatorOptions options) {
        sim = testing::StartStillSimulator(options);
        ASSERT_TRUE(sim);
        ASSERT_TRUE(port.Open(sim->DevicePath())) << port.LastErrorText();
        ASSERT_TRUE(port.Configure(9600)) << port.LastErrorText();
    }

    std::unique_ptr<SimulatorThread> sim;
    CSerialPort port;
    SteadyBusClock clock;
};

TEST_F(BusMasterPtyTest, CycleReadsEveryBlockAsTheControllerHoldsIt) {
    SimulatorOptions options;
    options.address = 3;
    Serve(options);
    CBusMaster bus(port, BusOptions{}, clock);
    CBusDevice& device = bus.Device(3);
    const CycleResult cycle = bus.ReadCycle(device);
    ASSERT_TRUE(cycle.Complete());
    EXPECT_EQ(sim->RequestCount(), 8u);
    EXPECT_EQ(device.Data().controllerAddress.load(), 3);
    const std::vector<uint16_t> identity = sim->Registers(0x0801, 18);
    for (int i = 0; i < ControllerData::kSerialWords; ++i)
        EXPECT_EQ(device.Data().serialNumber[i].load(), identity[static_cast<size_t>(i)]);
    EXPECT_EQ(device.Data().loadMode.load(), sim->Registers(0x0401, 1)[0]);
    EXPECT_EQ(bus.Counters().Count(BusResult::kOk), 8u);
}

TEST_F(BusMasterPtyTest, HungUpLineIsReportedAsClosedNotRetried) {
    SimulatorOptions options;
    options.hangupAfter = 3;
    Serve(options);
    CBusMaster bus(port, BusOptions{}, clock);
    const CycleResult cycle = bus.ReadCycle(bus.Device(1));
    EXPECT_TRUE(cycle.lineClosed);
    EXPECT_TRUE(bus.LineClosed());
    EXPECT_TRUE(port.HasHungUp());
    EXPECT_EQ(bus.Counters().Count(BusResult::kTimeout), 0u);
    EXPECT_EQ(bus.Counters().Count(BusResult::kLineClosed), 1u);
}

TEST_F(BusMasterPtyTest, SilentAddressTimesOutOnTheFirstBlockOnly) {
    Serve(SimulatorOptions{});
    BusOptions options;
    options.responseTimeoutMs = 30;
    options.retries = 1;
    CBusMaster bus(port, options, clock);
    const CycleResult cycle = bus.ReadCycle(bus.Device(9));
    EXPECT_FALSE(cycle.asked[1]);
    EXPECT_EQ(bus.Device(9).Counters().Count(BusResult::kTimeout), 2u);
    EXPECT_TRUE(bus.ReadCycle(bus.Device(1)).Complete());
}

// The 0xAA frame after a battery write: done by any answer, as the window's
// engine takes it; sent again when none comes, and then the next request is
// answered as usual.
TEST_F(BusMasterPtyTest, BatteryTypeFrameIsDoneByItsEchoAndRetriedWhenUnanswered) {
    for (const bool ignored : {false, true}) {
        SimulatorOptions options;
        options.ignoreAa = ignored;
        Serve(options);
        BusOptions busOptions;
        busOptions.responseTimeoutMs = 100;
        CBusMaster bus(port, busOptions, clock);
        CBusDevice& device = bus.Device(1);
        device.State().data.batteryWrite[0] = 3;

        const TransactionResult frame = bus.Transact(device, kBatteryTypeFrameCode);
        EXPECT_EQ(frame.result, ignored ? BusResult::kTimeout : BusResult::kOk);
        EXPECT_EQ(frame.attempts, ignored ? 3 : 1);
        EXPECT_EQ(sim->Registers(0x0101, 1)[0], ignored ? 0 : 3);
        EXPECT_EQ(bus.Transact(device, 1).result, BusResult::kOk);
        port.Close();
        sim.reset();
    }
}

}  // namespace
}  // namespace kestrane
