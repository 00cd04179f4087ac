// The one line --check-config prints for a valid configuration: its buses,
// devices, broker and web page.
#pragma once

#include <cstddef>
#include <string>

#include "bridge/BridgeConfig.h"

namespace kestrane::bridge {

size_t DeviceCount(const BridgeConfig& config);

// "<path>: 2 bus(es), 3 device(s), broker 127.0.0.1:1883, web page on 0.0.0.0:8080"
std::string ConfigSummary(const std::string& path, const BridgeConfig& config);

}  // namespace kestrane::bridge
