// JSON text for MQTT payloads. Strings that came from the network or a
// controller may hold bytes that are not UTF-8; they become U+FFFD instead
// of an exception on the thread that publishes.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace kestrane::bridge {

inline std::string JsonText(const nlohmann::json& value) {
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace kestrane::bridge
