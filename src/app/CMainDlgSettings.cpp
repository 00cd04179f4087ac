// The parameter area's buttons and mode lists, and the settings worker that
// shows the progress of the last settings operation and keeps the parameter
// controls in the state the edit mode asks for.
#include <chrono>
#include <mutex>

#include "app/CMainDlg.h"
#include "monitor/ControlIds.h"
#include "ui/framework/WindowThread.h"

namespace kestrane {

namespace {

// Pause between settings passes; a stop ends it at once.
constexpr auto kPassPause = std::chrono::milliseconds(100);

}  // namespace

void CMainDlg::OnEditButton() {
    parameters.OnEditButton();
}

void CMainDlg::OnBatterySave() {
    parameters.OnBatterySave();
}

void CMainDlg::OnBatteryVoltageSave() {
    parameters.OnFullBatterySave();
}

void CMainDlg::OnLoadSave() {
    parameters.OnLoadSave();
}

void CMainDlg::OnLoadModeChosen(int listId) {
    parameters.OnLoadModeSelected(listId);
}

// Only one settings worker runs at a time: a new start ends the previous one
// (which may still be in its pause after a STOP) and waits for it first.
void CMainDlg::StartSettingsWorker() {
    StopSettingsWorker();
    settingsWorker.Join();
    settingsRunning = 1;
    settingsWorker.Start([this] { RunSettingsWorker(); });
}

void CMainDlg::RunSettingsWorker() {
    while (settingsRunning) {
        // The pass reads and writes many controls; one call into the window
        // thread runs it whole.
        CallInWindowThread([this] {
            // Sampled before the pass reads the record, so the fields it fills
            // hold at least the values this answer counted.
            const bool settingsRead = engine.SettingsBlocksRead();
            parameters.SettingsPass(engine.deviceAddress.load(), settingsRead);
        });
        std::unique_lock lock(settingsPauseMutex_);
        settingsPause_.wait_for(lock, kPassPause, [this] { return settingsRunning == 0; });
    }
}

// The flag is cleared under the pause's lock, so a worker that has just looked
// at it and is about to wait cannot miss the wake-up.
void CMainDlg::StopSettingsWorker() {
    {
        std::lock_guard lock(settingsPauseMutex_);
        settingsRunning = 0;
    }
    settingsPause_.notify_all();
}

}  // namespace kestrane
