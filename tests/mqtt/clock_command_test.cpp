// "Set clock" over MQTT through the real bus thread to the simulated
// controller: while the bridge's own clock has no network time the press is
// refused, logged and answered on the device's event topic, and nothing is
// written; once the clock is synchronised the same press sets it.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>

#include "bridge/BridgeBuses.h"
#include "bridge/MqttPublisher.h"
#include "bridge/UpdateFanOut.h"
#include "mqtt/BridgeTestKit.h"
#include "sim/SimulatorThread.h"
#include "support/FakeClockSync.h"

namespace kestrane::testing {
namespace {

constexpr char kClockSet[] = "kestrane/sn-ks2026a000000042/clock/set";
constexpr char kEvent[] = "kestrane/sn-ks2026a000000042/event";
constexpr sim::SimDateTime kOldDate{2001, 1, 1, 3600};

TEST_F(BrokerTest, ClockPressIsRefusedOnTheEventTopicUntilTheClockIsSynchronised) {
    sim::SimulatorOptions options;
    options.devices = {1};
    options.daySeconds = 0;
    sim::SimulatorThread simulator(options);
    std::string error;
    ASSERT_TRUE(simulator.Start(&error)) << error;
    simulator.WithDevice(0, [](sim::SimDevice& device) { device.Model().SetClock(kOldDate); });

    bridge::BridgeConfig config;
    config.pollIntervalS = 0.2;
    bridge::BusConfig bus;
    bus.port = simulator.DevicePath();
    bus.devices = {{1, "shed", true}};
    config.buses.push_back(bus);
    FakeClockSync clockSync(false);
    LogRecord log;
    // Declared so that the bus threads stop before the publisher they feed goes.
    bridge::UpdateFanOut fanOut;
    std::unique_ptr<bridge::MqttPublisher> publisher;
    bridge::BridgeBuses buses(config, fanOut, bridge::SystemLineOpener(), {}, clockSync);
    publisher = std::make_unique<bridge::MqttPublisher>(Settings(), &buses);
    fanOut.Add(publisher.get());
    MqttProbe probe(broker_.Port());
    ASSERT_TRUE(probe.WaitSubscribed());
    ASSERT_TRUE(publisher->Start(&error)) << error;
    buses.Start();
    ASSERT_TRUE(probe.WaitFor(
        [](const auto& m) { return CountOn(m, "kestrane/sn-ks2026a000000042/state") > 0; }));

    probe.Publish(kClockSet, "PRESS");
    ASSERT_TRUE(probe.WaitFor([](const auto& m) { return CountOn(m, kEvent) == 1; }));
    const auto refused = nlohmann::json::parse(probe.Latest(kEvent)->payload);
    EXPECT_EQ(refused.at("ok"), false);
    EXPECT_NE(refused.at("message").get<std::string>().find("not synchronised"), std::string::npos)
        << refused.dump();
    EXPECT_TRUE(
        log.WaitFor("sn-ks2026a000000042: clock not set: this machine's clock is not "
                    "synchronised"))
        << log.All();
    EXPECT_EQ(simulator.Clock(0).year, kOldDate.year) << "nothing was written";

    clockSync.Set(true);
    probe.Publish(kClockSet, "PRESS");
    ASSERT_TRUE(probe.WaitFor([](const auto& m) { return CountOn(m, kEvent) == 2; }));
    const auto done = nlohmann::json::parse(probe.Latest(kEvent)->payload);
    EXPECT_EQ(done.at("ok"), true) << done.dump();
    EXPECT_NE(simulator.Clock(0).year, kOldDate.year);
}

}  // namespace
}  // namespace kestrane::testing
