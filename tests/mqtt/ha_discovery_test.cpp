// Discovery configs and topic names, without a broker.
#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>

#include "bridge/HaDiscovery.h"
#include "bridge/LoadModeOptions.h"
#include "bridge/StateFields.h"

namespace kestrane::bridge {
namespace {

DeviceIdentity Shed(bool control) {
    DeviceIdentity device;
    device.deviceId = "sn-a1b2";
    device.name = "Shed east";
    device.model = "MPPT 40A";
    device.serialNumber = "A1B2";
    device.firmware = "V2.3";
    device.allowControl = control;
    return device;
}

TEST(HaDiscovery, EveryStateFieldIsAnnouncedWithItsTemplateUnitAndClasses) {
    const BridgeTopics topics("kestrane", "homeassistant");
    const HaDiscovery discovery(topics, "kestrane/bridge/availability");
    const auto configs = discovery.Configs(Shed(false));
    ASSERT_EQ(configs.size(), std::size(kStateFields));
    std::set<std::string> uniqueIds;
    for (size_t i = 0; i < configs.size(); ++i) {
        const StateField& field = kStateFields[i];
        SCOPED_TRACE(std::string(field.key));
        const auto config = nlohmann::json::parse(configs[i].payload);
        const std::string component =
            field.kind == EntityKind::kBinarySensor ? "binary_sensor" : "sensor";
        EXPECT_EQ(configs[i].topic, "homeassistant/" + component + "/" +
                                        config.at("unique_id").get<std::string>() + "/config");
        uniqueIds.insert(config.at("unique_id"));
        EXPECT_EQ(config.at("name"), field.label);
        EXPECT_EQ(config.at("state_topic"), "kestrane/sn-a1b2/state");
        EXPECT_EQ(config.at("value_template"), "{{ value_json." + std::string(field.key) + " }}");
        EXPECT_EQ(config.value("unit_of_measurement", ""), field.unit);
        EXPECT_EQ(config.value("device_class", ""), field.deviceClass);
        EXPECT_EQ(config.value("state_class", ""), field.stateClass);
        EXPECT_EQ(config.at("availability_mode"), "all");
        EXPECT_EQ(config.at("availability"),
                  nlohmann::json::parse(R"([{"topic":"kestrane/bridge/availability"},
                                            {"topic":"kestrane/sn-a1b2/availability"}])"));
        const auto& device = config.at("device");
        EXPECT_EQ(device.at("identifiers"), nlohmann::json::array({"kestrane_sn-a1b2"}));
        EXPECT_EQ(device.at("name"), "Shed east");
        EXPECT_EQ(device.at("model"), "MPPT 40A");
        EXPECT_EQ(device.at("sw_version"), "V2.3");
        // Home Assistant renders a JSON true through `{{ value_json.x }}` as "True".
        if (field.kind == EntityKind::kBinarySensor) {
            EXPECT_EQ(config.at("payload_on"), "True");
            EXPECT_EQ(config.at("payload_off"), "False");
        }
        EXPECT_FALSE(config.contains("command_topic"));
    }
    EXPECT_EQ(uniqueIds.size(), configs.size());
}

TEST(HaDiscovery, ControlAddsTheLoadModeSelectAndTheClockButton) {
    const BridgeTopics topics("kestrane", "homeassistant");
    const HaDiscovery discovery(topics, "kestrane/bridge/availability");
    const auto configs = discovery.Configs(Shed(true));
    ASSERT_EQ(configs.size(), std::size(kStateFields) + 2);
    const auto select = nlohmann::json::parse(configs[configs.size() - 2].payload);
    EXPECT_EQ(configs[configs.size() - 2].topic,
              "homeassistant/select/kestrane_sn-a1b2_load_mode/config");
    EXPECT_EQ(select.at("command_topic"), "kestrane/sn-a1b2/load_mode/set");
    EXPECT_EQ(select.at("state_topic"), "kestrane/sn-a1b2/state");
    EXPECT_EQ(select.at("value_template"), "{{ value_json.load_mode }}");
    EXPECT_EQ(select.at("options"),
              nlohmann::json::parse(R"(["Light","Light&Time","Dual Timer","On","Off"])"));
    const auto button = nlohmann::json::parse(configs.back().payload);
    EXPECT_EQ(configs.back().topic, "homeassistant/button/kestrane_sn-a1b2_set_clock/config");
    EXPECT_EQ(button.at("command_topic"), "kestrane/sn-a1b2/clock/set");
    EXPECT_EQ(button.at("availability_mode"), "all");
}

TEST(HaDiscovery, WithdrawalCoversEveryConfigTopic) {
    const BridgeTopics topics("kestrane", "homeassistant");
    const HaDiscovery discovery(topics, "kestrane/bridge/availability");
    const auto withdrawn = discovery.ConfigTopics("sn-a1b2");
    for (const auto& config : discovery.Configs(Shed(true)))
        EXPECT_NE(std::find(withdrawn.begin(), withdrawn.end(), config.topic), withdrawn.end())
            << config.topic;
}

TEST(HaDiscovery, UnknownIdentityStillNamesTheDevice) {
    const BridgeTopics topics("kestrane", "homeassistant");
    const HaDiscovery discovery(topics, "kestrane/bridge/availability");
    DeviceIdentity device;
    device.deviceId = "bus0-addr7";
    const auto config = nlohmann::json::parse(discovery.Configs(device).front().payload);
    EXPECT_EQ(config.at("device").at("name"), "bus0-addr7");
    EXPECT_FALSE(config.at("device").contains("model"));
    EXPECT_FALSE(config.at("device").contains("sw_version"));
}

TEST(BridgeTopics, CommandTopicsParseOnlyForOneDeviceLevelUnderThePrefix) {
    const BridgeTopics topics("kestrane/shed", "homeassistant");
    struct Case {
        const char* topic;
        const char* deviceId;  // nullptr: not a command
        DeviceCommand::Kind kind;
    };
    const Case cases[] = {
        {"kestrane/shed/sn-1/load_mode/set", "sn-1", DeviceCommand::Kind::kSetLoadMode},
        {"kestrane/shed/bus0-addr2/clock/set", "bus0-addr2", DeviceCommand::Kind::kSetClock},
        {"kestrane/shed/a/b/clock/set", nullptr, {}},
        {"kestrane/shed//clock/set", nullptr, {}},
        {"kestrane/shed/clock/set", nullptr, {}},
        {"kestrane/other/sn-1/clock/set", nullptr, {}},
        {"kestrane/shed/sn-1/state", nullptr, {}},
        {"kestrane/shed/sn-1/load_mode/set/x", nullptr, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.topic);
        const auto parsed = topics.ParseCommand(c.topic);
        ASSERT_EQ(parsed.has_value(), c.deviceId != nullptr);
        if (!parsed) continue;
        EXPECT_EQ(parsed->deviceId, c.deviceId);
        EXPECT_EQ(parsed->kind, c.kind);
    }
    EXPECT_EQ(topics.ParseCommand(topics.LoadModeCommand("sn-9"))->deviceId, "sn-9");
}

TEST(LoadModeOptions, OnlyTheExactOptionTextsAreAccepted) {
    for (const LoadModeOption& option : kLoadModeOptions)
        EXPECT_EQ(ParseLoadModeOption(option.text), option.choice);
    for (const char* text : {"", "light", "Dual timer", "On ", "Light&Time\n", "4"})
        EXPECT_FALSE(ParseLoadModeOption(text)) << text;
}

}  // namespace
}  // namespace kestrane::bridge
