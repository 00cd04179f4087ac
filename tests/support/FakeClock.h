// A clock that shows whatever time the test sets.
#pragma once

#include <mutex>

#include "platform/LocalClock.h"

namespace kestrane::testing {

class FakeClock : public ILocalClock {
public:
    explicit FakeClock(LocalTime t = {}) : now_(t) {}
    void Set(const LocalTime& t) {
        std::lock_guard lock(mutex_);
        now_ = t;
    }
    LocalTime Now() const override {
        std::lock_guard lock(mutex_);
        return now_;
    }

private:
    mutable std::mutex mutex_;
    LocalTime now_;
};

// A date and time in the order people write them.
LocalTime MakeTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

}  // namespace kestrane::testing
