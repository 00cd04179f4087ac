// The simulated controllers of one line serving their pseudo-terminal on a
// thread of the calling process: for the window's demo mode and for tests.
// The calls without an index concern the first controller, which is the only
// one unless the options name several.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/ReplySchedule.h"
#include "sim/RtuFramer.h"
#include "sim/SimBus.h"
#include "sim/SimDevice.h"
#include "sim/SimEndpoint.h"
#include "sim/SimulatorOptions.h"
#include "sim/StrictLine.h"
#include "sim/WireTiming.h"

namespace kestrane::sim {

class SimulatorThread {
public:
    explicit SimulatorThread(SimulatorOptions options);
    ~SimulatorThread();  // stops and joins
    SimulatorThread(const SimulatorThread&) = delete;
    SimulatorThread& operator=(const SimulatorThread&) = delete;

    // Writes the --registers-file, opens the pseudo-terminal (and the --link
    // symlink) or the TCP listener of --tcp-listen, and starts serving.
    bool Start(std::string* error);
    // The pseudo-terminal's path, e.g. /dev/pts/7; empty before Start.
    // tcp://host:port with --tcp-listen.
    std::string DevicePath() const { return endpoint_->DevicePath(); }
    // Stops serving within a few milliseconds, joins, and closes the line.
    void Stop();

    // True from Start until Stop or until --hangup-after closed the line.
    bool Running() const { return running_; }
    bool HungUp() const { return hungUp_; }

    // Controllers on the line, in the order of their addresses in the options.
    size_t DeviceCount() const { return deviceCount_; }
    // Requests addressed to any controller of the line so far.
    uint64_t RequestCount() const { return requests_; }
    uint64_t RequestCount(size_t index) const;
    int Address(size_t index = 0) const;
    SimDateTime Clock(size_t index = 0) const;
    // A consistent snapshot of `count` registers from `start`.
    std::vector<uint16_t> Registers(uint16_t start, int count) const;
    std::vector<uint16_t> Registers(size_t index, uint16_t start, int count) const;
    // Runs `action` on a controller while the thread is kept off it, e.g. to
    // set a battery charge or a world for a test.
    void WithDevice(const std::function<void(SimDevice&)>& action);
    void WithDevice(size_t index, const std::function<void(SimDevice&)>& action);

    // The wire the line models with --pace.
    const WireTiming& Timing() const { return timing_; }

private:
    void Run();
    void AdvanceClock();
    bool Send(const std::vector<TimedBytes>& plan);
    // The answer to `frame`: the bus's, or with --strict-line on a line set
    // to another rate or framing, the garbled bytes the program receives.
    std::vector<Transmission> Answer(const RtuFrame& frame);
    // Waits until `deadlineMs` on the steady clock; false when Stop was asked
    // for meanwhile.
    bool WaitUntil(double deadlineMs);
    bool Wait(int ms);
    void HangUp();
    // With --registers-file: replaces the file when the line carried out a
    // write since it was last written, or when it never was.
    bool SaveRegisters();

    const SimulatorOptions options_;
    const WireTiming timing_;
    const size_t deviceCount_;
    mutable std::mutex mutex_;  // guards bus_
    SimBus bus_;
    RtuFramer framer_;
    StrictLine strictLine_;
    std::unique_ptr<SimEndpoint> endpoint_;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> hungUp_{false};
    std::atomic<uint64_t> requests_{0};
    int64_t lastStepNs_ = 0;
    int64_t savedWrites_ = -1;  // the write count of the registers file; -1: none yet
};

}  // namespace kestrane::sim
