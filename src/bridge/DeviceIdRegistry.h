// The device ids in use across all buses of a bridge. Two controllers that
// report the same serial number must not publish under one id, where each
// would overwrite the other's values: the first keeps it, the second keeps
// its bus-and-address id. Safe from every bus thread.
#pragma once

#include <map>
#include <mutex>
#include <string>

namespace kestrane::bridge {

class DeviceIdRegistry {
public:
    // True when `id` is free or already `owner`'s; it is then `owner`'s.
    bool Claim(const std::string& id, const void* owner) {
        std::lock_guard lock(mutex_);
        const auto [it, inserted] = owners_.emplace(id, owner);
        return inserted || it->second == owner;
    }

private:
    std::mutex mutex_;
    std::map<std::string, const void*> owners_;
};

}  // namespace kestrane::bridge
