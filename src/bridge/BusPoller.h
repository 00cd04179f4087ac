// One bus of the bridge on a thread of its own: owns the line and the master
// with its devices, reads every device once per poll interval, tells the
// sink after every device cycle, and runs control commands between cycles.
//
// A device that fails three cycles in a row is offline and is then asked only
// once per back-off period (doubling up to a limit) until it answers, so a
// dead controller does not slow its neighbours. A line that is lost (adapter
// unplugged, serial server gone) is reported once, all its devices go
// offline, and it is tried again every second (PollerTiming); nothing spins
// while it waits, and a stop request wakes every wait.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "bridge/BridgeConfig.h"
#include "bridge/BridgeLink.h"
#include "bridge/DeviceIdRegistry.h"
#include "bus/BusClock.h"
#include "bus/CBusMaster.h"
#include "platform/ClockSync.h"
#include "platform/Heartbeat.h"
#include "serial/SerialLine.h"

namespace kestrane::bridge {

struct PollerTiming {
    int failedCyclesOffline = 3;
    std::chrono::milliseconds deadFirst{1000}, deadMax{60000};
    // A lost line is tried again every second: a failed open of a missing
    // device or a refused connect costs nothing, and a doubling wait would
    // leave a replugged adapter unread for up to that wait.
    std::chrono::milliseconds reopenFirst{1000}, reopenMax{1000};
};

// Opens the line of a bus; nullptr with the reason in `error`.
using LineOpener =
    std::function<std::unique_ptr<ISerialLine>(const BusConfig& bus, std::string* error)>;

// The master's options for a bus as configured.
BusOptions MasterOptions(const BusConfig& bus);

class BusPoller {
public:
    // `ids` (may be null) is shared by the buses of one bridge. `clockSync`
    // says whether this machine's clock may be copied into a controller; null
    // when a real-time clock keeps it (clock_source = "local"), so it always
    // may. Both must outlive the poller.
    BusPoller(int busIndex, BusConfig bus, double pollIntervalS, IUpdateSink& sink,
              LineOpener opener, PollerTiming timing = {}, DeviceIdRegistry* ids = nullptr,
              const IClockSync* clockSync = nullptr);
    ~BusPoller();  // stops and joins
    BusPoller(const BusPoller&) = delete;
    BusPoller& operator=(const BusPoller&) = delete;

    void Start();
    // Asks the thread to end; returns at once. Join waits for it.
    void RequestStop();
    void Join();

    // Queues the command when a device of this bus has its id and control is
    // allowed for it; false (nothing queued) otherwise.
    bool Submit(const DeviceCommand& command);

    // The identities of the bus's devices as they stand now.
    std::vector<DeviceIdentity> Identities() const;
    // Passes over the bus so far, including those in which no device was due.
    uint64_t Passes() const { return passes_; }
    // What the bridge's status page shows of the bus; safe from any thread.
    const std::string& Port() const { return bus_.port; }
    bool LineOpen() const { return lineOpen_; }
    double LastPassMs() const { return lastBusCycleMs_; }
    size_t DeviceCount() const { return bus_.devices.size(); }
    // The bus thread's sign of life for the service watchdog.
    const Heartbeat& ThreadBeat() const { return heartbeat_; }

private:
    struct Slot;
    using SteadyTime = std::chrono::steady_clock::time_point;

    void Run();
    bool OpenLine(bool& reported, std::chrono::milliseconds& backoff);
    void LoseLine();
    // One pass over the devices that are due; the time the next one is due
    // when none of them was, else nothing.
    std::optional<SteadyTime> PollBus();
    void PollDevice(Slot& slot);
    void LearnIdentity(Slot& slot);
    // Keeps the settings profile current once every settings block was read.
    void NoteSettingsRead(Slot& slot, const CycleResult& cycle);
    void Publish(Slot& slot);
    void RunCommands();
    void Execute(Slot& slot, const DeviceCommand& command);
    CommandOutcome SetLoadMode(Slot& slot, LoadModeChoice choice);
    CommandOutcome SetClock(Slot& slot);
    CommandOutcome CheckSettings(Slot& slot, const SettingsRequest& request);
    CommandOutcome ApplySettings(Slot& slot, const SettingsRequest& request);
    // The window's checks of a settings request against the controller's
    // last read, with the write images filled when they pass; the problems
    // as [{"field", "message"}].
    nlohmann::json SettingsProblems(Slot& slot, const SettingsRequest& request);
    // Keeps the profile object of the settings just read into the device.
    // Its read time changes only with its content, so a change made from it
    // can tell whether the controller still holds it. True when it changed.
    bool RecordSettings(Slot& slot);
    // Between the writes of one device: a pass over the others once the
    // poll interval since the last pass has gone by.
    void PollOthers(const Slot& busy);
    void MarkAllOffline();
    // Sleeps until `when`, running commands that arrive meanwhile (they fail
    // at once while the line is down); false once a stop was asked for.
    bool WaitUntil(SteadyTime when);
    std::string Label() const;

    const int busIndex_;
    const BusConfig bus_;
    const std::chrono::microseconds pollInterval_;
    IUpdateSink& sink_;
    const LineOpener opener_;
    const PollerTiming timing_;
    DeviceIdRegistry* const ids_;
    const IClockSync* const clockSync_;

    SteadyBusClock clock_;
    std::unique_ptr<ISerialLine> line_;
    std::unique_ptr<CBusMaster> master_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::atomic<double> lastBusCycleMs_{0};
    std::atomic<bool> lineOpen_{false};
    std::atomic<uint64_t> passes_{0};
    SteadyTime passStart_{};  // of the latest pass; bus thread only

    mutable std::mutex mutex_;  // guards the identities, the queue and the wake-up
    std::condition_variable wake_;
    std::deque<DeviceCommand> commands_;
    std::atomic<bool> stop_{false};
    Heartbeat heartbeat_;
    std::thread thread_;
};

}  // namespace kestrane::bridge
