// How the bridge reaches its MQTT broker and where it publishes. Filled by
// the program from its configuration; the password is already read.
#pragma once

#include <string>

namespace kestrane::bridge {

struct MqttSettings {
    std::string host = "127.0.0.1";
    int port = 1883;
    std::string clientId;  // empty: the library makes one up
    std::string username;  // empty: no login
    std::string password;
    std::string tlsCaFile;  // non-empty: TLS, verifying the broker against this CA
    std::string topicPrefix = "kestrane";
    std::string discoveryPrefix = "homeassistant";
    int keepalive = 60;  // seconds
    // Reconnect backoff: the first wait, growing to the last.
    int reconnectMinS = 1;
    int reconnectMaxS = 60;
};

}  // namespace kestrane::bridge
