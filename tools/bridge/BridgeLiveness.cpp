#include "BridgeLiveness.h"

#include <string>

namespace kestrane::bridge {

Liveness WatchBridgeThreads(const BridgeBuses& buses, const MqttPublisher* mqtt,
                            const BridgeWeb* web, const HistoryWriter* history) {
    Liveness liveness;
    int index = 0;
    for (const auto& bus : buses.Buses())
        liveness.Watch("bus " + std::to_string(index++) + " (" + bus->Port() + ")",
                       bus->ThreadBeat());
    if (mqtt) liveness.Watch("the MQTT network thread", mqtt->ThreadBeat());
    if (web) liveness.Watch("the web server's housekeeper", web->ThreadBeat());
    if (history) liveness.Watch("the history writer", history->ThreadBeat());
    return liveness;
}

}  // namespace kestrane::bridge
