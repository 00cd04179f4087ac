// The main window's four service buttons: their refusals, what CHECK ADDRESS
// starts, the dialogs they open in the window's language, and the monitor
// pass's refresh requests from a worker thread to the open dialog.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <QApplication>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/CMainDlg.h"
#include "monitor/ControlIds.h"
#include "monitor/DialogRefresh.h"
#include "platform/ProfileFile.h"
#include "service/logic/ServiceControlIds.h"
#include "support/ScratchDir.h"
#include "ui/ServiceDialogTestSupport.h"
#include "ui/framework/DialogLanguage.h"
#include "ui/framework/MessageBox.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;
using testing::PseudoTerminal;
using testing::SendKey;
using testing::WaitFor;

class MainWindowServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageBoxHook([this](const MessageBoxRecord& r) { messages_.push_back(r.text); });
    }
    void TearDown() override {
        SetMessageBoxHook({});
        SetDialogLanguage(kLanguageEnglish);
    }

    // A window in that language, its port open on a pseudo-terminal when
    // `openPort`.
    std::unique_ptr<CMainDlg> MakeWindow(const char* language, bool openPort) {
        const std::string ini = dir_ + "Configfiles.ini";
        WriteProfileString("SysLanguage", "Language", language, ini);
        WriteProfileString("COMSET", "ADDR", "1", ini);
        WriteProfileString("Colour", "BackColour", "0", ini);
        auto window = std::make_unique<CMainDlg>(shared_, dir_);
        window->SetExtraPorts({pty_.Path()});
        window->Create();
        if (openPort) {
            window->Click(id::kOpenButton);
            EXPECT_TRUE(window->serialPort.IsOpen());
        }
        return window;
    }

    int Click(CMainDlg& window, int button, const std::function<void(CDialog&)>& inside = {}) {
        return testing::RunServiceDialog(window, button, inside);
    }

    PseudoTerminal pty_;
    testing::ScratchDir scratch_{"kestrane-service"};
    const std::string dir_ = scratch_.Slashed();
    SharedState shared_;
    std::vector<std::string> messages_;
};

constexpr int kServiceButtons[] = {id::kCheckAddressButton, id::kRestoreButton,
                                   id::kDataCorrectionButton, id::kSetTimeButton};

TEST_F(MainWindowServiceTest, EveryServiceButtonRefusesWhileThePortIsClosed) {
    for (const char* language : {"ENGLISH", "CHINESE"}) {
        auto window = MakeWindow(language, false);
        window->settingsRunning = 1;  // monitoring does not make up for a closed port
        for (int button : kServiceButtons) {
            messages_.clear();
            EXPECT_EQ(Click(*window, button), 0) << button;
            EXPECT_EQ(messages_, std::vector<std::string>{language[0] == 'E'
                                                              ? "Please open the COM port first!"
                                                              : "串口没有打开！"})
                << button;
        }
        EXPECT_EQ(shared_.pendingWrite, 0);
        EXPECT_EQ(shared_.data.addressDialogRefresh, 0);
        EXPECT_EQ(shared_.data.calibrationDialogRefresh, 0);
        EXPECT_EQ(shared_.data.clockDialogRefresh, 0);
        EXPECT_EQ(window->Text(id::kMonitorButton),
                  language[0] == 'E' ? "START MONITOR" : "开始监控");
    }
}

TEST_F(MainWindowServiceTest, WithMonitoringStoppedOnlyRestoreAndCheckAddressOpen) {
    for (const char* language : {"ENGLISH", "CHINESE"}) {
        const bool english = language[0] == 'E';
        auto window = MakeWindow(language, true);
        for (int button : {id::kDataCorrectionButton, id::kSetTimeButton}) {
            messages_.clear();
            EXPECT_EQ(Click(*window, button), 0) << button;
            EXPECT_EQ(messages_,
                      std::vector<std::string>{english ? "Please click [START MONITOR] first!"
                                                       : "请先开始监控！"});
        }
        // RESTORE opens in the window's language; CANCEL queues nothing.
        std::string caption;
        EXPECT_EQ(Click(*window, id::kRestoreButton,
                        [&](CDialog& dialog) {
                            caption = dialog.windowTitle().toStdString();
                            dialog.Click(id::kCancelButton);
                        }),
                  id::restore::kDialog);
        EXPECT_EQ(caption, english ? "RESTORE" : "恢复出厂设置");
        EXPECT_EQ(shared_.pendingWrite, 0);
        EXPECT_EQ(messages_.size(), 1u);  // only the last refusal
    }
}

TEST_F(MainWindowServiceTest, CheckAddressStartsMonitoringQueuesTheSearchAndClearsItsFlagOnClose) {
    auto window = MakeWindow("CHINESE", true);
    window->engine.framesSent = 9;
    int flagWhileOpen = -1;
    std::string caption;
    EXPECT_EQ(Click(*window, id::kCheckAddressButton,
                    [&](CDialog& dialog) {
                        flagWhileOpen = shared_.data.addressDialogRefresh;
                        caption = dialog.windowTitle().toStdString();
                    }),
              id::address::kDialog);
    EXPECT_EQ(caption, "查询设备地址");
    EXPECT_EQ(flagWhileOpen, 1);
    EXPECT_EQ(shared_.data.addressDialogRefresh, 0);  // closed with its close box
    EXPECT_EQ(window->Text(id::kMonitorButton), "停止监控");
    EXPECT_EQ(window->settingsRunning, 1);
    EXPECT_TRUE(window->IsTimerRunning(CMainDlg::kEngineTimer));
    EXPECT_TRUE(window->IsTimerRunning(CMainDlg::kDisplayTimer));
    EXPECT_EQ(shared_.settingsStatus, 4);
    EXPECT_EQ(shared_.pendingWrite, 4);
    EXPECT_EQ(window->engine.framesSent, 0);

    // Monitoring already runs: the caption stays, a new search is queued.
    window->SetText(id::kMonitorButton, "STOP MONITOR");
    shared_.pendingWrite = 0;
    EXPECT_EQ(Click(*window, id::kCheckAddressButton), id::address::kDialog);
    EXPECT_EQ(window->Text(id::kMonitorButton), "STOP MONITOR");
    EXPECT_EQ(shared_.pendingWrite, 4);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainWindowServiceTest, RefreshesFromAWorkerReachTheOpenDialogAndOnlyIt) {
    auto window = MakeWindow("ENGLISH", true);
    window->settingsRunning = 1;
    shared_.data.pvVoltageRatio = 1000;

    // The refresh a monitor pass sends, on a thread of its own; the window
    // thread keeps running its event loop until the worker is through.
    auto sendFromWorker = [&](int dialogId, unsigned message) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            window->SendDialogRefresh(dialogId, static_cast<int>(message));
            done = true;
        });
        EXPECT_TRUE(WaitFor([&] { return done.load(); }));
        worker.join();
    };

    std::string year;
    int flagAfter = -1;
    EXPECT_EQ(Click(*window, id::kSetTimeButton,
                    [&](CDialog& dialog) {
                        EXPECT_EQ(shared_.data.clockDialogRefresh, 1);
                        sendFromWorker(id::kCheckAddressDialog, kCheckAddressRefreshMessage);
                        EXPECT_EQ(shared_.data.clockDialogRefresh, 1);  // not its message
                        sendFromWorker(id::kSetTimeDialog, kSetTimeRefreshMessage);
                        year = dialog.Text(id::settime::kYearList);
                        flagAfter = shared_.data.clockDialogRefresh;
                        SendKey(dialog.Control(id::settime::kYearList), Qt::Key_Escape);
                    }),
              id::settime::kDialog);
    EXPECT_FALSE(year.empty());
    EXPECT_EQ(flagAfter, 0);

    std::string ratio;
    EXPECT_EQ(Click(*window, id::kDataCorrectionButton,
                    [&](CDialog& dialog) {
                        EXPECT_EQ(shared_.data.calibrationDialogRefresh, 1);
                        sendFromWorker(id::kDataCorrectionDialog, kDataCorrectionRefreshMessage);
                        ratio = dialog.Text(id::correction::kFirstRatioStatic);
                    }),
              id::correction::kDialog);
    EXPECT_EQ(ratio, "1000");
    EXPECT_EQ(shared_.data.calibrationDialogRefresh, 0);

    // No dialog open: the request reaches nothing and the flag stays for the
    // pass that finds the dialog open; an unknown dialog is ignored.
    shared_.data.clockDialogRefresh = 1;
    sendFromWorker(id::kSetTimeDialog, kSetTimeRefreshMessage);
    sendFromWorker(999, kSetTimeRefreshMessage);
    EXPECT_EQ(shared_.data.clockDialogRefresh, 1);
    EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace kestrane
