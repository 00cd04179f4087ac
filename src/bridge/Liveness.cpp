#include "bridge/Liveness.h"

namespace kestrane::bridge {

void Liveness::Watch(std::string name, const Heartbeat& beat) {
    watched_.push_back({std::move(name), &beat});
}

std::vector<std::string> Liveness::Stalled(Heartbeat::Clock::time_point now) const {
    std::vector<std::string> stalled;
    for (const Watched& watched : watched_) {
        const Heartbeat::Clock::time_point due = watched.beat->Due();
        // A due time of "forever" (an unbounded wait) never runs over.
        if (due < now && now - due > stallLimit_) stalled.push_back(watched.name);
    }
    return stalled;
}

}  // namespace kestrane::bridge
