#include "bridge/ConfigSummary.h"

namespace kestrane::bridge {

size_t DeviceCount(const BridgeConfig& config) {
    size_t count = 0;
    for (const BusConfig& bus : config.buses)
        count += bus.devices.size();
    return count;
}

std::string ConfigSummary(const std::string& path, const BridgeConfig& config) {
    return path + ": " + std::to_string(config.buses.size()) + " bus(es), " +
           std::to_string(DeviceCount(config)) + " device(s), " +
           (config.mqtt ? "broker " + config.mqtt->host + ":" + std::to_string(config.mqtt->port)
                        : std::string("no [mqtt] table")) +
           ", " +
           (config.web ? "web page on " + config.web->listen : std::string("no [web] table"));
}

}  // namespace kestrane::bridge
