#include <gtest/gtest.h>

#include <string>

#include "protocol/SharedState.h"
#include "service/logic/RestoreLogic.h"
#include "service/logic/ServiceCommands.h"
#include "support/FakeControls.h"

namespace kestrane {

namespace {

enum class Button { CheckAddress, Restore, DataCorrection, SetTime };

ServiceCommandAction Press(Button button, SharedState& shared, IControlAccess& window,
                           bool portOpen, bool monitoring) {
    switch (button) {
        case Button::CheckAddress:
            return OnCheckAddressCommand(shared, window, portOpen, monitoring);
        case Button::Restore:
            return OnRestoreCommand(shared, window, portOpen);
        case Button::DataCorrection:
            return OnDataCorrectionCommand(shared, window, portOpen, monitoring);
        case Button::SetTime:
            return OnSetTimeCommand(shared, window, portOpen, monitoring);
    }
    return ServiceCommandAction::Refuse;
}

int32_t RefreshFlag(Button button, const SharedState& shared) {
    switch (button) {
        case Button::CheckAddress:
            return shared.data.addressDialogRefresh;
        case Button::DataCorrection:
            return shared.data.calibrationDialogRefresh;
        case Button::SetTime:
            return shared.data.clockDialogRefresh;
        case Button::Restore:
            break;
    }
    return 0;
}

}  // namespace

TEST(ServiceCommands, RefuseOrOpenByPortAndMonitoring) {
    using A = ServiceCommandAction;
    struct Case {
        Button button;
        bool portOpen;
        bool monitoring;
        const char* language;
        A action;
        const char* message;  // nullptr: none
    };
    const Case cases[] = {
        {Button::CheckAddress, false, true, "ENGLISH", A::Refuse,
         "Please open the COM port first!"},
        {Button::CheckAddress, true, false, "ENGLISH", A::StartMonitoringThenOpen, nullptr},
        {Button::CheckAddress, true, true, "CHINESE", A::OpenDialog, nullptr},
        {Button::Restore, false, true, "CHINESE", A::Refuse, "串口没有打开！"},
        {Button::Restore, true, false, "ENGLISH", A::OpenDialog, nullptr},
        {Button::DataCorrection, false, false, "ENGLISH", A::Refuse,
         "Please open the COM port first!"},
        {Button::DataCorrection, true, false, "ENGLISH", A::Refuse,
         "Please click [START MONITOR] first!"},
        {Button::DataCorrection, true, false, "CHINESE", A::Refuse, "请先开始监控！"},
        {Button::DataCorrection, true, true, "ENGLISH", A::OpenDialog, nullptr},
        {Button::SetTime, false, true, "CHINESE", A::Refuse, "串口没有打开！"},
        {Button::SetTime, true, false, "ENGLISH", A::Refuse, "Please click [START MONITOR] first!"},
        {Button::SetTime, true, true, "CHINESE", A::OpenDialog, nullptr},
    };
    for (const Case& c : cases) {
        SharedState shared;
        shared.SetLanguageFlag(c.language);
        testing::FakeControls window;
        SCOPED_TRACE(static_cast<int>(&c - cases));
        EXPECT_EQ(Press(c.button, shared, window, c.portOpen, c.monitoring), c.action);
        if (c.message) {
            ASSERT_EQ(window.messages.size(), 1u);
            EXPECT_EQ(window.messages[0], c.message);
        } else {
            EXPECT_TRUE(window.messages.empty());
        }
        // A dialog that opens is filled by the next monitor pass; nothing is
        // queued by the button itself.
        const bool opens = c.action != A::Refuse;
        EXPECT_EQ(RefreshFlag(c.button, shared), opens && c.button != Button::Restore ? 1 : 0);
        EXPECT_EQ(shared.pendingWrite, 0);
        EXPECT_EQ(shared.settingsStatus, 0);
    }
}

TEST(Restore, OkQueuesTheRestoreCommand) {
    SharedState shared;
    shared.pendingWrite = 5;  // replaces a write still waiting
    RestoreLogic(shared).OnOk();
    EXPECT_EQ(shared.settingsStatus, 3);
    EXPECT_EQ(shared.pendingWrite, 7);
}

}  // namespace kestrane
