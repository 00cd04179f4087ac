#include "settings/logic/BatteryParameters.h"
#include "monitor/DisplayText.h"

#include <array>
#include <initializer_list>

#include "monitor/ControlIds.h"
#include "settings/logic/FieldReader.h"
#include "settings/logic/SettingsProgress.h"
#include "settings/logic/SettingsText.h"

namespace kestrane {

namespace {

using settings::FieldFormat;
using Field = AtomicValue ControllerData::*;

struct FieldRow {
    int id;
    Field field;
};

// Positions in the battery write image (registers 0x0101-0x0108).
constexpr int kTypeSlot = 0;
constexpr int kSystemVoltageSlot = 1;
constexpr int kMaxChargeCurrentSlot = 4;
constexpr int kMaxLoadCurrentSlot = 5;
constexpr int kEqualizeMinutesSlot = 7;

// The lead-acid charge voltages: write-image slot, edit and the register read back.
struct ChargeVoltageRow {
    int slot;
    int id;
    Field field;
};
constexpr ChargeVoltageRow kChargeVoltages[] = {
    {2, id::kCvChargeVoltageEdit, &ControllerData::cvChargeVoltage},
    {3, id::kFloatChargeVoltageEdit, &ControllerData::floatChargeVoltage},
    {6, id::kEqualizeVoltageEdit, &ControllerData::equalizeVoltage},
};

// Lead-acid protection and lithium voltages, in register order of their write images.
constexpr FieldRow kLeadAcidProtection[ControllerData::kLeadAcidWriteWords] = {
    {id::kOverVoltageProtectEdit, &ControllerData::overVoltageProtect},
    {id::kOverVoltageRecoverEdit, &ControllerData::overVoltageRecover},
    {id::kLowVoltageProtectEdit, &ControllerData::lowVoltageProtect},
    {id::kLowVoltageRecoverEdit, &ControllerData::lowVoltageRecover},
};
constexpr FieldRow kLithiumVoltages[ControllerData::kLithiumWriteWords] = {
    {id::kLiChargeVoltageEdit, &ControllerData::liChargeVoltage},
    {id::kLiNominalVoltageEdit, &ControllerData::liNominalVoltage},
    {id::kLiLowVoltageProtectEdit, &ControllerData::liLowVoltageProtect},
    {id::kLiOverVoltageProtectEdit, &ControllerData::liOverVoltageProtect},
    {id::kLiLowVoltageRecoverEdit, &ControllerData::liLowVoltageRecover},
    {id::kLiOverVoltageRecoverEdit, &ControllerData::liOverVoltageRecover},
};

constexpr int kBatteryControls[] = {
    id::kBatteryTypeList,          id::kSystemVoltageList,       id::kMaxChargeCurrentEdit,
    id::kMaxLoadCurrentEdit,       id::kCvChargeVoltageEdit,     id::kFloatChargeVoltageEdit,
    id::kEqualizeVoltageEdit,      id::kEqualizeMinutesEdit,     id::kOverVoltageProtectEdit,
    id::kOverVoltageRecoverEdit,   id::kLowVoltageProtectEdit,   id::kLowVoltageRecoverEdit,
    id::kLiChargeVoltageEdit,      id::kLiNominalVoltageEdit,    id::kLiOverVoltageProtectEdit,
    id::kLiOverVoltageRecoverEdit, id::kLiLowVoltageProtectEdit, id::kLiLowVoltageRecoverEdit,
};

// Which groups of controls accept input while editing, by battery type.
struct EditLayout {
    bool chargeVoltages;
    bool protection;
    bool lithium;
    bool equalizeMinutes;
    bool systemVoltage;
};
constexpr EditLayout kEditLayouts[] = {
    {true, true, false, true, true},     // User-Diy
    {false, true, false, true, true},    // FLD: the controller fixes the charge voltages
    {false, true, false, true, true},    // SEL
    {false, true, false, true, true},    // GEL
    {false, false, true, false, false},  // Li-ion
};
constexpr EditLayout kNoTypeLayout = {false, false, false, true, true};

constexpr LanguageText kSystemVoltageCaption = {"Sys.Volt.:", "系统电压："};
constexpr LanguageText kRangeMessage = {
    "The voltage parameter of lead-acid battery exceeds the range of 9 ~ 15V!",
    "请确认铅酸电池电压参数在9~15V范围内！"};
constexpr LanguageText kSelectMessage = {"Please select the battery type and the system voltage!",
                                         "请选择电池类型和系统电压！"};

constexpr int32_t kBatteryTypeCount = sizeof(kEditLayouts) / sizeof(kEditLayouts[0]);

// A list entry for a register value, or -1 when the list has no such entry.
int ListIndex(const IControlAccess& controls, int listId, int32_t value) {
    return value >= 0 && value < controls.ItemCount(listId) ? value : -1;
}

}  // namespace

FieldProblems BatteryParameters::Check() const {
    const bool english = state_.IsEnglish();
    FieldProblems problems;
    const int32_t type = controls_.Selection(id::kBatteryTypeList);
    const int32_t systemVoltage = controls_.Selection(id::kSystemVoltageList);
    const bool knownType = type >= 0 && type < kBatteryTypeCount;
    if (!knownType || (type != kLithium && systemVoltage < 0)) {
        problems.push_back({knownType ? id::kSystemVoltageList : id::kBatteryTypeList,
                            std::string(kSelectMessage.In(english))});
        return problems;
    }
    if (type != kUserDiy) return problems;
    for (const ChargeVoltageRow& row : kChargeVoltages) {
        // Compared unsigned, so a negative entry is out of range too.
        const auto tenths = static_cast<uint32_t>(ReadTenthsField(controls_, row.id));
        if (tenths < kMinLeadAcidVoltage || tenths > kMaxLeadAcidVoltage)
            problems.push_back({row.id, std::string(kRangeMessage.In(english))});
    }
    return problems;
}

void BatteryParameters::Save(bool full) {
    ControllerData& data = state_.data;
    const bool english = state_.IsEnglish();

    // Nothing is stored when a check fails, so a write chain still in
    // progress cannot carry the rejected values to the controller.
    if (const FieldProblems problems = Check(); !problems.empty()) {
        controls_.ShowMessage(problems.front().message);
        return;
    }
    const int32_t type = controls_.Selection(id::kBatteryTypeList);
    int32_t systemVoltage = controls_.Selection(id::kSystemVoltageList);
    // Li-ion hides the system voltage list; without an entry there the
    // controller keeps its own setting rather than receiving 0xFFFF.
    if (systemVoltage < 0) systemVoltage = data.systemVoltageSetting;

    std::array<int32_t, ControllerData::kBatteryWriteWords> battery{};
    battery[kTypeSlot] = type;
    battery[kSystemVoltageSlot] = systemVoltage;
    battery[kMaxChargeCurrentSlot] = ReadTenthsField(controls_, id::kMaxChargeCurrentEdit);
    battery[kMaxLoadCurrentSlot] = ReadTenthsField(controls_, id::kMaxLoadCurrentEdit);
    for (const ChargeVoltageRow& row : kChargeVoltages)
        battery[row.slot] =
            type == kUserDiy ? ReadTenthsField(controls_, row.id) : int32_t{data.*row.field};
    battery[kEqualizeMinutesSlot] = ReadIntegerField(controls_, id::kEqualizeMinutesEdit);

    for (int i = 0; i < ControllerData::kBatteryWriteWords; ++i)
        data.batteryWrite[i] = battery[i];
    if (full) {
        for (int i = 0; i < ControllerData::kLeadAcidWriteWords; ++i)
            data.leadAcidWrite[i] = ReadTenthsField(controls_, kLeadAcidProtection[i].id);
        for (int i = 0; i < ControllerData::kLithiumWriteWords; ++i)
            data.lithiumWrite[i] = ReadTenthsField(controls_, kLithiumVoltages[i].id);
    }

    settings::SetTextIfChanged(controls_, id::kMessageLine,
                               *SettingsStatusText(settings::kStatusWriting, 0, english));
    state_.settingsStatus = settings::kStatusWriting;
    state_.pendingWrite = full ? 2 : 1;
}

void BatteryParameters::DisableControls() {
    for (int control : kBatteryControls)
        controls_.Enable(control, false);
}

void BatteryParameters::ShowControllerValues() {
    const ControllerData& data = state_.data;
    auto show = [this](int control, int32_t value, FieldFormat format) {
        settings::SetTextIfChanged(controls_, control, settings::FormatField(value, format));
    };

    controls_.Select(id::kBatteryTypeList,
                     ListIndex(controls_, id::kBatteryTypeList, data.batteryType));
    controls_.Select(id::kSystemVoltageList,
                     ListIndex(controls_, id::kSystemVoltageList, data.systemVoltageSetting));
    show(id::kMaxChargeCurrentEdit, data.maxChargeCurrent, FieldFormat::kTenths);
    show(id::kMaxLoadCurrentEdit, data.maxLoadCurrent, FieldFormat::kTenths);

    // The charge voltages are the operator's only for the type last chosen
    // in the list; the preset types show none.
    const bool userDefined = data.batteryWrite[kTypeSlot] == kUserDiy;
    for (const ChargeVoltageRow& row : kChargeVoltages) {
        if (userDefined) {
            show(row.id, data.*row.field, FieldFormat::kTenths);
        } else {
            settings::SetTextIfChanged(controls_, row.id, "--");
        }
    }
    show(id::kEqualizeMinutesEdit, data.equalizeMinutes, FieldFormat::kLow8);
    for (const FieldRow& row : kLeadAcidProtection)
        show(row.id, data.*row.field, FieldFormat::kTenths);
    for (const FieldRow& row : kLithiumVoltages)
        show(row.id, data.*row.field, FieldFormat::kTenths);
}

void BatteryParameters::FollowEditMode() {
    for (int control : {id::kBatterySaveButton, id::kBatteryVoltageSaveButton, id::kLoadSaveButton,
                        id::kMaxChargeCurrentEdit, id::kMaxLoadCurrentEdit, id::kBatteryTypeList})
        controls_.Enable(control, true);

    const int32_t type = controls_.Selection(id::kBatteryTypeList);
    const bool known = type >= 0 && type < kBatteryTypeCount;
    // Without an entry the image keeps the last type chosen, so an unselected
    // list never turns into 0xFFFF on the wire.
    if (known) state_.data.batteryWrite[kTypeSlot] = type;
    const EditLayout& layout = known ? kEditLayouts[type] : kNoTypeLayout;

    if (layout.systemVoltage) {
        settings::SetTextIfChanged(controls_, id::kSystemVoltageLabel,
                                   kSystemVoltageCaption.In(state_));
        controls_.Enable(id::kSystemVoltageList, true);
        controls_.Show(id::kSystemVoltageList, true);
    } else {
        settings::SetTextIfChanged(controls_, id::kSystemVoltageLabel, "");
        controls_.Show(id::kSystemVoltageList, false);
    }
    for (const ChargeVoltageRow& row : kChargeVoltages)
        controls_.Enable(row.id, layout.chargeVoltages);
    for (const FieldRow& row : kLeadAcidProtection)
        controls_.Enable(row.id, layout.protection);
    for (const FieldRow& row : kLithiumVoltages)
        controls_.Enable(row.id, layout.lithium);
    controls_.Enable(id::kEqualizeMinutesEdit, layout.equalizeMinutes);
}

}  // namespace kestrane
