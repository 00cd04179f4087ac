// The controller record as JSON: every read field by name, in register order;
// numbers as stored, text fields as strings.
#pragma once

#include <nlohmann/json.hpp>

#include "bus/BusResult.h"
#include "protocol/ControllerData.h"

namespace kestrane::cli {

nlohmann::ordered_json RecordJson(const ControllerData& data);

// Requests and the count of every result class by name.
nlohmann::ordered_json LinkJson(const LinkCounters& counters);

}  // namespace kestrane::cli
