// The clock that session lifetimes and the login throttle run on: steady
// time, so setting the wall clock (NTP at boot on a Raspberry Pi without a
// real-time clock) neither ends nor extends a session. Tests step a fake one.
#pragma once

#include <chrono>

namespace kestrane::web {

class IMonotonicClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    virtual ~IMonotonicClock() = default;
    virtual TimePoint Now() const = 0;
};

class SteadyClock : public IMonotonicClock {
public:
    TimePoint Now() const override { return std::chrono::steady_clock::now(); }
};

}  // namespace kestrane::web
