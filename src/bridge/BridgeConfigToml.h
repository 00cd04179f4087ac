// A bridge configuration as the TOML text LoadBridgeConfig reads, for
// kestrane-bridge setup: the polling interval, [mqtt] (host, port, client id,
// username, password_file; never a password), [web] (listen, read access,
// the password hashes), [history] and one [[bus]] per bus with its port,
// rate and devices. Other fields keep their defaults and are not written.
#pragma once

#include <string>

#include "bridge/BridgeConfig.h"

namespace kestrane::bridge {

// `heading` (may be empty) goes first, each of its lines as a comment.
std::string BridgeConfigToml(const BridgeConfig& config, const std::string& heading = {});

}  // namespace kestrane::bridge
