// A long-running thread's sign of life for the service watchdog: the thread
// beats whenever it comes round its loop, and before a wait of known length
// it says until when it will be away, so a poll interval of an hour is not
// taken for a hang. The watchdog reads the time the next beat is due; a
// thread stuck in a blocking call lets that time pass. Safe from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace kestrane {

class Heartbeat {
public:
    using Clock = std::chrono::steady_clock;

    Heartbeat() { Beat(); }

    // Alive now.
    void Beat() { BeatUntil(Clock::now()); }
    // Alive now and waiting, by intent, until `until`.
    void BeatUntil(Clock::time_point until) {
        due_.store(until.time_since_epoch().count(), std::memory_order_relaxed);
    }
    // Away for `wait` from now (saturating: a wait of "forever" is allowed).
    void BeatFor(Clock::duration wait) {
        const Clock::time_point now = Clock::now();
        BeatUntil(wait >= Clock::time_point::max() - now ? Clock::time_point::max() : now + wait);
    }

    // When the next beat is due at the latest.
    Clock::time_point Due() const {
        return Clock::time_point(Clock::duration(due_.load(std::memory_order_relaxed)));
    }

private:
    std::atomic<Clock::rep> due_{0};
};

}  // namespace kestrane
