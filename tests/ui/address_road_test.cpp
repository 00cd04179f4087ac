// The road of a bus address through the whole window: CHECK ADDRESS searching
// the bus for the simulated controller, and MODIFY giving it a new address,
// confirmed or not, while monitoring goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "ServiceRoad.h"
#include "SimulatedWindow.h"
#include "monitor/ControlIds.h"
#include "platform/ProfileFile.h"
#include "service/logic/ServiceControlIds.h"
#include "sim/SimRegisters.h"

namespace kestrane {
namespace {

using testing::FollowMessageLine;
using testing::InOrder;
using testing::kGenerous;
using testing::Note;
using testing::RunServiceDialog;
using testing::SimulatedWindow;
using testing::StillMorningController;
using testing::WaitUntil;

sim::SimulatorOptions ControllerAt(int address) {
    sim::SimulatorOptions options = StillMorningController();
    options.address = address;
    return options;
}

// Follows the addresses the engine sends to from the first request after
// CHECK ADDRESS until the controller has been found and its own idea of its
// address shows in the dialog.
std::vector<int> FollowSearch(SimulatedWindow& road, CDialog& dialog, int expected) {
    CMainDlg& window = road.Window();
    std::vector<int> tried;
    EXPECT_TRUE(WaitUntil(
        [&] {
            if (window.engine.framesSent > 0) Note(tried, window.engine.deviceAddress.load());
            return road.Shared().settingsStatus == 5 &&
                   dialog.Text(id::address::kCurrentAddress) == std::to_string(expected);
        },
        kGenerous))
        << dialog.Text(id::address::kCurrentAddress);
    return tried;
}

TEST(AddressRoad, TheSearchWrapsFrom247AndSettlesOnTheControllerItFinds) {
    SimulatedWindow road(ControllerAt(3));
    ASSERT_TRUE(road.Started());
    CMainDlg& window = road.Window();
    window.Choose(id::kAddressList, 246);
    ASSERT_EQ(window.Selection(id::kAddressList), 246);
    window.Click(id::kOpenButton);
    ASSERT_TRUE(window.serialPort.IsOpen());
    EXPECT_FALSE(window.IsEnabled(id::kAddressList));
    EXPECT_EQ(road.Simulator().RequestCount(), 0u);

    std::vector<int> tried;
    const int opened = RunServiceDialog(window, id::kCheckAddressButton, [&](CDialog& dialog) {
        EXPECT_EQ(window.Text(id::kMonitorButton), "STOP MONITOR");
        tried = FollowSearch(road, dialog, 3);
        EXPECT_TRUE(WaitUntil(
            [&] { return window.Text(id::kMessageLine) == "The device address number is 3"; },
            kGenerous));
    });
    EXPECT_EQ(opened, id::address::kDialog);
    EXPECT_EQ(tried, (std::vector<int>{247, 1, 2, 3}));
    EXPECT_EQ(window.Selection(id::kAddressList), 2);
    EXPECT_EQ(road.Shared().data.addressDialogRefresh, 0);

    // Monitoring goes on at the found address.
    EXPECT_TRUE(road.WaitForReadCycles(1, kGenerous));
    EXPECT_EQ(window.engine.deviceAddress, 3);
    std::string mismatch;
    EXPECT_TRUE(WaitUntil([&] { return road.DisplayMatchesRecord(&mismatch); }, kGenerous))
        << mismatch;
}

TEST(AddressRoad, ModifyMovesTheControllerAndMonitoringFollowsIt) {
    SimulatedWindow road(ControllerAt(3), "CHINESE");
    CMainDlg& window = road.Window();
    ASSERT_TRUE(road.OpenAndStart());
    ASSERT_TRUE(road.WaitForReadCycles(1, kGenerous));

    std::vector<std::string> messages;
    RunServiceDialog(window, id::kCheckAddressButton, [&](CDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle().toStdString(), "查询设备地址");
        // The controller sits at the selected address: the first request finds it.
        EXPECT_EQ(FollowSearch(road, dialog, 3), std::vector<int>{3});

        dialog.SetText(id::address::kNewAddressEdit, "17");
        dialog.Click(id::address::kModifyButton);
        // Queued: "正在设置，请稍候！" until the controller answers; the message
        // line may skip it when the answer is quicker than the settings worker.
        EXPECT_EQ(road.Shared().settingsStatus, 3);
        ASSERT_TRUE(FollowMessageLine(
            window, messages, [&] { return window.Text(id::kMessageLine) == "设置成功！"; },
            kGenerous));
        EXPECT_EQ(road.Simulator().Address(), 17);
        EXPECT_EQ(road.Register(sim::reg::kControllerAddress), 17);
        EXPECT_TRUE(WaitUntil([&] { return window.Selection(id::kAddressList) == 16; }, kGenerous));
        EXPECT_TRUE(WaitUntil([&] { return dialog.Text(id::address::kCurrentAddress) == "17"; },
                              kGenerous));
    });
    EXPECT_EQ(messages.back(), "设置成功！");
    EXPECT_TRUE(road.Messages().empty());

    // Live data keeps coming from the new address.
    const int replies = window.GetInt(id::kRepliesReceived);
    EXPECT_TRUE(
        WaitUntil([&] { return window.GetInt(id::kRepliesReceived) >= replies + 16; }, kGenerous));
    EXPECT_EQ(window.engine.deviceAddress, 17);
    EXPECT_TRUE(road.WaitForReadCycles(window.engine.CompleteReadCycles() + 1, kGenerous));
    std::string mismatch;
    EXPECT_TRUE(WaitUntil([&] { return road.DisplayMatchesRecord(&mismatch); }, kGenerous))
        << mismatch;

    // The next start polls the new address.
    window.close();
    EXPECT_EQ(GetProfileString("COMSET", "ADDR", "", window.SettingsPath()), "17");
}

// The controller takes its new address but its acknowledgement never comes:
// the window moves on after two unanswered writes and reports success only
// once the controller answers at its new address.
TEST(AddressRoad, AnUnconfirmedChangeMovesOnAndIsDoneWhenTheNewAddressAnswers) {
    SimulatedWindow road(ControllerAt(3));
    CMainDlg& window = road.Window();
    ASSERT_TRUE(road.OpenAndStart());

    struct Sample {
        int writeTicks;
        int selection;
        int status;
        uint64_t requests;
        std::string message;
    };
    std::vector<Sample> samples;
    std::vector<int> writeTicks;
    uint64_t requestsAtChange = 0;
    RunServiceDialog(window, id::kCheckAddressButton, [&](CDialog& dialog) {
        ASSERT_EQ(FollowSearch(road, dialog, 3), std::vector<int>{3});
        dialog.SetText(id::address::kNewAddressEdit, "20");
        // The controller is at 20 before the write to 3 goes out, so no
        // request of the change is answered.
        road.Simulator().WithDevice([](sim::SimDevice& device) {
            device.Execute({6, 0x02, 0x03, 0x00, 20});
        });
        requestsAtChange = road.Simulator().RequestCount();
        dialog.Click(id::address::kModifyButton);
        EXPECT_EQ(road.Shared().settingsStatus, 3);
        ASSERT_TRUE(WaitUntil(
            [&] {
                Note(writeTicks, window.engine.addressWriteTicks.load());
                samples.push_back({window.engine.addressWriteTicks,
                                   window.Selection(id::kAddressList), road.Shared().settingsStatus,
                                   road.Simulator().RequestCount(), window.Text(id::kMessageLine)});
                return samples.back().message == "Set successfully!";
            },
            kGenerous));
        EXPECT_TRUE(WaitUntil([&] { return dialog.Text(id::address::kCurrentAddress) == "20"; },
                              kGenerous));
    });
    ASSERT_FALSE(samples.empty());
    EXPECT_TRUE(InOrder(writeTicks, {1, 2, 0})) << ::testing::PrintToString(writeTicks);
    EXPECT_LE(*std::max_element(writeTicks.begin(), writeTicks.end()), 2);

    // Until the new address has answered, the change is still in progress,
    // also after the list has moved to it.
    const auto early = std::find_if(samples.begin(), samples.end(), [&](const Sample& sample) {
        return sample.requests == requestsAtChange &&
               (sample.status != 3 || sample.message == "Set successfully!");
    });
    EXPECT_TRUE(early == samples.end())
        << "status " << early->status << ", \"" << early->message << "\" before an answer";
    EXPECT_TRUE(std::any_of(samples.begin(), samples.end(), [&](const Sample& sample) {
        return sample.selection == 19 && sample.requests == requestsAtChange;
    }));
    EXPECT_EQ(samples.back().selection, 19);
    EXPECT_GT(samples.back().requests, requestsAtChange);
    EXPECT_TRUE(std::any_of(samples.begin(), samples.end(), [](const Sample& sample) {
        return sample.message == "Setting, please wait!";
    }));
    EXPECT_EQ(road.Simulator().Address(), 20);
    EXPECT_EQ(window.engine.deviceAddress, 20);
    const int replies = window.GetInt(id::kRepliesReceived);
    EXPECT_TRUE(
        WaitUntil([&] { return window.GetInt(id::kRepliesReceived) >= replies + 16; }, kGenerous));
}

}  // namespace
}  // namespace kestrane
