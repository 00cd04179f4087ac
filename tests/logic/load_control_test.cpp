#include "settings/logic/LoadControl.h"

#include <gtest/gtest.h>

#include "ParameterWindow.h"

namespace kestrane {
namespace {

using testing::ParameterWindow;

// A window whose load fields each hold a distinct value.
struct LoadWindow : ParameterWindow {
    explicit LoadWindow(bool english = true) : ParameterWindow(english) {
        Type(id::kLightOnVoltageEdit, "12.0");
        Type(id::kLightOffVoltageEdit, "12.6");
        Type(id::kLightOnDelayEdit, "5");
        Type(id::kLightOffDelayEdit, "7");
        Type(id::kLightTimeOnVoltageEdit, "11.0");
        Type(id::kLightTimeOffVoltageEdit, "13.0");
        Type(id::kEveningHoursEdit, "6");
        Type(id::kMorningHoursEdit, "2");
        const int timers[] = {1066, 1072, 1068, 1070, 1067, 1073, 1069, 1071};
        const char* texts[] = {"18", "75", "23", "30", "4", "0", "6", "45"};
        for (int i = 0; i < 8; ++i)
            Type(timers[i], texts[i]);
    }

    void SelectMode(int index) {
        controls.Select(id::kLoadModeListEnglish, index);
        controls.Select(id::kLoadModeListChinese, index);
    }
};

TEST(LoadSave, EachModeWritesItsCodeThresholdsAndEveryOtherRegister) {
    struct Case {
        int mode;
        std::vector<int32_t> image;
    };
    // Timers go out as typed (minutes of 75 included); the thresholds come
    // from the Light Mode fields only in Light Mode; 0x0402 keeps 0 until a
    // Light&Time SAVE sets it.
    const Case cases[] = {
        {0, {5100, 0, 120, 126, 5, 7, 18, 75, 23, 30, 4, 0, 6, 45}},
        {1, {5106, 5202, 110, 130, 5, 7, 18, 75, 23, 30, 4, 0, 6, 45}},
        {2, {5116, 0, 110, 130, 5, 7, 18, 75, 23, 30, 4, 0, 6, 45}},
        {3, {5117, 0, 110, 130, 5, 7, 18, 75, 23, 30, 4, 0, 6, 45}},
        {4, {5118, 0, 110, 130, 5, 7, 18, 75, 23, 30, 4, 0, 6, 45}},
    };
    for (bool english : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::to_string(c.mode) + (english ? " English" : " Chinese"));
            LoadWindow w(english);
            w.SelectMode(c.mode);
            w.editor.OnLoadSave();
            EXPECT_EQ(w.Load(), c.image);
            EXPECT_EQ(w.state.settingsStatus, 3);
            EXPECT_EQ(w.state.pendingWrite, 3);
            EXPECT_EQ(w.controls.Text(id::kMessageLine),
                      english ? "Setting, please wait!" : "正在设置，请稍候！");
        }
    }
}

TEST(LoadSave, MorningCodeStaysFromTheLastLightTimeSave) {
    LoadWindow w;
    w.SelectMode(LoadControl::kLightTimeMode);
    w.editor.OnLoadSave();
    w.SelectMode(LoadControl::kDualTimerMode);
    w.editor.OnLoadSave();
    EXPECT_EQ(w.state.data.loadWrite[0], 5116);
    EXPECT_EQ(w.state.data.loadWrite[1], 5202);
}

TEST(LoadSave, ReadsTheListOfTheCurrentLanguageAndMatchesTheOther) {
    LoadWindow w(false);
    w.controls.Select(id::kLoadModeListChinese, 3);
    w.controls.Select(id::kLoadModeListEnglish, 0);
    w.editor.OnLoadSave();
    EXPECT_EQ(w.state.data.loadWrite[0], 5117);
    EXPECT_EQ(w.controls.Selection(id::kLoadModeListEnglish), 3);
}

TEST(LoadSave, WithoutAModeNothingIsQueued) {
    LoadWindow w;
    w.SelectMode(-1);
    w.editor.OnLoadSave();
    EXPECT_EQ(w.controls.messages,
              std::vector<std::string>{"Please select the load control mode!"});
    EXPECT_EQ(w.state.pendingWrite, 0);
    EXPECT_EQ(w.state.settingsStatus, 0);
    EXPECT_EQ(w.Load(), std::vector<int32_t>(14, 0));
}

TEST(LoadModeLists, ChoosingInOneListSelectsTheSameInTheOther) {
    ParameterWindow w;
    w.controls.Select(id::kLoadModeListEnglish, 2);
    w.editor.OnLoadModeSelected(id::kLoadModeListEnglish);
    EXPECT_EQ(w.controls.Selection(id::kLoadModeListChinese), 2);
    w.controls.Select(id::kLoadModeListChinese, 4);
    w.editor.OnLoadModeSelected(id::kLoadModeListChinese);
    EXPECT_EQ(w.controls.Selection(id::kLoadModeListEnglish), 4);
}

TEST(LoadModeLists, ModeCodesMapToListEntries) {
    const std::pair<int32_t, int> cases[] = {
        {5100, 0}, {5101, 1},  {5106, 1},  {5115, 1}, {5116, 2},   {5117, 3},
        {5118, 4}, {5099, -1}, {5119, -1}, {0, -1},   {65535, -1},
    };
    for (const auto& [code, index] : cases)
        EXPECT_EQ(LoadControl::ModeIndex(code), index) << code;
}

// A SAVE, then the controller's read-back of what it sent, then a pass while
// not editing: the operator sees the mode and hours that were written.
TEST(LoadSave, WrittenCodesReadBackAsTheirMode) {
    struct Case {
        const char* evening;
        int32_t code;
        int shownMode;
        const char* shownEvening;
    };
    const Case cases[] = {
        {"6", 5106, 1, "6"},
        {"0", 5100, 0, "0"},
        {"16", 5116, 2, "16"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.evening);
        LoadWindow w;
        w.SelectMode(LoadControl::kLightTimeMode);
        w.Type(id::kEveningHoursEdit, c.evening);
        w.editor.OnLoadSave();
        ASSERT_EQ(w.state.data.loadWrite[0], c.code);

        w.state.data.loadMode = w.state.data.loadWrite[0].load();
        w.state.data.morningOnCode = w.state.data.loadWrite[1].load();
        w.Pass(1);
        EXPECT_EQ(w.controls.Selection(id::kLoadModeListEnglish), c.shownMode);
        EXPECT_EQ(w.controls.Selection(id::kLoadModeListChinese), c.shownMode);
        EXPECT_EQ(w.controls.Text(id::kEveningHoursEdit), c.shownEvening);
        EXPECT_EQ(w.controls.Text(id::kMorningHoursEdit), "2");
    }
}

}  // namespace
}  // namespace kestrane
