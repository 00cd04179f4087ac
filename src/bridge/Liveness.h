// Whether every long-running thread of the bridge is alive: the bus threads,
// the MQTT network loop, the web server's housekeeper and the history writer
// each keep a Heartbeat, and the service's main loop asks here before it
// tells the watchdog that all is well. A thread whose beat is overdue by
// more than the stall limit is stuck (in a read that never returns, a lock,
// a dead loop) or gone, and the bridge stops reassuring the watchdog, which
// then restarts it.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "platform/Heartbeat.h"

namespace kestrane::bridge {

class Liveness {
public:
    // Longer than the slowest step a thread may take between two beats: a
    // device cycle or a settings write through every time-out and retry, a
    // name lookup of the broker.
    static constexpr std::chrono::seconds kDefaultStallLimit{90};

    explicit Liveness(Heartbeat::Clock::duration stallLimit = kDefaultStallLimit)
        : stallLimit_(stallLimit) {}

    // `beat` must outlive this object; `name` is what a stall report says.
    void Watch(std::string name, const Heartbeat& beat);

    // The names of the threads overdue at `now`; empty when all are alive.
    std::vector<std::string> Stalled(Heartbeat::Clock::time_point now) const;

private:
    struct Watched {
        std::string name;
        const Heartbeat* beat;
    };
    Heartbeat::Clock::duration stallLimit_;
    std::vector<Watched> watched_;
};

}  // namespace kestrane::bridge
