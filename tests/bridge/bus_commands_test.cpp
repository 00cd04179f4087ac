// Control commands through the bus thread against the simulated controller:
// the load mode written from the last read values and confirmed by reading
// back, the clock set from the PC (refused while the PC's own clock has no
// network time, unless a real-time clock keeps it), and commands refused
// without control.
#include <gtest/gtest.h>

#include <ctime>
#include <memory>

#include "RecordingSink.h"
#include "bridge/BridgeBuses.h"
#include "sim/SimulatorThread.h"
#include "support/FakeClockSync.h"

namespace kestrane::bridge {
namespace {

using kestrane::testing::FakeClockSync;
using testing::RecordingSink;
using Sink = const RecordingSink&;

constexpr uint16_t kLoadModeRegister = 0x0401;
constexpr int kLoadRegisters = 14;

class Commands : public ::testing::Test {
protected:
    // Devices 1 (control allowed) and 2 (not) on one bus that is polled once
    // an hour, so every command has to wake the bus thread.
    void SetUp() override {
        sim::SimulatorOptions options;
        options.devices = {1, 2};
        options.daySeconds = 0;
        Adjust(options);
        simulator_ = std::make_unique<sim::SimulatorThread>(options);
        std::string error;
        ASSERT_TRUE(simulator_->Start(&error)) << error;
        BridgeConfig config;
        config.pollIntervalS = 3600;
        BusConfig bus;
        bus.port = simulator_->DevicePath();
        bus.devices = {{1, "allowed", true}, {2, "watched", false}};
        config.buses.push_back(bus);
        AdjustConfig(config);
        buses_ = std::make_unique<BridgeBuses>(config, sink_, SystemLineOpener(), PollerTiming{},
                                               clockSync_);
        buses_->Start();
        ASSERT_TRUE(
            sink_.WaitFor([](Sink s) { return s.Of(1).size() == 1 && s.Of(2).size() == 1; }));
        allowedId_ = sink_.OfCopy(1).back().identity.deviceId;
        watchedId_ = sink_.OfCopy(2).back().identity.deviceId;
    }
    void TearDown() override { buses_.reset(); }
    virtual void Adjust(sim::SimulatorOptions&) {}
    virtual void AdjustConfig(BridgeConfig&) {}

    CommandOutcome Run(const DeviceCommand& command) {
        const size_t before = OutcomeCount();
        EXPECT_TRUE(buses_->Submit(command));
        EXPECT_TRUE(sink_.WaitFor([&](Sink s) { return s.Outcomes().size() > before; }));
        const std::vector<CommandOutcome> outcomes = sink_.OutcomesCopy();
        return outcomes.empty() ? CommandOutcome{} : outcomes.back();
    }
    size_t OutcomeCount() { return sink_.OutcomesCopy().size(); }
    DeviceCommand LoadMode(LoadModeChoice choice) {
        return {allowedId_, DeviceCommand::Kind::kSetLoadMode, choice};
    }

    std::unique_ptr<sim::SimulatorThread> simulator_;
    FakeClockSync clockSync_;
    RecordingSink sink_;
    std::unique_ptr<BridgeBuses> buses_;
    std::string allowedId_, watchedId_;
};

TEST_F(Commands, LoadModeChangesOnlyTheModeAndIsReadBack) {
    const std::vector<uint16_t> before =
        simulator_->Registers(0, kLoadModeRegister, kLoadRegisters);
    ASSERT_NE(before[0], 5117);
    const CommandOutcome outcome = Run(LoadMode(LoadModeChoice::kOn));
    EXPECT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(outcome.deviceId, allowedId_);
    std::vector<uint16_t> after = simulator_->Registers(0, kLoadModeRegister, kLoadRegisters);
    EXPECT_EQ(after[0], 5117);
    after[0] = before[0];
    EXPECT_EQ(after, before);  // timers, voltages and delays as they were read
    // The other controller on the bus is untouched, and the state published
    // after the command shows the load settings read back.
    EXPECT_EQ(simulator_->Registers(1, kLoadModeRegister, 1)[0], before[0]);

    EXPECT_TRUE(Run(LoadMode(LoadModeChoice::kDualTimer)).ok);
    EXPECT_EQ(simulator_->Registers(0, kLoadModeRegister, 1)[0], 5116);
    EXPECT_TRUE(Run(LoadMode(LoadModeChoice::kOff)).ok);
    EXPECT_EQ(simulator_->Registers(0, kLoadModeRegister, 1)[0], 5118);
}

TEST_F(Commands, LightAndTimeKeepsTheEveningHoursItHas) {
    EXPECT_TRUE(Run(LoadMode(LoadModeChoice::kLightAndTime)).ok);
    const uint16_t first = simulator_->Registers(0, kLoadModeRegister, 1)[0];
    EXPECT_GT(first, 5100);
    EXPECT_LE(first, 5115);
    EXPECT_TRUE(Run(LoadMode(LoadModeChoice::kLight)).ok);
    EXPECT_EQ(simulator_->Registers(0, kLoadModeRegister, 1)[0], 5100);
    EXPECT_TRUE(Run(LoadMode(LoadModeChoice::kLightAndTime)).ok);
    EXPECT_TRUE(Run(LoadMode(LoadModeChoice::kLightAndTime)).ok);
    EXPECT_EQ(simulator_->Registers(0, kLoadModeRegister, 1)[0], first);
}

TEST_F(Commands, ClockIsSetToThePcsLocalTime) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const CommandOutcome outcome = Run({allowedId_, DeviceCommand::Kind::kSetClock});
    EXPECT_TRUE(outcome.ok) << outcome.message;
    const sim::SimDateTime clock = simulator_->Clock(0);
    EXPECT_EQ(clock.year % 100, (local.tm_year + 1900) % 100);
    EXPECT_EQ(clock.month, local.tm_mon + 1);
    EXPECT_EQ(clock.day, local.tm_mday);
    EXPECT_EQ(clock.Hour(), local.tm_hour);
}

TEST_F(Commands, ClockIsRefusedWithoutAWriteWhileThePcsClockIsUnsynchronised) {
    clockSync_.Set(false);
    const uint64_t requests = simulator_->RequestCount(0);
    const CommandOutcome outcome = Run({allowedId_, DeviceCommand::Kind::kSetClock});
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.refusal, CommandOutcome::Refusal::kClockUnsynchronised);
    EXPECT_NE(outcome.message.find("not synchronised"), std::string::npos) << outcome.message;
    EXPECT_NE(outcome.message.find("clock_source = \"local\""), std::string::npos);
    EXPECT_EQ(simulator_->RequestCount(0), requests) << "nothing went to the controller";
    // The load mode does not depend on the PC's clock.
    EXPECT_TRUE(Run(LoadMode(LoadModeChoice::kOn)).ok);

    // Network time arrives: the same command goes through.
    clockSync_.Set(true);
    const CommandOutcome later = Run({allowedId_, DeviceCommand::Kind::kSetClock});
    EXPECT_TRUE(later.ok) << later.message;
    EXPECT_EQ(later.refusal, CommandOutcome::Refusal::kNone);
}

// A machine with a real-time clock: its clock is copied however the kernel
// sees its synchronisation.
class CommandsWithLocalClock : public Commands {
    void AdjustConfig(BridgeConfig& config) override {
        config.clockSource = ClockSource::kLocal;
        clockSync_.Set(false);
    }
};

TEST_F(CommandsWithLocalClock, ClockIsSetEvenThoughNoNetworkTimeArrived) {
    const uint64_t requests = simulator_->RequestCount(0);
    const CommandOutcome outcome = Run({allowedId_, DeviceCommand::Kind::kSetClock});
    EXPECT_TRUE(outcome.ok) << outcome.message;
    EXPECT_GT(simulator_->RequestCount(0), requests);
}

TEST_F(Commands, RefusedWithoutControlOrForAnUnknownDevice) {
    const uint16_t before = simulator_->Registers(1, kLoadModeRegister, 1)[0];
    EXPECT_FALSE(
        buses_->Submit({watchedId_, DeviceCommand::Kind::kSetLoadMode, LoadModeChoice::kOff}));
    EXPECT_FALSE(buses_->Submit({watchedId_, DeviceCommand::Kind::kSetClock}));
    EXPECT_FALSE(buses_->Submit({"sn-nobody", DeviceCommand::Kind::kSetClock}));
    // A command that was accepted shows the others were not just queued behind it.
    EXPECT_TRUE(Run(LoadMode(LoadModeChoice::kOn)).ok);
    EXPECT_EQ(OutcomeCount(), 1u);
    EXPECT_EQ(simulator_->Registers(1, kLoadModeRegister, 1)[0], before);
}

// Controller 1 acknowledges every write with the wrong register.
class MisacknowledgedCommands : public Commands {
    void Adjust(sim::SimulatorOptions& options) override {
        options.wrongEcho = 1;
        options.faultDevice = 1;
    }
};

TEST_F(MisacknowledgedCommands, AreReportedAsFailed) {
    const CommandOutcome outcome = Run(LoadMode(LoadModeChoice::kOff));
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.deviceId, allowedId_);
    EXPECT_EQ(outcome.message, "load mode Off failed: the write was not acknowledged (rejected)");
}

}  // namespace
}  // namespace kestrane::bridge
