// The broker connection through the faults a 24/7 service meets: a bridge
// that dies, a broker that restarts, freezes or is not there yet, a login
// the broker refuses.
#include <gtest/gtest.h>
#include <signal.h>

#include <nlohmann/json.hpp>

#include "bridge/MqttPublisher.h"
#include "mqtt/BridgeTestKit.h"
#include "mqtt/ChildProcess.h"
#include "support/TargetProgram.h"

namespace kestrane::testing {
namespace {

using bridge::MqttPublisher;

using Connection = BrokerTest;

TEST_F(Connection, BridgeAvailabilityIsTheWillWhenKilledAndOfflineAfterACleanStop) {
    MqttProbe probe(broker_.Port());
    ASSERT_TRUE(probe.WaitSubscribed());

    // A client process killed outright never says goodbye: the broker
    // publishes its last will.
    ChildProcess client;
    ScratchDir dir("kestrane-client");
    ASSERT_TRUE(client.Start(TargetProgramArguments(KESTRANE_BRIDGE_CLIENT_EXE,
                                                    {std::to_string(broker_.Port()), "killed"}),
                             dir.Slashed() + "log"));
    const bool online = probe.WaitFor(
        [](const auto& m) { return Says(m, "killed/bridge/availability", "online"); });
    client.Stop(SIGKILL);
    ASSERT_TRUE(online);
    EXPECT_TRUE(probe.WaitFor(
        [](const auto& m) { return Says(m, "killed/bridge/availability", "offline"); }));

    {
        MqttPublisher publisher(Settings(), nullptr);
        std::string error;
        ASSERT_TRUE(publisher.Start(&error)) << error;
        ASSERT_TRUE(probe.WaitFor(
            [](const auto& m) { return Says(m, "kestrane/bridge/availability", "online"); }));
    }
    EXPECT_TRUE(probe.WaitFor(
        [](const auto& m) { return Says(m, "kestrane/bridge/availability", "offline"); }));
    MqttProbe late(broker_.Port());
    EXPECT_TRUE(late.WaitFor([](const auto& m) {
        return Says(m, "kestrane/bridge/availability", "offline") &&
               Says(m, "killed/bridge/availability", "offline");
    }));
}

TEST_F(Connection, BrokerRestartBringsBackDiscoveryAndOnlyTheLatestStates) {
    MqttPublisher publisher(Settings(), nullptr);
    MqttProbe probe(broker_.Port());
    std::string error;
    ASSERT_TRUE(publisher.Start(&error)) << error;
    const auto east = Identity("sn-east"), west = Identity("sn-west");
    ASSERT_TRUE(probe.WaitFor(
        [](const auto& m) { return Says(m, "kestrane/bridge/availability", "online"); }));
    publisher.Publish(Update(east, 1));
    publisher.Publish(Update(west, 1));
    ASSERT_TRUE(probe.WaitFor([&](const auto& m) { return HasAllConfigs(m, west); }));

    broker_.Kill();
    // The bus threads keep going while the broker is away.
    for (int cycle = 2; cycle <= 40; ++cycle) {
        publisher.Publish(Update(east, cycle));
        publisher.Publish(Update(west, cycle, cycle < 30));
    }
    probe.Forget();
    ASSERT_TRUE(broker_.Start(&error)) << error;
    ASSERT_TRUE(probe.WaitFor([&](const auto& m) {
        return HasAllConfigs(m, east) && HasAllConfigs(m, west) &&
               Says(m, "kestrane/sn-east/state", Update(east, 40).state.dump()) &&
               Says(m, "kestrane/sn-west/state", Update(west, 40).state.dump()) &&
               Says(m, "kestrane/sn-west/availability", "offline") &&
               Says(m, "kestrane/bridge/availability", "online");
    }));
    // The state of each device once from the bridge's republish, and perhaps
    // once more from the broker's store when the probe subscribed after it:
    // never the backlog of cycles missed.
    const auto messages = probe.Messages();
    EXPECT_LE(CountOn(messages, "kestrane/sn-east/state"), 2);
    EXPECT_LE(CountOn(messages, "kestrane/sn-west/state"), 2);
}

TEST_F(Connection, PublishingNeverWaitsForAMissingOrFrozenBroker) {
    broker_.Kill();
    MqttPublisher publisher(Settings(), nullptr);
    std::string error;
    ASSERT_TRUE(publisher.Start(&error)) << error;
    const auto shed = Identity("sn-shed");
    for (int cycle = 1; cycle <= 100; ++cycle)
        publisher.Publish(Update(shed, cycle));
    EXPECT_FALSE(publisher.Connected());

    // Broker there at last: the bridge connects on its own.
    ASSERT_TRUE(broker_.Start(&error)) << error;
    MqttProbe probe(broker_.Port());
    ASSERT_TRUE(probe.WaitFor([&](const auto& m) {
        return Says(m, "kestrane/sn-shed/state", Update(shed, 100).state.dump()) &&
               Says(m, "kestrane/bridge/availability", "online");
    }));

    // A broker that stops reading: the socket fills, the bus side goes on.
    broker_.Freeze();
    for (int cycle = 101; cycle <= 3000; ++cycle)
        publisher.Publish(Update(shed, cycle));
    broker_.Thaw();
    EXPECT_TRUE(probe.WaitFor([&](const auto& m) {
        return Says(m, "kestrane/sn-shed/state", Update(shed, 3000).state.dump());
    }));
}

TEST_F(Connection, RefusedLoginIsLoggedAndTriedAgainUntilTheRightOne) {
    broker_.Kill();
    broker_.RequireLogin("solar", "sunshine");
    std::string error;
    ASSERT_TRUE(broker_.Start(&error)) << error;

    LogRecord log;
    auto settings = Settings();
    settings.username = "solar";
    settings.password = "moonlight";
    {
        MqttPublisher wrong(settings, nullptr);
        ASSERT_TRUE(wrong.Start(&error)) << error;
        EXPECT_TRUE(log.WaitFor("refused the connection of user \"solar\"", 2)) << log.All();
        EXPECT_FALSE(wrong.Connected());
    }
    const std::string line = log.All().substr(0, log.All().find('\n'));
    EXPECT_NE(line.find("127.0.0.1:" + std::to_string(broker_.Port())), std::string::npos) << line;
    EXPECT_NE(line.find("retrying"), std::string::npos) << line;

    MqttProbe probe(broker_.Port(), "solar", "sunshine");
    settings.password = "sunshine";
    MqttPublisher right(settings, nullptr);
    ASSERT_TRUE(right.Start(&error)) << error;
    EXPECT_TRUE(probe.WaitFor(
        [](const auto& m) { return Says(m, "kestrane/bridge/availability", "online"); }));
}

TEST_F(Connection, TlsNeedsTheBrokersCaAndAFailedHandshakeIsRetried) {
    broker_.Kill();
    std::string error;
    ASSERT_TRUE(broker_.ServeTls(&error)) << error;
    ASSERT_TRUE(broker_.Start(&error)) << error;
    MqttProbe probe(broker_.Port());  // on the plain listener
    LogRecord log;
    auto settings = Settings();
    settings.port = broker_.TlsPort();
    settings.tlsCaFile = broker_.OtherCaFile();
    {
        MqttPublisher wrong(settings, nullptr);
        ASSERT_TRUE(wrong.Start(&error)) << error;
        EXPECT_TRUE(log.WaitFor("cannot connect to 127.0.0.1:" + std::to_string(broker_.TlsPort())))
            << log.All();
        EXPECT_NE(log.All().find("tls_ca_file"), std::string::npos) << log.All();
        // Still trying: a handshake that failed must not end the attempts.
        EXPECT_TRUE(broker_.WaitForLog("unknown ca", 2)) << broker_.Log();
        EXPECT_FALSE(wrong.Connected());
    }
    settings.tlsCaFile = broker_.CaFile();
    MqttPublisher right(settings, nullptr);
    ASSERT_TRUE(right.Start(&error)) << error;
    EXPECT_TRUE(probe.WaitFor(
        [](const auto& m) { return Says(m, "kestrane/bridge/availability", "online"); }));
}

TEST_F(Connection, UnusableSettingsAreRefusedAtStart) {
    auto settings = Settings();
    settings.tlsCaFile = "/nonexistent/ca.crt";
    MqttPublisher publisher(settings, nullptr);
    std::string error;
    EXPECT_FALSE(publisher.Start(&error));
    EXPECT_NE(error.find("/nonexistent/ca.crt"), std::string::npos) << error;

    settings = Settings();
    settings.port = 70000;
    MqttPublisher badPort(settings, nullptr);
    EXPECT_FALSE(badPort.Start(&error));
    EXPECT_NE(error.find("70000"), std::string::npos) << error;
}

}  // namespace
}  // namespace kestrane::testing
