#include "app/CMonitorApp.h"

#include <QApplication>

#include "app/CMainDlg.h"
#include "app/SettingsFileDefaults.h"
#include "platform/ExecutableDir.h"
#include "platform/ProfileFile.h"
#include "ui/ThemeArtwork.h"
#include "ui/ThemePalette.h"
#include "ui/tables/ThemeSelection.h"
#include "ui/tables/UiLanguage.h"

namespace kestrane {

CMonitorApp::CMonitorApp(SharedState& shared, std::string settingsDir)
    : shared_(shared), settingsDir_(std::move(settingsDir)) {}

std::string CMonitorApp::SettingsPath() const {
    std::string dir = settingsDir_.empty() ? ConfigDirectory() : settingsDir_;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + CMainDlg::kSettingsFileName;
}

void CMonitorApp::LoadStartSettings() {
    const std::string path = SettingsPath();
    // Read before the first-start defaults are written: that run keeps colour 0.
    shared_.colourIndex = ReadColourIndex(path);
    if (FileExists(path)) {
        shared_.SetLanguageFlag(ReadLanguageFlag(path));
        return;
    }
    WriteDefaultSettings(path, "1", shared_);
}

void CMonitorApp::ApplyStartAppearance() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr) return;
    UseChineseFontFallback(*app);
    ApplyThemeColours(*app, shared_.colourIndex);
    QApplication::setWindowIcon(ApplicationIcon());
}

bool CMonitorApp::InitInstance() {
    CMainDlg dialog(shared_, settingsDir_);
    dialog.SetExtraPorts(extraPorts_);
    LoadStartSettings();
    ApplyStartAppearance();
    dialog.DoModal();
    return false;
}

}  // namespace kestrane
