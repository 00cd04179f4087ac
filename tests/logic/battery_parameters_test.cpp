#include <gtest/gtest.h>

#include "ParameterWindow.h"

namespace kestrane {
namespace {

using testing::ParameterWindow;

constexpr const char* kWait = "Setting, please wait!";
constexpr const char* kRange =
    "The voltage parameter of lead-acid battery exceeds the range of 9 ~ 15V!";

// A window with a User-Diy 24 V battery and valid fields.
struct SaveWindow : ParameterWindow {
    SaveWindow() {
        ParameterWindow& w = *this;
        w.controls.Select(id::kBatteryTypeList, 0);
        w.controls.Select(id::kSystemVoltageList, 2);
        w.Type(id::kMaxChargeCurrentEdit, "20.5");
        w.Type(id::kMaxLoadCurrentEdit, "10");
        w.Type(id::kCvChargeVoltageEdit, "14.4");
        w.Type(id::kFloatChargeVoltageEdit, "13.8");
        w.Type(id::kEqualizeVoltageEdit, "14.6");
        w.Type(id::kEqualizeMinutesEdit, "300");
        const int protection[] = {id::kOverVoltageProtectEdit, id::kOverVoltageRecoverEdit,
                                  id::kLowVoltageProtectEdit, id::kLowVoltageRecoverEdit};
        const char* protectionTexts[] = {"15.5", "15.0", "10.5", "12.0"};
        for (int i = 0; i < 4; ++i)
            w.Type(protection[i], protectionTexts[i]);
        const int lithium[] = {1078, 1079, 1080, 1081, 1082, 1083};
        const char* lithiumTexts[] = {"14.1", "12.8", "14.6", "14.2", "10.0", "11.5"};
        for (int i = 0; i < 6; ++i)
            w.Type(lithium[i], lithiumTexts[i]);
    }

    // Leaves traces of an earlier write, so a rejected SAVE can be seen to keep them.
    void MarkEarlierWrite() {
        ParameterWindow& w = *this;
        for (auto& v : w.state.data.batteryWrite)
            v = 77;
        for (auto& v : w.state.data.leadAcidWrite)
            v = 77;
        w.state.settingsStatus = 1;
        w.Type(id::kMessageLine, "Set successfully!");
    }

    void ExpectNothingQueued() {
        ParameterWindow& w = *this;
        EXPECT_EQ(w.state.pendingWrite, 0);
        EXPECT_EQ(w.state.settingsStatus, 1);
        EXPECT_EQ(w.controls.Text(id::kMessageLine), "Set successfully!");
        EXPECT_EQ(w.Battery(), std::vector<int32_t>(8, 77));
        EXPECT_EQ(w.LeadAcid(), std::vector<int32_t>(4, 77));
    }
};

TEST(BatterySave, BasicsFillTheBatteryImageAndQueueSelectorOne) {
    SaveWindow w;
    w.editor.OnBatterySave();
    EXPECT_EQ(w.Battery(), (std::vector<int32_t>{0, 2, 144, 138, 205, 100, 146, 300}));
    EXPECT_EQ(w.LeadAcid(), std::vector<int32_t>(4, 0));
    EXPECT_EQ(w.Lithium(), std::vector<int32_t>(6, 0));
    EXPECT_EQ(w.state.settingsStatus, 3);
    EXPECT_EQ(w.state.pendingWrite, 1);
    EXPECT_EQ(w.controls.Text(id::kMessageLine), kWait);
    EXPECT_TRUE(w.controls.messages.empty());
}

TEST(BatterySave, FullSaveWritesProtectionAndLithiumInRegisterOrder) {
    SaveWindow w;
    w.editor.OnFullBatterySave();
    EXPECT_EQ(w.Battery(), (std::vector<int32_t>{0, 2, 144, 138, 205, 100, 146, 300}));
    EXPECT_EQ(w.LeadAcid(), (std::vector<int32_t>{155, 150, 105, 120}));
    // 0x0907-0x090C take 1078, 1079, 1082, 1080, 1083, 1081.
    EXPECT_EQ(w.Lithium(), (std::vector<int32_t>{141, 128, 100, 146, 115, 142}));
    EXPECT_EQ(w.state.pendingWrite, 2);
    EXPECT_EQ(w.state.settingsStatus, 3);
}

TEST(BatterySave, UserDiyVoltagesOnTheRangeLimitsAreAccepted) {
    SaveWindow w;
    w.Type(id::kCvChargeVoltageEdit, "9");
    w.Type(id::kFloatChargeVoltageEdit, "15.0");
    w.Type(id::kEqualizeVoltageEdit, "15.05");
    w.editor.OnFullBatterySave();
    EXPECT_TRUE(w.controls.messages.empty());
    EXPECT_EQ(w.state.data.batteryWrite[2], 90);
    EXPECT_EQ(w.state.data.batteryWrite[3], 150);
    EXPECT_EQ(w.state.data.batteryWrite[6], 150);
    EXPECT_EQ(w.state.pendingWrite, 2);
}

TEST(BatterySave, UserDiyVoltageOutOfRangeIsRejectedWithNothingStored) {
    const int fields[] = {id::kCvChargeVoltageEdit, id::kFloatChargeVoltageEdit,
                          id::kEqualizeVoltageEdit};
    const char* texts[] = {"15.1", "8.99", "", "-10", "abc", "1e9"};
    for (bool full : {false, true}) {
        for (int field : fields) {
            for (const char* text : texts) {
                SCOPED_TRACE(std::to_string(field) + " '" + text + "'" + (full ? " full" : ""));
                SaveWindow fresh;
                fresh.MarkEarlierWrite();
                fresh.Type(field, text);
                full ? fresh.editor.OnFullBatterySave() : fresh.editor.OnBatterySave();
                EXPECT_EQ(fresh.controls.messages, std::vector<std::string>{kRange});
                fresh.ExpectNothingQueued();
            }
        }
    }
}

TEST(BatterySave, CheckNamesEveryFailingFieldWhileSaveShowsOneMessage) {
    SaveWindow w;
    w.Type(id::kCvChargeVoltageEdit, "15.1");
    w.Type(id::kEqualizeVoltageEdit, "8.9");
    BatteryParameters battery(w.controls, w.state);
    const FieldProblems problems = battery.Check();
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].controlId, id::kCvChargeVoltageEdit);
    EXPECT_EQ(problems[1].controlId, id::kEqualizeVoltageEdit);
    EXPECT_EQ(problems[1].message, kRange);
    w.editor.OnFullBatterySave();
    EXPECT_EQ(w.controls.messages, std::vector<std::string>{kRange});

    // A missing list entry hides the voltage checks: the type decides them.
    w.controls.Select(id::kBatteryTypeList, -1);
    ASSERT_EQ(battery.Check().size(), 1u);
    EXPECT_EQ(battery.Check()[0].controlId, id::kBatteryTypeList);
}

TEST(BatterySave, RangeMessageFollowsTheLanguage) {
    SaveWindow w;
    w.SetEnglish(false);
    w.Type(id::kCvChargeVoltageEdit, "16");
    w.editor.OnBatterySave();
    EXPECT_EQ(w.controls.messages,
              std::vector<std::string>{"请确认铅酸电池电压参数在9~15V范围内！"});
}

TEST(BatterySave, PresetTypesIgnoreTheChargeVoltageFieldsAndSendTheControllersOwn) {
    SaveWindow w;
    w.state.data.cvChargeVoltage = 146;
    w.state.data.floatChargeVoltage = 137;
    w.state.data.equalizeVoltage = 148;
    w.Type(id::kCvChargeVoltageEdit, "nonsense");
    w.Type(id::kFloatChargeVoltageEdit, "99");
    w.Type(id::kEqualizeVoltageEdit, "");
    for (int type : {1, 2, 3, 4}) {
        SCOPED_TRACE(type);
        w.controls.Select(id::kBatteryTypeList, type);
        w.controls.messages.clear();
        w.editor.OnBatterySave();
        EXPECT_TRUE(w.controls.messages.empty());
        EXPECT_EQ(w.Battery(), (std::vector<int32_t>{type, 2, 146, 137, 205, 100, 148, 300}));
        EXPECT_EQ(w.state.pendingWrite, 1);
    }
}

TEST(BatterySave, LithiumWritesTheHiddenSystemVoltageList) {
    SaveWindow w;
    w.controls.Select(id::kBatteryTypeList, 4);
    w.controls.Select(id::kSystemVoltageList, 3);
    w.controls.Show(id::kSystemVoltageList, false);
    w.editor.OnFullBatterySave();
    EXPECT_EQ(w.state.data.batteryWrite[0], 4);
    EXPECT_EQ(w.state.data.batteryWrite[1], 3);

    // With no entry there, the controller's own setting goes out, never 0xFFFF.
    w.state.data.systemVoltageSetting = 1;
    w.controls.Select(id::kSystemVoltageList, -1);
    w.editor.OnFullBatterySave();
    EXPECT_TRUE(w.controls.messages.empty());
    EXPECT_EQ(w.state.data.batteryWrite[1], 1);
}

TEST(BatterySave, WithoutTypeOrSystemVoltageNothingIsQueued) {
    struct Case {
        int type;
        int voltage;
        bool english;
        const char* message;
    };
    const Case cases[] = {
        {-1, 2, true, "Please select the battery type and the system voltage!"},
        {-1, -1, false, "请选择电池类型和系统电压！"},
        {0, -1, true, "Please select the battery type and the system voltage!"},
        {3, -1, false, "请选择电池类型和系统电压！"},
    };
    for (const Case& c : cases) {
        for (bool full : {false, true}) {
            SaveWindow fresh;
            fresh.MarkEarlierWrite();
            fresh.SetEnglish(c.english);
            fresh.controls.Select(id::kBatteryTypeList, c.type);
            fresh.controls.Select(id::kSystemVoltageList, c.voltage);
            full ? fresh.editor.OnFullBatterySave() : fresh.editor.OnBatterySave();
            EXPECT_EQ(fresh.controls.messages, std::vector<std::string>{c.message});
            fresh.ExpectNothingQueued();
        }
    }
}

TEST(BatterySave, LaterSaveReplacesOneNotYetSent) {
    SaveWindow w;
    w.editor.OnFullBatterySave();
    w.Type(id::kMaxChargeCurrentEdit, "30");
    w.editor.OnBatterySave();
    EXPECT_EQ(w.state.pendingWrite, 1);
    EXPECT_EQ(w.state.data.batteryWrite[4], 300);
}

TEST(BatterySave, SaveInChineseShowsTheChineseWaitText) {
    SaveWindow w;
    w.SetEnglish(false);
    w.editor.OnBatterySave();
    EXPECT_EQ(w.controls.Text(id::kMessageLine), "正在设置，请稍候！");
}

}  // namespace
}  // namespace kestrane
