#include "app/CMonitorApp.h"

#include "app/CMainDlg.h"
#include "platform/ExecutableDir.h"
#include "platform/ProfileFile.h"

namespace kestrane {

namespace {
constexpr size_t kMaxFlagLength = 259;
}

CMonitorApp::CMonitorApp(SharedState& shared, std::string settingsDir)
    : shared_(shared), settingsDir_(std::move(settingsDir)) {}

std::string CMonitorApp::SettingsPath() const {
    std::string dir = settingsDir_.empty() ? ConfigDirectory() : settingsDir_;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + CMainDlg::kSettingsFileName;
}

void CMonitorApp::LoadStartSettings() {
    const std::string path = SettingsPath();
    if (FileExists(path)) {
        shared_.SetLanguageFlag(
            GetProfileString("SysLanguage", "Language", "NULL", path).substr(0, kMaxFlagLength));
        shared_.colourIndex = LeadingNumber(GetProfileString("Colour", "BackColour", "NULL", path));
        return;
    }
    WriteProfileString("SysLanguage", "Language", "ENGLISH", path);
    WriteProfileString("COMSET", "ADDR", "1", path);
    WriteProfileString("Colour", "BackColour", "1", path);
    shared_.SetLanguageFlag("ENGLISH");
}

bool CMonitorApp::InitInstance() {
    CMainDlg dialog(shared_, settingsDir_);
    dialog.SetExtraPorts(extraPorts_);
    LoadStartSettings();
    dialog.DoModal();
    return false;
}

}  // namespace kestrane
