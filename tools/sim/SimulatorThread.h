// One simulated controller serving its own pseudo-terminal on a thread of the
// calling process: for the window's demo mode and for tests.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/PtyEndpoint.h"
#include "sim/RtuFramer.h"
#include "sim/RtuSlave.h"
#include "sim/SimDevice.h"
#include "sim/SimulatorOptions.h"

namespace kestrane::sim {

class SimulatorThread {
public:
    explicit SimulatorThread(SimulatorOptions options);
    ~SimulatorThread();  // stops and joins
    SimulatorThread(const SimulatorThread&) = delete;
    SimulatorThread& operator=(const SimulatorThread&) = delete;

    // Opens the pseudo-terminal (and the --link symlink) and starts serving.
    bool Start(std::string* error);
    // The pseudo-terminal's path, e.g. /dev/pts/7; empty before Start.
    std::string DevicePath() const { return pty_.DevicePath(); }
    // Stops serving within a few milliseconds, joins, and closes the line.
    void Stop();

    // True from Start until Stop or until --hangup-after closed the line.
    bool Running() const { return running_; }
    bool HungUp() const { return hungUp_; }

    // Requests addressed to this controller so far.
    uint64_t RequestCount() const { return requests_; }
    int Address() const;
    SimDateTime Clock() const;
    // A consistent snapshot of `count` registers from `start`.
    std::vector<uint16_t> Registers(uint16_t start, int count) const;
    // Runs `action` on the device while the thread is kept off it, e.g. to
    // set a battery charge or a world for a test.
    void WithDevice(const std::function<void(SimDevice&)>& action);

private:
    void Run();
    void AdvanceClock();
    bool Send(const std::vector<Transmission>& out);
    bool SendPaced(const std::vector<uint8_t>& bytes);
    // Waits up to `ms`; false when Stop was asked for meanwhile.
    bool Wait(int ms);
    void HangUp();

    const SimulatorOptions options_;
    mutable std::mutex mutex_;  // guards device_ and slave_
    SimDevice device_;
    RtuSlave slave_;
    RtuFramer framer_;
    PtyEndpoint pty_;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> hungUp_{false};
    std::atomic<uint64_t> requests_{0};
    int64_t lastStepNs_ = 0;
};

}  // namespace kestrane::sim
