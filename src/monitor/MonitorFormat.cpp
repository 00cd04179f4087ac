#include "monitor/MonitorFormat.h"

#include <cstdio>

#include "monitor/BatteryText.h"
#include "monitor/ControlIds.h"
#include "monitor/LoadModeText.h"
#include "monitor/NumberText.h"
#include "monitor/StateTexts.h"
#include "protocol/TextCodec.h"

namespace kestrane {

namespace {

using Field = AtomicValue ControllerData::*;

enum class Scale {
    kTenths,      // unsigned register in tenths, one decimal
    kWhole,       // unsigned register, whole number
    kSignedWhole  // signed register, shown with one decimal
};

struct MeasurementRow {
    int id;
    Field field;
    Scale scale;
    const char* unit;
};

// Powers are shown as the controller reports them, not computed.
constexpr MeasurementRow kMeasurements[] = {
    {id::kPvVoltage, &ControllerData::pvVoltage, Scale::kTenths, "V"},
    {id::kBatteryVoltage, &ControllerData::batteryVoltage, Scale::kTenths, "V"},
    {id::kLoadVoltage, &ControllerData::loadVoltage, Scale::kTenths, "V"},
    {id::kChargeCurrent, &ControllerData::chargeCurrent, Scale::kTenths, "A"},
    {id::kLoadCurrent, &ControllerData::loadCurrent, Scale::kTenths, "A"},
    {id::kChargePower, &ControllerData::chargePower, Scale::kWhole, "W"},
    {id::kLoadPower, &ControllerData::loadPower, Scale::kWhole, "W"},
    {id::kInnerTemperature, &ControllerData::innerTemperature, Scale::kSignedWhole, "℃"},
    {id::kBatteryTemperature, &ControllerData::batteryTemperature, Scale::kSignedWhole, "℃"},
};

struct EnergyRow {
    int id;
    Field field;
};

constexpr EnergyRow kEnergies[] = {
    {id::kChargedToday, &ControllerData::chargedTodayWh},
    {id::kChargedMonth, &ControllerData::chargedMonthWh},
    {id::kChargedTotal, &ControllerData::chargedTotalWh},
    {id::kUsedToday, &ControllerData::usedTodayWh},
    {id::kUsedMonth, &ControllerData::usedMonthWh},
    {id::kUsedTotal, &ControllerData::usedTotalWh},
};

uint32_t Unsigned(const AtomicValue& value) {
    return static_cast<uint32_t>(value.load());
}

std::string FormatMeasurement(const AtomicValue& value, Scale scale) {
    switch (scale) {
        case Scale::kTenths:
            return FormatTenths(Unsigned(value));
        case Scale::kWhole:
            return std::to_string(Unsigned(value));
        case Scale::kSignedWhole:
            return FormatWholeWithDecimal(value.load());
    }
    return {};
}

}  // namespace

std::string FormatPcDateTime(const LocalTime& now) {
    char text[64];
    std::snprintf(text, sizeof text, "%4d-%2d-%2d  %2d:%2d:%2d", now.year, now.month, now.day,
                  now.hour, now.minute, now.second);
    return text;
}

std::vector<ControlText> FormatMonitorTexts(const ControllerData& data, const LocalTime& now,
                                            bool english) {
    std::vector<ControlText> out;
    out.reserve(64);

    out.push_back({id::kPcDateTime, FormatPcDateTime(now)});

    if (auto state = RunningStateText(Unsigned(data.chargeState), english))
        out.push_back({id::kRunningState, std::move(*state)});

    for (const MeasurementRow& row : kMeasurements)
        out.push_back({row.id, FormatMeasurement(data.*row.field, row.scale) + row.unit});

    out.push_back({id::kAlarm, AlarmText(Unsigned(data.alarmCode), english)});

    AppendBatteryTexts(data, english, out);

    out.push_back({id::kSerialValue, WordsToText(data.serialNumber, ControllerData::kSerialWords)});
    out.push_back(
        {id::kFirmwareValue, WordsToText(data.firmwareVersion, ControllerData::kFirmwareWords)});
    out.push_back({id::kModelValue, WordsToText(data.modelName, ControllerData::kModelWords)});

    AppendLoadModeTexts(data, english, out);

    for (const EnergyRow& row : kEnergies)
        out.push_back({row.id, FormatKilowattHours(Unsigned(data.*row.field))});

    return out;
}

}  // namespace kestrane
