// The simulated day: sun, charging, load modes, energy, temperatures, alarms.
#include <gtest/gtest.h>

#include <set>

#include "sim/ControllerModel.h"
#include "sim/FactoryDefaults.h"

namespace kestrane::sim {
namespace {

SimDateTime At(int year, int month, int day, int hour, int minute = 0) {
    SimDateTime t;
    EXPECT_TRUE(SimDateTime::FromParts(year, month, day, hour, minute, 0, &t));
    return t;
}

class DayModel : public ::testing::Test {
protected:
    void SetUp() override { ApplyFactoryState(bank); }
    // Steps minute by minute, calling `each` after every minute.
    template <typename Each>
    void RunMinutes(int minutes, Each each) {
        for (int i = 0; i < minutes; ++i) {
            model.Step(60, bank);
            each();
        }
    }
    double Minute() const { return model.Clock().secondOfDay / 60; }

    RegisterBank bank;
    ControllerModel model{7, At(2026, 6, 1, 0)};
};

TEST_F(DayModel, ChargeStateVisitsEveryStateInADay) {
    std::set<int> seen;
    std::vector<int> order;
    RunMinutes(24 * 60, [&] {
        const int state = bank.Get(reg::kChargeState);
        seen.insert(state);
        if (order.empty() || order.back() != state) order.push_back(state);
    });
    EXPECT_EQ(seen, (std::set<int>{0, 1, 2, 3, 4, 5}));  // the 1st is an equalizing day
    // Night, soft start, bulk, equalize, absorb, float, night.
    EXPECT_EQ(order, (std::vector<int>{0, 4, 1, 5, 2, 3, 0}));
}

TEST_F(DayModel, EnergyTodayRisesAndResetsAtMidnight) {
    uint32_t previousToday = 0, previousTotal = 0, previousUsed = 0;
    int resets = 0;
    RunMinutes(2 * 24 * 60 + 30, [&] {
        const uint32_t today = bank.Get32(reg::kChargedTodayWh);
        const uint32_t total = bank.Get32(reg::kChargedTotalWh);
        const uint32_t used = bank.Get32(reg::kUsedTodayWh);
        if (Minute() < 1) {
            ++resets;
            EXPECT_GT(previousToday, 500u);
            EXPECT_LE(today, 1u);
            EXPECT_LE(used, 2u);
        } else {
            EXPECT_GE(today, previousToday);
            EXPECT_GE(used, previousUsed);
        }
        EXPECT_GE(total, previousTotal);
        EXPECT_GE(bank.Get32(reg::kChargedMonthWh), today);
        previousToday = today;
        previousTotal = total;
        previousUsed = used;
    });
    EXPECT_EQ(resets, 2);
    EXPECT_GT(previousTotal, 1000u);
}

TEST_F(DayModel, MonthCountersResetOnTheFirst) {
    model.SetClock(At(2026, 6, 30, 12));
    model.Step(12 * 3600 - 30, bank);
    EXPECT_GT(bank.Get32(reg::kChargedMonthWh), 0u);
    model.Step(60, bank);
    EXPECT_EQ(model.Clock().month, 7);
    EXPECT_EQ(bank.Get32(reg::kChargedMonthWh), 0u);
    EXPECT_GT(bank.Get32(reg::kChargedTotalWh), 0u);
}

TEST_F(DayModel, LightControlSwitchesOnAtDuskAndOffAtDawn) {
    double onAt = -1, offAt = -1;
    bool wasOn = bank.Get(reg::kLoadOutputOn) != 0;
    model.SetClock(At(2026, 6, 1, 12));
    RunMinutes(24 * 60, [&] {
        const bool on = bank.Get(reg::kLoadOutputOn) != 0;
        if (on && !wasOn) onAt = Minute();
        if (!on && wasOn) offAt = Minute();
        wasOn = on;
    });
    EXPECT_GT(onAt, 18 * 60);  // after sunset, within its delay
    EXPECT_LT(onAt, 19 * 60);
    EXPECT_GT(offAt, 5 * 60 + 30);  // around sunrise
    EXPECT_LT(offAt, 6 * 60 + 30);
    EXPECT_GT(bank.Get32(reg::kUsedTodayWh), 0u);
}

TEST_F(DayModel, DualTimerFollowsTheClock) {
    bank.Set(reg::kLoadMode, 5116);
    const uint16_t timers[8] = {19, 0, 22, 30, 4, 15, 5, 0};
    for (int i = 0; i < 8; ++i)
        bank.Set(static_cast<uint16_t>(reg::kTimer1OnHour + i), timers[i]);
    RunMinutes(24 * 60, [&] {
        const double m = Minute();
        const bool expected =
            (m >= 19 * 60 && m < 22 * 60 + 30) || (m >= 4 * 60 + 15 && m < 5 * 60);
        EXPECT_EQ(bank.Get(reg::kLoadOutputOn) != 0, expected) << m;
    });
}

TEST_F(DayModel, LightWithOnTimeRunsEveningHoursAndBeforeDawn) {
    bank.Set(reg::kLoadMode, 5103);       // three hours after dusk
    bank.Set(reg::kMorningOnCode, 5201);  // one hour before dawn
    model.SetClock(At(2026, 6, 1, 12));
    std::vector<std::pair<double, bool>> switches;
    bool wasOn = false;
    RunMinutes(48 * 60, [&] {
        const bool on = bank.Get(reg::kLoadOutputOn) != 0;
        if (on != wasOn) switches.emplace_back(Minute(), on);
        wasOn = on;
    });
    // Each night: the evening on-time, then a morning period before dawn. The
    // first night times its morning from a default night length, the second
    // from the night it has seen.
    ASSERT_EQ(switches.size(), 8u);
    EXPECT_NEAR(switches[1].first - switches[0].first, 180, 2);
    EXPECT_GT(switches[3].first - switches[2].first, 0);
    EXPECT_NEAR(switches[5].first - switches[4].first, 180, 2);
    EXPECT_NEAR(switches[7].first - switches[6].first, 60, 3);
}

TEST_F(DayModel, AlwaysOnAndAlwaysOff) {
    bank.Set(reg::kLoadMode, 5117);
    model.SetClock(At(2026, 6, 1, 12));
    model.Step(60, bank);
    EXPECT_EQ(bank.Get(reg::kLoadOutputOn), 1);
    EXPECT_GT(bank.Get(reg::kLoadPower), 20);
    bank.Set(reg::kLoadMode, 5118);
    model.Step(3600 * 12, bank);
    EXPECT_EQ(bank.Get(reg::kLoadOutputOn), 0);
    EXPECT_EQ(bank.Get(reg::kLoadPower), 0);
}

TEST_F(DayModel, SameSeedReplaysTheSameDay) {
    RegisterBank other;
    ApplyFactoryState(other);
    ControllerModel twin{7, At(2026, 6, 1, 0)};
    ControllerModel stranger{8, At(2026, 6, 1, 0)};
    RegisterBank third;
    ApplyFactoryState(third);
    bool differs = false;
    for (int i = 0; i < 24 * 6; ++i) {
        model.Step(600, bank);
        twin.Step(600, other);
        stranger.Step(600, third);
        for (uint16_t r = 0; r < 15; ++r) {
            ASSERT_EQ(bank.Get(r), other.Get(r));
            differs = differs || bank.Get(r) != third.Get(r);
        }
    }
    EXPECT_TRUE(differs);
}

TEST_F(DayModel, WinterNightsGoBelowFreezing) {
    model.SetClock(At(2027, 1, 10, 0));
    int coldest = 100;
    RunMinutes(3 * 24 * 60,
               [&] { coldest = std::min<int>(coldest, bank.GetSigned(reg::kBatteryTemperature)); });
    EXPECT_LT(coldest, 0);
    EXPECT_GT(coldest, -15);
}

TEST_F(DayModel, ThresholdsRaiseTheirAlarms) {
    model.SetClock(At(2026, 6, 2, 11));
    model.World().panelOpenVolts = 60;  // 60 V per 12 V: above the 100 V limit on 24 V
    bank.Set(reg::kSystemVoltageSetting, 2);
    model.Step(600, bank);
    EXPECT_TRUE(bank.Get(reg::kAlarmCode) & alarm::kPvOver);
    EXPECT_EQ(bank.Get(reg::kChargeState), kStandby);
    EXPECT_GT(bank.Get(reg::kBatteryVoltage), 200);  // a 24 V battery now

    bank.Set(reg::kSystemVoltageSetting, 0);
    model.World().panelOpenVolts = 21.6;
    model.Step(600, bank);
    EXPECT_EQ(bank.Get(reg::kAlarmCode) & alarm::kPvOver, 0);

    // Over-voltage protection set below the charge voltage trips while charging.
    bank.Set(reg::kOverVoltageProtect, 130);
    bank.Set(reg::kOverVoltageRecover, 128);
    model.SetStateOfCharge(0.9);
    uint16_t seen = 0;
    for (int i = 0; i < 120; ++i) {
        model.Step(60, bank);
        seen |= bank.Get(reg::kAlarmCode);
    }
    EXPECT_TRUE(seen & alarm::kBatteryOver);

    // An empty battery at night cuts the load.
    ApplyFactorySettings(bank);
    bank.Set(reg::kLoadMode, 5117);
    model.SetClock(At(2026, 6, 2, 22));
    model.SetStateOfCharge(0.02);
    model.Step(1800, bank);
    EXPECT_TRUE(bank.Get(reg::kAlarmCode) & alarm::kBatteryLow);
    EXPECT_EQ(bank.Get(reg::kLoadOutputOn), 0);
}

TEST_F(DayModel, LoadAboveItsCurrentLimitTrips) {
    bank.Set(reg::kLoadMode, 5117);
    bank.Set(reg::kMaxLoadCurrent, 20);  // 2.0 A
    model.Step(60, bank);
    EXPECT_TRUE(bank.Get(reg::kAlarmCode) & alarm::kLoadOverCurrent);
    EXPECT_EQ(bank.Get(reg::kLoadOutputOn), 0);
}

}  // namespace
}  // namespace kestrane::sim
