// The master's sense of time: a monotonic clock and a way to wait. Tests
// give it a clock that jumps instead of sleeping.
#pragma once

#include <chrono>

namespace kestrane {

class IBusClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~IBusClock() = default;
    virtual TimePoint Now() const = 0;
    virtual void SleepUntil(TimePoint when) = 0;
};

class SteadyBusClock : public IBusClock {
public:
    TimePoint Now() const override;
    void SleepUntil(TimePoint when) override;
};

}  // namespace kestrane
