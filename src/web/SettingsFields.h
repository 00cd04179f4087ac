// The settings form's description for the page, made from the profile's one
// field table: each field's path, kind, range, unit and when it applies.
#pragma once

#include <nlohmann/json.hpp>

namespace kestrane::web {

// [{"path", "kind": "list", "options": [...], "need"} or
//  {"path", "kind": "number", "decimals", "min", "max", "unit", "need"}, ...]
// in the profile's order.
nlohmann::json SettingsFieldsJson();

}  // namespace kestrane::web
