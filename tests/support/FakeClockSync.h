// A clock synchronisation that says whatever the test sets.
#pragma once

#include <atomic>

#include "platform/ClockSync.h"

namespace kestrane::testing {

class FakeClockSync : public IClockSync {
public:
    explicit FakeClockSync(bool synchronised = true) : synchronised_(synchronised) {}
    void Set(bool synchronised) { synchronised_ = synchronised; }
    bool Synchronised() const override { return synchronised_; }

private:
    std::atomic<bool> synchronised_;
};

}  // namespace kestrane::testing
