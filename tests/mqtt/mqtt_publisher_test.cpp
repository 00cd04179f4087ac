// The bridge's MQTT side against a real mosquitto broker: what a subscriber
// (Home Assistant, a script) finds on the broker, and which commands reach
// the bus side.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "bridge/MqttPublisher.h"
#include "mqtt/BridgeTestKit.h"

namespace kestrane::testing {
namespace {

using bridge::DeviceCommand;
using bridge::LoadModeChoice;
using bridge::MqttPublisher;

constexpr char kBridgeOnline[] = "kestrane/bridge/availability";

class Publisher : public BrokerTest {
protected:
    // Starts `publisher` and waits until the probe has seen the bridge online.
    void Connect(MqttPublisher& publisher, MqttProbe& probe) {
        ASSERT_TRUE(probe.WaitSubscribed());
        std::string error;
        ASSERT_TRUE(publisher.Start(&error)) << error;
        ASSERT_TRUE(probe.WaitFor([](const auto& m) { return Has(m, kBridgeOnline, "online"); }));
    }
};

TEST_F(Publisher, LateSubscriberFindsRetainedDiscoveryStateAndAvailability) {
    MqttPublisher publisher(Settings(), nullptr);
    MqttProbe early(broker_.Port());
    Connect(publisher, early);
    const auto shed = Identity("sn-shed1");
    publisher.Publish(Update(shed, 18.5));
    ASSERT_TRUE(early.WaitFor([&](const auto& m) {
        return CountOn(m, "kestrane/sn-shed1/link") && HasAllConfigs(m, shed) &&
               Has(m, "kestrane/sn-shed1/availability", "online");
    }));
    EXPECT_EQ(nlohmann::json::parse(early.Latest("kestrane/sn-shed1/link")->payload),
              Update(shed, 0).link);

    MqttProbe late(broker_.Port());
    ASSERT_TRUE(late.WaitFor([&](const auto& m) {
        return HasAllConfigs(m, shed) && CountOn(m, "kestrane/sn-shed1/state") &&
               Has(m, "kestrane/sn-shed1/availability", "online") &&
               Has(m, kBridgeOnline, "online");
    }));
    for (const ProbeMessage& message : late.Messages())
        EXPECT_TRUE(message.retained) << message.topic;
    EXPECT_EQ(nlohmann::json::parse(late.Latest("kestrane/sn-shed1/state")->payload),
              Update(shed, 18.5).state);
    EXPECT_FALSE(late.Latest("kestrane/sn-shed1/link")) << "link counters are not retained";
}

TEST_F(Publisher, DeviceAvailabilityFollowsTheUpdatesAndDiscoveryFollowsTheIdentity) {
    MqttPublisher publisher(Settings(), nullptr);
    MqttProbe probe(broker_.Port());
    Connect(publisher, probe);
    auto shed = Identity("sn-shed1");
    publisher.Publish(Update(shed, 18.5));
    publisher.Publish(Update(shed, 18.6, false));
    ASSERT_TRUE(probe.WaitFor(
        [](const auto& m) { return Has(m, "kestrane/sn-shed1/availability", "offline"); }));
    publisher.Publish(Update(shed, 18.7, false));
    publisher.Publish(Update(shed, 18.8));
    // online, offline, online: one message per change, not one per cycle.
    ASSERT_TRUE(probe.WaitFor([](const auto& m) {
        return CountOn(m, "kestrane/sn-shed1/state") == 4 &&
               CountOn(m, "kestrane/sn-shed1/availability") == 3;
    }));
    EXPECT_EQ(CountOn(probe.Messages(), "kestrane/sn-shed1/availability"), 3);
    EXPECT_EQ(probe.Latest("kestrane/sn-shed1/availability")->payload, "online");

    // Firmware read later: the same entities, announced again with it.
    probe.Forget();
    shed.firmware = "V1.1";
    publisher.Publish(Update(shed, 18.9));
    ASSERT_TRUE(probe.WaitFor([&](const auto& m) { return HasAllConfigs(m, shed); }));
}

TEST_F(Publisher, HomeAssistantComingOnlineGetsDiscoveryAndStatesAgain) {
    MqttPublisher publisher(Settings(), nullptr);
    MqttProbe probe(broker_.Port());
    Connect(publisher, probe);
    const auto east = Identity("sn-east"), west = Identity("sn-west");
    publisher.Publish(Update(east, 12.0));
    publisher.Publish(Update(west, 13.0));
    ASSERT_TRUE(probe.WaitFor([&](const auto& m) { return HasAllConfigs(m, west); }));

    probe.Forget();
    probe.Publish("homeassistant/status", "online");
    ASSERT_TRUE(probe.WaitFor([&](const auto& m) {
        return HasAllConfigs(m, east) && HasAllConfigs(m, west) &&
               CountOn(m, "kestrane/sn-east/state") && CountOn(m, "kestrane/sn-west/state");
    }));
    EXPECT_EQ(nlohmann::json::parse(probe.Latest("kestrane/sn-west/state")->payload),
              Update(west, 13.0).state);
}

TEST_F(Publisher, RenamedDeviceWithdrawsItsOldEntities) {
    MqttPublisher publisher(Settings(), nullptr);
    MqttProbe probe(broker_.Port());
    Connect(publisher, probe);
    const auto before = Identity("bus0-addr1"), after = Identity("sn-77");
    publisher.Publish(Update(before, 12.0));
    ASSERT_TRUE(probe.WaitFor([&](const auto& m) { return HasAllConfigs(m, before); }));
    publisher.Renamed(before.deviceId, after);
    publisher.Publish(Update(after, 12.5));
    ASSERT_TRUE(probe.WaitFor([&](const auto& m) { return HasAllConfigs(m, after); }));

    MqttProbe late(broker_.Port());
    ASSERT_TRUE(late.WaitFor([&](const auto& m) { return HasAllConfigs(m, after); }));
    for (const ProbeMessage& message : late.Messages())
        EXPECT_EQ(message.topic.find("bus0-addr1"), std::string::npos) << message.topic;
}

TEST_F(Publisher, CommandsReachTheBusSideOnlyForDevicesWithControl) {
    LogRecord log;
    RecordingCommandSink sink;
    MqttPublisher publisher(Settings(), &sink);
    MqttProbe probe(broker_.Port());
    ASSERT_TRUE(probe.WaitSubscribed());
    // Left on the broker: it would run again on every reconnect, so never obeyed.
    probe.Publish("kestrane/sn-ctl/load_mode/set", "Off", true);
    ASSERT_TRUE(
        probe.WaitFor([](const auto& m) { return CountOn(m, "kestrane/sn-ctl/load_mode/set"); }));
    Connect(publisher, probe);
    EXPECT_TRUE(log.WaitFor("ignored a retained load mode command")) << log.All();
    probe.Publish("kestrane/sn-ctl/load_mode/set", "", true);  // clears it
    publisher.Publish(Update(Identity("sn-ctl", true), 12.0));
    publisher.Publish(Update(Identity("sn-plain"), 12.0));
    ASSERT_TRUE(probe.WaitFor([](const auto& m) { return CountOn(m, "kestrane/sn-plain/state"); }));

    probe.Publish("kestrane/sn-plain/load_mode/set", "On");
    probe.Publish("kestrane/sn-plain/clock/set", "PRESS");
    probe.Publish("kestrane/sn-nobody/clock/set", "PRESS");
    probe.Publish("kestrane/sn-ctl/load_mode/set", "Dual Timer");
    probe.Publish("kestrane/sn-ctl/load_mode/set", "Everything");
    probe.Publish("kestrane/sn-ctl/load_mode/set", "\xff\xfe not text");
    probe.Publish("kestrane/sn-ctl/clock/set", "PRESS");
    ASSERT_TRUE(sink.WaitForCount(2));
    EXPECT_TRUE(log.WaitFor("ignored", 3)) << log.All();
    EXPECT_TRUE(log.WaitFor("ignored a load mode command for sn-plain")) << log.All();
    EXPECT_TRUE(log.WaitFor("unknown load mode \"Everything\"")) << log.All();
    const auto commands = sink.Commands();
    ASSERT_EQ(commands.size(), 2u);
    EXPECT_EQ(commands[0].deviceId, "sn-ctl");
    EXPECT_EQ(commands[0].kind, DeviceCommand::Kind::kSetLoadMode);
    EXPECT_EQ(commands[0].loadMode, LoadModeChoice::kDualTimer);
    EXPECT_EQ(commands[1].kind, DeviceCommand::Kind::kSetClock);
    // Both refusals reported: bytes that are not text do not bring the client down.
    ASSERT_TRUE(
        probe.WaitFor([](const auto& m) { return CountOn(m, "kestrane/sn-ctl/event") == 2; }));
    EXPECT_EQ(nlohmann::json::parse(probe.Latest("kestrane/sn-ctl/event")->payload).at("ok"),
              false);

    publisher.ReportOutcome({"sn-ctl", true, "load mode Dual Timer read back"});
    ASSERT_TRUE(
        probe.WaitFor([](const auto& m) { return CountOn(m, "kestrane/sn-ctl/event") == 3; }));
    const auto event = nlohmann::json::parse(probe.Latest("kestrane/sn-ctl/event")->payload);
    EXPECT_EQ(event.at("ok"), true);
    EXPECT_EQ(event.at("message"), "load mode Dual Timer read back");
}

}  // namespace
}  // namespace kestrane::testing
