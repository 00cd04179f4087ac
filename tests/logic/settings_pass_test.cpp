#include <gtest/gtest.h>

#include <set>

#include "ParameterWindow.h"

namespace kestrane {
namespace {

using testing::ParameterWindow;

const std::vector<int> kChargeVoltages = {1054, 1055, 1056};
const std::vector<int> kProtection = {1058, 1059, 1060, 1061};
const std::vector<int> kLithium = {1078, 1079, 1080, 1081, 1082, 1083};
const std::vector<int> kLight = {1074, 1075, 1076, 1077};
const std::vector<int> kLightTime = {1062, 1063, 1064, 1065};
const std::vector<int> kTimers = {1066, 1067, 1068, 1069, 1070, 1071, 1072, 1073};
const std::vector<int> kSaves = {1084, 1052, 1053};

std::vector<int> Join(std::initializer_list<std::vector<int>> groups) {
    std::vector<int> all;
    for (const auto& g : groups)
        all.insert(all.end(), g.begin(), g.end());
    return all;
}

// The controls among `ids` that accept input.
std::set<int> Enabled(const ParameterWindow& w, const std::vector<int>& ids) {
    std::set<int> enabled;
    for (int id : ids)
        if (w.controls.IsEnabled(id)) enabled.insert(id);
    return enabled;
}
std::set<int> AsSet(const std::vector<int>& ids) {
    return {ids.begin(), ids.end()};
}

TEST(SettingsPassMessage, ShowsEveryStatusInBothLanguages) {
    struct Case {
        int32_t status;
        const char* english;
        const char* chinese;
    };
    const Case cases[] = {
        {0, "Click [START EDIT] to modify parameters!", "点击“开始编辑“可修改参数！"},
        {1, "Set successfully!", "设置成功！"},
        {2, "Setting failed!", "设置失败！"},
        {3, "Setting, please wait!", "正在设置，请稍候！"},
        {4, "Querying, please wait!", "正在查询，请稍候！"},
        {5, "The device address number is 7", "设备地址号为 7"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        ParameterWindow w;
        w.state.settingsStatus = c.status;
        w.Pass(7);
        EXPECT_EQ(w.controls.Text(id::kMessageLine), c.english);
        // A language switch shows the same status in the other language.
        w.SetEnglish(false);
        w.Pass(7);
        EXPECT_EQ(w.controls.Text(id::kMessageLine), c.chinese);
    }
}

TEST(SettingsPassMessage, UnknownStatusLeavesTheLine) {
    for (int32_t status : {-1, 6, 1000}) {
        ParameterWindow w;
        w.Type(id::kMessageLine, "earlier text");
        w.state.settingsStatus = status;
        w.Pass(7);
        EXPECT_EQ(w.controls.Text(id::kMessageLine), "earlier text");
    }
}

TEST(EditButton, FlipsByTheCaptionsLanguage) {
    struct Case {
        const char* caption;
        int32_t editModeBefore;
        const char* newCaption;
        int32_t editModeAfter;
    };
    const Case cases[] = {
        {"START EDIT", 0, "STOP EDIT", 1},  {"STOP EDIT", 1, "START EDIT", 0},
        {"开始编辑", 0, "停止编辑", 1},     {"停止编辑", 1, "开始编辑", 0},
        {"start edit", 0, "start edit", 0}, {"", 1, "", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caption);
        ParameterWindow w(false);  // the setting does not choose the caption
        w.Pass();
        w.Type(id::kEditButton, c.caption);
        w.editor.editMode = c.editModeBefore;
        w.editor.OnEditButton();
        EXPECT_EQ(w.controls.Text(id::kEditButton), c.newCaption);
        EXPECT_EQ(w.editor.editMode, c.editModeAfter);
    }
}

// Fields never filled from the controller would go out as zeros with the next
// SAVE: editing waits for a pass that showed a full read.
TEST(EditButton, StaysOffUntilAPassHasShownTheControllersSettings) {
    ParameterWindow w;
    w.editor.ForgetControllerValues();
    EXPECT_FALSE(w.controls.IsEnabled(id::kEditButton));

    w.editor.SettingsPass(1, false);
    EXPECT_FALSE(w.controls.IsEnabled(id::kEditButton));
    w.editor.OnEditButton();  // a click that reaches the handler anyway
    EXPECT_EQ(w.controls.Text(id::kEditButton), "START EDIT");
    EXPECT_EQ(w.editor.editMode, 0);

    w.editor.SettingsPass(1, true);
    EXPECT_TRUE(w.controls.IsEnabled(id::kEditButton));
    // A later pass without the flag (a count sampled across a reopen) keeps it.
    w.editor.SettingsPass(1, false);
    EXPECT_TRUE(w.controls.IsEnabled(id::kEditButton));
    w.editor.OnEditButton();
    EXPECT_EQ(w.editor.editMode, 1);
    EXPECT_EQ(w.controls.Text(id::kEditButton), "STOP EDIT");
}

TEST(EditButton, AReopenedPortWaitsForANewReadButLeavesAnEditInProgress) {
    ParameterWindow w;
    w.Pass();
    w.editor.ForgetControllerValues();
    EXPECT_FALSE(w.controls.IsEnabled(id::kEditButton));
    w.editor.OnEditButton();
    EXPECT_EQ(w.editor.editMode, 0);

    w.Pass();
    w.editor.OnEditButton();
    ASSERT_EQ(w.editor.editMode, 1);
    w.editor.ForgetControllerValues();
    EXPECT_TRUE(w.controls.IsEnabled(id::kEditButton));
    w.editor.OnEditButton();  // STOP EDIT still works
    EXPECT_EQ(w.editor.editMode, 0);
    w.editor.SettingsPass(1, false);
    EXPECT_FALSE(w.controls.IsEnabled(id::kEditButton));
    w.editor.OnEditButton();
    EXPECT_EQ(w.editor.editMode, 0);
}

// Readings with a distinct value per register.
void FillReadings(ControllerData& d) {
    d.batteryType = 2;
    d.systemVoltageSetting = 2;
    d.maxChargeCurrent = 400;
    d.maxLoadCurrent = 205;
    d.cvChargeVoltage = 144;
    d.floatChargeVoltage = 138;
    d.equalizeVoltage = 146;
    d.equalizeMinutes = 300;
    d.overVoltageProtect = 155;
    d.overVoltageRecover = 150;
    d.lowVoltageProtect = 105;
    d.lowVoltageRecover = 120;
    d.liChargeVoltage = 141;
    d.liNominalVoltage = 128;
    d.liLowVoltageProtect = 100;
    d.liOverVoltageProtect = 146;
    d.liLowVoltageRecover = 115;
    d.liOverVoltageRecover = 142;
    d.loadMode = 5106;
    d.morningOnCode = 5202;
    d.loadOnPvVoltage = 50;
    d.loadOffPvVoltage = 65535;
    d.loadOnDelay = 261;
    d.loadOffDelay = 10;
    d.timer1OnHour = 18;
    d.timer1OnMinute = 30;
    d.timer1OffHour = 23;
    d.timer1OffMinute = 0;
    d.timer2OnHour = 4;
    d.timer2OnMinute = 15;
    d.timer2OffHour = 6;
    d.timer2OffMinute = 45;
}

TEST(SettingsPassNotEditing, GreysEveryParameterControlAndShowsTheReadings) {
    ParameterWindow w;
    FillReadings(w.state.data);
    w.Type(id::kSystemVoltageLabel, "label");
    w.controls.Show(id::kSystemVoltageList, false);
    w.Pass(1);

    const std::vector<int> all = Join({{1004, 1005, 1006, 1008, 1085, 1086, 1057},
                                       kChargeVoltages,
                                       kProtection,
                                       kLithium,
                                       kLight,
                                       kLightTime,
                                       kTimers,
                                       kSaves});
    EXPECT_TRUE(Enabled(w, all).empty());

    const std::pair<int, const char*> shown[] = {
        {1085, "40.0"}, {1086, "20.5"}, {1054, "14.4"}, {1056, "13.8"},   {1055, "14.6"},
        {1057, "44"},   {1058, "15.5"}, {1059, "15.0"}, {1060, "10.5"},   {1061, "12.0"},
        {1078, "14.1"}, {1079, "12.8"}, {1082, "10.0"}, {1080, "14.6"},   {1083, "11.5"},
        {1081, "14.2"}, {1076, "5.0"},  {1064, "5.0"},  {1077, "6553.5"}, {1065, "6553.5"},
        {1074, "5"},    {1075, "10"},   {1062, "6"},    {1063, "2"},      {1066, "18"},
        {1072, "30"},   {1068, "23"},   {1070, "0"},    {1067, "4"},      {1073, "15"},
        {1069, "6"},    {1071, "45"},
    };
    for (const auto& [id, text] : shown)
        EXPECT_EQ(w.controls.Text(id), text) << id;
    EXPECT_EQ(w.controls.Selection(id::kBatteryTypeList), 2);
    EXPECT_EQ(w.controls.Selection(id::kSystemVoltageList), 2);
    EXPECT_EQ(w.controls.Selection(id::kLoadModeListEnglish), 1);
    EXPECT_EQ(w.controls.Selection(id::kLoadModeListChinese), 1);
    EXPECT_TRUE(w.controls.IsVisible(id::kLoadModeListEnglish));
    EXPECT_FALSE(w.controls.IsVisible(id::kLoadModeListChinese));
    // The system voltage list and its label keep whatever editing left.
    EXPECT_FALSE(w.controls.IsVisible(id::kSystemVoltageList));
    EXPECT_EQ(w.controls.Text(id::kSystemVoltageLabel), "label");

    w.SetEnglish(false);
    w.Pass(1);
    EXPECT_FALSE(w.controls.IsVisible(id::kLoadModeListEnglish));
    EXPECT_TRUE(w.controls.IsVisible(id::kLoadModeListChinese));
}

TEST(SettingsPassNotEditing, ChargeVoltagesShowOnlyForAUserDefinedTypeChosenLast) {
    ParameterWindow w;
    FillReadings(w.state.data);
    w.state.data.batteryWrite[0] = 1;
    w.Pass(1);
    for (int id : kChargeVoltages)
        EXPECT_EQ(w.controls.Text(id), "--") << id;
    w.state.data.batteryWrite[0] = 0;
    w.Pass(1);
    EXPECT_EQ(w.controls.Text(1054), "14.4");
}

TEST(SettingsPassNotEditing, ValuesWithoutAListEntryLeaveNoSelection) {
    ParameterWindow w;
    w.state.data.batteryType = 5;  // AGM: shown by the monitor, not offered here
    w.state.data.systemVoltageSetting = 41;
    for (int32_t loadMode : {5099, 5119, 0}) {
        w.state.data.loadMode = loadMode;
        w.Pass(1);
        EXPECT_EQ(w.controls.Selection(id::kBatteryTypeList), -1);
        EXPECT_EQ(w.controls.Selection(id::kSystemVoltageList), -1);
        EXPECT_EQ(w.controls.Selection(id::kLoadModeListEnglish), -1) << loadMode;
        EXPECT_EQ(w.controls.Selection(id::kLoadModeListChinese), -1) << loadMode;
    }
}

TEST(SettingsPassEditing, BatteryControlsFollowTheChosenType) {
    struct Case {
        int type;
        std::vector<int> enabled;  // among the type-dependent controls
        bool systemVoltage;
    };
    const std::vector<int> basics = {1004, 1085, 1086, 1084, 1052, 1053};
    const Case cases[] = {
        {0, Join({kChargeVoltages, kProtection, {1057}}), true},
        {1, Join({kProtection, {1057}}), true},
        {2, Join({kProtection, {1057}}), true},
        {3, Join({kProtection, {1057}}), true},
        {4, kLithium, false},
        {-1, {1057}, true},
    };
    // Every type reached from every other, so no state depends on the path.
    for (const Case& from : cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(from.type) + " -> " + std::to_string(c.type));
            ParameterWindow w;
            w.Pass(1);
            w.editor.editMode = 1;
            w.controls.Select(id::kBatteryTypeList, from.type);
            w.Pass(1);
            w.controls.Select(id::kBatteryTypeList, c.type);
            w.Pass(1);

            const auto dependent = Join({kChargeVoltages, kProtection, kLithium, {1057}});
            EXPECT_EQ(Enabled(w, dependent), AsSet(c.enabled));
            EXPECT_EQ(Enabled(w, basics), AsSet(basics));
            EXPECT_EQ(w.controls.IsVisible(id::kSystemVoltageList), c.systemVoltage);
            if (c.systemVoltage) {
                EXPECT_TRUE(w.controls.IsEnabled(id::kSystemVoltageList));
            }
            EXPECT_EQ(w.controls.Text(id::kSystemVoltageLabel),
                      c.systemVoltage ? "Sys.Volt.:" : "");
            // The image's type is the list's, and stays the last chosen without one.
            const int expectedType = c.type >= 0 ? c.type : (from.type >= 0 ? from.type : 0);
            EXPECT_EQ(w.state.data.batteryWrite[0], expectedType);
        }
    }
}

TEST(SettingsPassEditing, LoadFieldsFollowTheChosenMode) {
    struct Case {
        int mode;
        std::vector<int> enabled;
        int32_t code;  // set in 0x0401 by the pass
    };
    const Case cases[] = {
        {0, kLight, 5100}, {1, kLightTime, 4242}, {2, kTimers, 5116},
        {3, {}, 5117},     {4, {}, 5118},         {-1, {}, 4242},
    };
    for (bool english : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.mode) + (english ? " English" : " Chinese"));
            ParameterWindow w(english);
            w.Pass(1);
            w.editor.editMode = 1;
            w.state.data.loadWrite[0] = 4242;
            const int list = english ? id::kLoadModeListEnglish : id::kLoadModeListChinese;
            const int other = english ? id::kLoadModeListChinese : id::kLoadModeListEnglish;
            w.controls.Select(list, c.mode);
            w.controls.Select(other, 3);  // the hidden list is not read
            w.Pass(1);

            EXPECT_EQ(Enabled(w, Join({kLight, kLightTime, kTimers})), AsSet(c.enabled));
            EXPECT_EQ(w.state.data.loadWrite[0], c.code);
            EXPECT_TRUE(w.controls.IsEnabled(list));
            EXPECT_TRUE(w.controls.IsVisible(list));
            EXPECT_FALSE(w.controls.IsVisible(other));
        }
    }
}

TEST(SettingsPassEditing, KeepsWhatTheOperatorTypedUntilEditingEnds) {
    ParameterWindow w;
    FillReadings(w.state.data);
    w.Pass(1);
    w.editor.OnEditButton();
    w.Type(1054, "14.9");
    w.Type(1066, "20");
    w.state.data.cvChargeVoltage = 140;
    w.Pass(1);
    EXPECT_EQ(w.controls.Text(1054), "14.9");
    EXPECT_EQ(w.controls.Text(1066), "20");

    w.editor.OnEditButton();
    w.Pass(1);
    EXPECT_EQ(w.controls.Text(1066), "18");
    EXPECT_FALSE(w.controls.IsEnabled(1066));
}

}  // namespace
}  // namespace kestrane
