#include "app/CMainDlg.h"

#include <array>

#include "app/MainDialogTemplate.h"
#include "app/SettingsFileDefaults.h"
#include "monitor/ControlIds.h"
#include "platform/ExecutableDir.h"
#include "platform/ProfileFile.h"
#include "serial/PortDiscovery.h"
#include "ui/tables/UiLanguage.h"

namespace kestrane {

namespace {

struct ButtonRoute {
    int id;
    void (CMainDlg::*handler)();
};

// Longest language flag the settings are read into.

}  // namespace

CMainDlg::CMainDlg(SharedState& sharedState, std::string settingsDir, QWidget* parent)
    : CDialog(MainDialogTemplate(), parent),
      shared(sharedState),
      engine(sharedState, serialPort, *this),
      parameters(*this, sharedState),
      settingsDir_(std::move(settingsDir)) {
    static constexpr std::array<ButtonRoute, 13> kRoutes{{
        {id::kOpenButton, &CMainDlg::OnOpenButton},
        {id::kMonitorButton, &CMainDlg::OnMonitorButton},
        {id::kEditButton, &CMainDlg::OnEditButton},
        {id::kBatterySaveButton, &CMainDlg::OnBatterySave},
        {id::kBatteryVoltageSaveButton, &CMainDlg::OnBatteryVoltageSave},
        {id::kLoadSaveButton, &CMainDlg::OnLoadSave},
        {id::kCheckAddressButton, &CMainDlg::OnCheckAddress},
        {id::kRestoreButton, &CMainDlg::OnRestore},
        {id::kDataCorrectionButton, &CMainDlg::OnDataCorrection},
        {id::kSetTimeButton, &CMainDlg::OnSetTime},
        {id::kLanguageButton, &CMainDlg::OnLanguageButton},
        {id::kBackgroundSaveButton, &CMainDlg::OnSaveBackground},
        {id::kHistoryButton, &CMainDlg::OnHistoryButton},
    }};
    for (const ButtonRoute& route : kRoutes) {
        OnClicked(route.id, [this, handler = route.handler] { (this->*handler)(); });
    }
    for (int list : {id::kLoadModeListChinese, id::kLoadModeListEnglish})
        OnSelChange(list, [this, list] { OnLoadModeChosen(list); });
}

CMainDlg::~CMainDlg() {
    StopWorkers();
}

std::string CMainDlg::ResolveConfigDir() const {
    if (settingsDir_.empty()) return ConfigDirectory();
    return settingsDir_.back() == '/' ? settingsDir_ : settingsDir_ + '/';
}

bool CMainDlg::OnInitDialog() {
    // Language and theme: CMainDlgLanguage.cpp, CMainDlgTheme.cpp.
    ApplyWindowIcon();

    ResetEngineState();
    shared.data.addressDialogRefresh = 0;
    shared.pendingWrite = 0;

    configDir = ResolveConfigDir();
    const StoredSettings stored = ReadOrCreateSettings();
    if (shared.IsEnglish()) {
        ApplyEnglishTexts();
    } else {
        ApplyChineseTexts();
    }
    ApplyLanguage();
    ShowThemeLogo();
    PaintCountersWhole();
    LoadSavedSettings(stored);
    FillPortList();
    return true;
}

StoredSettings CMainDlg::ReadOrCreateSettings() {
    const std::string path = SettingsPath();
    StoredSettings stored = ReadStoredSettings(path);
    if (stored.fileExists) {
        shared.SetLanguageFlag(stored.LanguageFlag());
    } else {
        // The file vanished since the program started: defaults, colour 0.
        WriteDefaultSettings(path, "0", shared);
    }
    return stored;
}

void CMainDlg::LoadSavedSettings(const StoredSettings& stored) {
    Select(id::kBaudList, 6);
    Select(id::kAddressList, stored.AddressIndex());
}

void CMainDlg::FillPortList() {
    for (const std::string& port : ListSerialPorts())
        AddItem(id::kPortList, port);
    for (size_t i = 0; i < extraPorts_.size(); ++i) {
        InsertItem(id::kPortList, static_cast<int>(i), PortListName(extraPorts_[i]));
    }
    Select(id::kPortList, 0);
}

void CMainDlg::OnClose() {
    configDir = ResolveConfigDir();
    WriteProfileString("COMSET", "ADDR", Text(id::kAddressList), SettingsPath());
    shared.data.addressDialogRefresh = 0;
    shared.data.calibrationDialogRefresh = 0;
    shared.data.clockDialogRefresh = 0;
    KillTimer(kEngineTimer);
    KillTimer(kDisplayTimer);
    StopWorkers();
    serialPort.Close();
    // The history window belongs to this one and goes with it.
    if (historyDlg_) historyDlg_->close();
    CDialog::OnClose();
}

}  // namespace kestrane
