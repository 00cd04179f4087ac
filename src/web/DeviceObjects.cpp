#include "web/DeviceObjects.h"

#include <algorithm>
#include <cstdint>

#include "bridge/DeviceStateJson.h"

namespace kestrane::web {

namespace {

nlohmann::json AgeSeconds(const bridge::DeviceSnapshot& device,
                          std::chrono::steady_clock::time_point now) {
    if (!device.lastUpdateSteady) return nullptr;
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - *device.lastUpdateSteady);
    return static_cast<double>(std::max<int64_t>(millis.count(), 0)) / 1000.0;
}

}  // namespace

nlohmann::json DeviceObject(const bridge::DeviceSnapshot& device,
                            std::chrono::steady_clock::time_point now) {
    const bridge::DeviceUpdate& update = device.update;
    const bridge::DeviceIdentity& identity = update.identity;
    return {
        {"id", identity.deviceId},
        {"name", identity.name},
        {"bus", identity.busIndex},
        {"address", identity.address},
        {"online", update.online},
        {"allow_control", identity.allowControl},
        {"last_update", device.lastUpdate ? nlohmann::json(bridge::IsoTimestamp(*device.lastUpdate))
                                          : nlohmann::json(nullptr)},
        {"age_s", AgeSeconds(device, now)},
        {"state", update.state},
        {"link", update.link.is_null() ? nlohmann::json::object() : update.link}};
}

nlohmann::json DeviceDetail(const bridge::DeviceSnapshot& device) {
    nlohmann::json detail = DeviceObject(device);
    const bridge::DeviceIdentity& identity = device.update.identity;
    detail["identity"] = {{"model", identity.model},
                          {"serial_number", identity.serialNumber},
                          {"firmware", identity.firmware}};
    detail["settings"] = device.update.settings;
    detail["settings_read_at"] = device.update.settingsReadAt.empty()
                                     ? nlohmann::json(nullptr)
                                     : nlohmann::json(device.update.settingsReadAt);
    return detail;
}

}  // namespace kestrane::web
