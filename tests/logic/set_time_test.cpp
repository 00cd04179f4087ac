#include <gtest/gtest.h>

#include <array>
#include <string>

#include "protocol/SharedState.h"
#include "service/logic/ServiceControlIds.h"
#include "service/logic/SetTimeLogic.h"
#include "support/FakeClock.h"
#include "support/FakeControls.h"

namespace kestrane {

namespace {

namespace ts = id::settime;

constexpr int kLists[] = {ts::kYearList, ts::kMonthList,  ts::kDayList,
                          ts::kHourList, ts::kMinuteList, ts::kSecondList};

class SetTime : public ::testing::Test {
protected:
    std::array<int32_t, 6> ClockWrite() const {
        std::array<int32_t, 6> out{};
        for (size_t i = 0; i < out.size(); ++i)
            out[i] = shared.data.clockWrite[i];
        return out;
    }
    void TypeLists(const std::array<const char*, 6>& texts) {
        for (size_t i = 0; i < texts.size(); ++i)
            dialog.SetText(kLists[i], texts[i]);
    }

    SharedState shared;
    testing::FakeControls dialog;
    testing::FakeClock clock{testing::MakeTime(2026, 3, 7, 9, 5, 2)};
    SetTimeLogic logic{shared, dialog, clock};
};

}  // namespace

TEST_F(SetTime, RefreshShowsTheLocalTimeBlankPaddedAndOnlyOnce) {
    shared.data.clockDialogRefresh = 1;
    logic.OnRefresh();
    EXPECT_EQ(dialog.Text(ts::kLocalTime), "2026- 3- 7    9: 5: 2");
    const char* expected[] = {"2026", "3", "7", "9", "5", "2"};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(dialog.Text(kLists[i]), expected[i]) << kLists[i];
    EXPECT_EQ(shared.data.clockDialogRefresh, 0);
}

TEST_F(SetTime, LocalTimeFillsTheListsAgainWithoutTouchingTheRefreshFlag) {
    logic.OnRefresh();
    TypeLists({"2030", "12", "31", "23", "59", "59"});
    clock.Set(testing::MakeTime(2027, 11, 30, 23, 45, 10));
    shared.data.clockDialogRefresh = 1;
    logic.OnLocalTime();
    EXPECT_EQ(dialog.Text(ts::kLocalTime), "2027-11-30   23:45:10");
    const char* expected[] = {"2027", "11", "30", "23", "45", "10"};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(dialog.Text(kLists[i]), expected[i]) << kLists[i];
    EXPECT_EQ(shared.data.clockDialogRefresh, 1);
}

TEST_F(SetTime, ConfirmSendsTheListTextsWithATwoDigitYear) {
    struct Case {
        std::array<const char*, 6> texts;
        std::array<int32_t, 6> sent;
    };
    const Case cases[] = {
        {{"2031", "3", "7", "9", "5", "2"}, {31, 3, 7, 9, 5, 2}},
        {{"1999", "12", "31", "24", "60", "60"}, {99, 12, 31, 24, 60, 60}},  // sent unchanged
        {{"-5", "1", "1", "0", "0", "0"}, {91, 1, 1, 0, 0, 0}},  // reduced as an unsigned value
        {{"2024", "13", "x", " 7", "", "-1"}, {24, 13, 0, 7, 0, -1}},
        {{"", "", "", "", "", ""}, {0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        shared.pendingWrite = 0;
        shared.settingsStatus = 1;
        TypeLists(c.texts);
        logic.OnConfirmTime();
        SCOPED_TRACE(c.texts[0]);
        EXPECT_EQ(ClockWrite(), c.sent);
        EXPECT_EQ(shared.settingsStatus, 3);
        EXPECT_EQ(shared.pendingWrite, 8);
        EXPECT_TRUE(dialog.messages.empty());
    }
}

TEST_F(SetTime, TheSecondOfTwoConfirmsBeforeTheNextTickIsTheOneSent) {
    TypeLists({"2026", "3", "7", "9", "5", "2"});
    logic.OnConfirmTime();
    TypeLists({"2027", "4", "8", "10", "6", "3"});
    logic.OnConfirmTime();
    EXPECT_EQ(ClockWrite(), (std::array<int32_t, 6>{27, 4, 8, 10, 6, 3}));
    EXPECT_EQ(shared.pendingWrite, 8);
}

TEST_F(SetTime, ClosingBeforeTheFirstRefreshLeavesNoRefreshPending) {
    shared.data.clockDialogRefresh = 1;
    logic.OnClose();
    EXPECT_EQ(shared.data.clockDialogRefresh, 0);
}

}  // namespace kestrane
