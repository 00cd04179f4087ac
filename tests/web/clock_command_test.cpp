// "Set clock" from the web page against the simulated controller: refused,
// with nothing written, while the bridge's own clock has no network time;
// written once it has, or at once when a real-time clock keeps it.
#include <gtest/gtest.h>

#include <ctime>

#include "LiveBridgeTest.h"

namespace kestrane::web {
namespace {

using namespace testing;

// A date no real clock shows now, so a write is told from none.
constexpr sim::SimDateTime kOldDate{2001, 1, 1, 3600};

class ClockCommandTest : public LiveBridgeTest {
protected:
    void AdjustConfig(bridge::BridgeConfig&) override { clockSync_.Set(false); }

    void SetSimulatorClock(const sim::SimDateTime& clock) {
        simulator_->WithDevice(0, [&](sim::SimDevice& device) { device.Model().SetClock(clock); });
    }
    // True when controller 1's date is the machine's local date now.
    bool SimulatorShowsToday() const {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        const sim::SimDateTime clock = simulator_->Clock(0);
        return clock.year % 100 == (local.tm_year + 1900) % 100 &&
               clock.month == local.tm_mon + 1 && clock.day == local.tm_mday;
    }
};

TEST_F(ClockCommandTest, RefusedInThePagesWordsUntilTheClockIsSynchronised) {
    SetSimulatorClock(kOldDate);
    const auto refused = AdminPost(std::string(kAllowed) + "/clock", json::object());
    ASSERT_TRUE(refused && refused->status == 200);
    const json answer = json::parse(refused->body);
    EXPECT_FALSE(answer["ok"]);
    EXPECT_EQ(answer["refused"], "clock_unsynchronised");
    EXPECT_NE(answer["message"].get<std::string>().find("not synchronised"), std::string::npos);
    EXPECT_EQ(simulator_->Clock(0).year, kOldDate.year) << "nothing was written";

    clockSync_.Set(true);
    const auto written = AdminPost(std::string(kAllowed) + "/clock", json::object());
    ASSERT_TRUE(written && written->status == 200);
    const json done = json::parse(written->body);
    EXPECT_TRUE(done["ok"]) << done.dump();
    EXPECT_FALSE(done.contains("refused"));
    EXPECT_TRUE(SimulatorShowsToday());
}

class LocalClockCommandTest : public ClockCommandTest {
    void AdjustConfig(bridge::BridgeConfig& config) override {
        config.clockSource = bridge::ClockSource::kLocal;
        clockSync_.Set(false);
    }
};

TEST_F(LocalClockCommandTest, WrittenWithoutNetworkTime) {
    SetSimulatorClock(kOldDate);
    const auto written = AdminPost(std::string(kAllowed) + "/clock", json::object());
    ASSERT_TRUE(written && written->status == 200);
    EXPECT_TRUE(json::parse(written->body)["ok"]) << written->body;
    EXPECT_TRUE(SimulatorShowsToday());
}

}  // namespace
}  // namespace kestrane::web
