// The controller record as JSON: every read field by name, in register order;
// numbers as stored, text fields as strings.
#pragma once

#include <nlohmann/json.hpp>
#include <string_view>

#include "bus/BusResult.h"
#include "protocol/ControllerData.h"

namespace kestrane::cli {

nlohmann::ordered_json RecordJson(const ControllerData& data);

// Requests and the count of every result class by name.
nlohmann::ordered_json LinkJson(const LinkCounters& counters);

// A controller's text as a JSON string value. Its bytes are not promised to
// be UTF-8, so each byte stands for the character of the same number
// (0xE9 becomes U+00E9, written \u00e9 in ASCII output).
std::string TextAsUtf8(std::string_view bytes);

}  // namespace kestrane::cli
