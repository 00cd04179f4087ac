#include "web/UiTexts.h"

#include <string>
#include <string_view>

#include "bridge/LoadModeOptions.h"
#include "monitor/BatteryText.h"
#include "monitor/ControlIds.h"
#include "monitor/LoadModeText.h"
#include "monitor/StateTexts.h"
#include "protocol/LoadModeCodes.h"
#include "ui/tables/MainWindowTexts.h"

namespace kestrane::web {

namespace {

using nlohmann::json;

struct CaptionRow {
    std::string_view key;
    int controlId;  // a caption or group box of the main window
};

constexpr CaptionRow kGroups[] = {
    {"running", id::kRunningStateGroup},
    {"realtime", id::kRealTimeGroup},
    {"battery", id::kBatteryParametersGroup},
    {"load", id::kLoadParametersGroup},
    {"energy", id::kEnergyGroup},
};

// The window shows model, serial and firmware without a box around them.
constexpr LanguageText kIdentityTitle = {"Identity", "设备信息"};

// Keys of the state and identity objects beside the caption the window
// shows them under.
constexpr CaptionRow kFields[] = {
    {"pv_voltage", 1190},
    {"battery_voltage", 1191},
    {"load_voltage", 1192},
    {"charge_current", 1193},
    {"load_current", 1194},
    {"charge_power", 1195},
    {"load_power", 1196},
    {"inner_temperature", 1197},
    {"battery_temperature", 1198},
    {"alarm", 1199},
    {"charged_today_wh", 1247},
    {"charged_month_wh", 1248},
    {"charged_total_kwh", 1249},
    {"used_today_wh", 1250},
    {"used_month_wh", 1251},
    {"used_total_kwh", 1252},
    {"battery_type", 1200},
    {"load_mode", id::kLoadModeLabel},
    // The controller's settings by their path in the settings profile, under
    // the captions of the window's settings boxes.
    {"battery.type", 1200},
    {"battery.maxChargeCurrent", 1201},
    {"battery.maxLoadCurrent", 1202},
    {"battery.equalizeMinutes", 1215},
    {"leadAcid.chargeVoltage", 1212},
    {"leadAcid.floatVoltage", 1214},
    {"leadAcid.equalizeVoltage", 1213},
    {"leadAcid.overVoltageProtect", 1216},
    {"leadAcid.overVoltageRecover", 1217},
    {"leadAcid.lowVoltageProtect", 1218},
    {"leadAcid.lowVoltageRecover", 1219},
    {"lithium.chargeVoltage", 1220},
    {"lithium.nominalVoltage", 1221},
    {"lithium.overVoltageProtect", 1222},
    {"lithium.overVoltageRecover", 1223},
    {"lithium.lowVoltageProtect", 1224},
    {"lithium.lowVoltageRecover", 1225},
    {"load.mode", id::kLoadModeLabel},
    {"load.onVoltage", 1230},
    {"load.offVoltage", 1231},
    {"model", id::kModelLabel},
    {"firmware", id::kFirmwareLabel},
    {"serial_number", id::kSerialLabel},
};

std::string WindowCaption(int controlId, bool english) {
    const MainWindowTextRow* row = FixedCaptionOf(controlId);
    if (row == nullptr) return {};
    return CaptionAsLabel(english ? row->english : row->chinese);
}

json Texts(bool english) {
    json texts = json::object();
    json& states = texts["charge_state"] = json::object();
    for (const uint32_t code : NamedRunningStates())
        states[std::to_string(code)] = RunningStateText(code, english).value_or("");
    json& alarms = texts["alarm"] = json::object();
    for (const uint32_t code : NamedAlarmCodes())
        alarms[std::to_string(code)] = AlarmText(code, english);
    json& modes = texts["load_mode"] = json::object();
    for (int entry = 0; entry < kLoadModeEntries; ++entry)
        modes[std::string(bridge::kLoadModeOptions[entry].text)] =
            kLoadModeListNames[entry].In(english);
    json& batteries = texts["battery_type"] = json::object();
    for (const uint32_t code : NamedBatteryTypes())
        batteries[std::to_string(code)] = BatteryTypeName(code, english);
    json& groups = texts["groups"] = json::object();
    for (const CaptionRow& row : kGroups)
        groups[std::string(row.key)] = WindowCaption(row.controlId, english);
    groups["identity"] = kIdentityTitle.In(english);
    json& fields = texts["fields"] = json::object();
    for (const CaptionRow& row : kFields)
        fields[std::string(row.key)] = WindowCaption(row.controlId, english);
    return texts;
}

}  // namespace

std::string CaptionAsLabel(std::string_view caption) {
    constexpr std::string_view kTrailing[] = {":", "：", "；", " "};
    bool trimmed = true;
    while (trimmed) {
        trimmed = false;
        for (const std::string_view tail : kTrailing) {
            if (caption.ends_with(tail)) {
                caption.remove_suffix(tail.size());
                trimmed = true;
            }
        }
    }
    std::string label;
    for (const char c : caption) {
        if (c == ' ' && (label.empty() || label.back() == ' ')) continue;
        label += c;
    }
    return label;
}

json UiTexts() {
    static_assert(std::size(bridge::kLoadModeOptions) == kLoadModeEntries,
                  "one bridge option per entry of the window's list");
    return {{"en", Texts(true)}, {"zh", Texts(false)}};
}

}  // namespace kestrane::web
