#include "monitor/BatteryText.h"

#include <cstdint>

#include "monitor/ControlIds.h"
#include "monitor/NumberText.h"

namespace kestrane {

namespace {

constexpr uint32_t kLithiumType = 4;

// Where a battery type's three charge voltages come from.
enum class ChargeVoltages { kLeadAcidRegisters, kPreset, kLithiumRegisters };

struct BatteryTypeRow {
    uint32_t value;
    LanguageText name;
    ChargeVoltages voltages;
    // Fixed texts of 1089, 1098 and 1090 for the preset types.
    const char* charge;
    const char* floatCharge;
    const char* equalize;
};

constexpr BatteryTypeRow kBatteryTypes[] = {
    {0, {"User-Diy", "自定义铅酸"}, ChargeVoltages::kLeadAcidRegisters, "", "", ""},
    {1, {"FLD", "FLD型铅酸"}, ChargeVoltages::kPreset, "14.6", "13.8", "14.8"},
    {2, {"SEL", "SEL型铅酸"}, ChargeVoltages::kPreset, "14.4", "13.8", "14.6"},
    {3, {"GEL", "GEL型铅酸"}, ChargeVoltages::kPreset, "14.2", "13.8", "14.2"},
    {4, {"Li-ion", "锂离子"}, ChargeVoltages::kLithiumRegisters, "", "", ""},
    {5, {"AGM", "AGM型铅酸"}, ChargeVoltages::kLeadAcidRegisters, "", "", ""},
};

constexpr const char* kUnknownBatteryType = "--";

using Field = AtomicValue ControllerData::*;

// Protection voltages: the same controls show the lead-acid or the lithium set.
struct ProtectionRow {
    int id;
    Field leadAcid;
    Field lithium;
};

constexpr ProtectionRow kProtectionRows[] = {
    {id::kOverVoltageProtect, &ControllerData::overVoltageProtect,
     &ControllerData::liOverVoltageProtect},
    {id::kOverVoltageRecover, &ControllerData::overVoltageRecover,
     &ControllerData::liOverVoltageRecover},
    {id::kLowVoltageProtect, &ControllerData::lowVoltageProtect,
     &ControllerData::liLowVoltageProtect},
    {id::kLowVoltageRecover, &ControllerData::lowVoltageRecover,
     &ControllerData::liLowVoltageRecover},
};

// Captions and units that change with the layout.
struct CaptionRow {
    int id;
    LanguageText leadAcid;
    LanguageText lithium;
};

constexpr CaptionRow kCaptionRows[] = {
    {id::kSystemVoltageCaption, {"System  Volt.:", "电池系统电压:"}, {"", ""}},
    {id::kChargeVoltageCaption,
     {"C. V.  Charge:", "恒压充电电压："},
     {"Charge  Volt.:", "饱和充电电压："}},
    {id::kFloatVoltageCaption,
     {"Float  Charge:", "浮充充电电压："},
     {"Nominal Volt.:", "电池标称电压："}},
    {id::kEqualizeVoltageCaption, {"Equalizing.V :", "均衡充电电压："}, {"", ""}},
    {id::kEqualizeMinutesCaption, {"Equalizing.T :", "均衡充电时间："}, {"", ""}},
    {id::kEqualizeVoltageUnit, {"V", "V"}, {"", ""}},
    {id::kEqualizeMinutesUnit, {"min", "min"}, {"", ""}},
};

// The lithium layout has no system voltage; a blank keeps the row's height.
constexpr const char* kBlank = " ";

uint32_t Unsigned(const AtomicValue& value) {
    return static_cast<uint32_t>(value.load());
}

std::string Tenths(const AtomicValue& value) {
    return FormatTenths(Unsigned(value));
}

// "(Auto)24" for a detected 24 V system, "24" for one set by hand.
std::string SystemVoltageText(const ControllerData& data) {
    const std::string volts = std::to_string(Unsigned(data.systemVoltageUnits) * 12u);
    return data.systemVoltageSetting.load() == 0 ? "(Auto)" + volts : volts;
}

void AppendChargeVoltages(const ControllerData& data, const BatteryTypeRow& type,
                          std::vector<ControlText>& out) {
    switch (type.voltages) {
        case ChargeVoltages::kLeadAcidRegisters:
            out.push_back({id::kChargeVoltage, Tenths(data.cvChargeVoltage)});
            out.push_back({id::kFloatVoltage, Tenths(data.floatChargeVoltage)});
            out.push_back({id::kEqualizeVoltage, Tenths(data.equalizeVoltage)});
            break;
        case ChargeVoltages::kPreset:
            out.push_back({id::kChargeVoltage, type.charge});
            out.push_back({id::kFloatVoltage, type.floatCharge});
            out.push_back({id::kEqualizeVoltage, type.equalize});
            break;
        case ChargeVoltages::kLithiumRegisters:
            // The equalizing voltage is emptied by the lithium layout.
            out.push_back({id::kChargeVoltage, Tenths(data.liChargeVoltage)});
            out.push_back({id::kFloatVoltage, Tenths(data.liNominalVoltage)});
            break;
    }
}

void AppendLayout(const ControllerData& data, bool lithium, bool english,
                  std::vector<ControlText>& out) {
    out.push_back({id::kEqualizeMinutes,
                   lithium ? std::string() : std::to_string(Unsigned(data.equalizeMinutes))});
    for (const ProtectionRow& row : kProtectionRows)
        out.push_back({row.id, Tenths(data.*(lithium ? row.lithium : row.leadAcid))});
    out.push_back({id::kSystemVoltage, lithium ? kBlank : SystemVoltageText(data)});
    out.push_back({id::kSystemVoltageUnit, lithium ? kBlank : "V"});
    for (const CaptionRow& row : kCaptionRows)
        out.push_back({row.id, std::string((lithium ? row.lithium : row.leadAcid).In(english))});
    if (lithium) out.push_back({id::kEqualizeVoltage, ""});
}

}  // namespace

std::string BatteryTypeName(uint32_t batteryType, bool english) {
    const BatteryTypeRow* type = FindByValue(kBatteryTypes, batteryType);
    return type != nullptr ? std::string(type->name.In(english)) : kUnknownBatteryType;
}

std::vector<uint32_t> NamedBatteryTypes() {
    std::vector<uint32_t> types;
    for (const BatteryTypeRow& row : kBatteryTypes)
        types.push_back(row.value);
    return types;
}

void AppendBatteryTexts(const ControllerData& data, bool english, std::vector<ControlText>& out) {
    const uint32_t typeValue = Unsigned(data.batteryType);
    const BatteryTypeRow* type = FindByValue(kBatteryTypes, typeValue);
    if (type != nullptr) {
        out.push_back({id::kBatteryType, std::string(type->name.In(english))});
        AppendChargeVoltages(data, *type, out);
    } else {
        out.push_back({id::kBatteryType, kUnknownBatteryType});
    }

    AppendLayout(data, typeValue == kLithiumType, english, out);

    out.push_back({id::kMaxChargeCurrent, Tenths(data.maxChargeCurrent)});
    out.push_back({id::kMaxLoadCurrent, Tenths(data.maxLoadCurrent)});
}

}  // namespace kestrane
