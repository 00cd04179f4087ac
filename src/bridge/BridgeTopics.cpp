#include "bridge/BridgeTopics.h"

namespace kestrane::bridge {

namespace {

constexpr std::string_view kLoadModeSet = "/load_mode/set";
constexpr std::string_view kClockSet = "/clock/set";

}  // namespace

BridgeTopics::BridgeTopics(std::string topicPrefix, std::string discoveryPrefix)
    : prefix_(std::move(topicPrefix)), discovery_(std::move(discoveryPrefix)) {}

std::string BridgeTopics::DeviceAvailability(const std::string& deviceId) const {
    return prefix_ + "/" + deviceId + "/availability";
}
std::string BridgeTopics::State(const std::string& deviceId) const {
    return prefix_ + "/" + deviceId + "/state";
}
std::string BridgeTopics::Link(const std::string& deviceId) const {
    return prefix_ + "/" + deviceId + "/link";
}
std::string BridgeTopics::Event(const std::string& deviceId) const {
    return prefix_ + "/" + deviceId + "/event";
}
std::string BridgeTopics::LoadModeCommand(const std::string& deviceId) const {
    return prefix_ + "/" + deviceId + std::string(kLoadModeSet);
}
std::string BridgeTopics::ClockCommand(const std::string& deviceId) const {
    return prefix_ + "/" + deviceId + std::string(kClockSet);
}
std::string BridgeTopics::LoadModeCommandFilter() const {
    return LoadModeCommand("+");
}
std::string BridgeTopics::ClockCommandFilter() const {
    return ClockCommand("+");
}
std::string BridgeTopics::HomeAssistantStatus() const {
    return discovery_ + "/status";
}

std::string BridgeTopics::DiscoveryConfig(std::string_view component,
                                          const std::string& uniqueId) const {
    return discovery_ + "/" + std::string(component) + "/" + uniqueId + "/config";
}

std::optional<BridgeTopics::CommandTopic> BridgeTopics::ParseCommand(std::string_view topic) const {
    const std::string head = prefix_ + "/";
    if (!topic.starts_with(head)) return std::nullopt;
    topic.remove_prefix(head.size());
    for (const auto& [tail, kind] : {std::pair{kLoadModeSet, DeviceCommand::Kind::kSetLoadMode},
                                     std::pair{kClockSet, DeviceCommand::Kind::kSetClock}}) {
        if (!topic.ends_with(tail)) continue;
        const std::string_view id = topic.substr(0, topic.size() - tail.size());
        if (id.empty() || id.find('/') != std::string_view::npos) return std::nullopt;
        return CommandTopic{std::string(id), kind};
    }
    return std::nullopt;
}

}  // namespace kestrane::bridge
