// The long-running threads of a running bridge, under the watch of one
// Liveness: every bus thread, the MQTT network thread, the web server's
// housekeeper and the history writer, for those that run.
#pragma once

#include "BridgeWeb.h"
#include "bridge/BridgeBuses.h"
#include "bridge/HistoryWriter.h"
#include "bridge/Liveness.h"
#include "bridge/MqttPublisher.h"

namespace kestrane::bridge {

// Each pointer may be null for a part that does not run; what is watched
// must outlive the result.
Liveness WatchBridgeThreads(const BridgeBuses& buses, const MqttPublisher* mqtt,
                            const BridgeWeb* web, const HistoryWriter* history);

}  // namespace kestrane::bridge
