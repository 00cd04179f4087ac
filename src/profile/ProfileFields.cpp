#include "profile/ProfileFields.h"

#include <cstdio>

#include "monitor/ControlIds.h"
#include "protocol/LoadModeCodes.h"
#include "settings/logic/BatteryParameters.h"
#include "settings/logic/LoadControl.h"

namespace kestrane::profile {

namespace {

using D = ControllerData;
constexpr int32_t kWord = 0xFFFF;
constexpr int32_t kEveningBase = kLightModeCode;
constexpr int32_t kMorningBase = kMorningCodeBase;

constexpr ProfileField Tenths(std::string_view path, Need need, int id, int code, int slot,
                              RecordField record, std::string_view suffix = " V",
                              int secondId = 0) {
    return {path, Unit::kTenths, need, id, secondId, code, slot, record, 0, 0, kWord, suffix};
}
constexpr ProfileField Whole(std::string_view path, Need need, int id, int slot, RecordField record,
                             std::string_view suffix = "") {
    return {path, Unit::kWhole, need, id, 0, 13, slot, record, 0, 0, kWord, suffix};
}

}  // namespace

// In the order of the profile file; within a block, the registers in order.
const std::array<ProfileField, kFieldCount> kProfileFields{{
    {"battery.type", Unit::kBatteryType, Need::kAlways, id::kBatteryTypeList, 0, 10, 0,
     &D::batteryType, 0, 0, 0, ""},
    {"battery.systemVoltage", Unit::kSystemVoltage, Need::kLeadAcid, id::kSystemVoltageList, 0, 10,
     1, &D::systemVoltageSetting, 0, 0, 0, ""},
    Tenths("battery.maxChargeCurrent", Need::kAlways, id::kMaxChargeCurrentEdit, 10, 4,
           &D::maxChargeCurrent, " A"),
    Tenths("battery.maxLoadCurrent", Need::kAlways, id::kMaxLoadCurrentEdit, 10, 5,
           &D::maxLoadCurrent, " A"),
    {"battery.equalizeMinutes", Unit::kWhole, Need::kLeadAcid, id::kEqualizeMinutesEdit, 0, 10, 7,
     &D::equalizeMinutes, 0, 0, kWord, " min"},
    Tenths("leadAcid.chargeVoltage", Need::kUserDiy, id::kCvChargeVoltageEdit, 10, 2,
           &D::cvChargeVoltage),
    Tenths("leadAcid.floatVoltage", Need::kUserDiy, id::kFloatChargeVoltageEdit, 10, 3,
           &D::floatChargeVoltage),
    Tenths("leadAcid.equalizeVoltage", Need::kUserDiy, id::kEqualizeVoltageEdit, 10, 6,
           &D::equalizeVoltage),
    Tenths("leadAcid.overVoltageProtect", Need::kLeadAcid, id::kOverVoltageProtectEdit, 11, 0,
           &D::overVoltageProtect),
    Tenths("leadAcid.overVoltageRecover", Need::kLeadAcid, id::kOverVoltageRecoverEdit, 11, 1,
           &D::overVoltageRecover),
    Tenths("leadAcid.lowVoltageProtect", Need::kLeadAcid, id::kLowVoltageProtectEdit, 11, 2,
           &D::lowVoltageProtect),
    Tenths("leadAcid.lowVoltageRecover", Need::kLeadAcid, id::kLowVoltageRecoverEdit, 11, 3,
           &D::lowVoltageRecover),
    Tenths("lithium.chargeVoltage", Need::kLithium, id::kLiChargeVoltageEdit, 12, 0,
           &D::liChargeVoltage),
    Tenths("lithium.nominalVoltage", Need::kLithium, id::kLiNominalVoltageEdit, 12, 1,
           &D::liNominalVoltage),
    Tenths("lithium.lowVoltageProtect", Need::kLithium, id::kLiLowVoltageProtectEdit, 12, 2,
           &D::liLowVoltageProtect),
    Tenths("lithium.overVoltageProtect", Need::kLithium, id::kLiOverVoltageProtectEdit, 12, 3,
           &D::liOverVoltageProtect),
    Tenths("lithium.lowVoltageRecover", Need::kLithium, id::kLiLowVoltageRecoverEdit, 12, 4,
           &D::liLowVoltageRecover),
    Tenths("lithium.overVoltageRecover", Need::kLithium, id::kLiOverVoltageRecoverEdit, 12, 5,
           &D::liOverVoltageRecover),
    {"load.mode", Unit::kLoadMode, Need::kAlways, id::kLoadModeListEnglish,
     id::kLoadModeListChinese, 13, 0, &D::loadMode, 0, 0, 0, ""},
    // The on-duration after dusk is part of the mode code: 5100 + hours. 0 or
    // 16 would read back as Light Mode or Dual Timer Mode.
    {"load.eveningHours", Unit::kWhole, Need::kLightTimeMode, id::kEveningHoursEdit, 0, 13, 0,
     &D::loadMode, kEveningBase, 1, 15, " h"},
    // The window shows the hours before dawn modulo 100.
    {"load.morningHours", Unit::kWhole, Need::kLightTimeMode, id::kMorningHoursEdit, 0, 13, 1,
     &D::morningOnCode, kMorningBase, 0, 99, " h"},
    Tenths("load.onVoltage", Need::kLightModes, id::kLightOnVoltageEdit, 13, 2, &D::loadOnPvVoltage,
           " V", id::kLightTimeOnVoltageEdit),
    Tenths("load.offVoltage", Need::kLightModes, id::kLightOffVoltageEdit, 13, 3,
           &D::loadOffPvVoltage, " V", id::kLightTimeOffVoltageEdit),
    Whole("load.onDelay", Need::kLightMode, id::kLightOnDelayEdit, 4, &D::loadOnDelay, " min"),
    Whole("load.offDelay", Need::kLightMode, id::kLightOffDelayEdit, 5, &D::loadOffDelay, " min"),
    Whole("load.timer1.onHour", Need::kDualTimerMode, id::kTimer1OnHourEdit, 6, &D::timer1OnHour),
    Whole("load.timer1.onMinute", Need::kDualTimerMode, id::kTimer1OnMinuteEdit, 7,
          &D::timer1OnMinute),
    Whole("load.timer1.offHour", Need::kDualTimerMode, id::kTimer1OffHourEdit, 8,
          &D::timer1OffHour),
    Whole("load.timer1.offMinute", Need::kDualTimerMode, id::kTimer1OffMinuteEdit, 9,
          &D::timer1OffMinute),
    Whole("load.timer2.onHour", Need::kDualTimerMode, id::kTimer2OnHourEdit, 10, &D::timer2OnHour),
    Whole("load.timer2.onMinute", Need::kDualTimerMode, id::kTimer2OnMinuteEdit, 11,
          &D::timer2OnMinute),
    Whole("load.timer2.offHour", Need::kDualTimerMode, id::kTimer2OffHourEdit, 12,
          &D::timer2OffHour),
    Whole("load.timer2.offMinute", Need::kDualTimerMode, id::kTimer2OffMinuteEdit, 13,
          &D::timer2OffMinute),
}};

std::optional<size_t> FieldIndex(std::string_view path) {
    for (size_t i = 0; i < kProfileFields.size(); ++i)
        if (kProfileFields[i].path == path) return i;
    return std::nullopt;
}

std::string EntryName(Unit unit, int32_t index) {
    switch (unit) {
        case Unit::kBatteryType:
            if (index >= 0 && index < static_cast<int32_t>(kBatteryTypeNames.size()))
                return std::string(kBatteryTypeNames[static_cast<size_t>(index)]);
            return {};
        case Unit::kLoadMode:
            if (index >= 0 && index < static_cast<int32_t>(kLoadModeNames.size()))
                return std::string(kLoadModeNames[static_cast<size_t>(index)]);
            return {};
        case Unit::kSystemVoltage:
            if (index == 0) return "Auto";
            if (index > 0 && index < kSystemVoltageEntries) return std::to_string(12 * index) + "V";
            return {};
        default:
            return {};
    }
}

std::optional<int32_t> EntryIndex(Unit unit, std::string_view name) {
    const int32_t entries = unit == Unit::kSystemVoltage ? kSystemVoltageEntries : 5;
    for (int32_t index = 0; index < entries; ++index)
        if (EntryName(unit, index) == name) return index;
    return std::nullopt;
}

bool IsNeeded(const ProfileField& field, int32_t batteryType, int32_t loadMode) {
    const bool lithium = batteryType == BatteryParameters::kLithium;
    switch (field.need) {
        case Need::kAlways:
            return true;
        case Need::kLeadAcid:
            return !lithium;
        case Need::kUserDiy:
            return batteryType == BatteryParameters::kUserDiy;
        case Need::kLithium:
            return lithium;
        case Need::kLightModes:
            return loadMode == LoadControl::kLightMode || loadMode == LoadControl::kLightTimeMode;
        case Need::kLightMode:
            return loadMode == LoadControl::kLightMode;
        case Need::kLightTimeMode:
            return loadMode == LoadControl::kLightTimeMode;
        case Need::kDualTimerMode:
            return loadMode == LoadControl::kDualTimerMode;
    }
    return false;
}

std::optional<int32_t> FieldFromWord(const ProfileField& field, uint16_t word) {
    if (field.unit == Unit::kLoadMode) {
        const int mode = LoadControl::ModeIndex(word);
        if (mode < 0) return std::nullopt;
        return mode;
    }
    if (field.codeBase == 0) return word;
    const int32_t value = word - field.codeBase;
    // The durations mean something only in the mode they belong to.
    if (field.codeBase == kEveningBase &&
        LoadControl::ModeIndex(word) != LoadControl::kLightTimeMode)
        return std::nullopt;
    if (value < field.min || value > field.max) return std::nullopt;
    return value;
}

std::optional<int32_t> FieldFromRecord(const ProfileField& field, const ControllerData& data) {
    return FieldFromWord(field, static_cast<uint16_t>((data.*field.record).load()));
}

std::string ShowValue(const ProfileField& field, std::optional<int32_t> value, uint16_t word) {
    // A duration of a mode not in use shows as the window shows an unused field.
    if (!value && field.codeBase != 0) return "--";
    if (!value) return "(register " + std::to_string(word) + ")";
    switch (field.unit) {
        case Unit::kTenths: {
            char text[32];
            std::snprintf(text, sizeof text, "%d.%d", *value / 10, *value % 10);
            return text + std::string(field.suffix);
        }
        case Unit::kWhole:
            return std::to_string(*value) + std::string(field.suffix);
        default: {
            const std::string name = EntryName(field.unit, *value);
            return name.empty() ? "(register " + std::to_string(word) + ")" : name;
        }
    }
}

}  // namespace kestrane::profile
