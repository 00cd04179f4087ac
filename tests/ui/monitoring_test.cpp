// The road of a reading through the whole window: OPEN and START MONITOR
// against the simulator on a pseudo-terminal, the engine's receive passes and
// the display passes on workers, STOP, a port that is not open, and closing
// the window while everything runs.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <cstdio>
#include <regex>

#include "SimulatedWindow.h"
#include "monitor/ControlIds.h"
#include "monitor/MonitorFormat.h"
#include "protocol/TextCodec.h"
#include "sim/SimRegisters.h"
#include "support/ScratchDir.h"

namespace kestrane {
namespace {

using testing::kGenerous;
using testing::Pump;
using testing::ScratchDir;
using testing::SimulatedWindow;
using testing::StillMorningController;
using testing::WaitUntil;

std::string Tenths(int value, const char* unit) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%s", value * 0.1, unit);
    return text;
}

// "2026- 6- 1  11: 0: 0": the PC clock with blanks, not zeros, as padding.
bool LooksLikePcClock(const std::string& text) {
    static const std::regex kPattern(R"(\d{4}-[ \d]\d-[ \d]\d  [ \d]\d:[ \d]\d:[ \d]\d)");
    return std::regex_match(text, kPattern);
}

TEST(Monitoring, EveryDisplayControlShowsTheControllersValuesAndStopKeepsThem) {
    SimulatedWindow road(StillMorningController());
    ASSERT_TRUE(road.Started());
    CMainDlg& window = road.Window();
    ASSERT_TRUE(road.OpenAndStart());
    EXPECT_EQ(window.Text(id::kMonitorButton), "STOP MONITOR");
    EXPECT_TRUE(window.IsTimerRunning(CMainDlg::kDisplayTimer));

    ASSERT_TRUE(road.WaitForReadCycles(1, kGenerous));
    std::string mismatch;
    ASSERT_TRUE(WaitUntil([&] { return road.DisplayMatchesRecord(&mismatch); }, kGenerous))
        << mismatch;

    // The record really holds the controller's registers, not zeros.
    EXPECT_GT(road.Register(sim::reg::kPvVoltage), 0);
    EXPECT_EQ(window.Text(id::kPvVoltage), Tenths(road.Register(sim::reg::kPvVoltage), "V"));
    EXPECT_EQ(window.Text(id::kBatteryVoltage),
              Tenths(road.Register(sim::reg::kBatteryVoltage), "V"));
    EXPECT_EQ(window.Text(id::kChargePower),
              std::to_string(road.Register(sim::reg::kChargePower)) + "W");
    EXPECT_EQ(window.Text(id::kBatteryType), "User-Diy");
    EXPECT_EQ(window.Text(id::kSystemVoltage), "(Auto)12");
    const auto model = road.Simulator().Registers(sim::reg::kModelName, sim::reg::kModelWords);
    EXPECT_EQ(window.Text(id::kModelValue), WordsToText(model.data(), sim::reg::kModelWords));
    EXPECT_FALSE(window.Text(id::kModelValue).empty());
    EXPECT_EQ(window.Text(id::kLoadLine1), "○Load Control Mode: Light Mode");
    EXPECT_TRUE(LooksLikePcClock(window.Text(id::kPcDateTime))) << window.Text(id::kPcDateTime);

    // The link counters count, and every reply was answered.
    const int sent = window.GetInt(id::kFramesSent);
    const int received = window.GetInt(id::kRepliesReceived);
    EXPECT_GE(sent, 8);
    EXPECT_GE(received, 8);
    EXPECT_TRUE(WaitUntil([&] { return window.GetInt(id::kFramesSent) > sent; }, kGenerous));

    // The settings worker has shown the controller's values in the parameter area.
    EXPECT_TRUE(WaitUntil(
        [&] { return window.Text(id::kMessageLine) == "Click [START EDIT] to modify parameters!"; },
        kGenerous));
    EXPECT_TRUE(
        WaitUntil([&] { return window.Text(id::kMaxChargeCurrentEdit) == "40.0"; }, kGenerous));
    EXPECT_FALSE(window.IsEnabled(id::kMaxChargeCurrentEdit));

    window.Click(id::kMonitorButton);
    EXPECT_EQ(window.Text(id::kMonitorButton), "START MONITOR");
    EXPECT_FALSE(window.IsTimerRunning(CMainDlg::kEngineTimer));
    EXPECT_TRUE(window.IsTimerRunning(CMainDlg::kDisplayTimer));
    Pump(300);
    const int sentAtStop = window.GetInt(id::kFramesSent);
    const std::string clockAtStop = window.Text(id::kPcDateTime);
    EXPECT_TRUE(WaitUntil([&] { return window.Text(id::kPcDateTime) != clockAtStop; }, 5000));
    EXPECT_EQ(window.GetInt(id::kFramesSent), sentAtStop);
    EXPECT_TRUE(road.DisplayMatchesRecord(&mismatch)) << mismatch;
    EXPECT_FALSE(window.settingsWorker.IsRunning());
}

TEST(Monitoring, AFaultyLineStillFillsTheWholeDisplay) {
    sim::SimulatorOptions options = StillMorningController();
    options.drop = 0.3;
    options.corrupt = 0.1;
    options.split = 0.5;
    options.seed = 7;
    SimulatedWindow road(options);
    ASSERT_TRUE(road.Started());
    ASSERT_TRUE(road.OpenAndStart());
    ASSERT_TRUE(road.WaitForReadCycles(1, 60000));
    std::string mismatch;
    EXPECT_TRUE(WaitUntil([&] { return road.DisplayMatchesRecord(&mismatch); }, kGenerous))
        << mismatch;
    // Lost and damaged replies are sent again: more requests than answers.
    CMainDlg& window = road.Window();
    EXPECT_GT(window.GetInt(id::kFramesSent), window.GetInt(id::kRepliesReceived));
    EXPECT_EQ(window.Text(id::kBatteryType), "User-Diy");
}

TEST(Monitoring, StartWithThePortClosedOnlyShowsTheMessageInTheLanguageOfTheMoment) {
    SimulatedWindow road(StillMorningController(), "CHINESE");
    CMainDlg& window = road.Window();
    ASSERT_EQ(window.Text(id::kMonitorButton), "开始监控");
    window.Click(id::kMonitorButton);
    road.Shared().SetLanguageFlag("ENGLISH");
    window.Click(id::kMonitorButton);
    ASSERT_EQ(road.Messages().size(), 2u);
    EXPECT_EQ(road.Messages()[0].text, "串口没有打开！");
    EXPECT_EQ(road.Messages()[1].text, "Please open the COM port first!");
    EXPECT_EQ(window.Text(id::kMonitorButton), "开始监控");
    EXPECT_FALSE(window.IsTimerRunning(CMainDlg::kEngineTimer));
    EXPECT_FALSE(window.IsTimerRunning(CMainDlg::kDisplayTimer));
    EXPECT_FALSE(window.settingsWorker.IsRunning());
    EXPECT_EQ(window.Text(id::kFramesSent), "0");
}

TEST(Monitoring, StopAndStartAgainRunsOneSettingsWorkerAndResumesTheCycle) {
    SimulatedWindow road(StillMorningController(), "CHINESE");
    CMainDlg& window = road.Window();
    ASSERT_TRUE(road.OpenAndStart());
    EXPECT_EQ(window.Text(id::kMonitorButton), "停止监控");
    ASSERT_TRUE(road.WaitForReadCycles(1, kGenerous));
    // STOP and START within one settings pass: the old worker is ended first.
    window.Click(id::kMonitorButton);
    window.Click(id::kMonitorButton);
    EXPECT_EQ(window.Text(id::kMonitorButton), "停止监控");
    EXPECT_TRUE(window.settingsWorker.IsRunning());
    EXPECT_EQ(window.settingsRunning, 1);
    const unsigned cycles = window.engine.CompleteReadCycles();
    EXPECT_TRUE(road.WaitForReadCycles(cycles + 1, kGenerous));
    EXPECT_TRUE(WaitUntil(
        [&] { return window.Text(id::kMessageLine) == "点击“开始编辑“可修改参数！"; }, kGenerous));

    // CLOSE of the port stops the link but not the settings worker; OPEN and
    // START again replace that worker instead of adding a second one.
    window.Click(id::kOpenButton);
    EXPECT_FALSE(window.serialPort.IsOpen());
    EXPECT_EQ(window.workers.Running(), 0u);
    EXPECT_TRUE(window.settingsWorker.IsRunning());
    EXPECT_TRUE(window.IsTimerRunning(CMainDlg::kDisplayTimer));
    EXPECT_EQ(window.Text(id::kMonitorButton), "START MONITOR");
    ASSERT_TRUE(road.OpenAndStart());
    EXPECT_TRUE(road.WaitForReadCycles(window.engine.CompleteReadCycles() + 1, kGenerous));
}

// An unplugged adapter: the window closes the port as CLOSE does, says so once,
// keeps the last values on screen, and opens the port again once it is back.
TEST(Monitoring, ALineThatHangsUpIsClosedAndReportedAndOpensAgainWhenBack) {
    ScratchDir linkDir("kestrane-hangup");
    sim::SimulatorOptions options = StillMorningController();
    options.linkPath = linkDir.Slashed() + "ttyKestrane";
    options.hangupAfter = 20;
    SimulatedWindow road(options);
    ASSERT_TRUE(road.Started());
    CMainDlg& window = road.Window();
    ASSERT_TRUE(road.OpenAndStart());

    ASSERT_TRUE(WaitUntil([&] { return window.Text(id::kOpenButton) == "OPEN"; }, kGenerous));
    EXPECT_FALSE(window.serialPort.IsOpen());
    EXPECT_EQ(window.Text(id::kPortState), "Closed");
    EXPECT_EQ(window.Text(id::kMonitorButton), "START MONITOR");
    EXPECT_FALSE(window.IsTimerRunning(CMainDlg::kEngineTimer));
    EXPECT_TRUE(window.IsEnabled(id::kPortList));
    ASSERT_EQ(road.Messages().size(), 1u);
    EXPECT_EQ(road.Messages().front().text, "The serial port was disconnected!");
    EXPECT_EQ(window.Text(id::kPvVoltage), Tenths(road.Register(sim::reg::kPvVoltage), "V"));

    // Nothing more is sent, and no second box follows.
    const int32_t sent = window.engine.framesSent;
    Pump(300);
    EXPECT_EQ(window.engine.framesSent, sent);
    EXPECT_EQ(road.Messages().size(), 1u);

    options.hangupAfter = 0;
    sim::SimulatorThread again(options);
    std::string error;
    ASSERT_TRUE(again.Start(&error)) << error;
    window.Click(id::kOpenButton);
    EXPECT_TRUE(window.serialPort.IsOpen());
    EXPECT_EQ(window.Text(id::kPortState), "Opened");
    window.Click(id::kMonitorButton);
    const int32_t before = window.engine.repliesReceived;
    EXPECT_TRUE(WaitUntil([&] { return window.engine.repliesReceived > before + 3; }, kGenerous));
    window.Click(id::kMonitorButton);
    window.Click(id::kOpenButton);
    again.Stop();
}

TEST(Monitoring, ClosingTheWindowWhileEverythingRunsReturnsPromptly) {
    SimulatedWindow road(StillMorningController());
    CMainDlg& window = road.Window();
    ASSERT_TRUE(road.OpenAndStart());
    ASSERT_TRUE(road.WaitForReadCycles(1, kGenerous));
    // Refresh requests keep the display passes calling into the window too.
    road.Shared().data.clockDialogRefresh = 1;
    Pump(1500);
    QElapsedTimer elapsed;
    elapsed.start();
    window.close();
    EXPECT_LT(elapsed.elapsed(), 2000);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.workers.Running(), 0u);
    EXPECT_FALSE(window.settingsWorker.IsRunning());
    EXPECT_FALSE(window.serialPort.IsOpen());
    EXPECT_FALSE(window.IsTimerRunning(CMainDlg::kEngineTimer));
    EXPECT_EQ(road.Shared().data.clockDialogRefresh, 0);
    const int sent = window.engine.framesSent;
    Pump(500);
    EXPECT_EQ(window.engine.framesSent, sent);
}

}  // namespace
}  // namespace kestrane
