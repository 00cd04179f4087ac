// Where the MQTT publisher joins the bridge: made once in main from the
// config, fed every update beside the JSON-lines writer, and given the
// command sink through which Home Assistant's commands reach the buses.
#pragma once

#include <memory>

#include "bridge/BridgeConfig.h"
#include "bridge/BridgeLink.h"
#include "bridge/MqttPublisher.h"

namespace kestrane::bridge {

// The publisher for config.mqtt; nullptr when the config has no [mqtt]
// table or the client cannot start with it (the reason is logged).
std::unique_ptr<MqttPublisher> MakeMqttSink(const BridgeConfig& config, ICommandSink& commands);

}  // namespace kestrane::bridge
