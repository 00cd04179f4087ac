// The window's captions in English or Chinese, and the language set-up.
#include <array>

#include "app/CMainDlg.h"
#include "monitor/ControlIds.h"
#include "platform/ProfileFile.h"
#include "ui/framework/DialogLanguage.h"

namespace kestrane {

namespace {

// A caption in both languages. A swap row replaces only a current caption
// that is one of its two texts in the other language (a toggle button keeps
// its state); any other row sets its text.
struct CaptionRow {
    int id;
    bool swap;
    const char* english;
    const char* chinese;
    const char* englishAlt;
    const char* chineseAlt;
};

constexpr auto kCaptions = std::to_array<CaptionRow>({
    {id::kPortLabel, false, "Com Port:", "串口号:", nullptr, nullptr},
    {id::kBaudLabel, false, "BaudRate:", "波特率:", nullptr, nullptr},
    {id::kAddressLabel, false, "Address :", "地址号：:", nullptr, nullptr},
    {id::kOpenButton, true, "OPEN", "打开串口", "CLOSE", "关闭串口"},
    {id::kPortState, true, "Opened", "已打开", "Closed", "已关闭"},
    {id::kMonitorButton, true, "START MONITOR", "开始监控", "STOP MONITOR", "停止监控"},
    {id::kEditButton, true, "START EDIT", "开始编辑", "STOP EDIT", "停止编辑"},
    {id::kRepliesLabel, false, "Received:", "接收：", nullptr, nullptr},
    {id::kSentLabel, false, "Sent:", "发送：", nullptr, nullptr},
    {id::kLanguageLabel, false, " Language:English", " 语言：中文", nullptr, nullptr},
    {id::kLanguageButton, false, "切换为中文", "Turn To English", nullptr, nullptr},
});

constexpr const char* kBackgroundLabelEnglish = "Background:";
constexpr const char* kBackgroundLabelChinese = "背景选择：";
constexpr size_t kMaxFlagLength = 259;

}  // namespace

void CMainDlg::ApplyEnglishTexts() {
    for (const CaptionRow& row : kCaptions) {
        if (!row.swap) {
            SetText(row.id, row.english);
            continue;
        }
        const std::string current = Text(row.id);
        if (current == row.chinese) SetText(row.id, row.english);
        if (current == row.chineseAlt) SetText(row.id, row.englishAlt);
    }
}

void CMainDlg::ApplyChineseTexts() {
    for (const CaptionRow& row : kCaptions) {
        if (!row.swap) {
            SetText(row.id, row.chinese);
            continue;
        }
        const std::string current = Text(row.id);
        if (current == row.english) SetText(row.id, row.chinese);
        if (current == row.englishAlt) SetText(row.id, row.chineseAlt);
    }
}

void CMainDlg::ApplyLanguage() {
    shared.SetLanguageFlag(GetProfileString("SysLanguage", "Language", "NULL", SettingsPath())
                               .substr(0, kMaxFlagLength));
    const bool english = shared.IsEnglish();
    SetDialogLanguage(english ? kLanguageEnglish : kLanguageChinese);

    Select(id::kLoadModeListChinese, 0);
    Show(id::kLoadModeListChinese, !english);
    Select(id::kLoadModeListEnglish, 0);
    Show(id::kLoadModeListEnglish, english);

    const int colour = shared.colourIndex;
    Select(id::kBackgroundListChinese, colour);
    Show(id::kBackgroundListChinese, !english);
    SetText(id::kBackgroundLabel, english ? kBackgroundLabelEnglish : kBackgroundLabelChinese);
    Select(id::kBackgroundListEnglish, colour);
    Show(id::kBackgroundListEnglish, english);
}

void CMainDlg::OnLanguageButton() {}

}  // namespace kestrane
