// The watchdog's view of the bridge's threads: a thread that beats is alive,
// one that announced a long wait is alive until that wait is over, and one
// stuck in a blocking call is reported once its beat is overdue by the stall
// limit, and alive again when it comes back. The history writer's real thread
// is held inside its clock to show that the instrumented loop goes quiet.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "bridge/HistoryWriter.h"
#include "bridge/Liveness.h"
#include "support/FakeClock.h"
#include "support/ScratchDir.h"

namespace kestrane::bridge {
namespace {

using namespace std::chrono_literals;
using Clock = Heartbeat::Clock;

TEST(LivenessTest, OverdueBeatsAreStalledAndAnnouncedWaitsAreNot) {
    Liveness liveness(10s);
    Heartbeat bus, mqtt, history;
    liveness.Watch("bus 0", bus);
    liveness.Watch("mqtt", mqtt);
    liveness.Watch("history", history);
    const Clock::time_point now = Clock::now();
    EXPECT_TRUE(liveness.Stalled(now).empty());

    // Within the stall limit of its last beat a thread is still alive.
    EXPECT_TRUE(liveness.Stalled(now + 9s).empty());
    // An hour's poll interval announced: alive for the hour and the limit.
    bus.BeatUntil(now + 1h);
    EXPECT_EQ(liveness.Stalled(now + 1h + 5s), (std::vector<std::string>{"mqtt", "history"}));
    EXPECT_EQ(liveness.Stalled(now + 1h + 11s),
              (std::vector<std::string>{"bus 0", "mqtt", "history"}));
    // An unbounded wait never runs over, and BeatFor saturates instead of
    // wrapping round to a time in the past.
    mqtt.BeatFor(Clock::duration::max());
    history.BeatFor(24h);
    EXPECT_EQ(liveness.Stalled(now + 1h + 11s), (std::vector<std::string>{"bus 0"}));
    EXPECT_EQ(mqtt.Due(), Clock::time_point::max());
}

// A local clock that the test can hold: Now() blocks while held, as a thread
// stuck in a call that never returns.
class HoldingClock : public ILocalClock {
public:
    LocalTime Now() const override {
        std::unique_lock lock(mutex_);
        ++calls_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return !held_; });
        return testing::MakeTime(2026, 12, 9, 12);
    }
    void Hold(bool held) {
        std::lock_guard lock(mutex_);
        held_ = held;
        changed_.notify_all();
    }
    void WaitForCalls(int count) const {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return calls_ >= count; });
    }

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable int calls_ = 0;
    bool held_ = false;
};

TEST(LivenessTest, AThreadStuckInABlockingCallStopsThePingsUntilItReturns) {
    testing::ScratchDir dir("kestrane-liveness");
    HoldingClock clock;
    HistoryWriter writer({dir.Path().string(), 1, 0}, clock);
    constexpr auto kStallLimit = 2s;
    Liveness liveness(kStallLimit);
    liveness.Watch("the history writer", writer.ThreadBeat());

    // Waiting for its first interval, the writer has announced it: alive
    // well past the stall limit.
    clock.Hold(true);
    writer.Start();
    EXPECT_TRUE(liveness.Stalled(Clock::now() + 900ms).empty());

    clock.WaitForCalls(1);  // the first interval is now stuck in Now()
    const Clock::time_point stuckSince = Clock::now();
    EXPECT_TRUE(liveness.Stalled(stuckSince).empty());
    // Its beat before the call is its last one: past the limit it is stalled.
    EXPECT_EQ(liveness.Stalled(stuckSince + kStallLimit + 100ms),
              std::vector<std::string>{"the history writer"});

    clock.Hold(false);
    clock.WaitForCalls(2);  // through the next interval: it beat again
    EXPECT_TRUE(liveness.Stalled(Clock::now()).empty());
    writer.Stop();
}

}  // namespace
}  // namespace kestrane::bridge
