// The window's captions in English or Chinese, the language set-up and the
// language button (1186). The rules live in ui/tables/UiLanguage; this file
// connects them to the window and to the language in which dialogs load.
#include "app/CMainDlg.h"
#include "ui/framework/DialogLanguage.h"
#include "ui/tables/UiLanguage.h"

namespace kestrane {

namespace {

// Service dialogs opened from now on take the template of the language just
// read from the settings file.
void FollowDialogLanguage(const SharedState& state) {
    SetDialogLanguage(DialogLanguageId(state) == kEnglishLanguageId ? kLanguageEnglish
                                                                    : kLanguageChinese);
}

}  // namespace

void CMainDlg::ApplyEnglishTexts() {
    kestrane::ApplyEnglishTexts(*this, shared);
}

void CMainDlg::ApplyChineseTexts() {
    kestrane::ApplyChineseTexts(*this, shared);
}

void CMainDlg::ApplyLanguage() {
    // The flag was read from the settings file a moment ago, at window start.
    kestrane::ApplyLanguage(*this, shared);
    FollowDialogLanguage(shared);
}

void CMainDlg::OnLanguageButton() {
    configDir = ResolveConfigDir();
    kestrane::OnLanguageButton(*this, shared, SettingsPath());
    FollowDialogLanguage(shared);
    if (historyDlg_) historyDlg_->SetEnglish(shared.IsEnglish());
    repaint();
}

}  // namespace kestrane
