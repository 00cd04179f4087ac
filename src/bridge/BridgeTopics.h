// The bridge's topic names, in one place, so that what is published and what
// is subscribed to cannot drift apart.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "bridge/BridgeLink.h"

namespace kestrane::bridge {

class BridgeTopics {
public:
    BridgeTopics(std::string topicPrefix, std::string discoveryPrefix);

    std::string DeviceAvailability(const std::string& deviceId) const;
    std::string State(const std::string& deviceId) const;
    std::string Link(const std::string& deviceId) const;
    std::string Event(const std::string& deviceId) const;
    std::string LoadModeCommand(const std::string& deviceId) const;
    std::string ClockCommand(const std::string& deviceId) const;

    // The subscriptions that carry every device's commands.
    std::string LoadModeCommandFilter() const;
    std::string ClockCommandFilter() const;
    // Where Home Assistant announces "online" when it (re)starts.
    std::string HomeAssistantStatus() const;

    // <discovery_prefix>/<component>/<uniqueId>/config
    std::string DiscoveryConfig(std::string_view component, const std::string& uniqueId) const;

    // A command topic split into its device and kind; nullopt for any other
    // topic.
    struct CommandTopic {
        std::string deviceId;
        DeviceCommand::Kind kind;
    };
    std::optional<CommandTopic> ParseCommand(std::string_view topic) const;

private:
    std::string prefix_, discovery_;
};

}  // namespace kestrane::bridge
