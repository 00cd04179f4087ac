#include "web/metrics/BridgeMetrics.h"

#include <optional>
#include <string>

namespace kestrane::web::metrics {

namespace {

using nlohmann::json;

// A family with one unlabelled sample, when the status has the value.
void Single(MetricsWriter& out, const MetricFamily& family, std::optional<double> value,
            double scale = 1) {
    if (!value) return;
    out.Begin(family);
    out.Sample({}, *value * scale);
}

}  // namespace

void WriteBridgeMetrics(const json& status, MetricsWriter& out) {
    if (!status.is_object()) return;
    if (status.contains("version") && status["version"].is_string()) {
        out.Begin({"kestrane_bridge_info", MetricType::kGauge,
                   "The bridge's program version; always 1."});
        out.Sample({{"version", status["version"].get<std::string>()}}, 1);
    }
    Single(
        out,
        {"kestrane_bridge_uptime_seconds", MetricType::kGauge, "Seconds since the bridge started."},
        JsonNumber(status, "uptime_s"));
    Single(out,
           {"kestrane_bridge_poll_interval_seconds", MetricType::kGauge,
            "Seconds between the bridge's polls of each controller, as configured."},
           JsonNumber(status, "poll_interval_s"));

    const json buses = status.value("buses", json::array());
    if (buses.is_array() && !buses.empty()) {
        out.Begin({"kestrane_bus_line_open", MetricType::kGauge,
                   "1 when the bridge has the bus's serial line or TCP link open, else 0."});
        for (const json& bus : buses)
            if (const auto open = JsonNumber(bus, "open"); open && bus.contains("index"))
                out.Sample({{"bus", bus["index"].dump()}}, *open);
        out.Begin({"kestrane_bus_last_pass_seconds", MetricType::kGauge,
                   "Seconds the bridge's last pass over all controllers of the bus took."});
        for (const json& bus : buses)
            if (const auto ms = JsonNumber(bus, "last_pass_ms"); ms && bus.contains("index"))
                out.Sample({{"bus", bus["index"].dump()}}, *ms / 1000.0);
    }

    const json mqtt = status.value("mqtt", json::object());
    if (mqtt.is_object() && mqtt.value("configured", false))
        Single(out,
               {"kestrane_mqtt_connected", MetricType::kGauge,
                "1 when the bridge is connected to its MQTT broker, else 0."},
               JsonNumber(mqtt, "connected"));

    const json history = status.value("history", json::object());
    if (history.is_object() && history.value("enabled", false)) {
        Single(out,
               {"kestrane_history_ok", MetricType::kGauge,
                "1 while the bridge's history writes succeed, 0 after a failed write."},
               JsonNumber(history, "ok"));
        Single(out,
               {"kestrane_history_written_records_total", MetricType::kCounter,
                "History records the bridge has written since it started."},
               JsonNumber(history, "records_written"));
        Single(out,
               {"kestrane_history_dropped_records_total", MetricType::kCounter,
                "History records the bridge dropped since it started because its queue "
                "was full."},
               JsonNumber(history, "history_dropped"));
        Single(out,
               {"kestrane_history_queued_records", MetricType::kGauge,
                "History records waiting to be written."},
               JsonNumber(history, "queued"));
    }
}

}  // namespace kestrane::web::metrics
