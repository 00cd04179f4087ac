// The parameter area's buttons and mode lists, and the settings worker that
// shows the progress of the last settings operation and keeps the parameter
// controls in the state the edit mode asks for.
#include <chrono>
#include <thread>

#include "app/CMainDlg.h"
#include "monitor/ControlIds.h"
#include "ui/framework/WindowThread.h"

namespace kestrane {

namespace {

// Pause between settings passes, looked at in slices so that a stop is seen
// quickly.
constexpr int kPassPauseSlices = 10;
constexpr auto kPauseSlice = std::chrono::milliseconds(10);

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
    settingsRunning = 0;
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
        for (int slice = 0; slice < kPassPauseSlices && settingsRunning; ++slice)
            std::this_thread::sleep_for(kPauseSlice);
    }
}

}  // namespace kestrane
