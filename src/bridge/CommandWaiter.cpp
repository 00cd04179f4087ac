#include "bridge/CommandWaiter.h"

namespace kestrane::bridge {

std::optional<CommandOutcome> CommandWaiter::Run(DeviceCommand command,
                                                 std::chrono::milliseconds bound, bool* queued) {
    std::unique_lock lock(mutex_);
    command.id = nextId_++;
    auto& slot = waiting_[command.id];
    lock.unlock();
    // Outside the lock: the bus may report the outcome before Submit returns.
    *queued = commands_.Submit(command);
    lock.lock();
    if (*queued) arrived_.wait_for(lock, bound, [&] { return slot.has_value(); });
    std::optional<CommandOutcome> outcome = std::move(slot);
    waiting_.erase(command.id);
    return outcome;
}

void CommandWaiter::ReportOutcome(const CommandOutcome& outcome) {
    {
        std::lock_guard lock(mutex_);
        const auto it = waiting_.find(outcome.commandId);
        if (outcome.commandId == 0 || it == waiting_.end()) return;
        it->second = outcome;
    }
    arrived_.notify_all();
}

}  // namespace kestrane::bridge
