#include "profile/ProfileControls.h"

#include <cstdio>

#include "monitor/ControlIds.h"

namespace kestrane::profile {

namespace {

const ProfileField* ListField(int id) {
    for (const ProfileField& field : kProfileFields)
        if (field.unit != Unit::kTenths && field.unit != Unit::kWhole &&
            (field.controlId == id || field.secondControlId == id))
            return &field;
    return nullptr;
}

// The text that reads back as `value` in the field's unit.
std::string TextOf(const ProfileField& field, int32_t value) {
    if (field.unit != Unit::kTenths) return std::to_string(value);
    char text[32];
    std::snprintf(text, sizeof text, "%d.%d", value / 10, value % 10);
    return text;
}

}  // namespace

ProfileControls::ProfileControls(const FieldValues& values, const ControllerData& record) {
    for (size_t i = 0; i < kProfileFields.size(); ++i) {
        const ProfileField& field = kProfileFields[i];
        std::optional<int32_t> value = values[i];
        if (field.unit == Unit::kTenths || field.unit == Unit::kWhole) {
            // The register's whole word, so a SAVE writes back what it holds.
            if (!value)
                value = static_cast<uint16_t>((record.*field.record).load()) - field.codeBase;
            texts_[field.controlId] = TextOf(field, *value);
            if (field.secondControlId != 0) texts_[field.secondControlId] = TextOf(field, *value);
            continue;
        }
        const int selection = value ? *value : -1;
        selections_[field.controlId] = selection;
        if (field.secondControlId != 0) selections_[field.secondControlId] = selection;
    }
}

std::string ProfileControls::Text(int id) const {
    const auto found = texts_.find(id);
    return found == texts_.end() ? std::string() : found->second;
}

int ProfileControls::Selection(int id) const {
    const auto found = selections_.find(id);
    return found == selections_.end() ? -1 : found->second;
}

int ProfileControls::ItemCount(int id) const {
    const ProfileField* field = ListField(id);
    if (!field) return 0;
    switch (field->unit) {
        case Unit::kSystemVoltage:
            return kSystemVoltageEntries;
        case Unit::kBatteryType:
            return static_cast<int>(kBatteryTypeNames.size());
        default:
            return static_cast<int>(kLoadModeNames.size());
    }
}

std::string ProfileControls::ItemText(int id, int index) const {
    const ProfileField* field = ListField(id);
    return field ? EntryName(field->unit, index) : std::string();
}

void ProfileControls::ShowMessage(const std::string& text, const std::string&) {
    messages_.push_back(text);
}

}  // namespace kestrane::profile
