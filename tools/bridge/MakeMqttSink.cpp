#include "MakeMqttSink.h"

#include "bridge/BridgeLog.h"
#include "bridge/MqttPublisher.h"

namespace kestrane::bridge {

std::unique_ptr<MqttPublisher> MakeMqttSink(const BridgeConfig& config, ICommandSink& commands) {
    if (!config.mqtt) return nullptr;
    const MqttConfig& mqtt = *config.mqtt;
    MqttSettings settings;
    settings.host = mqtt.host;
    settings.port = mqtt.port;
    settings.clientId = mqtt.clientId;
    settings.username = mqtt.username;
    settings.password = mqtt.password;
    settings.tlsCaFile = mqtt.tlsCaFile;
    settings.topicPrefix = mqtt.topicPrefix;
    settings.discoveryPrefix = mqtt.discoveryPrefix;
    settings.keepalive = mqtt.keepaliveS;
    auto publisher = std::make_unique<MqttPublisher>(std::move(settings), &commands);
    std::string error;
    if (!publisher->Start(&error)) {
        BridgeLog(LogLevel::kError, config.path + ": " + error);
        return nullptr;
    }
    return publisher;
}

}  // namespace kestrane::bridge
