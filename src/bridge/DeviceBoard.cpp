#include "bridge/DeviceBoard.h"

#include "bridge/BusPollerSlot.h"

namespace kestrane::bridge {

DeviceBoard::DeviceBoard(const BridgeConfig& config) {
    for (size_t bus = 0; bus < config.buses.size(); ++bus) {
        for (const DeviceConfig& device : config.buses[bus].devices) {
            const Key key{static_cast<int>(bus), device.address};
            DeviceSnapshot& snapshot = devices_[key];
            DeviceIdentity& identity = snapshot.update.identity;
            identity.deviceId = BusDeviceId(static_cast<int>(bus), device.address);
            identity.name = device.name;
            identity.busPort = config.buses[bus].port;
            identity.busIndex = static_cast<int>(bus);
            identity.address = device.address;
            identity.allowControl = device.allowControl;
            order_.push_back(key);
        }
    }
}

void DeviceBoard::Publish(const DeviceUpdate& update) {
    DeviceSnapshot copy;
    bool availabilityChanged = false;
    {
        std::lock_guard lock(mutex_);
        DeviceSnapshot& snapshot = devices_[{update.identity.busIndex, update.identity.address}];
        availabilityChanged = snapshot.update.online != update.online;
        const bool stateChanged = !update.state.is_null() && update.state != snapshot.update.state;
        snapshot.update = update;
        if (stateChanged) {
            snapshot.lastUpdate = std::chrono::system_clock::now();
            snapshot.lastUpdateSteady = std::chrono::steady_clock::now();
        }
        copy = snapshot;
    }
    if (listener_) listener_(copy, availabilityChanged);
}

std::vector<DeviceSnapshot> DeviceBoard::Devices() const {
    std::lock_guard lock(mutex_);
    std::vector<DeviceSnapshot> devices;
    devices.reserve(order_.size());
    for (const Key& key : order_)
        devices.push_back(devices_.at(key));
    return devices;
}

std::optional<DeviceSnapshot> DeviceBoard::Device(const std::string& deviceId) const {
    std::lock_guard lock(mutex_);
    for (const auto& [key, snapshot] : devices_)
        if (snapshot.update.identity.deviceId == deviceId) return snapshot;
    return std::nullopt;
}

}  // namespace kestrane::bridge
