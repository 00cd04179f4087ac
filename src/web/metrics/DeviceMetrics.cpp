#include "web/metrics/DeviceMetrics.h"

#include <chrono>
#include <optional>
#include <string>

#include "bus/BusResult.h"

namespace kestrane::web::metrics {

namespace {

using bridge::DeviceSnapshot;
using nlohmann::json;

// One value of the state object, scaled into the metric's base unit.
struct StateMetric {
    MetricFamily family;
    const char* key;  // key in the state object (StateFields.h)
    double scale;
};

constexpr double kJoulesPerWattHour = 3600;

const StateMetric kStateMetrics[] = {
    {{"kestrane_pv_volts", MetricType::kGauge,
      "PV (panel) voltage in volts as of the bridge's last poll, not of the scrape."},
     "pv_voltage",
     1},
    {{"kestrane_battery_volts", MetricType::kGauge,
      "Battery voltage in volts as of the bridge's last poll, not of the scrape."},
     "battery_voltage",
     1},
    {{"kestrane_load_volts", MetricType::kGauge,
      "Load output voltage in volts as of the bridge's last poll, not of the scrape."},
     "load_voltage",
     1},
    {{"kestrane_charge_amperes", MetricType::kGauge,
      "Charge current into the battery in amperes as of the bridge's last poll, not of the "
      "scrape."},
     "charge_current",
     1},
    {{"kestrane_load_amperes", MetricType::kGauge,
      "Load output current in amperes as of the bridge's last poll, not of the scrape."},
     "load_current",
     1},
    {{"kestrane_charge_watts", MetricType::kGauge,
      "Charge power in watts as of the bridge's last poll, not of the scrape."},
     "charge_power",
     1},
    {{"kestrane_load_watts", MetricType::kGauge,
      "Load output power in watts as of the bridge's last poll, not of the scrape."},
     "load_power",
     1},
    {{"kestrane_battery_temperature_celsius", MetricType::kGauge,
      "Battery temperature in degrees Celsius as of the bridge's last poll, not of the scrape."},
     "battery_temperature",
     1},
    {{"kestrane_controller_temperature_celsius", MetricType::kGauge,
      "Controller's inner temperature in degrees Celsius as of the bridge's last poll."},
     "inner_temperature",
     1},
    {{"kestrane_charge_state", MetricType::kGauge,
      "Charge state code as of the bridge's last poll, not of the scrape."},
     "charge_state",
     1},
    {{"kestrane_alarm_code", MetricType::kGauge,
      "Alarm bits as of the bridge's last poll; 0 when there is no alarm."},
     "alarm_code",
     1},
    {{"kestrane_load_on", MetricType::kGauge,
      "1 when the load output was on at the bridge's last poll, else 0."},
     "load_on",
     1},
    {{"kestrane_charged_energy_joules_total", MetricType::kCounter,
      "Energy charged into the battery over the controller's lifetime in joules, as its "
      "watt-hour total read by the bridge's last poll."},
     "charged_total_wh",
     kJoulesPerWattHour},
    {{"kestrane_used_energy_joules_total", MetricType::kCounter,
      "Energy taken from the load output over the controller's lifetime in joules, as its "
      "watt-hour total read by the bridge's last poll."},
     "used_total_wh",
     kJoulesPerWattHour},
};

constexpr MetricFamily kUp{"kestrane_device_up", MetricType::kGauge,
                           "1 when the controller answers the bridge's polls, 0 when it never "
                           "answered or missed its last cycles."};
constexpr MetricFamily kLastUpdate{
    "kestrane_device_last_update_timestamp_seconds", MetricType::kGauge,
    "Unix time of the bridge's last good poll of the controller; the bus is polled on its own "
    "schedule, so the values are as old as this."};
constexpr MetricFamily kInfo{"kestrane_device_info", MetricType::kGauge,
                             "The controller's model, firmware and serial number as it reports "
                             "them; always 1."};
constexpr MetricFamily kRequests{"kestrane_requests_total", MetricType::kCounter,
                                 "Request attempts to the controller by how they ended, counted "
                                 "by the bridge since it started."};

Labels DeviceLabels(const DeviceSnapshot& device) {
    const bridge::DeviceIdentity& id = device.update.identity;
    return {{"device", id.deviceId},
            {"name", id.name},
            {"bus", std::to_string(id.busIndex)},
            {"address", std::to_string(id.address)}};
}

bool Answered(const DeviceSnapshot& device) {
    return device.update.state.is_object();
}

}  // namespace

void WriteDeviceMetrics(const std::vector<DeviceSnapshot>& devices, MetricsWriter& out) {
    std::vector<Labels> labels;
    labels.reserve(devices.size());
    for (const DeviceSnapshot& device : devices)
        labels.push_back(DeviceLabels(device));

    out.Begin(kUp);
    for (size_t i = 0; i < devices.size(); ++i)
        out.Sample(labels[i], Answered(devices[i]) && devices[i].update.online ? 1 : 0);

    out.Begin(kLastUpdate);
    for (size_t i = 0; i < devices.size(); ++i) {
        const auto& when = devices[i].lastUpdate;
        if (!Answered(devices[i]) || !when) continue;
        const auto millis =
            std::chrono::duration_cast<std::chrono::milliseconds>(when->time_since_epoch());
        out.Sample(labels[i], static_cast<double>(millis.count()) / 1000.0);
    }

    out.Begin(kInfo);
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!Answered(devices[i])) continue;
        const bridge::DeviceIdentity& id = devices[i].update.identity;
        Labels withIdentity = labels[i];
        withIdentity.emplace_back("model", id.model);
        withIdentity.emplace_back("firmware", id.firmware);
        withIdentity.emplace_back("serial", id.serialNumber);
        out.Sample(withIdentity, 1);
    }

    for (const StateMetric& metric : kStateMetrics) {
        out.Begin(metric.family);
        for (size_t i = 0; i < devices.size(); ++i) {
            if (!Answered(devices[i])) continue;
            if (const auto value = JsonNumber(devices[i].update.state, metric.key))
                out.Sample(labels[i], *value * metric.scale);
        }
    }

    // One sample per result class of the link counters; the request total
    // and cycle times in the same object are no result and stay out.
    out.Begin(kRequests);
    for (size_t i = 0; i < devices.size(); ++i) {
        if (!Answered(devices[i])) continue;
        for (size_t r = 0; r < kBusResultCount; ++r) {
            const std::string result(BusResultName(static_cast<BusResult>(r)));
            const auto count = JsonNumber(devices[i].update.link, result.c_str());
            if (!count) continue;
            Labels withResult = labels[i];
            withResult.emplace_back("result", result);
            out.Sample(withResult, *count);
        }
    }
}

}  // namespace kestrane::web::metrics
