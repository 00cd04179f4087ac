// The real kestrane-bridge program between a real mosquitto broker and a
// simulated RS-485 bus of three controllers (the third with a flaky line),
// watched by an independent MQTT client as Home Assistant would be.
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>

#include "bridge/StateFields.h"
#include "mqtt/BridgeTestKit.h"
#include "mqtt/ChildProcess.h"
#include "sim/SimRegisters.h"
#include "sim/SimulatorThread.h"
#include "support/TargetProgram.h"

namespace kestrane::testing {
namespace {

using sim::SimulatorOptions;
using sim::SimulatorThread;

const char* const kNames[] = {"East", "West", "Faulty"};

class BridgeProgram : public BrokerTest {
protected:
    void SetUp() override {
        BrokerTest::SetUp();
        link_ = dir_.Slashed() + "bus0";
        log_ = dir_.Slashed() + "bridge.log";
    }
    void TearDown() override { Stop(SIGKILL); }

    // Three controllers, the third losing and garbling some replies; the
    // line hangs up after `hangupAfter` requests when not 0.
    void StartBus(int hangupAfter = 0) {
        SimulatorOptions options;
        options.devices = {1, 2, 3};
        options.daySeconds = 0;
        options.linkPath = link_;
        options.faultDevice = 3;
        options.drop = 0.1;
        options.corrupt = 0.1;
        options.hangupAfter = hangupAfter;
        sim_.reset();
        sim_ = std::make_unique<SimulatorThread>(options);
        std::string error;
        ASSERT_TRUE(sim_->Start(&error)) << error;
    }

    void StartBridge() {
        const std::string config = dir_.Slashed() + "bridge.toml";
        std::ofstream(config) << "poll_interval_s = 1\n"
                              << "[mqtt]\nhost = \"127.0.0.1\"\nport = " << broker_.Port()
                              << "\nclient_id = \"kestrane-e2e\"\n"
                              << "[history]\ndir = \"" << dir_.Slashed() << "history\"\n"
                              << "[[bus]]\nport = \"" << link_ << "\"\nresponse_timeout_ms = 100\n"
                              << "retries = 1\ndevices = [\n"
                              << "  { address = 1, name = \"East\", allow_control = true },\n"
                              << "  { address = 2, name = \"West\" },\n"
                              << "  { address = 3, name = \"Faulty\" },\n]\n";
        ASSERT_TRUE(
            bridge_.Start(TargetProgramArguments(KESTRANE_BRIDGE_EXE, {"--config", config}), log_));
    }

    int Stop(int signal) { return bridge_.Stop(signal); }
    std::string Log() const { return ReadWholeFile(log_); }

    // The device id of every configured name, from the discovery configs.
    static std::map<std::string, std::string> Ids(const std::vector<ProbeMessage>& messages) {
        std::map<std::string, std::string> ids;
        for (const ProbeMessage& m : messages) {
            if (!m.topic.starts_with("homeassistant/sensor/") || m.payload.empty()) continue;
            const auto config = nlohmann::json::parse(m.payload, nullptr, false);
            if (config.is_discarded()) continue;
            const std::string state = config.value("state_topic", "");
            const std::string id = state.substr(9, state.size() - 9 - 6);  // kestrane/<id>/state
            ids[config["device"].value("name", "")] = id;
        }
        return ids;
    }
    static int StatesOf(const std::vector<ProbeMessage>& messages, const std::string& id) {
        return CountOn(messages, "kestrane/" + id + "/state");
    }
    // Every controller discovered, online, with at least `states` states.
    static bool AllUp(const std::vector<ProbeMessage>& messages, int states) {
        const auto ids = Ids(messages);
        for (const char* name : kNames) {
            const auto found = ids.find(name);
            if (found == ids.end() || !found->second.starts_with("sn-")) return false;
            if (StatesOf(messages, found->second) < states ||
                !Says(messages, "kestrane/" + found->second + "/availability", "online"))
                return false;
        }
        return true;
    }

    // The bus, a subscriber, then the bridge; waits until every controller is
    // discovered and online with at least `states` states.
    void StartAll(int states, int hangupAfter = 0) {
        StartBus(hangupAfter);
        probe_ = std::make_unique<MqttProbe>(broker_.Port());
        ASSERT_TRUE(probe_->WaitSubscribed());
        StartBridge();
        ASSERT_TRUE(probe_->WaitFor([&](const auto& m) { return AllUp(m, states); },
                                    std::chrono::seconds(40)))
            << Log();
    }

    ScratchDir dir_{"kestrane-bridge-e2e"};
    std::unique_ptr<MqttProbe> probe_;
    std::string link_, log_;
    std::unique_ptr<SimulatorThread> sim_;
    ChildProcess bridge_;
};

TEST_F(BridgeProgram, PublishesEveryControllerWithDiscoveryAndStatesEachInterval) {
    StartAll(3);
    if (HasFatalFailure()) return;
    MqttProbe& probe = *probe_;
    const auto messages = probe.Messages();
    const auto ids = Ids(messages);
    EXPECT_EQ(ids.size(), 3u);
    for (size_t index = 0; index < 3; ++index) {
        const std::string& id = ids.at(kNames[index]);
        SCOPED_TRACE(id);
        // Every field announced, as a parseable config naming the controller.
        for (const bridge::StateField& field : bridge::kStateFields) {
            const std::string component =
                field.kind == bridge::EntityKind::kBinarySensor ? "binary_sensor" : "sensor";
            const auto config = probe.Latest("homeassistant/" + component + "/kestrane_" + id +
                                             "_" + std::string(field.key) + "/config");
            ASSERT_TRUE(config) << field.key;
            const auto json = nlohmann::json::parse(config->payload);
            EXPECT_EQ(json.at("device").at("name"), kNames[index]);
            EXPECT_FALSE(json.at("device").value("model", "").empty());
            EXPECT_EQ(json.at("availability_mode"), "all");
        }
        EXPECT_EQ(
            probe.Latest("homeassistant/select/kestrane_" + id + "_load_mode/config").has_value(),
            index == 0);
        // States in real units, carrying the simulator's values, a new one each cycle.
        const auto state =
            nlohmann::json::parse(probe.Latest("kestrane/" + id + "/state")->payload);
        for (const bridge::StateField& field : bridge::kStateFields)
            EXPECT_TRUE(state.contains(field.key)) << field.key;
        EXPECT_EQ(state.at("battery_type"),
                  sim_->Registers(index, sim::reg::kBatteryType, 1).at(0));
        EXPECT_NEAR(state.at("battery_voltage").get<double>(),
                    sim_->Registers(index, sim::reg::kBatteryVoltage, 1).at(0) / 10.0, 1.0);
        std::set<std::string> stamps;
        for (const ProbeMessage& m : messages)
            if (m.topic == "kestrane/" + id + "/state")
                stamps.insert(nlohmann::json::parse(m.payload).at("timestamp"));
        EXPECT_GE(stamps.size(), 3u);
    }
    EXPECT_TRUE(Says(messages, "kestrane/bridge/availability", "online"));

    // A clean stop says goodbye; the broker keeps it for whoever comes later.
    EXPECT_EQ(Stop(SIGTERM), 0) << Log();
    MqttProbe late(broker_.Port());
    EXPECT_TRUE(late.WaitFor(
        [](const auto& m) { return Says(m, "kestrane/bridge/availability", "offline"); }));
}

TEST_F(BridgeProgram, UnpluggedBusGoesOfflineAndComesBackOnTheSamePath) {
    StartAll(1, 200);
    if (HasFatalFailure()) return;
    MqttProbe& probe = *probe_;
    const std::string west = Ids(probe.Messages()).at("West");
    const std::string availability = "kestrane/" + west + "/availability";
    ASSERT_TRUE(probe.WaitFor([&](const auto& m) { return Says(m, availability, "offline"); },
                              std::chrono::seconds(60)))
        << Log();
    EXPECT_TRUE(sim_->HungUp());

    StartBus();
    probe.Forget();
    EXPECT_TRUE(probe.WaitFor([&](const auto& m) { return Says(m, availability, "online"); },
                              std::chrono::seconds(60)))
        << Log();
    EXPECT_TRUE(probe.WaitFor([&](const auto& m) { return StatesOf(m, west) >= 1; })) << Log();
}

TEST_F(BridgeProgram, BrokerRestartBringsBackDiscoveryAndStatesAndKillLeavesTheWill) {
    StartAll(1);
    if (HasFatalFailure()) return;
    MqttProbe& probe = *probe_;

    broker_.Kill();
    std::string error;
    ASSERT_TRUE(broker_.Start(&error)) << error;
    probe.Forget();
    EXPECT_TRUE(probe.WaitFor([](const auto& m) { return AllUp(m, 1); }, std::chrono::seconds(60)))
        << Log();
    EXPECT_NE(Log().find("lost the connection"), std::string::npos) << Log();

    Stop(SIGKILL);
    EXPECT_TRUE(probe.WaitFor(
        [](const auto& m) { return Says(m, "kestrane/bridge/availability", "offline"); }));
}

TEST_F(BridgeProgram, LoadModeCommandChangesTheControllerOnlyWithControlEnabled) {
    StartAll(2);
    if (HasFatalFailure()) return;
    MqttProbe& probe = *probe_;
    const auto ids = Ids(probe.Messages());
    const uint16_t westBefore = sim_->Registers(1, sim::reg::kLoadMode, 1).at(0);

    // Commands are handled in the order they arrive: once East's outcome is
    // out, West's command has been dealt with.
    probe.Publish("kestrane/" + ids.at("West") + "/load_mode/set", "Off");
    probe.Publish("kestrane/" + ids.at("East") + "/load_mode/set", "Off");
    const std::string event = "kestrane/" + ids.at("East") + "/event";
    ASSERT_TRUE(probe.WaitFor([&](const auto& m) { return CountOn(m, event); })) << Log();
    const auto outcome = nlohmann::json::parse(probe.Latest(event)->payload);
    EXPECT_EQ(outcome.at("ok"), true) << outcome.dump();
    EXPECT_EQ(sim_->Registers(0, sim::reg::kLoadMode, 1).at(0), 5118);  // always off
    EXPECT_EQ(sim_->Registers(1, sim::reg::kLoadMode, 1).at(0), westBefore);
    EXPECT_FALSE(probe.Latest("kestrane/" + ids.at("West") + "/event"));
    EXPECT_NE(Log().find("ignored a load mode command for " + ids.at("West")), std::string::npos)
        << Log();

    probe.Publish("kestrane/" + ids.at("East") + "/load_mode/set", "On");
    ASSERT_TRUE(probe.WaitFor([&](const auto& m) { return CountOn(m, event) == 2; })) << Log();
    EXPECT_EQ(sim_->Registers(0, sim::reg::kLoadMode, 1).at(0), 5117);  // always on
}

}  // namespace
}  // namespace kestrane::testing
