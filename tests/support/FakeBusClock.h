// A bus clock that never sleeps: waits move it on at once. Attached to a
// ScriptedLine it also moves on by every read wait that finds nothing, so a
// master's time-outs pass without real time passing.
#pragma once

#include <atomic>
#include <chrono>

#include "bus/BusClock.h"
#include "support/ScriptedLine.h"

namespace kestrane::testing {

class FakeBusClock : public IBusClock {
public:
    TimePoint Now() const override { return TimePoint(std::chrono::microseconds(now_.load())); }
    void SleepUntil(TimePoint when) override {
        const auto us =
            std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch()).count();
        if (us > now_.load()) now_.store(us);
    }
    void Advance(std::chrono::microseconds by) { now_ += by.count(); }
    // Silent reads on `line` advance this clock by their wait.
    void Drive(ScriptedLine& line) {
        line.SetSilenceHook([this](int ms) { Advance(std::chrono::milliseconds(ms)); });
    }
    // Microseconds since `start`.
    long long Since(TimePoint start) const {
        return std::chrono::duration_cast<std::chrono::microseconds>(Now() - start).count();
    }

private:
    std::atomic<long long> now_{1'000'000};
};

}  // namespace kestrane::testing
