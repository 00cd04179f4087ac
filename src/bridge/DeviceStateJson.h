// One controller's record as the bridge publishes it: the state object in
// real units under the keys of StateFields.h, and the link object of its
// counters. Pure: values in, JSON out; the time is passed in.
#pragma once

#include <chrono>

#include <nlohmann/json.hpp>

#include "bus/BusResult.h"
#include "protocol/ControllerData.h"

namespace kestrane::bridge {

// Every key of kStateFields plus the extra keys listed beside it. Values are
// as decoded, also when they are implausible.
nlohmann::json DeviceStateJson(const ControllerData& data,
                               std::chrono::system_clock::time_point when);

// {"requests": n, "<BusResultName>": n for every result, "last_cycle_ms": x}
nlohmann::json LinkJson(const LinkCounters& counters, double lastCycleMs);

// "2026-06-01T07:30:00.250+02:00" in the local time zone.
std::string IsoTimestamp(std::chrono::system_clock::time_point when);

}  // namespace kestrane::bridge
