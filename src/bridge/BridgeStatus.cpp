#include "bridge/BridgeStatus.h"

#include "platform/BuildInfo.h"

namespace kestrane::bridge {

nlohmann::json BridgeStatusJson(const BridgeStatusInputs& inputs) {
    using nlohmann::json;
    json buses = json::array();
    if (inputs.buses != nullptr) {
        int index = 0;
        for (const auto& bus : inputs.buses->Buses())
            buses.push_back({{"index", index++},
                             {"port", bus->Port()},
                             {"open", bus->LineOpen()},
                             {"last_pass_ms", bus->LastPassMs()},
                             {"devices", bus->DeviceCount()}});
    }
    json history = {{"enabled", false}};
    if (inputs.history != nullptr) {
        const HistoryStatus status = inputs.history->Status();
        history = {{"enabled", status.enabled},         {"dir", status.dir},
                   {"interval_s", status.intervalS},    {"ok", !status.failing},
                   {"history_dropped", status.dropped}, {"records_written", status.written},
                   {"queued", status.queued},           {"last_error", status.lastError}};
    }
    const auto uptime = std::chrono::steady_clock::now() - inputs.started;
    return {{"version", kProgramVersion},
            {"uptime_s", std::chrono::duration_cast<std::chrono::seconds>(uptime).count()},
            {"poll_interval_s", inputs.pollIntervalS},
            {"buses", buses},
            {"mqtt",
             {{"configured", static_cast<bool>(inputs.mqttConnected)},
              {"connected", inputs.mqttConnected && inputs.mqttConnected()}}},
            {"history", history}};
}

}  // namespace kestrane::bridge
