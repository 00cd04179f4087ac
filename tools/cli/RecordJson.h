// The controller record as one JSON object: every read field by name, in
// register order; numbers as stored, text fields as strings.
#pragma once

#include <string>
#include <string_view>

#include "protocol/ControllerData.h"

namespace kestrane::cli {

std::string RecordJson(const ControllerData& data);

// `text` as a JSON string literal, quotes included. Control characters and
// bytes above 0x7E (a controller's text is not promised to be UTF-8) are
// written as \u escapes of their byte value.
std::string JsonString(std::string_view text);

}  // namespace kestrane::cli
