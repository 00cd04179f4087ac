#include "web/SettingsFields.h"

#include "profile/ProfileFields.h"

namespace kestrane::web {

namespace {

using profile::Need;
using profile::Unit;

const char* NeedName(Need need) {
    switch (need) {
        case Need::kAlways:
            return "always";
        case Need::kLeadAcid:
            return "lead_acid";
        case Need::kUserDiy:
            return "user_diy";
        case Need::kLithium:
            return "lithium";
        case Need::kLightModes:
            return "light_modes";
        case Need::kLightMode:
            return "light_mode";
        case Need::kLightTimeMode:
            return "light_time_mode";
        case Need::kDualTimerMode:
            return "dual_timer_mode";
    }
    return "always";
}

nlohmann::json Options(Unit unit) {
    nlohmann::json options = nlohmann::json::array();
    for (int32_t index = 0;; ++index) {
        const std::string name = profile::EntryName(unit, index);
        if (name.empty()) return options;
        options.push_back(name);
    }
}

}  // namespace

nlohmann::json SettingsFieldsJson() {
    nlohmann::json fields = nlohmann::json::array();
    for (const profile::ProfileField& field : profile::kProfileFields) {
        nlohmann::json entry = {{"path", field.path}, {"need", NeedName(field.need)}};
        if (field.unit == Unit::kTenths || field.unit == Unit::kWhole) {
            const bool tenths = field.unit == Unit::kTenths;
            std::string unit(field.suffix);
            if (!unit.empty() && unit.front() == ' ') unit.erase(0, 1);
            entry["kind"] = "number";
            entry["decimals"] = tenths ? 1 : 0;
            entry["min"] = tenths ? field.min / 10.0 : field.min;
            entry["max"] = tenths ? field.max / 10.0 : field.max;
            entry["unit"] = unit;
        } else {
            entry["kind"] = "list";
            entry["options"] = Options(field.unit);
        }
        fields.push_back(std::move(entry));
    }
    return fields;
}

}  // namespace kestrane::web
