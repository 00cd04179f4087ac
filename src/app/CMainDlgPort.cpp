// OPEN/CLOSE of the serial port (button 1007). The caption decides, in either
// language, and is read once at the start of the click. A line that hangs up
// (an unplugged adapter) is closed the same way and reported.
#include "app/CMainDlg.h"
#include "monitor/ControlIds.h"
#include "monitor/DisplayText.h"

namespace kestrane {

namespace {

constexpr const char* kOpenEnglish = "OPEN";
constexpr const char* kOpenChinese = "打开串口";
constexpr const char* kCloseEnglish = "CLOSE";
constexpr const char* kCloseChinese = "关闭串口";
// The one text of this message; it is shown in both languages.
constexpr const char* kOpenFailed = "串口创建失败！";
constexpr LanguageText kDisconnected{"The serial port was disconnected!", "串口已断开！"};

}  // namespace

void CMainDlg::OnOpenButton() {
    const std::string caption = Text(id::kOpenButton);
    const std::string port = Text(id::kPortList);
    const bool chinese = caption == kOpenChinese || caption == kCloseChinese;

    if (caption == kOpenEnglish || caption == kOpenChinese) {
        serialPort.Close();
        if (!serialPort.Open(port)) {
            ShowMessage(kOpenFailed, serialPort.LastErrorText());
            return;
        }
        if (!serialPort.Configure(static_cast<unsigned>(GetInt(id::kBaudList)))) {
            // A port left open under an OPEN caption would look closed to the
            // operator: close it again and say why.
            const std::string reason = serialPort.LastErrorText();
            serialPort.Close();
            ShowMessage(kOpenFailed, reason);
            return;
        }
        engine.NotePortOpened();
        parameters.ForgetControllerValues();
        SetText(id::kOpenButton, chinese ? kCloseChinese : kCloseEnglish);
        SetText(id::kPortState, chinese ? "已打开" : "Opened");
        Enable(id::kPortList, false);
        Enable(id::kAddressList, false);
        Enable(id::kBaudList, false);
    } else if (caption == kCloseEnglish || caption == kCloseChinese) {
        ClosePort(chinese);
    }
}

void CMainDlg::ClosePort(bool chinese) {
    // The receive and display passes end and are waited for before the
    // port goes away; the settings worker and timer 2 run on.
    engine.OnPortClosed();
    monitorRunning = 0;
    KillTimer(kEngineTimer);
    workers.JoinAll();
    serialPort.Close();
    if (serialPort.IsOpen()) return;
    SetText(id::kOpenButton, chinese ? kOpenChinese : kOpenEnglish);
    SetText(id::kPortState, chinese ? "已关闭" : "Closed");
    Enable(id::kPortList, true);
    Enable(id::kAddressList, true);
    Enable(id::kBaudList, true);
    SetText(id::kMonitorButton, "START MONITOR");
}

bool CMainDlg::CloseIfHungUp() {
    if (!serialPort.IsOpen() || !serialPort.HasHungUp()) return false;
    const std::string device = serialPort.DevicePath();
    ClosePort(Text(id::kOpenButton) == kCloseChinese);
    // The values stay on screen as the last ones known; the box comes after
    // the close, so the timers it lets run find the port closed.
    ShowMessage(kDisconnected.In(shared), device);
    return true;
}

}  // namespace kestrane
