// A profile's write images and frames against those of the window's SAVE: the
// same values typed into the window's parameter controls by hand must give
// byte-identical frames for every write code.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "logic/ParameterWindow.h"
#include "profile/ProfileEncoder.h"
#include "profile/ProfileJson.h"
#include "protocol/CModbusFrame.h"
#include "protocol/RegisterMap.h"

namespace kestrane::profile {
namespace {

using testing::ParameterWindow;
using Frames = std::map<int, std::vector<uint8_t>>;

constexpr uint8_t kAddress = 7;

// What the controller reports: a 12 V lead-acid bank in Light Mode.
void FillRecord(ControllerData& data) {
    data.batteryType = 0;
    data.systemVoltageSetting = 1;
    data.cvChargeVoltage = 144;
    data.floatChargeVoltage = 138;
    data.maxChargeCurrent = 400;
    data.maxLoadCurrent = 200;
    data.equalizeVoltage = 146;
    data.equalizeMinutes = 120;
    const int32_t protection[] = {160, 150, 110, 122};
    AtomicValue* protectionFields[] = {&data.overVoltageProtect, &data.overVoltageRecover,
                                       &data.lowVoltageProtect, &data.lowVoltageRecover};
    for (int i = 0; i < 4; ++i)
        *protectionFields[i] = protection[i];
    data.liChargeVoltage = 142;
    data.liNominalVoltage = 128;
    data.liLowVoltageProtect = 112;
    data.liOverVoltageProtect = 146;
    data.liLowVoltageRecover = 120;
    data.liOverVoltageRecover = 140;
    data.loadMode = 5100;
    data.morningOnCode = 5203;
    data.loadOnPvVoltage = 50;
    data.loadOffPvVoltage = 60;
    data.loadOnDelay = 5;
    data.loadOffDelay = 5;
    data.timer1OnHour = 18;
    data.timer1OnMinute = 30;
    data.timer1OffHour = 23;
    data.timer2OnHour = 5;
    data.timer2OffHour = 6;
    data.timer2OffMinute = 30;
}

Frames FramesOf(SharedState& state) {
    CModbusFrame frame(state);
    Frames frames;
    for (int code : {11, 12, 10, kBatteryTypeFrameCode, 13}) {
        frame.ClearRequest();
        frame.BuildWriteRequest(kAddress, 16, code);
        frames[code] = {frame.Request(), frame.Request() + frame.RequestLength()};
    }
    return frames;
}

Frames ProfileFrames(const std::string& text) {
    std::vector<ProfileError> errors;
    const auto profile = ReadProfile(text, true, errors);
    EXPECT_TRUE(profile) << (errors.empty() ? "" : errors[0].field + ": " + errors[0].message);
    SharedState state;
    FillRecord(state.data);
    EXPECT_TRUE(FillWriteImages(profile->values, state));
    return FramesOf(state);
}

// The window after a pass has shown the controller's values, in edit mode.
struct Window : ParameterWindow {
    Window() {
        FillRecord(state.data);
        Pass();
        editor.OnEditButton();
    }
    void Save() {
        editor.OnFullBatterySave();
        editor.OnLoadSave();
        EXPECT_TRUE(controls.messages.empty());
    }
    void SelectMode(int index) {
        controls.Select(id::kLoadModeListEnglish, index);
        editor.OnLoadModeSelected(id::kLoadModeListEnglish);
        Pass();  // the pass sets the mode code while editing
    }
};

TEST(ProfileFrames, UserDefinedBatteryInLightAndTimeModeAsTheWindowSendsIt) {
    const Frames profile = ProfileFrames(R"({"format": 1, "model": "M",
      "battery": {"type": "User-Diy", "systemVoltage": "24V", "maxChargeCurrent": 30.5,
                  "maxLoadCurrent": 15, "equalizeMinutes": 90},
      "leadAcid": {"chargeVoltage": 14.2, "floatVoltage": 13.6, "equalizeVoltage": 14.8,
                   "overVoltageProtect": 15.5, "overVoltageRecover": 15.0,
                   "lowVoltageProtect": 10.5, "lowVoltageRecover": 12.0},
      "lithium": {"chargeVoltage": 14.1, "nominalVoltage": 12.8, "lowVoltageProtect": 10.0,
                  "overVoltageProtect": 14.6, "lowVoltageRecover": 11.5,
                  "overVoltageRecover": 14.2},
      "load": {"mode": "Light&Time Mode", "eveningHours": 6, "morningHours": 2,
               "onVoltage": 5.5, "offVoltage": 6.5, "onDelay": 3, "offDelay": 4,
               "timer1": {"onHour": 19, "onMinute": 0, "offHour": 22, "offMinute": 15},
               "timer2": {"onHour": 4, "onMinute": 45, "offHour": 6, "offMinute": 75}}})");

    Window w;
    w.controls.Select(id::kBatteryTypeList, 0);
    w.controls.Select(id::kSystemVoltageList, 2);
    const std::map<int, const char*> typed = {
        {1085, "30.5"}, {1086, "15"},   {1057, "90"},   {1054, "14.2"}, {1056, "13.6"},
        {1055, "14.8"}, {1058, "15.5"}, {1059, "15.0"}, {1060, "10.5"}, {1061, "12.0"},
        {1078, "14.1"}, {1079, "12.8"}, {1082, "10.0"}, {1080, "14.6"}, {1083, "11.5"},
        {1081, "14.2"}, {1062, "6"},    {1063, "2"},    {1064, "5.5"},  {1065, "6.5"},
        {1074, "3"},    {1075, "4"},    {1066, "19"},   {1072, "0"},    {1068, "22"},
        {1070, "15"},   {1067, "4"},    {1073, "45"},   {1069, "6"},    {1071, "75"}};
    for (const auto& [control, text] : typed)
        w.Type(control, text);
    w.SelectMode(1);
    w.Save();
    EXPECT_EQ(profile, FramesOf(w.state));
}

TEST(ProfileFrames, PresetTypeTakesTheControllersChargeVoltagesAsTheWindowDoes) {
    // FLD in Dual Timer Mode; the profile leaves the charge voltages and the
    // lithium set out, the window shows "--" in the charge voltage fields.
    const Frames profile = ProfileFrames(R"({"format": 1, "model": "M",
      "battery": {"type": "FLD", "systemVoltage": "12V", "maxChargeCurrent": 40,
                  "maxLoadCurrent": 20, "equalizeMinutes": 120},
      "leadAcid": {"overVoltageProtect": 16.0, "overVoltageRecover": 15.0,
                   "lowVoltageProtect": 11.0, "lowVoltageRecover": 12.2},
      "load": {"mode": "Dual Timer Mode",
               "timer1": {"onHour": 18, "onMinute": 30, "offHour": 23, "offMinute": 0},
               "timer2": {"onHour": 5, "onMinute": 0, "offHour": 7, "offMinute": 30}}})");

    Window w;
    w.controls.Select(id::kBatteryTypeList, 1);
    w.Pass();
    for (int control : {1054, 1055, 1056})
        w.Type(control, "--");
    w.Type(id::kTimer2OffHourEdit, "7");
    w.SelectMode(2);
    w.Save();
    // Outside Light&Time Mode the window's SAVE leaves the hours before dawn
    // as they were; the profile keeps the controller's own code there.
    w.state.data.loadWrite[1] = 5203;
    EXPECT_EQ(profile, FramesOf(w.state));
}

TEST(ProfileFrames, LithiumWithoutSystemVoltageKeepsTheControllersOwn) {
    const Frames profile = ProfileFrames(R"({"format": 1, "model": "M",
      "battery": {"type": "Li-ion", "maxChargeCurrent": 25, "maxLoadCurrent": 10},
      "lithium": {"chargeVoltage": 14.4, "nominalVoltage": 12.8, "lowVoltageProtect": 10.8,
                  "overVoltageProtect": 14.8, "lowVoltageRecover": 12.0,
                  "overVoltageRecover": 14.0},
      "load": {"mode": "Off Mode"}})");

    Window w;
    w.controls.Select(id::kBatteryTypeList, 4);
    w.Pass();
    const std::map<int, const char*> typed = {{1085, "25"},   {1086, "10"},   {1078, "14.4"},
                                              {1079, "12.8"}, {1082, "10.8"}, {1080, "14.8"},
                                              {1083, "12.0"}, {1081, "14.0"}};
    for (const auto& [control, text] : typed)
        w.Type(control, text);
    w.SelectMode(4);
    w.Save();
    w.state.data.loadWrite[1] = 5203;
    EXPECT_EQ(profile, FramesOf(w.state));
}

TEST(ProfileImages, FieldsLeftOutKeepTheControllersWholeValue) {
    // The window would write back the 44 it shows for 300 minutes; a profile
    // that leaves the time out must not change it.
    std::vector<ProfileError> errors;
    const auto profile = ReadProfile(R"({"format": 1, "model": "M",
      "battery": {"type": "Li-ion", "maxChargeCurrent": 25, "maxLoadCurrent": 10},
      "lithium": {"chargeVoltage": 14.4, "nominalVoltage": 12.8, "lowVoltageProtect": 10.8,
                  "overVoltageProtect": 14.8, "lowVoltageRecover": 12.0,
                  "overVoltageRecover": 14.0},
      "load": {"mode": "On Mode"}})",
                                     true, errors);
    ASSERT_TRUE(profile);
    SharedState state;
    FillRecord(state.data);
    state.data.equalizeMinutes = 300;
    state.data.timer2OffMinute = 300;
    ASSERT_TRUE(FillWriteImages(profile->values, state));
    EXPECT_EQ(state.data.batteryWrite[7], 300);
    EXPECT_EQ(state.data.loadWrite[13], 300);
    EXPECT_EQ(state.data.batteryWrite[1], 1);  // the controller's system voltage
    EXPECT_EQ(state.data.loadWrite[1], 5203);
    // Only what the profile changes differs from the controller.
    EXPECT_EQ(DifferingBlocks(state.data), (std::vector<int>{12, 10, 13}));
    std::vector<std::string> names;
    for (size_t field : DifferingFields(state.data))
        names.emplace_back(kProfileFields[field].path);
    EXPECT_EQ(names, (std::vector<std::string>{"battery.type", "battery.maxChargeCurrent",
                                               "battery.maxLoadCurrent", "lithium.chargeVoltage",
                                               "lithium.lowVoltageProtect",
                                               "lithium.overVoltageProtect", "load.mode"}));

    // Once Li-ion has taken effect the controller may report other charge
    // voltages: they are its own, not a write that did not take.
    state.data.cvChargeVoltage = 142;
    state.data.floatChargeVoltage = 138;
    EXPECT_EQ(DifferingFields(state.data).size(), 7u);
}

}  // namespace
}  // namespace kestrane::profile
