// The bridge as a systemd service of Type=notify: it says when it is ready
// and when it stops, and while the watchdog is on (WatchdogSec= in the unit)
// it tells systemd all is well at half the watchdog's period, but only while
// every long-running thread shows a sign of life. A thread stuck in a
// blocking call thus stops the reassurance, and systemd restarts the bridge.
// Outside systemd (no NOTIFY_SOCKET) every message is a no-op.
#pragma once

#include <signal.h>

#include <chrono>
#include <functional>
#include <optional>

#include "bridge/Liveness.h"

namespace kestrane::bridge {

class ServiceNotify {
public:
    ServiceNotify();

    void Ready();
    void Stopping();
    void Alive();
    // Half the watchdog's period, while systemd watches this process.
    std::optional<std::chrono::microseconds> PingInterval() const { return pingInterval_; }

private:
    std::optional<std::chrono::microseconds> pingInterval_;
};

// Waits for one of `stopSignals` (blocked in every thread) and returns it.
// Meanwhile checks `liveness` at every ping interval (every ten seconds
// without a watchdog): pings while every thread is alive, logs a stall once
// and stays silent until the thread is back. `housekeeping` (may be empty)
// runs on this thread at every check.
int WaitForStopWatching(const sigset_t& stopSignals, const Liveness& liveness,
                        ServiceNotify& notify, const std::function<void()>& housekeeping = {});

}  // namespace kestrane::bridge
