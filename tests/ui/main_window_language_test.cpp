// The language of the real main window: relabelling from the whole text table,
// the language button 1186, the lists that follow the language, and the
// language in which service dialogs open.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <filesystem>
#include <map>

#include "app/CMainDlg.h"
#include "monitor/ControlIds.h"
#include "platform/ProfileFile.h"
#include "support/ScratchDir.h"
#include "ui/framework/DialogLanguage.h"
#include "ui/tables/MainWindowTexts.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;

class WindowLanguageTest : public ::testing::Test {
protected:
    std::string Ini() const { return dir_ + "Configfiles.ini"; }
    std::string StoredLanguage() const {
        return GetProfileString("SysLanguage", "Language", "<missing>", Ini());
    }
    void StoreLanguage(const char* language) {
        WriteProfileString("SysLanguage", "Language", language, Ini());
        WriteProfileString("COMSET", "ADDR", "1", Ini());
        WriteProfileString("Colour", "BackColour", "2", Ini());
    }

    struct Snapshot {
        std::string file;
        std::map<int, std::string> texts;
        std::map<int, std::pair<int, bool>> lists;  // selection, visible
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Take(const CMainDlg& window) const {
        Snapshot s;
        s.file = StoredLanguage();
        for (const MainWindowTextRow& row : MainWindowTexts())
            s.texts[row.id] = window.Text(row.id);
        s.texts[id::kBackgroundLabel] = window.Text(id::kBackgroundLabel);
        for (int list : {id::kLoadModeListChinese, id::kLoadModeListEnglish,
                         id::kBackgroundListChinese, id::kBackgroundListEnglish}) {
            s.lists[list] = {window.Selection(list), window.IsVisible(list)};
        }
        return s;
    }

    // What every applicable row of the table leaves on each control, in table
    // order (a later row for the same control wins; nullptr keeps the text).
    static std::map<int, std::string> Expected(const CMainDlg& window, bool english,
                                               bool readLithium, bool writtenLithium) {
        std::map<int, std::string> expected;
        for (const MainWindowTextRow& row : MainWindowTexts()) {
            if (row.kind != TextRowKind::kSet) continue;
            const bool applies = row.when == TextCondition::kAlways ||
                                 (row.when == TextCondition::kReadLithium && readLithium) ||
                                 (row.when == TextCondition::kReadNotLithium && !readLithium) ||
                                 (row.when == TextCondition::kWrittenNotLithium && !writtenLithium);
            if (!applies) continue;
            const char* text = english ? row.english : row.chinese;
            expected[row.id] = text != nullptr ? text : window.Text(row.id);
        }
        return expected;
    }

    testing::ScratchDir scratch_{"kestrane-lang"};
    const std::string dir_ = scratch_.Slashed();
    SharedState shared_;
};

TEST_F(WindowLanguageTest, TwoClicksReturnTheFileLabelsAndLists) {
    for (const char* start : {"ENGLISH", "CHINESE"}) {
        SCOPED_TRACE(start);
        StoreLanguage(start);
        CMainDlg window(shared_, dir_);
        window.Create();
        const bool english = start[0] == 'E';
        // The port open and monitoring running: the toggles show their second caption.
        window.SetText(id::kOpenButton, english ? "CLOSE" : "关闭串口");
        window.SetText(id::kPortState, english ? "Opened" : "已打开");
        window.SetText(id::kMonitorButton, english ? "STOP MONITOR" : "停止监控");
        const Snapshot before = Take(window);

        window.Select(id::kLoadModeListEnglish, 2);
        window.Select(id::kLoadModeListChinese, 1);
        window.Click(id::kLanguageButton);
        const Snapshot switched = Take(window);
        EXPECT_EQ(switched.file, english ? "CHINESE" : "ENGLISH");
        EXPECT_EQ(shared_.IsEnglish(), !english);
        EXPECT_EQ(window.Text(id::kOpenButton), english ? "关闭串口" : "CLOSE");
        EXPECT_EQ(window.Text(id::kPortState), english ? "已打开" : "Opened");
        EXPECT_EQ(window.Text(id::kMonitorButton), english ? "停止监控" : "STOP MONITOR");
        EXPECT_EQ(window.Text(id::kBackgroundLabel), english ? "背景选择：" : "Background:");
        EXPECT_EQ(window.IsVisible(id::kBackgroundListEnglish), !english);
        EXPECT_EQ(window.IsVisible(id::kLoadModeListChinese), english);
        // Each click puts both load-mode lists back on their first item.
        EXPECT_EQ(window.Selection(id::kLoadModeListEnglish), 0);
        EXPECT_EQ(window.Selection(id::kLoadModeListChinese), 0);
        EXPECT_EQ(DialogLanguage(), english ? kLanguageChinese : kLanguageEnglish);

        window.Click(id::kLanguageButton);
        EXPECT_EQ(Take(window), before);
        EXPECT_EQ(DialogLanguage(), english ? kLanguageEnglish : kLanguageChinese);
    }
}

TEST_F(WindowLanguageTest, EveryControlOfTheTableShowsItsTextInEachLanguage) {
    struct Battery {
        int read;
        int written;
    };
    for (const Battery battery : {Battery{1, 0}, Battery{4, 4}, Battery{4, 2}}) {
        for (const char* start : {"CHINESE", "ENGLISH"}) {
            SCOPED_TRACE(std::string(start) + " read type " + std::to_string(battery.read) +
                         ", written type " + std::to_string(battery.written));
            StoreLanguage(start);
            shared_.data.batteryType = battery.read;
            shared_.data.batteryWrite[0] = battery.written;
            CMainDlg window(shared_, dir_);
            window.Create();
            for (bool english : {start[0] == 'E', start[0] != 'E'}) {
                const auto expected =
                    Expected(window, english, battery.read == 4, battery.written == 4);
                for (const auto& [control, text] : expected)
                    EXPECT_EQ(window.Text(control), text) << control << (english ? " en" : " zh");
                window.Click(id::kLanguageButton);
            }
        }
    }
    shared_.data.batteryType = 0;
    shared_.data.batteryWrite[0] = 0;
}

TEST_F(WindowLanguageTest, LithiumCaptionsOfTheParameterDisplay) {
    StoreLanguage("ENGLISH");
    shared_.data.batteryType = 4;
    CMainDlg window(shared_, dir_);
    window.Create();
    EXPECT_EQ(window.Text(1107), "");
    EXPECT_EQ(window.Text(1101), "Charge  Volt.:");
    EXPECT_EQ(window.Text(1102), "Nominal Volt.:");
    EXPECT_EQ(window.Text(1103), "");
    EXPECT_EQ(window.Text(1104), "");
    window.SetText(1107, "kept");
    window.Click(id::kLanguageButton);
    EXPECT_EQ(window.Text(1107), "kept");
    EXPECT_EQ(window.Text(1101), "恒压充电电压：");
    EXPECT_EQ(window.Text(1102), "");
    shared_.data.batteryType = 0;
}

TEST_F(WindowLanguageTest, ACaptionInNeitherLanguageIsLeftBySwaps) {
    StoreLanguage("CHINESE");
    CMainDlg window(shared_, dir_);
    window.Create();
    // 1036 keeps its resource text "CLOSE" until the port is first opened.
    ASSERT_EQ(window.Text(id::kPortState), "CLOSE");
    window.SetText(id::kEditButton, "START  EDIT");
    window.SetText(id::kOpenButton, "");
    for (int click = 0; click < 3; ++click) {
        window.Click(id::kLanguageButton);
        EXPECT_EQ(window.Text(id::kPortState), "CLOSE") << click;
        EXPECT_EQ(window.Text(id::kEditButton), "START  EDIT") << click;
        EXPECT_EQ(window.Text(id::kOpenButton), "") << click;
    }
    EXPECT_EQ(window.Text(id::kLanguageButton), "切换为中文");
}

TEST_F(WindowLanguageTest, AClickWithoutTheFileWritesEnglishAndKeepsTheLabels) {
    StoreLanguage("CHINESE");
    CMainDlg window(shared_, dir_);
    window.Create();
    fs::remove(Ini());
    window.Click(id::kLanguageButton);
    EXPECT_EQ(StoredLanguage(), "ENGLISH");
    EXPECT_EQ(window.Text(id::kLanguageButton), "Turn To English");
    EXPECT_EQ(window.Text(id::kPortLabel), "串口号:");
    // Messages, lists and dialogs follow the value just written.
    EXPECT_TRUE(shared_.IsEnglish());
    EXPECT_TRUE(window.IsVisible(id::kLoadModeListEnglish));
    EXPECT_EQ(window.Text(id::kBackgroundLabel), "Background:");
    EXPECT_EQ(DialogLanguage(), kLanguageEnglish);

    window.Click(id::kLanguageButton);
    EXPECT_EQ(StoredLanguage(), "CHINESE");
    EXPECT_EQ(window.Text(id::kPortLabel), "串口号:");
    EXPECT_EQ(window.Text(id::kLanguageButton), "Turn To English");
    EXPECT_EQ(DialogLanguage(), kLanguageChinese);
}

}  // namespace
}  // namespace kestrane
