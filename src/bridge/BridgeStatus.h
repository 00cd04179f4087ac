// The bridge as its status page shows it: version, uptime, every bus with
// its line and pass time, the broker connection and the history store.
#pragma once

#include <chrono>
#include <functional>

#include <nlohmann/json.hpp>

#include "bridge/BridgeBuses.h"
#include "bridge/HistoryWriter.h"

namespace kestrane::bridge {

struct BridgeStatusInputs {
    const BridgeBuses* buses = nullptr;
    const HistoryWriter* history = nullptr;
    std::function<bool()> mqttConnected;  // empty without an [mqtt] table
    std::chrono::steady_clock::time_point started;
    double pollIntervalS = 5;
};

// {"version", "uptime_s", "poll_interval_s", "buses": [{"index", "port", "open",
//  "last_pass_ms", "devices"}], "mqtt": {"configured", "connected"},
//  "history": {"enabled", "dir", "interval_s", "ok", "history_dropped",
//  "records_written", "queued", "last_error"}}
nlohmann::json BridgeStatusJson(const BridgeStatusInputs& inputs);

}  // namespace kestrane::bridge
