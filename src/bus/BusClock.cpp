#include "bus/BusClock.h"

#include <thread>

namespace kestrane {

IBusClock::TimePoint SteadyBusClock::Now() const {
    return std::chrono::steady_clock::now();
}

void SteadyBusClock::SleepUntil(TimePoint when) {
    std::this_thread::sleep_until(when);
}

}  // namespace kestrane
