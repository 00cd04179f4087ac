// The controller record as JSON: every read field by name, in register order;
// numbers as stored, text fields as strings.
#pragma once

#include <nlohmann/json.hpp>

#include "protocol/ControllerData.h"

namespace kestrane::cli {

nlohmann::ordered_json RecordJson(const ControllerData& data);

}  // namespace kestrane::cli
