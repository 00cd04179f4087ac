// Slows password guessing: after five failed logins from one address within
// a minute, that address gets 429 for a minute. On the monotonic clock.
#pragma once

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "web/MonotonicClock.h"

namespace kestrane::web {

class LoginThrottle {
public:
    static constexpr int kMaxFailures = 5;
    static constexpr std::chrono::seconds kWindow{60};
    static constexpr std::chrono::seconds kBlock{60};
    static constexpr size_t kMaxAddresses = 4096;  // bounds what a scan of many addresses costs

    explicit LoginThrottle(const IMonotonicClock& clock) : clock_(clock) {}

    // True while `address` may not try a password.
    bool Blocked(const std::string& address);
    void Failed(const std::string& address);

private:
    struct Record {
        std::deque<IMonotonicClock::TimePoint> failures;
        IMonotonicClock::TimePoint blockedUntil{};
    };
    void ForgetStaleLocked(IMonotonicClock::TimePoint now);

    const IMonotonicClock& clock_;
    std::mutex mutex_;
    std::map<std::string, Record> records_;
};

}  // namespace kestrane::web
