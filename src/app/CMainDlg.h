// The main window, dialog 102: the port box, the monitor, the parameter areas
// and the bottom bar. It owns the serial port and the transaction engine for its
// whole life; the handlers are split by area over CMainDlg*.cpp files.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "monitor/CEventLog.h"
#include "platform/LocalClock.h"
#include "protocol/CTransactionEngine.h"
#include "protocol/EngineHost.h"
#include "protocol/SharedState.h"
#include "serial/CSerialPort.h"
#include "service/CDataCorrectionDlg.h"
#include "service/CSetTimeDlg.h"
#include "settings/CCheckAddressDlg.h"
#include "settings/CRestoreDlg.h"
#include "settings/logic/ParameterEditor.h"
#include "ui/framework/CDialog.h"
#include "ui/framework/CWorker.h"
#include "ui/framework/CWorkerSet.h"
#include "ui/tables/StoredSettings.h"

namespace kestrane {

class CMainDlg : public CDialog, public IEngineHost {
    Q_OBJECT

public:
    static constexpr const char* kSettingsFileName = "Configfiles.ini";
    static constexpr int kEngineTimer = 1;   // 100 ms, the send side of the engine
    static constexpr int kDisplayTimer = 2;  // 1000 ms, the display pass

    // settingsDir: where Configfiles.ini lives; empty for the program's
    // configuration directory (tests point it at a temporary directory).
    explicit CMainDlg(SharedState& shared, std::string settingsDir = {}, QWidget* parent = nullptr);
    ~CMainDlg() override;

    // Ports discovery cannot see (a pseudo-terminal, a network serial bridge),
    // put at the top of the port list in this order; the first is selected.
    void SetExtraPorts(std::vector<std::string> ports) { extraPorts_ = std::move(ports); }
    // Folder of the daily event log; empty (the default) is the current
    // directory. Takes effect when the window initialises.
    void SetLogDirectory(std::string dir) { logDir_ = std::move(dir); }

    // Relabels the window in one language (window start, language switch).
    void ApplyEnglishTexts();
    void ApplyChineseTexts();
    // Language set-up with the flag just read from the settings file: dialog
    // language, the two load-mode lists and the two theme lists with their
    // label.
    void ApplyLanguage();

    std::string SettingsPath() const { return configDir + kSettingsFileName; }

    SharedState& shared;
    CSerialPort serialPort;

    // Directory of the settings file, with a trailing '/'.
    std::string configDir;

    // ---- Engine, display and settings worker (CMainDlgMonitor.cpp,
    // CMainDlgSettings.cpp, CMainDlgRefresh.cpp) ----

    // IEngineHost: the address list, the two link counters, the event log.
    int SelectedAddressIndex() const override;
    void SelectAddressIndex(int index) override;
    void ShowFramesSent(int32_t framesSent) override;
    void ShowRepliesReceived(int32_t repliesReceived) override;
    void OnLogTick() override;

    // Starts monitoring as START MONITOR does: timers 1 and 2, the read cycle
    // from block 0, a settings worker (after the previous one has ended).
    void StartMonitoring();
    // Stops timer 1, the receive pass and the settings worker; timer 2 runs on.
    void StopMonitoring();
    // One display pass: the open service dialogs are asked to refresh, then
    // every monitor text is written where it changed. Runs on a worker.
    void MonitorPass();

    // The transaction engine owns the link flags and counters (TransactionCode,
    // linkIdle, receiveRunning, deviceAddress, framesSent, bytesReceived...).
    CTransactionEngine engine;
    // The parameter area: editMode, the SAVE handlers, the settings pass.
    ParameterEditor parameters;
    // The display worker loops while set; each pass clears it.
    std::atomic<int32_t> monitorRunning{0};
    // The settings worker loops while set.
    std::atomic<int32_t> settingsRunning{0};

    // Receive passes (one per transaction) and display passes (one per
    // timer-2 tick). Their flags are cleared and these joined before the port
    // closes and before the members they use are destroyed.
    CWorkerSet workers;
    // The one settings worker of the current monitoring run.
    CWorker settingsWorker;

    // ---- end of the engine block ----

protected:
    bool OnInitDialog() override;
    void OnClose() override;
    void OnTimer(int timerId) override;

private:
    std::string ResolveConfigDir() const;
    // The settings file in one read; the defaults written when it is missing.
    StoredSettings ReadOrCreateSettings();

    // Language and theme: CMainDlgLanguage.cpp, CMainDlgTheme.cpp.
    void ApplyWindowIcon();
    // The theme's logo and the text colours of the message line and titles.
    void ShowThemeLogo();

    // The two link counters change with every transaction: they fill their
    // own background, so a new number repaints only the counter, not the
    // window and the controls behind it.
    void PaintCountersWhole();
    void LoadSavedSettings(const StoredSettings& stored);
    void FillPortList();
    // Engine block: stops every worker and waits for it, serving its calls.
    void StopWorkers();
    void ResetEngineState();
    void StartSettingsWorker();
    void RunSettingsWorker();
    // Clears settingsRunning and wakes the worker from its pause.
    void StopSettingsWorker();
    void OnLoadModeChosen(int listId);

    // What CLOSE does: the passes end, the port closes, the port box is
    // enabled again; `chinese` picks the captions.
    void ClosePort(bool chinese);
    // Closes the port as CLOSE does and says so when the device has gone
    // (an unplugged adapter); true when it had.
    bool CloseIfHungUp();

    // Button handlers, by area.
    void OnOpenButton();
    void OnMonitorButton();
    void OnEditButton();
    void OnBatterySave();
    void OnBatteryVoltageSave();
    void OnLoadSave();
    void OnCheckAddress();
    void OnRestore();
    void OnDataCorrection();
    void OnSetTime();
    void OnLanguageButton();
    void OnSaveBackground();

    std::string settingsDir_;
    std::vector<std::string> extraPorts_;
    std::string logDir_;

    // The replies counter as control 1038 shows it: the receive pass reports
    // it after every chunk of a reply, and only a change is worth a call into
    // the window thread.
    std::atomic<int32_t> repliesShown_{0};
    // The settings worker's pause between passes, which a stop cuts short.
    std::mutex settingsPauseMutex_;
    std::condition_variable settingsPause_;

    // Engine block: the PC clock of the display and the log, the event log.
    SystemClock clock_;
    std::unique_ptr<CEventLog> eventLog_;

    // --- Service dialogs (CMainDlgService.cpp) --------------------------------
    // The four service dialogs live as long as the window; their windows
    // exist only while they are open (modally, from the four buttons).
public:
    // The monitor pass, on its worker thread, asks the open service dialog
    // dialogId (130, 131, 133) to refresh itself with user message `message`
    // and waits until it has. Does nothing when that dialog is not open.
    void SendDialogRefresh(int dialogId, int message);

private:
    // The dialog with that identifier; nullptr for none of the four.
    CDialog* ServiceDialog(int dialogId);
    // Monitoring state as the service buttons see it, and the two steps of
    // CHECK ADDRESS that belong to the transaction engine.
    bool IsMonitoring() const;
    void StartMonitoringFromCheckAddress();
    void BeginAddressScan();

    SystemClock serviceClock_;
    CCheckAddressDlg checkAddressDlg_{shared, this};
    CRestoreDlg restoreDlg_{shared, this};
    CDataCorrectionDlg dataCorrectionDlg_{shared, serviceClock_, this};
    CSetTimeDlg setTimeDlg_{shared, serviceClock_, this};
};

}  // namespace kestrane
