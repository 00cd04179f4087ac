#include <gtest/gtest.h>

#include <string>

#include "protocol/SharedState.h"
#include "service/logic/CheckAddressLogic.h"
#include "service/logic/ServiceControlIds.h"
#include "support/FakeControls.h"

namespace kestrane {

namespace {

class CheckAddress : public ::testing::Test {
protected:
    SharedState shared;
    testing::FakeControls dialog;
    CheckAddressLogic logic{shared, dialog};
};

}  // namespace

TEST_F(CheckAddress, ModifyRefusesEmptyOutOfRangeAndNonNumbersInBothLanguages) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"", "请输入数据！"},
        {" ", "请输入数据！"},
        {"0", "输入数据不合理！"},
        {"248", "输入数据不合理！"},
        {"-5", "输入数据不合理！"},
        {"abc", "输入数据不合理！"},
        {"  ", "输入数据不合理！"},
        {"99999999999", "输入数据不合理！"},
        {"4294967297", "输入数据不合理！"},  // would wrap to 1 if cut to 32 bits
    };
    for (const char* language : {"ENGLISH", "CHINESE"}) {
        shared.SetLanguageFlag(language);
        for (const Case& c : cases) {
            shared.data.newAddress = 9;
            shared.settingsStatus = 5;
            shared.pendingWrite = 0;
            dialog.messages.clear();
            dialog.SetText(id::address::kNewAddressEdit, c.text);
            logic.OnModify();
            SCOPED_TRACE(std::string(language) + " \"" + c.text + '"');
            ASSERT_EQ(dialog.messages.size(), 1u);
            EXPECT_EQ(dialog.messages[0], c.message);
            EXPECT_EQ(shared.data.newAddress, 9);
            EXPECT_EQ(shared.pendingWrite, 0);
            EXPECT_EQ(shared.settingsStatus, 5);
        }
    }
}

TEST_F(CheckAddress, ModifyQueuesTheAddressChangeForAddressesOneTo247) {
    struct Case {
        const char* text;
        int32_t address;
    };
    const Case cases[] = {{"247", 247}, {"1", 1}, {"  12abc", 12}, {"+3", 3}};
    for (const Case& c : cases) {
        shared.pendingWrite = 0;
        shared.settingsStatus = 5;
        dialog.SetText(id::address::kNewAddressEdit, c.text);
        logic.OnModify();
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(dialog.messages.empty());
        EXPECT_EQ(shared.data.newAddress, c.address);
        EXPECT_EQ(shared.pendingWrite, 5);
        // "Setting, please wait!" replaces the search result until the
        // controller answers at its new address.
        EXPECT_EQ(shared.settingsStatus, 3);
    }
}

TEST_F(CheckAddress, RefreshShowsQueryingDuringTheSearchThenTheControllersAddress) {
    shared.data.controllerAddress = 3;
    shared.settingsStatus = 4;
    shared.SetLanguageFlag("ENGLISH");
    logic.OnRefresh();
    EXPECT_EQ(dialog.Text(id::address::kCurrentAddress), "Querying...");
    shared.SetLanguageFlag("CHINESE");
    logic.OnRefresh();
    EXPECT_EQ(dialog.Text(id::address::kCurrentAddress), "正在查询...");

    shared.settingsStatus = 5;
    logic.OnRefresh();
    EXPECT_EQ(dialog.Text(id::address::kCurrentAddress), "3");
    shared.settingsStatus = 1;
    shared.data.controllerAddress = 247;
    logic.OnRefresh();
    EXPECT_EQ(dialog.Text(id::address::kCurrentAddress), "247");
}

TEST_F(CheckAddress, ClosingStopsTheRefreshes) {
    shared.data.addressDialogRefresh = 1;
    logic.OnClose();
    EXPECT_EQ(shared.data.addressDialogRefresh, 0);
}

}  // namespace kestrane
