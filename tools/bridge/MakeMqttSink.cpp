#include "MakeMqttSink.h"

namespace kestrane::bridge {

std::unique_ptr<IUpdateSink> MakeMqttSink(const BridgeConfig& config, ICommandSink& commands) {
    (void)config;
    (void)commands;
    return nullptr;
}

}  // namespace kestrane::bridge
