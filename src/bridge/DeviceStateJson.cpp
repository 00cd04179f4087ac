#include "bridge/DeviceStateJson.h"

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iterator>
#include <string>

#include "bridge/LoadModeOptions.h"
#include "monitor/BatteryText.h"
#include "monitor/StateTexts.h"
#include "protocol/LoadModeCodes.h"

namespace kestrane::bridge {

namespace {

using Field = AtomicValue ControllerData::*;

enum class Unit {
    kTenths,     // 16-bit register in tenths: volts, amperes
    kWhole,      // unsigned register as it is: watts, watt-hours
    kSigned,     // sign-extended register: degrees Celsius
    kKiloWatts,  // 32-bit watt-hours as kilowatt-hours
};

struct NumberRow {
    const char* key;
    Field field;
    Unit unit;
};

constexpr NumberRow kNumbers[] = {
    {"pv_voltage", &ControllerData::pvVoltage, Unit::kTenths},
    {"battery_voltage", &ControllerData::batteryVoltage, Unit::kTenths},
    {"load_voltage", &ControllerData::loadVoltage, Unit::kTenths},
    {"charge_current", &ControllerData::chargeCurrent, Unit::kTenths},
    {"load_current", &ControllerData::loadCurrent, Unit::kTenths},
    {"charge_power", &ControllerData::chargePower, Unit::kWhole},
    {"load_power", &ControllerData::loadPower, Unit::kWhole},
    {"inner_temperature", &ControllerData::innerTemperature, Unit::kSigned},
    {"battery_temperature", &ControllerData::batteryTemperature, Unit::kSigned},
    {"charged_today_wh", &ControllerData::chargedTodayWh, Unit::kWhole},
    {"charged_month_wh", &ControllerData::chargedMonthWh, Unit::kWhole},
    {"charged_total_wh", &ControllerData::chargedTotalWh, Unit::kWhole},
    {"charged_total_kwh", &ControllerData::chargedTotalWh, Unit::kKiloWatts},
    {"used_today_wh", &ControllerData::usedTodayWh, Unit::kWhole},
    {"used_month_wh", &ControllerData::usedMonthWh, Unit::kWhole},
    {"used_total_wh", &ControllerData::usedTotalWh, Unit::kWhole},
    {"used_total_kwh", &ControllerData::usedTotalWh, Unit::kKiloWatts},
};

nlohmann::json Number(int32_t stored, Unit unit) {
    const auto raw = static_cast<uint32_t>(stored);
    switch (unit) {
        case Unit::kTenths:
            return raw / 10.0;
        case Unit::kWhole:
            return raw;
        case Unit::kSigned:
            return stored;
        case Unit::kKiloWatts:
            return raw / 1000.0;
    }
    return nullptr;
}

std::string JoinNames(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : ", ") + name;
    return out;
}

}  // namespace

nlohmann::json DeviceStateJson(const ControllerData& data,
                               std::chrono::system_clock::time_point when) {
    nlohmann::json state = nlohmann::json::object();
    for (const NumberRow& row : kNumbers)
        state[row.key] = Number((data.*row.field).load(), row.unit);

    const auto chargeState = static_cast<uint32_t>(data.chargeState.load());
    state["charge_state"] = chargeState;
    state["charge_state_text"] = RunningStateText(chargeState, true).value_or("Unknown");

    const auto alarmCode = static_cast<uint32_t>(data.alarmCode.load());
    const std::vector<std::string> alarms = AlarmNames(alarmCode, true);
    state["alarm_code"] = alarmCode;
    state["alarm"] = alarmCode != 0;
    state["alarms"] = alarms;
    state["alarm_text"] = alarms.empty() ? AlarmText(0, true) : JoinNames(alarms);

    state["load_on"] = data.loadOutputOn.load() != 0;
    // The name the load-mode select offers for the mode read, so the select
    // shows the controller's mode; null for a code that is no mode.
    static_assert(std::size(kLoadModeOptions) == kLoadModeEntries, "one option per list entry");
    const int loadMode = LoadModeEntry(data.loadMode.load());
    state["load_mode"] =
        loadMode >= 0 ? nlohmann::json(std::string(kLoadModeOptions[loadMode].text)) : nullptr;
    const auto batteryType = static_cast<uint32_t>(data.batteryType.load());
    state["battery_type"] = batteryType;
    state["battery_type_text"] = BatteryTypeName(batteryType, true);
    state["timestamp"] = IsoTimestamp(when);
    return state;
}

nlohmann::json LinkJson(const LinkCounters& counters, double lastCycleMs) {
    nlohmann::json link = nlohmann::json::object();
    link["requests"] = counters.requests;
    for (size_t i = 0; i < kBusResultCount; ++i) {
        const auto result = static_cast<BusResult>(i);
        link[std::string(BusResultName(result))] = counters.Count(result);
    }
    link["last_cycle_ms"] = lastCycleMs;
    return link;
}

std::string IsoTimestamp(std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto sinceEpoch = when.time_since_epoch();
    const auto secs = floor<seconds>(sinceEpoch);
    const auto millis = duration_cast<milliseconds>(sinceEpoch - secs).count();
    const std::time_t t = static_cast<std::time_t>(secs.count());
    std::tm local{};
    localtime_r(&t, &local);
    const long offsetMinutes = local.tm_gmtoff / 60;
    const long absOffset = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02ld:%02ld",
                  local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                  local.tm_min, local.tm_sec, static_cast<int>(millis),
                  offsetMinutes < 0 ? '-' : '+', absOffset / 60, absOffset % 60);
    return text;
}

}  // namespace kestrane::bridge
