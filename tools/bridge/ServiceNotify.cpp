#include "ServiceNotify.h"

#include <systemd/sd-daemon.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "bridge/BridgeLog.h"

namespace kestrane::bridge {

namespace {

constexpr std::chrono::seconds kCheckWithoutWatchdog{10};

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names)
        text += (text.empty() ? "" : ", ") + name;
    return text;
}

}  // namespace

ServiceNotify::ServiceNotify() {
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) > 0 && usec > 0)
        pingInterval_ = std::chrono::microseconds(usec / 2);
}

void ServiceNotify::Ready() {
    sd_notify(0, "READY=1");
}

void ServiceNotify::Stopping() {
    sd_notify(0, "STOPPING=1");
}

void ServiceNotify::Alive() {
    sd_notify(0, "WATCHDOG=1");
}

int WaitForStopWatching(const sigset_t& stopSignals, const Liveness& liveness,
                        ServiceNotify& notify, const std::function<void()>& housekeeping) {
    const std::chrono::microseconds every = notify.PingInterval().value_or(kCheckWithoutWatchdog);
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(every.count() / 1000000);
    timeout.tv_nsec = static_cast<long>(every.count() % 1000000) * 1000;
    std::string reported;  // the stalled threads last logged
    for (;;) {
        const std::vector<std::string> stalled = liveness.Stalled(Heartbeat::Clock::now());
        if (stalled.empty()) {
            if (notify.PingInterval()) notify.Alive();
            if (!reported.empty())
                BridgeLog(LogLevel::kInfo, "watchdog: every thread is alive again");
            reported.clear();
        } else if (const std::string names = Joined(stalled); names != reported) {
            BridgeLog(LogLevel::kError,
                      "watchdog: no sign of life from " + names +
                          (notify.PingInterval() ? "; no longer reassuring systemd, which restarts "
                                                   "the bridge"
                                                 : ""));
            reported = names;
        }
        const int signalNumber = sigtimedwait(&stopSignals, nullptr, &timeout);
        if (signalNumber > 0) return signalNumber;
        if (housekeeping) housekeeping();
        // EAGAIN: the interval has passed; EINTR: another signal came.
    }
}

}  // namespace kestrane::bridge
