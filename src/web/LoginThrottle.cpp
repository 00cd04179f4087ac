#include "web/LoginThrottle.h"

namespace kestrane::web {

bool LoginThrottle::Blocked(const std::string& address) {
    std::lock_guard lock(mutex_);
    const auto it = records_.find(address);
    return it != records_.end() && clock_.Now() < it->second.blockedUntil;
}

void LoginThrottle::Failed(const std::string& address) {
    std::lock_guard lock(mutex_);
    const auto now = clock_.Now();
    if (records_.size() >= kMaxAddresses) ForgetStaleLocked(now);
    if (records_.size() >= kMaxAddresses && !records_.count(address)) records_.clear();
    Record& record = records_[address];
    record.failures.push_back(now);
    while (!record.failures.empty() && record.failures.front() <= now - kWindow)
        record.failures.pop_front();
    if (record.failures.size() >= static_cast<size_t>(kMaxFailures)) {
        record.blockedUntil = now + kBlock;
        record.failures.clear();
    }
}

void LoginThrottle::ForgetStaleLocked(IMonotonicClock::TimePoint now) {
    std::erase_if(records_, [now](const auto& entry) {
        const Record& record = entry.second;
        return now >= record.blockedUntil &&
               (record.failures.empty() || record.failures.back() <= now - kWindow);
    });
}

}  // namespace kestrane::web
