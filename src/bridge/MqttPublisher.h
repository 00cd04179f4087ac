// The MQTT side of the bridge: what the bus threads report becomes retained
// availability and state messages, link counters, Home Assistant discovery,
// and commands from Home Assistant go back to the bus side.
//
// The latest update of every device is kept (not a queue of them): when the
// broker connection comes back, or Home Assistant announces that it has
// restarted, discovery and the current states are published again, once.
//
// Threads: Publish, ReportOutcome and Renamed are called from the bus
// threads and never wait for the network; commands arrive on the MQTT network
// thread and are handed to ICommandSink::Submit without holding any lock of
// ours, so the bus side may publish from inside Submit.
#pragma once

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "bridge/BridgeLink.h"
#include "bridge/BridgeTopics.h"
#include "bridge/HaDiscovery.h"
#include "bridge/MqttClient.h"
#include "bridge/MqttSettings.h"

namespace kestrane::bridge {

class MqttPublisher : public IUpdateSink {
public:
    // `commands` may be null: then no command reaches any device.
    MqttPublisher(MqttSettings settings, ICommandSink* commands);
    ~MqttPublisher() override;  // Stop()

    // Starts connecting; false with the reason for settings that cannot work.
    bool Start(std::string* error);
    // Publishes the bridge's "offline" and disconnects cleanly.
    void Stop();

    void Publish(const DeviceUpdate& update) override;
    void ReportOutcome(const CommandOutcome& outcome) override;
    void Renamed(const std::string& oldId, const DeviceIdentity& now) override;

    bool Connected() const { return client_.Connected(); }
    const Heartbeat& ThreadBeat() const { return client_.ThreadBeat(); }

private:
    struct Device {
        DeviceUpdate last;
        bool availabilityKnown = false;  // `last.online` was published
    };

    void OnConnect();
    void OnMessage(const MqttMessage& message);
    void OnCommand(const BridgeTopics::CommandTopic& command, const MqttMessage& message);
    // Callers hold mutex_.
    void RepublishLocked();
    void AnnounceLocked(const DeviceIdentity& identity);
    void WithdrawLocked(const std::string& deviceId);
    void PublishEvent(const std::string& deviceId, bool ok, const std::string& message);

    const BridgeTopics topics_;
    const HaDiscovery discovery_;
    ICommandSink* const commands_;

    std::mutex mutex_;
    std::map<std::string, Device> devices_;
    // Ids whose entities were withdrawn; withdrawn again after a reconnect in
    // case the broker missed it.
    std::set<std::string> withdrawn_;

    MqttClient client_;  // last: its network thread stops before the rest goes
};

}  // namespace kestrane::bridge
