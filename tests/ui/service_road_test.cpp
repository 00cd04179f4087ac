// The service functions through the whole window against the simulated
// controller: the factory restore, setting the controller's clock, and the
// calibration and identity writes of Data Correction, each followed to the
// controller's registers and back into the window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ServiceRoad.h"
#include "SimulatedWindow.h"
#include "monitor/ControlIds.h"
#include "monitor/NumberText.h"
#include "protocol/TextCodec.h"
#include "service/logic/ServiceControlIds.h"
#include "sim/SimRegisters.h"

namespace kestrane {
namespace {

using testing::FollowMessageLine;
using testing::InOrder;
using testing::kGenerous;
using testing::Pump;
using testing::RunServiceDialog;
using testing::SimulatedWindow;
using testing::StillMorningController;
using testing::WaitUntil;

// The settings a restore returns to: battery, load control, lead-acid and
// lithium voltages, as start and count.
constexpr sim::ReadBlock kRestoredSettings[] = {
    {sim::reg::kBatteryType, 8},
    {sim::reg::kLoadMode, 14},
    {sim::reg::kOverVoltageProtect, 4},
    {sim::reg::kLiChargeVoltage, 6},
};
constexpr int kEnergyControls[] = {id::kChargedToday, id::kChargedMonth, id::kChargedTotal,
                                   id::kUsedToday,    id::kUsedMonth,    id::kUsedTotal};

uint32_t Wh(const sim::SimulatorThread& simulator, uint16_t address) {
    const std::vector<uint16_t> words = simulator.Registers(address, 2);
    return static_cast<uint32_t>(words[0]) << 16 | words[1];
}

TEST(ServiceRoad, RestoreWaitsForMonitoringThenResetsTheSettingsAndClearsTheEnergy) {
    const sim::SimulatorOptions options = StillMorningController();
    SimulatedWindow road(options);
    ASSERT_TRUE(road.Started());
    CMainDlg& window = road.Window();
    sim::SimulatorThread& simulator = road.Simulator();
    // The operator's own settings, and energy gathered under them.
    simulator.WithDevice([](sim::SimDevice& device) {
        device.Bank().Set(sim::reg::kMaxChargeCurrent, 300);
        device.Bank().Set(sim::reg::kLoadOnDelay, 9);
        device.Advance(1800);
    });
    ASSERT_GT(Wh(simulator, sim::reg::kChargedTodayWh), 0u);
    ASSERT_GT(Wh(simulator, sim::reg::kChargedTotalWh), 0u);

    ASSERT_TRUE(road.OpenAndStart());
    ASSERT_TRUE(
        WaitUntil([&] { return window.Text(id::kMaxChargeCurrentEdit) == "30.0"; }, kGenerous));

    // CANCEL queues nothing: a whole read cycle later the settings stand.
    EXPECT_EQ(RunServiceDialog(window, id::kRestoreButton,
                               [](CDialog& dialog) { dialog.Click(id::kCancelButton); }),
              id::restore::kDialog);
    EXPECT_EQ(road.Shared().pendingWrite, 0);
    ASSERT_TRUE(road.WaitForReadCycles(window.engine.CompleteReadCycles() + 1, kGenerous));
    EXPECT_EQ(road.Register(sim::reg::kMaxChargeCurrent), 300);
    EXPECT_GT(Wh(simulator, sim::reg::kChargedTodayWh), 0u);

    // OK with monitoring stopped: queued, but nothing reaches the controller.
    window.Click(id::kMonitorButton);
    ASSERT_EQ(window.Text(id::kMonitorButton), "START MONITOR");
    Pump(300);
    const uint64_t requests = simulator.RequestCount();
    RunServiceDialog(window, id::kRestoreButton,
                     [](CDialog& dialog) { dialog.Click(id::kOkButton); });
    EXPECT_EQ(road.Shared().pendingWrite, 7);
    EXPECT_EQ(road.Shared().settingsStatus, 3);
    Pump(1000);
    EXPECT_EQ(simulator.RequestCount(), requests);
    EXPECT_EQ(road.Register(sim::reg::kMaxChargeCurrent), 300);

    // START sends it.
    window.Click(id::kMonitorButton);
    std::vector<std::string> messages;
    ASSERT_TRUE(FollowMessageLine(
        window, messages, [&] { return window.Text(id::kMessageLine) == "Set successfully!"; },
        kGenerous));
    const sim::SimDevice factory(options);
    for (const sim::ReadBlock& block : kRestoredSettings) {
        for (uint16_t at = block.start; at < block.start + block.count; ++at)
            EXPECT_EQ(road.Register(at), factory.Bank().Get(at)) << "register " << at;
    }
    for (uint16_t at = sim::reg::kChargedTodayWh; at < sim::reg::kUsedTotalWh + 2; ++at)
        EXPECT_EQ(road.Register(at), 0) << "register " << at;

    // The window reads the restored controller back.
    ASSERT_TRUE(road.WaitForReadCycles(window.engine.CompleteReadCycles() + 1, kGenerous));
    EXPECT_TRUE(
        WaitUntil([&] { return window.Text(id::kMaxChargeCurrentEdit) == "40.0"; }, kGenerous));
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (int control : kEnergyControls)
                if (window.Text(control) != FormatKilowattHours(0)) return false;
            return true;
        },
        kGenerous));
    EXPECT_TRUE(road.Messages().empty());
}

TEST(ServiceRoad, SetTimeConfirmSetsTheControllersClock) {
    SimulatedWindow road(StillMorningController());
    CMainDlg& window = road.Window();
    ASSERT_TRUE(road.OpenAndStart());
    ASSERT_TRUE(road.WaitForReadCycles(1, kGenerous));

    std::vector<std::string> messages;
    const int opened = RunServiceDialog(window, id::kSetTimeButton, [&](CDialog& dialog) {
        // Filled once from the PC clock by the first display pass.
        ASSERT_TRUE(
            WaitUntil([&] { return road.Shared().data.clockDialogRefresh == 0; }, kGenerous));
        EXPECT_FALSE(dialog.Text(id::settime::kYearList).empty());
        dialog.Choose(id::settime::kYearList, 11);  // 2031
        ASSERT_EQ(dialog.Text(id::settime::kYearList), "2031");
        dialog.SetText(id::settime::kMonthList, "12");
        dialog.SetText(id::settime::kDayList, "24");
        dialog.SetText(id::settime::kHourList, "18");
        dialog.SetText(id::settime::kMinuteList, "45");
        dialog.SetText(id::settime::kSecondList, "30");
        dialog.Click(id::settime::kConfirmButton);
        // Queued: "Setting, please wait!" until the controller answers. The
        // message line may skip it when the answer comes within one pass of
        // the settings worker, so the status itself is checked.
        EXPECT_EQ(road.Shared().settingsStatus, 3);
        ASSERT_TRUE(FollowMessageLine(
            window, messages, [&] { return window.Text(id::kMessageLine) == "Set successfully!"; },
            kGenerous));
    });
    EXPECT_EQ(opened, id::settime::kDialog);
    EXPECT_EQ(road.Simulator().Clock().ToString(), "2031-12-24T18:45:30");
    // The read cycle goes on after the write.
    EXPECT_TRUE(road.WaitForReadCycles(window.engine.CompleteReadCycles() + 1, kGenerous));
}

TEST(ServiceRoad, CalibrationAndIdentityWritesReachTheControllerAndComeBack) {
    SimulatedWindow road(StillMorningController());
    CMainDlg& window = road.Window();
    sim::SimulatorThread& simulator = road.Simulator();
    ASSERT_TRUE(road.OpenAndStart());
    ASSERT_TRUE(road.WaitForReadCycles(1, kGenerous));
    const int live = road.Shared().data.pvVoltage;
    ASSERT_GE(live, 50);
    ASSERT_EQ(road.Register(sim::reg::kPvVoltage), live);
    const auto firmware = simulator.Registers(sim::reg::kFirmwareVersion, sim::reg::kFirmwareWords);

    // The reference instrument reads a little over a volt more than the
    // controller; .5 is exact in binary, so the tenths are too.
    const int measured = (live / 10 + 1) * 10 + 5;
    const std::string measuredText = std::to_string(measured / 10) + ".5";
    const int ratio = 1000 * measured / live;

    const int opened = RunServiceDialog(window, id::kDataCorrectionButton, [&](CDialog& dialog) {
        const int ratioStatic = id::correction::kFirstRatioStatic;
        ASSERT_TRUE(WaitUntil([&] { return dialog.Text(ratioStatic) == "1000"; }, kGenerous));
        // The first refresh since the start fills the edits with what was read.
        EXPECT_EQ(dialog.Text(id::correction::kFirstMeasuredEdit), FormatTenths(live));
        EXPECT_EQ(dialog.Text(id::correction::kFirstOffsetEdit), "0");
        dialog.SetText(id::correction::kFirstMeasuredEdit, measuredText);
        dialog.Click(id::correction::kFirstConfirmButton);
        EXPECT_EQ(road.Shared().pendingWrite, 6);
        ASSERT_TRUE(WaitUntil([&] { return road.Register(sim::reg::kPvVoltageRatio) == ratio; },
                              kGenerous));
        EXPECT_TRUE(WaitUntil([&] { return window.Text(id::kMessageLine) == "Set successfully!"; },
                              kGenerous));
        // The other eleven values are written back as they were.
        const auto calibration = simulator.Registers(sim::reg::kPvVoltageRatio, 12);
        for (size_t i = 1; i < calibration.size(); ++i)
            EXPECT_EQ(calibration[i], i % 2 == 0 ? 1000 : 0) << "register " << 0x0301 + i;
        EXPECT_TRUE(WaitUntil([&] { return dialog.Text(ratioStatic) == std::to_string(ratio); },
                              kGenerous));

        // The monitor now shows the calibrated reading, close to the reference.
        EXPECT_TRUE(WaitUntil(
            [&] {
                const int reading = road.Register(sim::reg::kPvVoltage);
                return road.Shared().data.pvVoltage == reading &&
                       window.Text(id::kPvVoltage) == FormatTenths(reading) + "V";
            },
            kGenerous));
        EXPECT_LE(std::abs(road.Register(sim::reg::kPvVoltage) - measured), 2);

        // A customised serial number, then a model name: each written with
        // the other identity values as read back.
        dialog.SetText(id::correction::kCustomSerialEdit, "ROAD-0042");
        dialog.Click(id::correction::kCustomSerialButton);
        EXPECT_EQ(road.Shared().pendingWrite, 9);
        ASSERT_TRUE(WaitUntil(
            [&] { return window.Text(id::kSerialValue).rfind("ROAD-0042", 0) == 0; }, kGenerous));
        dialog.SetText(id::correction::kModelEdit, "KESTRANE-ROAD");
        dialog.Click(id::correction::kModelButton);
        ASSERT_TRUE(
            WaitUntil([&] { return window.Text(id::kModelValue).rfind("KESTRANE-ROAD", 0) == 0; },
                      kGenerous));
    });
    EXPECT_EQ(opened, id::correction::kDialog);
    EXPECT_EQ(road.Shared().data.calibrationDialogRefresh, 0);

    const auto serial = simulator.Registers(sim::reg::kSerialNumber, sim::reg::kSerialWords);
    EXPECT_EQ(WordsToText(serial.data(), sim::reg::kSerialWords), "ROAD-0042       ");
    const auto model = simulator.Registers(sim::reg::kModelName, sim::reg::kModelWords);
    EXPECT_EQ(WordsToText(model.data(), sim::reg::kModelWords), "KESTRANE-ROAD   ");
    EXPECT_EQ(simulator.Registers(sim::reg::kFirmwareVersion, sim::reg::kFirmwareWords), firmware);
    EXPECT_EQ(window.Text(id::kSerialValue), WordsToText(serial.data(), sim::reg::kSerialWords));
    EXPECT_EQ(window.Text(id::kModelValue), WordsToText(model.data(), sim::reg::kModelWords));
    EXPECT_TRUE(road.Messages().empty());
}

}  // namespace
}  // namespace kestrane
