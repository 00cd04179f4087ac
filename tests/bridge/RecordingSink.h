// An update sink for tests: keeps everything the bus threads tell it and
// lets a test wait until what it kept satisfies a condition.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "bridge/BridgeLink.h"

namespace kestrane::bridge::testing {

class RecordingSink : public IUpdateSink {
public:
    void Publish(const DeviceUpdate& update) override {
        Record([&] { updates_.push_back(update); });
    }
    void ReportOutcome(const CommandOutcome& outcome) override {
        Record([&] { outcomes_.push_back(outcome); });
    }
    void Renamed(const std::string& oldId, const DeviceIdentity& now) override {
        Record([&] { renames_.emplace_back(oldId, now.deviceId); });
    }

    // Waits until `condition` holds for what was kept (at most a generous
    // bound, so a broken build fails instead of hanging); true when it held.
    bool WaitFor(const std::function<bool(const RecordingSink&)>& condition,
                 std::chrono::seconds bound = std::chrono::seconds(30)) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, bound, [&] { return condition(*this); });
    }

    // For conditions (called with the lock held) and after the threads stopped.
    const std::vector<DeviceUpdate>& Updates() const { return updates_; }
    const std::vector<CommandOutcome>& Outcomes() const { return outcomes_; }
    const std::vector<std::pair<std::string, std::string>>& Renames() const { return renames_; }

    // Updates of the device at `address`, whatever its id was.
    std::vector<DeviceUpdate> Of(uint8_t address) const {
        std::vector<DeviceUpdate> out;
        for (const DeviceUpdate& u : updates_)
            if (u.identity.address == address) out.push_back(u);
        return out;
    }
    std::vector<DeviceUpdate> OfCopy(uint8_t address) {
        std::lock_guard lock(mutex_);
        return Of(address);
    }
    std::vector<CommandOutcome> OutcomesCopy() {
        std::lock_guard lock(mutex_);
        return outcomes_;
    }

private:
    void Record(const std::function<void()>& change) {
        {
            std::lock_guard lock(mutex_);
            change();
        }
        changed_.notify_all();
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<DeviceUpdate> updates_;
    std::vector<CommandOutcome> outcomes_;
    std::vector<std::pair<std::string, std::string>> renames_;
};

}  // namespace kestrane::bridge::testing
