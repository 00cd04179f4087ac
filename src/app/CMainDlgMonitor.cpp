// START/STOP MONITOR (button 1014), the two timers, the display pass and the
// window's side of the transaction engine (address list, counters, event log).
//
// Threads: the timers and the button run on the window thread and drive the
// send side of the engine. Each request gets one receive pass on a worker, each
// timer-2 tick one display pass on a worker; both reach the controls only
// through synchronous calls into the window thread. Stopping clears the flags;
// the window waits for its workers (serving their calls) only before the port
// closes and when the window closes.
#include <QWidget>
#include <string>

#include "app/CMainDlg.h"
#include "monitor/ControlIds.h"
#include "monitor/DialogRefresh.h"
#include "monitor/MonitorFormat.h"
#include "service/logic/ServiceText.h"
#include "ui/framework/WindowThread.h"

namespace kestrane {

namespace {

constexpr int kEngineTickMs = 100;
constexpr int kDisplayTickMs = 1000;

struct MonitorCaptions {
    const char* start;
    const char* stop;
};
// The Chinese pair is looked at first, then the English one, both with the
// caption read at the click.
constexpr MonitorCaptions kMonitorCaptions[] = {
    {"开始监控", "停止监控"},
    {"START MONITOR", "STOP MONITOR"},
};

}  // namespace

void CMainDlg::OnMonitorButton() {
    if (!serialPort.IsOpen()) {
        ShowMessage(kPortNotOpenText.In(shared));
        return;
    }
    const std::string caption = Text(id::kMonitorButton);
    for (const MonitorCaptions& captions : kMonitorCaptions) {
        if (caption == captions.start) {
            SetText(id::kMonitorButton, captions.stop);
            StartMonitoring();
        } else if (caption == captions.stop) {
            StopMonitoring();
            SetText(id::kMonitorButton, captions.start);
        }
    }
}

void CMainDlg::StartMonitoringFromCheckAddress() {
    // As START MONITOR does, with the caption in the button's own language.
    const bool chinese = Text(id::kMonitorButton) == kMonitorCaptions[0].start;
    SetText(id::kMonitorButton, kMonitorCaptions[chinese ? 0 : 1].stop);
    StartMonitoring();
}

void CMainDlg::StartMonitoring() {
    SetTimer(kEngineTimer, kEngineTickMs);
    engine.StartMonitoring();
    monitorRunning = 1;
    SetTimer(kDisplayTimer, kDisplayTickMs);
    StartSettingsWorker();
}

void CMainDlg::StopMonitoring() {
    engine.StopMonitoring();
    monitorRunning = 0;
    StopSettingsWorker();
    KillTimer(kEngineTimer);
}

void CMainDlg::OnTimer(int timerId) {
    if (CloseIfHungUp()) return;
    if (timerId == kEngineTimer) {
        if (engine.OnTimer1Tick()) workers.Start([this] { engine.ReceivePass(); });
    } else if (timerId == kDisplayTimer) {
        monitorRunning = 1;
        workers.Start([this] {
            while (monitorRunning)
                MonitorPass();
        });
    }
}

void CMainDlg::MonitorPass() {
    for (const DialogRefreshRequest& request : PendingDialogRefreshes(shared.data))
        SendDialogRefresh(request.dialogId, static_cast<int>(request.message));

    // Formatted here on the worker; the window thread only compares and writes.
    const std::vector<ControlText> texts =
        FormatMonitorTexts(shared.data, clock_.Now(), shared.IsEnglish());
    CallInWindowThread([&] {
        for (const ControlText& text : texts)
            SetTextIfChanged(text.id, text.text);
    });
    monitorRunning = 0;
}

int CMainDlg::SelectedAddressIndex() const {
    return Selection(id::kAddressList);
}

void CMainDlg::SelectAddressIndex(int index) {
    Select(id::kAddressList, index);
}

void CMainDlg::ShowFramesSent(int32_t framesSent) {
    SetText(id::kFramesSent, std::to_string(framesSent));
}

void CMainDlg::ShowRepliesReceived(int32_t repliesReceived) {
    if (repliesShown_.exchange(repliesReceived) == repliesReceived) return;
    SetText(id::kRepliesReceived, std::to_string(repliesReceived));
}

void CMainDlg::PaintCountersWhole() {
    for (int counter : {id::kFramesSent, id::kRepliesReceived})
        if (QWidget* widget = Control(counter)) widget->setAutoFillBackground(true);
}

void CMainDlg::OnLogTick() {
    if (eventLog_) eventLog_->WriteLogRecord(shared.data, engine.bytesReceived.load());
}

void CMainDlg::ResetEngineState() {
    engine.bytesSent = 0;
    engine.bytesReceived = 0;
    engine.addressWriteTicks = 0;
    engine.receiveRunning = 0;
    engine.linkIdle = 1;
    engine.deviceAddress = 1;
    monitorRunning = 0;
    StopSettingsWorker();
    parameters.editMode = 0;
    parameters.ForgetControllerValues();
    // A new log writes its header again into today's file.
    eventLog_ = std::make_unique<CEventLog>(clock_, logDir_);
}

void CMainDlg::StopWorkers() {
    engine.OnWindowClosing();
    monitorRunning = 0;
    StopSettingsWorker();
    workers.JoinAll();
    settingsWorker.Join();
}

}  // namespace kestrane
