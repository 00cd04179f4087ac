// The values of one controller's state message, by their key in the state
// JSON, with what Home Assistant needs to make an entity of each. The state
// message is built from this table and discovery announces every row of it,
// so the two cannot disagree about a key.
#pragma once

#include <string_view>

namespace kestrane::bridge {

enum class EntityKind { kSensor, kBinarySensor };

struct StateField {
    std::string_view key;          // key in the state JSON object
    std::string_view label;        // entity name shown in Home Assistant
    std::string_view unit;         // unit_of_measurement; empty for none
    std::string_view deviceClass;  // empty for none
    std::string_view stateClass;   // "measurement", "total_increasing" or empty
    EntityKind kind;
};

// Voltages in V, currents in A, powers in W, energies in Wh (lifetime totals
// also in kWh), temperatures in °C. Energy counters are total_increasing:
// the day and month counters fall back to zero at their reset, which that
// state class treats as the start of a new cycle.
inline constexpr StateField kStateFields[] = {
    {"pv_voltage", "PV voltage", "V", "voltage", "measurement", EntityKind::kSensor},
    {"battery_voltage", "Battery voltage", "V", "voltage", "measurement", EntityKind::kSensor},
    {"load_voltage", "Load voltage", "V", "voltage", "measurement", EntityKind::kSensor},
    {"charge_current", "Charge current", "A", "current", "measurement", EntityKind::kSensor},
    {"load_current", "Load current", "A", "current", "measurement", EntityKind::kSensor},
    {"charge_power", "Charge power", "W", "power", "measurement", EntityKind::kSensor},
    {"load_power", "Load power", "W", "power", "measurement", EntityKind::kSensor},
    {"inner_temperature", "Controller temperature", "°C", "temperature", "measurement",
     EntityKind::kSensor},
    {"battery_temperature", "Battery temperature", "°C", "temperature", "measurement",
     EntityKind::kSensor},
    {"charged_today_wh", "Charged today", "Wh", "energy", "total_increasing", EntityKind::kSensor},
    {"charged_month_wh", "Charged this month", "Wh", "energy", "total_increasing",
     EntityKind::kSensor},
    {"charged_total_kwh", "Charged in total", "kWh", "energy", "total_increasing",
     EntityKind::kSensor},
    {"used_today_wh", "Used today", "Wh", "energy", "total_increasing", EntityKind::kSensor},
    {"used_month_wh", "Used this month", "Wh", "energy", "total_increasing", EntityKind::kSensor},
    {"used_total_kwh", "Used in total", "kWh", "energy", "total_increasing", EntityKind::kSensor},
    {"charge_state_text", "Charge state", "", "", "", EntityKind::kSensor},
    {"alarm_text", "Alarm", "", "", "", EntityKind::kSensor},
    {"alarm", "Alarm active", "", "problem", "", EntityKind::kBinarySensor},
    {"load_on", "Load output", "", "power", "", EntityKind::kBinarySensor},
    {"battery_type_text", "Battery type", "", "", "", EntityKind::kSensor},
};

// Further keys of the state object that have no entity of their own:
// "charge_state" (code), "load_mode" (the load-mode select's option for the
// mode read, null for an unknown code), "alarm_code", "alarms" (list of names), "battery_type"
// (code), "charged_total_wh", "used_total_wh" and "timestamp" (ISO 8601 with
// offset). Binary-sensor keys hold JSON true/false.

}  // namespace kestrane::bridge
