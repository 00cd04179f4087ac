// The logged-in browsers: one entry per session token, in memory only (a
// restart logs everyone out). A token is 256 random bits; each session has
// its own random CSRF value that every POST must echo in X-Kestrane-CSRF.
// Lookups compare tokens in constant time. Lifetimes run on the monotonic
// clock.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "web/MonotonicClock.h"
#include "web/Role.h"

namespace kestrane::web {

struct Session {
    std::string token;
    Role role = Role::kNone;
    std::string csrf;
    IMonotonicClock::TimePoint expires;
};

class Sessions {
public:
    static constexpr std::chrono::seconds kLifetime{7 * 24 * 3600};
    static constexpr size_t kMaxSessions = 256;  // the oldest goes when a new one would pass this

    explicit Sessions(const IMonotonicClock& clock) : clock_(clock) {}

    // A new session for `role`; its token goes into the cookie.
    Session Create(Role role);
    // The live session of `token`, if any; expired ones are dropped here.
    std::optional<Session> Find(const std::string& token);
    void Drop(const std::string& token);
    size_t Count() const;

private:
    void DropExpiredLocked(IMonotonicClock::TimePoint now);

    const IMonotonicClock& clock_;
    mutable std::mutex mutex_;
    std::vector<Session> sessions_;  // oldest first
};

}  // namespace kestrane::web
