// Home Assistant's MQTT discovery for one controller: a retained config per
// entity, so that Home Assistant creates the sensors without anyone typing
// them in. Every row of kStateFields becomes a sensor or binary sensor reading
// its value out of the device's state message; a device with control enabled
// also gets a select for its load mode and a button that sets its clock.
#pragma once

#include <string>
#include <vector>

#include "bridge/BridgeLink.h"
#include "bridge/BridgeTopics.h"

namespace kestrane::bridge {

struct TopicPayload {
    std::string topic;
    std::string payload;
};

class HaDiscovery {
public:
    HaDiscovery(const BridgeTopics& topics, std::string bridgeAvailabilityTopic);

    // One config per entity of `device`.
    std::vector<TopicPayload> Configs(const DeviceIdentity& device) const;
    // Every config topic a device under `deviceId` may have had, with or
    // without control: an empty retained message on each withdraws them.
    std::vector<std::string> ConfigTopics(const std::string& deviceId) const;

    static std::string UniqueId(const std::string& deviceId, std::string_view key);

private:
    nlohmann::json Common(const DeviceIdentity& device, std::string_view key,
                          std::string_view name) const;

    const BridgeTopics& topics_;
    std::string bridgeAvailability_;
};

}  // namespace kestrane::bridge
