// An engine host that remembers what the engine told it: the address list
// selection, the shown counters, the event-log calls.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "protocol/EngineHost.h"

namespace kestrane::testing {

class FakeEngineHost : public IEngineHost {
public:
    explicit FakeEngineHost(int selectedIndex = 0) : selected_(selectedIndex) {}

    void Select(int index) { selected_.store(index); }

    int SelectedAddressIndex() const override { return selected_.load(); }
    void SelectAddressIndex(int index) override {
        selected_.store(index);
        std::lock_guard lock(mutex_);
        selections_.push_back(index);
    }
    void ShowFramesSent(int32_t value) override { framesShown.store(value); }
    void ShowRepliesReceived(int32_t value) override { repliesShown.store(value); }
    void OnLogTick() override { logCalls.fetch_add(1); }

    std::vector<int> Selections() const {
        std::lock_guard lock(mutex_);
        return selections_;
    }

    std::atomic<int32_t> framesShown{-1};
    std::atomic<int32_t> repliesShown{-1};
    std::atomic<int> logCalls{0};

private:
    std::atomic<int> selected_;
    mutable std::mutex mutex_;
    std::vector<int> selections_;
};

}  // namespace kestrane::testing
