#include "web/Sessions.h"

#include <algorithm>

#include "web/Secrets.h"

namespace kestrane::web {

namespace {
constexpr size_t kTokenBytes = 32;  // 256 bits
constexpr size_t kCsrfBytes = 32;
}  // namespace

Session Sessions::Create(Role role) {
    Session session;
    session.token = RandomHex(kTokenBytes);
    session.csrf = RandomHex(kCsrfBytes);
    session.role = role;
    std::lock_guard lock(mutex_);
    const auto now = clock_.Now();
    session.expires = now + kLifetime;
    DropExpiredLocked(now);
    if (sessions_.size() >= kMaxSessions) sessions_.erase(sessions_.begin());
    sessions_.push_back(session);
    return session;
}

std::optional<Session> Sessions::Find(const std::string& token) {
    if (token.empty()) return std::nullopt;
    std::lock_guard lock(mutex_);
    DropExpiredLocked(clock_.Now());
    // Every entry is compared, so the time taken tells nothing about which
    // token came close.
    const Session* found = nullptr;
    for (const Session& session : sessions_)
        if (SecretsEqual(session.token, token)) found = &session;
    if (found == nullptr) return std::nullopt;
    return *found;
}

void Sessions::Drop(const std::string& token) {
    std::lock_guard lock(mutex_);
    std::erase_if(sessions_,
                  [&](const Session& session) { return SecretsEqual(session.token, token); });
}

size_t Sessions::Count() const {
    std::lock_guard lock(mutex_);
    return sessions_.size();
}

void Sessions::DropExpiredLocked(IMonotonicClock::TimePoint now) {
    std::erase_if(sessions_, [now](const Session& session) { return session.expires <= now; });
}

}  // namespace kestrane::web
