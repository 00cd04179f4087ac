#include "mqtt/BridgeTestKit.h"

#include <algorithm>

#include "bridge/BridgeLog.h"
#include "bridge/BridgeTopics.h"
#include "bridge/HaDiscovery.h"

namespace kestrane::testing {

LogRecord::LogRecord() {
    bridge::DivertBridgeLog([this](std::string_view line) {
        const std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
        changed_.notify_all();
    });
}

LogRecord::~LogRecord() {
    bridge::DivertBridgeLog(nullptr);
}

bool LogRecord::WaitFor(const std::string& text, int count, std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        return std::count_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
                   return line.find(text) != std::string::npos;
               }) >= count;
    });
}

std::string LogRecord::All() const {
    const std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& line : lines_)
        all += line + "\n";
    return all;
}

bool RecordingCommandSink::Submit(const bridge::DeviceCommand& command) {
    const std::lock_guard lock(mutex_);
    commands_.push_back(command);
    changed_.notify_all();
    return true;
}

bool RecordingCommandSink::WaitForCount(size_t count, std::chrono::seconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return commands_.size() >= count; });
}

std::vector<bridge::DeviceCommand> RecordingCommandSink::Commands() const {
    const std::lock_guard lock(mutex_);
    return commands_;
}

bridge::DeviceIdentity Identity(const std::string& deviceId, bool allowControl) {
    bridge::DeviceIdentity identity;
    identity.deviceId = deviceId;
    identity.name = "Controller " + deviceId;
    identity.model = "MPPT 20A";
    identity.serialNumber = deviceId;
    identity.firmware = "V1.0";
    identity.allowControl = allowControl;
    return identity;
}

bridge::DeviceUpdate Update(const bridge::DeviceIdentity& identity, double pvVoltage, bool online) {
    bridge::DeviceUpdate update;
    update.identity = identity;
    update.online = online;
    update.state = {{"pv_voltage", pvVoltage}, {"load_on", true}};
    update.link = {{"requests", 8}, {"last_cycle_ms", 312.5}};
    return update;
}

void BrokerTest::SetUp() {
    std::string error;
    ASSERT_TRUE(broker_.Start(&error)) << error;
}

bridge::MqttSettings BrokerTest::Settings() const {
    bridge::MqttSettings settings;
    settings.port = broker_.Port();
    settings.clientId = "kestrane-test";
    return settings;
}

bool BrokerTest::Has(const std::vector<ProbeMessage>& messages, const std::string& topic,
                     const std::string& payload) {
    return std::any_of(messages.begin(), messages.end(), [&](const ProbeMessage& m) {
        return m.topic == topic && m.payload == payload;
    });
}

bool BrokerTest::Says(const std::vector<ProbeMessage>& messages, const std::string& topic,
                      const std::string& payload) {
    const auto last = std::find_if(messages.rbegin(), messages.rend(),
                                   [&](const ProbeMessage& m) { return m.topic == topic; });
    return last != messages.rend() && last->payload == payload;
}

bool BrokerTest::HasAllConfigs(const std::vector<ProbeMessage>& messages,
                               const bridge::DeviceIdentity& identity) {
    const bridge::BridgeTopics topics("kestrane", "homeassistant");
    const bridge::HaDiscovery discovery(topics, "kestrane/bridge/availability");
    for (const auto& config : discovery.Configs(identity))
        if (!Has(messages, config.topic, config.payload)) return false;
    return true;
}

}  // namespace kestrane::testing
