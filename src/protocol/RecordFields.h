// Every field the read cycle fills, by name, in register order: one table for
// everything that lists the record by name (the command-line tool's JSON, and
// any log or export that needs the names).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "protocol/ControllerData.h"

namespace kestrane {

enum class FieldKind : uint8_t {
    kUnsigned,  // 16-bit registers zero-extended, and 32-bit values
    kSigned,    // the two temperatures
    kText,      // text words, first character in the low-order byte
};

struct RecordField {
    std::string_view name;
    int block;  // the read block (transaction code) that fills it
    FieldKind kind;
    // The value, or the first of `wordCount` text words.
    const AtomicValue* (*value)(const ControllerData&);
    int wordCount = 1;
};

namespace record_fields_detail {

template <auto Member>
constexpr const AtomicValue* Get(const ControllerData& data) {
    if constexpr (requires { (data.*Member)[0]; })
        return &(data.*Member)[0];
    else
        return &(data.*Member);
}

template <auto Member>
constexpr RecordField Unsigned(std::string_view name, int block) {
    return {name, block, FieldKind::kUnsigned, &Get<Member>};
}

template <auto Member>
constexpr RecordField Signed(std::string_view name, int block) {
    return {name, block, FieldKind::kSigned, &Get<Member>};
}

template <auto Member>
constexpr RecordField Text(std::string_view name, int block, int words) {
    return {name, block, FieldKind::kText, &Get<Member>, words};
}

using D = ControllerData;

}  // namespace record_fields_detail

inline constexpr auto kRecordFields = [] {
    using namespace record_fields_detail;
    return std::array{
        Unsigned<&D::chargeState>("chargeState", 0),
        Unsigned<&D::pvVoltage>("pvVoltage", 0),
        Unsigned<&D::batteryVoltage>("batteryVoltage", 0),
        Unsigned<&D::chargeCurrent>("chargeCurrent", 0),
        Unsigned<&D::compVoltage>("compVoltage", 0),
        Unsigned<&D::loadVoltage>("loadVoltage", 0),
        Unsigned<&D::loadCurrent>("loadCurrent", 0),
        Unsigned<&D::chargePower>("chargePower", 0),
        Unsigned<&D::loadPower>("loadPower", 0),
        Signed<&D::batteryTemperature>("batteryTemperature", 0),
        Signed<&D::innerTemperature>("innerTemperature", 0),
        Unsigned<&D::spare000B>("spare000B", 0),
        Unsigned<&D::spare000C>("spare000C", 0),
        Unsigned<&D::alarmCode>("alarmCode", 0),

        Unsigned<&D::batteryType>("batteryType", 1),
        Unsigned<&D::systemVoltageSetting>("systemVoltageSetting", 1),
        Unsigned<&D::cvChargeVoltage>("cvChargeVoltage", 1),
        Unsigned<&D::floatChargeVoltage>("floatChargeVoltage", 1),
        Unsigned<&D::maxChargeCurrent>("maxChargeCurrent", 1),
        Unsigned<&D::maxLoadCurrent>("maxLoadCurrent", 1),
        Unsigned<&D::equalizeVoltage>("equalizeVoltage", 1),
        Unsigned<&D::equalizeMinutes>("equalizeMinutes", 1),
        Unsigned<&D::spare0109>("spare0109", 1),
        Unsigned<&D::systemVoltageUnits>("systemVoltageUnits", 1),

        Unsigned<&D::liChargeVoltage>("liChargeVoltage", 2),
        Unsigned<&D::liNominalVoltage>("liNominalVoltage", 2),
        Unsigned<&D::liLowVoltageProtect>("liLowVoltageProtect", 2),
        Unsigned<&D::liOverVoltageProtect>("liOverVoltageProtect", 2),
        Unsigned<&D::liLowVoltageRecover>("liLowVoltageRecover", 2),
        Unsigned<&D::liOverVoltageRecover>("liOverVoltageRecover", 2),

        Unsigned<&D::overVoltageProtect>("overVoltageProtect", 3),
        Unsigned<&D::overVoltageRecover>("overVoltageRecover", 3),
        Unsigned<&D::lowVoltageProtect>("lowVoltageProtect", 3),
        Unsigned<&D::lowVoltageRecover>("lowVoltageRecover", 3),

        Unsigned<&D::controllerAddress>("controllerAddress", 4),
        Unsigned<&D::spare0204>("spare0204", 4),
        Unsigned<&D::spare0205>("spare0205", 4),
        Unsigned<&D::chargedTodayWh>("chargedTodayWh", 4),
        Unsigned<&D::spare0208>("spare0208", 4),
        Unsigned<&D::chargedMonthWh>("chargedMonthWh", 4),
        Unsigned<&D::spare020C>("spare020C", 4),
        Unsigned<&D::chargedTotalWh>("chargedTotalWh", 4),
        Unsigned<&D::usedTodayWh>("usedTodayWh", 4),
        Unsigned<&D::usedMonthWh>("usedMonthWh", 4),
        Unsigned<&D::usedTotalWh>("usedTotalWh", 4),

        Text<&D::serialNumber>("serialNumber", 5, ControllerData::kSerialWords),
        Text<&D::firmwareVersion>("firmwareVersion", 5, ControllerData::kFirmwareWords),
        Text<&D::modelName>("modelName", 5, ControllerData::kModelWords),

        Unsigned<&D::loadMode>("loadMode", 6),
        Unsigned<&D::morningOnCode>("morningOnCode", 6),
        Unsigned<&D::loadOnPvVoltage>("loadOnPvVoltage", 6),
        Unsigned<&D::loadOffPvVoltage>("loadOffPvVoltage", 6),
        Unsigned<&D::loadOnDelay>("loadOnDelay", 6),
        Unsigned<&D::loadOffDelay>("loadOffDelay", 6),
        Unsigned<&D::timer1OnHour>("timer1OnHour", 6),
        Unsigned<&D::timer1OnMinute>("timer1OnMinute", 6),
        Unsigned<&D::timer1OffHour>("timer1OffHour", 6),
        Unsigned<&D::timer1OffMinute>("timer1OffMinute", 6),
        Unsigned<&D::timer2OnHour>("timer2OnHour", 6),
        Unsigned<&D::timer2OnMinute>("timer2OnMinute", 6),
        Unsigned<&D::timer2OffHour>("timer2OffHour", 6),
        Unsigned<&D::timer2OffMinute>("timer2OffMinute", 6),
        Unsigned<&D::loadOutputOn>("loadOutputOn", 6),

        Unsigned<&D::pvVoltageRatio>("pvVoltageRatio", 7),
        Unsigned<&D::pvVoltageOffset>("pvVoltageOffset", 7),
        Unsigned<&D::batteryVoltageRatio>("batteryVoltageRatio", 7),
        Unsigned<&D::batteryVoltageOffset>("batteryVoltageOffset", 7),
        Unsigned<&D::chargeCurrentRatio>("chargeCurrentRatio", 7),
        Unsigned<&D::chargeCurrentOffset>("chargeCurrentOffset", 7),
        Unsigned<&D::loadCurrentRatio>("loadCurrentRatio", 7),
        Unsigned<&D::loadCurrentOffset>("loadCurrentOffset", 7),
        Unsigned<&D::loadVoltageRatio>("loadVoltageRatio", 7),
        Unsigned<&D::loadVoltageOffset>("loadVoltageOffset", 7),
        Unsigned<&D::compVoltageRatio>("compVoltageRatio", 7),
        Unsigned<&D::compVoltageOffset>("compVoltageOffset", 7),
    };
}();

}  // namespace kestrane
