// The latest of every configured controller, as the web page, its live
// stream and the metrics show it: fed from the bridge's update fan-out like
// the other publishers, read from the web server's threads. Every configured
// controller has an entry from the start, so one that never answered is
// listed too.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bridge/BridgeConfig.h"
#include "bridge/BridgeLink.h"

namespace kestrane::bridge {

struct DeviceSnapshot {
    DeviceUpdate update;
    // When the state last changed (a good cycle); nothing before the first.
    // The wall time is for showing; ages are measured on the steady time, so
    // a clock that network time sets late (or sets back) ages nothing.
    std::optional<std::chrono::system_clock::time_point> lastUpdate;
    std::optional<std::chrono::steady_clock::time_point> lastUpdateSteady;
};

class DeviceBoard : public IUpdateSink {
public:
    // Called after every update with the device's snapshot and whether its
    // availability changed; on the bus thread, outside the board's lock.
    using Listener = std::function<void(const DeviceSnapshot&, bool availabilityChanged)>;

    explicit DeviceBoard(const BridgeConfig& config);

    // Set before the bus threads start.
    void SetListener(Listener listener) { listener_ = std::move(listener); }

    void Publish(const DeviceUpdate& update) override;
    void ReportOutcome(const CommandOutcome&) override {}
    void Renamed(const std::string&, const DeviceIdentity&) override {}

    // Every device in the order of the config.
    std::vector<DeviceSnapshot> Devices() const;
    // One device by its current id.
    std::optional<DeviceSnapshot> Device(const std::string& deviceId) const;

private:
    using Key = std::pair<int, int>;  // bus, address
    mutable std::mutex mutex_;
    std::vector<Key> order_;
    std::map<Key, DeviceSnapshot> devices_;
    Listener listener_;
};

}  // namespace kestrane::bridge
