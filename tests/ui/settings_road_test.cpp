// The road of a setting through the whole window: edit mode, a SAVE, the
// engine's write chain against the simulator, the message line, and the
// read-back into the fields and the display once editing ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "SimulatedWindow.h"
#include "monitor/ControlIds.h"
#include "settings/logic/SettingsText.h"
#include "sim/SimRegisters.h"

namespace kestrane {
namespace {

using testing::kGenerous;
using testing::Pump;
using testing::SimulatedWindow;
using testing::StillMorningController;
using testing::WaitUntil;

// The parameter fields filled last, from the load-control and lead-acid
// blocks, show what the simulated controller holds.
bool FieldsShowTheControllersSettings(SimulatedWindow& road) {
    using settings::FieldFormat;
    struct Field {
        int control;
        uint16_t reg;
        FieldFormat format;
    };
    const Field fields[] = {
        {id::kLightOnVoltageEdit, sim::reg::kLoadOnPvVoltage, FieldFormat::kTenths},
        {id::kLightOffVoltageEdit, sim::reg::kLoadOffPvVoltage, FieldFormat::kTenths},
        {id::kLightOnDelayEdit, sim::reg::kLoadOnDelay, FieldFormat::kLow8},
        {id::kLightOffDelayEdit, sim::reg::kLoadOffDelay, FieldFormat::kLow8},
        {id::kTimer1OnHourEdit, sim::reg::kTimer1OnHour, FieldFormat::kLow8},
        {id::kTimer2OnHourEdit, sim::reg::kTimer2OnHour, FieldFormat::kLow8},
        {id::kOverVoltageProtectEdit, sim::reg::kOverVoltageProtect, FieldFormat::kTenths},
        {id::kLowVoltageRecoverEdit, sim::reg::kLowVoltageRecover, FieldFormat::kTenths},
    };
    return std::all_of(std::begin(fields), std::end(fields), [&](const Field& f) {
        return road.Window().Text(f.control) ==
               settings::FormatField(road.Register(f.reg), f.format);
    });
}

// Opens, starts monitoring, waits for the controller's values in the
// parameter area and enters edit mode.
void StartEditing(SimulatedWindow& road) {
    CMainDlg& window = road.Window();
    ASSERT_TRUE(road.OpenAndStart());
    ASSERT_TRUE(WaitUntil([&] { return window.IsEnabled(id::kEditButton); }, kGenerous));
    ASSERT_TRUE(WaitUntil([&] { return FieldsShowTheControllersSettings(road); }, kGenerous));
    window.Click(id::kEditButton);
    ASSERT_EQ(window.Text(id::kEditButton), "STOP EDIT");
    ASSERT_TRUE(WaitUntil([&] { return window.IsEnabled(id::kBatteryTypeList); }, kGenerous));
}

// Records every TransactionCode the engine takes, and every text of the
// message line, until `done`. The codes are sampled by a thread of their own
// every millisecond, so a code the engine holds for only one tick is seen even
// when the window thread is slow to come round.
struct RoadLog {
    std::vector<int> codes;
    std::vector<std::string> messages;

    bool Follow(CMainDlg& window, const std::function<bool()>& done, int timeoutMs) {
        std::atomic<bool> following{true};
        std::mutex codesMutex;
        const auto sample = [&] {
            const int code = window.engine.TransactionCode;
            std::lock_guard lock(codesMutex);
            if (codes.empty() || codes.back() != code) codes.push_back(code);
        };
        std::thread sampler([&] {
            while (following) {
                sample();
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        const bool finished = WaitUntil(
            [&] {
                const std::string message = window.Text(id::kMessageLine);
                if (messages.empty() || messages.back() != message) messages.push_back(message);
                return done();
            },
            timeoutMs);
        following = false;
        sampler.join();
        sample();  // the code `done` saw
        return finished;
    }
};

bool InOrder(const std::vector<int>& seen, const std::vector<int>& wanted) {
    auto at = seen.begin();
    for (int code : wanted) {
        at = std::find(at, seen.end(), code);
        if (at == seen.end()) return false;
    }
    return true;
}

TEST(SettingsRoad, AFullBatterySaveRunsTheChainAndTheFieldsShowTheNewValues) {
    SimulatedWindow road(StillMorningController());
    ASSERT_TRUE(road.Started());
    CMainDlg& window = road.Window();
    ASSERT_NO_FATAL_FAILURE(StartEditing(road));

    window.Choose(id::kBatteryTypeList, 0);  // User-Diy
    ASSERT_TRUE(WaitUntil([&] { return window.IsEnabled(id::kCvChargeVoltageEdit); }, kGenerous));
    const std::vector<std::pair<int, const char*>> fields{
        {id::kMaxChargeCurrentEdit, "30.0"},     {id::kMaxLoadCurrentEdit, "15.0"},
        {id::kCvChargeVoltageEdit, "14.5"},      {id::kFloatChargeVoltageEdit, "13.6"},
        {id::kEqualizeVoltageEdit, "14.7"},      {id::kEqualizeMinutesEdit, "90"},
        {id::kOverVoltageProtectEdit, "15.8"},   {id::kOverVoltageRecoverEdit, "14.8"},
        {id::kLowVoltageProtectEdit, "11.2"},    {id::kLowVoltageRecoverEdit, "12.4"},
        {id::kLiChargeVoltageEdit, "14.3"},      {id::kLiNominalVoltageEdit, "12.9"},
        {id::kLiOverVoltageProtectEdit, "14.7"}, {id::kLiOverVoltageRecoverEdit, "14.1"},
        {id::kLiLowVoltageProtectEdit, "11.3"},  {id::kLiLowVoltageRecoverEdit, "12.1"},
    };
    for (const auto& [control, text] : fields)
        window.SetText(control, text);

    window.Click(id::kBatteryVoltageSaveButton);
    EXPECT_EQ(window.Text(id::kMessageLine), "Setting, please wait!");
    RoadLog log;
    ASSERT_TRUE(log.Follow(
        window,
        [&] {
            return window.Text(id::kMessageLine) == "Set successfully!" &&
                   window.engine.TransactionCode < 8;
        },
        kGenerous));
    EXPECT_TRUE(InOrder(log.codes, {11, 12, 10, 50, 0})) << ::testing::PrintToString(log.codes);
    EXPECT_EQ(log.messages.front(), "Setting, please wait!");
    EXPECT_EQ(log.messages.back(), "Set successfully!");

    const std::vector<uint16_t> battery{0, 0, 145, 136, 300, 150, 147, 90};
    EXPECT_EQ(road.Simulator().Registers(sim::reg::kBatteryType, 8), battery);
    const std::vector<uint16_t> leadAcid{158, 148, 112, 124};
    EXPECT_EQ(road.Simulator().Registers(sim::reg::kOverVoltageProtect, 4), leadAcid);
    const std::vector<uint16_t> lithium{143, 129, 113, 147, 121, 141};
    EXPECT_EQ(road.Simulator().Registers(sim::reg::kLiChargeVoltage, 6), lithium);

    // While editing the fields keep the typed text; after STOP EDIT they show
    // what was read back.
    window.SetText(id::kMaxChargeCurrentEdit, "typed");
    Pump(300);
    EXPECT_EQ(window.Text(id::kMaxChargeCurrentEdit), "typed");
    window.Click(id::kEditButton);
    ASSERT_EQ(window.Text(id::kEditButton), "START EDIT");
    const unsigned cycles = window.engine.CompleteReadCycles();
    ASSERT_TRUE(road.WaitForReadCycles(cycles + 1, kGenerous));
    EXPECT_TRUE(WaitUntil(
        [&] {
            return std::all_of(fields.begin(), fields.end(), [&](const auto& field) {
                return window.Text(field.first) == field.second;
            });
        },
        kGenerous));
    EXPECT_EQ(window.Selection(id::kBatteryTypeList), 0);
    EXPECT_FALSE(window.IsEnabled(id::kCvChargeVoltageEdit));
    // The display follows on its next pass.
    EXPECT_TRUE(WaitUntil([&] { return window.Text(id::kChargeVoltage) == "14.5"; }, kGenerous));
    EXPECT_EQ(window.Text(id::kBatteryType), "User-Diy");
    EXPECT_EQ(window.Text(id::kOverVoltageProtect), "15.8");
}

TEST(SettingsRoad, AWriteTheControllerDoesNotConfirmFailsAndIsSentAgain) {
    sim::SimulatorOptions options = StillMorningController();
    options.wrongEcho = 1.0;
    SimulatedWindow road(options);
    CMainDlg& window = road.Window();
    ASSERT_NO_FATAL_FAILURE(StartEditing(road));

    window.Choose(id::kBatteryTypeList, 1);  // FLD: the charge voltages are not checked
    window.Click(id::kBatterySaveButton);
    EXPECT_TRUE(road.Messages().empty());
    EXPECT_EQ(window.Text(id::kMessageLine), "Setting, please wait!");
    ASSERT_TRUE(
        WaitUntil([&] { return window.Text(id::kMessageLine) == "Setting failed!"; }, kGenerous));
    EXPECT_EQ(window.engine.TransactionCode, 10);
    const uint64_t requests = road.Simulator().RequestCount();
    EXPECT_TRUE(
        WaitUntil([&] { return road.Simulator().RequestCount() >= requests + 3; }, kGenerous));
    EXPECT_EQ(window.engine.TransactionCode, 10);
    EXPECT_EQ(window.Text(id::kMessageLine), "Setting failed!");
}

TEST(SettingsRoad, ALightAndTimeSaveReachesTheControllerAndComesBackAsText) {
    SimulatedWindow road(StillMorningController());
    CMainDlg& window = road.Window();
    ASSERT_NO_FATAL_FAILURE(StartEditing(road));

    window.Choose(id::kLoadModeListEnglish, 1);  // Light&Time Mode
    EXPECT_EQ(window.Selection(id::kLoadModeListChinese), 1);
    ASSERT_TRUE(WaitUntil([&] { return window.IsEnabled(id::kEveningHoursEdit); }, kGenerous));
    EXPECT_FALSE(window.IsEnabled(id::kLightOnVoltageEdit));
    window.SetText(id::kEveningHoursEdit, "6");
    window.SetText(id::kMorningHoursEdit, "2");
    window.Click(id::kLoadSaveButton);
    EXPECT_EQ(window.Text(id::kMessageLine), "Setting, please wait!");

    ASSERT_TRUE(
        WaitUntil([&] { return window.Text(id::kMessageLine) == "Set successfully!"; }, kGenerous));
    EXPECT_EQ(road.Register(sim::reg::kLoadMode), 5106);
    EXPECT_EQ(road.Register(sim::reg::kMorningOnCode), 5202);

    window.Click(id::kEditButton);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return window.Text(id::kLoadLine1) == "○Load Control Mode: Light-Time Mode" &&
                   window.Selection(id::kLoadModeListEnglish) == 1;
        },
        kGenerous));
    EXPECT_EQ(window.Text(id::kLoadLine3), "When PV is less than 5.0V, ON 6 hours.");
    EXPECT_EQ(window.Text(id::kLoadLine5), "When PV is more than 6.0V, ON 2 hours before.");
    EXPECT_EQ(window.Text(id::kEveningHoursEdit), "6");
    EXPECT_EQ(window.Text(id::kMorningHoursEdit), "2");
}

// START EDIT pressed again and again from the moment monitoring starts: it
// takes only once every field holds the controller's value, so the SAVE that
// follows leaves every load register it does not mean to change as it was.
TEST(SettingsRoad, StartEditBeforeTheFirstFullReadIsRefusedAndNoZeroReachesTheController) {
    SimulatedWindow road(StillMorningController());
    CMainDlg& window = road.Window();
    const std::vector<uint16_t> loadBefore = road.Simulator().Registers(sim::reg::kLoadMode, 14);
    ASSERT_TRUE(road.OpenAndStart());
    EXPECT_FALSE(window.IsEnabled(id::kEditButton));

    const bool editing = WaitUntil(
        [&] {
            window.Click(id::kEditButton);
            return window.Text(id::kEditButton) == "STOP EDIT";
        },
        kGenerous);
    ASSERT_TRUE(editing);
    EXPECT_TRUE(window.engine.SettingsBlocksRead());
    EXPECT_TRUE(FieldsShowTheControllersSettings(road));
    ASSERT_TRUE(WaitUntil([&] { return window.IsEnabled(id::kLoadModeListEnglish); }, kGenerous));

    window.Choose(id::kLoadModeListEnglish, 1);  // Light&Time Mode
    ASSERT_TRUE(WaitUntil([&] { return window.IsEnabled(id::kEveningHoursEdit); }, kGenerous));
    window.SetText(id::kEveningHoursEdit, "6");
    window.SetText(id::kMorningHoursEdit, "2");
    window.Click(id::kLoadSaveButton);
    ASSERT_TRUE(
        WaitUntil([&] { return window.Text(id::kMessageLine) == "Set successfully!"; }, kGenerous));

    std::vector<uint16_t> expected = loadBefore;
    expected[0] = 5106;
    expected[1] = 5202;
    EXPECT_EQ(road.Simulator().Registers(sim::reg::kLoadMode, 14), expected);
}

}  // namespace
}  // namespace kestrane
