// Every bus of a bridge: one BusPoller per [[bus]] of the config, started and
// stopped together, and the command sink that routes a command to the bus
// that owns its device.
#pragma once

#include <memory>
#include <vector>

#include "bridge/BridgeConfig.h"
#include "bridge/BridgeLink.h"
#include "bridge/BusPoller.h"

namespace kestrane::bridge {

class BridgeBuses : public ICommandSink {
public:
    // `clockSync` decides "Set clock" while config.clockSource is kNetwork;
    // it must outlive the buses.
    BridgeBuses(const BridgeConfig& config, IUpdateSink& sink, LineOpener opener,
                PollerTiming timing = {}, const IClockSync& clockSync = TheKernelClockSync());
    ~BridgeBuses() override;  // stops and joins every bus thread

    void Start();
    // Asks every bus to stop, then joins them all: the stop takes as long as
    // the slowest bus's current transaction, not the sum of them.
    void Stop();

    bool Submit(const DeviceCommand& command) override;

    const std::vector<std::unique_ptr<BusPoller>>& Buses() const { return buses_; }

private:
    DeviceIdRegistry ids_;
    std::vector<std::unique_ptr<BusPoller>> buses_;
};

// The line opener of the program: local serial devices and tcp:// servers.
LineOpener SystemLineOpener();

}  // namespace kestrane::bridge
