// The main window: its controls and lists, start-up with and without the
// settings file, the saved address, OPEN/CLOSE on a real pseudo-terminal, and
// the close request.
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "ServiceDialogTestSupport.h"
#include "app/CMainDlg.h"
#include "app/CMonitorApp.h"
#include "monitor/ControlIds.h"
#include "platform/ProfileFile.h"
#include "support/ScratchDir.h"
#include "ui/framework/MessageBox.h"

namespace kestrane {
namespace {

namespace fs = std::filesystem;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageBoxHook([this](const MessageBoxRecord& record) { messages_.push_back(record); });
    }
    void TearDown() override { SetMessageBoxHook({}); }

    std::string Ini() const { return dir_ + "Configfiles.ini"; }
    std::string Stored(const char* section, const char* key) const {
        return GetProfileString(section, key, "<missing>", Ini());
    }
    void Store(const char* section, const char* key, const char* value) {
        WriteProfileString(section, key, value, Ini());
    }
    // A settings file as a previous run left it.
    void StoreSettings(const char* language, const char* address, const char* colour = "1") {
        Store("SysLanguage", "Language", language);
        Store("COMSET", "ADDR", address);
        Store("Colour", "BackColour", colour);
    }

    testing::ScratchDir scratch_{"kestrane-window"};
    const std::string dir_ = scratch_.Slashed();
    SharedState shared_;
    std::vector<MessageBoxRecord> messages_;
};

using testing::PseudoTerminal;

TEST_F(MainWindowTest, FirstStartCreatesTheSettingsAndRunsWithColourZero) {
    CMonitorApp app(shared_, dir_);
    shared_.colourIndex = 0;
    app.LoadStartSettings();
    EXPECT_EQ(Stored("SysLanguage", "Language"), "ENGLISH");
    EXPECT_EQ(Stored("COMSET", "ADDR"), "1");
    EXPECT_EQ(Stored("Colour", "BackColour"), "1");
    EXPECT_EQ(shared_.colourIndex, 0);

    CMainDlg window(shared_, dir_);
    window.Create();
    EXPECT_EQ(window.Text(id::kPortLabel), "Com Port:");
    EXPECT_EQ(window.Text(id::kLanguageButton), "切换为中文");
    EXPECT_EQ(window.Selection(id::kAddressList), 0);
    EXPECT_TRUE(window.IsVisible(id::kLogoTheme0));
    for (int logo : {1269, 1270, 1271, 1276})
        EXPECT_FALSE(window.IsVisible(logo)) << logo;
    EXPECT_TRUE(window.IsVisible(id::kBackgroundListEnglish));
    EXPECT_FALSE(window.IsVisible(id::kBackgroundListChinese));
    EXPECT_EQ(window.Selection(id::kBackgroundListEnglish), 0);
    EXPECT_EQ(window.Text(id::kBackgroundLabel), "Background:");

    // The next start takes the stored colour.
    SharedState second;
    CMonitorApp(second, dir_).LoadStartSettings();
    EXPECT_EQ(second.colourIndex, 1);
}

// A first start killed while it wrote the defaults (an older version wrote
// them key by key) left the language alone and its temporary file; the next
// start completes the file and clears the temporary file away.
TEST_F(MainWindowTest, TheStartAfterAKilledFirstStartRepairsTheSettings) {
    Store("SysLanguage", "Language", "ENGLISH");
    const std::string stale = Ini() + ".kestrane-q7Rz2X";
    std::ofstream(stale) << "[SysLanguage]\nLanguage=ENGLISH\n[CO";
    CMonitorApp app(shared_, dir_);
    shared_.colourIndex = 5;
    app.LoadStartSettings();
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_EQ(Stored("COMSET", "ADDR"), "1");
    EXPECT_EQ(Stored("Colour", "BackColour"), "1");
    EXPECT_EQ(shared_.colourIndex, 0);  // as on a first start: colour 1 from the next run

    CMainDlg window(shared_, dir_);
    window.Create();
    EXPECT_EQ(window.Text(id::kPortLabel), "Com Port:");
    EXPECT_EQ(window.Text(id::kAddressList), "1");
}

TEST_F(MainWindowTest, AFileThatVanishedBeforeTheWindowGetsColourZero) {
    CMainDlg window(shared_, dir_);
    window.Create();
    EXPECT_EQ(Stored("SysLanguage", "Language"), "ENGLISH");
    EXPECT_EQ(Stored("COMSET", "ADDR"), "1");
    EXPECT_EQ(Stored("Colour", "BackColour"), "0");
}

TEST_F(MainWindowTest, TheTemplateHoldsEveryControlAndList) {
    StoreSettings("CHINESE", "1");
    CMainDlg window(shared_, dir_);
    window.Create();
    EXPECT_EQ(window.windowTitle(), "KestraneV1.3");
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_TRUE(window.windowFlags() & Qt::WindowMinimizeButtonHint);

    const std::vector<std::string> bauds{
        "110",   "300",   "600",   "1200",   "2400",   "4800",   "9600",   "14400",  "19200",
        "38400", "56000", "57600", "115200", "128000", "256000", "230400", "460800", "921600"};
    ASSERT_EQ(window.ItemCount(id::kBaudList), 18);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(window.ItemText(id::kBaudList, i), bauds[i]);
    EXPECT_EQ(window.Selection(id::kBaudList), 6);
    EXPECT_EQ(window.GetInt(id::kBaudList), 9600);

    ASSERT_EQ(window.ItemCount(id::kAddressList), 247);
    EXPECT_EQ(window.ItemText(id::kAddressList, 0), "1");
    EXPECT_EQ(window.ItemText(id::kAddressList, 246), "247");
    ASSERT_EQ(window.ItemCount(id::kSystemVoltageList), 41);
    EXPECT_EQ(window.ItemText(id::kSystemVoltageList, 0), "Auto");
    EXPECT_EQ(window.ItemText(id::kSystemVoltageList, 2), "24V");
    EXPECT_EQ(window.ItemText(id::kSystemVoltageList, 40), "480V");
    EXPECT_EQ(window.ItemText(id::kBatteryTypeList, 4), "Li-ion");
    EXPECT_EQ(window.Selection(id::kBatteryTypeList), -1);
    EXPECT_EQ(window.ItemText(id::kLoadModeListChinese, 1), "固定时间光控模式");
    EXPECT_EQ(window.ItemText(id::kLoadModeListEnglish, 1), "Light&Time Mode");
    EXPECT_EQ(window.ItemText(id::kBackgroundListChinese, 3), "橙黄色");
    EXPECT_EQ(window.ItemText(id::kBackgroundListEnglish, 4), "Light green");

    // Resource texts the Chinese window keeps.
    EXPECT_EQ(window.Text(id::kPortState), "CLOSE");
    EXPECT_EQ(window.Text(id::kFramesSent), "0");
    EXPECT_EQ(window.Text(id::kCheckAddressButton), "查询设备地址");
    EXPECT_EQ(window.Text(id::kRealTimeGroup), "实时数据");
    EXPECT_TRUE(qobject_cast<QGroupBox*>(window.Control(id::kLoadSettingsGroup)));
    for (int button : {1007, 1014, 1084, 1052, 1118, 1053, 1120, 1121, 1122, 1136, 1186, 1257}) {
        EXPECT_TRUE(qobject_cast<QPushButton*>(window.Control(button))) << button;
    }
    for (int edit : {1054, 1061, 1078, 1083, 1085, 1086, 1062, 1077}) {
        EXPECT_TRUE(qobject_cast<QLineEdit*>(window.Control(edit))) << edit;
    }
}

TEST_F(MainWindowTest, NoTwoControlsOverlapExceptThoseStackedOnPurpose) {
    StoreSettings("CHINESE", "1");
    CMainDlg window(shared_, dir_);
    window.Create();
    const std::set<std::set<int>> stacked{
        {1268, 1269, 1270, 1271, 1276}, {1006, 1008}, {1009, 1011}};
    auto stackedTogether = [&](int a, int b) {
        for (const auto& group : stacked) {
            if (group.count(a) && group.count(b)) return true;
        }
        return false;
    };
    std::vector<QWidget*> controls;
    for (QWidget* child : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        // The service dialogs are windows of their own, not controls.
        if (!qobject_cast<QGroupBox*>(child) && !child->isWindow()) controls.push_back(child);
    }
    ASSERT_GT(controls.size(), 200u);
    const QRect client = window.rect();
    for (size_t i = 0; i < controls.size(); ++i) {
        const QRect a = controls[i]->geometry();
        EXPECT_TRUE(client.contains(a)) << controls[i]->objectName().toStdString();
        for (size_t j = i + 1; j < controls.size(); ++j) {
            const int idA = controls[i]->objectName().toInt();
            const int idB = controls[j]->objectName().toInt();
            if (stackedTogether(idA, idB)) continue;
            EXPECT_FALSE(a.intersects(controls[j]->geometry()))
                << idA << " overlaps " << idB << " (" << controls[i]->metaObject()->className()
                << ", " << controls[j]->metaObject()->className() << ")";
        }
    }
}

TEST_F(MainWindowTest, TheLanguageFlagPicksTheCaptionsExactly) {
    struct Case {
        const char* stored;  // nullptr: no language key
        bool english;
    };
    for (const Case& c : {Case{"ENGLISH", true}, Case{"CHINESE", false}, Case{"english", false},
                          Case{"", false}, Case{nullptr, false}}) {
        fs::remove(Ini());
        Store("COMSET", "ADDR", "1");
        if (c.stored) Store("SysLanguage", "Language", c.stored);
        CMainDlg window(shared_, dir_);
        window.Create();
        const std::string what = c.stored ? c.stored : "(none)";
        EXPECT_EQ(window.Text(id::kMonitorButton), c.english ? "START MONITOR" : "开始监控")
            << what;
        EXPECT_EQ(window.Text(id::kOpenButton), c.english ? "OPEN" : "打开串口") << what;
        EXPECT_EQ(window.Text(id::kLanguageLabel), c.english ? " Language:English" : " 语言：中文")
            << what;
        EXPECT_EQ(window.Text(id::kLanguageButton), c.english ? "切换为中文" : "Turn To English")
            << what;
        EXPECT_EQ(window.Text(id::kPortState), "CLOSE") << what;  // in neither language
        EXPECT_EQ(window.IsVisible(id::kLoadModeListEnglish), c.english) << what;
        EXPECT_EQ(window.IsVisible(id::kLoadModeListChinese), !c.english) << what;
        EXPECT_EQ(window.Selection(id::kLoadModeListChinese), 0) << what;
    }
}

TEST_F(MainWindowTest, TheSavedAddressIsSelectedWhenItIsInTheListElseAddressOne) {
    struct Case {
        const char* stored;
        int selection;
    };
    // No address of the list selects address 1: never the broadcast address 0.
    for (const Case& c :
         {Case{"12", 11}, Case{"1", 0}, Case{"247", 246}, Case{"248", 0}, Case{"300", 0},
          Case{"", 0}, Case{"0", 0}, Case{"NULL", 0}, Case{"7abc", 6}}) {
        StoreSettings("ENGLISH", c.stored);
        CMainDlg window(shared_, dir_);
        window.Create();
        EXPECT_EQ(window.Selection(id::kAddressList), c.selection) << c.stored;
        if (c.selection >= 0) {
            EXPECT_EQ(window.Text(id::kAddressList), std::to_string(c.selection + 1));
        }
    }
}

TEST_F(MainWindowTest, ClosingStoresTheAddressListsText) {
    StoreSettings("ENGLISH", "12");
    {
        CMainDlg window(shared_, dir_);
        window.Create();
        window.show();
        window.Select(id::kAddressList, 4);
        window.close();
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(Stored("COMSET", "ADDR"), "5");
    }
    {
        // No selection stores the empty text, so the next start selects nothing.
        CMainDlg window(shared_, dir_);
        window.Create();
        window.show();
        window.Select(id::kAddressList, -1);
        window.close();
        EXPECT_EQ(Stored("COMSET", "ADDR"), "");
    }
}

TEST_F(MainWindowTest, EnterKeepsTheWindowAndEscapeClosesItProperly) {
    StoreSettings("ENGLISH", "3");
    CMainDlg window(shared_, dir_);
    window.Create();
    window.show();
    window.Select(id::kAddressList, 8);
    shared_.data.clockDialogRefresh = 1;
    window.SetTimer(CMainDlg::kEngineTimer, 100000);
    for (int target : {id::kMaxChargeCurrentEdit, id::kAddressList}) {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(window.Control(target), &enter);
    }
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(Stored("COMSET", "ADDR"), "3");

    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window.Control(id::kMaxChargeCurrentEdit), &escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(Stored("COMSET", "ADDR"), "9");
    EXPECT_EQ(shared_.data.clockDialogRefresh, 0);
    EXPECT_FALSE(window.IsTimerRunning(CMainDlg::kEngineTimer));
}

TEST_F(MainWindowTest, ClosingJoinsAWorkerThatKeepsCallingTheWindow) {
    StoreSettings("ENGLISH", "1");
    CMainDlg window(shared_, dir_);
    window.Create();
    window.show();
    std::atomic<int> passes{0};
    window.settingsRunning = 1;
    window.workers.Start([&] {
        while (window.settingsRunning) {
            window.SetTextIfChanged(id::kMessageLine, std::to_string(passes++ % 2));
            window.Enable(id::kBatterySaveButton, false);
        }
    });
    while (passes < 10)
        QApplication::processEvents();
    window.close();
    EXPECT_EQ(window.workers.Running(), 0u);
    EXPECT_EQ(window.settingsRunning, 0);
}

TEST_F(MainWindowTest, ExtraPortsComeFirstAndTheFirstEntryIsSelected) {
    StoreSettings("ENGLISH", "1");
    CMainDlg window(shared_, dir_);
    window.SetExtraPorts({"/tmp/zz-bridge", "/tmp/aa-bridge"});
    window.Create();
    EXPECT_EQ(window.ItemText(id::kPortList, 0), "/tmp/zz-bridge");
    EXPECT_EQ(window.ItemText(id::kPortList, 1), "/tmp/aa-bridge");
    EXPECT_EQ(window.Selection(id::kPortList), 0);
}

TEST_F(MainWindowTest, OpenAndCloseOnAPseudoTerminalInBothLanguages) {
    struct Case {
        const char* language;
        const char* openCaption;
        const char* closeCaption;
        const char* opened;
        const char* closed;
    };
    for (const Case& c : {Case{"ENGLISH", "OPEN", "CLOSE", "Opened", "Closed"},
                          Case{"CHINESE", "打开串口", "关闭串口", "已打开", "已关闭"}}) {
        PseudoTerminal pty;
        ASSERT_FALSE(pty.Path().empty());
        StoreSettings(c.language, "1");
        CMainDlg window(shared_, dir_);
        window.SetExtraPorts({pty.Path()});
        window.Create();
        ASSERT_EQ(window.Text(id::kOpenButton), c.openCaption);

        window.Click(id::kOpenButton);
        EXPECT_TRUE(messages_.empty()) << messages_.front().detail;
        EXPECT_TRUE(window.serialPort.IsOpen());
        EXPECT_EQ(window.Text(id::kOpenButton), c.closeCaption);
        EXPECT_EQ(window.Text(id::kPortState), c.opened);
        for (int list : {id::kPortList, id::kAddressList, id::kBaudList}) {
            EXPECT_FALSE(window.IsEnabled(list)) << list;
        }

        window.SetText(id::kMonitorButton, c.language[0] == 'E' ? "STOP MONITOR" : "停止监控");
        window.SetTimer(CMainDlg::kEngineTimer, 100000);
        window.engine.receiveRunning = 1;
        window.engine.linkIdle = 0;
        window.Click(id::kOpenButton);
        EXPECT_FALSE(window.serialPort.IsOpen());
        EXPECT_EQ(window.Text(id::kOpenButton), c.openCaption);
        EXPECT_EQ(window.Text(id::kPortState), c.closed);
        EXPECT_EQ(window.Text(id::kMonitorButton), "START MONITOR");  // in either language
        EXPECT_FALSE(window.IsTimerRunning(CMainDlg::kEngineTimer));
        EXPECT_EQ(window.engine.receiveRunning, 0);
        EXPECT_EQ(window.engine.linkIdle, 1);
        for (int list : {id::kPortList, id::kAddressList, id::kBaudList}) {
            EXPECT_TRUE(window.IsEnabled(list)) << list;
        }
    }
}

TEST_F(MainWindowTest, APortThatCannotBeOpenedOrConfiguredShowsWhy) {
    struct Case {
        const char* port;
        const char* reason;
    };
    // /dev/null opens but is no terminal: it is closed again, not left open
    // under the OPEN caption.
    for (const Case& c :
         {Case{"/dev/kestrane-no-such-port", "No such file"}, Case{"/dev/null", "ioctl"}}) {
        messages_.clear();
        StoreSettings("CHINESE", "1");
        CMainDlg window(shared_, dir_);
        window.SetExtraPorts({c.port});
        window.Create();
        window.Click(id::kOpenButton);
        ASSERT_EQ(messages_.size(), 1u) << c.port;
        EXPECT_EQ(messages_[0].text, "串口创建失败！");
        EXPECT_NE(messages_[0].detail.find(c.reason), std::string::npos) << messages_[0].detail;
        EXPECT_FALSE(window.serialPort.IsOpen());
        EXPECT_EQ(window.Text(id::kOpenButton), "打开串口");
        EXPECT_EQ(window.Text(id::kPortState), "CLOSE");
        EXPECT_TRUE(window.IsEnabled(id::kPortList));
    }
}

}  // namespace
}  // namespace kestrane
