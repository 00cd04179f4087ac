// A monotonic clock that moves only when a test steps it.
#pragma once

#include <atomic>
#include <chrono>

#include "web/MonotonicClock.h"

namespace kestrane::web::testing {

class SteppedClock : public IMonotonicClock {
public:
    TimePoint Now() const override { return TimePoint(std::chrono::nanoseconds(now_.load())); }
    void Step(std::chrono::nanoseconds by) { now_ += by.count(); }

private:
    std::atomic<long long> now_{std::chrono::nanoseconds(std::chrono::hours(1000)).count()};
};

}  // namespace kestrane::web::testing
