#include "bridge/HaDiscovery.h"

#include "bridge/LoadModeOptions.h"
#include "bridge/MqttJson.h"
#include "bridge/StateFields.h"

namespace kestrane::bridge {

namespace {

constexpr std::string_view kLoadModeKey = "load_mode";
constexpr std::string_view kSetClockKey = "set_clock";

std::string_view Component(EntityKind kind) {
    return kind == EntityKind::kBinarySensor ? "binary_sensor" : "sensor";
}

}  // namespace

HaDiscovery::HaDiscovery(const BridgeTopics& topics, std::string bridgeAvailabilityTopic)
    : topics_(topics), bridgeAvailability_(std::move(bridgeAvailabilityTopic)) {}

std::string HaDiscovery::UniqueId(const std::string& deviceId, std::string_view key) {
    return "kestrane_" + deviceId + "_" + std::string(key);
}

nlohmann::json HaDiscovery::Common(const DeviceIdentity& device, std::string_view key,
                                   std::string_view name) const {
    nlohmann::json block = {{"identifiers", {"kestrane_" + device.deviceId}},
                            {"name", device.name.empty() ? device.deviceId : device.name}};
    if (!device.model.empty()) block["model"] = device.model;
    if (!device.firmware.empty()) block["sw_version"] = device.firmware;
    if (!device.serialNumber.empty()) block["serial_number"] = device.serialNumber;
    return {
        {"unique_id", UniqueId(device.deviceId, key)},
        {"name", name},
        {"device", std::move(block)},
        // Both must be online: a live bridge with a silent controller is as
        // unavailable as a controller whose bridge has gone.
        {"availability",
         {{{"topic", bridgeAvailability_}},
          {{"topic", topics_.DeviceAvailability(device.deviceId)}}}},
        {"availability_mode", "all"},
    };
}

std::vector<TopicPayload> HaDiscovery::Configs(const DeviceIdentity& device) const {
    std::vector<TopicPayload> configs;
    const std::string state = topics_.State(device.deviceId);
    for (const StateField& field : kStateFields) {
        nlohmann::json config = Common(device, field.key, field.label);
        config["state_topic"] = state;
        config["value_template"] = "{{ value_json." + std::string(field.key) + " }}";
        if (!field.unit.empty()) config["unit_of_measurement"] = field.unit;
        if (!field.deviceClass.empty()) config["device_class"] = field.deviceClass;
        if (!field.stateClass.empty()) config["state_class"] = field.stateClass;
        if (field.kind == EntityKind::kBinarySensor) {
            // Home Assistant renders a JSON true through the template as "True".
            config["payload_on"] = "True";
            config["payload_off"] = "False";
        }
        configs.push_back(
            {topics_.DiscoveryConfig(Component(field.kind), UniqueId(device.deviceId, field.key)),
             JsonText(config)});
    }
    if (!device.allowControl) return configs;

    nlohmann::json select = Common(device, kLoadModeKey, "Load mode");
    select["command_topic"] = topics_.LoadModeCommand(device.deviceId);
    // The select shows the mode the controller reports, not the last choice.
    select["state_topic"] = state;
    select["value_template"] = "{{ value_json." + std::string(kLoadModeKey) + " }}";
    select["options"] = nlohmann::json::array();
    for (const LoadModeOption& option : kLoadModeOptions)
        select["options"].push_back(option.text);
    configs.push_back({topics_.DiscoveryConfig("select", UniqueId(device.deviceId, kLoadModeKey)),
                       JsonText(select)});

    nlohmann::json button = Common(device, kSetClockKey, "Set clock");
    button["command_topic"] = topics_.ClockCommand(device.deviceId);
    button["payload_press"] = "PRESS";
    configs.push_back({topics_.DiscoveryConfig("button", UniqueId(device.deviceId, kSetClockKey)),
                       JsonText(button)});
    return configs;
}

std::vector<std::string> HaDiscovery::ConfigTopics(const std::string& deviceId) const {
    std::vector<std::string> topics;
    for (const StateField& field : kStateFields)
        topics.push_back(
            topics_.DiscoveryConfig(Component(field.kind), UniqueId(deviceId, field.key)));
    topics.push_back(topics_.DiscoveryConfig("select", UniqueId(deviceId, kLoadModeKey)));
    topics.push_back(topics_.DiscoveryConfig("button", UniqueId(deviceId, kSetClockKey)));
    return topics;
}

}  // namespace kestrane::bridge
