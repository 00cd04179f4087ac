// The JSON a browser gets for a controller: the same state and link objects
// as the MQTT topics, with its id, name, place on the bus and availability.
#pragma once

#include <chrono>
#include <nlohmann/json.hpp>

#include "bridge/DeviceBoard.h"

namespace kestrane::web {

// {"id", "name", "bus", "address", "online", "allow_control", "last_update",
//  "age_s", "state", "link"}; last_update is an ISO 8601 time or null, for
// showing; age_s the seconds from it to `now` on the steady clock (or null),
// for telling fresh from stale whatever either machine's wall clock says.
nlohmann::json DeviceObject(
    const bridge::DeviceSnapshot& device,
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now());

// DeviceObject plus "identity" {"model", "serial_number", "firmware"} and
// "settings" (the settings profile object as last read, or null).
nlohmann::json DeviceDetail(const bridge::DeviceSnapshot& device);

}  // namespace kestrane::web
