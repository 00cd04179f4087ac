#include "app/CMonitorApp.h"

#include <QApplication>

#include "app/CMainDlg.h"
#include "app/SettingsFileDefaults.h"
#include "platform/ExecutableDir.h"
#include "platform/FileReplace.h"
#include "ui/ThemeArtwork.h"
#include "ui/ThemePalette.h"
#include "ui/tables/StoredSettings.h"

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
    RemoveStaleReplaceFiles(path);
    const StoredSettings stored = ReadStoredSettings(path);
    // Read before the defaults are written: a run that writes the colour
    // keeps colour 0.
    shared_.colourIndex = stored.ColourIndex();
    CompleteSettings(path, stored, "1", shared_);
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
    dialog.SetLogDirectory(logDir_);
    LoadStartSettings();
    ApplyStartAppearance();
    dialog.DoModal();
    return false;
}

}  // namespace kestrane
