#include <map>
#include <string>
#include <tuple>

#include "SettingsDirFixture.h"
#include "platform/ProfileFile.h"
#include "ui/tables/MainWindowTexts.h"
#include "ui/tables/UiLanguage.h"

namespace kestrane::testing {
namespace {

class LanguageTest : public SettingsDirFixture {
protected:
    // What the window's initialisation does with the language: read the flag,
    // relabel, then the language set-up.
    void StartWindow() {
        state.SetLanguageFlag(ReadLanguageFlag(path));
        ApplyTextsOfFlag(window, state);
        ApplyLanguage(window, state, path);
    }

    struct ListState {
        int selection;
        bool visible;
        bool operator==(const ListState&) const = default;
    };
    struct Snapshot {
        std::map<int, std::string> texts;
        std::map<int, ListState> lists;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Take() const {
        Snapshot s;
        for (const MainWindowTextRow& row : MainWindowTexts())
            s.texts[row.id] = window.Text(row.id);
        s.texts[1256] = window.Text(1256);
        for (int list : {1006, 1008, 1009, 1011})
            s.lists[list] = {window.Selection(list), window.IsVisible(list)};
        return s;
    }
};

TEST_F(LanguageTest, EnglishFlagGivesEnglishWindowListsAndDialogs) {
    WriteFile("[SysLanguage]\r\nLanguage=ENGLISH\r\n[COMSET]\r\nADDR=1\r\n");
    state.colourIndex = 2;
    StartWindow();

    EXPECT_EQ(window.Text(1187), "Com Port:");
    EXPECT_EQ(window.Text(1189), "Address :");
    EXPECT_EQ(window.Text(1122), "DATA CORRECTTION");
    EXPECT_EQ(window.Text(1255), " Language:English");
    EXPECT_EQ(window.Text(1186), "切换为中文");
    EXPECT_EQ(window.Text(1226), "Light Mode ");
    EXPECT_EQ(window.Text(1256), "Background:");
    // Captions already in English are not touched by the swaps.
    EXPECT_EQ(window.Text(1007), "OPEN");
    EXPECT_EQ(window.Text(1014), "START MONITOR");
    EXPECT_EQ(window.Text(1118), "START EDIT");

    EXPECT_TRUE(window.IsVisible(1008));
    EXPECT_FALSE(window.IsVisible(1006));
    EXPECT_TRUE(window.IsVisible(1011));
    EXPECT_FALSE(window.IsVisible(1009));
    EXPECT_EQ(window.Selection(1011), 2);
    EXPECT_EQ(window.Selection(1009), 2);
    EXPECT_EQ(DialogLanguageId(state), 1033);
}

// Only the exact, case-sensitive "ENGLISH" selects English; a missing key or
// file reads as "NULL".
class NonEnglishFlagTest : public LanguageTest,
                           public ::testing::WithParamInterface<const char*> {};

TEST_P(NonEnglishFlagTest, GivesChineseWindowMessagesAndDialogs) {
    WriteFile(GetParam());
    StartWindow();

    EXPECT_EQ(window.Text(1014), "开始监控");
    EXPECT_EQ(window.Text(1118), "开始编辑");
    EXPECT_EQ(window.Text(1255), " 语言：中文");
    EXPECT_EQ(window.Text(1186), "Turn To English");
    EXPECT_EQ(window.Text(1251), "本月用电；");
    EXPECT_EQ(window.Text(1256), "背景选择：");
    EXPECT_EQ(window.Text(1036), "CLOSE");
    EXPECT_TRUE(window.IsVisible(1006));
    EXPECT_FALSE(window.IsVisible(1008));
    EXPECT_TRUE(window.IsVisible(1009));
    EXPECT_FALSE(window.IsVisible(1011));
    EXPECT_EQ(DialogLanguageId(state), 2052);
    EXPECT_EQ((LanguageText{"Done", "完成"}).In(state), "完成");
}

INSTANTIATE_TEST_SUITE_P(Flags, NonEnglishFlagTest,
                         ::testing::Values("[SysLanguage]\nLanguage=CHINESE\n",
                                           "[SysLanguage]\nLanguage=NULL\n",
                                           "[SysLanguage]\nLanguage=english\n",
                                           "[SysLanguage]\nLanguage=\n", "[COMSET]\nADDR=3\n"));

TEST_F(LanguageTest, MessagesFollowTheFlagEachTimeTheyAreShown) {
    const LanguageText text{"Done", "完成"};
    state.SetLanguageFlag("ENGLISH");
    EXPECT_EQ(text.In(state), "Done");
    state.SetLanguageFlag("ENGLISH ");
    EXPECT_EQ(text.In(state), "完成");
}

TEST_F(LanguageTest, TwoClicksReturnFileLabelsAndLists) {
    for (const char* start : {"CHINESE", "ENGLISH"}) {
        SCOPED_TRACE(start);
        SetUpTemplate();
        std::filesystem::remove(path);
        WriteProfileString("SysLanguage", "Language", start, path);
        WriteProfileString("Colour", "BackColour", "1", path);
        state.colourIndex = 1;
        StartWindow();
        const std::string file = FileContent();
        const Snapshot before = Take();
        // The operator picked a load mode; each click resets both lists.
        window.Select(1006, 2);
        window.Select(1008, 2);

        OnLanguageButton(window, state, path);
        EXPECT_NE(FileContent(), file);
        EXPECT_NE(Take(), before);
        EXPECT_EQ(window.Selection(1006), 0);
        EXPECT_EQ(window.Selection(1008), 0);
        window.Select(1006, 1);
        window.Select(1008, 1);

        OnLanguageButton(window, state, path);
        EXPECT_EQ(FileContent(), file);
        EXPECT_EQ(Take(), before);
        EXPECT_EQ(state.LanguageFlag(), start);
    }
}

TEST_F(LanguageTest, ClickAfterAnUnknownValueWritesEnglish) {
    WriteFile("[SysLanguage]\nLanguage=english\n");
    StartWindow();
    OnLanguageButton(window, state, path);
    EXPECT_EQ(ReadLanguageFlag(path), "ENGLISH");
    EXPECT_TRUE(state.IsEnglish());
    EXPECT_EQ(window.Text(1186), "切换为中文");
}

TEST_F(LanguageTest, SwapsReplaceOnlyTheirOwnTwoCaptions) {
    // Port open and monitoring in the Chinese window.
    window.SetText(1007, "关闭串口");
    window.SetText(1036, "已打开");
    window.SetText(1014, "停止监控");
    window.SetText(1118, "Something else");
    ApplyEnglishTexts(window, state);
    EXPECT_EQ(window.Text(1007), "CLOSE");
    EXPECT_EQ(window.Text(1036), "Opened");
    EXPECT_EQ(window.Text(1014), "STOP MONITOR");
    EXPECT_EQ(window.Text(1118), "Something else");

    ApplyChineseTexts(window, state);
    EXPECT_EQ(window.Text(1007), "关闭串口");
    EXPECT_EQ(window.Text(1036), "已打开");
    EXPECT_EQ(window.Text(1014), "停止监控");

    // "CLOSE" is 1007's English caption but in neither language for 1036.
    window.SetText(1007, "CLOSE");
    window.SetText(1036, "CLOSE");
    ApplyChineseTexts(window, state);
    EXPECT_EQ(window.Text(1007), "关闭串口");
    EXPECT_EQ(window.Text(1036), "CLOSE");
    ApplyEnglishTexts(window, state);
    EXPECT_EQ(window.Text(1036), "CLOSE");
    window.SetText(1036, "已关闭");
    ApplyEnglishTexts(window, state);
    EXPECT_EQ(window.Text(1036), "Closed");
}

TEST_F(LanguageTest, BatteryRowsFollowTheReadAndWrittenType) {
    using Row = std::tuple<int, const char*>;
    const auto expect = [&](std::initializer_list<Row> rows) {
        for (const auto& [id, text] : rows)
            EXPECT_EQ(window.Text(id), text) << id;
    };
    for (int id : {1107, 1101, 1102, 1103, 1104, 1119})
        window.SetText(id, "before");

    state.data.batteryType = 4;
    ApplyEnglishTexts(window, state);
    expect({{1107, ""},
            {1101, "Charge  Volt.:"},
            {1102, "Nominal Volt.:"},
            {1103, ""},
            {1104, ""},
            {1119, "Sys.Volt.:"}});

    window.SetText(1107, "before");
    ApplyChineseTexts(window, state);
    expect({{1107, "before"},
            {1101, "恒压充电电压："},
            {1102, ""},
            {1103, ""},
            {1104, ""},
            {1119, "系统电压:"}});

    state.data.batteryType = 1;
    ApplyEnglishTexts(window, state);
    expect({{1107, "System Volt.:"},
            {1101, "C. V.  Charge:"},
            {1102, "Float  Charge:"},
            {1103, "Equalizing.V :"},
            {1104, "Equalizing.T :"}});

    // A lithium type waiting in the battery write image keeps the system-voltage label.
    state.data.batteryWrite[0] = 4;
    window.SetText(1119, "before");
    ApplyChineseTexts(window, state);
    expect({{1107, "电池系统电压："}, {1119, "before"}});
}

TEST_F(LanguageTest, ClickWithoutSettingsFileWritesEnglishButKeepsLabels) {
    StartWindow();  // no file: Chinese
    const Snapshot chinese = Take();

    OnLanguageButton(window, state, path);
    EXPECT_EQ(ReadLanguageFlag(path), "ENGLISH");
    EXPECT_TRUE(state.IsEnglish());
    EXPECT_EQ(DialogLanguageId(state), 1033);
    EXPECT_EQ(window.Text(1186), "Turn To English");
    EXPECT_EQ(window.Text(1014), "开始监控");
    EXPECT_EQ(window.Text(1256), "Background:");
    EXPECT_TRUE(window.IsVisible(1008));
    EXPECT_FALSE(window.IsVisible(1006));

    // The next click finds "ENGLISH" and goes back to Chinese throughout.
    OnLanguageButton(window, state, path);
    EXPECT_EQ(ReadLanguageFlag(path), "CHINESE");
    EXPECT_EQ(Take(), chinese);
}

TEST_F(LanguageTest, OverlongFlagIsCut) {
    WriteFile("[SysLanguage]\nLanguage=" + std::string(400, 'E') + "\n");
    EXPECT_EQ(ReadLanguageFlag(path).size(), 259u);
}

}  // namespace
}  // namespace kestrane::testing
