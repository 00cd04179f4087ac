// Which synchronisation the bridge's clock-dependent actions ("Set clock",
// deleting old history days) wait for: the kernel's while network time sets
// the clock (clock_source = "network"), none while a real-time clock keeps it
// (clock_source = "local").
#pragma once

#include "bridge/BridgeConfig.h"
#include "platform/ClockSync.h"

namespace kestrane::bridge {

// Null when nothing needs waiting for; else `sync`, which must outlive its use.
inline const IClockSync* ClockSyncToHeed(const BridgeConfig& config,
                                         const IClockSync& sync = TheKernelClockSync()) {
    return config.clockSource == ClockSource::kLocal ? nullptr : &sync;
}

}  // namespace kestrane::bridge
