#include "settings/logic/LoadControl.h"
#include "monitor/DisplayText.h"

#include <initializer_list>
#include <span>

#include "monitor/ControlIds.h"
#include "settings/logic/FieldReader.h"
#include "settings/logic/SettingsProgress.h"
#include "settings/logic/SettingsText.h"

namespace kestrane {

namespace {

using settings::FieldFormat;
using Field = AtomicValue ControllerData::*;

// Positions in the load write image (registers 0x0401-0x040E).
constexpr int kModeSlot = kLoadModeSlot;
constexpr int kMorningSlot = kLoadMorningSlot;
constexpr int kOnVoltageSlot = 2;
constexpr int kOffVoltageSlot = 3;
constexpr int kOnDelaySlot = 4;
constexpr int kOffDelaySlot = 5;
constexpr int kFirstTimerSlot = 6;

constexpr int kLightFields[] = {id::kLightOnVoltageEdit, id::kLightOnDelayEdit,
                                id::kLightOffVoltageEdit, id::kLightOffDelayEdit};
constexpr int kLightTimeFields[] = {id::kLightTimeOnVoltageEdit, id::kEveningHoursEdit,
                                    id::kLightTimeOffVoltageEdit, id::kMorningHoursEdit};
// In register order, 0x0407-0x040E.
constexpr int kTimerFields[] = {
    id::kTimer1OnHourEdit,    id::kTimer1OnMinuteEdit,  id::kTimer1OffHourEdit,
    id::kTimer1OffMinuteEdit, id::kTimer2OnHourEdit,    id::kTimer2OnMinuteEdit,
    id::kTimer2OffHourEdit,   id::kTimer2OffMinuteEdit,
};

enum class FieldGroup { kNone, kLight, kLightTime, kTimer };

// Per list entry, the fields that accept input while it is selected.
constexpr FieldGroup kModeGroups[] = {
    FieldGroup::kLight, FieldGroup::kLightTime, FieldGroup::kTimer,
    FieldGroup::kNone,  FieldGroup::kNone,
};
static_assert(std::size(kModeGroups) == kLoadModeEntries);
constexpr int kModeCount = kLoadModeEntries;

struct DisplayRow {
    int id;
    Field field;
    FieldFormat format;
};
constexpr DisplayRow kDisplay[] = {
    {id::kLightOnVoltageEdit, &ControllerData::loadOnPvVoltage, FieldFormat::kTenths},
    {id::kLightOffVoltageEdit, &ControllerData::loadOffPvVoltage, FieldFormat::kTenths},
    {id::kLightOnDelayEdit, &ControllerData::loadOnDelay, FieldFormat::kLow8},
    {id::kLightOffDelayEdit, &ControllerData::loadOffDelay, FieldFormat::kLow8},
    {id::kTimer1OnHourEdit, &ControllerData::timer1OnHour, FieldFormat::kLow8},
    {id::kTimer1OnMinuteEdit, &ControllerData::timer1OnMinute, FieldFormat::kLow8},
    {id::kTimer1OffHourEdit, &ControllerData::timer1OffHour, FieldFormat::kLow8},
    {id::kTimer1OffMinuteEdit, &ControllerData::timer1OffMinute, FieldFormat::kLow8},
    {id::kTimer2OnHourEdit, &ControllerData::timer2OnHour, FieldFormat::kLow8},
    {id::kTimer2OnMinuteEdit, &ControllerData::timer2OnMinute, FieldFormat::kLow8},
    {id::kTimer2OffHourEdit, &ControllerData::timer2OffHour, FieldFormat::kLow8},
    {id::kTimer2OffMinuteEdit, &ControllerData::timer2OffMinute, FieldFormat::kLow8},
    {id::kLightTimeOnVoltageEdit, &ControllerData::loadOnPvVoltage, FieldFormat::kTenths},
    {id::kEveningHoursEdit, &ControllerData::loadMode, FieldFormat::kMod100},
    {id::kLightTimeOffVoltageEdit, &ControllerData::loadOffPvVoltage, FieldFormat::kTenths},
    {id::kMorningHoursEdit, &ControllerData::morningOnCode, FieldFormat::kMod100},
};

constexpr LanguageText kSelectModeMessage = {"Please select the load control mode!",
                                             "请选择负载控制模式！"};

}  // namespace

int LoadControl::CurrentList() const {
    return state_.IsEnglish() ? id::kLoadModeListEnglish : id::kLoadModeListChinese;
}

void LoadControl::MatchModeLists(int changedListId) {
    const int other = changedListId == id::kLoadModeListEnglish ? id::kLoadModeListChinese
                                                                : id::kLoadModeListEnglish;
    const int selection = controls_.Selection(changedListId);
    if (controls_.Selection(other) != selection) controls_.Select(other, selection);
}

FieldProblems LoadControl::Check() const {
    const int list = CurrentList();
    const int mode = controls_.Selection(list);
    if (mode >= 0 && mode < kModeCount) return {};
    return {{list, std::string(kSelectModeMessage.In(state_.IsEnglish()))}};
}

void LoadControl::Save() {
    ControllerData& data = state_.data;
    const bool english = state_.IsEnglish();
    if (const FieldProblems problems = Check(); !problems.empty()) {
        controls_.ShowMessage(problems.front().message);
        return;
    }
    const int list = CurrentList();
    const int mode = controls_.Selection(list);
    MatchModeLists(list);

    // The code of the chosen mode is set here too, so a SAVE made while the
    // settings pass is not running sends what the operator chose.
    if (mode == kLightTimeMode) {
        data.loadWrite[kModeSlot] =
            LoadModeCode(mode, ReadIntegerField(controls_, id::kEveningHoursEdit));
        data.loadWrite[kMorningSlot] =
            MorningCode(ReadIntegerField(controls_, id::kMorningHoursEdit));
    } else {
        data.loadWrite[kModeSlot] = LoadModeCode(mode, 0);
    }
    for (int i = 0; i < static_cast<int>(std::size(kTimerFields)); ++i)
        data.loadWrite[kFirstTimerSlot + i] = ReadIntegerField(controls_, kTimerFields[i]);
    const bool light = mode == kLightMode;
    data.loadWrite[kOnVoltageSlot] =
        ReadTenthsField(controls_, light ? id::kLightOnVoltageEdit : id::kLightTimeOnVoltageEdit);
    data.loadWrite[kOffVoltageSlot] =
        ReadTenthsField(controls_, light ? id::kLightOffVoltageEdit : id::kLightTimeOffVoltageEdit);
    data.loadWrite[kOnDelaySlot] = ReadIntegerField(controls_, id::kLightOnDelayEdit);
    data.loadWrite[kOffDelaySlot] = ReadIntegerField(controls_, id::kLightOffDelayEdit);

    settings::SetTextIfChanged(controls_, id::kMessageLine,
                               *SettingsStatusText(settings::kStatusWriting, 0, english));
    state_.settingsStatus = settings::kStatusWriting;
    state_.pendingWrite = 3;
}

void LoadControl::DisableControls() {
    for (const DisplayRow& row : kDisplay)
        controls_.Enable(row.id, false);
    controls_.Enable(id::kLoadModeListChinese, false);
    controls_.Enable(id::kLoadModeListEnglish, false);
}

void LoadControl::ShowControllerValues() {
    const ControllerData& data = state_.data;
    for (const DisplayRow& row : kDisplay)
        settings::SetTextIfChanged(controls_, row.id,
                                   settings::FormatField(data.*row.field, row.format));

    const int mode = ModeIndex(data.loadMode);
    const bool english = state_.IsEnglish();
    controls_.Select(id::kLoadModeListChinese, mode);
    controls_.Show(id::kLoadModeListChinese, !english);
    controls_.Select(id::kLoadModeListEnglish, mode);
    controls_.Show(id::kLoadModeListEnglish, english);
}

void LoadControl::FollowEditMode() {
    const bool english = state_.IsEnglish();
    const int list = english ? id::kLoadModeListEnglish : id::kLoadModeListChinese;
    const int hidden = english ? id::kLoadModeListChinese : id::kLoadModeListEnglish;
    controls_.Enable(list, true);
    const int mode = controls_.Selection(list);
    controls_.Show(hidden, false);
    controls_.Show(list, true);

    const bool known = mode >= 0 && mode < kModeCount;
    const FieldGroup group = known ? kModeGroups[mode] : FieldGroup::kNone;
    if (known && mode != kLightTimeMode) state_.data.loadWrite[kModeSlot] = LoadModeCode(mode, 0);

    auto enableGroup = [this](std::span<const int> fields, bool enabled) {
        for (int field : fields)
            controls_.Enable(field, enabled);
    };
    enableGroup(kLightFields, group == FieldGroup::kLight);
    enableGroup(kLightTimeFields, group == FieldGroup::kLightTime);
    enableGroup(kTimerFields, group == FieldGroup::kTimer);
}

}  // namespace kestrane
